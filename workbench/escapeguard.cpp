#include "workbench/escapeguard.h"

#include <algorithm>

namespace Workbench {

void EscapeGuard::NoteTraffic(std::int64_t nowMs)
{
    SeenTraffic = true;
    LastTrafficMs = std::max(LastTrafficMs, nowMs);
}

std::int64_t EscapeGuard::WaitBeforeEscape(std::int64_t nowMs) const
{
    if (!SeenTraffic) return 0;
    return std::max<std::int64_t>(0, LastTrafficMs + GuardMs - nowMs);
}

void EscapeGuard::NoteEscapeSent(std::int64_t nowMs)
{
    NoteTraffic(nowMs);
    SentEscape = true;
    EscapeSentMs = nowMs;
}

std::int64_t EscapeGuard::WaitBeforeOtherWrite(std::int64_t nowMs) const
{
    if (!SentEscape) return 0;
    return std::max<std::int64_t>(0, EscapeSentMs + GuardMs - nowMs);
}

} // namespace Workbench
