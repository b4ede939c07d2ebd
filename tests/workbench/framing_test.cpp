// The tick's framing decisions, driven tick by tick as the window's timer drives them.
#include "workbench/framing.h"

#include "qtprinters.h"

#include <gtest/gtest.h>

#include <limits>

using namespace Workbench;

namespace {

// The receive state the reader and the tick share.
struct Receiver
{
    std::uint8_t flag = 0;
    std::uint32_t idle = 0;

    void byte()
    {
        flag = 1;
        idle = 0;
    }
    TickAction tick(std::int32_t configStep) { return FramingTick(flag, idle, configStep); }
    // Ticks until something happens or the limit is reached; returns the number of ticks.
    int ticksUntilAction(std::int32_t configStep, int limit, TickAction* action = nullptr)
    {
        for (int n = 1; n <= limit; ++n) {
            const TickAction a = tick(configStep);
            if (a != TickAction::None) {
                if (action) *action = a;
                return n;
            }
        }
        return -1;
    }
};

} // namespace

TEST(FramingTick, BlockEndsTwentyQuietTicksAfterItsLastByte)
{
    Receiver r;
    r.byte();
    TickAction a = TickAction::None;
    EXPECT_EQ(r.ticksUntilAction(0, 1000, &a), 20);
    EXPECT_EQ(a, TickAction::PostBlock);
    EXPECT_EQ(r.flag, 0);
    EXPECT_EQ(r.idle, 0u);
    // Framed: the tick idles until the next byte.
    EXPECT_EQ(r.ticksUntilAction(0, 1000), -1);
    EXPECT_EQ(r.idle, 0u);
}

TEST(FramingTick, AByteRestartsTheCount)
{
    Receiver r;
    r.byte();
    EXPECT_EQ(r.ticksUntilAction(0, 19), -1);
    r.byte();
    EXPECT_EQ(r.ticksUntilAction(0, 1000), 20);
}

TEST(FramingTick, SequenceWaitsTwoHundredTicksThenStepsOnConsecutiveTicks)
{
    Receiver r;
    r.byte();
    EXPECT_EQ(r.ticksUntilAction(1, 150), -1); // no block at 20, none at 150
    EXPECT_EQ(r.flag, 1);
    TickAction a = TickAction::None;
    EXPECT_EQ(r.ticksUntilAction(1, 1000, &a), 50);
    EXPECT_EQ(a, TickAction::RunStepThenPost);
    EXPECT_EQ(r.flag, 1); // the step leaves flag and count alone
    EXPECT_EQ(r.idle, 200u);
    // No byte before the next tick: 201 runs the following step at once.
    EXPECT_EQ(r.tick(2), TickAction::RunStepThenPost);
    EXPECT_EQ(r.idle, 201u);
    // An echo of the command restarts the 200-tick wait.
    r.byte();
    EXPECT_EQ(r.ticksUntilAction(3, 1000), 200);
    // After the last step the ordinary framing posts once more on the next tick.
    EXPECT_EQ(r.tick(0), TickAction::PostBlock);
    EXPECT_EQ(r.flag, 0);
}

TEST(FramingTick, AStepWaitsForThePreviousFinalAnswerHoweverLongTheQuiet)
{
    Receiver r;
    r.byte();
    for (int n = 0; n < 1000; ++n)
        ASSERT_EQ(FramingTick(r.flag, r.idle, 1, false), TickAction::None) << n;
    EXPECT_EQ(r.flag, 1); // no block is framed meanwhile either
    EXPECT_EQ(FramingTick(r.flag, r.idle, 1, true), TickAction::RunStepThenPost);
}

TEST(FramingTick, SequenceWithNoByteNeverAdvances)
{
    Receiver r;
    for (int n = 0; n < 5000; ++n)
        ASSERT_EQ(r.tick(1), TickAction::None);
    EXPECT_EQ(r.idle, 0u);
    r.flag = 2; // only exactly 1 counts as "received"
    r.idle = 500;
    EXPECT_EQ(r.tick(1), TickAction::None);
    EXPECT_EQ(r.idle, 500u);
}

TEST(FramingTick, IdleCountIsUnsignedAndStepIsSigned)
{
    Receiver r;
    // Past the signed 32-bit range the count still compares as large.
    r.flag = 1;
    r.idle = std::numeric_limits<std::int32_t>::max();
    EXPECT_EQ(r.tick(0), TickAction::PostBlock);
    r.flag = 1;
    r.idle = std::numeric_limits<std::int32_t>::max();
    EXPECT_EQ(r.tick(1), TickAction::RunStepThenPost);
    // A negative step is no sequence and no plain framing either: the count only rises.
    for (std::int32_t step : {-1, std::numeric_limits<std::int32_t>::min()}) {
        r.flag = 1;
        r.idle = 0;
        EXPECT_EQ(r.ticksUntilAction(step, 500), -1) << step;
        EXPECT_EQ(r.idle, 500u);
    }
}
