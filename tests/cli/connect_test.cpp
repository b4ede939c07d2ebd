// esp8266at connect: the connection sequence paced by each final answer, a join that takes
// its real time, failures reported with their step, and many modules at once.
#include "clifixture.h"

#include <QJsonArray>

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

using namespace clitest;

namespace {

class Connect : public CliTest
{
protected:
    QStringList ConnectArgs(const QString& ports, const QString& password = "password123")
    {
        return {"connect", "-p", ports, "--ssid", "esp-test", "--password", password,
                "--server", QStringLiteral("127.0.0.1:%1").arg(Server.port())};
    }
    TcpServer Server;
};

// Reads from fd until `wanted` has come or timeoutMs has passed.
std::string ReadUntil(int fd, const std::string& wanted, int timeoutMs = 2000)
{
    std::string got;
    pollfd p{fd, POLLIN, 0};
    while (got.find(wanted) == std::string::npos && ::poll(&p, 1, timeoutMs) == 1) {
        char buffer[256];
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n <= 0) break;
        got.append(buffer, std::size_t(n));
    }
    return got;
}

} // namespace

TEST_F(Connect, LeavesTheModuleInTransparentModeWithTheServerConnected)
{
    auto& module = StartModule(1);
    const RunResult r = Run(ConnectArgs("COM1"));
    ASSERT_EQ(r.exitStatus, 0) << r.err << r.out;
    // The four steps in order, each after the answer to the one before.
    const std::vector<std::string> commands{"AT+CWJAP=\"esp-test\",\"password123\"\r\r\n",
                                            "AT+CIPSTART=\"TCP\",\"127.0.0.1\",", "AT+CIPMODE=1\r\r\n",
                                            "AT+CIPSEND\r\r\n"};
    std::size_t at = 0;
    for (const std::string& c : commands) {
        at = r.out.find(c, at);
        ASSERT_NE(at, std::string::npos) << c << " in " << r.out;
    }
    EXPECT_NE(r.out.find("WIFI GOT IP\r\n\r\nOK\r\n"), std::string::npos);
    EXPECT_NE(r.out.find("CONNECT\r\n\r\nOK\r\n"), std::string::npos);

    // The server holds the connection, and the module passes bytes through untouched.
    const int client = Server.Accept();
    ASSERT_GE(client, 0);
    const int port = ::open(module.slavePath().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(port, 0);
    termios raw{};
    ::tcgetattr(port, &raw);
    ::cfmakeraw(&raw);
    ::tcsetattr(port, TCSANOW, &raw);
    ASSERT_EQ(::send(client, "hello", 5, 0), 5);
    EXPECT_EQ(ReadUntil(port, "hello"), "hello"); // no +IPD framing: transparent
    ASSERT_EQ(::write(port, "AT\r\n", 4), 4);
    char echoed[4] = {};
    pollfd p{client, POLLIN, 0};
    ASSERT_EQ(::poll(&p, 1, 2000), 1);
    EXPECT_EQ(::recv(client, echoed, sizeof echoed, MSG_WAITALL), 4);
    EXPECT_EQ(std::string(echoed, 4), "AT\r\n");
    ::close(port);
}

TEST_F(Connect, WaitsForAJoinAnsweredInPiecesOverTwoSeconds)
{
    auto options = Fast();
    options.joinDelayMs = 2000; // "WIFI CONNECTED" after 1.2 s, the verdict after 2 s
    StartModule(1, options);
    // A short time-out for the other steps does not cut the join short.
    QStringList args = ConnectArgs("COM1");
    args << "--timeout" << "1" << "--json";
    const RunResult r = Run(args);
    ASSERT_EQ(r.exitStatus, 0) << r.err;
    EXPECT_GE(r.elapsed.count(), 2000);
    const auto objects = r.JsonLines();
    ASSERT_EQ(objects.size(), 1);
    const QJsonArray lines = objects[0]["lines"].toArray();
    ASSERT_EQ(lines.size(), 4);
    EXPECT_EQ(lines[0]["step"].toString(), "join");
    EXPECT_EQ(lines[0]["answer"].toString(),
              "AT+CWJAP=\"esp-test\",\"password123\"\r\r\nWIFI CONNECTED\r\nWIFI GOT IP\r\n\r\nOK\r\n");
    const QStringList steps{"join", "TCP connection", "transparent mode", "start sending"};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(lines[i]["step"].toString(), steps[i]);
        EXPECT_EQ(lines[i]["final"].toString(), "OK");
    }
}

TEST_F(Connect, StopsAtTheFirstFailureAndNamesTheStep)
{
    StartModule(1);
    const RunResult wrong = Run(ConnectArgs("COM1", "not-the-password"));
    EXPECT_EQ(wrong.exitStatus, 1);
    EXPECT_NE(wrong.err.find("step 1 of 4, join (AT+CWJAP) failed: the module answered "
                             "+CWJAP:2 / FAIL"),
              std::string::npos)
        << wrong.err;
    EXPECT_EQ(wrong.out.find("AT+CIPSTART"), std::string::npos) << "nothing sent after a failure";
    // The password is in the echo on standard output, never in the message.
    EXPECT_EQ(wrong.err.find("not-the-password"), std::string::npos) << wrong.err;

    // Joined, but no server listens: the TCP connection is the step that fails.
    const RunResult refused =
        Run({"connect", "-p", "COM1", "--ssid", "esp-test", "--password", "password123",
             "--server", "127.0.0.1:1", "--json"});
    EXPECT_EQ(refused.exitStatus, 1);
    const auto objects = refused.JsonLines();
    ASSERT_EQ(objects.size(), 1);
    const QJsonArray lines = objects[0]["lines"].toArray();
    ASSERT_EQ(lines.size(), 2);
    EXPECT_EQ(lines[1]["step"].toString(), "TCP connection");
    EXPECT_EQ(lines[1]["final"].toString(), "ERROR");
    // What followed the final answer ("CLOSED") is kept with it.
    EXPECT_TRUE(lines[1]["answer"].toString().endsWith("ERROR\r\nCLOSED\r\n"))
        << lines[1]["answer"].toString().toStdString();
    EXPECT_NE(objects[0]["error"].toString().indexOf("TCP connection (AT+CIPSTART) failed"), -1);
}

TEST_F(Connect, EscapesANastyNetworkName)
{
    StartModuleWithNetwork(1, "a\"b,c\\d", ",\"\\");
    const RunResult r = Run({"connect", "-p", "COM1", "--ssid", "a\"b,c\\d", "--password",
                             ",\"\\", "--server", QStringLiteral("127.0.0.1:%1").arg(Server.port())});
    EXPECT_EQ(r.exitStatus, 0) << r.err << r.out;
    EXPECT_NE(r.out.find(R"(AT+CWJAP="a\"b\,c\\d","\,\"\\")"), std::string::npos) << r.out;
}

TEST_F(Connect, EightModulesAtOnceTakeAboutAsLongAsOne)
{
    auto options = Fast();
    options.joinDelayMs = 1500; // the join dominates, as with real modules
    for (unsigned com = 1; com <= 9; ++com)
        StartModule(com, options);
    const RunResult one = Run(ConnectArgs("COM9"));
    ASSERT_EQ(one.exitStatus, 0) << one.err;

    QStringList args = ConnectArgs("COM1,COM2,COM3,COM4");
    args << "-p" << "COM5" << "-p" << "COM6" << "-p" << "COM7,COM8" << "--json";
    const RunResult eight = Run(args);
    ASSERT_EQ(eight.exitStatus, 0) << eight.err;
    const auto objects = eight.JsonLines();
    ASSERT_EQ(objects.size(), 8);
    for (const QJsonObject& o : objects)
        EXPECT_TRUE(o["ok"].toBool()) << o["port"].toString().toStdString();
    EXPECT_NE(eight.err.find("8 of 8 ports succeeded"), std::string::npos) << eight.err;
    for (int i = 0; i < 9; ++i)
        EXPECT_GE(Server.Accept(), 0);
    // One after the other would take eight times as long; the machine is shared, so only the
    // shape is checked, with room to spare.
    EXPECT_LT(eight.elapsed.count(), 2 * one.elapsed.count())
        << "one: " << one.elapsed.count() << " ms, eight: " << eight.elapsed.count() << " ms";
}
