#pragma once
// esp8266at probe and baud: one task runner per port, all at once in one event loop.
#include "cli/console.h"
#include "cli/options.h"

#include <QCoreApplication>

namespace Cli {

int RunProbe(QCoreApplication& app, Console& console, const Options& options);
int RunBaud(QCoreApplication& app, Console& console, const Options& options);

} // namespace Cli
