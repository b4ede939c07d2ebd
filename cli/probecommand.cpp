#include "cli/probecommand.h"

#include "cli/portlist.h"
#include "cli/probereport.h"
#include "serial/serialbackend.h"
#include "workbench/linetaskrunner.h"

#include <QJsonDocument>

#include <cstring>
#include <filesystem>
#include <optional>
#include <memory>
#include <vector>

namespace Cli {
namespace {

using Workbench::LineTask;
using Workbench::LineTaskRunner;
using Workbench::ProbeLine;

// The USB facts of each target, from one scan of the ports (and a look of its own for a
// device the scan does not name).
serial::UsbDetails UsbOf(const PortTarget& target,
                         const std::vector<serial::PortCandidate>& scanned)
{
    std::error_code ec;
    for (const serial::PortCandidate& c : scanned)
        if (c.Device == target.Device ||
            (!c.Device.empty() && std::filesystem::equivalent(c.Device, target.Device, ec)))
            return c.Usb;
    return serial::InspectDevice(target.Device).Usb;
}

// The rates to try on a port: those given, then the rate the device was set to.
QList<int> RatesFor(const Options& options, int foundRate)
{
    QList<int> first = options.probeRates;
    if (foundRate > 0) first.append(foundRate);
    return Workbench::ProbeRates(first);
}

int OpenRate(const Options& options)
{
    return options.probeRates.isEmpty() ? Workbench::DefaultProbeRates().first()
                                        : options.probeRates.first();
}

struct Job
{
    PortTarget Target;
    std::unique_ptr<LineTaskRunner> Runner;
};

// Resolves the targets and runs one task per port until every one has ended; 0, or the usage
// or port error status when the targets cannot be resolved, or a signal's status.
int RunAll(QCoreApplication& app, Console& console, const Options& options,
           Process::TerminationSignals& terminations, const LineTaskRunner::TaskFactory& factory,
           const std::function<void(const Job&)>& onFinished, std::vector<Job>& jobs)
{
    // One look at who holds what serves the resolution of the names and every open.
    std::optional<serial::HolderSnapshot> batch(std::in_place);
    const Targets targets = ResolveTargets(options.Ports);
    if (!targets.Error.isEmpty()) {
        console.Err(QStringLiteral("esp8266at: ") + targets.Error);
        return targets.ExitStatus;
    }
    int finished = 0;
    for (const PortTarget& target : targets.Ports)
        jobs.push_back({target, std::make_unique<LineTaskRunner>(target.Number, target.Device)});
    for (std::size_t i = 0; i < jobs.size(); ++i) {
        Job& job = jobs[i];
        LineTaskRunner* runner = job.Runner.get();
        QObject::connect(runner, &LineTaskRunner::ProgressChanged, [&console, runner, i, &job] {
            if (LineTask* task = runner->CurrentTask())
                console.SetProgress(int(i), job.Target.Name + QStringLiteral(": ") +
                                                task->ProgressText());
        });
        QObject::connect(runner, &LineTaskRunner::Finished, [&, i] {
            onFinished(jobs[i]);
            if (++finished == int(jobs.size())) app.quit();
        });
    }
    CoverTargets(*batch, targets);
    QObject::connect(&terminations, &Process::TerminationSignals::Arrived, &app,
                     &QCoreApplication::quit);
    // Every port starts before the loop runs: all are probed at once.
    for (Job& job : jobs)
        if (!terminations.Received()) job.Runner->Start(OpenRate(options), factory);
    batch.reset();
    if (finished < int(jobs.size()) && !terminations.Received()) app.exec();
    console.EndProgress();
    if (const int signal = terminations.Received()) {
        // Each unfinished task's port closes as its runner goes.
        for (Job& job : jobs)
            job.Runner->Cancel();
        console.Err(QStringLiteral("esp8266at: ended by SIG%1")
                        .arg(QString::fromLatin1(sigabbrev_np(signal))));
        return Process::TerminationSignals::ExitStatusFor(signal);
    }
    return ExitOk;
}

QString Where(const PortTarget& target)
{
    QString where = target.Name;
    if (QString::fromStdString(target.Device) != target.Name)
        where += QStringLiteral(" (%1)").arg(QString::fromStdString(target.Device));
    return where;
}

} // namespace

int RunProbe(QCoreApplication& app, Console& console, const Options& options,
             Process::TerminationSignals& terminations)
{
    const std::vector<serial::PortCandidate> scanned = serial::ScanPorts();
    QList<ProbeReport> reports;
    std::vector<Job> jobs;
    const auto factory = [&options](ProbeLine& line, int foundRate) -> std::unique_ptr<LineTask> {
        return std::make_unique<Workbench::ModuleProbe>(line, RatesFor(options, foundRate),
                                                        foundRate);
    };
    const auto finished = [&](const Job& job) {
        ProbeReport report;
        report.Target = job.Target;
        report.Usb = UsbOf(job.Target, scanned);
        if (auto* probe = dynamic_cast<Workbench::ModuleProbe*>(job.Runner->CurrentTask())) {
            report.Result = probe->Result();
        } else {
            report.Result.Verdict = Workbench::ProbeVerdict::PortError;
            report.Result.Error =
                QStringLiteral("cannot open: %1")
                    .arg(OpenFailureReason(job.Target.Device, {0, job.Runner->OpenError().toStdString()}));
        }
        // JSON Lines go out as each port ends; the table waits for all.
        if (options.Json)
            console.Out(QJsonDocument(ProbeJson(report)).toJson(QJsonDocument::Compact) + '\n');
        reports.append(report);
    };
    const int status = RunAll(app, console, options, terminations, factory, finished, jobs);
    if (status != ExitOk) return status == ExitUsage ? ExitUsage : status;
    // The table lists the ports in the order they were named.
    QList<ProbeReport> ordered;
    for (const Job& job : jobs)
        for (const ProbeReport& r : reports)
            if (r.Target.Device == job.Target.Device) ordered.append(r);
    if (!options.Json) console.Out(ProbeTable(ordered));
    int worst = ExitOk;
    for (const ProbeReport& r : ordered)
        if (r.Result.Verdict == Workbench::ProbeVerdict::PortError) {
            worst = ExitPortError;
            console.Err(QStringLiteral("esp8266at: %1: %2").arg(Where(r.Target), r.Result.Error));
        }
    return worst;
}

int RunBaud(QCoreApplication& app, Console& console, const Options& options,
            Process::TerminationSignals& terminations)
{
    std::vector<Job> jobs;
    int worst = ExitOk;
    const auto factory = [&options](ProbeLine& line, int foundRate) -> std::unique_ptr<LineTask> {
        return std::make_unique<Workbench::RateChange>(line, RatesFor(options, foundRate),
                                                       foundRate, options.toBaud, options.save);
    };
    const auto finished = [&](const Job& job) {
        Workbench::RateChangeResult result;
        if (auto* change = dynamic_cast<Workbench::RateChange*>(job.Runner->CurrentTask())) {
            result = change->Result();
        } else {
            result.Outcome = Workbench::RateChangeOutcome::PortError;
            result.To = options.toBaud;
            result.Message =
                QStringLiteral("cannot open: %1")
                    .arg(OpenFailureReason(job.Target.Device, {0, job.Runner->OpenError().toStdString()}));
        }
        const int status = RateChangeExitStatus(result.Outcome);
        worst = std::max(worst, status);
        if (options.Json)
            console.Out(QJsonDocument(RateChangeJson(job.Target, result))
                            .toJson(QJsonDocument::Compact) +
                        '\n');
        else if (status == ExitOk)
            console.Out(QStringLiteral("%1: %2\n").arg(job.Target.Name, result.Message).toUtf8());
        if (status != ExitOk)
            console.Err(QStringLiteral("esp8266at: %1: %2").arg(Where(job.Target), result.Message));
        else if (!options.save && result.Command.Stored &&
                 result.Outcome == Workbench::RateChangeOutcome::Changed)
            console.Err(QStringLiteral("esp8266at: %1: this firmware has only %2, which keeps "
                                       "the rate over a restart")
                            .arg(job.Target.Name, result.Command.Name));
    };
    const int status = RunAll(app, console, options, terminations, factory, finished, jobs);
    if (status != ExitOk) return status;
    return worst;
}

} // namespace Cli
