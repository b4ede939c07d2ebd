#pragma once
// Knowing when the module has finished answering a command: its answer ends with a final
// result line (OK, ERROR, FAIL, SEND OK, SEND FAIL, or ready once it has restarted). Lines such
// as "WIFI CONNECTED" or "busy p..." come before the end and are not final.
#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace Workbench {

enum class FinalResult { None, Ok, Error, Fail, SendOk, SendFail, Ready };

// The final result a received line stands for (its line end removed); None for any other line.
FinalResult FinalResultOfLine(QByteArrayView line);

// The line the module sends for a final result ("OK", "SEND FAIL" ...); empty for None.
QString FinalResultText(FinalResult result);

// Whether a final result means the command did what was asked. `ready` succeeds only as the
// end of a restart; after any other command it means the module restarted on its own.
bool FinalResultSucceeded(FinalResult result, bool restartCommand);

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
