#include "workbench/framing.h"

namespace Workbench {

TickAction FramingTick(std::uint8_t& receivedFlag, std::uint32_t& idleTicks,
                       std::int32_t configStep, bool stepAnswered)
{
    if (receivedFlag != 1) return TickAction::None; // nothing arrived since the last block
    idleTicks += 1;
    if (configStep == 0 && idleTicks >= FrameGapTicks) {
        receivedFlag = 0;
        idleTicks = 0;
        return TickAction::PostBlock;
    }
    // A running sequence keeps the flag and the count: with no byte before the next tick the
    // following step runs at once.
    if (configStep <= 0 || idleTicks < StepGapTicks || !stepAnswered) return TickAction::None;
    return TickAction::RunStepThenPost;
}

} // namespace Workbench
