// The session log under load: the whole main window (ticks running) with the log window open,
// a raw pseudo-terminal as COM1 that sends bursts of 4 MiB, and a 1 ms probe timer on the
// window thread whose longest gap is the longest stall. Prints the stall and the resident
// memory before and after each burst.
//   bench_sessionlog [binary|text] [bursts] [open|notap]
// "notap" takes the log off the port, to tell its share of a stall from the main window's.
// During each burst a line is typed into the log's command line (Enter posted as a keystroke
// is queued) and the time until its bytes reach the far end is printed.
//   bench_sessionlog find
// times Ctrl+F's search over 100,000 rows in both views, and copying them all.
#include "app/sessionlog.h"
#include "app/sessionline.h"
#include "skin/suiedit.h"
#include "app/unit1.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QEventLoop>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <ctime>
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

double ThreadCpuMs()
{
    timespec now{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

// Ctrl+F over a full scroll-back: the worst case is a text that no row holds, or only the last.
int FindBench()
{
    constexpr int Rows = 100000;
    TSessionLogForm log(nullptr, {});
    log.resize(760, 480);
    log.show();
    QByteArray lines;
    for (int i = 0; i < Rows; ++i)
        lines += "+IPD,0,40:row " + QByteArray::number(i) + " abcdefghijklmnopqrstuvwxyz\r\n";
    lines.replace(lines.lastIndexOf("abc"), 3, "XYZ");
    log.Feed().Append(Workbench::SessionDirection::Received, lines.constData(),
                      std::size_t(lines.size()));
    while (log.Feed().PendingBytes() > 0)
        log.Drain();
    std::printf("bench_sessionlog find: %d rows in the text view, %zu hex rows\n", log.RowCount(),
                log.Record().HexRowCount());
    double worst = 0;
    auto timed = [&](const char* what, const QString& text, bool expect) {
        log.FindLine->setText(text);
        // The thread's processor time is the figure: the wall time grows with the machine's load.
        QElapsedTimer took;
        took.start();
        const double cpu0 = ThreadCpuMs();
        const bool found = log.FindNext(true);
        const double ms = ThreadCpuMs() - cpu0;
        worst = std::max(worst, ms);
        std::printf("  %-44s %7.1f ms (wall %.1f ms) %s\n", what, ms,
                    double(took.nsecsElapsed()) / 1e6, found == expect ? "" : "(WRONG RESULT)");
        return found == expect;
    };
    bool right = timed("text view: only the last row holds it", QStringLiteral("xyzdef"), true);
    right &= timed("text view: no row holds it", QStringLiteral("no such text"), false);
    log.SetView(TSessionLogForm::HexView);
    right &= timed("hex view: bytes in the last rows (hex pairs)", QStringLiteral("58 59 5A"), true);
    right &= timed("hex view: no row holds them", QStringLiteral("no such text"), false);
    log.SetView(TSessionLogForm::TextView);
    QElapsedTimer took;
    took.start();
    log.SelectAll();
    const qsizetype copied = log.SelectedText(false).size();
    std::printf("  %-44s %7.1f ms (%lld characters; not part of the goal)\n",
                "Ctrl+A and the text Ctrl+C copies", double(took.nsecsElapsed()) / 1e6,
                static_cast<long long>(copied));
    std::printf("longest search %.1f ms (goal < 100) %s\n", worst,
                worst < 100 && right ? "OK" : "MISSED");
    return worst < 100 && right ? 0 : 1;
}

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

    if (argc > 1 && std::string(argv[1]) == "find") return FindBench();
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
    // The far end watches for the typed line and notes when it came.
    const std::string typed = "AT+GMR\r\n";
    std::atomic<std::int64_t> typedArrivedNs{0};
    auto steadyNs = [] {
        return std::chrono::duration_cast<std::chrono::nanoseconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
    };
    std::thread sink([&] {
        char buffer[4096];
        std::string tail;
        while (!done) {
            const ssize_t n = ::read(master, buffer, sizeof buffer);
            if (n <= 0) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
                continue;
            }
            tail.append(buffer, std::size_t(n));
            if (tail.find(typed) != std::string::npos && typedArrivedNs == 0)
                typedArrivedNs = steadyNs();
            if (tail.size() > 64) tail.erase(0, tail.size() - 64);
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
    double worstTyped = 0;
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
        // A line typed a little into the burst: Enter is queued as a keystroke is.
        typedArrivedNs = 0;
        std::int64_t typedAtNs = 0;
        QTimer::singleShot(100, [&] {
            form.SessionLog->CommandLine->setText(QStringLiteral("AT+GMR"));
            typedAtNs = steadyNs();
            QCoreApplication::postEvent(form.SessionLog->CommandLine,
                                        new QKeyEvent(QEvent::KeyPress, Qt::Key_Return,
                                                      Qt::NoModifier));
        });
        const bool whole = RunUntil(
            [&] {
                return (tapped ? record.BytesSeen(Workbench::SessionDirection::Received) >= target
                               : sent == data.size() && form.Port->PendingBytes() == 0) &&
                       typedArrivedNs != 0;
            },
            60000);
        const double typedMs = double(typedArrivedNs - typedAtNs) / 1e6;
        worstTyped = std::max(worstTyped, typedMs);
        const double seconds = double(took.elapsed()) / 1000.0;
        sender.join();
        RunFor(500); // the framing's quiet gap passes and the Receive pane shows the block
        probing = false;
        worst = std::max(worst, longest);
        after.push_back(ResidentKiB());
        std::printf("burst %d: %s in %.2f s, longest stall %.1f ms (log batch %.1f ms, "
                    "Receive pane %.1f ms), typed line on the wire in %.1f ms, resident %ld KiB "
                    "(+%.1f MB)\n",
                    b + 1, whole ? "all bytes in" : "BYTES MISSING", seconds,
                    double(longest) / 1e6, double(handlers.LogNs) / 1e6,
                    double(handlers.PaneNs) / 1e6, typedMs, after.back(),
                    double(after.back() - idle) / 1024.0);
        logWorst = std::max(logWorst, handlers.LogNs);
        if (!whole) return 1;
    }
    done = true;
    sink.join();
    const double growth3 = double(after[2] - idle) / 1024.0;
    const double further = double(after.back() - after[2]) / 1024.0;
    std::printf("longest stall %.1f ms, longest log batch %.1f ms (goal <= 50) %s; typed line on "
                "the wire within %.1f ms (goal <= 100) %s; after 3 bursts +%.1f MB (goal <= 40) %s; "
                "later bursts %+.1f MB\n",
                double(worst) / 1e6, double(logWorst) / 1e6,
                logWorst <= 50'000'000 ? "OK" : "MISSED", worstTyped,
                worstTyped <= 100 ? "OK" : "MISSED", growth3, growth3 <= 40 ? "OK" : "MISSED",
                further);
    ::close(master);
    ::unlink(alias.c_str());
    return logWorst <= 50'000'000 && growth3 <= 40 && worstTyped <= 100 ? 0 : 1;
}
