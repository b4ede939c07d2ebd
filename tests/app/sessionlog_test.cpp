// The session log window offscreen: opening it, the free command line with its line endings,
// history and completion, the quiet guard of "+++", following and the drop mark, saving and
// the transcript; against a raw pseudo-terminal where a port is needed.
#include "simulatedmodule.h" // before Qt, whose emit macro it would meet
#include "appfixture.h"

#include "app/sessionlog.h"
#include "skin/suicombobox.h"
#include "skin/suiform.h"
#include "workbench/catalogue.h"

#include <QAbstractItemModel>
#include <QCompleter>
#include <QDeadlineTimer>
#include <QFile>
#include <QLineEdit>
#include <QRegularExpression>
#include <QSettings>
#include <QTest>
#include <QThread>

#include <climits>

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
        ClickOpen();
        ASSERT_TRUE(Form().Port->IsOpen());
    }
    TSessionLogForm& Log() { return *Form().SessionLog; }
    QString File(const char* name) const { return Files.filePath(QString::fromLatin1(name)); }

    QTemporaryDir Files;
    std::unique_ptr<RawLine> Line;
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
                Log().focusWidget() == Log().CommandLine->lineEdit());

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

    QTest::keyClicks(log.CommandLine->lineEdit(), QStringLiteral("AT+CWLAP"));
    QTest::keyClick(log.CommandLine->lineEdit(), Qt::Key_Return);
    ASSERT_EQ(Line->Read(10), "AT+CWLAP\r\n");
    EXPECT_EQ(log.CommandLine->currentText(), "") << "the line empties once sent";
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
        s.Log.CommandLine->setEditText(QStringLiteral("AT"));
        QTest::keyClick(s.Log.CommandLine->lineEdit(), Qt::Key_Enter);
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
    QLineEdit* edit = s.Log.CommandLine->lineEdit();
    QTest::keyClicks(edit, QStringLiteral("draft"));
    const QString draft = s.Log.CommandLine->currentText();
    QStringList seen;
    for (int i = 0; i < 4; ++i) {
        QTest::keyClick(edit, Qt::Key_Up);
        seen << s.Log.CommandLine->currentText();
    }
    EXPECT_EQ(seen, (QStringList{"AT+GMR", "AT", "AT+CWLAP", "AT+CWLAP"}))
        << "no consecutive duplicates; the oldest stays at the top";
    QTest::keyClick(edit, Qt::Key_Down);
    EXPECT_EQ(s.Log.CommandLine->currentText(), "AT");
    QTest::keyClick(edit, Qt::Key_Down);
    QTest::keyClick(edit, Qt::Key_Down);
    EXPECT_EQ(s.Log.CommandLine->currentText(), draft);

    for (int i = 0; i < TSessionLogForm::HistoryLimit + 20; ++i)
        s.Log.SendLine(QStringLiteral("AT+CIPSTO=%1").arg(i));
    const QStringList kept = QSettings().value("sessionlog/history").toStringList();
    ASSERT_EQ(kept.size(), TSessionLogForm::HistoryLimit);
    EXPECT_EQ(kept.last(), QStringLiteral("AT+CIPSTO=%1").arg(TSessionLogForm::HistoryLimit + 19));
}

TEST_F(SessionLogTest, CommandLineCompletesTheCatalogue)
{
    StandaloneLog s;
    TsuiComboBox* line = s.Log.CommandLine;
    QStringList items;
    for (int i = 0; i < line->count(); ++i)
        items << line->itemText(i);
    EXPECT_EQ(items, CommandCatalogue());
    QCompleter* completer = line->completer();
    ASSERT_NE(completer, nullptr);
    completer->setCompletionPrefix(QStringLiteral("at+cwl"));
    EXPECT_EQ(completer->completionCount(), 2); // AT+CWLAP, AT+CWLIF
    EXPECT_EQ(completer->currentCompletion(), "AT+CWLAP");
    QTest::keyClicks(line->lineEdit(), QStringLiteral("AT+CIPST"));
    EXPECT_TRUE(line->currentText().startsWith("AT+CIPST")) << "typing is never lost";
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
        Now = BufferedSerialPort::SteadyNowMs();
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
    QTest::keyClicks(log.CommandLine->lineEdit(), QStringLiteral("AT+CWLAP"));
    QTest::keyClick(log.CommandLine->lineEdit(), Qt::Key_Return);
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
    std::unique_ptr<RawLine>& Line = AppTest::Line; // the line the window's scan lists
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
