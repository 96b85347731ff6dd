// The native TCP transport, which exists so that the portable core can be run against
// the simulator stand-in natively: blocking sockets, one reader thread per transport,
// writes made by the sending thread. There is no named pipe natively.
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/uio.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>
#include <thread>

#include "foundation/log.h"
#include "simlink/simconnect/transport_open.h"

namespace {

uint32_t lf_windowsError(int error)
{
    switch (error) {
    case ECONNRESET:
    case EPIPE:
        return g_scErrorConnectionReset;
    case ETIMEDOUT:
        return g_scErrorTimedOut;
    default:
        return 10000u + static_cast<uint32_t>(error);
    }
}

class TcpTransportPosix final : public SimConnectTransport {
public:
    TcpTransportPosix(uint32_t maxReceiveSize, std::shared_ptr<ScReceiveQueue> receiveQueue)
        : SimConnectTransport(Kind::Socket, maxReceiveSize, std::move(receiveQueue))
    {
    }

    ~TcpTransportPosix() override
    {
        if (socket_ >= 0)
            ::close(socket_);
    }

    bool open(const ScTransportTarget& target)
    {
        addrinfo hints{};
        hints.ai_family = target.protocol == ScProtocol::Ipv6 ? AF_INET6 : AF_INET;
        hints.ai_socktype = SOCK_STREAM;
        hints.ai_protocol = IPPROTO_TCP;
        addrinfo* found = nullptr;
        if (getaddrinfo(target.address.c_str(), target.port.c_str(), &hints, &found) != 0 || found == nullptr)
            return false;
        bool connected = false;
        for (addrinfo* a = found; a != nullptr && !connected; a = a->ai_next)
            connected = connectOne(*a);
        freeaddrinfo(found);
        if (!connected)
            return false;
        if (target.disableNagle) {
            int on = 1;
            setsockopt(socket_, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        }
        // A peer that stops reading must not hold a sending thread for ever.
        timeval timeout{5, 0};
        setsockopt(socket_, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
        markConnected();
        try {
            std::thread([self = std::static_pointer_cast<TcpTransportPosix>(shared_from_this())] { self->readLoop(); })
                .detach();
        } catch (const std::system_error& e) {
            gf_logErrorLine("SimConnect reader thread: {}", e.what());
            close(ScCloseReason::IoError, g_scFail);
            return false;
        }
        return true;
    }

protected:
    WriteStart startWrite(const std::vector<ScPacketPtr>& batch) override
    {
        std::vector<iovec> pieces;
        pieces.reserve(batch.size());
        for (const auto& packet : batch)
            pieces.push_back({packet->data(), packet->length()});
        size_t first = 0;
        while (first < pieces.size()) {
            msghdr message{};
            message.msg_iov = pieces.data() + first;
            message.msg_iovlen = pieces.size() - first;
            const ssize_t sent = ::sendmsg(socket_, &message, MSG_NOSIGNAL);
            if (sent < 0) {
                if (errno == EINTR)
                    continue;
                const int error = errno;
                close(error == ECONNRESET || error == EPIPE ? ScCloseReason::RemoteDisconnect : ScCloseReason::IoError,
                      gf_scHresultFromSystemError(lf_windowsError(error)));
                return WriteStart::Failed;
            }
            size_t left = static_cast<size_t>(sent);
            while (first < pieces.size() && left >= pieces[first].iov_len)
                left -= pieces[first++].iov_len;
            if (left > 0) {
                pieces[first].iov_base = static_cast<char*>(pieces[first].iov_base) + left;
                pieces[first].iov_len -= left;
            }
        }
        return WriteStart::Done;
    }

    // Packets queued together leave in one write; IOV_MAX is 1024.
    size_t writeBatchLimit() const override { return 512; }
    bool joinsRecords() const override { return true; }

    // The reader thread owns the descriptor's lifetime; shutting it down wakes the reader.
    void closeHandles() override { ::shutdown(socket_, SHUT_RDWR); }

private:
    bool connectOne(const addrinfo& address)
    {
        const int s = ::socket(address.ai_family, address.ai_socktype | SOCK_CLOEXEC, address.ai_protocol);
        if (s < 0)
            return false;
        // Connect within 4 seconds, as the simulator's own clients do.
        const int flags = fcntl(s, F_GETFL);
        fcntl(s, F_SETFL, flags | O_NONBLOCK);
        int rc = ::connect(s, address.ai_addr, address.ai_addrlen);
        if (rc != 0 && errno == EINPROGRESS) {
            pollfd p{s, POLLOUT, 0};
            rc = ::poll(&p, 1, 4000) == 1 ? 0 : -1;
            int error = 0;
            socklen_t length = sizeof error;
            if (rc == 0 && (getsockopt(s, SOL_SOCKET, SO_ERROR, &error, &length) != 0 || error != 0))
                rc = -1;
        }
        if (rc != 0) {
            ::close(s);
            return false;
        }
        fcntl(s, F_SETFL, flags);
        socket_ = s;
        return true;
    }

    void readLoop()
    {
        try {
            for (;;) {
                const std::span<std::byte> space = receiveSpace();
                const ssize_t n = ::recv(socket_, space.data(), space.size(), 0);
                if (n > 0) {
                    bytesReceived(static_cast<size_t>(n));
                    if (state() != State::Connected)
                        return;
                    continue;
                }
                if (n < 0 && errno == EINTR)
                    continue;
                if (state() != State::Connected)
                    return;
                if (n == 0) {
                    close(ScCloseReason::RemoteDisconnect, gf_scHresultFromSystemError(g_scErrorGracefulDisconnect));
                } else {
                    const int error = errno;
                    close(error == ECONNRESET ? ScCloseReason::RemoteDisconnect : ScCloseReason::IoError,
                          gf_scHresultFromSystemError(lf_windowsError(error)));
                }
                return;
            }
        } catch (const std::exception& e) {
            gf_logErrorLine("SimConnect reader exception {}", e.what());
            close(ScCloseReason::IoError, g_scFail);
        }
    }

    int socket_ = -1;
};

class SystemTransportFactory final : public ScTransportFactory {
public:
    std::shared_ptr<SimConnectTransport> connect(const ScTransportTarget& target,
                                                 std::shared_ptr<ScReceiveQueue> receiveQueue) override
    {
        if (target.protocol == ScProtocol::Pipe)
            return nullptr;
        auto transport = std::make_shared<TcpTransportPosix>(target.maxReceiveSize, std::move(receiveQueue));
        if (!transport->open(target))
            return nullptr;
        return transport;
    }
};

} // namespace

ScTransportFactory& gf_systemTransportFactory()
{
    static SystemTransportFactory factory;
    return factory;
}

void gf_scNotifyClient(void*, uint32_t, void*) {}
