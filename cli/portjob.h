#pragma once
// One port's run: open it, send each step once the module has given its final answer to the
// one before, and stop at the first failure. Driven by the event loop: the port's reader
// thread posts an event for every read, and the only timers are the time-out of the step and
// the quiet line around "+++".
#include "cli/options.h"
#include "serial/bufferedserialport.h"
#include "workbench/escapeguard.h"
#include "workbench/replies.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <string>

namespace Cli {

// A port as the user named it and the device it stands for.
struct PortTarget
{
    QString name;        // "COM3", or the device path as given
    unsigned number = 0; // n of COMn; 0 for a device path
    std::string device;  // the device node opened
};

// What one step sent and what came back.
struct LineResult
{
    QString step;      // the step's name, empty for plain lines
    QByteArray sent;   // the bytes written
    QByteArray answer; // every byte received for it, as received
    QString final;     // the final result line ("OK", "FAIL" ...); empty when there was none
    bool ok = false;
    bool timedOut = false;
};

struct PortOutcome
{
    PortTarget target;
    int exitStatus = ExitOk;
    QString error; // what went wrong, for people; empty on success
    QList<LineResult> lines;
};

// The serial port of a run: tells its owner of every read at once, so nothing polls.
class NotifyingPort : public BufferedSerialPort
{
protected:
    void OnBytesReceived(const char* data, std::size_t size) override;
};

class PortJob : public QObject
{
    Q_OBJECT
public:
    PortJob(PortTarget target, int baud, int parity, QList<Step> steps,
            QObject* parent = nullptr);
    ~PortJob() override;

    // Opens the port and sends the first step; Finished may come before this returns.
    void Start();
    bool IsDone() const { return State == Stage::Done; }
    const PortOutcome& Outcome() const { return Result; }
    // One line about what the port is doing now, for the progress display.
    QString ProgressText() const;

signals:
    // Line `index` of the outcome is complete (answered, failed or timed out).
    void LineDone(int index);
    void ProgressChanged();
    void Finished();

protected:
    bool event(QEvent* e) override;

private:
    enum class Stage { Idle, Answer, GuardBefore, GuardAfter, Linger, Done };

    void StartStep(int index);
    void WriteStep(const QByteArray& bytes);
    void ArmGuard();
    void OnGuardTimer();
    void OnDeadline();
    void OnReceived(const QByteArray& bytes);
    void CompleteStep();
    void EndLine(int exitStatus, QString error);
    void FinishLingering();
    void Finish(int exitStatus, QString error);
    std::int64_t NowMs() const { return Clock.elapsed(); }

    PortOutcome Result;
    int Baud;
    int Parity;
    QList<Step> Steps;
    NotifyingPort Port;
    Workbench::EscapeGuard Guard;
    Workbench::ReplyReader Reader;
    QElapsedTimer Clock;
    QTimer Deadline;
    QTimer GuardTimer;
    QTimer LingerTimer;
    Stage State = Stage::Idle;
    int Current = -1;
    std::int64_t LingerStartMs = 0;
    int PendingExit = ExitOk;
    QString PendingError;
    QString LastLine; // the last line received, for the progress display
};

// A short description of a step for messages: its name and the command without its
// parameters, which may hold a password ("join (AT+CWJAP)").
QString StepLabel(const Step& step);

} // namespace Cli
