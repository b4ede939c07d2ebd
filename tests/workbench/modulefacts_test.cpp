// The read-only queries' answers as the firmware documents them, echo and final line included.
#include "workbench/modulefacts.h"

#include <gtest/gtest.h>

using namespace Workbench;

namespace {

TEST(ModuleFacts, VersionOfThe1xLayoutWithMakerLineAndBareDate)
{
    const FirmwareVersion v = ParseVersion("AT+GMR\r\r\n"
                                           "AT version:1.2.0.0(Jul  1 2016 20:04:45)\r\n"
                                           "SDK version:1.5.4.1(39cb9a32)\r\n"
                                           "Ai-Thinker Technology Co. Ltd.\r\n"
                                           "Dec  2 2016 14:21:16\r\n"
                                           "OK\r\n");
    EXPECT_EQ(v.At, "1.2.0.0");
    EXPECT_EQ(v.AtDetail, "Jul  1 2016 20:04:45");
    EXPECT_EQ(v.Sdk, "1.5.4.1(39cb9a32)");
    EXPECT_EQ(v.BuildDate, "Dec  2 2016 14:21:16");
    EXPECT_EQ(v.Generation(), 1);
    // Every line but echo and OK is kept as sent, the maker's line among them.
    EXPECT_EQ(v.Lines.size(), 4);
    EXPECT_EQ(v.Lines[2], "Ai-Thinker Technology Co. Ltd.");
}

TEST(ModuleFacts, VersionOfTheEspAtLayout)
{
    const FirmwareVersion v =
        ParseVersion("\r\nAT version:2.2.0.0-dev(ca41ec4 - ESP32 - Sep 16 2020 11:28:17)\r\n"
                     "SDK version:v4.0.1-193-ge7ac221b4\r\n"
                     "compile time(98b95fc):Oct 29 2020 11:23:25\r\n"
                     "Bin version:2.1.0(MINI-1)\r\n\r\nOK\r\n");
    EXPECT_EQ(v.At, "2.2.0.0-dev");
    EXPECT_EQ(v.AtDetail, "ca41ec4 - ESP32 - Sep 16 2020 11:28:17");
    EXPECT_EQ(v.Sdk, "v4.0.1-193-ge7ac221b4");
    EXPECT_EQ(v.BuildDate, "Oct 29 2020 11:23:25"); // the compile time, not the AT line's date
    EXPECT_EQ(v.Bin, "2.1.0(MINI-1)");
    EXPECT_EQ(v.Generation(), 2);
}

TEST(ModuleFacts, VersionWithoutLabelsOrOwnDateLine)
{
    // 1.x without a date line of its own: the AT line's bracket gives the date.
    const FirmwareVersion dated = ParseVersion("AT version:1.1.0.0(May 11 2016 18:09:56)\r\n"
                                               "SDK version:1.5.4(baaeaebb)\r\nOK\r\n");
    EXPECT_EQ(dated.BuildDate, "May 11 2016 18:09:56");
    // Old firmware names no version: nothing is guessed, the lines are kept.
    const FirmwareVersion old = ParseVersion("AT+GMR\r\r\n00200.9.5(b1)\r\nOK\r\n");
    EXPECT_EQ(old.At, "");
    EXPECT_EQ(old.Generation(), 0);
    ASSERT_EQ(old.Lines.size(), 1);
    EXPECT_EQ(old.Lines[0], "00200.9.5(b1)");
}

TEST(ModuleFacts, ModeAccessPointAndAddresses)
{
    EXPECT_EQ(ParseWifiMode("AT+CWMODE?\r\r\n+CWMODE:3\r\n\r\nOK\r\n"), 3);
    EXPECT_EQ(ParseWifiMode("AT+CWMODE?\r\r\n+CWMODE:7\r\n\r\nOK\r\n"), std::nullopt);

    // A name holding a quote and a comma: the access point's MAC marks where it ends. ESP-AT
    // adds fields after the signal strength.
    const JoinedAccessPoint ap = ParseJoinedAccessPoint(
        "AT+CWJAP?\r\r\n+CWJAP:\"Lab \"5\", 2F\",\"AA:bb:cc:dd:ee:01\",11,-67,0,1,3,0,1\r\n\r\nOK\r\n",
        true);
    EXPECT_TRUE(ap.Joined);
    EXPECT_EQ(ap.Ssid, "Lab \"5\", 2F");
    EXPECT_EQ(ap.Bssid, "aa:bb:cc:dd:ee:01");
    EXPECT_EQ(ap.Channel, 11);
    EXPECT_EQ(ap.Rssi, -67);
    const JoinedAccessPoint none = ParseJoinedAccessPoint("AT+CWJAP?\r\r\nNo AP\r\n\r\nOK\r\n", true);
    EXPECT_TRUE(none.Answered);
    EXPECT_FALSE(none.Joined);
    EXPECT_FALSE(ParseJoinedAccessPoint("AT+CWJAP?\r\r\nERROR\r\n", false).Answered);

    EXPECT_EQ(ParseStationMac("AT+CIPSTAMAC?\r\r\n+CIPSTAMAC:\"5C:CF:7F:01:02:03\"\r\n\r\nOK\r\n"),
              "5c:cf:7f:01:02:03");
    const InterfaceAddresses a = ParseAddresses("AT+CIFSR\r\r\n"
                                                "+CIFSR:APIP,\"192.168.4.1\"\r\n"
                                                "+CIFSR:APMAC,\"1a:fe:34:00:00:01\"\r\n"
                                                "+CIFSR:STAIP,\"10.0.0.7\"\r\n"
                                                "+CIFSR:STAMAC,\"18:FE:34:00:00:01\"\r\n\r\nOK\r\n");
    EXPECT_EQ(a.StationIp, "10.0.0.7");
    EXPECT_EQ(a.StationMac, "18:fe:34:00:00:01");
    EXPECT_EQ(a.SoftApIp, "192.168.4.1");
    EXPECT_EQ(a.SoftApMac, "1a:fe:34:00:00:01");
}

TEST(ModuleFacts, RateCommandPerFirmwareGeneration)
{
    FirmwareVersion v1;
    v1.Major = 1;
    v1.Minor = 2;
    EXPECT_EQ(RateCommandFor(v1, 9600, false).Command, "AT+UART_CUR=9600,8,1,0,0\r\n");
    EXPECT_EQ(RateCommandFor(v1, 9600, true).Command, "AT+UART_DEF=9600,8,1,0,0\r\n");
    EXPECT_FALSE(RateCommandFor(v1, 9600, false).Stored);
    EXPECT_FALSE(RateCommandFor(v1, 5'000'000, false).Refusal.isEmpty());

    FirmwareVersion v2;
    v2.Major = 2;
    v2.Minor = 0;
    EXPECT_EQ(RateCommandFor(v2, 80, false).Command, "AT+UART_CUR=80,8,1,0,0\r\n");
    EXPECT_TRUE(RateCommandFor(v2, 4'600'000, false).Command.isEmpty());

    // 1.0 and unlabelled firmware have only AT+CIOBAUD, with its fixed list.
    FirmwareVersion old;
    EXPECT_EQ(RateCommandFor(old, 74880, false).Command, "AT+CIOBAUD=74880\r\n");
    EXPECT_TRUE(RateCommandFor(old, 74880, false).Stored);
    EXPECT_TRUE(RateCommandFor(old, 4800, false).Command.isEmpty());
    FirmwareVersion v10;
    v10.Major = 1;
    v10.Minor = 0;
    EXPECT_EQ(RateCommandFor(v10, 9600, false).Name, "AT+CIOBAUD");
}

} // namespace
