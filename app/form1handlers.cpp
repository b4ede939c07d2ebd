// The main window's handlers that bind the workbench: the command page, sending, the
// connection sequence, the receive handler, the pages' show events and the log buttons.
#include "app/unit1.h"

#include "workbench/catalogue.h"
#include "workbench/composition.h"
#include "workbench/lines.h"
#include "workbench/sequence.h"

void TForm1::RefreshCommandPanel()
{
    const auto panel = Workbench::CommandPanelFor(suiBoxAT_Cmd->currentIndex());
    suiComboBox1->clear();
    if (!panel) return;
    suiComboBox1->addItems(panel->choices);
    suiComboBox1->setCurrentIndex(panel->selectedChoice);
    suiEdit1->setEnabled(panel->edit1Enabled);
    suiEdit2->setEnabled(panel->edit2Enabled);
    suiEdit3->setEnabled(panel->edit3Enabled);
    if (panel->label6Caption) Label6->setText(*panel->label6Caption);
    Label10->setText(panel->label10Caption);
    Label9->setText(panel->label9Caption);
    suiMemo2->SetText(panel->prompt);
}

void TForm1::SendCommand(const QByteArray& text)
{
    suiListBox2->SetItems(Workbench::SendLogLines(text));
    Port->Write(text.constData(), unsigned(text.size()));
}

void TForm1::suiBoxAT_CmdClick()
{
    RefreshCommandPanel();
}

void TForm1::suiButton3Click()
{
    const Workbench::CommandFields fields{suiEdit1->text(), suiEdit2->text(), suiEdit3->text()};
    const auto text = Workbench::ComposeCommand(suiBoxAT_Cmd->currentIndex(),
                                                suiComboBox1->currentIndex(), fields);
    if (text) SendCommand(*text);
}

void TForm1::suiButton4Click()
{
    const Workbench::SequenceStep step =
        Workbench::StartConfigSequence(suiEdit4->text(), suiEdit5->text());
    // Only an open port runs a sequence: without one the click just logs the command.
    ConfigStep = Port->IsOpen() ? step.nextConfigStep : 0;
    SendCommand(step.command);
}

void TForm1::RunConfigStep()
{
    // Steps are never sent into a device that went away before its loss was shown.
    if (!Port->IsOpen()) {
        ConfigStep = 0;
        return;
    }
    // The server fields are read now, not when the sequence was started.
    const Workbench::SequenceStep step =
        Workbench::RunConfigStep(ConfigStep, suiEdit6->text(), suiEdit7->text());
    ConfigStep = step.nextConfigStep;
    if (!step.command.isEmpty()) SendCommand(step.command);
}

void TForm1::OnReceiveNotify()
{
    SetStatusText(QStringLiteral("Successful"), 1);
    suiListBox1->SetItems(
        Workbench::SplitReceivedLines(QByteArray::fromStdString(Port->TakeReceived())));
}

void TForm1::suiTabSheet1Show()
{
    RefreshCommandPanel();
}

void TForm1::suiTabSheet2Show()
{
    suiMemo2->SetText(Workbench::ConnectionPagePrompt());
}

void TForm1::suiTabSheet3Show()
{
    suiMemo2->SetText(Workbench::ContactPagePrompt());
}

void TForm1::suiButton1Click()
{
    suiListBox1->clear();
}

void TForm1::suiButton5Click()
{
    suiListBox2->clear();
}

void TForm1::suiButton2Click()
{
    SendCommand(QByteArray(Workbench::ExitCommand));
}
