#pragma once

#include "serial/posix/deviceaccess.h"
#include "serial/serialbackend.h"

#include <termios.h>

namespace serial {

// A serial device on a POSIX terminal: termios for the line; for the exclusive open, a device
// another program holds is refused and ours is claimed by flock, TIOCEXCL and a UUCP lock
// file; poll() on the device and a wake-up pipe for the reader.
class PosixSerialBackend final : public SerialBackend
{
public:
    ~PosixSerialBackend() override;

    bool Probe(const std::string& device) override;
    bool OpenDevice(const std::string& device) override;
    void CloseDevice() override;
    void Purge() override;
    bool ApplyPortSettings(int baud, int parity) override;
    bool ApplyLineSettings(int baud, int parity) override;
    int RateFoundAtOpen() const override { return FoundRate; }
    bool PrepareReader() override;
    void RequestStop() override;
    void ReleaseReader() override;
    WaitResult WaitForInput() override;
    IoResult Read(char* buffer, std::size_t size) override;
    IoResult Write(const char* data, std::size_t size, int timeoutMs) override;

private:
    bool Refuse(const DeviceAccess& access); // records why access failed; returns false
    bool SetSpeedAndParity(termios& tio, int baud, int parity);
    bool Commit(const termios& wanted, int baud);
    bool Fail(const char* what); // records errno with its message; returns false

    int Device = -1;
    int FoundRate = 0;
    posix::DeviceLock Lock;
    int WakeRead = -1;
    int WakeWrite = -1;
};

} // namespace serial
