#pragma once
// One exchange with the module per open port: every write of every writer (commands, raw
// lines, "+++") goes through one outbox in the order given; "+++" goes out only after a second
// in which we wrote nothing and holds every later write for a second after it (what the module
// sends meanwhile plays no part: a server may keep sending); the module's answer to the command
// last written is read up to its final line. The engine keeps no clock of its own: callers pass
// the time (milliseconds on any steady clock) and ask NextDueMs when to call Advance, so tests
// drive time directly. ExchangeDriver is the event loop's side: one single-shot timer.
#include "workbench/replies.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QObject>
#include <QString>
#include <QTimer>

#include <cstdint>
#include <deque>
#include <functional>
#include <optional>

namespace Workbench {

// The last `limit` bytes of a stream and how many came before them; appending is linear.
class BoundedBytes
{
public:
    explicit BoundedBytes(qsizetype limit) : Limit(limit) {}
    void Append(QByteArrayView bytes);
    // The kept bytes: at most the limit, the newest ones.
    QByteArray Bytes() const;
    // Bytes received but no longer kept.
    std::uint64_t NotKept() const;
    void Clear();

private:
    qsizetype Limit;
    QByteArray Data;       // may hold up to twice the limit between trims
    std::uint64_t Total = 0;
};

// The module's answer to one command.
struct ExchangeAnswer
{
    std::uint64_t Id = 0;  // as SendCommand returned it
    QByteArray Command;    // the bytes written
    FinalResult Final = FinalResult::None;
    bool Accepted = true;  // false: the module said "busy p..." and did not take the command
    bool EchoSeen = false; // the module echoed the command
    bool TimedOut = false; // no final answer within the command's time
    bool PortLost = false; // the port went away, or the command could not be written
    QByteArray Bytes;      // the answer as received (its last KeptAnswerBytes), final line included
    std::uint64_t NotKept = 0;
    // Where the answer ended in the chunk given to Receive (-1: it ended outside one), so a
    // caller can tell the rest of that chunk from the answer.
    qsizetype EndInChunk = -1;

    // The command did what was asked.
    bool Succeeded() const;
};

class Exchange
{
public:
    // The quiet second in our own sending on each side of "+++".
    static constexpr std::int64_t EscapeGuardMs = 1000;
    // What is kept of one answer.
    static constexpr qsizetype KeptAnswerBytes = qsizetype{1} << 20;

    // Writes bytes to the port; false when nothing went out.
    using Writer = std::function<bool(const QByteArray& bytes)>;
    // Told once whether a queued write went out (false: not written, or dropped).
    using WriteDone = std::function<void(bool written)>;

    explicit Exchange(Writer writer);

    // A command whose answer is read, written when the outbox reaches it; its time for a final
    // answer (0: none) counts from the write. Returns the answer's id.
    std::uint64_t SendCommand(QByteArray command, std::int64_t nowMs, int timeoutMs = 0,
                              WriteDone done = {});
    // Bytes written in their turn without an answer being read for them.
    void SendRaw(QByteArray bytes, std::int64_t nowMs, WriteDone done = {});
    // "+++", written in its turn once we have written nothing for EscapeGuardMs.
    void SendEscape(std::int64_t nowMs, WriteDone done = {});
    // Counts as a write of ours at nowMs (what went on before the port was opened is unknown).
    void AssumeWrittenAt(std::int64_t nowMs);

    // Bytes from the module, in order, in chunks split anywhere.
    void Receive(QByteArrayView bytes, std::int64_t nowMs);
    // Writes what is due and ends a command whose time is up.
    void Advance(std::int64_t nowMs);
    // When Advance has something to do next; none while nothing waits for time.
    std::optional<std::int64_t> NextDueMs() const;

    // The device went away: the command ends (portLost), queued writes are dropped.
    void PortLost(std::int64_t nowMs);
    // The port was closed: queued writes are dropped, the pending answer forgotten.
    void Reset();

    bool AnswerPending() const { return Current.has_value(); }
    // The answer being read, if a command is pending (its bytes are filled in when it ends).
    const ExchangeAnswer* PendingAnswer() const { return Current ? &*Current : nullptr; }
    bool WritesWaiting() const { return !Outbox.empty(); }
    // Whether a "+++" waits in the outbox.
    bool EscapeWaiting() const;
    // What the first queued write waits for.
    enum class Wait { Nothing, QuietBeforeEscape, QuietAfterEscape };
    Wait Waiting(std::int64_t nowMs) const;

    // Events; each runs after the call that caused it has done its work, so a handler may send.
    std::function<void(const ExchangeAnswer&)> OnAnswerComplete;
    std::function<void()> OnModuleRestarted; // "ready" that ends no restart of ours
    std::function<void()> OnPortLost;

private:
    enum class Kind { Command, Raw, Escape };
    struct Outgoing
    {
        Kind Type;
        QByteArray Bytes;
        std::uint64_t Id = 0;
        int TimeoutMs = 0;
        WriteDone Done;
    };

    void Queue(Outgoing out, std::int64_t nowMs);
    void Pump(std::int64_t nowMs);
    std::optional<std::int64_t> DueOf(const Outgoing& out) const;
    void Write(Outgoing out, std::int64_t nowMs);
    void JudgeLine(QByteArrayView line);
    void StartPayload();
    void Complete(FinalResult final);
    void Flush();

    Writer WriteBytes;
    std::deque<Outgoing> Outbox;
    std::optional<std::int64_t> LastWriteMs;
    std::optional<std::int64_t> EscapeSentMs;
    std::uint64_t NextId = 1;

    // The answer being read.
    std::optional<ExchangeAnswer> Current;
    BoundedBytes CurrentBytes{KeptAnswerBytes};
    QByteArray Echo;
    bool Restart = false;    // the command restarts the module: ready ends it
    bool RestartOk = false;  // its OK has come
    bool BusySeen = false;
    std::optional<std::int64_t> DeadlineMs;

    // The line being received: only its start is kept (final lines are short).
    static constexpr qsizetype LineKept = 64;
    QByteArray Line;
    bool LineOverflow = false;
    std::uint64_t PayloadLeft = 0; // bytes of a "+IPD,<len>:" payload still to come
    bool SwallowError = false;     // "ALREADY CONNECTED" is followed by an ERROR of its own

    // The chunk Receive works through, so an answer ends exactly at the byte that ends it.
    QByteArrayView Chunk;
    qsizetype ChunkStart = 0;
    qsizetype ChunkPos = 0;

    std::deque<std::function<void()>> Events;
    bool Flushing = false;
};

// What an answer said, for people: its lines that are neither empty nor the echo of `sent`,
// joined by " / ", at most 200 characters.
QString AnswerSummary(const QByteArray& answer, const QByteArray& sent);

// Milliseconds of the steady clock, the clock the serial port stamps received bytes with.
std::int64_t SteadyMs();

// Runs an Exchange on the event loop: each call passes the clock's time and re-arms one
// single-shot timer for the engine's next due time; nothing wakes up while nothing is due.
class ExchangeDriver : public QObject
{
    Q_OBJECT
public:
    explicit ExchangeDriver(Exchange::Writer writer, QObject* parent = nullptr);

    Exchange& Engine() { return FEngine; }
    const Exchange& Engine() const { return FEngine; }
    // The clock; tests may replace it.
    std::function<std::int64_t()> NowMs = &SteadyMs;

    std::uint64_t SendCommand(QByteArray command, int timeoutMs = 0,
                              Exchange::WriteDone done = {});
    void SendRaw(QByteArray bytes, Exchange::WriteDone done = {});
    void SendEscape(Exchange::WriteDone done = {});
    void Receive(QByteArrayView bytes);
    void PortLost();
    void Reset();
    void AssumeWritten();
    // Runs what is due now (the timer's slot; tests call it after moving the clock).
    void Advance();
    QTimer& Timer() { return FTimer; }

private:
    void Rearm();

    Exchange FEngine;
    QTimer FTimer;
};

} // namespace Workbench
