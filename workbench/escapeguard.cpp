#include "workbench/escapeguard.h"

#include <algorithm>
#include <iterator>

namespace Workbench {

void EscapeGuard::NoteTraffic(std::int64_t nowMs)
{
    SeenTraffic = true;
    LastTrafficMs = std::max(LastTrafficMs, nowMs);
}

std::int64_t EscapeGuard::WaitBeforeEscape(std::int64_t nowMs) const
{
    std::int64_t wait = 0;
    if (SeenTraffic) wait = std::max<std::int64_t>(0, LastTrafficMs + GuardMs - nowMs);
    const bool held = std::any_of(std::begin(HeldWrites), std::end(HeldWrites),
                                  [](int count) { return count > 0; });
    // Held writes go out when the second after the last "+++" ends; this one a second after
    // them. A writer that is late with them is waited for, a millisecond at a time.
    if (held) wait = std::max<std::int64_t>({wait, EscapeSentMs + 2 * GuardMs - nowMs, 1});
    return wait;
}

void EscapeGuard::SetHeldWrites(int writer, int count)
{
    if (writer >= 0 && writer < Writers) HeldWrites[writer] = std::max(0, count);
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
