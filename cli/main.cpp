// esp8266at: the ESP8266 configurator's serial link and AT command workbench on the command
// line, for scripts and job runners, on one port or on many at once.
#include "cli/console.h"
#include "cli/options.h"
#include "cli/portjob.h"
#include "cli/portlist.h"
#include "cli/probecommand.h"
#include "process/terminationsignals.h"
#include "serial/portinfo.h"
#include "serial/serialbackend.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <unistd.h>

using namespace Cli;

namespace {

int UsageError(Console& console, const QString& message, Subcommand in)
{
    console.Err(QStringLiteral("esp8266at: ") + message);
    const QString help = in == Subcommand::None
                             ? QStringLiteral("esp8266at --help")
                             : QStringLiteral("esp8266at %1 --help").arg(SubcommandName(in));
    console.Err(QStringLiteral("Try '%1' for more information.").arg(help));
    return ExitUsage;
}

QJsonValue TextOrNull(const std::string& text)
{
    return text.empty() ? QJsonValue(QJsonValue::Null) : QJsonValue(QString::fromStdString(text));
}

QByteArray PortsJson(const serial::PortCandidate& c)
{
    QJsonObject o;
    o[QStringLiteral("port")] = TextOrNull(c.Name);
    o[QStringLiteral("device")] = QString::fromStdString(c.Device);
    o[QStringLiteral("resolved")] = TextOrNull(c.Resolved);
    o[QStringLiteral("usb_product")] = TextOrNull(c.Usb.Product);
    o[QStringLiteral("usb_manufacturer")] = TextOrNull(c.Usb.Manufacturer);
    o[QStringLiteral("usb_id")] = TextOrNull(c.Usb.VendorProduct());
    o[QStringLiteral("usb_serial")] = TextOrNull(c.Usb.SerialNumber);
    o[QStringLiteral("openable")] = c.Openable;
    o[QStringLiteral("problem")] =
        c.Openable ? QJsonValue(QJsonValue::Null)
                   : QJsonValue(QString::fromLatin1(serial::PortProblemKeyword(c.Problem)));
    o[QStringLiteral("reason")] = TextOrNull(c.Openable ? std::string() : c.Reason);
    QJsonArray holders;
    for (const serial::PortHolder& h : c.Holders)
        holders.append(QJsonObject{{QStringLiteral("pid"), qint64(h.Pid)},
                                   {QStringLiteral("program"), TextOrNull(h.Program)}});
    o[QStringLiteral("holders")] = holders;
    QJsonArray servers;
    for (const serial::PortHolder& h : c.FarEnd)
        servers.append(QJsonObject{{QStringLiteral("pid"), qint64(h.Pid)},
                                   {QStringLiteral("program"), TextOrNull(h.Program)}});
    o[QStringLiteral("served_by")] = servers;
    return QJsonDocument(o).toJson(QJsonDocument::Compact) + '\n';
}

// The USB adapter in a few words: "CP2102 (Silicon Labs, 10c4:ea60, serial 0001)".
QString UsbText(const serial::UsbDetails& usb)
{
    if (!usb.Known()) return {};
    QStringList details;
    if (!usb.Manufacturer.empty()) details.append(QString::fromStdString(usb.Manufacturer));
    if (usb.HasIds) details.append(QString::fromStdString(usb.VendorProduct()));
    if (!usb.SerialNumber.empty())
        details.append(QStringLiteral("serial ") + QString::fromStdString(usb.SerialNumber));
    QString text = QString::fromStdString(usb.Product);
    if (!details.isEmpty())
        text += (text.isEmpty() ? QStringLiteral("(%1)") : QStringLiteral(" (%1)"))
                    .arg(details.join(QStringLiteral(", ")));
    return text;
}

int ListPorts(Console& console, bool json)
{
    const std::vector<serial::PortCandidate> candidates = serial::ScanPorts();
    if (candidates.empty() && !json) console.Err(QStringLiteral("esp8266at: no serial ports"));
    qsizetype nameWidth = 0, deviceWidth = 0;
    for (const serial::PortCandidate& c : candidates) {
        nameWidth = std::max(nameWidth, qsizetype(c.Name.size()));
        deviceWidth = std::max(deviceWidth, qsizetype(c.Device.size()));
    }
    for (const serial::PortCandidate& c : candidates) {
        if (json) {
            console.Out(PortsJson(c));
            continue;
        }
        QString usb = UsbText(c.Usb);
        if (const std::string farEnd = serial::FarEndText(c); !farEnd.empty())
            usb +=
                (usb.isEmpty() ? QString() : QStringLiteral("  ")) + QString::fromStdString(farEnd);
        const QString line =
            QStringLiteral("%1  %2  %3%4\n")
                .arg(QString::fromStdString(c.Name), -int(nameWidth))
                .arg(QString::fromStdString(c.Device), -int(deviceWidth))
                .arg(c.Openable ? QStringLiteral("available") : QString::fromStdString(c.Reason),
                     usb.isEmpty() ? QString() : QStringLiteral("  ") + usb);
        console.Out(line.toUtf8());
    }
    return ExitOk;
}

// Runs the steps on every port at once in one event loop; each port has its own reader
// thread, so a slow module holds up nobody but itself.
int RunOnPorts(QCoreApplication& app, Console& console, const Options& options,
               Process::TerminationSignals& terminations)
{
    // One look at who holds what serves the resolution of the names and every open.
    std::optional<serial::HolderSnapshot> batch(std::in_place);
    const Targets targets = ResolveTargets(options.Ports);
    if (!targets.Error.isEmpty()) {
        if (targets.ExitStatus == ExitUsage)
            return UsageError(console, targets.Error, options.Subcommand);
        console.Err(QStringLiteral("esp8266at: ") + targets.Error);
        return targets.ExitStatus;
    }
    const bool several = targets.Ports.size() > 1;
    std::vector<std::unique_ptr<PortJob>> jobs;
    int finished = 0;
    for (const PortTarget& target : targets.Ports) {
        const int row = int(jobs.size());
        auto job = std::make_unique<PortJob>(target, options.Baud, options.Parity, options.Steps);
        PortJob* raw = job.get();
        const QString name = target.Name;
        QObject::connect(raw, &PortJob::ProgressChanged, [&console, raw, row, name] {
            console.SetProgress(row, name + QStringLiteral(": ") + raw->ProgressText());
        });
        if (!options.Json)
            QObject::connect(raw, &PortJob::LineDone, [&console, raw, several, name](int i) {
                const LineResult& line = raw->Outcome().Lines[i];
                QByteArray text = AnswerText(line.Answer);
                // Only the end of a very long answer is kept; the start says what is missing.
                if (line.NotKept > 0)
                    text = QByteArray::number(qulonglong(line.NotKept)) + " bytes not kept\n" + text;
                if (several)
                    text = PrefixedLines(text, name.toUtf8() + ": ");
                else if (!text.isEmpty() && !text.endsWith('\n'))
                    text += '\n'; // the next output starts on a line of its own
                console.Out(text);
            });
        QObject::connect(raw, &PortJob::Finished, [&, raw] {
            if (options.Json) console.Out(OutcomeJson(raw->Outcome()) + '\n');
            if (++finished == int(jobs.size())) app.quit();
        });
        jobs.push_back(std::move(job));
    }
    CoverTargets(*batch, targets);
    QObject::connect(&terminations, &Process::TerminationSignals::Arrived, &app,
                     &QCoreApplication::quit);
    for (const auto& job : jobs)
        if (!terminations.Received()) job->Start();
    batch.reset();
    if (finished < int(jobs.size()) && !terminations.Received()) app.exec();
    console.EndProgress();
    if (const int signal = terminations.Received()) {
        // Each unfinished job closes its port as it goes: exclusive flag cleared, lock removed.
        jobs.clear();
        console.Err(QStringLiteral("esp8266at: ended by SIG%1")
                        .arg(QString::fromLatin1(sigabbrev_np(signal))));
        return Process::TerminationSignals::ExitStatusFor(signal);
    }

    int status = ExitOk;
    int succeeded = 0;
    for (const auto& job : jobs) {
        const PortOutcome& outcome = job->Outcome();
        // When ports differ, the most serious status wins: 3 over 2 over 1 over 0.
        status = std::max(status, outcome.ExitStatus);
        if (outcome.ExitStatus == ExitOk) {
            ++succeeded;
            if (several) console.Err(QStringLiteral("esp8266at: %1: ok").arg(outcome.Target.Name));
            continue;
        }
        QString where = outcome.Target.Name;
        if (QString::fromStdString(outcome.Target.Device) != outcome.Target.Name)
            where += QStringLiteral(" (%1)").arg(QString::fromStdString(outcome.Target.Device));
        console.Err(QStringLiteral("esp8266at: %1: %2").arg(where, outcome.Error));
    }
    if (several)
        console.Err(QStringLiteral("esp8266at: %1 of %2 ports succeeded")
                        .arg(succeeded)
                        .arg(jobs.size()));
    return status;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    Process::TerminationSignals terminations;
    Console console(stdout, stderr, ::isatty(STDERR_FILENO) == 1);
    const ParseResult parsed = ParseArguments(app.arguments().mid(1));
    if (!parsed.Options) return UsageError(console, parsed.Error, parsed.ErrorIn);
    const Options& options = *parsed.Options;
    // Module bytes could drive the user's terminal; a pipe or a file gets them as received.
    console.SetEscapeOutput(::isatty(STDOUT_FILENO) == 1 && !options.Raw);
    switch (options.Subcommand) {
    case Subcommand::Help:
        console.Out(HelpText(options.HelpFor).toUtf8());
        return ExitOk;
    case Subcommand::Version:
        console.Out(QByteArrayLiteral("esp8266at " ESP_VERSION "\n"));
        return ExitOk;
    case Subcommand::Ports:
        return ListPorts(console, options.Json);
    case Subcommand::Command:
        if (options.ListCatalogue) {
            console.Out(CatalogueListing().toUtf8());
            return ExitOk;
        }
        return RunOnPorts(app, console, options, terminations);
    case Subcommand::Send:
    case Subcommand::Connect:
        return RunOnPorts(app, console, options, terminations);
    case Subcommand::Probe:
        return RunProbe(app, console, options, terminations);
    case Subcommand::Baud:
        return RunBaud(app, console, options, terminations);
    case Subcommand::None:
        break;
    }
    return UsageError(console, QStringLiteral("a subcommand is needed"), Subcommand::None);
}
