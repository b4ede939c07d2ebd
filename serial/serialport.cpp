#include "serial/serialport.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <system_error>

namespace serial {

using namespace serial;
using Clock = std::chrono::steady_clock;

SerialPort::SerialPort() : SerialPort(CreateSerialBackend()) {}

SerialPort::SerialPort(std::unique_ptr<SerialBackend> backend) : Backend(std::move(backend)) {}

SerialPort::~SerialPort()
{
    Close();
}

bool SerialPort::ProbePort(unsigned n)
{
    return ProbeDevice(DeviceName(n));
}

bool SerialPort::ProbeDevice(const std::string& device)
{
    return !device.empty() && CreateSerialBackend()->Probe(device);
}

bool SerialPort::IsOpen() const
{
    return DeviceHeld.load() && !DeviceLost.load();
}

bool SerialPort::Open(unsigned n, int baud, int parity)
{
    const std::string device = DeviceName(n);
    if (device.empty()) {
        Close();
        PortNumber = n;
        DevicePath.clear();
        BaudRate = baud;
        Parity = parity;
        Backend->RecordError(ENOENT, "no device stands for COM" + std::to_string(n));
        return false;
    }
    const bool opened = OpenDevice(device, baud, parity);
    PortNumber = n;
    return opened;
}

bool SerialPort::OpenDevice(const std::string& device, int baud, int parity)
{
    Close();
    PortNumber = 0;
    DevicePath = device;
    BaudRate = baud;
    Parity = parity;
    RateFoundAtOpen = 0;
    if (!Backend->OpenDevice(device)) return false;
    RateFoundAtOpen = Backend->RateFoundAtOpen();
    DeviceLost = false;
    DeviceHeld = true;
    Backend->Purge();
    // A refused setting leaves the device held with no reader; Close or the next Open frees it.
    if (!Backend->ApplyPortSettings(baud, parity)) return false;
    StartReader();
    return true;
}

bool SerialPort::Reconfigure(int baud, int parity)
{
    if (!IsOpen()) {
        Backend->RecordError(0, "port is not open");
        return false;
    }
    // The members describe the line in force, so a refused setting leaves them as they were.
    if (!Backend->ApplyLineSettings(baud, parity)) return false;
    BaudRate = baud;
    Parity = parity;
    return true;
}

bool SerialPort::OpenOrReconfigure(unsigned n, int baud, int parity)
{
    if (IsOpen() && n == PortNumber) return Reconfigure(baud, parity);
    return Open(n, baud, parity);
}

bool SerialPort::Close()
{
    if (!DeviceHeld.load()) return true;
    StopReader();
    {
        // A write on another thread finishes (or gives up) before the device goes away.
        std::lock_guard lock(WriteLock);
        Backend->CloseDevice();
        DeviceHeld = false;
    }
    DeviceLost = false;
    return true;
}

bool SerialPort::Write(const char* data, unsigned length)
{
    std::lock_guard lock(WriteLock);
    if (!IsOpen()) {
        Backend->RecordError(0, "port is not open");
        return false;
    }
    // Enough for the line to send every byte at its speed (11 bits a byte with parity), plus
    // the stall allowance: a slow line is not cut short, a dead one cannot hold the caller.
    const long long lineMs = 11LL * 1000 * length / std::max(BaudRate, 1);
    const auto deadline = Clock::now() + std::chrono::milliseconds(WriteStallMs + lineMs);
    unsigned offset = 0;
    unsigned tapped = 0; // bytes already shown to the tap: a chunk written in part is not repeated
    do {
        if (DeviceLost.load()) return false;
        const unsigned count = std::min(length - offset, WriteChunk);
        if (offset + count > tapped) {
            Tap(true, data + tapped, offset + count - tapped);
            tapped = offset + count;
        }
        // Rounded up, so the last wait reaches the deadline instead of spinning short of it.
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
        const int waitMs = int(std::clamp<long long>(left.count(), 0, 1000));
        const IoResult r = Backend->Write(data + offset, count, waitMs);
        offset += unsigned(std::min<std::size_t>(r.Count, count));
        if (r.Status == IoStatus::HungUp) {
            MarkLost();
            return false;
        }
        if (r.Status == IoStatus::Failed) return false;
        if (offset < length && Clock::now() >= deadline) {
            Backend->RecordError(0, "write timed out: the device takes no more bytes");
            return false;
        }
    } while (offset < length);
    return true;
}

serial::SerialError SerialPort::LastError() const
{
    return Backend->LastError();
}

void SerialPort::OnBytesReceived(const char* data, std::size_t size)
{
    for (std::size_t i = 0; i < size; ++i)
        OnByteReceived(data[i]);
}

bool SerialPort::StartReader()
{
    if (!IsOpen() || !Backend->PrepareReader()) return false;
    StopFlag = false;
    ReaderExit = 0;
    try {
        ReaderThread = std::thread([this] { ReaderExit = ReaderLoop(); });
    } catch (const std::system_error& e) {
        Backend->RecordError(e.code().value(), e.what());
        Backend->ReleaseReader();
        return false;
    }
    return true;
}

bool SerialPort::StopReader()
{
    StopFlag = true;
    OnStopRequested();
    Backend->RequestStop();
    // The stop signal wakes the reader at once, so no pause is needed before joining.
    if (ReaderThread.joinable() && ReaderThread.get_id() == std::this_thread::get_id()) {
        // Closed from its own hook: the loop sees the stop flag as soon as the hook returns.
        ReaderThread.detach();
        Backend->ReleaseReader();
        return true;
    }
    if (ReaderThread.joinable()) ReaderThread.join();
    Backend->ReleaseReader();
    StopFlag = false;
    return true;
}

int SerialPort::ReaderLoop()
{
    if (!IsOpen()) return -1;
    // The queues were purged by Open just before; purging again here would race with the
    // first bytes of an answer and lose them.
    char buffer[ReadChunk];
    for (;;) {
        switch (Backend->WaitForInput()) {
        case WaitResult::Stopped:
            return 5;
        case WaitResult::HungUp:
            MarkLost();
            return 6;
        case WaitResult::Failed:
            MarkLost();
            return 4;
        case WaitResult::Readable:
            break;
        }
        const IoResult r = Backend->Read(buffer, sizeof buffer);
        if (r.Count > 0) {
            Tap(false, buffer, r.Count);
            OnBytesReceived(buffer, r.Count);
        }
        if (StopFlag.load()) return 5;
        if (r.Status == IoStatus::HungUp) {
            MarkLost();
            return 6;
        }
        if (r.Status == IoStatus::Failed) {
            MarkLost();
            return 4;
        }
    }
}

void SerialPort::SetTrafficTap(TrafficTap tap)
{
    std::lock_guard lock(TapLock);
    TrafficTapFn = std::move(tap);
}

void SerialPort::Tap(bool sent, const char* data, std::size_t size)
{
    std::lock_guard lock(TapLock);
    if (TrafficTapFn) TrafficTapFn(sent, data, size);
}

void SerialPort::MarkLost()
{
    if (!DeviceLost.exchange(true)) OnDeviceLost();
}

} // namespace serial
