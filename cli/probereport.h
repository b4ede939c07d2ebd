#pragma once
// How esp8266at probe and baud print what they found: one aligned table for people, or one
// JSON object per port (the fields are documented in docs/probe-json.md).
#include "cli/portjob.h"
#include "serial/portinfo.h"
#include "workbench/moduleprobe.h"
#include "workbench/ratechange.h"

#include <QByteArray>
#include <QJsonObject>
#include <QList>

namespace Cli {

// One port's probe: where, the adapter behind it, and what answered.
struct ProbeReport
{
    PortTarget Target;
    serial::UsbDetails Usb;
    Workbench::ProbeResult Result;
};

QJsonObject ProbeJson(const ProbeReport& report);
// Every report as one table: a heading line and one line per port, columns aligned.
QByteArray ProbeTable(const QList<ProbeReport>& reports);

QJsonObject RateChangeJson(const PortTarget& target, const Workbench::RateChangeResult& result);
// The exit status a rate change ends with (0 changed or already there, 1 refused or went
// back, 2 not found or lost, 3 port error).
int RateChangeExitStatus(Workbench::RateChangeOutcome outcome);
QString RateChangeOutcomeName(Workbench::RateChangeOutcome outcome);

} // namespace Cli
