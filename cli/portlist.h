#pragma once
// Which ports the user means: the resolution of -p arguments, and the reason an open failed,
// both from the serial link's port information.
#include "cli/portjob.h"
#include "serial/serialbackend.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <string>

namespace Cli {

// Why `device` could not be opened: what an inspection of it finds now (who holds it, which
// group may open it ...), else the failure the open recorded (a refused line setting).
QString OpenFailureReason(const std::string& device, const serial::SerialError& error);

// The ports named by -p (a port as serial::ParsePortName reads it, or "all" for every port that
// can be opened and has hardware behind it or an alias), each device once. Without names: the
// one such port. Errors carry the
// exit status to use.
struct Targets
{
    QList<PortTarget> Ports;
    QString Error;
    int ExitStatus = 0;
};
Targets ResolveTargets(const QStringList& names);
// Tells the batch's one look at /proc which devices its opens will ask about.
void CoverTargets(serial::HolderSnapshot& batch, const Targets& targets);

} // namespace Cli
