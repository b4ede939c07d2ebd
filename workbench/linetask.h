#pragma once
// A dialogue with whatever is on a serial line, as a state machine without I/O: it writes and
// sets the rate through a ProbeLine, is fed what the line receives and told the time, and is
// woken at NextDueMs(). The probe and the rate change are such tasks; one runner drives both.
#include "workbench/exchange.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <cstdint>
#include <optional>

namespace Workbench {

// What a task needs of the port.
class ProbeLine
{
public:
    virtual ~ProbeLine() = default;
    // Sets the line rate in place; false when the port cannot take it.
    virtual bool SetRate(int baud) = 0;
    virtual bool Write(const QByteArray& bytes) = 0;
};

// One command of a task and its answer, read by the port's exchange engine like every other
// answer (echo, "busy p...", +IPD payloads, a restart), on the task's own line.
class LineQuery
{
public:
    explicit LineQuery(ProbeLine& line);
    // Writes command (its line end included) and reads its answer; false when nothing went out.
    bool Send(const QByteArray& command, std::int64_t nowMs);
    // Takes received bytes; true once the answer is complete.
    bool Feed(QByteArrayView bytes, std::int64_t nowMs);
    // The complete answer (empty before).
    const ExchangeAnswer& Answer() const { return Answered; }

private:
    Exchange Engine;
    ExchangeAnswer Answered;
    bool Complete = false;
};

class LineTask
{
public:
    virtual ~LineTask() = default;
    virtual void Start(std::int64_t nowMs) = 0;
    // Bytes the line received at nowMs.
    virtual void Feed(QByteArrayView bytes, std::int64_t nowMs) = 0;
    // Runs what has fallen due by nowMs.
    virtual void Advance(std::int64_t nowMs) = 0;
    // When Advance next has something to do; nullopt when nothing is timed (or done).
    virtual std::optional<std::int64_t> NextDueMs() const = 0;
    // The port failed (lost, a write refused): the task ends.
    virtual void Fail(const QString& error) = 0;
    virtual bool Done() const = 0;
    // What the task does now, in a few words.
    virtual QString ProgressText() const = 0;
};

} // namespace Workbench
