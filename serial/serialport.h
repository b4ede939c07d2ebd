#pragma once

#include "serial/serialbackend.h"

#include <atomic>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace serial {

// One serial device: exclusive open with fixed framing (8 data bits, 1 stop bit, chosen parity,
// no flow control, DTR and RTS off), in-place speed changes, locked 1024-byte chunked writes and
// a reader thread that hands every received byte to OnByteReceived.
class SerialPort
{
public:
    static constexpr unsigned WriteChunk = 1024;
    static constexpr std::size_t ReadChunk = 1024;
    // A write that makes no headway gives up after this, plus the time the line needs to send it.
    static constexpr int WriteStallMs = 2000;

    SerialPort();
    // Runs on the given back end instead of this platform's own (tests record through a fake).
    explicit SerialPort(std::unique_ptr<serial::SerialBackend> backend);
    SerialPort(const SerialPort&) = delete;
    SerialPort& operator=(const SerialPort&) = delete;
    virtual ~SerialPort();

    // Whether port n can be opened right now (the open is exclusive, so a held port fails).
    static bool ProbePort(unsigned n);
    // The same for a device named by its path (or, on Windows, its COM name).
    static bool ProbeDevice(const std::string& device);
    // True while the device is held and has not hung up.
    bool IsOpen() const;
    // Closes whatever is open, then opens port n; false with the device still held when a
    // setting is refused (no reader runs then).
    bool Open(unsigned n, int baud, int parity);
    // The same for a device named by its path, whether or not a COMn stands for it; PortNumber
    // is 0 then.
    bool OpenDevice(const std::string& device, int baud, int parity);
    // Changes speed and parity of the open port in place; the reader keeps running.
    bool Reconfigure(int baud, int parity);
    // Reconfigure when n is the open port, otherwise Open.
    bool OpenOrReconfigure(unsigned n, int baud, int parity);
    // Ends the reader thread, then releases the device; always true.
    bool Close();
    // Writes all bytes under WriteLock in chunks of at most 1024; false when the port is not
    // open, hangs up, or stops taking bytes for WriteStallMs.
    bool Write(const char* data, unsigned length);
    // Called on the reader thread once per received byte, in arrival order.
    virtual void OnByteReceived(char byte) = 0;

    // Sees every chunk the port receives (sent = false, on the reader thread, before the
    // receive hook) and every chunk it hands to the driver (sent = true, on the writer's
    // thread, just before the bytes go), in the order they met the line.
    using TrafficTap = std::function<void(bool sent, const char* data, std::size_t size)>;
    // Installs or (with an empty tap) removes the tap; once this returns no call of the old
    // tap is running. Safe while the port is open.
    void SetTrafficTap(TrafficTap tap);

    // The last failure, with the operating system's code and message.
    serial::SerialError LastError() const;
    // Exit code of the last reader thread: -1 not open, 4 wait or read failed, 5 stopped,
    // 6 device hung up; 0 while running or before any.
    int ReaderExitCode() const { return ReaderExit.load(); }

    unsigned PortNumber = 1;
    std::string DevicePath; // the device the last open asked for
    int BaudRate = 9600;
    int Parity = 0; // 0 none, 1 odd, 2 even
    // The rate the device was set to when the last open took it, before ours; 0 when unknown.
    int RateFoundAtOpen = 0;

protected:
    // One read's worth of bytes; the default hands them to OnByteReceived one by one.
    virtual void OnBytesReceived(const char* data, std::size_t size);
    // Runs on the closing thread right after the stop request, so a reader blocked in a
    // subclass wait can notice StopRequested().
    virtual void OnStopRequested() {}
    // Runs once when the device is found hung up or failing, on whichever thread found it
    // (usually the reader, as it ends); a deliberate Close never raises it.
    virtual void OnDeviceLost() {}
    bool StopRequested() const { return StopFlag.load(); }

private:
    bool StartReader();
    bool StopReader();
    int ReaderLoop();
    void MarkLost();
    void Tap(bool sent, const char* data, std::size_t size);

    std::unique_ptr<serial::SerialBackend> Backend;
    std::mutex TapLock; // held while the tap runs, so removing it waits for a running call
    TrafficTap TrafficTapFn;
    std::thread ReaderThread;
    std::mutex WriteLock;
    std::atomic<bool> DeviceHeld{false};
    std::atomic<bool> DeviceLost{false};
    std::atomic<bool> StopFlag{false};
    std::atomic<int> ReaderExit{0};
};

} // namespace serial
