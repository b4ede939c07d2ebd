#pragma once
// Finding out what is on a serial line: the rate at which a module answers AT, whether it
// echoes, and its facts through read-only queries only. A state machine without I/O: it
// writes and changes the rate through a ProbeLine, is fed what the line receives and is told
// the time; its owner wakes it at NextDueMs(). Every wait ends on an event (an answer, the
// line going quiet) or on a short silence, so a wrong rate costs little.
#include "workbench/linetask.h"
#include "workbench/modulefacts.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <cstdint>
#include <optional>

namespace Workbench {

// The rates tried after the port's own: modules ship at 115200 or 9600, some at 57600; 74880
// is the boot ROM's, then the rest of the usual ones.
const QList<int>& DefaultProbeRates();
// `first` in its order (each rate once, non-positive ones dropped), then the defaults.
QList<int> ProbeRates(const QList<int>& first);

enum class ProbeVerdict {
    Module,     // a module answered AT with OK
    NoModule,   // nothing answered at any rate
    NotAModule, // something sent bytes, but never an AT answer at any rate
    PortError,  // the port failed (could not be opened, was lost)
};

// "module", "no module", "not a module", "port error".
QString ProbeVerdictName(ProbeVerdict verdict);

// One read-only query and its answer as received.
struct ProbeQuery
{
    QByteArray Command; // without line end
    QByteArray Answer;
    QString Final; // "OK", "ERROR" ...; empty without a final answer
    bool Ok = false;
};

struct ProbeResult
{
    ProbeVerdict Verdict = ProbeVerdict::NoModule;
    int Baud = 0; // the rate the module answered at; 0 without a module
    bool Echo = false;
    QList<int> RatesTried;  // in order; a second round when the first heard only noise
    QList<int> RatesHeard;  // rates at which bytes came that were no AT answer
    QByteArray Heard;       // the first bytes such a rate brought, for "not a module"
    ModuleFacts Facts;
    QList<ProbeQuery> Queries;
    QString Error; // for PortError, and for a rate the port could not be set to
};

// How long each wait may last.
struct ProbeTiming
{
    int SilentRateMs = 100;  // nothing at all after AT: nothing talks at this rate
    int QuietMs = 30;        // the line quiet this long after the last byte: the answer is over
    int RateCapMs = 400;     // a rate ends after this even while noise keeps coming
    int QueryTimeoutMs = 2000;
    int BusyWaitMs = 16'000; // "busy p...": the command in progress gets this long to finish
};

class ModuleProbe final : public LineTask
{
public:
    // rates: tried in turn (see ProbeRates). restoreRate: the port's rate before the probe,
    // set again when no module answers (0: leave it). queries: false stops at the rate and
    // the firmware version (what a rate change needs).
    ModuleProbe(ProbeLine& line, QList<int> rates, int restoreRate = 0, bool queries = true,
                ProbeTiming timing = {});

    void Start(std::int64_t nowMs) override;
    void Feed(QByteArrayView bytes, std::int64_t nowMs) override;
    void Advance(std::int64_t nowMs) override;
    std::optional<std::int64_t> NextDueMs() const override;
    // The port failed: the probe ends with PortError.
    void Fail(const QString& error) override;
    bool Done() const override { return State == Stage::Done; }
    const ProbeResult& Result() const { return Outcome; }
    // The rate now being tried (or found); 0 before the start.
    int CurrentRate() const;
    // What the probe does now, in a few words, for progress displays.
    QString ProgressText() const override;

    // The queries sent once a module answers, in order; each only reads.
    static const QList<QByteArray>& Queries();

private:
    enum class Stage { Idle, Trying, Busy, Settling, Querying, Done };

    void TryRate(std::int64_t nowMs);
    void NextRate(std::int64_t nowMs);
    void SendAt(std::int64_t nowMs, bool flush);
    void TakeLines(std::int64_t nowMs);
    void Found(std::int64_t nowMs);
    void StartQuery(std::int64_t nowMs);
    void EndQuery(std::int64_t nowMs);
    void Finish(ProbeVerdict verdict);

    ProbeLine& Line;
    QList<int> Rates;
    int RestoreRate;
    bool WithQueries;
    ProbeTiming Timing;
    ProbeResult Outcome;
    Stage State = Stage::Idle;

    // The rate being tried.
    int RateIndex = -1;
    std::int64_t RateStartMs = 0;
    std::int64_t AtSentMs = 0;
    std::int64_t LastByteMs = -1;
    QByteArray RateBytes; // everything received at this rate
    qsizetype LineStart = 0;
    bool Noise = false;   // bytes that are no AT answer
    bool Legible = false; // ERROR or busy: a module that did not say OK yet
    bool Retried = false;
    bool EchoSeen = false;
    bool SecondRound = false;
    std::int64_t BusyStartMs = 0;
    std::int64_t SettleStartMs = 0;

    // The queries.
    int QueryIndex = -1;
    std::int64_t QueryDeadlineMs = 0;
    QList<QByteArray> QueryList;
    LineQuery Query;
};

} // namespace Workbench

namespace Workbench {

// The result in one line for people: "module at 74880 baud, echo on, AT 1.2.0.0, ...",
// "no module (nothing answers at 115200, 9600 ...)", "not a module (...)".
QString ProbeSummary(const ProbeResult& result);

} // namespace Workbench
