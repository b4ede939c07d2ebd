// The module's links opened for real on 127.0.0.1, with the module's clock still faked.
#include "dialogue.h"
#include "posixnetwork.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <functional>

#include <gtest/gtest.h>

using namespace esp8266sim;

namespace {

// A socket on 127.0.0.1 with a port of the system's choosing.
class LocalSocket
{
public:
    explicit LocalSocket(int type, bool listening = true)
    {
        fd = ::socket(AF_INET, type | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        ::bind(fd, reinterpret_cast<sockaddr*>(&address), length);
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
        port = ntohs(address.sin_port);
        if (type == SOCK_STREAM && listening) ::listen(fd, 1);
    }
    ~LocalSocket()
    {
        if (peer >= 0) ::close(peer);
        ::close(fd);
    }
    bool accept()
    {
        pollfd entry{fd, POLLIN, 0};
        if (::poll(&entry, 1, 2000) != 1) return false;
        peer = ::accept(fd, nullptr, nullptr);
        return peer >= 0;
    }
    // Reads what arrives within a short while (the module sends at once; no nominal sleep).
    std::string receive(std::size_t expected)
    {
        std::string data;
        const int from = peer >= 0 ? peer : fd;
        while (data.size() < expected) {
            pollfd entry{from, POLLIN, 0};
            if (::poll(&entry, 1, 2000) != 1) break;
            char buffer[256];
            sockaddr_in sender{};
            socklen_t length = sizeof sender;
            const ssize_t n = ::recvfrom(from, buffer, sizeof buffer, 0,
                                         reinterpret_cast<sockaddr*>(&sender), &length);
            if (n <= 0) break;
            data.append(buffer, std::size_t(n));
            lastSender = sender;
        }
        return data;
    }

    int fd = -1;
    int peer = -1;
    int port = 0;
    sockaddr_in lastSender{};
};

class NetworkDialogue : public ::testing::Test
{
protected:
    NetworkDialogue() : d(QuickOptions(), &network)
    {
        d.send("ATE0\r\nAT+CWJAP=\"esp-test\",\"password123\"\r\n");
        d.wait(1000);
    }

    // Pumps the real link until the condition holds (or two seconds pass); returns the
    // module's output meanwhile.
    std::string pumpUntil(const std::function<bool(const std::string&)>& done)
    {
        std::string output;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
        while (!done(output) && std::chrono::steady_clock::now() < deadline) {
            network.pump(d.module, d.now, 50);
            output += d.module.poll(d.now);
        }
        return output;
    }
    std::string pumpFor(std::string_view expected)
    {
        return pumpUntil([&](const std::string& out) { return out.size() >= expected.size(); });
    }

    void connectTcp(LocalSocket& server)
    {
        d.send("AT+CIPSTART=\"TCP\",\"127.0.0.1\"," + std::to_string(server.port) + "\r\n");
        ASSERT_EQ(pumpFor("CONNECT\r\n\r\nOK\r\n"), "CONNECT\r\n\r\nOK\r\n");
        ASSERT_TRUE(server.accept());
    }

    void enterTransparent()
    {
        d.send("AT+CIPMODE=1\r\n");
        ASSERT_EQ(d.send("AT+CIPSEND\r\n"), "\r\nOK\r\n\r\n>");
        ASSERT_TRUE(d.module.transparent());
    }

    PosixNetwork network;
    Dialogue d;
};

} // namespace

TEST_F(NetworkDialogue, TcpConnectAndRefusal)
{
    LocalSocket server(SOCK_STREAM);
    connectTcp(server);
    EXPECT_EQ(d.send("AT+CIPSTART=\"TCP\",\"127.0.0.1\",1\r\n"),
              "ALREADY CONNECTED\r\n\r\nERROR\r\n");
    // The peer going away is reported once.
    ::close(server.peer);
    server.peer = -1;
    EXPECT_EQ(pumpFor("CLOSED\r\n"), "CLOSED\r\n");
    EXPECT_FALSE(d.module.linkOpen());

    int closedPort = 0;
    {
        LocalSocket unused(SOCK_STREAM, false);
        closedPort = unused.port;
    }
    const std::string refused = "ERROR\r\nCLOSED\r\n";
    std::string reply =
        d.send("AT+CIPSTART=\"TCP\",\"127.0.0.1\"," + std::to_string(closedPort) + "\r\n");
    reply += pumpFor(refused.substr(reply.size()));
    EXPECT_EQ(reply, refused);
    EXPECT_EQ(d.send("AT\r\n"), "\r\nOK\r\n");
}

TEST_F(NetworkDialogue, TransparentModeCarriesBytesBothWaysUntilGuardedEscape)
{
    LocalSocket server(SOCK_STREAM);
    connectTcp(server);
    enterTransparent();

    // Everything is data now, command texts included.
    d.send("hello\r\nAT\r\n");
    EXPECT_EQ(server.receive(11), "hello\r\nAT\r\n");
    ASSERT_EQ(::send(server.peer, "world\r\n", 7, 0), 7);
    EXPECT_EQ(pumpFor("world\r\n"), "world\r\n");

    // "+++" alone after the guard time: held back, then command mode once nothing follows.
    EXPECT_EQ(d.wait(500), "");
    EXPECT_EQ(d.send("+++"), "");
    EXPECT_TRUE(d.module.transparent());
    EXPECT_EQ(d.wait(19), "");
    EXPECT_TRUE(d.module.transparent());
    EXPECT_EQ(d.wait(1), "");
    EXPECT_FALSE(d.module.transparent());
    EXPECT_TRUE(d.module.linkOpen());
    EXPECT_EQ(d.send("AT\r\n"), "\r\nOK\r\n");

    // Back in; the escape bytes never reached the server.
    ASSERT_EQ(d.send("AT+CIPSEND\r\n"), "\r\nOK\r\n\r\n>");
    d.send("x");
    EXPECT_EQ(server.receive(1), "x");
}

TEST_F(NetworkDialogue, PlusesThatAreNotAGuardedEscapeAreData)
{
    LocalSocket server(SOCK_STREAM);
    connectTcp(server);
    enterTransparent();

    // Too soon after the last byte.
    d.wait(499);
    d.send("+++");
    d.wait(100);
    EXPECT_TRUE(d.module.transparent());
    EXPECT_EQ(server.receive(3), "+++");

    // Guarded, but more data follows at once, in the same read or the next one.
    d.wait(500);
    d.send("+++more");
    EXPECT_EQ(server.receive(7), "+++more");
    d.wait(500);
    d.send("+++");
    d.wait(10);
    d.send("+");
    EXPECT_EQ(server.receive(4), "++++");

    // Guarded but short: the two pluses go out once the trailing quiet shows it is not "+++".
    d.wait(500);
    d.send("++");
    EXPECT_EQ(d.module.nextDueMs(), d.now + 20);
    d.wait(20);
    EXPECT_EQ(server.receive(2), "++");
    EXPECT_TRUE(d.module.transparent());

    // The peer closing the link ends transparent transmission.
    ::close(server.peer);
    server.peer = -1;
    EXPECT_EQ(pumpFor("CLOSED\r\n"), "CLOSED\r\n");
    EXPECT_FALSE(d.module.transparent());
    EXPECT_EQ(d.send("AT\r\n"), "\r\nOK\r\n");
}

TEST_F(NetworkDialogue, UdpSendAndReceive)
{
    LocalSocket server(SOCK_DGRAM);
    d.send("AT+CIPSTART=\"UDP\",\"127.0.0.1\"," + std::to_string(server.port) + "\r\n");
    ASSERT_EQ(pumpFor("CONNECT\r\n\r\nOK\r\n"), "CONNECT\r\n\r\nOK\r\n");
    EXPECT_EQ(d.send("AT+CIPSEND=4\r\n"), "\r\nOK\r\n> ");
    EXPECT_EQ(d.send("ping"), "\r\nRecv 4 bytes\r\n\r\nSEND OK\r\n");
    EXPECT_EQ(server.receive(4), "ping");
    ASSERT_EQ(::sendto(server.fd, "pong", 4, 0, reinterpret_cast<sockaddr*>(&server.lastSender),
                       sizeof server.lastSender),
              4);
    EXPECT_EQ(pumpFor("\r\n+IPD,4:pong"), "\r\n+IPD,4:pong");
    EXPECT_EQ(d.send("AT+CIPCLOSE\r\n"), "CLOSED\r\n\r\nOK\r\n");
}
