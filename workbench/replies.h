#pragma once
// The final result lines that end the module's answer to a command: OK, ERROR, FAIL, SEND OK,
// SEND FAIL, ALREADY CONNECTED, the ">" prompt for data, or ready once it has restarted. Lines
// such as "WIFI CONNECTED" come before the end and are not final; "busy p..." says the command
// was not taken at all.
#include <QByteArray>
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

// Collects the bytes answering one command, fed in chunks split anywhere, and says when the
// answer is complete. The echo of the command is part of the answer but never its end, and
// after a restart command the module's OK only announces the restart: ready ends it.
class ReplyReader
{
public:
    // `command` is the text sent (its line end may be included); empty when nothing is echoed.
    explicit ReplyReader(const QByteArray& command = {});

    // Takes received bytes; returns true once the answer is complete. Bytes fed after that
    // are kept as the rest, not as answer.
    bool Feed(QByteArrayView chunk);

    bool Complete() const { return Result != FinalResult::None; }
    FinalResult Final() const { return Result; }
    bool RestartCommand() const { return Restart; }
    // Whether the answer ended well (false while incomplete).
    bool Succeeded() const { return Complete() && FinalResultSucceeded(Result, Restart); }
    // The answer as received, up to and including the final line and its line end; while
    // incomplete, everything received so far.
    const QByteArray& Answer() const { return Received; }
    // Bytes received after the final line.
    const QByteArray& Rest() const { return After; }

private:
    void EndLine(qsizetype end);

    QByteArray Echo;
    bool Restart = false;
    bool EchoPending = false;
    QByteArray Received;
    QByteArray After;
    qsizetype LineStart = 0;
    FinalResult Result = FinalResult::None;
};

} // namespace Workbench
