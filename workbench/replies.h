#pragma once
// The final result lines that end the module's answer to a command: OK, ERROR, FAIL, SEND OK,
// SEND FAIL, ALREADY CONNECTED, the ">" prompt for data, or ready once it has restarted. Lines
// such as "WIFI CONNECTED" come before the end and are not final; "busy p..." says the command
// was not taken at all.
#include <QByteArrayView>
#include <QString>

namespace Workbench {

enum class FinalResult {
    None,
    Ok,
    Error,
    Fail,
    SendOk,
    SendFail,
    AlreadyConnected,
    Prompt, // ">", the module waits for data
    Ready,  // the module (re)started
    Busy,   // "busy p...": the module did not take the command
};

// The final result a received line stands for (its line end removed); None for any other line.
// ">" and "busy" are recognised by the exchange, not here: they are no whole lines.
FinalResult FinalResultOfLine(QByteArrayView line);

// The line the module sends for a final result ("OK", "SEND FAIL" ...); empty for None.
QString FinalResultText(FinalResult result);

// Whether a final result means the command did what was asked. `ready` succeeds only as the
// end of a restart; after any other command it means the module restarted on its own.
bool FinalResultSucceeded(FinalResult result, bool restartCommand);

// Whether a command makes the module restart (its OK only announces it; ready ends it).
bool IsRestartCommand(QByteArrayView command);

} // namespace Workbench
