// The main window's handlers that bind the workbench: the command page, sending, the
// connection sequence, the receive handler, the pages' show events and the log buttons.
#include "app/unit1.h"

#include "app/sessionlog.h"
#include "workbench/catalogue.h"
#include "workbench/composition.h"
#include "workbench/lines.h"
#include "workbench/sequence.h"

#include <QThreadPool>
#include <memory>
#include <utility>
#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace {
// A block this large leaves much freed heap behind once shown; it is given back at once.
constexpr qsizetype LargeBlockBytes = qsizetype{256} << 10;

// Hands the heap the allocator holds free back to the system (glibc's malloc_trim walks every
// arena, the reader thread's too); elsewhere the allocator keeps it.
void ReturnFreedMemory()
{
#if defined(__GLIBC__)
    malloc_trim(0);
#endif
}
} // namespace

void TForm1::RefreshCommandPanel()
{
    const auto panel = Workbench::CommandPanelFor(suiBoxAT_Cmd->currentIndex());
    suiComboBox1->clear();
    if (!panel) return;
    suiComboBox1->addItems(panel->Choices);
    suiComboBox1->setCurrentIndex(panel->SelectedChoice);
    suiEdit1->setEnabled(panel->Edit1Enabled);
    suiEdit2->setEnabled(panel->Edit2Enabled);
    suiEdit3->setEnabled(panel->Edit3Enabled);
    if (panel->Label6Caption) Label6->setText(*panel->Label6Caption);
    Label10->setText(panel->Label10Caption);
    Label9->setText(panel->Label9Caption);
    suiMemo2->SetText(panel->Prompt);
}

void TForm1::SendCommand(const QByteArray& text, int answerMs)
{
    // The line shows the command when it goes out (at once, unless a "+++" holds it back).
    Exchange->SendCommand(text, answerMs,
                          [this, text](bool) { suiListBox2->SetItems(Workbench::SendLogLines(text)); });
}

void TForm1::SendEscape()
{
    if (EscapePending()) return; // the one already waiting goes out as soon as it may
    const QByteArray text(Workbench::ExitCommand);
    Exchange->SendEscape([this, text](bool) { suiListBox2->SetItems(Workbench::SendLogLines(text)); });
}

void TForm1::EscapeTimerTimer()
{
    Exchange->Advance();
}

void TForm1::DrainExchangeInbox()
{
    QByteArray bytes;
    {
        std::lock_guard lock(InboxLock);
        bytes.swap(ExchangeInbox);
        InboxPosted = false;
    }
    if (!bytes.isEmpty()) Exchange->Receive(bytes);
}

void TForm1::OnAnswerComplete(const Workbench::ExchangeAnswer& answer)
{
    using Workbench::FinalResult;
    // A command the module refused or failed: the block that shows its answer reads "Failed".
    const bool refused = answer.Final == FinalResult::Error || answer.Final == FinalResult::Fail ||
                         answer.Final == FinalResult::Busy ||
                         answer.Final == FinalResult::SendFail ||
                         answer.Final == FinalResult::AlreadyConnected;
    if (refused) FailedAnswer = true;
    if (AwaitedStep == 0) return;
    const std::int32_t step = std::exchange(AwaitedStep, 0);
    if (answer.Succeeded()) {
        StepAnswered = true;
        return;
    }
    // The sequence ends here: the next step would only run into the failure.
    ConfigStep = 0;
    QString said = Workbench::AnswerSummary(answer.Bytes, answer.Command);
    if (answer.TimedOut)
        said = QStringLiteral("no final answer within %1 s")
                   .arg((step == 1 ? JoinAnswerMs : StepAnswerMs) / 1000) +
               (said.isEmpty() ? QString() : QStringLiteral(" (") + said + QLatin1Char(')'));
    else if (answer.PortLost)
        said = QStringLiteral("the port was lost");
    SessionLog->AddMark(QStringLiteral("step %1 (%2) failed: %3")
                            .arg(step)
                            .arg(Workbench::SequenceStepName(step - 1), said));
    SetStatusText(QStringLiteral("Failed"), 1);
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
    ConfigStep = Port->IsOpen() ? step.NextConfigStep : 0;
    AwaitedStep = ConfigStep > 0 ? 1 : 0;
    StepAnswered = false;
    SendCommand(step.Command, JoinAnswerMs);
}

void TForm1::RunConfigStep()
{
    // Steps are never sent into a device that went away before its loss was shown.
    if (!Port->IsOpen()) {
        ConfigStep = 0;
        return;
    }
    // The server fields are read now, not when the sequence was started.
    const std::int32_t sent = ConfigStep + 1; // the join was step 1
    const Workbench::SequenceStep step =
        Workbench::RunConfigStep(ConfigStep, suiEdit6->text(), suiEdit7->text());
    ConfigStep = step.NextConfigStep;
    if (step.Command.isEmpty()) return;
    // Each step waits for the final answer to the one before, then for the quiet gap.
    AwaitedStep = sent;
    StepAnswered = false;
    SendCommand(step.Command, StepAnswerMs);
}

void TForm1::OnReceiveNotify()
{
    // Posted by the tick, this ends a block; posted by the reader at the buffer's bound, the
    // block goes on and what is shown now is its first part.
    const bool blockEnds = std::exchange(FramePosted, false);
    QByteArray part = Port->TakeReceivedBytes();
    const qsizetype limit = qsizetype(serial::BufferedSerialPort::ReceiveBufferLimit);
    const bool handedOver = !blockEnds && part.size() >= limit;
    const bool joins = std::exchange(BlockContinues, handedOver && !part.isEmpty());
    if (part.isEmpty()) {
        // Nothing arrived since the last take: the pane keeps what it shows.
        if (blockEnds && joins) SplitPool->start([this] { SplitCarry.clear(); });
        BlockContinues = joins && !blockEnds;
        return;
    }
    // A block holding a refused command's final answer says so.
    SetStatusText(std::exchange(FailedAnswer, false) ? QStringLiteral("Failed")
                                                     : QStringLiteral("Successful"),
                  1);
    const std::uint64_t serial = ++LatestBlock;
    if (!joins && part.size() < LargeBlockBytes) {
        auto rows = Workbench::SplitLineSpans<TListRowSpan>(Workbench::ShownReceivedBytes(part));
        ShowRows(serial, std::move(part), std::move(rows));
        return;
    }
    // Joining and finding the lines of megabytes takes longer than a turn of the event loop
    // may: the splitter thread does it (one task at a time, in arrival order, and it alone
    // touches SplitCarry) and posts the rows back.
    SplitPool->start([this, serial, handedOver, limit, part = std::move(part)]() mutable {
        QByteArray block =
            Workbench::JoinBlockTail(std::exchange(SplitCarry, {}), std::move(part), limit);
        if (handedOver) SplitCarry = block; // shared, not copied
        auto rows = std::make_shared<std::vector<TListRowSpan>>(
            Workbench::SplitLineSpans<TListRowSpan>(Workbench::ShownReceivedBytes(block)));
        QMetaObject::invokeMethod(
            this,
            [this, serial, rows, block = std::move(block)]() mutable {
                ShowRows(serial, std::move(block), std::move(*rows));
            },
            Qt::QueuedConnection);
    });
}

void TForm1::ShowRows(std::uint64_t serial, QByteArray block, std::vector<TListRowSpan> rows)
{
    if (serial != LatestBlock) return; // a later block has been shown, or is on its way
    ShownBlock = serial;
    const qsizetype size = block.size();
    suiListBox1->SetRows(std::move(block), std::move(rows));
    // The block before this one has just been freed; handing the memory back to the system
    // walks the heap, which the splitter thread can do as well as this one.
    if (size >= LargeBlockBytes) SplitPool->start(&ReturnFreedMemory);
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
    // A block still being split would fill the list again: it is dropped as well.
    ShownBlock = ++LatestBlock;
    suiListBox1->clear();
}

void TForm1::suiButton5Click()
{
    suiListBox2->clear();
}

void TForm1::suiButton2Click()
{
    SendEscape();
}
