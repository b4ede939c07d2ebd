// The session log window offscreen: opening it, the free command line with its line endings,
// history and completion, the quiet guard of "+++", following and the drop mark, saving and
// the transcript; against a raw pseudo-terminal where a port is needed.
#include "simulatedmodule.h" // before Qt, whose emit macro it would meet
#include "appfixture.h"

#include "app/sessionline.h"
#include "app/sessionlog.h"
#include "skin/suibutton.h"
#include "skin/suiedit.h"
#include "skin/suilistbox.h"
#include "skin/suiscrollbar.h"
#include "skin/suicombobox.h"
#include "skin/suiform.h"
#include "workbench/catalogue.h"

#include <QAbstractItemModel>
#include <QClipboard>
#include <QDeadlineTimer>
#include <QFile>
#include <QLineEdit>
#include <QRegularExpression>
#include <QSettings>
#include <QTest>
#include <QThread>

#include <cerrno>
#include <climits>
#include <cstring>
#include <sys/mount.h>

using namespace Workbench;

namespace {

QByteArray ReadFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Delivers the log's batches until cond holds or the time is up.
template <class Cond> bool PumpUntil(TSessionLogForm& log, Cond cond, int timeoutMs = 2000)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!cond() && !deadline.hasExpired()) {
        QCoreApplication::sendPostedEvents(&log);
        QThread::msleep(2);
    }
    return cond();
}

// A log window of its own, writing into Written, on a clock the test sets.
struct StandaloneLog
{
    std::int64_t Now = 1000;
    QByteArrayList Written;
    bool PortOpen = true;
    TSessionLogForm Log{nullptr,
                        [this](const QByteArray& bytes) {
                            if (PortOpen) Written.append(bytes);
                            return PortOpen;
                        },
                        [this] { return SessionTime{Now, 1796848634000 + Now}; }};

    void Receive(const QByteArray& bytes)
    {
        Log.Feed().Append(SessionDirection::Received, bytes.constData(), std::size_t(bytes.size()));
        QCoreApplication::sendPostedEvents(&Log);
    }
};

class SessionLogTest : public AppTest
{
protected:
    void SetUp() override
    {
        AppTest::SetUp();
        QSettings().clear();
        ASSERT_TRUE(Files.isValid());
    }
    void OpenOnRawLine()
    {
        Line = std::make_unique<RawLine>(AliasFolder.path(), 1);
        // The window may have been made before the line: it lists COM1 once it looks again.
        Form().RefreshPortList();
        const int item = Form().suiComboBox_PcPort->findText(QStringLiteral("COM1"));
        ASSERT_GE(item, 0);
        Form().suiComboBox_PcPort->setCurrentIndex(item);
        ClickOpen();
        ASSERT_TRUE(Form().Port->IsOpen());
    }
    TSessionLogForm& Log() { return *Form().SessionLog; }
    QString File(const char* name) const { return Files.filePath(QString::fromLatin1(name)); }

    QTemporaryDir Files;
};

TEST_F(SessionLogTest, CtrlLAndTheWindowMenuOpenItWithTheFocusOnTheCommandLine)
{
    TForm1& form = Form();
    QApplication::setActiveWindow(&form);
    ASSERT_FALSE(Log().isVisible());
    QTest::keyClick(&form, Qt::Key_L, Qt::ControlModifier);
    ASSERT_TRUE(Log().isVisible());
    EXPECT_EQ(Log().Frame->Caption(), "Session log");
    EXPECT_TRUE(Log().focusWidget() == Log().CommandLine ||
                Log().focusWidget() == Log().CommandLine);

    Log().hide();
    QMenu* menu = form.suiForm1->TitleBar()->WindowMenu();
    const QList<QAction*> items = menu->actions();
    const auto entry = std::find_if(items.begin(), items.end(), [](QAction* a) {
        return a->text() == QStringLiteral("Session log\tCtrl+L");
    });
    ASSERT_NE(entry, items.end());
    EXPECT_LT(entry - items.begin(), items.indexOf(menu->actions().last()))
        << "the entry sits above Close";
    static_cast<TsuiTitleBarPopupMenu*>(menu)->UpdateItems();
    EXPECT_TRUE((*entry)->isEnabled());
    (*entry)->trigger();
    EXPECT_TRUE(Log().isVisible());
}

TEST_F(SessionLogTest, CatalogueAndTypedCommandsShowInBothViewsAndTheTranscriptMatchesTheSave)
{
    OpenOnRawLine();
    TSessionLogForm& log = Log();
    ASSERT_TRUE(log.StartTranscript(File("live.log")));
    log.OpenWindow();

    Form().suiPageControl1->SetActivePage(Form().suiTabSheet1);
    Form().suiBoxAT_Cmd->setCurrentIndex(CmdGMR);
    emit Form().suiBoxAT_Cmd->activated(CmdGMR);
    QTest::mouseClick(Form().suiButton3, Qt::LeftButton);
    ASSERT_EQ(Line->Read(8), "AT+GMR\r\n");
    Line->Write("AT+GMR\r\r\nversion 1.0\r\nOK\r\n");
    ASSERT_TRUE(PumpUntil(log, [&] { return log.Record().LineCount() >= 4; }));

    QTest::keyClicks(log.CommandLine, QStringLiteral("AT+CWLAP"));
    QTest::keyClick(log.CommandLine, Qt::Key_Return);
    ASSERT_EQ(Line->Read(10), "AT+CWLAP\r\n");
    EXPECT_EQ(log.CommandLine->text(), "") << "the line empties once sent";
    Line->Write("+CWLAP:(3,\"esp-test\",-50)\r\nOK\r\n");
    ASSERT_TRUE(PumpUntil(log, [&] { return log.Record().LineCount() >= 7; }));

    // The designed Send pane shows only what the window itself sent.
    EXPECT_EQ(Form().suiListBox2->Items(), QStringList{"Send--> AT+GMR"});

    const QRegularExpression row(QStringLiteral(R"(^\d\d:\d\d:\d\d\.\d{3} ([<>#]) (.*)$)"));
    QStringList text;
    for (const QString& shown : log.VisibleRows()) {
        const auto match = row.match(shown);
        ASSERT_TRUE(match.hasMatch()) << shown.toStdString();
        text << match.captured(1) + match.captured(2);
    }
    EXPECT_EQ(text, (QStringList{QStringLiteral("#opened COM1 ") + QString::fromStdString(
                                     Form().Port->DevicePath) + QStringLiteral(" 115200 8N1"),
                                 QString::fromUtf8(">AT+GMR\\r\\n"), QString::fromUtf8("<AT+GMR\\r\\r\\n"),
                                 QString::fromUtf8("<version 1.0\\r\\n"), QString::fromUtf8("<OK\\r\\n"),
                                 QString::fromUtf8(">AT+CWLAP\\r\\n"),
                                 QString::fromUtf8("<+CWLAP:(3,\"esp-test\",-50)\\r\\n"),
                                 QString::fromUtf8("<OK\\r\\n")}));

    log.SetView(TSessionLogForm::HexView);
    const QStringList hex = log.VisibleRows();
    ASSERT_FALSE(hex.isEmpty());
    EXPECT_TRUE(hex[1].contains(QStringLiteral(" > 00000000  41 54 2B 47 4D 52 0D 0A")))
        << hex[1].toStdString();
    EXPECT_TRUE(hex.last().endsWith(QStringLiteral("OK..|"))) << hex.last().toStdString();

    ASSERT_TRUE(log.SaveText(File("saved.log")));
    ASSERT_TRUE(log.SaveRaw(File("saved.bin")));
    log.StopTranscript();
    const QByteArray live = ReadFile(File("live.log"));
    const QByteArray saved = ReadFile(File("saved.log"));
    ASSERT_TRUE(saved.startsWith("# ")) << "the save starts at the port's opening";
    EXPECT_EQ(live, saved.mid(saved.indexOf('\n') + 1));
    EXPECT_EQ(ReadFile(File("saved.bin")),
              QByteArray("AT+GMR\r\r\nversion 1.0\r\nOK\r\n+CWLAP:(3,\"esp-test\",-50)\r\nOK\r\n"));
    const QRegularExpression line(
        QStringLiteral(R"(^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}[+-]\d\d:\d\d [<>] \S.*$)"));
    const QList<QByteArray> lines = live.trimmed().split('\n');
    EXPECT_GE(lines.size(), 7); // a reply read in two pieces gives two lines
    for (const QByteArray& l : lines)
        EXPECT_TRUE(line.match(QString::fromLatin1(l)).hasMatch()) << l.toStdString();
    EXPECT_TRUE(live.contains("> AT+CWLAP\\r\\n\n"));
}

TEST_F(SessionLogTest, TranscriptAppendsAcrossPortCloseAndReopenAndRefusesAnUnwritablePath)
{
    QFile old(File("t.log"));
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("earlier run\n");
    old.close();
    OpenOnRawLine();
    ASSERT_TRUE(Log().StartTranscript(File("t.log")));
    Log().SendLine(QStringLiteral("AT"));
    ASSERT_EQ(Line->Read(4), "AT\r\n");
    ClickOpen(); // closes
    ClickOpen(); // opens again
    ASSERT_TRUE(Form().Port->IsOpen());
    Log().SendLine(QStringLiteral("AT+RST"));
    ASSERT_EQ(Line->Read(8), "AT+RST\r\n");
    ASSERT_TRUE(PumpUntil(Log(), [&] { return ReadFile(File("t.log")).count('\n') == 5; }));
    const QByteArray text = ReadFile(File("t.log"));
    EXPECT_TRUE(text.startsWith("earlier run\n"));
    EXPECT_EQ(text.count("\n# "), 2) << "closed and opened again";
    EXPECT_TRUE(text.endsWith("> AT+RST\\r\\n\n"));

    EXPECT_FALSE(Log().StartTranscript(File("no/such/folder/t.log")));
    EXPECT_FALSE(Log().TranscriptOn());
    EXPECT_FALSE(Log().TranscriptError().isEmpty());
    EXPECT_FALSE(Log().SaveText(Files.path())) << "a folder is no file";
}

TEST_F(SessionLogTest, EnterSendsWithEachLineEndingAsUtf8)
{
    StandaloneLog s;
    const std::pair<TSessionLogForm::TLineEnding, QByteArray> cases[] = {
        {TSessionLogForm::EndCrLf, "AT\r\n"},
        {TSessionLogForm::EndCr, "AT\r"},
        {TSessionLogForm::EndLf, "AT\n"},
        {TSessionLogForm::EndNone, "AT"}};
    for (const auto& [ending, bytes] : cases) {
        s.Log.SetLineEnding(ending);
        s.Log.CommandLine->setText(QStringLiteral("AT"));
        QTest::keyClick(s.Log.CommandLine, Qt::Key_Enter);
        ASSERT_FALSE(s.Written.isEmpty());
        EXPECT_EQ(s.Written.takeLast(), bytes);
    }
    s.Log.SendLine(QString::fromUtf8("AT+CWJAP=\"café\",\"x\""));
    EXPECT_EQ(s.Written.takeLast(), QByteArray("AT+CWJAP=\"caf\xc3\xa9\",\"x\""));
    s.Log.SendLine(QString());
    EXPECT_TRUE(s.Written.isEmpty()) << "nothing at all is not sent";
    s.Log.SetLineEnding(TSessionLogForm::EndCrLf);
    s.Log.SendLine(QString());
    EXPECT_EQ(s.Written.takeLast(), QByteArray("\r\n"));

    s.PortOpen = false;
    s.Log.SendLine(QStringLiteral("AT"));
    EXPECT_EQ(s.Log.StatusText(), "Not sent: the port is not open");
    // The line ending chosen is kept for the next run.
    EXPECT_EQ(StandaloneLog().Log.LineEnding(), TSessionLogForm::EndCrLf);
}

TEST_F(SessionLogTest, HistoryWalksBothWaysKeepsTheDraftAndSurvivesANewWindow)
{
    {
        StandaloneLog s;
        for (const char* line : {"AT+CWLAP", "AT", "AT", "AT+GMR"})
            s.Log.SendLine(QString::fromLatin1(line));
    }
    StandaloneLog s;
    QLineEdit* edit = s.Log.CommandLine;
    QTest::keyClicks(edit, QStringLiteral("draft"));
    const QString draft = s.Log.CommandLine->text();
    QStringList seen;
    for (int i = 0; i < 4; ++i) {
        QTest::keyClick(edit, Qt::Key_Up);
        seen << s.Log.CommandLine->text();
    }
    EXPECT_EQ(seen, (QStringList{"AT+GMR", "AT", "AT+CWLAP", "AT+CWLAP"}))
        << "no consecutive duplicates; the oldest stays at the top";
    QTest::keyClick(edit, Qt::Key_Down);
    EXPECT_EQ(s.Log.CommandLine->text(), "AT");
    QTest::keyClick(edit, Qt::Key_Down);
    QTest::keyClick(edit, Qt::Key_Down);
    EXPECT_EQ(s.Log.CommandLine->text(), draft);

    for (int i = 0; i < TSessionLogForm::HistoryLimit + 20; ++i)
        s.Log.SendLine(QStringLiteral("AT+CIPSTO=%1").arg(i));
    const QStringList kept = QSettings().value("sessionlog/history").toStringList();
    ASSERT_EQ(kept.size(), TSessionLogForm::HistoryLimit);
    EXPECT_EQ(kept.last(), QStringLiteral("AT+CIPSTO=%1").arg(TSessionLogForm::HistoryLimit + 19));
}

// What is typed is what is sent: a completion is only offered until it is accepted, and
// nothing but the user's keys changes the line.
TEST_F(SessionLogTest, TheFreeLineSendsWhatItShowsAndCompletesOnlyWhenAsked)
{
    StandaloneLog s;
    s.Log.show();
    QApplication::setActiveWindow(&s.Log);
    TSessionLineEdit* line = s.Log.CommandLine;
    line->setFocus();
    auto typeAndEnter = [&](const char* typed) {
        QTest::keyClicks(line, QString::fromLatin1(typed));
        QTest::keyClick(line, Qt::Key_Return);
        return s.Written.isEmpty() ? QByteArray() : s.Written.takeLast();
    };
    EXPECT_EQ(typeAndEnter("AT+"), "AT+\r\n") << "not AT+RST, which was only offered";
    EXPECT_EQ(typeAndEnter("AT+CIPSTA"), "AT+CIPSTA\r\n");
    EXPECT_EQ(typeAndEnter("at+gm"), "at+gm\r\n");

    QTest::keyClicks(line, QStringLiteral("at+gm"));
    EXPECT_EQ(line->Offer(), "R");
    QTest::keyClick(line, Qt::Key_Tab);
    EXPECT_EQ(line->text(), "AT+GMR") << "Tab takes the word as the catalogue spells it";
    EXPECT_TRUE(line->hasFocus());
    line->clear();
    QTest::keyClicks(line, QStringLiteral("AT+CWL"));
    EXPECT_EQ(line->Offer(), "AP");
    QTest::keyClick(line, Qt::Key_Right);
    EXPECT_EQ(typeAndEnter(""), "AT+CWLAP\r\n") << "Right at the end takes it too";

    // Escape withdraws the offer, then empties the line.
    QTest::keyClicks(line, QStringLiteral("AT+CWJ"));
    QTest::keyClick(line, Qt::Key_Escape);
    EXPECT_EQ(line->Offer(), "");
    EXPECT_EQ(line->text(), "AT+CWJ");
    QTest::keyClick(line, Qt::Key_Escape);
    EXPECT_EQ(line->text(), "");

    // Focus goes away and back (Tab with no offer moves it on; a click on a button takes
    // it): the line keeps its text and sends it as it is.
    QTest::keyClicks(line, QStringLiteral("AT+CWMODE?"));
    QTest::keyClick(line, Qt::Key_Tab);
    EXPECT_FALSE(line->hasFocus());
    QTest::mouseClick(s.Log.ClearButton, Qt::LeftButton);
    line->setFocus();
    EXPECT_EQ(line->text(), "AT+CWMODE?");
    EXPECT_EQ(typeAndEnter(""), "AT+CWMODE?\r\n");
    line->setFocus(Qt::TabFocusReason);
    QTest::mouseClick(s.Log.SaveTextButton->parentWidget(), Qt::LeftButton);
    EXPECT_EQ(line->text(), "") << "an empty line stays empty";
    EXPECT_EQ(typeAndEnter("AT"), "AT\r\n");
}

TEST_F(SessionLogTest, APasswordStaysInTheSessionsHistoryButNeverReachesTheFile)
{
    EXPECT_TRUE(CarriesPassword(QStringLiteral("AT+CWJAP=\"net\",\"secret\"")));
    EXPECT_TRUE(CarriesPassword(QStringLiteral("at+cwjap_def=\"a,\\\"b\",\"pw\"")));
    EXPECT_TRUE(CarriesPassword(QStringLiteral("AT+CWSAP_CUR=\"ap\",\"12345678\",5,3")));
    EXPECT_FALSE(CarriesPassword(QStringLiteral("AT+CWJAP=\"open-net\",\"\"")));
    EXPECT_FALSE(CarriesPassword(QStringLiteral("AT+CWJAP?")));
    EXPECT_FALSE(CarriesPassword(QStringLiteral("AT+CWLAP")));

    // A file an earlier version wrote loses its password at the next line sent.
    QSettings().setValue("sessionlog/history", QStringList{"AT+CWSAP=\"old\",\"oldpw\",1,3"});
    StandaloneLog s;
    s.Log.SendLine(QStringLiteral("AT+GMR"));
    s.Log.SendLine(QStringLiteral("AT+CWJAP=\"net\",\"secret\""));
    s.Log.SendLine(QStringLiteral("AT+CIFSR"));
    EXPECT_EQ(QSettings().value("sessionlog/history").toStringList(),
              (QStringList{"AT+GMR", "AT+CIFSR"}));
    QTest::keyClick(s.Log.CommandLine, Qt::Key_Up);
    QTest::keyClick(s.Log.CommandLine, Qt::Key_Up);
    EXPECT_EQ(s.Log.CommandLine->text(), "AT+CWJAP=\"net\",\"secret\"")
        << "the session still recalls it";
}

TEST_F(SessionLogTest, EscapeWaitsForAQuietSecondInOurSendingAndHoldsWritesAfter)
{
    StandaloneLog s;
    s.Log.SendLine(QStringLiteral("AT")); // written at 1000
    s.Now = 1500;
    s.Log.SendLine(QStringLiteral("+++"));
    EXPECT_EQ(s.Written.size(), 1);
    ASSERT_TRUE(s.Log.GuardTimer().isActive());
    EXPECT_EQ(s.Log.GuardTimer().interval(), 500);
    EXPECT_EQ(s.Log.StatusText(), "Waiting for a quiet line before +++");

    s.Now = 1900;
    s.Receive("x"); // what the module sends does not move the escape
    s.Now = 2000;
    s.Log.SendPending();
    ASSERT_EQ(s.Written.last(), QByteArray("+++")) << "three bytes, no line ending";
    EXPECT_FALSE(s.Log.EscapeWaiting());

    s.Now = 2100;
    s.Log.SendLine(QStringLiteral("AT"));
    EXPECT_EQ(s.Written.size(), 2) << "the line after +++ stays quiet too";
    EXPECT_EQ(s.Log.GuardTimer().interval(), 900);
    s.Now = 3000;
    s.Log.SendPending();
    EXPECT_EQ(s.Written.last(), QByteArray("AT\r\n"));
}

// The free line and the window's Exit write to one port through one exchange, on the window's
// clock, which the test moves.
class SharedGuardTest : public SessionLogTest
{
protected:
    void SetUp() override
    {
        SessionLogTest::SetUp();
        Now = serial::BufferedSerialPort::SteadyNowMs();
        Form().NowMs = [this] { return Now; };
        OpenOnRawLine();
        Form().suiPageControl1->SetActivePage(Form().suiTabSheet1);
    }
    void ClickExit() { QTest::mouseClick(Form().suiButton2, Qt::LeftButton); }
    void ClickSend() { QTest::mouseClick(Form().suiButton3, Qt::LeftButton); }

    std::int64_t Now = 0;
};

TEST_F(SharedGuardTest, EachWritersPlusesHoldTheOthersWritesForASecond)
{
    TForm1& form = Form();
    ClickExit(); // a fresh line: at once
    ASSERT_EQ(Line->Read(3), QByteArray("+++"));
    Now += 200;
    Log().SendLine(QStringLiteral("AT+GMR"));
    EXPECT_EQ(Line->Drain(30), QByteArray()) << "the free line waits out the window's +++";
    ASSERT_TRUE(Log().GuardTimer().isActive());
    EXPECT_EQ(Log().GuardTimer().interval(), 800);
    Now += 800;
    Log().SendPending();
    ASSERT_EQ(Line->Read(8), QByteArray("AT+GMR\r\n"));

    Now += 1000;
    Log().SendLine(QStringLiteral("+++"));
    ASSERT_EQ(Line->Read(3), QByteArray("+++"));
    Now += 100;
    ClickSend(); // "AT"
    EXPECT_EQ(Line->Drain(30), QByteArray()) << "nothing may follow the pluses for a second";
    ASSERT_TRUE(form.EscapeTimer->isActive());
    EXPECT_EQ(form.EscapeTimer->interval(), 900);
    Now += 900;
    form.EscapeTimerTimer();
    EXPECT_EQ(Line->Read(4), QByteArray("AT\r\n"));
}

TEST_F(SharedGuardTest, TheFreeLinesPlusesGoAfterTheCommandTheWindowHolds)
{
    TForm1& form = Form();
    ClickExit();
    ASSERT_EQ(Line->Read(3), QByteArray("+++"));
    Now += 100;
    ClickSend(); // "AT", held for the second after the pluses
    Now += 100;
    Log().SendLine(QStringLiteral("+++"));
    ASSERT_TRUE(Log().GuardTimer().isActive());
    EXPECT_EQ(Log().GuardTimer().interval(), 800) << "the held AT first, then a quiet second";
    Now += 800;
    form.EscapeTimerTimer();
    EXPECT_EQ(Line->Read(4), QByteArray("AT\r\n"));
    Now += 999;
    Log().SendPending();
    EXPECT_EQ(Line->Drain(30), QByteArray());
    Now += 1;
    Log().SendPending();
    EXPECT_EQ(Line->Read(3), QByteArray("+++"));
}

TEST_F(SharedGuardTest, EachWritersPlusesWaitForAQuietSecondAfterEitherWritersWrites)
{
    TForm1& form = Form();
    Log().SendLine(QStringLiteral("AT"));
    ASSERT_EQ(Line->Read(4), QByteArray("AT\r\n"));
    Now += 300;
    ClickExit();
    EXPECT_TRUE(form.EscapePending()) << "the window's +++ waits for the free line's write";
    EXPECT_EQ(form.EscapeTimer->interval(), 700);
    ClickOpen(); // Close: the escape waiting for this port is dropped with it
    EXPECT_FALSE(form.EscapePending());
    EXPECT_FALSE(form.EscapeTimer->isActive());

    ClickOpen();
    ASSERT_TRUE(form.Port->IsOpen());
    Now += 2000;
    Line->Write("data from the server");
    ASSERT_TRUE(RunEventsUntil([&] { return form.Port->LastReceivedMs() >= 0; }));
    Log().SendLine(QStringLiteral("+++"));
    EXPECT_EQ(Line->Read(3), QByteArray("+++")) << "received bytes hold nothing back";
    Log().SendLine(QStringLiteral("AT"));
    ASSERT_TRUE(Log().GuardTimer().isActive());
    ClickOpen(); // Close: the held line is not written into the next port
    EXPECT_FALSE(Log().GuardTimer().isActive());
    EXPECT_EQ(Log().StatusText(), "Not sent: the port was closed");
}

TEST_F(SessionLogTest, ViewFollowsUnlessScrolledUpAndMarksDroppedLines)
{
    QSettings().setValue("sessionlog/scrollback", 50);
    StandaloneLog s;
    s.Log.show();
    auto addLines = [&](int from, int to) {
        QByteArray bytes;
        for (int i = from; i < to; ++i)
            bytes += "line " + QByteArray::number(i) + "\r\n";
        s.Receive(bytes);
    };
    addLines(0, 30);
    ASSERT_TRUE(s.Log.Following());
    ASSERT_FALSE(s.Log.VisibleRows().isEmpty());
    ASSERT_LT(s.Log.VisibleRows().size(), 30) << "the test needs a view shorter than the log";
    EXPECT_TRUE(s.Log.VisibleRows().last().endsWith(QString::fromUtf8("line 29\\r\\n")));

    s.Log.ScrollTo(5);
    EXPECT_FALSE(s.Log.Following());
    addLines(30, 40);
    EXPECT_TRUE(s.Log.VisibleRows().first().endsWith(QString::fromUtf8("line 5\\r\\n")))
        << "a view scrolled up stays where it is";

    addLines(40, 60); // 10 lines over the bound
    EXPECT_EQ(s.Log.Record().LineCount(), 50u);
    EXPECT_EQ(s.Log.VisibleRows().first(), "... 10 earlier lines dropped ...");
    EXPECT_EQ(s.Log.RowCount(), 51);

    s.Log.ScrollTo(INT_MAX);
    EXPECT_TRUE(s.Log.Following());
    addLines(60, 61);
    EXPECT_TRUE(s.Log.VisibleRows().last().endsWith(QString::fromUtf8("line 60\\r\\n")));
}

// What arrived shows visibly and in the order it came: an override cannot turn the row
// around, and "+++" with the AT sent a second later are two rows with their own times.
TEST_F(SessionLogTest, TheViewShowsReorderingCharactersEscapedAndSplitsRowsAtAPause)
{
    StandaloneLog s;
    s.Log.show();
    s.Receive("\xe2\x80\xaeRTL \xc2\x85\r\n");
    // As the port's tap reports what went out.
    s.Log.Feed().Append(SessionDirection::Sent, "+++", 3);
    s.Now += 1000;
    s.Log.Feed().Append(SessionDirection::Sent, "AT\r\n", 4);
    QCoreApplication::sendPostedEvents(&s.Log);
    const QStringList rows = s.Log.VisibleRows();
    ASSERT_EQ(rows.size(), 3) << rows.join('|').toStdString();
    EXPECT_TRUE(rows[0].endsWith(QStringLiteral("< \\xE2\\x80\\xAERTL \\xC2\\x85\\r\\n")))
        << rows[0].toStdString();
    EXPECT_TRUE(rows[1].endsWith(QStringLiteral(" > +++")));
    EXPECT_TRUE(rows[2].endsWith(QStringLiteral(" > AT\\r\\n")));
    EXPECT_NE(rows[1].left(12), rows[2].left(12)) << "each row shows its own time";
}

TEST_F(SessionLogTest, RowsAreSelectedCopiedAsShownOrAsTranscriptAndFound)
{
    StandaloneLog s;
    TSessionLogForm& log = s.Log;
    log.show();
    s.Receive("line 0\r\nline 1\r\n");
    log.AddMark(QStringLiteral("closed"));
    s.Receive("line 3\r\nline 4\r\n");
    ASSERT_EQ(log.RowCount(), 5);
    QWidget* rows = log.ViewList->viewport();
    auto click = [&](int row, Qt::KeyboardModifiers modifiers) {
        QTest::mouseClick(rows, Qt::LeftButton, modifiers, log.ViewList->ItemRect(row).center());
    };
    click(1, Qt::NoModifier);
    click(4, Qt::ShiftModifier);
    click(3, Qt::ControlModifier);
    EXPECT_EQ(log.SelectedRowCount(), 3);
    EXPECT_TRUE(log.ViewList->selectionModel()->isRowSelected(2)) << "drawn selected";
    EXPECT_FALSE(log.ViewList->selectionModel()->isRowSelected(3));
    const QStringList shown = log.VisibleRows();
    EXPECT_EQ(log.SelectedText(false), shown[1] + "\n" + shown[2] + "\n" + shown[4] + "\n");
    const QString transcript = log.SelectedText(true);
    EXPECT_EQ(transcript.count('\n'), 3);
    EXPECT_TRUE(transcript.startsWith(QString::fromLatin1(
        TranscriptLine(SessionDirection::Received, log.Record().Line(1).Time.WallMs, "line 1\r\n"))));
    EXPECT_TRUE(transcript.contains(QRegularExpression(QStringLiteral("\n# \\S+ closed\n"))));

    QTest::keyClick(log.ViewList, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(log.SelectedRowCount(), 5);
    QTest::keyClick(log.ViewList, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), shown.join('\n') + "\n");
    QTest::keyClick(log.ViewList, Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(QApplication::clipboard()->text().count("\n# "), 1) << "as the transcript's lines";

    // Ctrl+F, then Enter, F3 and Shift+F3 walk the rows holding the text from the row
    // clicked, round the ends.
    click(0, Qt::NoModifier);
    QApplication::setActiveWindow(&log);
    QTest::keyClick(&log, Qt::Key_F, Qt::ControlModifier);
    ASSERT_TRUE(log.FindLine->isVisible());
    ASSERT_TRUE(log.FindLine->hasFocus());
    QTest::keyClicks(log.FindLine, QStringLiteral("LINE"));
    QTest::keyClick(log.FindLine, Qt::Key_Return);
    auto selected = [&] { return log.SelectedText(false); };
    EXPECT_TRUE(selected().endsWith("line 1\\r\\n\n")) << selected().toStdString();
    QTest::keyClick(&log, Qt::Key_F3);
    EXPECT_TRUE(selected().endsWith("line 3\\r\\n\n")) << "the mark row holds no match";
    QTest::keyClick(&log, Qt::Key_F3);
    QTest::keyClick(&log, Qt::Key_F3);
    EXPECT_TRUE(selected().endsWith("line 0\\r\\n\n")) << "round the end";
    QTest::keyClick(&log, Qt::Key_F3, Qt::ShiftModifier);
    EXPECT_TRUE(selected().endsWith("line 4\\r\\n\n")) << "and back";
    log.SetView(TSessionLogForm::HexView);
    log.FindLine->setText(QStringLiteral("0d 0a 6c"));
    EXPECT_TRUE(log.FindNext(true));
    EXPECT_TRUE(selected().contains(QStringLiteral("20 30 0D 0A  6C 69"))) << selected().toStdString();
    log.FindLine->setText(QStringLiteral("ERROR"));
    EXPECT_FALSE(log.FindNext(true));
    EXPECT_EQ(log.StatusText(), "Not found: ERROR");
    QTest::keyClick(log.FindLine, Qt::Key_Escape);
    EXPECT_FALSE(log.FindLine->isVisible());
}

TEST_F(SessionLogTest, LongRowsScrollSideways)
{
    StandaloneLog s;
    TSessionLogForm& log = s.Log;
    log.show();
    const QByteArray wide = "+IPD,0,200:" + QByteArray(200, 'w') + "END";
    s.Receive(wide);
    const QString full = log.VisibleRows().last();
    ASSERT_TRUE(full.endsWith("END"));
    ASSERT_TRUE(log.ViewColumnBar->isEnabled()) << "the row is wider than the view";
    EXPECT_EQ(log.ViewList->Items().last(), full);
    QTest::keyClick(log.ViewList, Qt::Key_Right);
    log.ScrollColumns(9);
    EXPECT_EQ(log.FirstColumn(), 10);
    EXPECT_EQ(log.ViewList->Items().last(), full.mid(10));
    log.ScrollColumns(100000);
    EXPECT_TRUE(log.ViewList->Items().last().endsWith("END"));
    EXPECT_EQ(log.FirstColumn(), log.ViewColumnBar->Max()) << "no further than the end shows";
    QWheelEvent back({10, 10}, log.ViewList->viewport()->mapToGlobal(QPoint(10, 10)), {},
                     {120, 0}, Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(log.ViewList->viewport(), &back);
    EXPECT_LT(log.FirstColumn(), log.ViewColumnBar->Max()) << "a sideways turn of the wheel";
}

TEST_F(SessionLogTest, TheWindowCannotShrinkBelowASizeWhereNothingOverlaps)
{
    StandaloneLog s;
    TSessionLogForm& log = s.Log;
    log.show();
    log.resize(150, 80);
    QCoreApplication::processEvents();
    EXPECT_GE(log.width(), TSessionLogForm::MinimumWidth);
    EXPECT_GE(log.height(), TSessionLogForm::MinimumHeight);
    log.resize(TSessionLogForm::MinimumWidth, TSessionLogForm::MinimumHeight);
    QCoreApplication::processEvents();
    const QList<QWidget*> controls{log.ViewTabs,      log.ViewList,       log.ViewBar,
                                   log.ViewColumnBar, log.CommandLine,    log.LineEndingBox,
                                   log.SaveTextButton, log.SaveRawButton, log.ClearButton,
                                   log.LogButton,     log.StatusLabel};
    const QRect client = log.Frame->rect();
    for (QWidget* a : controls) {
        EXPECT_TRUE(client.contains(a->geometry())) << a->metaObject()->className();
        EXPECT_GE(a->width(), 16) << a->metaObject()->className();
        for (QWidget* b : controls) {
            if (a == b) continue;
            EXPECT_FALSE(a->geometry().intersects(b->geometry()))
                << a->metaObject()->className() << " and " << b->metaObject()->className();
        }
    }
    EXPECT_GE(log.ViewList->height(), log.ViewList->ItemHeight() * 3) << "rows still show";
}

TEST_F(SessionLogTest, FollowsTheMainWindowsLook)
{
    TForm1& form = Form();
    EXPECT_EQ(Log().Frame->UIStyle(), form.suiForm1->UIStyle());
    form.suiForm1->SetUIStyle(TsuiUIStyle::MacOS);
    EXPECT_EQ(Log().Frame->UIStyle(), TsuiUIStyle::MacOS);
    EXPECT_EQ(Log().CommandLine->UIStyle(), TsuiUIStyle::MacOS);
    EXPECT_EQ(Log().ViewList->UIStyle(), TsuiUIStyle::MacOS);
}

// Against the simulated module: AT+GMR from the catalogue and AT+CWLAP typed into the free line,
// as a new user would try it. With ESP_SCREENSHOT_DIR set, pictures of both views go there.
TEST_F(SessionLogTest, ModuleExchangeFromCatalogueAndFreeLine)
{
    esp8266sim::SimulatedModule::Options options;
    options.com = 1;
    options.aliasFolder = AliasFolder.path().toStdString();
    std::string error;
    auto module = esp8266sim::SimulatedModule::start(options, &error);
    ASSERT_NE(module, nullptr) << error;
    ClickOpen();
    ASSERT_TRUE(Form().Port->IsOpen());
    TSessionLogForm& log = Log();
    log.OpenWindow();

    Form().suiPageControl1->SetActivePage(Form().suiTabSheet1);
    Form().suiBoxAT_Cmd->setCurrentIndex(CmdGMR);
    emit Form().suiBoxAT_Cmd->activated(CmdGMR);
    QTest::mouseClick(Form().suiButton3, Qt::LeftButton);
    auto received = [&] { return log.Record().BytesSeen(SessionDirection::Received); };
    ASSERT_TRUE(PumpUntil(log, [&] { return received() > 0; }));
    ASSERT_TRUE(WaitForQuietLine());
    Tick(25);
    QTest::keyClicks(log.CommandLine, QStringLiteral("AT+CWLAP"));
    QTest::keyClick(log.CommandLine, Qt::Key_Return);
    // The module scans for a second and a half before it lists the access points.
    auto listed = [&] {
        for (std::size_t i = 0; i < log.Record().LineCount(); ++i)
            if (log.Record().Line(i).Bytes.startsWith("+CWLAP:")) return true;
        return false;
    };
    ASSERT_TRUE(PumpUntil(log, listed, 5000));
    ASSERT_TRUE(WaitForQuietLine());
    Tick(25);
    QCoreApplication::sendPostedEvents(&log);

    const QString text = log.VisibleRows().join(QLatin1Char('\n'));
    EXPECT_TRUE(text.contains(QString::fromUtf8("> AT+GMR\\r\\n"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QString::fromUtf8("> AT+CWLAP\\r\\n")));
    EXPECT_TRUE(text.contains(QString::fromUtf8("< +CWLAP:")));
    EXPECT_EQ(Form().suiStatusBar1->PanelText(1), "Successful");

    const QString folder = qEnvironmentVariable("ESP_SCREENSHOT_DIR");
    if (!folder.isEmpty()) {
        EXPECT_TRUE(log.grab().save(folder + QStringLiteral("/screenshot-sessionlog-text.png")));
        log.SetView(TSessionLogForm::HexView);
        EXPECT_TRUE(log.grab().save(folder + QStringLiteral("/screenshot-sessionlog-hex.png")));
        EXPECT_TRUE(log.SaveText(folder + QStringLiteral("/sessionlog-example.log")));
    }
    ClickOpen();
}

} // namespace

namespace {

// Open, Close, a hang-up and the automatic reopen each leave a row in the view and a mark line
// in the transcript, in order with the bytes around them.
TEST_F(SessionLogTest, ThePortsLifeLeavesMarksInTheViewAndTheTranscript)
{
    Line = std::make_unique<RawLine>(AliasFolder.path(), 201);
    TForm1& form = Form();
    ASSERT_TRUE(Log().StartTranscript(File("life.log")));
    form.suiComboBox_PcBaudRate->setCurrentIndex(3); // 9600
    form.suiComboBox_PcParity->setCurrentIndex(2);   // EVEN
    AppTest::OpenOnRawLine(201);
    Log().SendLine(QStringLiteral("AT"));
    ASSERT_EQ(Line->Read(4), "AT\r\n");
    Line->HangUp();
    ASSERT_TRUE(RunEventsUntil([&] { return form.suiStatusBar1->PanelText(0) == "Closed"; }));
    ASSERT_TRUE(form.ReopenPending());
    Line = std::make_unique<RawLine>(AliasFolder.path(), 201);
    ASSERT_TRUE(RunEventsUntil([&] { return form.Port->IsOpen(); }));
    ClickOpen(); // Close
    ClickOpen();
    ASSERT_TRUE(form.Port->IsOpen());
    Log().AddMark(QStringLiteral("end of test"));
    ASSERT_TRUE(PumpUntil(Log(), [&] { return ReadFile(File("life.log")).contains("end of test"); }));

    QStringList marks;
    for (std::size_t i = 0; i < Log().Record().LineCount(); ++i) {
        const SessionLine line = Log().Record().Line(i);
        marks << QLatin1Char(DirectionMark(line.Direction)) + QString::fromUtf8(line.Bytes);
    }
    const QString device = QString::fromStdString(form.Port->DevicePath);
    const QString port = QStringLiteral("COM201 %1 9600 8E1").arg(device);
    ASSERT_EQ(marks.size(), 7) << marks.join('|').toStdString();
    EXPECT_EQ(marks[0], "#opened " + port);
    EXPECT_EQ(marks[1], ">AT\r\n");
    EXPECT_TRUE(marks[2].startsWith("#lost (")) << marks[2].toStdString();
    EXPECT_EQ(marks[3], "#reopened " + port);
    EXPECT_EQ(marks[4], "#closed");
    EXPECT_EQ(marks[5], "#opened " + port);

    const QList<QByteArray> lines = ReadFile(File("life.log")).trimmed().split('\n');
    ASSERT_EQ(lines.size(), 7);
    const QRegularExpression mark(
        QStringLiteral(R"(^# \d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}[+-]\d\d:\d\d (.*)$)"));
    const auto textOf = [&](int i) { return mark.match(QString::fromUtf8(lines[i])).captured(1); };
    EXPECT_EQ(textOf(0), "opened " + port);
    EXPECT_TRUE(lines[1].contains(" > AT\\r\\n"));
    EXPECT_TRUE(textOf(2).startsWith("lost ("));
    EXPECT_EQ(textOf(3), "reopened " + port);
    EXPECT_EQ(textOf(4), "closed");

    Log().show();
    EXPECT_TRUE(Log().VisibleRows().join('\n').contains(" # closed"));
    Log().SetView(TSessionLogForm::HexView);
    EXPECT_TRUE(Log().VisibleRows().join('\n').contains(" # opened " + port))
        << "marks show as they are in the hex view too";
}

} // namespace

namespace {

// A file system of 1 MB of its own, for the disk that fills up; mounting needs the right to
// (root, as in CI), so without it the test says why and skips.
struct SmallFileSystem
{
    QTemporaryDir Folder;
    QString Error;
    bool Mounted = false;
    SmallFileSystem()
    {
        Mounted = ::mount("tmpfs", QFile::encodeName(Folder.path()).constData(), "tmpfs", 0,
                          "size=1m") == 0;
        if (!Mounted) Error = QString::fromLocal8Bit(std::strerror(errno));
    }
    ~SmallFileSystem()
    {
        if (Mounted) ::umount2(QFile::encodeName(Folder.path()).constData(), MNT_DETACH);
    }
    QString Path(const char* name) const { return Folder.filePath(QString::fromLatin1(name)); }
};

TEST_F(SessionLogTest, AFullDiskIsToldOnceKeepsWholeLinesAndTheTranscriptCarriesOn)
{
    SmallFileSystem disk;
    if (!disk.Mounted) GTEST_SKIP() << "cannot mount a 1 MB tmpfs: " << disk.Error.toStdString();
    QFile filler(disk.Path("filler"));
    ASSERT_TRUE(filler.open(QIODevice::WriteOnly));
    while (filler.write(QByteArray(64 * 1024, 'x')) > 0 && filler.flush()) {
    }
    filler.close();
    filler.resize(filler.size() - 200 * 1024); // room for about 200 KiB

    TForm1& form = Form();
    TSessionLogForm& log = Log();
    ASSERT_TRUE(log.StartTranscript(disk.Path("t.log")));
    auto receive = [&](int from, int to) {
        QByteArray bytes;
        for (int i = from; i < to; ++i)
            bytes += "+IPD,0,24:line " + QByteArray::number(i).rightJustified(8, '0') + "\r\n";
        log.Feed().Append(SessionDirection::Received, bytes.constData(), std::size_t(bytes.size()));
        QCoreApplication::sendPostedEvents(&log);
    };
    testing::internal::CaptureStderr();
    for (int i = 0; i < 8000; i += 1000)
        receive(i, i + 1000); // about 380 KiB of lines
    const std::string told = testing::internal::GetCapturedStderr();
    EXPECT_EQ(QString::fromStdString(told).count(QStringLiteral("cannot be written")), 1) << told;
    EXPECT_NE(told.find("No space left on device"), std::string::npos) << told;
    EXPECT_TRUE(log.StatusText().contains(QStringLiteral("cannot be written")));
    EXPECT_TRUE(form.suiComboBox_PcPort->toolTip().contains(log.TranscriptProblem()))
        << "the main window tells it by the port list's tooltip";
    const QByteArray partial = ReadFile(disk.Path("t.log"));
    ASSERT_FALSE(partial.isEmpty());
    EXPECT_TRUE(partial.endsWith('\n')) << "the file ends with a whole line";
    EXPECT_TRUE(log.TranscriptOn());

    // Space is freed: the retry writes what waited without more traffic.
    ASSERT_TRUE(log.TranscriptRetryTimer().isActive());
    ASSERT_TRUE(QFile::remove(disk.Path("filler")));
    ASSERT_TRUE(RunEventsUntil([&] { return log.TranscriptProblem().isEmpty(); }));
    EXPECT_FALSE(log.TranscriptRetryTimer().isActive());
    EXPECT_FALSE(form.suiComboBox_PcPort->toolTip().contains(QStringLiteral("cannot be written")));
    receive(8000, 8001);
    log.StopTranscript();
    const QList<QByteArray> lines = ReadFile(disk.Path("t.log")).trimmed().split('\n');
    ASSERT_EQ(lines.size(), 8001) << "every line once";
    for (int i : {0, 4000, 8000})
        EXPECT_TRUE(lines[i].endsWith("line " + QByteArray::number(i).rightJustified(8, '0') +
                                      "\\r\\n"))
            << lines[i].toStdString();
}

} // namespace
