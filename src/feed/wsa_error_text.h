#pragma once
// Winsock error codes as the log writes them.
#include <cstdint>
#include <string>

// The Winsock codes the socket layer reports (the native build maps errno onto them).
inline constexpr int32_t g_wsaInterrupted = 10004;
inline constexpr int32_t g_wsaWouldBlock = 10035;
inline constexpr int32_t g_wsaMessageSize = 10040;
inline constexpr int32_t g_wsaAddressInUse = 10048;
inline constexpr int32_t g_wsaNetReset = 10052;
inline constexpr int32_t g_wsaConnectionReset = 10054;
inline constexpr int32_t g_wsaTimedOut = 10060;

// "{code} {text}", e.g. "10048 Address already in use"; "Unknown errror code" for codes
// outside the table.
std::string gf_wsaErrorText(int32_t code);
