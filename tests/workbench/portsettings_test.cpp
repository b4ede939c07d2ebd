// Reading the Open/Close button's port and baud-rate texts.
#include "workbench/portsettings.h"

#include "qtprinters.h"

#include <gtest/gtest.h>

#include <limits>
#include <vector>

using namespace Workbench;

namespace {
constexpr std::int32_t maxInt = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t minInt = std::numeric_limits<std::int32_t>::min();
} // namespace

TEST(PortNumberFromText, ReadsEverythingAfterTheFirstM)
{
    const std::vector<std::pair<const char*, std::int32_t>> rows = {
        {"COM3", 3},      {"COM12", 12},  {"", 0},
        {"COMX", 0},      {" COM 7", 7},  {"COM", 0},
        {"COM12abc", 12}, {"12", 12},     {"XM5M6", 5},
        {"com5", 0},      {"COM-5", -5},  {"COM+5", 5},
        {"COM255", 255},  {"COM0007", 7}, {"COM99999999999", maxInt},
    };
    for (auto [text, port] : rows)
        EXPECT_EQ(PortNumberFromText(QString::fromUtf8(text)), port) << text;
}

TEST(BaudRateFromText, FollowsAtolAndSaturates)
{
    const std::vector<std::pair<const char*, std::int32_t>> rows = {
        {"115200", 115200},
        {"1200", 1200},
        {" \t\n9600", 9600},
        {"abc", 0},
        {"", 0},
        {"-1", -1},
        {"+ 5", 0},
        {"42x7", 42},
        {"2147483647", maxInt},
        {"2147483648", maxInt},
        {"-2147483648", minInt},
        {"-2147483649", minInt},
        {"123456789012345678901234567890", maxInt},
    };
    for (auto [text, rate] : rows)
        EXPECT_EQ(BaudRateFromText(QString::fromUtf8(text)), rate) << text;
}

TEST(PortListText, RoundTripsThroughTheOpenButtonParsing)
{
    EXPECT_EQ(PortListText(3), "COM3");
    EXPECT_EQ(PortListText(12), "COM12");
    for (int n = 1; n <= 255; ++n)
        EXPECT_EQ(PortNumberFromText(PortListText(n)), n);
}
