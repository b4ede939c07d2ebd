#include "workbench/ratechange.h"

namespace Workbench {
namespace {

// Whether a line "OK" has come: the answer to AT at this rate.
bool HoldsOk(const QByteArray& bytes)
{
    for (const QByteArray& line : bytes.split('\n'))
        if (FinalResultOfLine(line.trimmed()) == FinalResult::Ok) return true;
    return false;
}

} // namespace

RateChange::RateChange(ProbeLine& line, QList<int> rates, int restoreRate, int to, bool save,
                       ProbeTiming timing)
    : Line(line), To(to), Save(save), Timing(timing),
      Probe(std::make_unique<ModuleProbe>(line, std::move(rates), restoreRate, false, timing)),
      Query(line)
{
    Outcome.To = to;
}

void RateChange::Start(std::int64_t nowMs)
{
    State = Stage::Probing;
    Probe->Start(nowMs);
    if (Probe->Done()) AfterProbe(nowMs);
}

QString RateChange::ProgressText() const
{
    switch (State) {
    case Stage::Probing:
        return Probe->ProgressText();
    case Stage::Commanding:
        return Outcome.Command.Name;
    case Stage::Switching:
    case Stage::CheckingNew:
        return QStringLiteral("AT at %1").arg(To);
    case Stage::Reverting:
    case Stage::CheckingOld:
        return QStringLiteral("back to %1").arg(Outcome.From);
    case Stage::Idle:
    case Stage::Done:
        break;
    }
    return {};
}

void RateChange::AfterProbe(std::int64_t nowMs)
{
    const ProbeResult& found = Probe->Result();
    Outcome.Probe = found;
    Outcome.From = found.Baud;
    if (found.Verdict == ProbeVerdict::PortError) {
        Finish(RateChangeOutcome::PortError, found.Error);
        return;
    }
    if (found.Verdict != ProbeVerdict::Module) {
        Finish(RateChangeOutcome::NotFound,
               QStringLiteral("no module answers (%1)").arg(ProbeVerdictName(found.Verdict)));
        return;
    }
    if (found.Baud == To) {
        Finish(RateChangeOutcome::AlreadyThere,
               QStringLiteral("the module already answers at %1").arg(To));
        return;
    }
    Outcome.Command = RateCommandFor(found.Facts.Version, To, Save);
    if (!Outcome.Command.Refusal.isEmpty()) {
        Finish(RateChangeOutcome::Refused,
               QStringLiteral("%1 is refused: %2").arg(To).arg(Outcome.Command.Refusal));
        return;
    }
    // The port must take the rate too, or the module would go where we cannot follow.
    const bool portTakes = Line.SetRate(To);
    Line.SetRate(Outcome.From);
    if (!portTakes) {
        Finish(RateChangeOutcome::Refused,
               QStringLiteral("%1 is refused: the port cannot be set to it").arg(To));
        return;
    }
    State = Stage::Commanding;
    DueMs = nowMs + Timing.QueryTimeoutMs;
    if (!Query.Send(Outcome.Command.Command, nowMs))
        Fail(QStringLiteral("cannot write to the port"));
}

void RateChange::SendCheck(std::int64_t nowMs, bool flush)
{
    CheckBytes.clear();
    DueMs = nowMs + CheckMs;
    if (!Line.Write(flush ? QByteArrayLiteral("\r\nAT\r\n") : QByteArrayLiteral("AT\r\n")))
        Fail(QStringLiteral("cannot write to the port"));
}

void RateChange::Feed(QByteArrayView bytes, std::int64_t nowMs)
{
    switch (State) {
    case Stage::Probing:
        Probe->Feed(bytes, nowMs);
        if (Probe->Done()) AfterProbe(nowMs);
        return;
    case Stage::Commanding:
        if (!Query.Feed(bytes, nowMs)) return;
        if (!Query.Answer().Succeeded()) {
            Finish(RateChangeOutcome::Refused,
                   QStringLiteral("%1 is refused: the module answered %2 to %3")
                       .arg(To)
                       .arg(FinalResultText(Query.Answer().Final), Outcome.Command.Name));
            return;
        }
        // The OK came at the old rate; what follows comes at the new one.
        State = Stage::Switching;
        DueMs = nowMs + SwitchMs;
        return;
    case Stage::CheckingNew:
    case Stage::CheckingOld:
        CheckBytes.append(bytes);
        if (!HoldsOk(CheckBytes)) return;
        if (State == Stage::CheckingNew)
            Finish(RateChangeOutcome::Changed,
                   QStringLiteral("%1 -> %2 (%3%4)")
                       .arg(Outcome.From)
                       .arg(To)
                       .arg(Outcome.Command.Name,
                            Outcome.Command.Stored ? QStringLiteral(", kept over a restart")
                                                   : QStringLiteral(", until a restart")));
        else
            Finish(RateChangeOutcome::WentBack,
                   QStringLiteral("the module did not answer at %1; it answers at %2 again")
                       .arg(To)
                       .arg(Outcome.From));
        return;
    case Stage::Idle:
    case Stage::Switching:
    case Stage::Reverting:
    case Stage::Done:
        return;
    }
}

void RateChange::Advance(std::int64_t nowMs)
{
    if (State == Stage::Probing) {
        Probe->Advance(nowMs);
        if (Probe->Done()) AfterProbe(nowMs);
        return;
    }
    if (State == Stage::Idle || State == Stage::Done || nowMs < DueMs) return;
    switch (State) {
    case Stage::Commanding:
        Finish(RateChangeOutcome::Lost,
               QStringLiteral("no answer to %1 within %2 ms")
                   .arg(Outcome.Command.Name)
                   .arg(Timing.QueryTimeoutMs));
        return;
    case Stage::Switching:
        if (!Line.SetRate(To)) {
            CheckFailed(nowMs);
            return;
        }
        State = Stage::CheckingNew;
        Tries = 1;
        SendCheck(nowMs, true);
        return;
    case Stage::CheckingNew:
    case Stage::CheckingOld:
        if (Tries < CheckTries) {
            ++Tries;
            SendCheck(nowMs, false);
            return;
        }
        if (State == Stage::CheckingNew) {
            CheckFailed(nowMs);
            return;
        }
        Finish(RateChangeOutcome::Lost,
               QStringLiteral("the module answers neither at %1 nor at %2 (esp8266at probe "
                              "finds it)")
                   .arg(To)
                   .arg(Outcome.From));
        return;
    case Stage::Reverting:
        Line.SetRate(Outcome.From);
        State = Stage::CheckingOld;
        Tries = 1;
        SendCheck(nowMs, true);
        return;
    case Stage::Probing:
    case Stage::Idle:
    case Stage::Done:
        return;
    }
}

// No AT answer at the new rate: the module may be there all the same (an adapter that cannot
// hold the rate), so it is asked at the new rate to go back, then looked for at the old one.
void RateChange::CheckFailed(std::int64_t nowMs)
{
    const RateCommand back = RateCommandFor(Outcome.Probe.Facts.Version, Outcome.From, Save);
    State = Stage::Reverting;
    DueMs = nowMs + CheckMs;
    if (!back.Command.isEmpty() && !Line.Write("\r\n" + back.Command))
        Fail(QStringLiteral("cannot write to the port"));
}

std::optional<std::int64_t> RateChange::NextDueMs() const
{
    if (State == Stage::Probing) return Probe->NextDueMs();
    if (State == Stage::Idle || State == Stage::Done) return std::nullopt;
    return DueMs;
}

void RateChange::Fail(const QString& error)
{
    if (State == Stage::Done) return;
    if (State == Stage::Probing) {
        Probe->Fail(error);
        Outcome.Probe = Probe->Result();
    }
    Finish(RateChangeOutcome::PortError, error);
}

void RateChange::Finish(RateChangeOutcome outcome, QString message)
{
    Outcome.Outcome = outcome;
    Outcome.Message = std::move(message);
    State = Stage::Done;
}

} // namespace Workbench
