// The port's life in the window: a connection sequence ends with its port, the list follows
// devices that come and go, a device that hung up is opened again when it returns, and the
// command line picks the port, its settings and the look.
#include "appfixture.h"

#include "app/commandline.h"
#include "serial/portwatcher.h"

#include <QDeadlineTimer>
#include <QTest>
#include <QThread>

namespace {

class LifecycleTest : public AppTest
{
protected:
    // The cable is pulled and the window has noticed.
    void PullCable()
    {
        Line->HangUp();
        // The port reports the loss with a posted event, which the window handles in its loop.
        RunEventsUntil([&] { return Form().suiStatusBar1->PanelText(0) == "Closed"; });
        ASSERT_EQ(Form().suiStatusBar1->PanelText(0), "Closed");
    }
    // The list's items that only an alias or a path can stand for (COM129 and up, paths), so
    // that the machine's own serial ports do not matter.
    QStringList PortItems()
    {
        QStringList items;
        for (int i = 0; i < Form().suiComboBox_PcPort->count(); ++i) {
            const QString text = Form().suiComboBox_PcPort->itemText(i);
            const int number = text.startsWith("COM") ? text.mid(3).toInt() : 0;
            if (number == 0 || number > 128) items << text;
        }
        return items;
    }
    void Select(const QString& text)
    {
        const int item = Form().suiComboBox_PcPort->findText(text);
        ASSERT_GE(item, 0) << text.toStdString();
        Form().suiComboBox_PcPort->setCurrentIndex(item);
    }
    // Waits past the watcher's settling delay, for checks that something does not happen.
    void LetTheWatcherSettle() { RunEventsUntil([] { return false; }, serial::PortWatcher::SettleMs + 300); }
};

TEST_F(LifecycleTest, ASequenceNeedsAnOpenPortAndEndsWhenItCloses)
{
    Line = std::make_unique<RawLine>(AliasFolder.path(), 1);
    TForm1& form = Form();
    // No port open: the command is logged, but nothing is armed.
    QTest::mouseClick(form.suiButton4, Qt::LeftButton);
    EXPECT_EQ(form.suiListBox2->Items(), QStringList{"Send--> AT+CWJAP=\"\",\"\""});
    EXPECT_EQ(form.ConfigStep, 0);
    OpenOnRawLine();
    Line->Write("ready\r\n");
    ASSERT_TRUE(WaitForQuietLine());
    Tick(250);
    EXPECT_EQ(Line->Drain(), QByteArray()) << "a step went out that nobody asked for";

    // Closed by the user in the middle: the reply that follows moves nothing on.
    QTest::mouseClick(form.suiButton4, Qt::LeftButton);
    EXPECT_EQ(form.ConfigStep, 1);
    Line->Write("WIFI GOT IP\r\n");
    ASSERT_TRUE(WaitForQuietLine());
    ClickOpen();
    EXPECT_EQ(form.ConfigStep, 0);
    ClickOpen();
    ASSERT_TRUE(form.Port->IsOpen());
    Tick(250);
    EXPECT_EQ(Line->Drain(), QByteArray("AT+CWJAP=\"\",\"\"\r\n"));
    EXPECT_EQ(form.suiListBox1->Items(), QStringList{"WIFI GOT IP"}) << "the reply is still shown";
}

TEST_F(LifecycleTest, AHangUpEndsTheSequenceAndTheReturnedDeviceGetsNoStaleSteps)
{
    OpenOnRawLine(201);
    TForm1& form = Form();
    QTest::mouseClick(form.suiButton4, Qt::LeftButton);
    Line->Read(16);
    Line->Write("WIFI CONNECTED\r\n");
    ASSERT_TRUE(WaitForQuietLine());
    PullCable();
    EXPECT_EQ(form.ConfigStep, 0);
    Line = std::make_unique<RawLine>(AliasFolder.path(), 201);
    ASSERT_TRUE(RunEventsUntil([&] { return form.Port->IsOpen(); }));
    Tick(250);
    EXPECT_EQ(Line->Drain(), QByteArray());
    EXPECT_EQ(form.suiListBox2->Items(), QStringList{"Send--> AT+CWJAP=\"\",\"\""});
}

TEST_F(LifecycleTest, TheListFollowsAliasesAddedAndRemovedAndKeepsTheSelection)
{
    TForm1& form = Form();
    EXPECT_EQ(PortItems(), QStringList());
    RawLine com205(AliasFolder.path(), 205);
    ASSERT_TRUE(RunEventsUntil([&] { return PortItems() == QStringList{"COM205"}; }));
    Select("COM205");
    auto com202 = std::make_unique<RawLine>(AliasFolder.path(), 202);
    ASSERT_TRUE(RunEventsUntil([&] { return PortItems() == QStringList({"COM202", "COM205"}); }));
    EXPECT_EQ(form.suiComboBox_PcPort->currentText(), "COM205");
    com205.HangUp();
    ASSERT_TRUE(RunEventsUntil([&] { return PortItems() == QStringList{"COM202"}; }));
    EXPECT_EQ(form.suiComboBox_PcPort->currentIndex(), 0) << "a vanished selection falls to the first";

    // While the port is open the locked list is left as it is; it catches up on Close.
    Select("COM202");
    ClickOpen();
    ASSERT_TRUE(form.Port->IsOpen());
    RawLine com207(AliasFolder.path(), 207);
    LetTheWatcherSettle();
    EXPECT_EQ(PortItems(), QStringList{"COM202"});
    ClickOpen();
    EXPECT_EQ(PortItems(), QStringList({"COM202", "COM207"}));
    EXPECT_EQ(form.suiComboBox_PcPort->currentText(), "COM202");
}

TEST_F(LifecycleTest, ADeviceThatReturnsWithinTheWaitIsOpenedAgainWithItsSettings)
{
    Line = std::make_unique<RawLine>(AliasFolder.path(), 201);
    TForm1& form = Form();
    form.suiComboBox_PcBaudRate->setCurrentIndex(3); // 9600
    form.suiComboBox_PcParity->setCurrentIndex(2);   // EVEN
    OpenOnRawLine(201);
    PullCable();
    EXPECT_TRUE(form.ReopenPending());
    EXPECT_EQ(form.ReopenDeadline->interval(), 30000);
    EXPECT_TRUE(form.ReopenDeadline->isSingleShot());
    EXPECT_TRUE(form.suiComboBox_PcPort->isEnabled());

    Line = std::make_unique<RawLine>(AliasFolder.path(), 201); // behind the same alias
    ASSERT_TRUE(RunEventsUntil([&] { return form.Port->IsOpen(); }));
    EXPECT_FALSE(form.ReopenPending());
    EXPECT_EQ(form.suiStatusBar1->PanelText(0), "Opened");
    EXPECT_EQ(form.suiButton_OpenPort->Caption(), "Close");
    EXPECT_FALSE(form.suiComboBox_PcPort->isEnabled());
    EXPECT_EQ(form.suiComboBox_PcPort->currentText(), "COM201");
    EXPECT_EQ(form.Port->PortNumber, 201u);
    EXPECT_EQ(form.Port->BaudRate, 9600);
    EXPECT_EQ(form.Port->Parity, 2);
    form.SendCommand("AT\r\n");
    EXPECT_EQ(Line->Read(4), QByteArray("AT\r\n"));
}

TEST_F(LifecycleTest, NoReopenAfterTheWaitOrTheUsersOwnCloseOrOpen)
{
    OpenOnRawLine(201);
    TForm1& form = Form();
    PullCable();
    form.ReopenDeadlinePassed(); // 30 s have gone by
    EXPECT_FALSE(form.ReopenPending());
    Line = std::make_unique<RawLine>(AliasFolder.path(), 201);
    ASSERT_TRUE(RunEventsUntil([&] { return PortItems() == QStringList{"COM201"}; }));
    LetTheWatcherSettle();
    EXPECT_FALSE(form.Port->IsOpen());

    // Closed by the user: it stays closed whatever comes back.
    ClickOpen();
    ASSERT_TRUE(form.Port->IsOpen());
    ClickOpen();
    EXPECT_FALSE(form.ReopenPending());
    Line.reset(); // unplugged and plugged in again
    Line = std::make_unique<RawLine>(AliasFolder.path(), 201);
    LetTheWatcherSettle();
    EXPECT_FALSE(form.Port->IsOpen());

    // Lost, then the user presses Open while it is still gone: the user has taken over.
    ClickOpen();
    ASSERT_TRUE(form.Port->IsOpen());
    PullCable();
    ASSERT_TRUE(form.ReopenPending());
    ClickOpen();
    EXPECT_FALSE(form.ReopenPending());
    Line = std::make_unique<RawLine>(AliasFolder.path(), 201);
    LetTheWatcherSettle();
    EXPECT_FALSE(form.Port->IsOpen());
}

TEST_F(LifecycleTest, TheCommandLinePortBecomesAnItemThatOpensItsDevice)
{
    RawLine unlisted(AliasFolder.path(), 0);
    RawLine com3(AliasFolder.path(), 203);
    TForm1& form = Form();
    const QString path = QString::fromStdString(unlisted.SlavePath());
    form.SelectCommandLinePort(path, path);
    EXPECT_EQ(PortItems(), QStringList({"COM203", path}));
    EXPECT_EQ(form.suiComboBox_PcPort->currentText(), path);
    ClickOpen();
    ASSERT_TRUE(form.Port->IsOpen());
    EXPECT_EQ(form.Port->DevicePath, unlisted.SlavePath());
    form.SendCommand("AT\r\n");
    EXPECT_EQ(unlisted.Read(4), QByteArray("AT\r\n"));
    ClickOpen();

    // The item stays for the run when the list is filled again; COM items open as before.
    RawLine com1(AliasFolder.path(), 201);
    ASSERT_TRUE(RunEventsUntil([&] { return PortItems().size() == 3; }));
    EXPECT_EQ(PortItems(), QStringList({"COM201", "COM203", path}));
    EXPECT_EQ(form.suiComboBox_PcPort->currentText(), path);
    // A path that a listed COM number stands for selects that number.
    form.SelectCommandLinePort(QString::fromStdString(com3.SlavePath()),
                               QString::fromStdString(com3.SlavePath()));
    EXPECT_EQ(form.suiComboBox_PcPort->currentText(), "COM203");
    ClickOpen();
    EXPECT_EQ(form.Port->PortNumber, 203u);
}

TEST_F(LifecycleTest, TheWindowOffersTheBaudRatesTheCommandLineAcceptsAndTakesAnyLook)
{
    TForm1& form = Form();
    QList<int> listed;
    for (int i = 0; i < form.suiComboBox_PcBaudRate->count(); ++i)
        listed << form.suiComboBox_PcBaudRate->itemText(i).toInt();
    EXPECT_EQ(listed, OfferedBaudRates());
    form.ApplyUIStyle(TsuiUIStyle::WinXP);
    EXPECT_EQ(form.suiForm1->UIStyle(), TsuiUIStyle::WinXP);
    EXPECT_EQ(form.suiButton_OpenPort->property("UIStyle").value<TsuiUIStyle>(), TsuiUIStyle::WinXP);
    EXPECT_EQ(form.suiComboBox_PcPort->property("UIStyle").value<TsuiUIStyle>(), TsuiUIStyle::WinXP);
}

} // namespace
