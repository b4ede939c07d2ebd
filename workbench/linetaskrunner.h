#pragma once
// Runs a LineTask on a serial port, off the caller's thread for everything that waits: the
// port's reader thread posts an event for each read, and one single-shot timer wakes the task
// when it is due. Nothing polls; the caller's thread is never blocked by the dialogue.
#include "serial/bufferedserialport.h"
#include "workbench/linetask.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <functional>
#include <memory>
#include <string>

namespace Workbench {

class LineTaskRunner : public QObject, public ProbeLine
{
    Q_OBJECT
public:
    // Makes the task once the port is open; foundRate is the rate the device was set to
    // before (0 when unknown).
    using TaskFactory = std::function<std::unique_ptr<LineTask>(ProbeLine& line, int foundRate)>;

    // portNumber: n of COMn, or 0 to open `device` by its path.
    LineTaskRunner(unsigned portNumber, std::string device, QObject* parent = nullptr);
    ~LineTaskRunner() override;

    // Opens the port at openRate, makes the task and starts it; Finished comes when it ends
    // (also before this returns, when the port cannot be opened: then OpenError says why).
    void Start(int openRate, TaskFactory factory);
    // Ends the task now (its port closes); Finished is not emitted.
    void Cancel();
    bool Running() const { return Task && !Task->Done(); }
    LineTask* CurrentTask() const { return Task.get(); }
    const QString& OpenError() const { return OpenFailure; }

    bool SetRate(int baud) override;
    bool Write(const QByteArray& bytes) override;

signals:
    void Finished();
    void ProgressChanged();

protected:
    bool event(QEvent* e) override;

private:
    class NotifyingPort : public serial::BufferedSerialPort
    {
    protected:
        void OnBytesReceived(const char* data, std::size_t size) override;
    };

    void Reschedule();
    void AfterStep();
    std::int64_t NowMs() const { return Clock.elapsed(); }

    unsigned PortNumber;
    std::string Device;
    NotifyingPort Port;
    std::unique_ptr<LineTask> Task;
    QElapsedTimer Clock;
    QTimer Wake;
    QString OpenFailure;
    QString LastProgress;
    bool Ended = false;
};

} // namespace Workbench
