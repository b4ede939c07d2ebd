#pragma once
// esp8266at probe and baud: one task runner per port, all at once in one event loop.
#include "cli/console.h"
#include "cli/options.h"
#include "process/terminationsignals.h"

#include <QCoreApplication>

namespace Cli {

// A termination signal ends every port's task (each port closed as it goes) with 128 + the
// signal's number.
int RunProbe(QCoreApplication& app, Console& console, const Options& options,
             Process::TerminationSignals& terminations);
int RunBaud(QCoreApplication& app, Console& console, const Options& options,
            Process::TerminationSignals& terminations);

} // namespace Cli
