// The session log under load: the whole main window (ticks running) with the log window open,
// a raw pseudo-terminal as COM1 that sends bursts of 4 MiB, and a 1 ms probe timer on the
// window thread whose longest gap is the longest stall. Prints the stall and the resident
// memory before and after each burst.
//   bench_sessionlog [binary|text] [bursts] [open|notap]
// "notap" takes the log off the port, to tell its share of a stall from the main window's.
#include "app/sessionlog.h"
#include "app/unit1.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

constexpr std::size_t BurstBytes = std::size_t{4} << 20;

long ResidentKiB()
{
    long pages = 0, resident = 0;
    if (FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
        std::fclose(f);
    }
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

// Runs the event loop until cond holds or limitMs pass.
template <class Cond> bool RunUntil(Cond cond, int limitMs)
{
    QElapsedTimer clock;
    clock.start();
    QEventLoop loop;
    QTimer poll;
    poll.setInterval(10);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (cond() || clock.elapsed() > limitMs) loop.quit();
    });
    poll.start();
    if (!cond()) loop.exec();
    return cond();
}

void RunFor(int ms)
{
    QElapsedTimer clock;
    clock.start();
    RunUntil([&] { return clock.elapsed() >= ms; }, ms + 1000);
}

// The burst: binary bytes as in transparent mode, or text lines as a chatty module sends.
std::string BurstData(bool text, unsigned seed)
{
    std::string data;
    data.reserve(BurstBytes);
    if (!text) {
        data.resize(BurstBytes);
        for (std::size_t i = 0; i < BurstBytes; ++i)
            data[i] = char((i * 7 + seed * 13 + (i >> 8)) & 0xFF);
        return data;
    }
    for (unsigned line = 0; data.size() < BurstBytes; ++line)
        data += "+IPD,0,48:" + std::to_string(seed) + " line " + std::to_string(line) +
                " abcdefghijklmnopqrstuvwxyz\r\n";
    data.resize(BurstBytes);
    return data;
}

// Times the two handlers a burst runs on the window thread: the log's batch and the main
// window's receive handler, which frames and shows the designed Receive pane.
class HandlerTimer : public QObject
{
public:
    HandlerTimer(TForm1& form) : Form(form)
    {
        form.installEventFilter(this);
        form.SessionLog->installEventFilter(this);
    }
    qint64 LogNs = 0, PaneNs = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        QElapsedTimer took;
        if (watched == Form.SessionLog && event->type() >= QEvent::User) {
            took.start();
            Form.SessionLog->Drain();
            LogNs = std::max(LogNs, took.nsecsElapsed());
            return true;
        }
        if (watched == &Form && event->type() == Form.ReceiveMessageId) {
            took.start();
            Form.OnReceiveNotify();
            PaneNs = std::max(PaneNs, took.nsecsElapsed());
            return true;
        }
        return false;
    }

private:
    TForm1& Form;
};

} // namespace

int main(int argc, char** argv)
{
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    const bool text = argc > 1 && std::string(argv[1]) == "text";
    const int bursts = argc > 2 ? std::max(3, std::atoi(argv[2])) : 4;
    if (qEnvironmentVariableIsEmpty("DISPLAY")) qputenv("QT_QPA_PLATFORM", "offscreen");

    QTemporaryDir folder;
    qputenv("ESP8266WIFI_PORTS", folder.path().toLocal8Bit());
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) return 1;
    const std::string alias = (folder.path() + QStringLiteral("/com1")).toStdString();
    if (::symlink(::ptsname(master), alias.c_str()) != 0) return 1;

    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("esp8266wifi-bench"));
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, folder.path());

    const bool tapped = !(argc > 3 && std::string(argv[3]) == "notap");
    TForm1 form;
    form.show();
    form.SessionLog->OpenWindow();
    if (!tapped) form.Port->SetTrafficTap({});
    HandlerTimer handlers(form);
    form.suiButton_OpenPort->click();
    if (!form.Port->IsOpen()) {
        std::fprintf(stderr, "bench_sessionlog: COM1 did not open\n");
        return 1;
    }
    // Whatever the port sends is read and thrown away, so the line never backs up.
    ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
    std::atomic<bool> done{false};
    std::thread sink([&] {
        char buffer[4096];
        while (!done) {
            if (::read(master, buffer, sizeof buffer) <= 0) std::this_thread::sleep_for(
                std::chrono::milliseconds(5));
        }
    });

    // The probe: the longest gap between two 1 ms ticks is the longest the thread was held.
    QElapsedTimer since;
    qint64 longest = 0, last = 0;
    bool probing = false;
    QTimer probe;
    probe.setTimerType(Qt::PreciseTimer);
    probe.setInterval(1);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        const qint64 now = since.nsecsElapsed();
        if (probing) longest = std::max(longest, now - last);
        last = now;
    });
    since.start();
    probe.start();

    RunFor(1000);
    const long idle = ResidentKiB();
    std::printf("bench_sessionlog (%s bursts of 4 MiB, %s, scroll-back %zu lines)\n",
                text ? "text" : "binary", tapped ? "log open" : "log off the port",
                form.SessionLog->Record().MaxLines());
    std::printf("idle: %ld KiB resident\n", idle);

    const auto& record = form.SessionLog->Record();
    std::vector<long> after;
    qint64 worst = 0, logWorst = 0;
    for (int b = 0; b < bursts; ++b) {
        const std::string data = BurstData(text, unsigned(b));
        const std::uint64_t target =
            record.BytesSeen(Workbench::SessionDirection::Received) + data.size();
        longest = 0;
        handlers.LogNs = handlers.PaneNs = 0;
        last = since.nsecsElapsed();
        probing = true;
        QElapsedTimer took;
        took.start();
        std::atomic<std::size_t> sent{0};
        std::thread sender([&] {
            while (sent < data.size()) {
                const ssize_t n = ::write(master, data.data() + sent, data.size() - sent);
                if (n > 0)
                    sent += std::size_t(n);
                else
                    std::this_thread::sleep_for(std::chrono::microseconds(200));
            }
        });
        const bool whole = RunUntil(
            [&] {
                return tapped ? record.BytesSeen(Workbench::SessionDirection::Received) >= target
                              : sent == data.size() && form.Port->PendingBytes() == 0;
            },
            60000);
        const double seconds = double(took.elapsed()) / 1000.0;
        sender.join();
        RunFor(500); // the framing's quiet gap passes and the Receive pane shows the block
        probing = false;
        worst = std::max(worst, longest);
        after.push_back(ResidentKiB());
        std::printf("burst %d: %s in %.2f s, longest stall %.1f ms (log batch %.1f ms, "
                    "Receive pane %.1f ms), resident %ld KiB (+%.1f MB)\n",
                    b + 1, whole ? "all bytes in" : "BYTES MISSING", seconds,
                    double(longest) / 1e6, double(handlers.LogNs) / 1e6,
                    double(handlers.PaneNs) / 1e6, after.back(),
                    double(after.back() - idle) / 1024.0);
        logWorst = std::max(logWorst, handlers.LogNs);
        if (!whole) return 1;
    }
    done = true;
    sink.join();
    const double growth3 = double(after[2] - idle) / 1024.0;
    const double further = double(after.back() - after[2]) / 1024.0;
    std::printf("longest stall %.1f ms, longest log batch %.1f ms (goal <= 50) %s; after 3 bursts "
                "+%.1f MB (goal <= 40) %s; later bursts %+.1f MB\n",
                double(worst) / 1e6, double(logWorst) / 1e6,
                logWorst <= 50'000'000 ? "OK" : "MISSED", growth3, growth3 <= 40 ? "OK" : "MISSED",
                further);
    ::close(master);
    ::unlink(alias.c_str());
    return logWorst <= 50'000'000 && growth3 <= 40 ? 0 : 1;
}
