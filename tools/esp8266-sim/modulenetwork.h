#pragma once
// The module's one way out to the network: the single TCP or UDP link it opens for AT+CIPSTART.
#include <string>
#include <string_view>

namespace esp8266sim {

enum class LinkKind { Tcp, Udp };

class ModuleNetwork
{
public:
    virtual ~ModuleNetwork() = default;
    // Starts opening a link to an IPv4 address; false when that fails at once. The outcome of a
    // started open is reported later through Esp8266Module::linkOpened.
    virtual bool open(LinkKind kind, const std::string& address, int port) = 0;
    // Queues bytes for the open link; false when no link is open.
    virtual bool send(std::string_view bytes) = 0;
    // Drops the link (or the open in progress) without reporting anything back.
    virtual void close() = 0;
};

} // namespace esp8266sim
