#pragma once
// One port's run: open it, send each step once the module has given its final answer to the
// one before, and stop at the first failure. Driven by the event loop: the port's reader
// thread posts one event while bytes wait to be taken, and the port's exchange engine keeps
// the steps' time-outs and the quiet line around "+++".
#include "cli/options.h"
#include "serial/bufferedserialport.h"
#include "workbench/exchange.h"

#include <atomic>

#include <QObject>
#include <QTimer>

#include <string>

namespace Cli {

// A port as the user named it and the device it stands for.
struct PortTarget
{
    QString Name;        // "COM3", or the device path as given
    unsigned Number = 0; // n of COMn; 0 for a device path
    std::string Device;  // the device node opened
};

// What one step sent and what came back.
struct LineResult
{
    QString Step;      // the step's name, empty for plain lines
    QByteArray Sent;   // the bytes written
    QByteArray Answer; // the bytes received for it, as received (the last 1 MiB of them)
    std::uint64_t NotKept = 0; // bytes of the answer received but not kept
    QString Final;     // the final result line ("OK", "FAIL" ...); empty when there was none
    bool Ok = false;
    bool TimedOut = false;
};

struct PortOutcome
{
    PortTarget Target;
    int ExitStatus = ExitOk;
    QString Error; // what went wrong, for people; empty on success
    QList<LineResult> Lines;
};

// The serial port of a run: tells its owner of a read at once, so nothing polls, with one
// event at a time however fast bytes come, so the owner's timers are never starved.
class NotifyingPort : public serial::BufferedSerialPort
{
public:
    // The owner is about to take what was received: the next read posts again.
    void NoteTaking() { Posted.store(false); }

protected:
    void OnBytesReceived(const char* data, std::size_t size) override;

private:
    std::atomic<bool> Posted{false};
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
    enum class Stage { Idle, Answer, GuardBefore, GuardAfter, WaitForAddress, Linger, Done };

    void StartStep(int index);
    void SendStepCommand();
    void OnAnswer(const Workbench::ExchangeAnswer& answer);
    void OnEscapeWritten(bool written);
    void OnPortLost();
    void OnAddressDeadline();
    void OnReceived(const QByteArray& bytes);
    void NoteLastLine(const QByteArray& bytes);
    void CompleteStep();
    void FailStep(int exitStatus, const QString& what);
    QString LostText() const;
    void EndLine(int exitStatus, QString error);
    void FinishLingering();
    void Finish(int exitStatus, QString error);
    std::int64_t NowMs() const { return Workbench::SteadyMs(); }

    PortOutcome Result;
    int Baud;
    int Parity;
    QList<Step> Steps;
    NotifyingPort Port;
    Workbench::ExchangeDriver Exchange;
    QTimer GuardTimer;   // the quiet second after "+++"
    QTimer AddressTimer; // the rest of the join's time, for "WIFI GOT IP" after OK
    QTimer LingerTimer;
    Stage State = Stage::Idle;
    int Current = -1;
    int BusyRetries = 0;      // of the current step
    bool BootRetried = false; // the first step was sent again after the module's start
    std::int64_t StepWrittenMs = 0;
    QByteArray AddressCarry; // the end of what came while waiting for "WIFI GOT IP"
    QByteArrayView ChunkBeingRead;
    std::int64_t LingerStartMs = 0;
    qsizetype TailBytes = 0; // kept of the tail so far
    int PendingExit = ExitOk;
    QString PendingError;
    QString LastLine; // the last line received, for the progress display
};

// A short description of a step for messages: its name and the command without its
// parameters, which may hold a password ("join (AT+CWJAP)").
QString StepLabel(const Step& step);

} // namespace Cli
