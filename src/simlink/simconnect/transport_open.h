#pragma once
// Choosing and opening the transport of a new connection, with the fall-backs between the
// pipe and TCP over IPv6 and IPv4 on this machine.
#include <memory>
#include <string>

#include "simlink/simconnect/config.h"
#include "simlink/simconnect/transport.h"

struct ScTransportTarget {
    ScProtocol protocol = ScProtocol::Pipe;
    // Pipe: the machine name ("." for this one); TCP: the host.
    std::string address;
    // Pipe: the pipe's own name (empty for the simulator's default pipe); TCP: the port.
    std::string port;
    uint32_t maxReceiveSize = g_scDefaultMaxReceiveSize;
    bool disableNagle = false;
};

// Makes connected transports; the system's factory opens real pipes and sockets.
class ScTransportFactory {
public:
    virtual ~ScTransportFactory() = default;
    // A connected transport whose first read is posted, or null.
    virtual std::shared_ptr<SimConnectTransport> connect(const ScTransportTarget& target,
                                                         std::shared_ptr<ScReceiveQueue> receiveQueue) = 0;
};

ScTransportFactory& gf_systemTransportFactory();

// Tries the configured transport, then the fall-backs: a local pipe falls back to TCP at
// "::1" with the registry's IPv6 port, "::1" to "127.0.0.1" with the IPv4 port, and that
// to the local pipe once more. Another address fails at once. Null when nothing connects.
std::shared_ptr<SimConnectTransport> gf_connectSimConnectTransport(const SimConnectConfig& config,
                                                                   const ScRegistryPorts& ports,
                                                                   ScTransportFactory& factory,
                                                                   const std::shared_ptr<ScReceiveQueue>& receiveQueue);
