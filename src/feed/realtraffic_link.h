#pragma once
// The TCP link to RealTraffic on this PC: the program listens on 127.0.0.1 at the port of
// PORT_NUMBER, RealTraffic connects as its one client and receives CR LF lines: the
// version query once, the user aircraft's state about once a second, the simulator time
// (professional edition) and "exit" at the close-down. Used by the worker thread only.
#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>

#include "feed/reader_socket.h"
#include "simlink/sim_link_calls.h"

extern SocketHandle g_rtListenSocket;
extern SocketHandle g_rtClientSocket;
extern std::atomic<bool> g_rtConnected;

// Opens the listening socket; std::runtime_error on every failure ("Bind failed at port
// {} with error {}", ...), with nothing left open.
void gf_startTcpServer(std::string_view portText);
// The port listened on (the test's view of port "0").
uint16_t gf_rtListenPort();

// Accepts a waiting client without waiting; true when one is now connected.
bool waitForClient();
// One send of the line; false when it failed (the client socket is then closed).
bool sendDataPacket(std::string_view line);

// The greeting at the start of the service (only when RealTraffic runs on this PC): waits
// for RealTraffic in short steps until it connects or a stop comes, asks for its version
// and shows the edition.
void gf_waitForRealTraffic();
// The simulator time t (seconds since 1970) as "Qs123=" t x 1000, when connected and t >= 1.
void gf_sendQs123(int64_t t);
// The user aircraft's state ("Qs121") from g_userSnapshot; notices a lost RealTraffic
// (takes the live aircraft out) and takes back a reconnected one, never waiting for it.
void gf_sendUserPosition();
// Close-down: "exit" when connected, then both sockets closed.
void gf_closeRealTrafficLink();

// "Qs121=..." of the state, empty when a value is not finite.
std::string gf_qs121Line(const UserState& state);
