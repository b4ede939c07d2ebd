// Figures of the serial link on a pseudo-terminal: idle processor use of an open port, the time
// from a byte leaving the peer to its arrival in the receive buffer, a 4 MiB burst, and the
// start-up scan of all 255 candidate ports.
//   bench_serial idle [seconds] | latency [samples] | burst [MiB] | scan [rounds] | all

#include "serial/bufferedserialport.h"
#include "serial/portinfo.h"

#include "rawpty.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <string>
#include <termios.h>
#include <thread>
#include <time.h>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// One pty whose slave is COM<Port> through an alias in a temporary folder.
struct Peer
{
    int Master = -1;
    unsigned Port = 250;
    std::string Folder;

    Peer()
    {
        char tmpl[] = "/tmp/serial-bench-XXXXXX";
        if (!::mkdtemp(tmpl)) std::exit(2);
        Folder = tmpl;
        ::setenv("ESP8266WIFI_PORTS", Folder.c_str(), 1);
        Master = OpenRawPtyAs(Folder, Port);
    }
    ~Peer()
    {
        ::close(Master);
        std::filesystem::remove_all(Folder);
    }
    void Send(const char* data, std::size_t size) { WriteAll(Master, data, size); }
};

// Stamps the moment each read's bytes reach the buffer.
class StampingPort : public serial::BufferedSerialPort
{
public:
    std::mutex Lock;
    std::condition_variable Arrived;
    Clock::time_point Last;
    std::size_t Count = 0;

protected:
    void OnBytesReceived(const char* data, std::size_t size) override
    {
        serial::BufferedSerialPort::OnBytesReceived(data, size);
        std::lock_guard lock(Lock);
        Last = Clock::now();
        Count += size;
        Arrived.notify_all();
    }
};

double CpuSeconds(clockid_t clock)
{
    timespec t{};
    ::clock_gettime(clock, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

// The whole process and this thread are read from the same nanosecond clock family, so their
// difference (the reader's share) is exact rather than a mix of two resolutions.
double ProcessCpuSeconds()
{
    return CpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
}

double MainThreadCpuSeconds()
{
    return CpuSeconds(CLOCK_THREAD_CPUTIME_ID);
}

int Idle(double seconds)
{
    Peer peer;
    serial::BufferedSerialPort port;
    if (!port.Open(peer.Port, 115200, 0)) return 1;
    const double cpu0 = ProcessCpuSeconds(), main0 = MainThreadCpuSeconds();
    const auto t0 = Clock::now();
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    const double wall = std::chrono::duration<double>(Clock::now() - t0).count();
    // Process time less this thread's own is the reader's.
    const double reader = (ProcessCpuSeconds() - cpu0) - (MainThreadCpuSeconds() - main0);
    const double percent = 100.0 * reader / wall;
    std::printf(
        "idle: reader cpu %.4f s over %.2f s wall = %.4f %% of one core (goal < 0.5 %%) %s\n",
        reader, wall, percent, percent < 0.5 ? "OK" : "MISSED");
    return percent < 0.5 ? 0 : 1;
}

int Latency(int samples)
{
    Peer peer;
    StampingPort port;
    if (!port.Open(peer.Port, 115200, 0)) return 1;
    std::vector<double> us;
    us.reserve(std::size_t(samples));
    for (int i = 0; i < samples; ++i) {
        const char byte = char(i);
        std::unique_lock lock(port.Lock);
        const std::size_t before = port.Count;
        lock.unlock();
        const auto sent = Clock::now();
        peer.Send(&byte, 1);
        lock.lock();
        if (!port.Arrived.wait_for(lock, std::chrono::seconds(1),
                                   [&] { return port.Count > before; })) {
            std::printf("latency: byte %d never arrived\n", i);
            return 1;
        }
        us.push_back(std::chrono::duration<double, std::micro>(port.Last - sent).count());
        lock.unlock();
        port.TakeReceived();
        std::this_thread::sleep_for(std::chrono::microseconds(500)); // a quiet line between bytes
    }
    std::sort(us.begin(), us.end());
    auto at = [&](double q) {
        return us[std::min(us.size() - 1, std::size_t(q * double(us.size())))];
    };
    std::printf(
        "latency: %d bytes, p50 %.1f us, p99 %.1f us, max %.1f us (goal p99 < 1000 us) %s\n",
        samples, at(0.50), at(0.99), us.back(), at(0.99) < 1000 ? "OK" : "MISSED");
    return at(0.99) < 1000 ? 0 : 1;
}

int Burst(std::size_t mib)
{
    Peer peer;
    serial::BufferedSerialPort port;
    if (!port.Open(peer.Port, 115200, 0)) return 1;
    std::string data(mib << 20, '\0');
    for (std::size_t i = 0; i < data.size(); ++i)
        data[i] = char((i * 7 + (i >> 8)) & 0xFF);
    std::string got;
    got.reserve(data.size());
    const auto t0 = Clock::now();
    std::thread sender([&] { peer.Send(data.data(), data.size()); });
    // Take what has come every 10 ms, as the window's tick would.
    const auto deadline = t0 + std::chrono::seconds(30);
    while (got.size() < data.size() && Clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        got += port.TakeReceived();
    }
    const double s = std::chrono::duration<double>(Clock::now() - t0).count();
    sender.join();
    const bool intact = got == data;
    std::printf("burst: %zu MiB received %s in %.3f s = %.1f MiB/s\n", mib,
                intact ? "intact (no byte lost)" : "DAMAGED", s, double(mib) / s);
    return intact ? 0 : 1;
}

} // namespace

// Open descriptors of every process we can see: what one pass over /proc has to look at.
std::size_t SystemDescriptors()
{
    std::size_t count = 0;
    DIR* proc = ::opendir("/proc");
    if (!proc) return 0;
    while (const dirent* e = ::readdir(proc)) {
        DIR* fds = ::opendir((std::string("/proc/") + e->d_name + "/fd").c_str());
        if (!fds) continue;
        while (const dirent* f = ::readdir(fds))
            count += f->d_name[0] != '.';
        ::closedir(fds);
    }
    ::closedir(proc);
    return count;
}

// The window's start-up scan: ScanPorts over COM1..COM255 with one pseudo-terminal among them,
// so the pass over /proc and the trial open both run. Goal: median under 50 ms, the most the
// window thread may be kept busy.
int Scan(int rounds)
{
    Peer peer;
    std::vector<double> wallMs, cpuMs;
    std::size_t listed = 0;
    for (int i = 0; i < rounds; ++i) {
        const double cpu0 = MainThreadCpuSeconds();
        const auto t0 = Clock::now();
        const auto found = serial::ScanPorts();
        wallMs.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
        cpuMs.push_back((MainThreadCpuSeconds() - cpu0) * 1000.0);
        listed = found.size();
    }
    std::sort(wallMs.begin(), wallMs.end());
    std::sort(cpuMs.begin(), cpuMs.end());
    const double median = wallMs[wallMs.size() / 2];
    std::printf("scan: 255 candidates, %zu found, %zu descriptors on the system, %d rounds:\n"
                "      wall median %.2f ms, max %.2f ms; cpu median %.2f ms (goal: wall median "
                "< 50 ms) %s\n",
                listed, SystemDescriptors(), rounds, median, wallMs.back(),
                cpuMs[cpuMs.size() / 2], median < 50.0 ? "OK" : "MISSED");
    return median < 50.0 ? 0 : 1;
}

int main(int argc, char** argv)
{
    const std::string mode = argc > 1 ? argv[1] : "all";
    const char* arg = argc > 2 ? argv[2] : nullptr;
    if (mode == "idle") return Idle(arg ? std::atof(arg) : 10.0);
    if (mode == "latency") return Latency(arg ? std::atoi(arg) : 2000);
    if (mode == "burst") return Burst(arg ? std::size_t(std::atoi(arg)) : 4);
    if (mode == "scan") return Scan(arg ? std::atoi(arg) : 20);
    if (mode == "all") return Idle(10.0) | Latency(2000) | Burst(4) | Scan(20);
    std::fprintf(stderr,
                 "usage: %s idle [seconds] | latency [samples] | burst [MiB] | scan [rounds]"
                 " | all\n",
                 argv[0]);
    return 2;
}
