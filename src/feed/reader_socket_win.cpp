#include "feed/reader_socket.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include "feed/wsa_error_text.h"

namespace {

WaitResult lf_waitReadable(SocketHandle socket, int32_t timeoutMs, int32_t& error)
{
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(static_cast<SOCKET>(socket), &readable);
    timeval timeout{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
    const int n = ::select(0, &readable, nullptr, nullptr, &timeout);
    if (n == SOCKET_ERROR) {
        error = ::WSAGetLastError();
        return WaitResult::Failed;
    }
    return n == 0 ? WaitResult::Timeout : WaitResult::Readable;
}

ReceiveResult lf_receive(SocketHandle socket, char* buffer, size_t capacity)
{
    const int n = ::recvfrom(static_cast<SOCKET>(socket), buffer, static_cast<int>(capacity), 0, nullptr, nullptr);
    if (n == SOCKET_ERROR)
        return {-1, ::WSAGetLastError()};
    return {n, 0};
}

constexpr ReaderSocketOps kPlatformOps{&lf_waitReadable, &lf_receive};

} // namespace

int32_t gf_socketStartup()
{
    WSADATA data;
    return ::WSAStartup(MAKEWORD(2, 2), &data);
}

void gf_socketCleanup()
{
    ::WSACleanup();
}

SocketHandle gf_openUdpSocket()
{
    const SOCKET s = ::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    return s == INVALID_SOCKET ? g_invalidSocket : static_cast<SocketHandle>(s);
}

bool gf_setReceiveTimeout(SocketHandle socket, int32_t timeoutMs)
{
    const DWORD ms = static_cast<DWORD>(timeoutMs);
    return ::setsockopt(static_cast<SOCKET>(socket), SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&ms),
                        sizeof ms) == 0;
}

bool gf_bindUdpSocket(SocketHandle socket, uint16_t port, bool loopbackOnly)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = ::htons(port);
    address.sin_addr.s_addr = ::htonl(loopbackOnly ? INADDR_LOOPBACK : INADDR_ANY);
    return ::bind(static_cast<SOCKET>(socket), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
}

void gf_closeSocket(SocketHandle socket)
{
    if (socket != g_invalidSocket)
        ::closesocket(static_cast<SOCKET>(socket));
}

int32_t gf_lastSocketError()
{
    return ::WSAGetLastError();
}

const ReaderSocketOps& gf_platformSocketOps()
{
    return kPlatformOps;
}
