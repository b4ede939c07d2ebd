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

TEST(EscapeGuard, AnEscapeGoesAfterTheWritesAnotherWriterHolds)
{
    EscapeGuard guard;
    guard.NoteEscapeSent(30'000);
    guard.SetHeldWrites(0, 1); // a command given in the second after the pluses
    // It goes out at 31'000; the next escape needs a quiet second after it.
    EXPECT_EQ(guard.WaitBeforeEscape(30'200), 1800);
    // A writer late with its held command is waited for, never overtaken.
    EXPECT_EQ(guard.WaitBeforeEscape(32'500), 1);
    guard.SetHeldWrites(1, 0); // the other writer's count leaves this one's alone
    EXPECT_EQ(guard.WaitBeforeEscape(32'500), 1);
    guard.NoteTraffic(32'500);
    guard.SetHeldWrites(0, 0);
    EXPECT_EQ(guard.WaitBeforeEscape(32'500), 1000);
}
