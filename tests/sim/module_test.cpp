// The module's dialogue through its pure interface, with a fake clock and a fake network.
#include "dialogue.h"

#include <gtest/gtest.h>

using namespace esp8266sim;

namespace {

struct FakeNetwork : ModuleNetwork
{
    bool open(LinkKind kind, const std::string& address, int port) override
    {
        opened = address + ":" + std::to_string(port) + (kind == LinkKind::Udp ? "/udp" : "/tcp");
        return accept;
    }
    bool send(std::string_view bytes) override
    {
        sent += bytes;
        return true;
    }
    void close() override { ++closes; }

    bool accept = true;
    std::string opened;
    std::string sent;
    int closes = 0;
};

// Joins "esp-test" and opens a TCP link through the fake network.
void joinAndConnect(Dialogue& d)
{
    d.send("AT+CWJAP=\"esp-test\",\"password123\"\r\n");
    d.wait(2000);
    d.send("AT+CIPSTART=\"TCP\",\"127.0.0.1\",5000\r\n");
    d.module.linkOpened(true, d.now);
    ASSERT_TRUE(d.module.linkOpen());
    d.module.poll(d.now);
}

} // namespace

TEST(ModuleDialogue, EchoAndReplies)
{
    Dialogue d(QuickOptions());
    EXPECT_EQ(d.send("AT\r\n"), "AT\r\r\n\r\nOK\r\n");
    EXPECT_EQ(d.send("AT+NOSUCH\r\n"), "AT+NOSUCH\r\r\n\r\nERROR\r\n");
    EXPECT_EQ(d.send("at\r\n"), "at\r\r\n\r\nERROR\r\n");
    EXPECT_EQ(d.send("ATE0\r\n"), "ATE0\r\r\n\r\nOK\r\n"); // echoed: echo was still on
    EXPECT_EQ(d.send("AT\r\n"), "\r\nOK\r\n");
    EXPECT_EQ(d.send("AT+CWMODE?\r\n"), "+CWMODE:1\r\n\r\nOK\r\n");
    EXPECT_EQ(d.send("ATE1\r\n"), "\r\nOK\r\n");
    EXPECT_EQ(d.send("AT\r\n"), "AT\r\r\n\r\nOK\r\n");

    ModuleOptions quiet = QuickOptions();
    quiet.echo = false;
    Dialogue silent(quiet);
    EXPECT_EQ(silent.send("AT\r\n"), "\r\nOK\r\n");
}

TEST(ModuleDialogue, LineEndings)
{
    Dialogue d(QuickOptions());
    // A lone CR or LF ends a command as well; the LF of a CR LF split across reads is not a
    // second, empty command.
    EXPECT_EQ(d.send("AT\r"), "AT\r\r\n\r\nOK\r\n");
    EXPECT_EQ(d.send("\n"), "");
    EXPECT_EQ(d.send("AT\n"), "AT\r\r\n\r\nOK\r\n");
    EXPECT_EQ(d.send("\r\n\r\n"), "");
    EXPECT_EQ(d.send("A"), "");
    EXPECT_EQ(d.send("T\r\nAT+CWMODE=3\r\n"), "AT\r\r\n\r\nOK\r\nAT+CWMODE=3\r\r\n\r\nOK\r\n");
    // A line longer than the command buffer is refused, not truncated into something valid.
    EXPECT_EQ(d.send("ATE0\r\n"), "ATE0\r\r\n\r\nOK\r\n");
    EXPECT_EQ(d.send(std::string(5000, 'A') + "\r\n"), "\r\nERROR\r\n");
    EXPECT_EQ(d.send("AT\r\n"), "\r\nOK\r\n");
}

TEST(ModuleDialogue, JoinTakesTheFirmwaresOwnTimeByDefault)
{
    Dialogue d; // the realistic default
    EXPECT_EQ(d.send("AT+CWJAP?\r\n"), "AT+CWJAP?\r\r\nNo AP\r\n\r\nOK\r\n");
    EXPECT_EQ(d.send("AT+CWJAP=\"esp-test\",\"password123\"\r\n"),
              "AT+CWJAP=\"esp-test\",\"password123\"\r\r\n");
    // Commands while joining are echoed and refused; the join's own answer still follows.
    EXPECT_EQ(d.wait(1000), "");
    EXPECT_EQ(d.send("AT\r\n"), "AT\r\r\nbusy p...\r\n");
    EXPECT_EQ(d.wait(1499), "");
    EXPECT_EQ(d.wait(1), "WIFI CONNECTED\r\n");
    EXPECT_EQ(d.send("AT+CIFSR\r\n"), "AT+CIFSR\r\r\nbusy p...\r\n");
    EXPECT_EQ(d.wait(1499), "");
    EXPECT_EQ(d.wait(1), "WIFI GOT IP\r\n\r\nOK\r\n");
    EXPECT_TRUE(d.module.joined());
    EXPECT_EQ(d.module.nextDueMs(), std::nullopt);
    EXPECT_EQ(d.send("AT+CWJAP?\r\n"),
              "AT+CWJAP?\r\r\n+CWJAP:\"esp-test\",\"c8:3a:35:10:20:31\",6,-52\r\n\r\nOK\r\n");
    EXPECT_EQ(d.send("AT+CIFSR\r\n"), "AT+CIFSR\r\r\n+CIFSR:STAIP,\"192.168.4.2\"\r\n"
                                      "+CIFSR:STAMAC,\"18:fe:34:a1:b2:c3\"\r\n\r\nOK\r\n");

    // Joining again first leaves the current network.
    d.send("ATE0\r\n");
    EXPECT_EQ(d.send("AT+CWJAP=\"esp-test\",\"password123\"\r\n"), "WIFI DISCONNECT\r\n");
    EXPECT_EQ(d.wait(4000), "WIFI CONNECTED\r\nWIFI GOT IP\r\n\r\nOK\r\n");
    EXPECT_EQ(d.send("AT+CWQAP\r\n"), "\r\nOK\r\nWIFI DISCONNECT\r\n");
    EXPECT_FALSE(d.module.joined());
}

TEST(ModuleDialogue, NewerOrderAnswersBeforeTheAddressAndQuickJoinAnswersAtOnce)
{
    ModuleOptions newer;
    newer.firmware = 2;
    newer.okBeforeIp = true;
    newer.echo = false;
    Dialogue d(newer);
    d.send("AT+CWJAP=\"esp-test\",\"password123\"\r\n");
    EXPECT_EQ(d.wait(2500), "WIFI CONNECTED\r\n\r\nOK\r\n");
    // Free again, but without an address yet: nothing to connect from.
    EXPECT_EQ(d.send("AT+CIFSR\r\n"),
              "+CIFSR:STAIP,\"0.0.0.0\"\r\n+CIFSR:STAMAC,\"18:fe:34:a1:b2:c3\"\r\n\r\nOK\r\n");
    EXPECT_EQ(d.send("AT+CIPSTART=\"TCP\",\"10.0.0.2\",80\r\n"), "\r\nERROR\r\n");
    EXPECT_EQ(d.wait(1500), "WIFI GOT IP\r\n");

    ModuleOptions quick = QuickOptions();
    quick.echo = false;
    Dialogue q(quick);
    q.send("AT+CWJAP=\"esp-test\",\"password123\"\r\n");
    EXPECT_EQ(q.wait(999), "");
    EXPECT_EQ(q.wait(1), "WIFI CONNECTED\r\nWIFI GOT IP\r\n\r\nOK\r\n");
}

TEST(ModuleDialogue, JoinFailures)
{
    Dialogue d(QuickOptions());
    d.send("ATE0\r\n");
    EXPECT_EQ(d.send("AT+CWJAP=\"esp-test\",\"wrong-one\"\r\n"), "");
    EXPECT_EQ(d.wait(999), "");
    EXPECT_EQ(d.wait(1), "+CWJAP:2\r\n\r\nFAIL\r\n");
    EXPECT_FALSE(d.module.joined());

    d.send("AT+CWJAP=\"nobody-here\",\"password123\"\r\n");
    EXPECT_EQ(d.wait(1000), "+CWJAP:3\r\n\r\nFAIL\r\n");
    EXPECT_EQ(d.send("AT+CWJAP?\r\n"), "No AP\r\n\r\nOK\r\n");

    // The fields the program sends verbatim may be empty or unquoted.
    EXPECT_EQ(d.send("AT+CWJAP=\"\",\"\"\r\n"), "");
    EXPECT_EQ(d.wait(1000), "+CWJAP:3\r\n\r\nFAIL\r\n");
    EXPECT_EQ(d.send("AT+CWJAP=esp-test,password123\r\n"), "\r\nERROR\r\n");
    // A station cannot join while the module is an access point only.
    d.send("AT+CWMODE=2\r\n");
    EXPECT_EQ(d.send("AT+CWJAP=\"esp-test\",\"password123\"\r\n"), "\r\nERROR\r\n");

    // ESP-AT ends a failed join with ERROR, and at the real pace.
    ModuleOptions newer;
    newer.firmware = 2;
    newer.echo = false;
    Dialogue e(newer);
    e.send("AT+CWJAP=\"esp-test\",\"wrong-one\"\r\n");
    EXPECT_EQ(e.wait(3999), "");
    EXPECT_EQ(e.wait(1), "+CWJAP:2\r\n\r\nERROR\r\n");
}

TEST(ModuleDialogue, EscapedQuotesAndCommasReachTheNetworkName)
{
    ModuleOptions options = QuickOptions();
    options.accessPoints = {{"lab \"A\", 2nd", "p\\w,d\"x", 3, -40, "02:00:00:00:00:01", 3}};
    Dialogue d(options);
    d.send("ATE0\r\n");
    d.send(R"(AT+CWJAP="lab \"A\"\, 2nd","p\\w\,d\"x")"
           "\r\n");
    EXPECT_EQ(d.wait(1000), "WIFI CONNECTED\r\nWIFI GOT IP\r\n\r\nOK\r\n");
    // Without the escapes the quote ends the text early and the line is malformed.
    EXPECT_EQ(d.send("AT+CWJAP=\"lab \"A\", 2nd\",\"x\"\r\n"), "\r\nERROR\r\n");
}

TEST(ModuleDialogue, EveryCommandTheProgramSendsIsAnswered)
{
    FakeNetwork network;
    Dialogue d(QuickOptions(), &network);
    d.send("ATE0\r\n");
    const std::string ok = "\r\nOK\r\n";
    struct Exchange
    {
        const char* command;
        std::string reply;
        int waitMs = 0;
    };
    const Exchange exchanges[] = {
        {"AT", ok},
        {"AT+GMR", "AT version:1.2.0.0(Jul  1 2016 20:04:45)\r\nSDK version:1.5.4.1(39cb9a32)\r\n"
                   "Ai-Thinker Technology Co. Ltd.\r\nDec  2 2016 14:21:16\r\n" +
                       ok},
        {"AT+CWMODE=?", "+CWMODE:(1-3)\r\n" + ok},
        {"AT+CWMODE=3", ok},
        {"AT+CWMODE?", "+CWMODE:3\r\n" + ok},
        {"AT+CWLAP",
         "+CWLAP:(3,\"esp-test\",-52,\"c8:3a:35:10:20:31\",6)\r\n"
         "+CWLAP:(0,\"office-guest\",-71,\"b0:48:7a:44:19:02\",1)\r\n"
         "+CWLAP:(4,\"neighbour-5F\",-86,\"74:da:38:5e:0c:9d\",11)\r\n" +
             ok,
         300},
        {"AT+CWSAP?", "+CWSAP:\"ESP_A1B2C3\",\"\",1,0\r\n" + ok},
        {"AT+CWSAP=\"sim-ap\",\"secret-pw\",5,3", ok},
        {"AT+CWSAP?", "+CWSAP:\"sim-ap\",\"secret-pw\",5,3\r\n" + ok},
        {"AT+CWSAP=\"sim-ap\",\"short\",5,3", "\r\nERROR\r\n"},
        {"AT+CWLIF", ok},
        {"AT+CIPSTATUS", "STATUS:5\r\n" + ok},
        {"AT+CIFSR=?", ok},
        {"AT+CIFSR", "+CIFSR:APIP,\"192.168.4.1\"\r\n+CIFSR:APMAC,\"1a:fe:34:a1:b2:c3\"\r\n"
                     "+CIFSR:STAIP,\"0.0.0.0\"\r\n+CIFSR:STAMAC,\"18:fe:34:a1:b2:c3\"\r\n" +
                         ok},
        {"AT+CWJAP=\"esp-test\",\"password123\"", "WIFI CONNECTED\r\nWIFI GOT IP\r\n" + ok, 1000},
        {"AT+CIPSTATUS", "STATUS:2\r\n" + ok},
        {"AT+CIPMUX?", "+CIPMUX:0\r\n" + ok},
        {"AT+CIPSERVER=1", "\r\nERROR\r\n"}, // a server needs multiple connections
        {"AT+CIPMUX=1", ok},
        {"AT+CIPSERVER=1,8080", ok},
        {"AT+CIPMUX=0", "\r\nERROR\r\n"}, // not while the server runs
        {"AT+CIPSERVER=0", ok},
        {"AT+CIPMUX=0", ok},
        {"AT+CIPSTO?", "+CIPSTO:180\r\n" + ok},
        {"AT+CIPSTO=", "\r\nERROR\r\n"},
        {"AT+CIPSTO=600", ok},
        {"AT+CIPSTO?", "+CIPSTO:600\r\n" + ok},
        {"AT+CIPMODE?", "+CIPMODE:0\r\n" + ok},
        {"AT+CIPSEND=?", ok},
        {"AT+CIPSEND", "\r\nERROR\r\n"}, // only in transparent transmission
        {"AT+CIPCLOSE=?", ok},
        {"AT+CIPCLOSE", "\r\nERROR\r\n"}, // nothing to close
        {"AT+CIPSTART=\"UDP\",\"10.0.0.2\",333", "CONNECT\r\n" + ok},
        {"AT+CIPSTART=\"TCP\",\"10.0.0.2\",333", "ALREADY CONNECTED\r\n\r\nERROR\r\n"},
        {"AT+CIPMUX=1", "link is builded\r\n\r\nERROR\r\n"},
        {"AT+CIPSTATUS", "STATUS:3\r\n+CIPSTATUS:0,\"UDP\",\"10.0.0.2\",333,4097,0\r\n" + ok},
        {"AT+CIPCLOSE=5", "CLOSED\r\n" + ok},
        {"AT+CIPSTART=\"TCP\",\"\",", "\r\nERROR\r\n"},
        {"AT+CIPSTART=\"TCP\",\"example.invalid\",80", "DNS Fail\r\n\r\nERROR\r\n"},
        {"AT+CIPMODE=0", ok},
        {"AT+CIPMODE=1", ok},
        {"AT+CIPMUX=1", "\r\nERROR\r\n"}, // not in transparent transmission
        {"AT+CWQAP", ok + "WIFI DISCONNECT\r\n"},
        {"AT+CWMODE=1", ok},
        {"AT+CIPSTART=\"TCP\",\"10.0.0.2\",333", "no ip\r\n\r\nERROR\r\n"},
    };
    for (const Exchange& exchange : exchanges) {
        std::string reply = d.send(std::string(exchange.command) + "\r\n");
        if (exchange.waitMs) reply += d.wait(exchange.waitMs);
        if (std::string_view(exchange.command) == "AT+CIPSTART=\"UDP\",\"10.0.0.2\",333") {
            d.module.linkOpened(true, d.now);
            reply += d.module.poll(d.now);
        }
        EXPECT_EQ(reply, exchange.reply) << exchange.command;
    }
    EXPECT_EQ(network.opened, "10.0.0.2:333/udp");
    EXPECT_EQ(network.closes, 1);
}

TEST(ModuleDialogue, ResetReportsReadyAfterItsDelayAndForgetsSessionState)
{
    FakeNetwork network;
    Dialogue d(QuickOptions(), &network);
    joinAndConnect(d);
    d.send("ATE0\r\nAT+CIPMODE=1\r\n");
    // The OK, then the boot ROM's report at its own rate: noise at the module's rate.
    const std::string boot = d.send("AT+RST\r\n");
    ASSERT_GT(boot.size(), 100u);
    EXPECT_EQ(boot.substr(0, 6), "\r\nOK\r\n");
    EXPECT_EQ(boot.find("ready"), std::string::npos);
    EXPECT_EQ(d.send("AT\r\n"), ""); // booting: nobody listens
    EXPECT_EQ(d.wait(199), "");
    EXPECT_EQ(d.wait(1), "\r\nready\r\n");
    EXPECT_FALSE(d.module.linkOpen());
    EXPECT_EQ(network.closes, 1);
    // It joins the stored network again on its own, without an answer to anyone.
    EXPECT_EQ(d.wait(1000), "WIFI CONNECTED\r\nWIFI GOT IP\r\n");
    EXPECT_TRUE(d.module.joined());
    // Echo and the transmission mode are back at their power-on values.
    EXPECT_EQ(d.send("AT+CIPMODE?\r\n"), "AT+CIPMODE?\r\r\n+CIPMODE:0\r\n\r\nOK\r\n");

    // Leaving the network while the automatic join is under way ends that join for good.
    d.send("ATE0\r\nAT+RST\r\n");
    EXPECT_EQ(d.wait(200), "\r\nready\r\n");
    EXPECT_EQ(d.send("AT+CWQAP\r\n"), "AT+CWQAP\r\r\n\r\nOK\r\n");
    EXPECT_EQ(d.wait(5000), "");
    EXPECT_FALSE(d.module.joined());
}

TEST(ModuleDialogue, NormalSendAndReceive)
{
    FakeNetwork network;
    Dialogue d(QuickOptions(), &network);
    joinAndConnect(d);
    d.send("ATE0\r\n");
    // The data phase counts raw bytes: CR, LF and "+++" are data here.
    EXPECT_EQ(d.send("AT+CIPSEND=7\r\n"), "\r\nOK\r\n> ");
    EXPECT_EQ(d.send("+++\r\nAT"), "\r\nRecv 7 bytes\r\n\r\nSEND OK\r\n");
    EXPECT_EQ(network.sent, "+++\r\nAT");
    EXPECT_EQ(d.send("AT+CIPSEND=0\r\n"), "\r\nERROR\r\n");
    EXPECT_EQ(d.send("AT+CIPSEND=2049\r\n"), "\r\nERROR\r\n");

    // Received data is framed by its length, whatever it holds; a long burst comes as
    // segments of at most 1460 bytes, each with its own frame.
    d.module.linkData("hello", d.now);
    EXPECT_EQ(d.module.poll(d.now), "\r\n+IPD,5:hello");
    d.module.linkData("x\r\nOK\r\nERROR\r\n", d.now);
    EXPECT_EQ(d.module.poll(d.now), "\r\n+IPD,14:x\r\nOK\r\nERROR\r\n");
    d.module.linkData(std::string(3000, 'z'), d.now);
    EXPECT_EQ(d.module.poll(d.now), "\r\n+IPD,1460:" + std::string(1460, 'z') +
                                        "\r\n+IPD,1460:" + std::string(1460, 'z') +
                                        "\r\n+IPD,80:" + std::string(80, 'z'));
    d.module.linkClosed(d.now);
    EXPECT_EQ(d.module.poll(d.now), "CLOSED\r\n");
    EXPECT_EQ(d.send("AT+CIPSEND=3\r\n"), "link is not valid\r\n\r\nERROR\r\n");
}

TEST(ModuleDialogue, ConnectTimesOutWhenThePeerNeverAnswers)
{
    FakeNetwork network;
    ModuleOptions options = QuickOptions();
    options.connectTimeoutMs = 3000;
    Dialogue d(options, &network);
    d.send("ATE0\r\nAT+CWJAP=\"esp-test\",\"password123\"\r\n");
    d.wait(1000);
    EXPECT_EQ(d.send("AT+CIPSTART=\"TCP\",\"10.1.2.3\",80\r\n"), "");
    EXPECT_EQ(d.send("AT\r\n"), "busy p...\r\n");
    EXPECT_EQ(d.wait(2999), "");
    EXPECT_EQ(d.wait(1), "ERROR\r\nCLOSED\r\n");
    EXPECT_EQ(network.closes, 1);
    // A late report of the abandoned attempt changes nothing.
    d.module.linkOpened(true, d.now);
    EXPECT_FALSE(d.module.linkOpen());
    EXPECT_EQ(d.send("AT\r\n"), "\r\nOK\r\n");

    network.accept = false;
    EXPECT_EQ(d.send("AT+CIPSTART=\"TCP\",\"10.1.2.3\",80\r\n"), "ERROR\r\nCLOSED\r\n");
}
