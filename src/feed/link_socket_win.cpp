#include "feed/link_socket.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <string>

const std::string_view g_linkAddressOptionName = "SO_EXCLUSIVEADDRUSE";

namespace {

ListenOutcome lf_fail(SOCKET s, ListenStep step, int32_t error)
{
    if (s != INVALID_SOCKET)
        ::closesocket(s);
    return ListenOutcome{g_invalidSocket, step, error};
}

} // namespace

ListenOutcome gf_openLinkListener(std::string_view portText)
{
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    hints.ai_flags = AI_NUMERICHOST | AI_NUMERICSERV;
    addrinfo* found = nullptr;
    if (const int r = ::getaddrinfo("127.0.0.1", std::string(portText).c_str(), &hints, &found); r != 0)
        return ListenOutcome{g_invalidSocket, ListenStep::Resolve, r};
    const SOCKET s = ::socket(found->ai_family, found->ai_socktype, found->ai_protocol);
    if (s == INVALID_SOCKET) {
        const int32_t e = ::WSAGetLastError();
        ::freeaddrinfo(found);
        return lf_fail(s, ListenStep::Socket, e);
    }
    u_long nonBlocking = 1;
    if (::ioctlsocket(s, FIONBIO, &nonBlocking) != 0) {
        const int32_t e = ::WSAGetLastError();
        ::freeaddrinfo(found);
        return lf_fail(s, ListenStep::NonBlocking, e);
    }
    const BOOL on = TRUE;
    if (::setsockopt(s, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&on), sizeof on) != 0) {
        const int32_t e = ::WSAGetLastError();
        ::freeaddrinfo(found);
        return lf_fail(s, ListenStep::AddressOption, e);
    }
    const int bound = ::bind(s, found->ai_addr, static_cast<int>(found->ai_addrlen));
    const int32_t bindError = bound != 0 ? ::WSAGetLastError() : 0;
    ::freeaddrinfo(found);
    if (bound != 0)
        return lf_fail(s, ListenStep::Bind, bindError);
    if (::listen(s, SOMAXCONN) != 0)
        return lf_fail(s, ListenStep::Listen, ::WSAGetLastError());
    return ListenOutcome{static_cast<SocketHandle>(s), ListenStep::None, 0};
}

uint16_t gf_linkLocalPort(SocketHandle socket)
{
    sockaddr_in address{};
    int length = sizeof address;
    if (::getsockname(static_cast<SOCKET>(socket), reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return 0;
    return ::ntohs(address.sin_port);
}

SocketHandle gf_acceptLinkClient(SocketHandle listener, int32_t& error)
{
    // The accepted socket inherits the listener's non-blocking mode.
    const SOCKET s = ::accept(static_cast<SOCKET>(listener), nullptr, nullptr);
    if (s == INVALID_SOCKET) {
        error = ::WSAGetLastError();
        return g_invalidSocket;
    }
    return static_cast<SocketHandle>(s);
}

bool gf_setLinkNoDelay(SocketHandle socket, int32_t& error)
{
    const char on = 1;
    if (::setsockopt(static_cast<SOCKET>(socket), IPPROTO_TCP, TCP_NODELAY, &on, sizeof on) != 0) {
        error = ::WSAGetLastError();
        return false;
    }
    return true;
}

int64_t gf_linkSend(SocketHandle socket, std::string_view bytes, int32_t& error)
{
    const int n = ::send(static_cast<SOCKET>(socket), bytes.data(), static_cast<int>(bytes.size()), 0);
    if (n == SOCKET_ERROR) {
        error = ::WSAGetLastError();
        return -1;
    }
    return n;
}

int64_t gf_linkReceive(SocketHandle socket, char* buffer, size_t capacity, int32_t& error)
{
    const int n = ::recv(static_cast<SOCKET>(socket), buffer, static_cast<int>(capacity), 0);
    if (n == SOCKET_ERROR) {
        error = ::WSAGetLastError();
        return -1;
    }
    return n;
}
