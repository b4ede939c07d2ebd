#pragma once

#include "serial/serialbackend.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

namespace serial {

// A COM port through kernel32: exclusive overlapped handle, one DCB for the line, a stop event
// beside a character-arrival wait for the reader, and one OVERLAPPED record per direction.
class Win32SerialBackend final : public SerialBackend
{
public:
    Win32SerialBackend();
    ~Win32SerialBackend() override;

    bool Probe(const std::string& device) override;
    bool OpenDevice(const std::string& device) override;
    void CloseDevice() override;
    void Purge() override;
    bool ApplyPortSettings(int baud, int parity) override;
    bool ApplyLineSettings(int baud, int parity) override;
    bool PrepareReader() override;
    void RequestStop() override;
    void ReleaseReader() override;
    WaitResult WaitForInput() override;
    IoResult Read(char* buffer, std::size_t size) override;
    IoResult Write(const char* data, std::size_t size, int timeoutMs) override;

    // The exclusive overlapped open both the port and the device check use.
    static HANDLE OpenHandle(const std::string& device);

private:
    static bool Valid(HANDLE h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    bool SetLine(int baud, int parity);
    bool Fail(const char* what); // records GetLastError() with its message; returns false
    // Ends an overlapped call still in flight, so its record can be used again.
    void Finish(OVERLAPPED& record);
    // Records the failure and tells a vanished device from another failure.
    IoStatus FailIo(const char* what);
    WaitResult FailWait(const char* what);
    static bool LostDevice(DWORD error);
    // Whether a failed character wait is worth arming again. A driver that cannot watch the
    // modem lines (a pseudo-terminal under Wine, some virtual COM drivers) refuses the whole
    // mask, so the wait goes on for characters alone; an aborted wait is armed again.
    bool RearmWait(DWORD error);

    OVERLAPPED WriteOverlapped{};
    OVERLAPPED ReadOverlapped{};
    OVERLAPPED WaitOverlapped{};
    HANDLE StopEvent = nullptr;
    HANDLE PortHandle = nullptr;
    DWORD WaitMask = 0;
    // Waits in a row that ended with nothing queued; a driver that keeps ending them (a line
    // whose far end has gone, under some emulations) is waited on with a growing pause.
    unsigned EmptyWakes = 0;
};

} // namespace serial
