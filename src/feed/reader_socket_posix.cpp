#include "feed/reader_socket.h"

#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "feed/wsa_error_text.h"

namespace {

thread_local int32_t t_lastError = 0;

} // namespace

int32_t gf_wsaCodeOfErrno(int e)
{
    switch (e) {
    case EINTR: return 10004;
    case EBADF: return 10009;
    case EACCES: return 10013;
    case EFAULT: return 10014;
    case EINVAL: return 10022;
    case EMFILE: return 10024;
    case EWOULDBLOCK: return 10035;
    case EINPROGRESS: return 10036;
    case EALREADY: return 10037;
    case ENOTSOCK: return 10038;
    case EDESTADDRREQ: return 10039;
    case EMSGSIZE: return 10040;
    case EPROTOTYPE: return 10041;
    case ENOPROTOOPT: return 10042;
    case EPROTONOSUPPORT: return 10043;
    case ESOCKTNOSUPPORT: return 10044;
    case EOPNOTSUPP: return 10045;
    case EPFNOSUPPORT: return 10046;
    case EAFNOSUPPORT: return 10047;
    case EADDRINUSE: return 10048;
    case EADDRNOTAVAIL: return 10049;
    case ENETDOWN: return 10050;
    case ENETUNREACH: return 10051;
    case ENETRESET: return 10052;
    case ECONNABORTED: return 10053;
    case ECONNRESET: return 10054;
    case ENOBUFS: return 10055;
    case EISCONN: return 10056;
    case ENOTCONN: return 10057;
    case ESHUTDOWN: return 10058;
    case EPIPE: return 10058;
    case ETOOMANYREFS: return 10059;
    case ETIMEDOUT: return 10060;
    case ECONNREFUSED: return 10061;
    case ELOOP: return 10062;
    case ENAMETOOLONG: return 10063;
    case EHOSTDOWN: return 10064;
    case EHOSTUNREACH: return 10065;
    case ENOTEMPTY: return 10066;
    case EUSERS: return 10068;
    case EDQUOT: return 10069;
    case ESTALE: return 10070;
    case EREMOTE: return 10071;
    default: return e;
    }
}

namespace {

int32_t lf_failed()
{
    t_lastError = gf_wsaCodeOfErrno(errno);
    return t_lastError;
}

WaitResult lf_waitReadable(SocketHandle socket, int32_t timeoutMs, int32_t& error)
{
    pollfd p{static_cast<int>(socket), POLLIN, 0};
    const int n = ::poll(&p, 1, timeoutMs);
    if (n < 0) {
        error = lf_failed();
        return errno == EINTR ? WaitResult::Timeout : WaitResult::Failed;
    }
    if (n == 0)
        return WaitResult::Timeout;
    if (p.revents & POLLNVAL) {
        error = t_lastError = 10038;
        return WaitResult::Failed;
    }
    return WaitResult::Readable;
}

ReceiveResult lf_receive(SocketHandle socket, char* buffer, size_t capacity)
{
    // MSG_TRUNC makes Linux return the datagram's true length, so an over-long one can be
    // told apart from one that just fits, as Winsock does.
    const ssize_t n = ::recv(static_cast<int>(socket), buffer, capacity, MSG_TRUNC);
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
        return {-1, t_lastError = g_wsaTimedOut};
    if (n < 0)
        return {-1, lf_failed()};
    if (static_cast<size_t>(n) > capacity)
        return {-1, g_wsaMessageSize};
    return {n, 0};
}

constexpr ReaderSocketOps kPlatformOps{&lf_waitReadable, &lf_receive};

} // namespace

int32_t gf_socketStartup()
{
    return 0;
}

void gf_socketCleanup() {}

SocketHandle gf_openUdpSocket()
{
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_UDP);
    if (fd < 0) {
        lf_failed();
        return g_invalidSocket;
    }
    return static_cast<SocketHandle>(fd);
}

bool gf_setReceiveTimeout(SocketHandle socket, int32_t timeoutMs)
{
    const timeval timeout{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
    if (::setsockopt(static_cast<int>(socket), SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout) != 0) {
        lf_failed();
        return false;
    }
    return true;
}

bool gf_bindUdpSocket(SocketHandle socket, uint16_t port, bool loopbackOnly)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(loopbackOnly ? INADDR_LOOPBACK : INADDR_ANY);
    if (::bind(static_cast<int>(socket), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        lf_failed();
        return false;
    }
    return true;
}

void gf_closeSocket(SocketHandle socket)
{
    if (socket != g_invalidSocket)
        ::close(static_cast<int>(socket));
}

int32_t gf_lastSocketError()
{
    return t_lastError;
}

const ReaderSocketOps& gf_platformSocketOps()
{
    return kPlatformOps;
}
