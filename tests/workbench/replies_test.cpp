// When the module's answer is complete: final result lines, the echo, restarts, and answers
// arriving in pieces split at any byte.
#include "workbench/replies.h"

#include "qtprinters.h"

#include <gtest/gtest.h>

#include <vector>

using namespace Workbench;

namespace {

struct Conversation
{
    const char* command;
    QByteArray answer; // up to and including the final line
    QByteArray rest;   // what follows it
    FinalResult final;
    bool succeeded;
};

const std::vector<Conversation> conversations{
    {"AT\r\n", "AT\r\r\n\r\nOK\r\n", "", FinalResult::Ok, true},
    {"AT+CWJAP=\"esp-test\",\"password123\"\r\n",
     "AT+CWJAP=\"esp-test\",\"password123\"\r\r\nWIFI CONNECTED\r\nWIFI GOT IP\r\n\r\nOK\r\n", "",
     FinalResult::Ok, true},
    {"AT+CWJAP=\"esp-test\",\"wrong\"\r\n",
     "AT+CWJAP=\"esp-test\",\"wrong\"\r\r\n+CWJAP:2\r\n\r\nFAIL\r\n", "", FinalResult::Fail, false},
    // A busy module's "busy p..." comes before the answer, not instead of it.
    {"AT+CWLAP\r\n", "AT+CWLAP\r\r\nbusy p...\r\nbusy s...\r\n+CWLAP:(3,\"x\",-52)\r\n\r\nOK\r\n", "",
     FinalResult::Ok, true},
    {"AT+CIPSTART=\"TCP\",\"127.0.0.1\",1\r\n",
     "AT+CIPSTART=\"TCP\",\"127.0.0.1\",1\r\r\nERROR\r\n", "CLOSED\r\n", FinalResult::Error, false},
    {"AT+CIPSEND\r\n", "AT+CIPSEND\r\r\n\r\nOK\r\n", "\r\n>", FinalResult::Ok, true},
    {"hello\r\n", "hello\r\r\n\r\nRecv 5 bytes\r\n\r\nSEND FAIL\r\n", "", FinalResult::SendFail,
     false},
    // After a restart command OK only announces the restart; ready, after the boot noise, ends it.
    {"AT+RST\r\n", "AT+RST\r\r\n\r\nOK\r\n\xE4\x90\x81\xFF\r\nready\r\n", "WIFI GOT IP\r\n",
     FinalResult::Ready, true},
    // The echo of a line that reads like a final result is still only the echo.
    {"OK\r\n", "OK\r\r\nERROR\r\n", "", FinalResult::Error, false},
    // A restart the module did on its own ends the answer, but not well.
    {"AT+GMR\r\n", "AT+GMR\r\r\n\r\nready\r\n", "", FinalResult::Ready, false},
};

void ExpectComplete(const ReplyReader& reader, const Conversation& c, const std::string& how)
{
    EXPECT_TRUE(reader.Complete()) << how;
    EXPECT_EQ(reader.Final(), c.final) << how;
    EXPECT_EQ(reader.Succeeded(), c.succeeded) << how;
    EXPECT_EQ(reader.Answer(), c.answer) << how;
    EXPECT_EQ(reader.Rest(), c.rest) << how;
}

} // namespace

TEST(ReplyReader, FindsTheEndWhereverTheChunksAreSplit)
{
    for (const Conversation& c : conversations) {
        const QByteArray all = c.answer + c.rest;
        for (qsizetype cut = 0; cut <= all.size(); ++cut) {
            ReplyReader reader{QByteArray(c.command)};
            const bool first = reader.Feed(QByteArrayView(all).first(cut));
            // Complete exactly when the first piece holds the whole final line.
            EXPECT_EQ(first, cut >= c.answer.size()) << c.command << " cut at " << cut;
            reader.Feed(QByteArrayView(all).sliced(cut));
            ExpectComplete(reader, c, std::string(c.command) + " cut at " + std::to_string(cut));
        }
        ReplyReader bytewise{QByteArray(c.command)};
        for (char byte : all)
            bytewise.Feed(QByteArrayView(&byte, 1));
        ExpectComplete(bytewise, c, std::string(c.command) + " byte by byte");
    }
}

TEST(ReplyReader, IncompleteAnswersSayNothingYet)
{
    ReplyReader reader{QByteArray("AT+CWJAP=\"a\",\"b\"\r\n")};
    // A final word only counts once its line has ended, and a line of its own.
    for (const char* piece : {"AT+CWJAP=\"a\",\"b\"\r\r\n", "WIFI CONNECTED\r\n", "busy p...\r\n",
                              "+CWJAP:OK\r\n", " OK\r\n", "OK\r"}) {
        EXPECT_FALSE(reader.Feed(piece)) << piece;
        EXPECT_EQ(reader.Final(), FinalResult::None);
        EXPECT_FALSE(reader.Succeeded());
    }
    EXPECT_TRUE(reader.Feed("\n"));
    EXPECT_TRUE(reader.Succeeded());
}

TEST(ReplyReader, WorksWithoutEchoAndWithoutACommand)
{
    ReplyReader echoOff{QByteArray("AT\r\n")};
    EXPECT_TRUE(echoOff.Feed("\r\nOK\r\n"));
    EXPECT_EQ(echoOff.Final(), FinalResult::Ok);
    ReplyReader none;
    EXPECT_TRUE(none.Feed("SEND OK\r\n"));
    EXPECT_EQ(none.Final(), FinalResult::SendOk);
}

TEST(FinalResult, LinesAndTexts)
{
    for (FinalResult r : {FinalResult::Ok, FinalResult::Error, FinalResult::Fail,
                          FinalResult::SendOk, FinalResult::SendFail, FinalResult::Ready})
        EXPECT_EQ(FinalResultOfLine(FinalResultText(r).toLatin1() + "\r\n"), r);
    for (const char* line : {"", "ok", "OK!", "READY", "busy p...", "SEND", "ERROR: x"})
        EXPECT_EQ(FinalResultOfLine(line), FinalResult::None) << line;
    EXPECT_EQ(FinalResultText(FinalResult::None), QString());
}
