// The window against the simulated module: a command and its reply, and the whole connection
// sequence ending with the module in transparent mode on a TCP connection of the test's own.
// The simulator's header names a member emit(), which Qt defines as a macro: it comes first.
#include "simulatedmodule.h"

#include "appfixture.h"

#include "app/sessionlog.h"

#include <QElapsedTimer>
#include <QTest>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// A TCP server on 127.0.0.1 with a port of the system's choosing.
class LoopbackServer
{
public:
    LoopbackServer()
    {
        Listener = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (::bind(Listener, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
            ::listen(Listener, 1) != 0 ||
            ::getsockname(Listener, reinterpret_cast<sockaddr*>(&address), &length) != 0)
            ADD_FAILURE() << "no loopback server";
        Port = ntohs(address.sin_port);
    }
    ~LoopbackServer()
    {
        if (Client >= 0) ::close(Client);
        ::close(Listener);
    }
    // The connection the module opened, if one came within timeoutMs.
    bool Accept(int timeoutMs)
    {
        pollfd fd{Listener, POLLIN, 0};
        if (::poll(&fd, 1, timeoutMs) <= 0) return false;
        Client = ::accept(Listener, nullptr, nullptr);
        return Client >= 0;
    }
    QByteArray Read(int count, int timeoutMs)
    {
        QByteArray bytes;
        pollfd fd{Client, POLLIN, 0};
        while (bytes.size() < count && ::poll(&fd, 1, timeoutMs) > 0) {
            char buffer[256];
            const ssize_t n = ::read(Client, buffer, sizeof buffer);
            if (n <= 0) break;
            bytes.append(buffer, int(n));
        }
        return bytes;
    }

    int Listener = -1;
    int Client = -1;
    unsigned short Port = 0;
};

class ModuleTest : public AppTest
{
protected:
    void SetUp() override
    {
        AppTest::SetUp();
        esp8266sim::ModuleOptions fast;
        fast.joinDelayMs = 100;
        StartModule(fast);
    }
    // The module as COM1, replacing the one running.
    void StartModule(const esp8266sim::ModuleOptions& module)
    {
        Module.reset();
        esp8266sim::SimulatedModule::Options options;
        options.com = 1;
        options.aliasFolder = AliasFolder.path().toStdString();
        options.module = module;
        std::string error;
        Module = esp8266sim::SimulatedModule::start(options, &error);
        ASSERT_NE(Module, nullptr) << error;
    }
    // Fills the page for the test's server, opens COM1 and presses "Configuration mode".
    void StartSequence(const LoopbackServer& server)
    {
        TForm1& form = Form();
        ClickOpen();
        ASSERT_TRUE(form.Port->IsOpen());
        form.suiEdit4->setText("esp-test");
        form.suiEdit5->setText("password123");
        form.suiEdit6->setText("127.0.0.1");
        form.suiEdit7->setText(QString::number(server.Port));
        QTest::mouseClick(form.suiButton4, Qt::LeftButton);
        ASSERT_EQ(form.ConfigStep, 1);
    }
    // With the tick at its real rate: the sequence joins (the step shows the whole join reply),
    // runs to its end and the module connects to the server.
    // joinedAfterMs: how long after the click the first step ran.
    void RunSequenceInRealTime(LoopbackServer& server, QStringList& joinReply,
                               qint64& joinedAfterMs)
    {
        TForm1& form = Form();
        QElapsedTimer clock;
        clock.start();
        ASSERT_TRUE(TickInRealTime([&] { return form.ConfigStep == 2; }, 20000));
        joinedAfterMs = clock.elapsed();
        joinReply = form.suiListBox1->Items();
        ASSERT_TRUE(TickInRealTime([&] { return form.ConfigStep == 0; }, 20000));
        EXPECT_EQ(form.suiListBox2->Items(), QStringList{"Send--> AT+CIPSEND"});
        // Whether transparent mode is reached is left to the test with hand-driven ticks: at
        // the real rate a step may follow its predecessor one tick later, before the module's
        // answer arrives on a loaded machine (the sequence moves on whenever a tick sees no byte).
        EXPECT_TRUE(server.Accept(5000));
    }
    void TearDown() override
    {
        AppTest::TearDown();
        Module.reset();
    }

    // Ticks until the sequence moves on, at most `limit`; returns the number of ticks.
    int TickUntilStep(int limit)
    {
        const std::int32_t step = Form().ConfigStep;
        for (int n = 1; n <= limit; ++n) {
            Tick(1);
            if (Form().ConfigStep != step) return n;
        }
        return -1;
    }

    std::unique_ptr<esp8266sim::SimulatedModule> Module;
};

TEST_F(ModuleTest, VersionQueryIsAnsweredAndShown)
{
    TForm1& form = Form();
    ASSERT_EQ(form.suiComboBox_PcPort->currentText(), "COM1");
    ClickOpen();
    ASSERT_EQ(form.suiStatusBar1->PanelText(0), "Opened");
    form.suiPageControl1->SetActivePage(form.suiTabSheet1);
    form.suiBoxAT_Cmd->setCurrentIndex(2);
    emit form.suiBoxAT_Cmd->activated(2);
    EXPECT_EQ(form.suiMemo2->Text(), "AT+GMR Check the version information");
    QTest::mouseClick(form.suiButton3, Qt::LeftButton);
    EXPECT_EQ(form.suiListBox2->Items(), QStringList{"Send--> AT+GMR"});
    ASSERT_TRUE(WaitForQuietLine());
    Tick(20);
    const QStringList reply = form.suiListBox1->Items();
    ASSERT_FALSE(reply.isEmpty());
    EXPECT_EQ(reply.first(), "AT+GMR"); // the module's echo
    EXPECT_EQ(reply.last(), "OK");
    EXPECT_EQ(form.suiStatusBar1->PanelText(1), "Successful");
}

TEST_F(ModuleTest, ConfigurationModeJoinsConnectsAndEntersTransparentMode)
{
    LoopbackServer server;
    StartSequence(server);
    TForm1& form = Form();

    // Each step follows 200 quiet ticks after the module's last byte.
    for (std::int32_t expected : {2, 3, 0}) {
        ASSERT_TRUE(WaitForQuietLine(200)) << "no answer before step " << expected;
        EXPECT_EQ(TickUntilStep(250), 200);
        EXPECT_EQ(form.ConfigStep, expected);
    }
    EXPECT_EQ(form.suiListBox2->Items(), QStringList{"Send--> AT+CIPSEND"});
    ASSERT_TRUE(server.Accept(5000));

    // The answer to AT+CIPSEND is shown by the step's own notification when it came at once,
    // else by the ordinary framing that follows.
    ASSERT_TRUE(WaitForQuietLine());
    const QStringList shownByStep = form.suiListBox1->Items();
    Tick(20);
    EXPECT_TRUE(shownByStep.contains(">") || form.suiListBox1->Items().contains(">"));
    // In transparent mode the serial bytes reach the server unchanged.
    ASSERT_TRUE(form.Port->Write("ping", 4));
    EXPECT_EQ(server.Read(4, 3000), QByteArray("ping"));
}

TEST_F(ModuleTest, TheSequenceWaitsForAJoinAnsweredInPiecesAtTheModulesOwnPace)
{
    StartModule([] { esp8266sim::ModuleOptions o; o.joinDelayMs = 2000; return o; }()); // verdict at 2 s
    LoopbackServer server;
    StartSequence(server);
    QStringList joinReply;
    qint64 joinedAfterMs = 0;
    RunSequenceInRealTime(server, joinReply, joinedAfterMs);
    ASSERT_FALSE(joinReply.isEmpty());
    EXPECT_EQ(joinReply.first(), "AT+CWJAP=\"esp-test\",\"password123\"");
    EXPECT_TRUE(joinReply.contains("WIFI CONNECTED"));
    EXPECT_TRUE(joinReply.contains("WIFI GOT IP"));
    // The join's OK ends its answer; the next step's echo may already follow it in the block
    // (bytes that come before the notification is handled are shown with it).
    EXPECT_GT(joinReply.indexOf("OK"), joinReply.indexOf("WIFI GOT IP"));
    // Two seconds of join, then two of quiet after its last piece.
    EXPECT_GE(joinedAfterMs, 3900);
}

TEST_F(ModuleTest, TheSequenceRunsWithAModuleThatDoesNotEcho)
{
    esp8266sim::ModuleOptions silent;
    silent.echo = false;
    silent.joinDelayMs = 100;
    StartModule(silent);
    LoopbackServer server;
    StartSequence(server);
    QStringList joinReply;
    qint64 joinedAfterMs = 0;
    RunSequenceInRealTime(server, joinReply, joinedAfterMs);
    EXPECT_GE(joinedAfterMs, 2000);
    EXPECT_EQ(joinReply, QStringList({"WIFI CONNECTED", "WIFI GOT IP", "", "OK"}));
}

} // namespace

namespace {

using Workbench::SessionChunk;
using Workbench::SessionDirection;

// Against the module as real firmware behaves: the sequence is paced by the final answers.
class PacedSequenceTest : public ModuleTest
{
protected:
    // What the session log saw, in order.
    std::vector<SessionChunk> Traffic()
    {
        QCoreApplication::sendPostedEvents(Form().SessionLog);
        Form().SessionLog->Drain();
        return Form().SessionLog->Record().Chunks();
    }
    // For each command sent after the first: how long after the module's last byte it went,
    // and the received bytes since the command before it.
    struct Gap
    {
        QByteArray command;
        std::int64_t afterLastByteMs;
        QByteArray answerBefore;
    };
    std::vector<Gap> Gaps()
    {
        std::vector<Gap> gaps;
        std::int64_t lastReceived = -1;
        QByteArray received;
        bool first = true;
        for (const SessionChunk& c : Traffic()) {
            if (c.Direction == SessionDirection::Received) {
                lastReceived = c.Time.SteadyMs;
                received += c.Bytes;
            } else if (c.Direction == SessionDirection::Sent) {
                if (!first) gaps.push_back({c.Bytes, c.Time.SteadyMs - lastReceived, received});
                first = false;
                received.clear();
            }
        }
        return gaps;
    }
    QByteArray Received()
    {
        QByteArray all;
        for (const SessionChunk& c : Traffic())
            if (c.Direction == SessionDirection::Received) all += c.Bytes;
        return all;
    }
    // Whether the module answered the last command with the prompt of transparent mode.
    bool PromptAfterLastCommand()
    {
        QByteArray after;
        for (const SessionChunk& c : Traffic()) {
            if (c.Direction == SessionDirection::Sent) after.clear();
            if (c.Direction == SessionDirection::Received) after += c.Bytes;
        }
        return after.contains(">");
    }
    // Opens COM1 on a module that may boot as it opens, and waits for it to be ready.
    void OpenAndSettle(LoopbackServer& server)
    {
        TForm1& form = Form();
        ClickOpen();
        ASSERT_TRUE(form.Port->IsOpen());
        // A module that boots as the port opens is ready once it says so.
        RunEventsUntil([&] { return Received().contains("ready\r\n"); }, 3000);
        WaitForQuietLine(100, 1000);
        Tick(20);
        form.suiEdit4->setText("esp-test");
        form.suiEdit5->setText("password123");
        form.suiEdit6->setText("127.0.0.1");
        form.suiEdit7->setText(QString::number(server.Port));
    }
};

TEST_F(PacedSequenceTest, ReachesTransparentModeWithEachStepTwoSecondsAfterTheFinalAnswer)
{
    esp8266sim::ModuleOptions realistic; // silences of more than 2 s inside the join
    esp8266sim::ModuleOptions newer;
    newer.firmware = 2;
    newer.okBeforeIp = true;
    esp8266sim::ModuleOptions booting;
    booting.bootOnOpen = true;
    esp8266sim::ModuleOptions late;
    late.echoLatencyMs = 25; // an adapter's latency timer: the echo comes after the next tick
    for (const auto& [name, options] :
         std::vector<std::pair<const char*, esp8266sim::ModuleOptions>>{
             {"realistic", realistic}, {"firmware 2, OK before IP", newer},
             {"boot on open", booting}, {"echo latency 25 ms", late}}) {
        SCOPED_TRACE(name);
        if (Form().Port->IsOpen()) ClickOpen();
        StartModule(options);
        LoopbackServer server;
        OpenAndSettle(server);
        QTest::mouseClick(Form().suiButton4, Qt::LeftButton);
        ASSERT_TRUE(TickInRealTime([&] { return Form().ConfigStep == 0; }, 30000));
        // The last step's answer, then the module is in transparent mode.
        ASSERT_TRUE(TickInRealTime([&] { return PromptAfterLastCommand(); }, 5000));
        EXPECT_TRUE(server.Accept(5000));
        for (const std::string& heard : Module->state().commands)
            EXPECT_EQ(heard.find("busy"), std::string::npos) << heard;
        std::vector<Gap> gaps = Gaps();
        ASSERT_GE(gaps.size(), 3u);
        gaps.erase(gaps.begin(), gaps.end() - 3); // this run's three steps after the join
        for (const Gap& g : gaps) {
            EXPECT_TRUE(g.answerBefore.contains("OK\r\n")) << g.command.constData();
            EXPECT_NEAR(double(g.afterLastByteMs), 2000.0, 50.0) << g.command.constData();
        }
        EXPECT_EQ(Form().suiStatusBar1->PanelText(1), "Successful");
    }
}

TEST_F(PacedSequenceTest, ARefusedJoinStopsTheSequenceAndReadsFailed)
{
    LoopbackServer server;
    OpenAndSettle(server);
    TForm1& form = Form();
    form.suiEdit5->setText("wrong password");
    QTest::mouseClick(form.suiButton4, Qt::LeftButton);
    ASSERT_TRUE(TickInRealTime([&] { return form.ConfigStep == 0; }, 5000));
    Tick(300); // no step follows, and the answer is framed as a block of its own
    EXPECT_EQ(form.suiListBox2->Items(), QStringList{"Send--> AT+CWJAP=\"esp-test\",\"wrong password\""});
    EXPECT_TRUE(form.suiListBox1->Items().contains("FAIL"));
    EXPECT_EQ(form.suiStatusBar1->PanelText(1), "Failed");
    bool marked = false;
    for (const SessionChunk& c : Traffic())
        marked |= c.Direction == SessionDirection::Mark &&
                  c.Bytes.contains("step 1 (join) failed: +CWJAP:") && c.Bytes.contains("FAIL");
    EXPECT_TRUE(marked);

    // A single command answered ERROR reads Failed too.
    form.suiPageControl1->SetActivePage(form.suiTabSheet1);
    form.suiBoxAT_Cmd->setCurrentIndex(10); // AT+CIPSTART with no address: ERROR
    emit form.suiBoxAT_Cmd->activated(10);
    QTest::mouseClick(form.suiButton3, Qt::LeftButton);
    ASSERT_TRUE(WaitForQuietLine());
    Tick(20);
    EXPECT_TRUE(form.suiListBox1->Items().contains("ERROR"));
    EXPECT_EQ(form.suiStatusBar1->PanelText(1), "Failed");
}

TEST_F(PacedSequenceTest, ExitLeavesTransparentModeWhileTheServerKeepsSending)
{
    LoopbackServer server;
    OpenAndSettle(server);
    TForm1& form = Form();
    QTest::mouseClick(form.suiButton4, Qt::LeftButton);
    ASSERT_TRUE(TickInRealTime([&] { return form.ConfigStep == 0; }, 20000));
    ASSERT_TRUE(server.Accept(5000));
    ASSERT_TRUE(TickInRealTime([&] { return PromptAfterLastCommand(); }, 3000));
    // Something of ours went out just now; the server sends a line every 100 ms.
    form.suiPageControl1->SetActivePage(form.suiTabSheet1);
    form.suiBoxAT_Cmd->setCurrentIndex(0);
    emit form.suiBoxAT_Cmd->activated(0);
    QTest::mouseClick(form.suiButton3, Qt::LeftButton);
    QElapsedTimer clock;
    clock.start();
    QTest::mouseClick(form.suiButton2, Qt::LeftButton);
    const std::int64_t clickedMs = serial::BufferedSerialPort::SteadyNowMs();
    qint64 nextLine = 0;
    std::int64_t escapeSentMs = -1;
    while (escapeSentMs < 0 && clock.elapsed() < 3000) {
        if (clock.elapsed() >= nextLine) {
            ASSERT_EQ(::write(server.Client, "data from the server\r\n", 22), 22);
            nextLine += 100;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        for (const SessionChunk& c : Traffic())
            if (c.Direction == SessionDirection::Sent && c.Bytes == "+++") escapeSentMs = c.Time.SteadyMs;
    }
    ASSERT_GE(escapeSentMs, 0) << "the pluses never went out";
    EXPECT_LE(escapeSentMs - clickedMs, 1100);
    // With nothing written for a second, a second Exit goes at once.
    QTest::qWait(2100);
    const std::int64_t again = serial::BufferedSerialPort::SteadyNowMs();
    QTest::mouseClick(form.suiButton2, Qt::LeftButton);
    EXPECT_FALSE(form.EscapePending());
    std::int64_t lastSent = -1;
    for (const SessionChunk& c : Traffic())
        if (c.Direction == SessionDirection::Sent) lastSent = c.Time.SteadyMs;
    EXPECT_LE(lastSent - again, 50);
}

} // namespace
