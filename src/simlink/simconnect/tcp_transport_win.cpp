// TCP over Winsock with overlapped WSARecv/WSASend. Every transport starts the socket
// library for itself and releases it when it goes, so that one connection's end never
// pulls the library from under the next.
#include <winsock2.h>
#include <ws2tcpip.h>

#include "foundation/text.h"
#include "simlink/simconnect/overlapped_transport_win.h"

namespace {

class TcpTransportWin final : public OverlappedTransportWin {
public:
    TcpTransportWin(uint32_t maxReceiveSize, std::shared_ptr<ScReceiveQueue> receiveQueue)
        : OverlappedTransportWin(Kind::Socket, maxReceiveSize, std::move(receiveQueue))
    {
        WSADATA data;
        started_ = WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }

    ~TcpTransportWin() override
    {
        {
            std::lock_guard lock(ioMutex_);
            if (handlesOpen_) {
                handlesOpen_ = false;
                closesocket(socket_);
            }
        }
        if (started_)
            WSACleanup();
    }

    bool open(const ScTransportTarget& target)
    {
        if (!started_)
            return false;
        addrinfo hints{};
        hints.ai_family = target.protocol == ScProtocol::Ipv6 ? AF_INET6 : AF_INET;
        hints.ai_socktype = SOCK_STREAM;
        hints.ai_protocol = IPPROTO_TCP;
        addrinfo* found = nullptr;
        if (getaddrinfo(target.address.c_str(), target.port.c_str(), &hints, &found) != 0 || found == nullptr)
            return false;
        SOCKET s = INVALID_SOCKET;
        for (addrinfo* a = found; a != nullptr && s == INVALID_SOCKET; a = a->ai_next)
            s = lf_connect(*a);
        freeaddrinfo(found);
        if (s == INVALID_SOCKET)
            return false;
        if (!bindCompletion(reinterpret_cast<HANDLE>(s))) {
            closesocket(s);
            return false;
        }
        if (target.disableNagle) {
            BOOL on = TRUE;
            setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
        }
        {
            std::lock_guard lock(ioMutex_);
            socket_ = s;
            handlesOpen_ = true;
        }
        markConnected();
        return startReading();
    }

protected:
    bool issueRead(IoContext& context, std::span<std::byte> space, DWORD& error) override
    {
        context.overlapped = OVERLAPPED{};
        WSABUF buffer{static_cast<ULONG>(space.size()), reinterpret_cast<CHAR*>(space.data())};
        DWORD flags = 0;
        if (WSARecv(socket_, &buffer, 1, nullptr, &flags, &context.overlapped, nullptr) == 0)
            return true;
        error = static_cast<DWORD>(WSAGetLastError());
        return error == WSA_IO_PENDING;
    }

    bool issueWrite(IoContext& context, const std::vector<ScPacketPtr>& batch, DWORD& error) override
    {
        context.overlapped = OVERLAPPED{};
        buffers_.clear();
        for (const auto& packet : batch)
            buffers_.push_back(WSABUF{packet->length(), reinterpret_cast<CHAR*>(packet->data())});
        if (WSASend(socket_, buffers_.data(), static_cast<DWORD>(buffers_.size()), nullptr, 0, &context.overlapped,
                    nullptr) == 0)
            return true;
        error = static_cast<DWORD>(WSAGetLastError());
        return error == WSA_IO_PENDING;
    }

    // A stream may carry many records in one write.
    size_t writeBatchLimit() const override { return 512; }
    bool joinsRecords() const override { return true; }

    void releaseHandles() override
    {
        shutdown(socket_, SD_BOTH);
        CancelIoEx(reinterpret_cast<HANDLE>(socket_), nullptr);
        closesocket(socket_);
    }

private:
    // Connects within 4 seconds, as the simulator's own clients do.
    static SOCKET lf_connect(const addrinfo& address)
    {
        SOCKET s = WSASocketW(address.ai_family, address.ai_socktype, address.ai_protocol, nullptr, 0,
                              WSA_FLAG_OVERLAPPED);
        if (s == INVALID_SOCKET)
            return s;
        u_long nonBlocking = 1;
        ioctlsocket(s, FIONBIO, &nonBlocking);
        bool ok = connect(s, address.ai_addr, static_cast<int>(address.ai_addrlen)) == 0;
        if (!ok && WSAGetLastError() == WSAEWOULDBLOCK) {
            fd_set writable;
            fd_set failed;
            FD_ZERO(&writable);
            FD_ZERO(&failed);
            FD_SET(s, &writable);
            FD_SET(s, &failed);
            timeval timeout{4, 0};
            ok = select(0, nullptr, &writable, &failed, &timeout) == 1 && FD_ISSET(s, &writable);
        }
        nonBlocking = 0;
        if (!ok || ioctlsocket(s, FIONBIO, &nonBlocking) != 0) {
            closesocket(s);
            return INVALID_SOCKET;
        }
        return s;
    }

    bool started_ = false;
    SOCKET socket_ = INVALID_SOCKET; // guarded by ioMutex_ once open
    std::vector<WSABUF> buffers_;    // of the write in flight
};

} // namespace

std::shared_ptr<SimConnectTransport> gf_openTcpTransportWin(const ScTransportTarget& target,
                                                            std::shared_ptr<ScReceiveQueue> receiveQueue)
{
    auto transport = std::make_shared<TcpTransportWin>(target.maxReceiveSize, std::move(receiveQueue));
    if (!transport->open(target))
        return nullptr;
    return transport;
}
