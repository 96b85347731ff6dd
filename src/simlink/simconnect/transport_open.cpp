#include "simlink/simconnect/transport_open.h"

namespace {

// Kept as strings: assigning the literals directly trips a false -Wrestrict in GCC 12.
const std::string kLocalMachine = ".";
const std::string kLoopback6 = "::1";
const std::string kLoopback4 = "127.0.0.1";

std::shared_ptr<SimConnectTransport> lf_try(ScTransportFactory& factory, const SimConnectConfig& config,
                                            ScProtocol protocol, const std::string& address, const std::string& port,
                                            const std::shared_ptr<ScReceiveQueue>& receiveQueue)
{
    // A TCP target without a port is not tried.
    if (protocol != ScProtocol::Pipe && port.empty())
        return nullptr;
    ScTransportTarget target{protocol, address, port, config.maxReceiveSize, config.disableNagle};
    return factory.connect(target, receiveQueue);
}

} // namespace

std::shared_ptr<SimConnectTransport> gf_connectSimConnectTransport(const SimConnectConfig& config,
                                                                   const ScRegistryPorts& ports,
                                                                   ScTransportFactory& factory,
                                                                   const std::shared_ptr<ScReceiveQueue>& receiveQueue)
{
    ScProtocol protocol = config.protocol;
    std::string address = config.address;
    std::string port = config.port;

    if (protocol == ScProtocol::Pipe) {
        if (address.empty())
            address = kLocalMachine;
        if (auto t = lf_try(factory, config, protocol, address, port, receiveQueue))
            return t;
        if (address != kLocalMachine)
            return nullptr;
        protocol = ScProtocol::Ipv6;
        address = kLoopback6;
        port = ports.ipv6;
    }
    if (protocol == ScProtocol::Ipv6) {
        // No address means this machine, in the protocol's own loopback form.
        if (address.empty())
            address = kLoopback6;
        if (auto t = lf_try(factory, config, protocol, address, port, receiveQueue))
            return t;
        if (address != kLoopback6)
            return nullptr;
        protocol = ScProtocol::Ipv4;
        address = kLoopback4;
        port = ports.ipv4;
    }
    if (address.empty())
        address = kLoopback4;
    if (auto t = lf_try(factory, config, ScProtocol::Ipv4, address, port, receiveQueue))
        return t;
    if (address != kLoopback4)
        return nullptr;
    return lf_try(factory, config, ScProtocol::Pipe, kLocalMachine, {}, receiveQueue);
}
