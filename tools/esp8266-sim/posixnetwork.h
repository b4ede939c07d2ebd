#pragma once
// The module's link as a real non-blocking socket, pumped from a poll() loop.
#include "modulenetwork.h"

#include <poll.h>

#include <cstdint>
#include <string>

namespace esp8266sim {

class Esp8266Module;

class PosixNetwork final : public ModuleNetwork
{
public:
    PosixNetwork() = default;
    ~PosixNetwork() override;
    PosixNetwork(const PosixNetwork&) = delete;
    PosixNetwork& operator=(const PosixNetwork&) = delete;

    bool open(LinkKind kind, const std::string& address, int port) override;
    bool send(std::string_view bytes) override;
    void close() override;

    // The poll entry for the link (fd -1 while there is none).
    pollfd pollEntry() const;
    // Handles what poll() reported for pollEntry() and tells the module about it.
    void handleEvents(short revents, Esp8266Module& module, std::int64_t nowMs);
    // Waits up to timeoutMs for link events and handles them (for callers without a loop).
    void pump(Esp8266Module& module, std::int64_t nowMs, int timeoutMs);

private:
    void flushOutgoing();

    int fd = -1;
    bool datagram = false;
    bool connecting = false;
    bool openReported = true;
    std::string outgoing;
};

} // namespace esp8266sim
