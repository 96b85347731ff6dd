#pragma once
// Steps of the RealTraffic link that the tests reach directly.
#include <optional>
#include <string>
#include <string_view>

// Reads the reply to "Qs999=version": up to 5 seconds and 16383 bytes, until a whole JSON
// text has arrived or a stop came; empty when nothing usable came. None when the client
// closed the connection (or it failed) before a whole reply.
std::optional<std::string> receive();
// Evaluates the version reply: the professional flag and the edition text.
void lf_readRealTrafficVersion(std::string_view reply);
