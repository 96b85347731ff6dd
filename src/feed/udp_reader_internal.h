#pragma once
// The receive loop of a reader, for the tests that drive it with scripted sockets.
#include "feed/reader_socket.h"
#include "feed/udp_reader.h"

// Receives until `stop` is set, then closes the socket and calls onStopped. Raises
// std::runtime_error "receive error: ..." on a receive error that ends the reader.
void lf_receiveLoop(UdpReader& reader, const ReaderSocketOps& ops);
