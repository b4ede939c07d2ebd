#pragma once
// The decisions of the 10 ms tick: when a quiet gap ends a received block and when it
// lets the next step of the connection sequence run.
#include <cstdint>

namespace Workbench {

// Quiet ticks that end a block while no connection sequence runs.
inline constexpr std::uint32_t FrameGapTicks = 20;
// Quiet ticks before the next connection-sequence step.
inline constexpr std::uint32_t StepGapTicks = 200;

// What the window does after a tick.
enum class TickAction {
    None,            // nothing to do
    PostBlock,       // post the receive notification (the block is framed)
    RunStepThenPost, // run RunConfigStep, then post the receive notification
};

// One tick over the port's receive state; the caller holds the port's ReceiveLock and acts
// on the result after releasing it. Frames a block (clears the flag and the count) after
// FrameGapTicks with no sequence; with a sequence (configStep > 0) asks for a step after
// StepGapTicks and leaves flag and count as they are, but only once the step before has its
// final answer (stepAnswered): a quiet gap inside a join is no answer.
TickAction FramingTick(std::uint8_t& receivedFlag, std::uint32_t& idleTicks,
                       std::int32_t configStep, bool stepAnswered = true);

} // namespace Workbench
