#include "feed/link_socket.h"

#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

#include "feed/wsa_error_text.h"

const std::string_view g_linkAddressOptionName = "SO_REUSEADDR";

namespace {

int32_t lf_lastError()
{
    return gf_wsaCodeOfErrno(errno);
}

ListenOutcome lf_fail(ListenOutcome outcome, ListenStep step, int32_t error)
{
    gf_closeSocket(outcome.socket);
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
    ListenOutcome outcome;
    const int fd = ::socket(found->ai_family, found->ai_socktype | SOCK_CLOEXEC, found->ai_protocol);
    if (fd < 0) {
        const int32_t e = lf_lastError();
        ::freeaddrinfo(found);
        return lf_fail(outcome, ListenStep::Socket, e);
    }
    outcome.socket = static_cast<SocketHandle>(fd);
    const int flags = ::fcntl(fd, F_GETFL, 0);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) != 0) {
        const int32_t e = lf_lastError();
        ::freeaddrinfo(found);
        return lf_fail(outcome, ListenStep::NonBlocking, e);
    }
    const int on = 1;
    if (::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0) {
        const int32_t e = lf_lastError();
        ::freeaddrinfo(found);
        return lf_fail(outcome, ListenStep::AddressOption, e);
    }
    const int bound = ::bind(fd, found->ai_addr, found->ai_addrlen);
    const int32_t bindError = bound != 0 ? lf_lastError() : 0;
    ::freeaddrinfo(found);
    if (bound != 0)
        return lf_fail(outcome, ListenStep::Bind, bindError);
    if (::listen(fd, SOMAXCONN) != 0)
        return lf_fail(outcome, ListenStep::Listen, lf_lastError());
    return outcome;
}

uint16_t gf_linkLocalPort(SocketHandle socket)
{
    sockaddr_in address{};
    socklen_t length = sizeof address;
    if (::getsockname(static_cast<int>(socket), reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return 0;
    return ntohs(address.sin_port);
}

SocketHandle gf_acceptLinkClient(SocketHandle listener, int32_t& error)
{
    const int fd = ::accept4(static_cast<int>(listener), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) {
        error = lf_lastError();
        return g_invalidSocket;
    }
    return static_cast<SocketHandle>(fd);
}

bool gf_setLinkNoDelay(SocketHandle socket, int32_t& error)
{
    const int on = 1;
    if (::setsockopt(static_cast<int>(socket), IPPROTO_TCP, TCP_NODELAY, &on, sizeof on) != 0) {
        error = lf_lastError();
        return false;
    }
    return true;
}

int64_t gf_linkSend(SocketHandle socket, std::string_view bytes, int32_t& error)
{
    const ssize_t n = ::send(static_cast<int>(socket), bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (n < 0)
        error = lf_lastError();
    return n;
}

int64_t gf_linkReceive(SocketHandle socket, char* buffer, size_t capacity, int32_t& error)
{
    const ssize_t n = ::recv(static_cast<int>(socket), buffer, capacity, 0);
    if (n < 0)
        error = lf_lastError();
    return n;
}
