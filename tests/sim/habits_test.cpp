// Habits of real boards that a tidy module would hide: booting as the port opens, resetting on
// its own, an adapter that delivers late and in pieces.
#include "dialogue.h"

#include <gtest/gtest.h>

using namespace esp8266sim;

TEST(Restarts, BootOnOpenReportsAt74880ThenReadyAtItsRateAndLosesInput)
{
    ModuleOptions options = QuickOptions();
    options.bootOnOpen = true;
    Dialogue d(options);
    // A port at the ROM's rate reads its report; the firmware's "ready" is then noise.
    d.module.setPortLine(74880);
    d.module.portOpened(d.now);
    const std::string report = d.wait(0);
    EXPECT_EQ(report.rfind(" ets Jan  8 2013,rst cause:2", 0), 0u) << report;
    EXPECT_EQ(d.send("AT\r\n"), ""); // booting: nobody listens
    d.module.setPortLine(115200);
    EXPECT_EQ(d.wait(199), "");
    EXPECT_EQ(d.wait(1), "\r\nready\r\n");
    EXPECT_EQ(d.send("AT\r\n"), "AT\r\r\n\r\nOK\r\n");
    EXPECT_EQ(d.module.state().commands, std::vector<std::string>{"AT"});

    // At the module's own rate the report is noise; every open restarts it again.
    d.module.portOpened(d.now);
    const std::string noise = d.wait(0);
    EXPECT_GT(noise.size(), 100u);
    EXPECT_EQ(noise.find("ets Jan"), std::string::npos);
    EXPECT_EQ(d.wait(200), "\r\nready\r\n");
    EXPECT_EQ(d.module.state().restarts, 2);

    Dialogue plain(QuickOptions());
    plain.module.portOpened(plain.now);
    EXPECT_EQ(plain.wait(1000), "");
}

TEST(Restarts, SpontaneousResetReplacesTheAnswerInProgressOnce)
{
    ModuleOptions options = QuickOptions();
    options.echo = false;
    options.resetAfterMs = 600;
    Dialogue d(options);
    EXPECT_EQ(d.wait(5000), ""); // counted from the first command, not from power-on
    d.send("AT+CWJAP=\"esp-test\",\"password123\"\r\n");
    EXPECT_EQ(d.wait(599), "");
    const std::string noise = d.wait(1);
    EXPECT_GT(noise.size(), 100u);
    EXPECT_EQ(noise.find("OK"), std::string::npos);
    EXPECT_EQ(d.wait(200), "\r\nready\r\n");
    // The join's answer never comes, and the module is not joined.
    EXPECT_EQ(d.wait(2000), "");
    EXPECT_FALSE(d.module.joined());
    EXPECT_EQ(d.send("AT\r\n"), "\r\nOK\r\n");
    EXPECT_EQ(d.wait(10000), "");
    EXPECT_EQ(d.module.state().restarts, 1);
}

TEST(AdapterLatency, EverythingTheModuleSendsComesLateAndInPieces)
{
    ModuleOptions options = QuickOptions();
    options.line.baud = 9600; // about a millisecond a byte on the wire
    options.echoLatencyMs = 25;
    Dialogue d(options);
    d.module.setPortLine(9600);
    EXPECT_EQ(d.send("AT\r\n"), "");
    EXPECT_EQ(d.wait(25), "");
    std::vector<std::string> pieces;
    for (int ms = 0; ms < 20; ++ms)
        if (std::string piece = d.wait(1); !piece.empty()) pieces.push_back(piece);
    std::string whole;
    for (const std::string& piece : pieces)
        whole += piece;
    EXPECT_EQ(whole, "AT\r\r\n\r\nOK\r\n");
    EXPECT_GT(pieces.size(), 5u);
    EXPECT_EQ(d.module.nextDueMs(), std::nullopt);

    // The answer to a rate change still comes at the old rate, however late it arrives.
    d.send("ATE0\r\nAT+UART_CUR=115200,8,1,0,0\r\n");
    EXPECT_EQ(d.wait(100), "ATE0\r\r\n\r\nOK\r\n\r\nOK\r\n");
    d.module.setPortLine(115200);
    d.send("AT\r\n");
    EXPECT_EQ(d.wait(25), "");
    EXPECT_EQ(d.wait(1), "\r\nOK\r\n");
}
