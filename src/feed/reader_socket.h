#pragma once
// The UDP socket of a reader, over Winsock on Windows and POSIX sockets natively. Errors
// are reported as Winsock codes on both (see wsa_error_text.h), so the readers and their
// log lines are the same everywhere.
#include <cstddef>
#include <cstdint>

using SocketHandle = std::uintptr_t;
inline constexpr SocketHandle g_invalidSocket = ~SocketHandle{0};

// WSAStartup for version 2.2: 0 or its error code (always 0 natively).
int32_t gf_socketStartup();
void gf_socketCleanup();

// An IPv4 UDP socket whose receive blocks; g_invalidSocket on failure.
SocketHandle gf_openUdpSocket();
// A receive that waits longer than this fails with g_wsaTimedOut; false on failure.
bool gf_setReceiveTimeout(SocketHandle socket, int32_t timeoutMs);
// Binds to 127.0.0.1 when loopbackOnly, else to all interfaces; false on failure.
bool gf_bindUdpSocket(SocketHandle socket, uint16_t port, bool loopbackOnly);
void gf_closeSocket(SocketHandle socket);
// The Winsock code of the calling thread's last socket error.
int32_t gf_lastSocketError();
// The native build's errno as the Winsock code of the same meaning (EPIPE as 10058).
int32_t gf_wsaCodeOfErrno(int e);

enum class WaitResult { Readable, Timeout, Failed };

struct ReceiveResult {
    int64_t bytes = 0; // -1 on error
    int32_t error = 0; // the Winsock code when bytes is -1
};

// The socket calls of the readers and the link, replaceable so that the receive loop's
// handling of every result can be tested without a network.
struct ReaderSocketOps {
    WaitResult (*waitReadable)(SocketHandle socket, int32_t timeoutMs, int32_t& error);
    // Waits for one datagram into buffer, at most the socket's receive timeout (then
    // g_wsaTimedOut); a datagram longer than capacity is an error with g_wsaMessageSize
    // (10040), as Winsock reports it.
    ReceiveResult (*receive)(SocketHandle socket, char* buffer, size_t capacity);
};

const ReaderSocketOps& gf_platformSocketOps();
