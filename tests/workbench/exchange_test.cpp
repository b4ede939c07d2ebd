// The exchange with the module: where an answer ends (final lines, echo, restarts, busy,
// network data), the order of writes and the quiet second around "+++", time-outs, the
// port's loss and the bound on what is kept. Time is passed in, never waited for.
#include "workbench/exchange.h"

#include "qtprinters.h"

#include <gtest/gtest.h>

#include <vector>

using namespace Workbench;

namespace {

struct Written
{
    std::int64_t AtMs;
    QByteArray Bytes;
};

// An exchange whose writes are recorded with the time they went out.
class ExchangeTest : public ::testing::Test
{
protected:
    ExchangeTest()
        : Engine([this](const QByteArray& bytes) {
              if (!PortOpen) return false;
              Writes.push_back({Now, bytes});
              return true;
          })
    {
        Engine.OnAnswerComplete = [this](const ExchangeAnswer& a) { Answers.push_back(a); };
        Engine.OnModuleRestarted = [this] { ++Restarts; };
        Engine.OnPortLost = [this] { ++Losses; };
    }
    // Moves the clock on, calling Advance at every due time on the way (as the driver does).
    void RunUntil(std::int64_t ms)
    {
        while (auto due = Engine.NextDueMs()) {
            if (*due > ms) break;
            Now = std::max(Now, *due);
            Engine.Advance(Now);
        }
        Now = ms;
        Engine.Advance(Now);
    }
    QList<QByteArray> WrittenBytes() const
    {
        QList<QByteArray> all;
        for (const Written& w : Writes)
            all.append(w.Bytes);
        return all;
    }

    std::int64_t Now = 10000;
    bool PortOpen = true;
    Exchange Engine;
    std::vector<Written> Writes;
    std::vector<ExchangeAnswer> Answers;
    int Restarts = 0;
    int Losses = 0;
};

struct Conversation
{
    const char* Command;
    QByteArray Answer; // up to and including the final line
    QByteArray Rest;   // what follows it
    FinalResult Final;
    bool Succeeded;
};

const std::vector<Conversation> conversations{
    {"AT\r\n", "AT\r\r\n\r\nOK\r\n", "", FinalResult::Ok, true},
    {"AT+CWJAP=\"esp-test\",\"password123\"\r\n",
     "AT+CWJAP=\"esp-test\",\"password123\"\r\r\nWIFI CONNECTED\r\nWIFI GOT IP\r\n\r\nOK\r\n", "",
     FinalResult::Ok, true},
    {"AT+CWJAP=\"esp-test\",\"wrong\"\r\n",
     "AT+CWJAP=\"esp-test\",\"wrong\"\r\r\n+CWJAP:2\r\n\r\nFAIL\r\n", "", FinalResult::Fail, false},
    // "busy p..." refuses the command; the OK after it answers the one the module was busy with.
    {"AT+CIPSTART=\"TCP\",\"1.2.3.4\",80\r\n", "busy p...\r\n\r\nOK\r\n", "WIFI GOT IP\r\n",
     FinalResult::Busy, false},
    {"AT+CIPSTART=\"TCP\",\"127.0.0.1\",1\r\n",
     "AT+CIPSTART=\"TCP\",\"127.0.0.1\",1\r\r\nERROR\r\n", "CLOSED\r\n", FinalResult::Error, false},
    {"AT+CIPSTART=\"TCP\",\"127.0.0.1\",1\r\n", "ALREADY CONNECTED\r\n", "\r\nERROR\r\n",
     FinalResult::AlreadyConnected, false},
    {"AT+CIPSEND\r\n", "AT+CIPSEND\r\r\n\r\nOK\r\n", "\r\n>", FinalResult::Ok, true},
    {"AT+CIPSEND=5\r\n", "AT+CIPSEND=5\r\r\n\r\n>", " ", FinalResult::Prompt, true},
    {"hello\r\n", "hello\r\r\n\r\nRecv 5 bytes\r\n\r\nSEND FAIL\r\n", "", FinalResult::SendFail,
     false},
    // After a restart command OK only announces the restart; ready, after the boot noise, ends it.
    {"AT+RST\r\n", "AT+RST\r\r\n\r\nOK\r\n\xE4\x90\x81\xFF\r\nready\r\n", "WIFI GOT IP\r\n",
     FinalResult::Ready, true},
    // The echo of a line that reads like a final result is still only the echo.
    {"OK\r\n", "OK\r\r\nERROR\r\n", "", FinalResult::Error, false},
    // A restart the module did on its own ends the answer, but not well.
    {"AT+GMR\r\n", "AT+GMR\r\r\n\r\nready\r\n", "", FinalResult::Ready, false},
    // Network data is taken by its length: its CR LF, ERROR and OK are no answer.
    {"AT+CIPSTATUS\r\n",
     "AT+CIPSTATUS\r\r\n+IPD,14:x\r\nERROR\r\nOK\r\n+IPD,0,3:>\n\nSTATUS:3\r\n\r\nOK\r\n", "",
     FinalResult::Ok, true},
};

TEST_F(ExchangeTest, AnAnswerEndsAtItsFinalLineWhereverTheChunksAreSplit)
{
    for (const Conversation& c : conversations) {
        const QByteArray all = c.Answer + c.Rest;
        for (qsizetype cut = 0; cut <= all.size(); ++cut) {
            Answers.clear();
            Engine.Reset();
            Engine.SendCommand(c.Command, Now);
            Engine.Receive(QByteArrayView(all).first(cut), Now);
            // Complete exactly when the first piece holds the whole final line.
            EXPECT_EQ(Answers.size(), cut >= c.Answer.size() ? 1u : 0u) << c.Command << cut;
            Engine.Receive(QByteArrayView(all).sliced(cut), Now);
            ASSERT_EQ(Answers.size(), 1u) << c.Command << " cut at " << cut;
            EXPECT_EQ(Answers[0].Final, c.Final) << c.Command;
            EXPECT_EQ(Answers[0].Succeeded(), c.Succeeded) << c.Command;
            EXPECT_EQ(Answers[0].Bytes, c.Answer) << c.Command << " cut at " << cut;
        }
        Answers.clear();
        Engine.Reset();
        Engine.SendCommand(c.Command, Now);
        for (char byte : all)
            Engine.Receive(QByteArrayView(&byte, 1), Now);
        ASSERT_EQ(Answers.size(), 1u) << c.Command << " byte by byte";
        EXPECT_EQ(Answers[0].Bytes, c.Answer) << c.Command << " byte by byte";
    }
}

TEST_F(ExchangeTest, ReportsThatAreNoAnswerLeaveItOpen)
{
    Engine.SendCommand("AT+CWJAP=\"a\",\"b\"\r\n", Now);
    // A final word only counts once its line has ended, and a line of its own.
    for (const char* piece : {"AT+CWJAP=\"a\",\"b\"\r\r\n", "WIFI CONNECTED\r\n", "+CWJAP:OK\r\n",
                              " OK\r\n", "x>\r\n", "OK\r"})
        Engine.Receive(piece, Now);
    EXPECT_TRUE(Answers.empty());
    Engine.Receive("\n", Now);
    ASSERT_EQ(Answers.size(), 1u);
    EXPECT_TRUE(Answers[0].EchoSeen);
    EXPECT_TRUE(Answers[0].Succeeded());
}

TEST_F(ExchangeTest, ReadyBeforeTheEchoIsAModuleThatRestarted)
{
    Engine.SendCommand("AT\r\n", Now);
    Engine.Receive("\x12\x80garbage\r\n\r\nready\r\n", Now);
    ASSERT_EQ(Answers.size(), 1u);
    EXPECT_EQ(Answers[0].Final, FinalResult::Ready);
    EXPECT_FALSE(Answers[0].EchoSeen);
    EXPECT_FALSE(Answers[0].Succeeded());
    EXPECT_EQ(Restarts, 1);
    // With nothing pending, a restart is still reported.
    Engine.Receive("ready\r\n", Now);
    EXPECT_EQ(Restarts, 2);
}

TEST_F(ExchangeTest, TheErrorAfterAlreadyConnectedDoesNotAnswerTheNextCommand)
{
    Engine.SendCommand("AT+CIPSTART=\"TCP\",\"h\",1\r\n", Now);
    Engine.Receive("ALREADY CONNECTED\r\n", Now);
    Engine.SendCommand("AT\r\n", Now);
    Engine.Receive("\r\nERROR\r\n", Now);
    EXPECT_EQ(Answers.size(), 1u);
    Engine.Receive("AT\r\r\n\r\nOK\r\n", Now);
    ASSERT_EQ(Answers.size(), 2u);
    EXPECT_EQ(Answers[1].Final, FinalResult::Ok);
}

TEST_F(ExchangeTest, EscapeWaitsForASecondWithoutOurWritesNotForTheModule)
{
    Engine.SendCommand("AT\r\n", Now);
    const std::int64_t commandAt = Now;
    RunUntil(Now + 300);
    Engine.SendEscape(Now);
    ASSERT_EQ(Engine.NextDueMs(), commandAt + 1000);
    // A server streaming all the while does not move the "+++".
    for (int i = 0; i < 6; ++i) {
        RunUntil(Now + 100);
        Engine.Receive("line from the server\r\n", Now);
    }
    RunUntil(commandAt + 999);
    ASSERT_EQ(Writes.size(), 1u);
    RunUntil(commandAt + 1000);
    ASSERT_EQ(Writes.size(), 2u);
    EXPECT_EQ(Writes[1].Bytes, "+++");
    // On a line we have not written to for a second it goes at once.
    Engine.Reset();
    Writes.clear();
    RunUntil(Now + 5000);
    Engine.SendEscape(Now);
    ASSERT_EQ(Writes.size(), 1u);
    EXPECT_EQ(Writes[0].AtMs, Now);
}

TEST_F(ExchangeTest, OneOutboxKeepsEveryWriterInOrderAroundTheEscape)
{
    const std::int64_t start = Now;
    bool rawWritten = false;
    Engine.SendEscape(Now);                     // at once: nothing written yet
    Engine.SendRaw("free line\r\n", Now, [&](bool ok) { rawWritten = ok; });
    Engine.SendCommand("AT\r\n", Now, 500);    // its time counts from its write
    Engine.SendEscape(Now);
    Engine.SendCommand("AT+GMR\r\n", Now);
    EXPECT_TRUE(Engine.EscapeWaiting());
    EXPECT_EQ(Engine.Waiting(Now), Exchange::Wait::QuietAfterEscape);
    RunUntil(start + 999);
    EXPECT_EQ(WrittenBytes(), QList<QByteArray>{"+++"});
    RunUntil(start + 1000);
    EXPECT_TRUE(rawWritten);
    EXPECT_EQ(WrittenBytes(), (QList<QByteArray>{"+++", "free line\r\n", "AT\r\n"}));
    EXPECT_EQ(Engine.Waiting(Now), Exchange::Wait::QuietBeforeEscape);
    // The second "+++" a second after the last write, the command a second after it.
    RunUntil(start + 1499);
    EXPECT_TRUE(Answers.empty());
    RunUntil(start + 1500);
    ASSERT_EQ(Answers.size(), 1u);
    EXPECT_TRUE(Answers[0].TimedOut);
    RunUntil(start + 4000);
    ASSERT_EQ(Writes.size(), 5u);
    EXPECT_EQ(Writes[3].AtMs, start + 2000);
    EXPECT_EQ(Writes[4].AtMs, start + 3000);
    EXPECT_EQ(Writes[4].Bytes, "AT+GMR\r\n");
    EXPECT_FALSE(Engine.NextDueMs().has_value()) << "nothing left to wake up for";
}

TEST_F(ExchangeTest, ALostPortEndsTheAnswerAndDropsWhatWaits)
{
    Engine.SendCommand("AT+CWJAP=\"a\",\"b\"\r\n", Now, 20000);
    bool escapeWritten = true;
    Engine.SendEscape(Now, [&](bool ok) { escapeWritten = ok; });
    Engine.PortLost(Now + 5);
    ASSERT_EQ(Answers.size(), 1u);
    EXPECT_TRUE(Answers[0].PortLost);
    EXPECT_FALSE(escapeWritten);
    EXPECT_EQ(Losses, 1);
    EXPECT_FALSE(Engine.NextDueMs().has_value());
    // A command that cannot be written ends at once, as lost.
    PortOpen = false;
    Engine.SendCommand("AT\r\n", Now);
    ASSERT_EQ(Answers.size(), 2u);
    EXPECT_TRUE(Answers[1].PortLost);
}

TEST_F(ExchangeTest, AnEndlessLineIsKeptBoundedAndReadInLinearTime)
{
    Engine.SendCommand("AT\r\n", Now, 10000);
    const QByteArray chunk(4096, 'x');
    const int chunks = 16 * 256; // 16 MiB with no line end: quadratic work would never finish
    for (int i = 0; i < chunks; ++i)
        Engine.Receive(chunk, Now);
    Engine.Receive("\r\nOK\r\n", Now);
    ASSERT_EQ(Answers.size(), 1u);
    EXPECT_EQ(Answers[0].Final, FinalResult::Ok);
    EXPECT_EQ(Answers[0].Bytes.size(), Exchange::KeptAnswerBytes);
    EXPECT_TRUE(Answers[0].Bytes.endsWith("xx\r\nOK\r\n"));
    EXPECT_EQ(Answers[0].NotKept + std::uint64_t(Answers[0].Bytes.size()),
              std::uint64_t(chunks) * 4096 + 6);
}

TEST_F(ExchangeTest, AHandlerMaySendTheNextCommandFromTheAnswer)
{
    Engine.OnAnswerComplete = [this](const ExchangeAnswer& a) {
        Answers.push_back(a);
        if (Answers.size() == 1) Engine.SendCommand("AT+GMR\r\n", Now);
    };
    Engine.SendCommand("AT\r\n", Now);
    // The rest of the chunk that ended the first answer is no answer of the second.
    Engine.Receive("AT\r\r\n\r\nOK\r\nERROR\r\n", Now);
    ASSERT_EQ(Answers.size(), 1u);
    EXPECT_EQ(WrittenBytes(), (QList<QByteArray>{"AT\r\n", "AT+GMR\r\n"}));
    Engine.Receive("AT+GMR\r\r\nAT version:1.2\r\nOK\r\n", Now);
    ASSERT_EQ(Answers.size(), 2u);
    EXPECT_TRUE(Answers[1].Succeeded());
}

} // namespace
