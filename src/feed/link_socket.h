#pragma once
// The TCP sockets of the RealTraffic link, over Winsock on Windows and POSIX sockets
// natively. Both sockets never block: the worker thread polls them, so a silent or
// absent RealTraffic cannot hold up the traffic service. Errors are Winsock codes on
// both platforms (see wsa_error_text.h). Waiting for a socket to become readable (for the
// listening socket: a client to accept) is the readers' waitReadable.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "feed/reader_socket.h"

// The step of opening the listening socket that failed.
enum class ListenStep { None, Resolve, Socket, NonBlocking, AddressOption, Bind, Listen };

struct ListenOutcome {
    SocketHandle socket = g_invalidSocket;
    ListenStep failedStep = ListenStep::None;
    int32_t error = 0; // getaddrinfo's result for Resolve, else the Winsock code
};

// The address option the platform sets before binding: SO_EXCLUSIVEADDRUSE on Windows
// (no other program may take the port over), SO_REUSEADDR natively.
extern const std::string_view g_linkAddressOptionName;

// A non-blocking listening socket on 127.0.0.1 and the numeric port text (backlog
// SOMAXCONN). On failure nothing stays open.
ListenOutcome gf_openLinkListener(std::string_view portText);
// The port the socket is bound to (0 when unknown): port "0" binds a free one.
uint16_t gf_linkLocalPort(SocketHandle socket);

// Takes a waiting client, non-blocking as well; g_invalidSocket with error 10035 when
// none waits.
SocketHandle gf_acceptLinkClient(SocketHandle listener, int32_t& error);
// TCP_NODELAY on: every line leaves at once.
bool gf_setLinkNoDelay(SocketHandle socket, int32_t& error);

// One send: the bytes taken, or -1 with the error (10035 when the send buffer is full).
// A vanished peer never raises a signal.
int64_t gf_linkSend(SocketHandle socket, std::string_view bytes, int32_t& error);
// One receive: the bytes read, 0 when the peer closed, -1 with the error.
int64_t gf_linkReceive(SocketHandle socket, char* buffer, size_t capacity, int32_t& error);
