// "Identify module" of the window menu against simulated modules: the probe runs beside the
// window, selects the rate found in the baud list and tells the result in the port's tooltip.
// The simulator's header names a member emit(), which Qt defines as a macro: it comes first.
#include "simulatedmodule.h"

#include "app/identifymodule.h"
#include "app/sessionlog.h"
#include "appfixture.h"
#include "skin/suititlebar.h"

#include <QAction>
#include <QSignalSpy>

namespace {

class IdentifyTest : public AppTest
{
protected:
    void StartModule(unsigned com, int baud)
    {
        esp8266sim::SimulatedModule::Options options;
        options.com = com;
        options.aliasFolder = AliasFolder.path().toStdString();
        options.module.line.baud = baud;
        std::string error;
        Modules.push_back(esp8266sim::SimulatedModule::start(options, &error));
        ASSERT_NE(Modules.back(), nullptr) << error;
    }
    void TearDown() override
    {
        AppTest::TearDown();
        Modules.clear();
    }
    // The window menu's entry, as the user finds it.
    QAction* Entry()
    {
        for (QAction* action : Form().suiForm1->TitleBar()->WindowMenu()->actions())
            if (action->text() == QLatin1String("Identify module")) return action;
        return nullptr;
    }
    // Picks the entry from the menu and waits for the result.
    void Identify()
    {
        TModuleIdentifier& identifier = *Form().Identifier;
        Form().suiForm1->TitleBar()->WindowMenu()->UpdateItems();
        emit Form().suiForm1->TitleBar()->WindowMenu()->aboutToShow();
        ASSERT_TRUE(Entry()->isEnabled());
        Entry()->trigger();
        // The window thread is free while the probe runs: the trigger returned at once.
        EXPECT_TRUE(identifier.Running());
        ASSERT_TRUE(RunEventsUntil([&] { return !identifier.Running(); }, 5000));
    }
    std::vector<std::unique_ptr<esp8266sim::SimulatedModule>> Modules;
};

TEST_F(IdentifyTest, SelectsTheFoundRateAndTellsTheResultInTheTooltipAndTheLog)
{
    StartModule(1, 57600);
    TForm1& form = Form();
    form.suiComboBox_PcBaudRate->setCurrentIndex(form.suiComboBox_PcBaudRate->findText("115200"));
    QSignalSpy identified(form.Identifier, &TModuleIdentifier::Identified);
    ASSERT_NE(Entry(), nullptr);
    Identify();
    EXPECT_EQ(form.suiComboBox_PcBaudRate->currentText(), "57600");
    ASSERT_EQ(identified.size(), 1);
    EXPECT_TRUE(identified[0][0].toString().startsWith("identify COM1: module at 57600 baud"))
        << identified[0][0].toString().toStdString();
    // The session log has it as a mark.
    form.SessionLog->OpenWindow();
    RunEventsUntil([&] {
        return form.SessionLog->VisibleRows().join('\n').contains("identify COM1: module at 57600");
    });
    EXPECT_TRUE(
        form.SessionLog->VisibleRows().join('\n').contains("identify COM1: module at 57600 baud"))
        << form.SessionLog->VisibleRows().join('\n').toStdString();
    EXPECT_TRUE(form.suiComboBox_PcPort->toolTip().contains("Identified: module at 57600 baud"))
        << form.suiComboBox_PcPort->toolTip().toStdString();
    // The port is free again; opening it at the selected rate talks to the module.
    EXPECT_FALSE(form.Port->IsOpen());
    ClickOpen();
    ASSERT_TRUE(form.Port->IsOpen());
    EXPECT_EQ(form.Port->BaudRate, 57600);
    // While the port is open the entry does not apply.
    emit form.suiForm1->TitleBar()->WindowMenu()->aboutToShow();
    EXPECT_FALSE(Entry()->isEnabled());
}

TEST_F(IdentifyTest, ARateTheListCannotShowLeavesTheWindowAsItWas)
{
    StartModule(1, 230400);
    TForm1& form = Form();
    form.suiComboBox_PcBaudRate->setCurrentIndex(form.suiComboBox_PcBaudRate->findText("9600"));
    // The window settles first (activation gives a control the focus).
    RunEventsUntil([] { return false; }, 200);
    const QImage before = form.grab().toImage();
    Identify();
    EXPECT_EQ(form.suiComboBox_PcBaudRate->currentText(), "9600");
    const QString tip = form.suiComboBox_PcPort->toolTip();
    EXPECT_TRUE(tip.contains("module at 230400 baud")) << tip.toStdString();
    EXPECT_TRUE(tip.contains("The baud list has no 230400")) << tip.toStdString();
    // Not a pixel of the window changed: no row, no status text, no selection.
    const QImage after = form.grab().toImage();
    if (after != before) {
        before.save("/tmp/probe-t/before.png");
        after.save("/tmp/probe-t/after.png");
    }
    EXPECT_EQ(after, before);
}

TEST_F(IdentifyTest, OpenWhileIdentifyingEndsTheProbeAndOpensThePort)
{
    // Nothing answers on COM1: the probe would try every rate.
    RawLine line(AliasFolder.path(), 1);
    TForm1& form = Form();
    Form().suiForm1->TitleBar()->WindowMenu()->UpdateItems();
    emit form.suiForm1->TitleBar()->WindowMenu()->aboutToShow();
    Entry()->trigger();
    ASSERT_TRUE(form.Identifier->Running());
    ClickOpen();
    EXPECT_FALSE(form.Identifier->Running());
    EXPECT_TRUE(form.Port->IsOpen());
}

} // namespace
