#include "serial/win32/win32serialbackend.h"

#include "serial/win32/win32portname.h"

#include <algorithm>

namespace serial {

std::unique_ptr<SerialBackend> CreateSerialBackend()
{
    return std::make_unique<Win32SerialBackend>();
}

std::string DeviceName(unsigned n)
{
    return Win32DeviceName(n);
}

namespace {

constexpr unsigned EmptyWakesBeforePause = 3;
constexpr DWORD MaxEmptyWakePauseMs = 50;
constexpr DWORD CommEvents = EV_RXCHAR | EV_CTS | EV_RLSD | EV_BREAK; // 0x69
constexpr DWORD PurgeAll = PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR;
constexpr DWORD ReadCompletionMs = 1000;

HANDLE NewEvent(bool signalled)
{
    return CreateEventA(nullptr, TRUE, signalled ? TRUE : FALSE, nullptr);
}

void CloseIfValid(HANDLE& h)
{
    if (h != nullptr && h != INVALID_HANDLE_VALUE) CloseHandle(h);
    h = nullptr;
}

} // namespace

Win32SerialBackend::Win32SerialBackend()
{
    WriteOverlapped.hEvent = NewEvent(false);
    ReadOverlapped.hEvent = NewEvent(false);
    WaitOverlapped.hEvent = NewEvent(false);
}

Win32SerialBackend::~Win32SerialBackend()
{
    ReleaseReader();
    CloseDevice();
    CloseIfValid(WriteOverlapped.hEvent);
    CloseIfValid(ReadOverlapped.hEvent);
    CloseIfValid(WaitOverlapped.hEvent);
}

bool Win32SerialBackend::Fail(const char* what)
{
    const DWORD code = GetLastError();
    char text[512] = {};
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                   text, sizeof text, nullptr);
    RecordError(int(code), std::string(what) + ": " + text);
    return false;
}

IoStatus Win32SerialBackend::FailIo(const char* what)
{
    const DWORD code = GetLastError();
    Fail(what);
    return LostDevice(code) ? IoStatus::HungUp : IoStatus::Failed;
}

WaitResult Win32SerialBackend::FailWait(const char* what)
{
    const DWORD code = GetLastError();
    Fail(what);
    return LostDevice(code) ? WaitResult::HungUp : WaitResult::Failed;
}

bool Win32SerialBackend::LostDevice(DWORD error)
{
    return error == ERROR_ACCESS_DENIED || error == ERROR_BAD_COMMAND ||
           error == ERROR_DEVICE_NOT_CONNECTED || error == ERROR_INVALID_HANDLE ||
           error == ERROR_OPERATION_ABORTED || error == ERROR_GEN_FAILURE;
}

// Share mode 0 makes the open exclusive.
HANDLE Win32SerialBackend::OpenHandle(const std::string& device)
{
    return CreateFileA(device.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OVERLAPPED, nullptr);
}

// Windows names no holders, so there is no look at the system's processes to keep.
HolderSnapshot::HolderSnapshot() = default;
HolderSnapshot::~HolderSnapshot() = default;
void HolderSnapshot::Cover(const std::vector<std::string>&) {}

std::vector<DeviceAccess> CheckDevices(const std::vector<std::string>& devices)
{
    std::vector<DeviceAccess> result;
    for (const std::string& device : devices) {
        DeviceAccess access;
        access.Device = device;
        access.Resolved = device;
        HANDLE h = device.empty() ? INVALID_HANDLE_VALUE : Win32SerialBackend::OpenHandle(device);
        const DWORD code = device.empty() ? DWORD(ERROR_FILE_NOT_FOUND) : GetLastError();
        access.Exists = true;
        if (h != nullptr && h != INVALID_HANDLE_VALUE) {
            CloseHandle(h);
            SetProblem(access, PortProblem::None);
        } else if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND) {
            access.Exists = false;
            access.Resolved.clear();
            SetProblem(access, PortProblem::Gone, int(code));
        } else if (code == ERROR_ACCESS_DENIED || code == ERROR_SHARING_VIOLATION) {
            // Windows answers a port another program has open with "access denied".
            SetProblem(access, PortProblem::Busy, int(code), "another program has it open");
        } else {
            char text[512] = {};
            FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                           code, 0, text, sizeof text, nullptr);
            SetProblem(access, PortProblem::Failed, int(code), text);
        }
        result.push_back(std::move(access));
    }
    return result;
}

bool Win32SerialBackend::Probe(const std::string& device)
{
    HANDLE h = OpenHandle(device);
    if (!Valid(h)) return Fail("CreateFileA");
    CloseHandle(h);
    return true;
}

bool Win32SerialBackend::OpenDevice(const std::string& device)
{
    CloseDevice();
    EmptyWakes = 0;
    PortHandle = OpenHandle(device);
    if (Valid(PortHandle)) return true;
    PortHandle = nullptr;
    return Fail("CreateFileA");
}

void Win32SerialBackend::CloseDevice()
{
    CloseIfValid(PortHandle);
}

void Win32SerialBackend::Purge()
{
    if (Valid(PortHandle)) PurgeComm(PortHandle, PurgeAll);
}

// The one line record that both a fresh open and an in-place change build.
bool Win32SerialBackend::SetLine(int baud, int parity)
{
    DCB dcb;
    ZeroMemory(&dcb, sizeof dcb);
    dcb.DCBlength = sizeof(DCB);
    dcb.BaudRate = DWORD(baud);
    dcb.fBinary = 1;
    dcb.fParity = 1;
    dcb.fOutxCtsFlow = 0;
    dcb.fOutxDsrFlow = 0;
    dcb.fDtrControl = DTR_CONTROL_DISABLE;
    dcb.fDsrSensitivity = 0;
    dcb.fTXContinueOnXoff = 0;
    dcb.fOutX = 0;
    dcb.fInX = 0;
    dcb.fErrorChar = 0;
    dcb.fNull = 0;
    dcb.fRtsControl = RTS_CONTROL_DISABLE;
    dcb.fAbortOnError = 0;
    dcb.XonLim = 2;
    dcb.XoffLim = 4;
    dcb.ByteSize = 8;
    dcb.Parity = BYTE(parity & 0xFF);
    dcb.StopBits = ONESTOPBIT;
    dcb.XonChar = 0x13;
    dcb.XoffChar = 0x19;
    return SetCommState(PortHandle, &dcb) ? true : Fail("SetCommState");
}

bool Win32SerialBackend::ApplyPortSettings(int baud, int parity)
{
    COMMTIMEOUTS timeouts;
    ZeroMemory(&timeouts, sizeof timeouts);
    WaitMask = CommEvents;
    if (!SetCommMask(PortHandle, WaitMask)) return Fail("SetCommMask");
    if (!SetCommTimeouts(PortHandle, &timeouts)) return Fail("SetCommTimeouts");
    if (!SetLine(baud, parity)) return false;
    if (!SetupComm(PortHandle, 1024, 1024)) return Fail("SetupComm");
    return true;
}

bool Win32SerialBackend::ApplyLineSettings(int baud, int parity)
{
    return SetLine(baud, parity);
}

bool Win32SerialBackend::PrepareReader()
{
    ReleaseReader();
    StopEvent = NewEvent(false);
    return Valid(StopEvent) ? true : Fail("CreateEventA");
}

void Win32SerialBackend::RequestStop()
{
    if (Valid(StopEvent)) SetEvent(StopEvent);
}

void Win32SerialBackend::ReleaseReader()
{
    CloseIfValid(StopEvent);
}

void Win32SerialBackend::Finish(OVERLAPPED& record)
{
    DWORD ignored = 0;
    CancelIo(PortHandle);
    GetOverlappedResult(PortHandle, &record, &ignored, TRUE);
}

WaitResult Win32SerialBackend::WaitForInput()
{
    for (;;) {
        if (WaitForSingleObject(StopEvent, 0) == WAIT_OBJECT_0) return WaitResult::Stopped;
        DWORD errors = 0;
        COMSTAT status;
        ZeroMemory(&status, sizeof status);
        if (!ClearCommError(PortHandle, &errors, &status)) {
            return FailWait("ClearCommError");
        }
        if (status.cbInQue > 0) {
            EmptyWakes = 0;
            return WaitResult::Readable;
        }
        if (++EmptyWakes > EmptyWakesBeforePause) {
            // Never spin on a wait that ends at once: pause (still seeing the stop) before the
            // next one. A healthy line rarely gets here; its bytes then wait at most the pause.
            const DWORD pauseMs = std::min<DWORD>(MaxEmptyWakePauseMs,
                                                  5 * (EmptyWakes - EmptyWakesBeforePause));
            if (WaitForSingleObject(StopEvent, pauseMs) == WAIT_OBJECT_0) return WaitResult::Stopped;
        }
        // Sleep until the driver reports a character (or a line event) or the stop arrives.
        DWORD mask = 0;
        ResetEvent(WaitOverlapped.hEvent);
        if (!WaitCommEvent(PortHandle, &mask, &WaitOverlapped)) {
            if (GetLastError() != ERROR_IO_PENDING) {
                if (RearmWait(GetLastError())) continue;
                return FailWait("WaitCommEvent");
            }
            HANDLE handles[2] = {StopEvent, WaitOverlapped.hEvent};
            const DWORD r = WaitForMultipleObjects(2, handles, FALSE, INFINITE);
            if (r != WAIT_OBJECT_0 + 1) {
                Finish(WaitOverlapped);
                if (r == WAIT_OBJECT_0) return WaitResult::Stopped;
                Fail("WaitForMultipleObjects");
                return WaitResult::Failed;
            }
            DWORD ignored = 0;
            if (!GetOverlappedResult(PortHandle, &WaitOverlapped, &ignored, FALSE)) {
                if (RearmWait(GetLastError())) continue;
                return FailWait("WaitCommEvent");
            }
        }
    }
}

bool Win32SerialBackend::RearmWait(DWORD error)
{
    // An ended wait is no verdict on the device: the next ClearCommError fails if it is gone.
    if (error == ERROR_OPERATION_ABORTED) return true;
    if (error != ERROR_NOT_SUPPORTED || WaitMask == EV_RXCHAR) return false;
    WaitMask = EV_RXCHAR;
    return SetCommMask(PortHandle, WaitMask) != FALSE;
}

IoResult Win32SerialBackend::Read(char* buffer, std::size_t size)
{
    DWORD errors = 0;
    COMSTAT status;
    ZeroMemory(&status, sizeof status);
    if (!ClearCommError(PortHandle, &errors, &status)) {
        return {FailIo("ClearCommError"), 0};
    }
    const DWORD wanted = DWORD(std::min<std::size_t>(status.cbInQue, size));
    if (wanted == 0) return {IoStatus::Done, 0};
    DWORD got = 0;
    ResetEvent(ReadOverlapped.hEvent);
    if (ReadFile(PortHandle, buffer, wanted, &got, &ReadOverlapped)) return {IoStatus::Done, got};
    if (GetLastError() != ERROR_IO_PENDING) return {FailIo("ReadFile"), 0};
    if (WaitForSingleObject(ReadOverlapped.hEvent, ReadCompletionMs) == WAIT_TIMEOUT) {
        // The read is cancelled and its completion awaited before the record is reused.
        PurgeComm(PortHandle, PURGE_RXCLEAR);
        CancelIo(PortHandle);
    }
    got = 0;
    GetOverlappedResult(PortHandle, &ReadOverlapped, &got, TRUE);
    return {IoStatus::Done, got};
}

IoResult Win32SerialBackend::Write(const char* data, std::size_t size, int timeoutMs)
{
    DWORD errors = 0;
    ClearCommError(PortHandle, &errors, nullptr);
    DWORD written = 0;
    ResetEvent(WriteOverlapped.hEvent);
    if (WriteFile(PortHandle, data, DWORD(size), &written, &WriteOverlapped))
        return {IoStatus::Done, written};
    if (GetLastError() != ERROR_IO_PENDING) return {FailIo("WriteFile"), 0};
    if (WaitForSingleObject(WriteOverlapped.hEvent, DWORD(std::max(timeoutMs, 0))) ==
        WAIT_TIMEOUT) {
        // The chunk goes again whole: clear what the driver still holds of it.
        PurgeComm(PortHandle, PURGE_TXCLEAR);
        Finish(WriteOverlapped);
        RecordError(WAIT_TIMEOUT, "write completion timed out");
        return {IoStatus::TimedOut, 0};
    }
    written = 0;
    if (!GetOverlappedResult(PortHandle, &WriteOverlapped, &written, FALSE))
        return {FailIo("WriteFile"), written};
    return {IoStatus::Done, written};
}

} // namespace serial
