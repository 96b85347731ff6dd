#pragma once
// Steps of the RealTraffic link that the tests reach directly.
#include <string>
#include <string_view>

// Reads the reply to "Qs999=version": up to 5 seconds and 16383 bytes, until a whole JSON
// text has arrived, the client closed or a stop came. Empty when nothing usable came.
std::string receive();
// Evaluates the version reply: the professional flag and the edition text.
void lf_readRealTrafficVersion(std::string_view reply);
