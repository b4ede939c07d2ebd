#pragma once

// The private seam between the shared port logic and one operating system's serial calls.
// Exactly one back end is compiled in; CMake chooses serial/posix or serial/win32.

#include "serial/portaccess.h"
#include "serial/portnames.h"

#include <cstddef>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace serial {

// An operating-system failure, captured where it happened.
struct SerialError
{
    int Code = 0;
    std::string Message;
};

enum class WaitResult { Readable, Stopped, HungUp, Failed };
enum class IoStatus { Done, TimedOut, HungUp, Failed };

// Outcome of one read or write: bytes moved so far, and why the call returned.
struct IoResult
{
    IoStatus Status = IoStatus::Done;
    std::size_t Count = 0;
};

class SerialBackend
{
public:
    virtual ~SerialBackend() = default;

    // Whether the device could be opened exclusively now; leaves it exactly as it was found.
    virtual bool Probe(const std::string& device) = 0;
    // Opens the device exclusively; on success it stays held until CloseDevice.
    virtual bool OpenDevice(const std::string& device) = 0;
    virtual void CloseDevice() = 0;
    // Discards both driver queues.
    virtual void Purge() = 0;
    // Everything a fresh open sets up: framing, no flow control, modem lines off, queues.
    virtual bool ApplyPortSettings(int baud, int parity) = 0;
    // Only speed and parity, in place: no purge, nothing else touched.
    virtual bool ApplyLineSettings(int baud, int parity) = 0;
    // The rate in bit/s the device was set to when OpenDevice took it, before any setting of
    // ours (the rate another program, or an earlier probe, left it at); 0 when unknown.
    virtual int RateFoundAtOpen() const { return 0; }

    // Creates the stop signal the reader waits on beside the device.
    virtual bool PrepareReader() = 0;
    // Wakes WaitForInput with Stopped; callable from any thread.
    virtual void RequestStop() = 0;
    // Releases the stop signal; only after the reader has returned.
    virtual void ReleaseReader() = 0;
    // Blocks until input is queued, the stop signal is raised or the device hangs up.
    virtual WaitResult WaitForInput() = 0;
    // Reads what is queued, at most size bytes.
    virtual IoResult Read(char* buffer, std::size_t size) = 0;
    // Hands size bytes (possibly 0) to the driver, waiting at most timeoutMs for queue space.
    virtual IoResult Write(const char* data, std::size_t size, int timeoutMs) = 0;

    SerialError LastError() const
    {
        std::lock_guard lock(ErrorLock);
        return Error;
    }
    void RecordError(int code, std::string message)
    {
        std::lock_guard lock(ErrorLock);
        Error = {code, std::move(message)};
    }

private:
    mutable std::mutex ErrorLock;
    SerialError Error;
};

// The back end of the platform this build is for.
std::unique_ptr<SerialBackend> CreateSerialBackend();

// While one lives, the looks at who holds what that checks and opens on any thread make are
// kept and reused, so a batch of ports costs one look at the system's processes rather than
// one per port. Only the outermost of nested ones keeps anything.
class HolderSnapshot
{
public:
    HolderSnapshot();
    ~HolderSnapshot();
    HolderSnapshot(const HolderSnapshot&) = delete;
    HolderSnapshot& operator=(const HolderSnapshot&) = delete;
    // Looks once at whichever of these devices no earlier look covered.
    void Cover(const std::vector<std::string>& devices);

private:
    void* Own = nullptr; // the back end's record, when this one keeps it
};

// Checks each device as a probe would: does it exist, can it be opened now, and if not why.
// One look at who holds what serves the whole list; every device is left as it was found.
std::vector<DeviceAccess> CheckDevices(const std::vector<std::string>& devices);

} // namespace serial
