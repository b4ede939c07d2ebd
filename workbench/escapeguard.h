#pragma once
// The module takes "+++" as the end of transparent transmission only when the line around it
// is quiet: nothing sent or received for a second before the three bytes, nothing sent for a
// second after them. This clock-free rule tells a caller how long to wait; the caller keeps the
// time (milliseconds on any steady clock) and does the waiting without blocking.
#include <cstdint>

namespace Workbench {

class EscapeGuard
{
public:
    // The quiet line the module needs on each side of "+++".
    static constexpr std::int64_t GuardMs = 1000;
    // Writers that may share one guard, numbered from 0.
    static constexpr int Writers = 2;

    // A byte went out or came in at nowMs.
    void NoteTraffic(std::int64_t nowMs);
    // Milliseconds until "+++" may be written; 0 when it may go now.
    std::int64_t WaitBeforeEscape(std::int64_t nowMs) const;
    // "+++" was written at nowMs: it counts as traffic, and holds other writes back.
    void NoteEscapeSent(std::int64_t nowMs);
    // Milliseconds until anything else may be written after a "+++"; 0 when it may go now.
    std::int64_t WaitBeforeOtherWrite(std::int64_t nowMs) const;
    // How many writes the guard's writers now hold back in the second after a "+++". A later
    // "+++" goes after them, once the line has been quiet again: with several writers, each
    // sets its own count.
    void SetHeldWrites(int writer, int count);

private:
    bool SeenTraffic = false;
    bool SentEscape = false;
    std::int64_t LastTrafficMs = 0;
    std::int64_t EscapeSentMs = 0;
    int HeldWrites[Writers] = {};
};

} // namespace Workbench
