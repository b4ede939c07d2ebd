// What differs between firmware generations: version lines, rate commands, texts, the MAC.
#include "dialogue.h"

#include <gtest/gtest.h>

using namespace esp8266sim;

namespace {

ModuleOptions Firmware(int generation)
{
    ModuleOptions options = QuickOptions();
    options.firmware = generation;
    options.echo = false;
    return options;
}

// What the port reads, with its rate set as given, of the module's next bytes.
std::string ReadAt(Dialogue& d, int baud, std::int64_t waitMs = 0)
{
    d.module.setPortLine(baud);
    return d.wait(waitMs);
}

} // namespace

TEST(Firmware, VersionLinesOfEachGeneration)
{
    Dialogue one(Firmware(1));
    EXPECT_EQ(one.send("AT+GMR\r\n"),
              "AT version:1.2.0.0(Jul  1 2016 20:04:45)\r\nSDK version:1.5.4.1(39cb9a32)\r\n"
              "Ai-Thinker Technology Co. Ltd.\r\nDec  2 2016 14:21:16\r\n\r\nOK\r\n");
    Dialogue two(Firmware(2));
    EXPECT_EQ(two.send("AT+GMR\r\n"),
              "AT version:2.2.0.0(b097cdf - ESP8266 - Jun 17 2021 12:57:45)\r\n"
              "SDK version:v3.4-22-g967752e2\r\ncompile time(6800286):Aug  4 2021 17:20:05\r\n"
              "Bin version:2.2.0(WROOM-02)\r\n\r\nOK\r\n");
    Dialogue old(Firmware(0));
    EXPECT_EQ(old.send("AT+GMR\r\n"), "00160901\r\n\r\nOK\r\n");
}

TEST(Firmware, ExplanationsBeforeErrorOnlyIn1x)
{
    for (int generation : {1, 2}) {
        Dialogue d(Firmware(generation));
        auto refused = [&](const std::string& why) {
            return (generation == 1 ? why + "\r\n" : std::string()) + "\r\nERROR\r\n";
        };
        EXPECT_EQ(d.send("AT+CIPSTART=\"TCP\",\"10.0.0.2\",80\r\n"), refused("no ip"));
        d.send("AT+CWJAP=\"esp-test\",\"password123\"\r\n");
        d.wait(1000);
        EXPECT_EQ(d.send("AT+CIPSEND=4\r\n"), refused("link is not valid"));
        EXPECT_EQ(d.send("AT+CIPSTART=\"TCP\",\"example.invalid\",80\r\n"), refused("DNS Fail"));
        // ESP-AT's query of the joined network carries more fields after the first four.
        EXPECT_EQ(d.send("AT+CWJAP?\r\n"), "+CWJAP:\"esp-test\",\"c8:3a:35:10:20:31\",6,-52" +
                                               std::string(generation == 2 ? ",0,1,3,0,0" : "") +
                                               "\r\n\r\nOK\r\n");
    }
}

TEST(Firmware, RateChangeAnswersAtTheOldRateAndTalksAtTheNewOne)
{
    for (int generation : {1, 2}) {
        SCOPED_TRACE(generation);
        Dialogue d(Firmware(generation));
        EXPECT_EQ(d.send("AT+UART_CUR?\r\n"), "+UART_CUR:115273,8,1,0,0\r\n\r\nOK\r\n");
        EXPECT_EQ(d.send("AT+UART_CUR=9600,8,1,0,0\r\n"), "\r\nOK\r\n");
        EXPECT_EQ(d.module.line().baud, 9600);
        // At the old rate the module hears nothing and its answers are noise.
        EXPECT_EQ(d.send("AT\r\n"), "");
        EXPECT_EQ(ReadAt(d, 9600), "");
        EXPECT_EQ(d.send("AT\r\n"), "\r\nOK\r\n");
        EXPECT_EQ(d.send("AT+UART_CUR?\r\n"), "+UART_CUR:9600,8,1,0,0\r\n\r\nOK\r\n");
        EXPECT_EQ(d.send("AT+UART_DEF?\r\n"), "+UART_DEF:115200,8,1,0,0\r\n\r\nOK\r\n");
        // A restart goes back to the stored rate.
        EXPECT_EQ(d.send("AT+RST\r\n").substr(0, 6), "\r\nOK\r\n");
        EXPECT_EQ(ReadAt(d, 115200, 200), "\r\nready\r\n");
    }
}

TEST(Firmware, StoredRateAndParitySurviveARestart)
{
    Dialogue d(Firmware(1));
    EXPECT_EQ(d.send("AT+UART_DEF=57600,8,1,2,0\r\n"), "\r\nOK\r\n");
    d.module.setPortLine(57600, Parity::Even);
    EXPECT_EQ(d.send("AT+UART_DEF?\r\n"), "+UART_DEF:57600,8,1,2,0\r\n\r\nOK\r\n");
    const std::string boot = d.send("AT+RST\r\n");
    EXPECT_EQ(boot.substr(0, 6), "\r\nOK\r\n");
    EXPECT_EQ(d.wait(200), "\r\nready\r\n");
    EXPECT_EQ(d.send("AT\r\n"), "\r\nOK\r\n");
    EXPECT_EQ(d.module.state().storedBaud, 57600);
}

TEST(Firmware, RatesAndSettingsTheFirmwareRefuses)
{
    Dialogue one(Firmware(1));
    for (const char* command :
         {"AT+UART_CUR=109,8,1,0,0", "AT+UART_CUR=4608001,8,1,0,0", "AT+UART_CUR=9600,9,1,0,0",
          "AT+UART_CUR=9600,8,0,0,0", "AT+UART_CUR=9600,8,1,3,0", "AT+UART_CUR=9600,8,1,0,4",
          "AT+UART_CUR=9600,8,1,0", "AT+UART_CUR=fast,8,1,0,0", "AT+UART_DEF=0,8,1,0,0",
          "AT+CIOBAUD=9600"})
        EXPECT_EQ(one.send(std::string(command) + "\r\n"), "\r\nERROR\r\n") << command;
    EXPECT_EQ(one.module.line().baud, 115200);
    EXPECT_EQ(one.send("AT+UART_CUR=4608000,8,1,0,0\r\n"), "\r\nOK\r\n");

    Dialogue two(Firmware(2));
    EXPECT_EQ(two.send("AT+UART_CUR=4500001,8,1,0,0\r\n"), "\r\nERROR\r\n");
    EXPECT_EQ(two.send("AT+CIOBAUD=9600\r\n"), "\r\nERROR\r\n");
    EXPECT_EQ(two.send("AT+UART_CUR=80,8,1,0,0\r\n"), "\r\nOK\r\n");
}

TEST(Firmware, OldFirmwareMovesAndStoresItsRateWithCiobaudOnly)
{
    Dialogue d(Firmware(0));
    EXPECT_EQ(d.send("AT+UART_CUR=9600,8,1,0,0\r\n"), "\r\nERROR\r\n");
    EXPECT_EQ(d.send("AT+CIOBAUD=?\r\n"), "+CIOBAUD:(9600-921600)\r\n\r\nOK\r\n");
    EXPECT_EQ(d.send("AT+CIOBAUD=4800\r\n"), "\r\nERROR\r\n");
    EXPECT_EQ(d.send("AT+CIOBAUD=9600\r\n"), "\r\nOK\r\n");
    d.module.setPortLine(9600);
    EXPECT_EQ(d.send("AT+CIOBAUD?\r\n"), "+CIOBAUD:9600\r\n\r\nOK\r\n");
    d.send("AT+RST\r\n");
    EXPECT_EQ(d.wait(200), "\r\nready\r\n");
}

TEST(Firmware, StationMacIsTheConfiguredOneEverywhere)
{
    EXPECT_EQ(StationMacForPort(0), "18:fe:34:a1:b2:c3");
    EXPECT_EQ(StationMacForPort(7), StationMacForPort(7));
    EXPECT_NE(StationMacForPort(7), StationMacForPort(8));
    EXPECT_NE(StationMacForPort(1), StationMacForPort(9999));

    ModuleOptions options = Firmware(1);
    options.stationMac = "5c:cf:7f:01:02:03";
    Dialogue d(options);
    EXPECT_EQ(d.send("AT+CIPSTAMAC?\r\n"), "+CIPSTAMAC:\"5c:cf:7f:01:02:03\"\r\n\r\nOK\r\n");
    EXPECT_EQ(d.send("AT+CIPSTAMAC_CUR?\r\n"),
              "+CIPSTAMAC_CUR:\"5c:cf:7f:01:02:03\"\r\n\r\nOK\r\n");
    d.send("AT+CWMODE=3\r\n");
    // The access point's MAC is the station's with the locally administered bit set.
    EXPECT_EQ(d.send("AT+CIFSR\r\n"),
              "+CIFSR:APIP,\"192.168.4.1\"\r\n+CIFSR:APMAC,\"5e:cf:7f:01:02:03\"\r\n"
              "+CIFSR:STAIP,\"0.0.0.0\"\r\n+CIFSR:STAMAC,\"5c:cf:7f:01:02:03\"\r\n\r\nOK\r\n");
    // A group address cannot be a station's.
    EXPECT_EQ(d.send("AT+CIPSTAMAC=\"01:02:03:04:05:06\"\r\n"), "\r\nERROR\r\n");
    EXPECT_EQ(d.send("AT+CIPSTAMAC=\"1A:2B:3C:4D:5E:6F\"\r\n"), "\r\nOK\r\n");
    EXPECT_EQ(d.module.state().stationMac, "1a:2b:3c:4d:5e:6f");
}
