#include "workbench/exchange.h"

#include <QStringList>

#include <algorithm>
#include <chrono>

namespace Workbench {

void BoundedBytes::Append(QByteArrayView bytes)
{
    Total += std::uint64_t(bytes.size());
    if (bytes.size() >= Limit) {
        Data = bytes.last(Limit).toByteArray();
        return;
    }
    Data.append(bytes);
    // Trimmed only when twice the limit is held, so each byte is moved a bounded number of times.
    if (Data.size() >= 2 * Limit) Data.remove(0, Data.size() - Limit);
}

QByteArray BoundedBytes::Bytes() const
{
    return Data.size() > Limit ? Data.right(Limit) : Data;
}

std::uint64_t BoundedBytes::NotKept() const
{
    return Total - std::uint64_t(std::min(Data.size(), Limit));
}

void BoundedBytes::Clear()
{
    Data.clear();
    Total = 0;
}

bool ExchangeAnswer::Succeeded() const
{
    return Accepted && !TimedOut && !PortLost &&
           FinalResultSucceeded(Final, IsRestartCommand(Command));
}

QString AnswerSummary(const QByteArray& answer, const QByteArray& sent)
{
    const QByteArray echo = sent.trimmed();
    QStringList said;
    for (const QByteArray& raw : answer.split('\n')) {
        const QByteArray text = raw.trimmed();
        if (text.isEmpty() || text == echo) continue;
        said.append(QString::fromUtf8(text));
    }
    QString summary = said.join(QStringLiteral(" / "));
    if (summary.size() > 200) summary = summary.left(197) + QStringLiteral("...");
    return summary;
}

std::int64_t SteadyMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

Exchange::Exchange(Writer writer) : WriteBytes(std::move(writer)) {}

std::uint64_t Exchange::SendCommand(QByteArray command, std::int64_t nowMs, int timeoutMs,
                                    WriteDone done)
{
    const std::uint64_t id = NextId++;
    Queue({Kind::Command, std::move(command), id, timeoutMs, std::move(done)}, nowMs);
    return id;
}

void Exchange::SendRaw(QByteArray bytes, std::int64_t nowMs, WriteDone done)
{
    Queue({Kind::Raw, std::move(bytes), 0, 0, std::move(done)}, nowMs);
}

void Exchange::SendEscape(std::int64_t nowMs, WriteDone done)
{
    Queue({Kind::Escape, QByteArrayLiteral("+++"), 0, 0, std::move(done)}, nowMs);
}

void Exchange::AssumeWrittenAt(std::int64_t nowMs)
{
    LastWriteMs = std::max(LastWriteMs.value_or(nowMs), nowMs);
}

bool Exchange::EscapeWaiting() const
{
    return std::any_of(Outbox.begin(), Outbox.end(),
                       [](const Outgoing& out) { return out.Type == Kind::Escape; });
}

Exchange::Wait Exchange::Waiting(std::int64_t nowMs) const
{
    if (Outbox.empty()) return Wait::Nothing;
    if (EscapeSentMs && nowMs < *EscapeSentMs + EscapeGuardMs) return Wait::QuietAfterEscape;
    const std::optional<std::int64_t> due = DueOf(Outbox.front());
    if (due && nowMs < *due) return Wait::QuietBeforeEscape;
    return Wait::Nothing;
}

void Exchange::Queue(Outgoing out, std::int64_t nowMs)
{
    Outbox.push_back(std::move(out));
    Pump(nowMs);
    Flush();
}

std::optional<std::int64_t> Exchange::DueOf(const Outgoing& out) const
{
    std::int64_t due = EscapeSentMs ? *EscapeSentMs + EscapeGuardMs : 0;
    if (out.Type == Kind::Escape && LastWriteMs) due = std::max(due, *LastWriteMs + EscapeGuardMs);
    return due;
}

void Exchange::Pump(std::int64_t nowMs)
{
    if (DeadlineMs && nowMs >= *DeadlineMs && Current) {
        Current->TimedOut = true;
        Complete(FinalResult::None);
    }
    while (!Outbox.empty() && nowMs >= *DueOf(Outbox.front())) {
        Outgoing out = std::move(Outbox.front());
        Outbox.pop_front();
        Write(std::move(out), nowMs);
    }
}

void Exchange::Write(Outgoing out, std::int64_t nowMs)
{
    const bool written = WriteBytes && WriteBytes(out.Bytes);
    if (written) {
        LastWriteMs = nowMs;
        if (out.Type == Kind::Escape) EscapeSentMs = nowMs;
    }
    if (out.Type == Kind::Command) {
        // A command written while another's answer is still read takes the reading over: what
        // comes now answers the newer one.
        Current = ExchangeAnswer{};
        Current->Id = out.Id;
        Current->Command = out.Bytes;
        CurrentBytes.Clear();
        Echo = out.Bytes.trimmed();
        Restart = IsRestartCommand(out.Bytes);
        RestartOk = false;
        BusySeen = false;
        DeadlineMs.reset();
        if (out.TimeoutMs > 0) DeadlineMs = nowMs + out.TimeoutMs;
        if (!written) {
            Current->PortLost = true;
            Complete(FinalResult::None);
        }
    }
    if (out.Done) Events.push_back([done = std::move(out.Done), written] { done(written); });
}

void Exchange::Receive(QByteArrayView bytes, std::int64_t nowMs)
{
    Pump(nowMs); // a command whose time ran out before these bytes came is over
    Chunk = bytes;
    ChunkStart = 0;
    for (ChunkPos = 0; ChunkPos < bytes.size(); ++ChunkPos) {
        if (PayloadLeft > 0) {
            // Network data is data, whatever it holds: it is taken by its length, unread.
            const qsizetype take =
                qsizetype(std::min<std::uint64_t>(PayloadLeft, std::uint64_t(bytes.size() - ChunkPos)));
            PayloadLeft -= std::uint64_t(take);
            ChunkPos += take - 1;
            continue;
        }
        const char c = bytes[ChunkPos];
        if (c == '\n') {
            if (!LineOverflow) JudgeLine(Line);
            Line.clear();
            LineOverflow = false;
        } else if (c == '>' && Line.isEmpty() && Current) {
            Complete(FinalResult::Prompt); // the prompt for data comes without a line end
        } else if (Line.size() < LineKept) {
            Line.append(c);
            if (c == ':' && Line.startsWith("+IPD,")) StartPayload();
        } else {
            LineOverflow = true;
        }
    }
    if (Current) CurrentBytes.Append(bytes.sliced(ChunkStart));
    Chunk = {};
    Flush();
}

void Exchange::StartPayload()
{
    // "+IPD,<len>:" or "+IPD,<id>,<len>:"
    const QByteArrayView header = QByteArrayView(Line).sliced(5, Line.size() - 6);
    bool ok = false;
    const qulonglong length =
        header.sliced(header.lastIndexOf(',') + 1).toByteArray().toULongLong(&ok);
    if (!ok) return;
    PayloadLeft = length;
    Line.clear();
}

void Exchange::JudgeLine(QByteArrayView line)
{
    while (!line.isEmpty() && line.back() == '\r')
        line.chop(1);
    if (line.isEmpty()) return;
    const bool swallow = std::exchange(SwallowError, false);
    if (swallow && line == QByteArrayView("ERROR")) return;
    if (!Current) {
        if (line == QByteArrayView("ready") && OnModuleRestarted)
            Events.push_back(OnModuleRestarted);
        return;
    }
    if (!Current->EchoSeen && line == QByteArrayView(Echo)) {
        Current->EchoSeen = true;
        return;
    }
    if (line.startsWith("busy ")) {
        // Not taken; the final line that follows answers the command the module is busy with.
        BusySeen = true;
        Current->Accepted = false;
        return;
    }
    const FinalResult result = FinalResultOfLine(line);
    if (result == FinalResult::None) return;
    if (BusySeen) {
        Complete(FinalResult::Busy);
        return;
    }
    if (result == FinalResult::Ok && Restart && !RestartOk) {
        RestartOk = true; // the restart begins; ready ends it
        return;
    }
    if (result == FinalResult::Ready && !(Restart && RestartOk) && OnModuleRestarted)
        Events.push_back(OnModuleRestarted);
    if (result == FinalResult::AlreadyConnected) SwallowError = true;
    Complete(result);
}

void Exchange::Complete(FinalResult final)
{
    if (!Current) return;
    if (!Chunk.isNull()) {
        // The answer ends with the byte that completed it; what follows is no answer's.
        CurrentBytes.Append(Chunk.sliced(ChunkStart, ChunkPos + 1 - ChunkStart));
        ChunkStart = ChunkPos + 1;
    }
    ExchangeAnswer answer = std::move(*Current);
    Current.reset();
    DeadlineMs.reset();
    answer.Final = final;
    if (!Chunk.isNull()) answer.EndInChunk = ChunkStart;
    answer.Bytes = CurrentBytes.Bytes();
    answer.NotKept = CurrentBytes.NotKept();
    CurrentBytes.Clear();
    Events.push_back([this, answer = std::move(answer)] {
        if (OnAnswerComplete) OnAnswerComplete(answer);
    });
}

void Exchange::Flush()
{
    if (Flushing) return;
    Flushing = true;
    while (!Events.empty()) {
        const std::function<void()> event = std::move(Events.front());
        Events.pop_front();
        event();
    }
    Flushing = false;
}

void Exchange::Advance(std::int64_t nowMs)
{
    Pump(nowMs);
    Flush();
}

std::optional<std::int64_t> Exchange::NextDueMs() const
{
    std::optional<std::int64_t> due = DeadlineMs;
    if (!Outbox.empty()) {
        const std::int64_t write = *DueOf(Outbox.front());
        due = due ? std::min(*due, write) : write;
    }
    return due;
}

void Exchange::PortLost(std::int64_t nowMs)
{
    (void)nowMs;
    if (Current) {
        Current->PortLost = true;
        Complete(FinalResult::None);
    }
    Reset();
    if (OnPortLost) Events.push_back(OnPortLost);
    Flush();
}

void Exchange::Reset()
{
    for (Outgoing& out : Outbox)
        if (out.Done) Events.push_back([done = std::move(out.Done)] { done(false); });
    Outbox.clear();
    Current.reset();
    DeadlineMs.reset();
    Line.clear();
    LineOverflow = false;
    PayloadLeft = 0;
    SwallowError = false;
    Flush();
}

// ---- the event loop's side ----

ExchangeDriver::ExchangeDriver(Exchange::Writer writer, QObject* parent)
    : QObject(parent), FEngine(std::move(writer))
{
    FTimer.setSingleShot(true);
    FTimer.setTimerType(Qt::PreciseTimer);
    connect(&FTimer, &QTimer::timeout, this, &ExchangeDriver::Advance);
}

std::uint64_t ExchangeDriver::SendCommand(QByteArray command, int timeoutMs,
                                          Exchange::WriteDone done)
{
    const std::uint64_t id = FEngine.SendCommand(std::move(command), NowMs(), timeoutMs,
                                                 std::move(done));
    Rearm();
    return id;
}

void ExchangeDriver::SendRaw(QByteArray bytes, Exchange::WriteDone done)
{
    FEngine.SendRaw(std::move(bytes), NowMs(), std::move(done));
    Rearm();
}

void ExchangeDriver::SendEscape(Exchange::WriteDone done)
{
    FEngine.SendEscape(NowMs(), std::move(done));
    Rearm();
}

void ExchangeDriver::Receive(QByteArrayView bytes)
{
    FEngine.Receive(bytes, NowMs());
    Rearm();
}

void ExchangeDriver::PortLost()
{
    FEngine.PortLost(NowMs());
    Rearm();
}

void ExchangeDriver::Reset()
{
    FEngine.Reset();
    Rearm();
}

void ExchangeDriver::AssumeWritten()
{
    FEngine.AssumeWrittenAt(NowMs());
    Rearm();
}

void ExchangeDriver::Advance()
{
    FEngine.Advance(NowMs());
    Rearm();
}

void ExchangeDriver::Rearm()
{
    const std::optional<std::int64_t> due = FEngine.NextDueMs();
    if (!due) {
        FTimer.stop();
        return;
    }
    const std::int64_t wait = std::max<std::int64_t>(0, *due - NowMs());
    FTimer.start(int(std::min<std::int64_t>(wait, INT_MAX)));
}

} // namespace Workbench
