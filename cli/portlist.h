#pragma once
// Which ports there are and which the user means: the candidate ports for `ports` and
// `-p all`, the reason a device cannot be opened, and the resolution of -p arguments.
#include "cli/portjob.h"
#include "serial/serialbackend.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>
#include <string>

namespace Cli {

// Highest COM number looked at, as the window's port scan.
inline constexpr unsigned HighestPort = 255;

// A port that exists, and whether it can be opened now.
struct PortCandidate
{
    QString name; // "COMn"
    unsigned number = 0;
    std::string device;
    bool openable = false;
    QString problem; // a stable keyword for programs ("busy"); empty when openable
    QString reason;  // what a person reads; empty when openable
    QString usbProduct, usbVendorProduct, usbSerial; // empty where unknown
};

// Every COMn from 1 to HighestPort whose device exists, probed now.
QList<PortCandidate> ListPortCandidates();

// Why `device` could not be opened, from the failure the open recorded.
QString OpenFailureReason(const std::string& device, const serial::SerialError& error);

// The ports named by -p (COMn in any case, a device path, or "all"), each device once.
// Without names: the one port that can be opened. Errors carry the exit status to use.
struct Targets
{
    QList<PortTarget> ports;
    QString error;
    int exitStatus = 0;
};
Targets ResolveTargets(const QStringList& names);

} // namespace Cli
