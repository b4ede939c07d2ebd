#include "process/terminationsignals.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace Process {
namespace {

constexpr int Handled[] = {SIGINT, SIGTERM, SIGHUP};

// The self-pipe: the handler's only work is one write to it.
int PipeRead = -1;
int PipeWrite = -1;

extern "C" void OnTerminationSignal(int signal)
{
    const int saved = errno;
    const unsigned char number = static_cast<unsigned char>(signal);
    [[maybe_unused]] const ssize_t n = ::write(PipeWrite, &number, 1);
    errno = saved;
}

void SetDisposition(void (*handler)(int))
{
    struct sigaction action
    {
    };
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : Handled)
        ::sigaction(signal, &action, nullptr);
}

} // namespace

TerminationSignals::TerminationSignals(QObject* parent) : QObject(parent)
{
    int fds[2];
    if (::pipe2(fds, O_NONBLOCK | O_CLOEXEC) != 0) return;
    PipeRead = fds[0];
    PipeWrite = fds[1];
    Notifier = new QSocketNotifier(PipeRead, QSocketNotifier::Read, this);
    connect(Notifier, &QSocketNotifier::activated, this, [this] {
        const bool before = First != 0;
        Drain();
        if (!before && First != 0) emit Arrived(First);
    });
    SetDisposition(OnTerminationSignal);
}

TerminationSignals::~TerminationSignals()
{
    if (PipeRead < 0) return;
    SetDisposition(SIG_DFL);
    delete Notifier;
    ::close(PipeRead);
    ::close(PipeWrite);
    PipeRead = PipeWrite = -1;
}

int TerminationSignals::Received()
{
    Drain();
    return First;
}

void TerminationSignals::Drain()
{
    unsigned char numbers[16];
    ssize_t n;
    while ((n = ::read(PipeRead, numbers, sizeof numbers)) > 0) {
        for (ssize_t i = 0; i < n; ++i) {
            if (First == 0) {
                First = numbers[i];
                // The next one of these ends the program the ordinary way: a user who presses
                // Ctrl+C twice, or a supervisor that insists, is not kept waiting.
                SetDisposition(SIG_DFL);
            } else {
                ::raise(numbers[i]);
            }
        }
    }
}

int RunReportingExceptions(const std::function<int()>& body,
                           const std::function<void(const char* what)>& report)
{
    try {
        return body();
    } catch (const std::exception& error) {
        report(error.what());
    } catch (...) {
        report("");
    }
    return 1;
}

} // namespace Process
