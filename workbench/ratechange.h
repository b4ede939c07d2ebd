#pragma once
// Moving a module to another line rate: find it (the probe's rate search and AT+GMR), send the
// firmware's own rate command at the old rate, follow at the new rate and check that AT
// answers there; when it does not, ask the module to go back and check the old rate.
#include "workbench/linetask.h"
#include "workbench/moduleprobe.h"

#include <memory>

namespace Workbench {

enum class RateChangeOutcome {
    Pending,
    Changed,       // the module answers at the new rate
    AlreadyThere,  // it answered at the new rate before anything was sent
    Refused,       // the firmware or the port does not take the rate, or the module said ERROR
    WentBack,      // no answer at the new rate; the module answers at the old one again
    Lost,          // no answer at either rate
    NotFound,      // the probe found no module
    PortError,
};

struct RateChangeResult
{
    RateChangeOutcome Outcome = RateChangeOutcome::Pending;
    int From = 0; // the rate the module was found at
    int To = 0;
    RateCommand Command;
    ProbeResult Probe;
    QString Message; // for people: what happened
};

class RateChange final : public LineTask
{
public:
    // rates: where to look for the module (see ProbeRates); restoreRate as for the probe.
    RateChange(ProbeLine& line, QList<int> rates, int restoreRate, int to, bool save,
               ProbeTiming timing = {});

    void Start(std::int64_t nowMs) override;
    void Feed(QByteArrayView bytes, std::int64_t nowMs) override;
    void Advance(std::int64_t nowMs) override;
    std::optional<std::int64_t> NextDueMs() const override;
    void Fail(const QString& error) override;
    bool Done() const override { return State == Stage::Done; }
    QString ProgressText() const override;

    const RateChangeResult& Result() const { return Outcome; }

    // How long the module gets to switch after its OK, and to answer AT at a rate.
    static constexpr int SwitchMs = 20;
    static constexpr int CheckMs = 300;
    static constexpr int CheckTries = 3;

private:
    enum class Stage { Idle, Probing, Commanding, Switching, CheckingNew, Reverting, CheckingOld,
                       Done };

    void AfterProbe(std::int64_t nowMs);
    void SendCheck(std::int64_t nowMs, bool flush);
    void CheckFailed(std::int64_t nowMs);
    void Finish(RateChangeOutcome outcome, QString message);

    ProbeLine& Line;
    int To;
    bool Save;
    ProbeTiming Timing;
    std::unique_ptr<ModuleProbe> Probe;
    RateChangeResult Outcome;
    Stage State = Stage::Idle;
    LineQuery Query;           // the rate command and its answer
    QByteArray CheckBytes;     // what came since the last AT of a check
    int Tries = 0;
    std::int64_t DueMs = 0;
};

} // namespace Workbench
