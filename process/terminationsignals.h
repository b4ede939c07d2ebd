#pragma once
// How a program of this project ends when it is told to: SIGINT, SIGTERM and SIGHUP become a
// notification on the event loop, so that ports are closed (exclusive flag cleared, lock file
// removed) and transcripts flushed by the code that owns them, never inside a signal handler.

#include <QObject>

#include <exception>
#include <functional>

class QSocketNotifier;

namespace Process {

class TerminationSignals : public QObject
{
    Q_OBJECT
public:
    // Installs the handlers; one object at a time per process. A second signal of the same
    // kind after the first has been delivered ends the program at once, as without us.
    explicit TerminationSignals(QObject* parent = nullptr);
    ~TerminationSignals() override;

    // The first termination signal that arrived (pending ones are taken in first); 0 if none.
    int Received();

    // The status a shell reports for a program ended by the signal: 128 + its number.
    static int ExitStatusFor(int signal) { return 128 + signal; }

signals:
    // Emitted on the thread that created this object, once for the first signal.
    void Arrived(int signal);

private:
    void Drain();

    QSocketNotifier* Notifier = nullptr;
    int First = 0;
};

// Runs body and returns its status; an exception that escapes it is shown through report
// (what() or "" for a non-standard one) and the status is 1, never a success.
int RunReportingExceptions(const std::function<int()>& body,
                           const std::function<void(const char* what)>& report);

} // namespace Process
