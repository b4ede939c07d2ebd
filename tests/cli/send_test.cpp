// esp8266at send and command against simulated modules: answers as received, exit statuses,
// the catalogue by name with its escaping, and the quiet line around "+++".
#include "clifixture.h"

#include <QJsonArray>

#include <unistd.h>

using namespace clitest;

namespace {

class Send : public CliTest
{
};

} // namespace

TEST_F(Send, PrintsEachAnswerAsReceivedAndSucceeds)
{
    StartModule(1);
    const RunResult r = Run({"send", "-p", "COM1", "AT", "AT+GMR"});
    EXPECT_EQ(r.exitStatus, 0) << r.err;
    // The echo and every line of the answers, byte for byte, in order.
    EXPECT_EQ(r.out.substr(0, 13), "AT\r\r\n\r\nOK\r\nAT");
    EXPECT_NE(r.out.find("AT+GMR\r\r\nAT version:1.2.0.0"), std::string::npos) << r.out;
    EXPECT_TRUE(r.out.ends_with("\r\nOK\r\n")) << r.out;
    EXPECT_EQ(r.err, "");
}

TEST_F(Send, TakesTheWindowsParityWordInAnyCase)
{
    StartModule(1);
    const RunResult r = Run({"send", "--parity", "NO", "-p", "COM1", "AT"});
    EXPECT_EQ(r.exitStatus, 0) << r.err;
    EXPECT_TRUE(r.out.ends_with("\r\nOK\r\n")) << r.out;
}

TEST_F(Send, WithoutAPortUsesTheOnlyOneThatCanBeOpened)
{
    StartModule(7);
    const RunResult r = Run({"send", "AT"});
    EXPECT_EQ(r.exitStatus, 0) << r.err;
    EXPECT_NE(r.out.find("OK"), std::string::npos);
}

TEST_F(Send, AnErrorStopsTheLinesAndExitsOne)
{
    StartModule(1);
    const RunResult r = Run({"send", "-p", "com1", "--json", "AT+NOSUCH", "AT"});
    EXPECT_EQ(r.exitStatus, 1);
    const auto objects = r.JsonLines();
    ASSERT_EQ(objects.size(), 1);
    const QJsonObject port = objects[0];
    EXPECT_EQ(port["port"].toString(), "COM1");
    EXPECT_FALSE(port["ok"].toBool());
    EXPECT_EQ(port["exit_status"].toInt(), 1);
    const QJsonArray lines = port["lines"].toArray();
    ASSERT_EQ(lines.size(), 1) << "the line after the failure is not sent";
    EXPECT_EQ(lines[0]["sent"].toString(), "AT+NOSUCH\r\n");
    EXPECT_EQ(lines[0]["final"].toString(), "ERROR");
    EXPECT_EQ(lines[0]["answer"].toString(), "AT+NOSUCH\r\r\n\r\nERROR\r\n");
    EXPECT_NE(r.err.find("AT+NOSUCH failed: the module answered ERROR"), std::string::npos)
        << r.err;
}

TEST_F(Send, AModuleThatNeverAnswersExitsTwoAfterTheTimeout)
{
    SilentTerminal silent;
    Alias(4, silent.path());
    const RunResult r = Run({"send", "-p", "COM4", "--timeout", "0.5", "AT"});
    EXPECT_EQ(r.exitStatus, 2);
    EXPECT_GE(r.elapsed.count(), 500);
    EXPECT_LT(r.elapsed.count(), 5000);
    EXPECT_NE(r.err.find("no final answer to AT within 0.5 s"), std::string::npos) << r.err;
    EXPECT_EQ(silent.Drain(), "AT\r\n");
}

TEST_F(Send, PortsThatCannotBeOpenedExitThreeWithTheReason)
{
    const RunResult missing = Run({"send", "-p", "/dev/no-such-tty", "AT"});
    EXPECT_EQ(missing.exitStatus, 3);
    EXPECT_NE(missing.err.find("/dev/no-such-tty"), std::string::npos) << missing.err;
    EXPECT_NE(missing.err.find("cannot open"), std::string::npos) << missing.err;

    const RunResult unmapped = Run({"send", "-p", "COM200", "AT"});
    EXPECT_EQ(unmapped.exitStatus, 3);
    EXPECT_NE(unmapped.err.find("COM200"), std::string::npos) << unmapped.err;

    // A speed no line takes is refused before any port is opened, in the window's words.
    StartModule(5);
    const RunResult speed = Run({"send", "-p", "COM5", "--baud", "12345", "AT"});
    EXPECT_EQ(speed.exitStatus, 64);
    EXPECT_NE(speed.err.find("unknown baud rate '12345'"), std::string::npos) << speed.err;

    // A port that another program holds is refused, not shared.
    auto& module = StartModule(2);
    const pid_t holder = Hold(module.slavePath());
    const RunResult held = Run({"send", "-p", "COM2", "AT"});
    EXPECT_EQ(held.exitStatus, 3);
    EXPECT_NE(held.err.find("COM2"), std::string::npos) << held.err;
    // Who holds it: the holding program.
    EXPECT_NE(held.err.find("held by another program: PID " + std::to_string(holder) +
                            " (cli-holder)"),
              std::string::npos)
        << held.err;
}

TEST_F(Send, EscapeWaitsForAQuietLineAndLeavesTransparentMode)
{
    StartModule(1);
    TcpServer server;
    const QString target = QStringLiteral("127.0.0.1:%1").arg(server.port());
    ASSERT_EQ(Run({"connect", "-p", "COM1", "--ssid", "esp-test", "--password", "password123",
                   "--server", target})
                  .exitStatus,
              0);
    // In transparent mode "AT" would go to the server; after "+++" the module answers again.
    const RunResult r = Run({"send", "-p", "COM1", "--json", "+++", "AT+CIPMODE=0", "AT"});
    EXPECT_EQ(r.exitStatus, 0) << r.err;
    // A second of quiet line before "+++" (the open counts as traffic) and after it.
    EXPECT_GE(r.elapsed.count(), 2000);
    const auto objects = r.JsonLines();
    ASSERT_EQ(objects.size(), 1);
    const QJsonArray lines = objects[0]["lines"].toArray();
    ASSERT_EQ(lines.size(), 3);
    EXPECT_EQ(lines[0]["sent"].toString(), "+++");
    EXPECT_TRUE(lines[0]["ok"].toBool());
    EXPECT_TRUE(lines[0]["final"].isNull());
    EXPECT_EQ(lines[2]["final"].toString(), "OK");
}

TEST_F(Send, RestartEndsWithReady)
{
    StartModule(1);
    const RunResult r = Run({"send", "-p", "COM1", "AT+RST", "AT"});
    EXPECT_EQ(r.exitStatus, 0) << r.err;
    const auto ready = r.out.find("\r\nready\r\n");
    ASSERT_NE(ready, std::string::npos) << r.out;
    // The next line waits for the restart: sent any earlier, it would go unanswered.
    EXPECT_NE(r.out.find("AT\r\r\n\r\nOK", ready), std::string::npos) << r.out;
}

TEST_F(Send, CommandComposesByNameWithEscaping)
{
    const std::string ssid = "Caf\xC3\xA9 \"A,B\" \\ net";
    StartModuleWithNetwork(1, ssid, "p\"w,\\d");
    const RunResult r = Run({"command", "-p", "COM1", "--json", "at+cwjap", "--ssid",
                             QString::fromStdString(ssid), "--password", "p\"w,\\d"});
    EXPECT_EQ(r.exitStatus, 0) << r.err << r.out;
    const auto objects = r.JsonLines();
    ASSERT_EQ(objects.size(), 1);
    const QJsonArray lines = objects[0]["lines"].toArray();
    ASSERT_EQ(lines.size(), 1);
    EXPECT_EQ(lines[0]["sent"].toString(),
              QString::fromUtf8("AT+CWJAP=\"Caf\xC3\xA9 \\\"A\\,B\\\" \\\\ net\",\"p\\\"w\\,\\\\d\"\r\n"));
    EXPECT_EQ(lines[0]["final"].toString(), "OK");

    // The same command by its choice number and text; choices count from 1.
    const RunResult mode = Run({"command", "-p", "COM1", "--json", "CWMODE", "2"});
    EXPECT_EQ(mode.exitStatus, 0) << mode.err;
    EXPECT_EQ(mode.JsonLines().value(0)["lines"][0]["sent"].toString(), "AT+CWMODE=1\r\n");
    const RunResult query = Run({"command", "-p", "COM1", "cwjap", "query join ap"});
    EXPECT_EQ(query.exitStatus, 0) << query.err;
    EXPECT_NE(query.out.find("+CWJAP:\""), std::string::npos) << query.out;
}

TEST_F(Send, SeveralPortsPrefixEveryLineAndTheWorstStatusWins)
{
    StartModule(1);
    StartModule(2);
    SilentTerminal silent;
    Alias(3, silent.path());
    const RunResult ok = Run({"send", "-p", "COM1", "-p", "COM2", "AT"});
    EXPECT_EQ(ok.exitStatus, 0) << ok.err;
    for (const char* port : {"COM1", "COM2"}) {
        const std::string prefix = std::string(port) + ": ";
        EXPECT_NE(ok.out.find(prefix + "AT\r\r\n"), std::string::npos) << ok.out;
        EXPECT_NE(ok.out.find(prefix + "OK\r\n"), std::string::npos) << ok.out;
    }
    // Every output line belongs to one port.
    for (const QByteArray& line : QByteArray::fromStdString(ok.out).split('\n'))
        EXPECT_TRUE(line.isEmpty() || line.startsWith("COM1: ") || line.startsWith("COM2: "));
    EXPECT_NE(ok.err.find("2 of 2 ports succeeded"), std::string::npos) << ok.err;

    // One port answers ERROR, one never answers, one cannot be opened: 3 > 2 > 1.
    const RunResult mixed =
        Run({"send", "-p", "COM1,COM3", "--timeout", "0.5", "--json", "AT+NOSUCH"});
    EXPECT_EQ(mixed.exitStatus, 2) << mixed.err;
    const RunResult worst = Run({"send", "-p", "COM1,COM3,/dev/no-such-tty", "--timeout", "0.5",
                                 "--json", "AT+NOSUCH"});
    EXPECT_EQ(worst.exitStatus, 3) << worst.err;
    const auto objects = worst.JsonLines();
    ASSERT_EQ(objects.size(), 3) << worst.out;
    QMap<QString, int> statuses;
    for (const QJsonObject& o : objects)
        statuses[o["port"].toString()] = o["exit_status"].toInt();
    EXPECT_EQ(statuses.value("COM1"), 1);
    EXPECT_EQ(statuses.value("COM3"), 2);
    EXPECT_EQ(statuses.value("/dev/no-such-tty"), 3);
}
