#pragma once

#include <chrono>
#include <map>
#include <optional>
#include <string>

// Peers on pseudo-terminals: each peer is a pty master whose slave is reachable as COMn
// through an alias in a temporary folder that $ESP8266WIFI_PORTS points at.
class PtyRig
{
public:
    PtyRig();
    ~PtyRig();
    PtyRig(const PtyRig&) = delete;
    PtyRig& operator=(const PtyRig&) = delete;

    // A new peer; returns the port number that opens its other end.
    unsigned AddPeer();
    // Sends bytes from the peer; gives up at the deadline and returns how many went.
    std::size_t PeerWrite(unsigned n, const std::string& data,
                          std::chrono::milliseconds limit = std::chrono::milliseconds(5000));
    // Reads exactly size bytes at the peer, or what came before the deadline.
    std::string PeerRead(unsigned n, std::size_t size,
                         std::chrono::milliseconds limit = std::chrono::milliseconds(2000));
    // Bytes waiting at the peer.
    std::size_t PeerPending(unsigned n);
    // The other side goes away (adapter unplugged).
    void HangUp(unsigned n);
    // Speed the port's end is set to, when the rig can look (nullopt otherwise).
    std::optional<int> LineBaud(unsigned n);
    // The device node behind COMn.
    std::string Node(unsigned n) const;

private:
    std::string Folder;
    std::string SavedPorts;
    bool HadPorts = false;
    unsigned NextPort = 201; // beyond the default table: reachable only through the alias
    std::map<unsigned, int> Masters;
    std::map<unsigned, std::string> Nodes;
};
