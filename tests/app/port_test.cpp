// Start-up, the Open/Close button, sending, the quiet-gap framing of replies, the pages and the
// log buttons, with a raw pseudo-terminal as the far end of COM1.
#include "appfixture.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTest>
#include <QThread>
#include <QTime>

#include "workbench/statustexts.h"

namespace {

// Where a user clicks to select tab index of a strip.
QPoint TabCenter(const TsuiTabControlTopPanel* strip, int index)
{
    for (const TsuiTabBox& box : strip->Layout().Boxes)
        if (box.Index == index) return box.Rect.toQRect().center();
    ADD_FAILURE() << "tab " << index << " is not drawn";
    return {};
}

class PortTest : public AppTest
{
protected:
    // Selects catalogue entry k as the user does.
    void SelectCommand(int k)
    {
        Form().suiPageControl1->SetActivePage(Form().suiTabSheet1);
        Form().suiBoxAT_Cmd->setCurrentIndex(k);
        emit Form().suiBoxAT_Cmd->activated(k);
    }
};

TEST_F(PortTest, StartsClosedWithTheFirstPortSelectedAndTheStartTime)
{
    Line = std::make_unique<RawLine>(AliasFolder.path(), 1);
    const QString before = Workbench::ShortTimeText(QTime::currentTime());
    TForm1& form = Form();
    const QString after = Workbench::ShortTimeText(QTime::currentTime());
    ASSERT_GE(form.suiComboBox_PcPort->count(), 1);
    EXPECT_EQ(form.suiComboBox_PcPort->currentIndex(), 0);
    EXPECT_EQ(form.suiComboBox_PcPort->itemText(0), "COM1");
    EXPECT_EQ(form.suiStatusBar1->PanelText(0), "Closed");
    EXPECT_EQ(form.suiStatusBar1->PanelText(1), "");
    EXPECT_TRUE(form.suiStatusBar1->PanelText(2) == before ||
                form.suiStatusBar1->PanelText(2) == after);
    EXPECT_EQ(form.suiButton_OpenPort->Caption(), "Open");
    EXPECT_TRUE(form.Image1->isVisibleTo(&form));
    EXPECT_FALSE(form.Image2->isVisibleTo(&form));
    EXPECT_FALSE(form.suiEdit1->isEnabled());
    EXPECT_FALSE(form.suiEdit2->isEnabled());
    EXPECT_FALSE(form.suiEdit3->isEnabled());
    EXPECT_EQ(form.suiComboBox_PcBaudRate->currentText(), "115200");
    EXPECT_EQ(form.ConfigStep, 0);
    // Panel indexes past the last are ignored.
    const QStringList panels = {form.suiStatusBar1->PanelText(0), form.suiStatusBar1->PanelText(1),
                                form.suiStatusBar1->PanelText(2)};
    form.SetStatusText("x", 3);
    form.SetStatusText("x", -1);
    EXPECT_EQ(panels,
              (QStringList{form.suiStatusBar1->PanelText(0), form.suiStatusBar1->PanelText(1),
                           form.suiStatusBar1->PanelText(2)}));
}

TEST_F(PortTest, OpenAndCloseShowThePortState)
{
    OpenOnRawLine();
    TForm1& form = Form();
    form.suiBoxAT_Cmd->setCurrentIndex(14); // AT+CIPMUX: the open refreshes the command page
    form.suiListBox1->SetItems({"kept"});
    ClickOpen();
    EXPECT_EQ(form.suiStatusBar1->PanelText(0), "Closed");
    ClickOpen();
    EXPECT_EQ(form.suiStatusBar1->PanelText(0), "Opened");
    EXPECT_EQ(form.suiButton_OpenPort->Caption(), "Close");
    EXPECT_FALSE(form.suiComboBox_PcPort->isEnabled());
    EXPECT_FALSE(form.suiComboBox_PcBaudRate->isEnabled());
    EXPECT_FALSE(form.suiComboBox_PcParity->isEnabled());
    EXPECT_FALSE(form.Image1->isVisibleTo(&form));
    EXPECT_TRUE(form.Image2->isVisibleTo(&form));
    EXPECT_EQ(form.suiComboBox1->count(), 3);
    EXPECT_EQ(form.suiComboBox1->currentText(), "Check the connection");
    EXPECT_EQ(form.suiListBox1->Items(), QStringList{"kept"});

    form.ConfigStep = 2;
    ClickOpen();
    EXPECT_FALSE(form.Port->IsOpen());
    EXPECT_EQ(form.suiStatusBar1->PanelText(0), "Closed");
    EXPECT_EQ(form.suiStatusBar1->PanelText(1), " ");
    EXPECT_EQ(form.suiButton_OpenPort->Caption(), "Open");
    EXPECT_TRUE(form.suiComboBox_PcPort->isEnabled());
    EXPECT_TRUE(form.Image1->isVisibleTo(&form));
    EXPECT_EQ(form.ConfigStep, 0); // a running sequence ends with its port
}

TEST_F(PortTest, AnOpenThatFailsStaysClosed)
{
    TForm1& form = Form(); // no alias: COM1 is whatever the machine has, or nothing
    form.suiComboBox_PcPort->clear();
    ClickOpen();
    EXPECT_FALSE(form.Port->IsOpen());
    EXPECT_EQ(form.suiStatusBar1->PanelText(0), "Closed");
    EXPECT_EQ(form.suiStatusBar1->PanelText(1), " ");
    EXPECT_EQ(form.suiButton_OpenPort->Caption(), "Open");
}

TEST_F(PortTest, SendWritesTheCommandAndLogsOneLine)
{
    OpenOnRawLine();
    TForm1& form = Form();
    SelectCommand(3); // AT+CWMODE
    form.suiComboBox1->setCurrentIndex(2);
    QTest::mouseClick(form.suiButton3, Qt::LeftButton);
    EXPECT_EQ(Line->Read(13), QByteArray("AT+CWMODE=2\r\n"));
    EXPECT_EQ(form.suiListBox2->Items(), QStringList{"Send--> AT+CWMODE=2"});

    SelectCommand(4); // AT+CWJAP with non-ASCII fields goes out as UTF-8
    form.suiComboBox1->setCurrentIndex(1);
    form.suiEdit2->setText(QStringLiteral("Café"));
    form.suiEdit1->setText(QStringLiteral("pw"));
    QTest::mouseClick(form.suiButton3, Qt::LeftButton);
    EXPECT_EQ(Line->Read(23), QByteArray("AT+CWJAP=\"Caf\xC3\xA9\",\"pw\"\r\n"));
    EXPECT_EQ(form.suiListBox2->Items(),
              QStringList{QStringLiteral("Send--> AT+CWJAP=\"Café\",\"pw\"")});

    // An empty parameter list sends and logs nothing.
    SelectCommand(3);
    form.suiComboBox1->clear();
    QTest::mouseClick(form.suiButton3, Qt::LeftButton);
    EXPECT_EQ(Line->Drain(), QByteArray());
    EXPECT_EQ(form.suiListBox2->count(), 1);
}

TEST_F(PortTest, ExitSendsThreePlusSignsAndClearEmptiesOnlyItsList)
{
    OpenOnRawLine();
    TForm1& form = Form();
    form.ConfigStep = 3;
    form.suiPageControl1->SetActivePage(form.suiTabSheet1);
    QTest::mouseClick(form.suiButton2, Qt::LeftButton);
    EXPECT_EQ(Line->Read(3), QByteArray("+++"));
    EXPECT_EQ(Line->Drain(), QByteArray());
    EXPECT_EQ(form.suiListBox2->Items(), QStringList{"Send--> +++"});
    EXPECT_EQ(form.ConfigStep, 3);
    EXPECT_TRUE(form.Port->IsOpen());

    form.suiListBox1->SetItems({"reply"});
    QTest::mouseClick(form.suiButton5, Qt::LeftButton);
    EXPECT_EQ(form.suiListBox2->count(), 0);
    EXPECT_EQ(form.suiListBox1->count(), 1);
    QTest::mouseClick(form.suiButton1, Qt::LeftButton);
    EXPECT_EQ(form.suiListBox1->count(), 0);
}

TEST_F(PortTest, AReplyIsShownTwentyQuietTicksAfterItsLastByte)
{
    OpenOnRawLine();
    TForm1& form = Form();
    Line->Write("OK\r\n");
    ASSERT_TRUE(WaitForQuietLine());
    Tick(19);
    EXPECT_EQ(form.suiListBox1->count(), 0);
    EXPECT_EQ(form.suiStatusBar1->PanelText(1), "");
    Tick(1);
    EXPECT_EQ(form.suiListBox1->Items(), QStringList{"OK"});
    EXPECT_EQ(form.suiStatusBar1->PanelText(1), "Successful");

    // The next block replaces the list; bytes that are not UTF-8 show as replacement characters.
    Line->Write("caf\xC3\xA9\n\r\xFFz");
    ASSERT_TRUE(WaitForQuietLine());
    Tick(20);
    EXPECT_EQ(form.suiListBox1->Items(),
              (QStringList{QStringLiteral("café"), "", QStringLiteral("\uFFFDz")}));
    Tick(100); // idle: nothing new is framed
    EXPECT_EQ(form.suiListBox1->count(), 3);
}

TEST_F(PortTest, ASequenceWaitsTwoHundredTicksAndShowsTheReplyWithTheNextStep)
{
    OpenOnRawLine();
    TForm1& form = Form();
    form.suiEdit4->setText("net");
    form.suiEdit5->setText("pw");
    QTest::mouseClick(form.suiButton4, Qt::LeftButton);
    EXPECT_EQ(Line->Read(22), QByteArray("AT+CWJAP=\"net\",\"pw\"\r\n"));
    EXPECT_EQ(form.ConfigStep, 1);
    form.suiEdit6->setText("10.0.0.9"); // read when the step runs, not at the click
    form.suiEdit7->setText("333");
    Line->Write("WIFI GOT IP\r\n\r\nOK\r\n");
    ASSERT_TRUE(WaitForQuietLine());
    Tick(150);
    EXPECT_EQ(form.suiListBox1->count(), 0); // no framing at 20 ticks during a sequence
    Tick(49);
    EXPECT_EQ(form.ConfigStep, 1);
    Tick(1);
    EXPECT_EQ(form.ConfigStep, 2);
    EXPECT_EQ(Line->Read(34), QByteArray("AT+CIPSTART=\"TCP\",\"10.0.0.9\",333\r\n"));
    EXPECT_EQ(form.suiListBox1->Items(), (QStringList{"WIFI GOT IP", "", "OK"}));
    // The next step waits for this one's final answer, however long the line stays quiet,
    // then for 200 quiet ticks after the module's last byte.
    Tick(300);
    EXPECT_EQ(form.ConfigStep, 2);
    Line->Write("CONNECT\r\n\r\nOK\r\n");
    ASSERT_TRUE(WaitForQuietLine());
    Tick(199);
    EXPECT_EQ(form.ConfigStep, 2);
    Tick(1);
    EXPECT_EQ(form.ConfigStep, 3);
    EXPECT_EQ(Line->Read(14), QByteArray("AT+CIPMODE=1\r\n"));
    Line->Write("\r\nOK\r\n");
    ASSERT_TRUE(WaitForQuietLine());
    Tick(200);
    EXPECT_EQ(form.ConfigStep, 0);
    EXPECT_EQ(Line->Read(12), QByteArray("AT+CIPSEND\r\n"));
    EXPECT_EQ(form.suiListBox2->Items(), QStringList{"Send--> AT+CIPSEND"});
}

TEST_F(PortTest, PagesRaiseTheirShowHandlers)
{
    TForm1& form = Form();
    TsuiTabControlTopPanel* strip = form.suiPageControl1->TopPanel();
    QTest::mouseClick(strip, Qt::LeftButton, {}, TabCenter(strip, 0));
    EXPECT_EQ(form.suiPageControl1->ActivePage(), form.suiTabSheet1);
    EXPECT_TRUE(form.suiTabSheet1->isEnabled());
    EXPECT_FALSE(form.suiTabSheet2->isEnabled());
    EXPECT_EQ(form.suiMemo2->Text(), "AT Test AT Start");
    EXPECT_EQ(form.Label6->text(), "User paramete:");

    SelectCommand(10); // AT+CIPSTART relabels and enables the right-hand fields
    EXPECT_EQ(form.Label10->text(), "IP :");
    EXPECT_EQ(form.Label9->text(), "Port :");
    EXPECT_TRUE(form.suiEdit1->isEnabled());
    EXPECT_TRUE(form.suiEdit2->isEnabled());
    form.suiComboBox1->setCurrentIndex(1);

    QTest::mouseClick(strip, Qt::LeftButton, {}, TabCenter(strip, 2));
    EXPECT_EQ(form.suiMemo2->Text(), "Contact us");
    EXPECT_FALSE(form.suiTabSheet1->isEnabled());
    QTest::mouseClick(strip, Qt::LeftButton, {}, TabCenter(strip, 1));
    EXPECT_EQ(form.suiMemo2->Text(),
              "Before enter Connection configuration，Set SSID,PWD,Server IP Address and port");
    // Showing the command page again re-applies the command and its first choice.
    QTest::mouseClick(strip, Qt::LeftButton, {}, TabCenter(strip, 0));
    EXPECT_EQ(form.suiMemo2->Text(), "AT+CIPSTART  Set TCP Connect or Set UDP port");
    EXPECT_EQ(form.suiComboBox1->currentIndex(), 0);
}

TEST_F(PortTest, APortThatHangsUpShowsClosedOnTheReadersReportAndOpensAgain)
{
    OpenOnRawLine();
    TForm1& form = Form();
    Line->HangUp();
    // The reader notices the hang-up by itself and posts its report; no tick is needed.
    QDeadlineTimer deadline(2000);
    while (form.Port->IsOpen() && !deadline.hasExpired())
        QThread::msleep(5);
    EXPECT_EQ(form.suiStatusBar1->PanelText(0), "Opened");
    // The report may be posted an instant after the port reads as closed.
    RunEventsUntil([&] { return form.suiStatusBar1->PanelText(0) == "Closed"; });
    EXPECT_FALSE(form.Port->IsOpen());
    EXPECT_EQ(form.suiStatusBar1->PanelText(0), "Closed");
    EXPECT_EQ(form.suiButton_OpenPort->Caption(), "Open");
    EXPECT_TRUE(form.suiComboBox_PcPort->isEnabled());
    EXPECT_TRUE(form.Image1->isVisibleTo(&form));

    Line = std::make_unique<RawLine>(AliasFolder.path(), 1); // plugged in again
    ClickOpen();
    EXPECT_TRUE(form.Port->IsOpen());
    EXPECT_EQ(form.suiStatusBar1->PanelText(0), "Opened");
    QTest::mouseClick(form.suiButton4, Qt::LeftButton);
    EXPECT_EQ(Line->Read(16), QByteArray("AT+CWJAP=\"\",\"\"\r\n"));
}

} // namespace
