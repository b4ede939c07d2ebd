#include "workbench/moduleprobe.h"

#include <algorithm>

namespace Workbench {
namespace {

// The line end first: a half-typed line in the module's input ends there instead of
// swallowing our AT, as a terminal user presses Enter before typing.
const QByteArray FlushAndAt = QByteArrayLiteral("\r\nAT\r\n");
const QByteArray At = QByteArrayLiteral("AT\r\n");

QByteArrayView WithoutLineEnd(QByteArrayView line)
{
    while (!line.isEmpty() && (line.back() == '\r' || line.back() == '\n'))
        line.chop(1);
    while (!line.isEmpty() && line.front() == '\r')
        line = line.sliced(1);
    return line;
}

bool Printable(char c)
{
    const auto u = static_cast<unsigned char>(c);
    return (u >= 0x20 && u < 0x7F) || c == '\r' || c == '\n';
}

} // namespace

const QList<int>& DefaultProbeRates()
{
    static const QList<int> rates{115200, 9600, 57600, 74880, 38400,
                                  19200,  230400, 460800, 921600};
    return rates;
}

QList<int> ProbeRates(const QList<int>& first)
{
    QList<int> rates;
    for (const QList<int>* list : {&first, &DefaultProbeRates()})
        for (int rate : *list)
            if (rate > 0 && !rates.contains(rate)) rates.append(rate);
    return rates;
}

QString ProbeVerdictName(ProbeVerdict verdict)
{
    switch (verdict) {
    case ProbeVerdict::Module:
        return QStringLiteral("module");
    case ProbeVerdict::NoModule:
        return QStringLiteral("no module");
    case ProbeVerdict::NotAModule:
        return QStringLiteral("not a module");
    case ProbeVerdict::PortError:
        return QStringLiteral("port error");
    }
    return {};
}

const QList<QByteArray>& ModuleProbe::Queries()
{
    static const QList<QByteArray> queries{"AT+GMR", "AT+CWMODE?", "AT+CWJAP?", "AT+CIPSTAMAC?",
                                           "AT+CIFSR"};
    return queries;
}

ModuleProbe::ModuleProbe(ProbeLine& line, QList<int> rates, int restoreRate, bool queries,
                         ProbeTiming timing)
    : Line(line), Rates(std::move(rates)), RestoreRate(restoreRate), WithQueries(queries),
      Timing(timing), Query(line)
{
    QueryList = WithQueries ? Queries() : QList<QByteArray>{Queries().first()};
}

void ModuleProbe::Start(std::int64_t nowMs)
{
    Outcome = ProbeResult();
    RateIndex = -1;
    NextRate(nowMs);
}

int ModuleProbe::CurrentRate() const
{
    return RateIndex >= 0 && RateIndex < Rates.size() ? Rates[RateIndex] : 0;
}

QString ModuleProbe::ProgressText() const
{
    switch (State) {
    case Stage::Idle:
        return QStringLiteral("waiting");
    case Stage::Trying:
        return QStringLiteral("AT at %1").arg(CurrentRate());
    case Stage::Busy:
        return QStringLiteral("busy at %1: waiting for the module").arg(CurrentRate());
    case Stage::Settling:
        return QStringLiteral("module at %1").arg(CurrentRate());
    case Stage::Querying:
        return QString::fromLatin1(QueryList.value(QueryIndex));
    case Stage::Done:
        return ProbeVerdictName(Outcome.Verdict);
    }
    return {};
}

void ModuleProbe::NextRate(std::int64_t nowMs)
{
    // Something spoke but never said OK: a module that was booting when the port opened (its
    // ROM's report first, "ready" later, input meanwhile lost) answers on a second round.
    if (RateIndex + 1 >= Rates.size() && !SecondRound && !Outcome.RatesHeard.isEmpty()) {
        SecondRound = true;
        RateIndex = -1;
    }
    while (++RateIndex < Rates.size()) {
        const int rate = Rates[RateIndex];
        Outcome.RatesTried.append(rate);
        if (Line.SetRate(rate)) {
            TryRate(nowMs);
            return;
        }
        if (Outcome.Error.isEmpty())
            Outcome.Error = QStringLiteral("the port cannot be set to %1").arg(rate);
    }
    // Nothing said OK at any rate: the port goes back to the rate it had.
    if (RestoreRate > 0) Line.SetRate(RestoreRate);
    Finish(Outcome.RatesHeard.isEmpty() ? ProbeVerdict::NoModule : ProbeVerdict::NotAModule);
}

void ModuleProbe::TryRate(std::int64_t nowMs)
{
    State = Stage::Trying;
    RateStartMs = nowMs;
    RateBytes.clear();
    LineStart = 0;
    Noise = Legible = Retried = EchoSeen = false;
    SendAt(nowMs, true);
}

void ModuleProbe::SendAt(std::int64_t nowMs, bool flush)
{
    AtSentMs = nowMs;
    LastByteMs = -1;
    if (!Line.Write(flush ? FlushAndAt : At)) Fail(QStringLiteral("cannot write to the port"));
}

void ModuleProbe::Feed(QByteArrayView bytes, std::int64_t nowMs)
{
    if (bytes.isEmpty()) return;
    switch (State) {
    case Stage::Trying:
    case Stage::Busy:
    case Stage::Settling:
        RateBytes.append(bytes);
        LastByteMs = nowMs;
        if (State != Stage::Settling) TakeLines(nowMs);
        return;
    case Stage::Querying:
        if (Query.Feed(bytes, nowMs)) EndQuery(nowMs);
        return;
    case Stage::Idle:
    case Stage::Done:
        return;
    }
}

void ModuleProbe::TakeLines(std::int64_t nowMs)
{
    for (qsizetype end = RateBytes.indexOf('\n', LineStart); end >= 0;
         end = RateBytes.indexOf('\n', LineStart)) {
        if (State == Stage::Done) return;
        const QByteArrayView raw = QByteArrayView(RateBytes).sliced(LineStart, end - LineStart);
        LineStart = end + 1;
        const QByteArrayView line = WithoutLineEnd(raw);
        if (!std::all_of(raw.begin(), raw.end(), Printable)) Noise = true;
        if (line.isEmpty()) continue;
        if (line == QByteArrayView("AT")) {
            EchoSeen = true;
            continue;
        }
        const FinalResult result = FinalResultOfLine(line);
        if (line.startsWith("busy ")) {
            // The module works on an earlier command and did not take our AT.
            Legible = true;
            State = Stage::Busy;
            BusyStartMs = nowMs;
            continue;
        }
        if (State == Stage::Busy) {
            if (result != FinalResult::None && result != FinalResult::Ready) {
                // The earlier command is answered; now the module listens.
                State = Stage::Trying;
                Retried = true;
                SendAt(nowMs, false);
            }
            continue;
        }
        if (result == FinalResult::Ok) {
            Found(nowMs);
            return;
        }
        if (result != FinalResult::None)
            Legible = true; // ERROR (a flushed half line), ready (it just started) ...
        else
            Noise = true;
    }
    // A partial line of garbage counts as well: a line end may never come.
    const QByteArrayView rest = QByteArrayView(RateBytes).sliced(LineStart);
    if (!std::all_of(rest.begin(), rest.end(), Printable)) Noise = true;
}

void ModuleProbe::Found(std::int64_t nowMs)
{
    Outcome.Verdict = ProbeVerdict::Module;
    Outcome.Baud = CurrentRate();
    Outcome.Echo = EchoSeen;
    Outcome.Error.clear();
    // The tail of the answer is gathered before the first query goes out.
    State = Stage::Settling;
    SettleStartMs = nowMs;
    LastByteMs = nowMs;
}

void ModuleProbe::Advance(std::int64_t nowMs)
{
    const auto due = NextDueMs();
    if (!due || nowMs < *due) return;
    switch (State) {
    case Stage::Trying:
    case Stage::Busy:
        // ERROR or "ready" but no OK yet: one more AT at this rate, then the next rate.
        if (State == Stage::Trying && Legible && !Retried) {
            Retried = true;
            SendAt(nowMs, false);
            return;
        }
        if (Noise || Legible) {
            Outcome.RatesHeard.append(CurrentRate());
            if (Outcome.Heard.isEmpty()) Outcome.Heard = RateBytes.left(64);
        }
        NextRate(nowMs);
        return;
    case Stage::Settling:
        StartQuery(nowMs);
        return;
    case Stage::Querying:
        EndQuery(nowMs);
        return;
    case Stage::Idle:
    case Stage::Done:
        return;
    }
}

std::optional<std::int64_t> ModuleProbe::NextDueMs() const
{
    switch (State) {
    case Stage::Trying: {
        const std::int64_t answered =
            LastByteMs < 0 ? AtSentMs + Timing.SilentRateMs : LastByteMs + Timing.QuietMs;
        return std::min(answered, AtSentMs + Timing.RateCapMs);
    }
    case Stage::Busy:
        return BusyStartMs + Timing.BusyWaitMs;
    case Stage::Settling:
        return std::min(LastByteMs + Timing.QuietMs, SettleStartMs + Timing.RateCapMs);
    case Stage::Querying:
        return QueryDeadlineMs;
    case Stage::Idle:
    case Stage::Done:
        return std::nullopt;
    }
    return std::nullopt;
}

void ModuleProbe::StartQuery(std::int64_t nowMs)
{
    if (++QueryIndex >= QueryList.size()) {
        Finish(ProbeVerdict::Module);
        return;
    }
    const QByteArray& command = QueryList[QueryIndex];
    State = Stage::Querying;
    QueryDeadlineMs = nowMs + Timing.QueryTimeoutMs;
    if (!Query.Send(command + "\r\n", nowMs)) Fail(QStringLiteral("cannot write to the port"));
}

void ModuleProbe::EndQuery(std::int64_t nowMs)
{
    ProbeQuery query;
    query.Command = QueryList[QueryIndex];
    query.Answer = Query.Answer().Bytes;
    query.Final = FinalResultText(Query.Answer().Final);
    query.Ok = Query.Answer().Succeeded();
    Outcome.Queries.append(query);
    ModuleFacts& facts = Outcome.Facts;
    if (query.Ok) {
        if (query.Command == "AT+GMR") facts.Version = ParseVersion(query.Answer);
        if (query.Command == "AT+CWMODE?") facts.WifiMode = ParseWifiMode(query.Answer);
        if (query.Command == "AT+CIPSTAMAC?") facts.StationMac = ParseStationMac(query.Answer);
        if (query.Command == "AT+CIFSR") {
            facts.Addresses = ParseAddresses(query.Answer);
            if (facts.StationMac.isEmpty()) facts.StationMac = facts.Addresses.StationMac;
        }
    }
    if (query.Command == "AT+CWJAP?")
        facts.AccessPoint = ParseJoinedAccessPoint(query.Answer, query.Ok);
    StartQuery(nowMs);
}

void ModuleProbe::Fail(const QString& error)
{
    if (State == Stage::Done) return;
    Outcome.Error = error;
    Finish(ProbeVerdict::PortError);
}

void ModuleProbe::Finish(ProbeVerdict verdict)
{
    Outcome.Verdict = verdict;
    State = Stage::Done;
}

} // namespace Workbench

namespace Workbench {

QString ProbeSummary(const ProbeResult& r)
{
    QStringList rates;
    for (int rate : r.RatesTried)
        rates.append(QString::number(rate));
    switch (r.Verdict) {
    case ProbeVerdict::NoModule:
        return QStringLiteral("no module (nothing answers at %1)").arg(rates.join(QStringLiteral(", ")));
    case ProbeVerdict::NotAModule:
        return QStringLiteral("not a module (something sends bytes, but never an AT answer, at "
                              "%1)")
            .arg(rates.join(QStringLiteral(", ")));
    case ProbeVerdict::PortError:
        return QStringLiteral("port error: %1").arg(r.Error);
    case ProbeVerdict::Module:
        break;
    }
    const ModuleFacts& f = r.Facts;
    QStringList parts{QStringLiteral("module at %1 baud").arg(r.Baud),
                      r.Echo ? QStringLiteral("echo on") : QStringLiteral("echo off")};
    if (!f.Version.At.isEmpty()) parts.append(QStringLiteral("AT %1").arg(f.Version.At));
    if (!f.Version.Sdk.isEmpty()) parts.append(QStringLiteral("SDK %1").arg(f.Version.Sdk));
    if (!f.Version.BuildDate.isEmpty())
        parts.append(QStringLiteral("built %1").arg(f.Version.BuildDate));
    if (f.WifiMode) parts.append(WifiModeName(f.WifiMode));
    if (f.AccessPoint.Answered)
        parts.append(f.AccessPoint.Joined ? QStringLiteral("joined \"%1\"").arg(f.AccessPoint.Ssid)
                                           : QStringLiteral("not joined"));
    if (!f.StationMac.isEmpty()) parts.append(QStringLiteral("MAC %1").arg(f.StationMac));
    if (!f.Addresses.StationIp.isEmpty())
        parts.append(QStringLiteral("address %1").arg(f.Addresses.StationIp));
    return parts.join(QStringLiteral(", "));
}

} // namespace Workbench
