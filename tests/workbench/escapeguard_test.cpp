#include "workbench/escapeguard.h"

#include <gtest/gtest.h>

using Workbench::EscapeGuard;

TEST(EscapeGuard, FreshLineLetsTheEscapeGoAtOnce)
{
    EscapeGuard guard;
    EXPECT_EQ(guard.WaitBeforeEscape(5), 0);
    EXPECT_EQ(guard.WaitBeforeOtherWrite(5), 0);
}

TEST(EscapeGuard, TrafficPushesTheEscapeASecondPastTheLastByte)
{
    EscapeGuard guard;
    guard.NoteTraffic(10'000);
    EXPECT_EQ(guard.WaitBeforeEscape(10'000), 1000);
    EXPECT_EQ(guard.WaitBeforeEscape(10'400), 600);
    guard.NoteTraffic(10'400); // a reply byte restarts the quiet second
    EXPECT_EQ(guard.WaitBeforeEscape(10'400), 1000);
    EXPECT_EQ(guard.WaitBeforeEscape(11'400), 0);
    // An out-of-order report of older traffic never shortens the wait.
    guard.NoteTraffic(10'100);
    EXPECT_EQ(guard.WaitBeforeEscape(11'000), 400);
}

TEST(EscapeGuard, EscapeHoldsOtherWritesAndASecondEscapeBack)
{
    EscapeGuard guard;
    guard.NoteEscapeSent(20'000);
    EXPECT_EQ(guard.WaitBeforeOtherWrite(20'000), 1000);
    EXPECT_EQ(guard.WaitBeforeOtherWrite(20'999), 1);
    EXPECT_EQ(guard.WaitBeforeOtherWrite(21'000), 0);
    EXPECT_EQ(guard.WaitBeforeEscape(20'500), 500);
}
