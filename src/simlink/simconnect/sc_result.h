#pragma once
// Result codes of the SimConnect operations: 32-bit HRESULTs.
#include <cstdint>

using ScHresult = int32_t;

inline constexpr ScHresult g_scOk = 0;
inline constexpr ScHresult g_scFail = static_cast<ScHresult>(0x80004005u);
inline constexpr ScHresult g_scInvalidArg = static_cast<ScHresult>(0x80070057u);
inline constexpr ScHresult g_scTextTooLong = static_cast<ScHresult>(0x8007007Au);
inline constexpr ScHresult g_scAbort = static_cast<ScHresult>(0x80004004u);
inline constexpr ScHresult g_scOutOfMemory = static_cast<ScHresult>(0x8007000Eu);

// Windows error codes the transports record, with the same numbers on every platform.
inline constexpr uint32_t g_scErrorBrokenPipe = 109;
inline constexpr uint32_t g_scErrorPipeNotConnected = 233;
inline constexpr uint32_t g_scErrorGracefulDisconnect = 1226;
inline constexpr uint32_t g_scErrorConnectionReset = 10054;
inline constexpr uint32_t g_scErrorTimedOut = 10060;

constexpr ScHresult gf_scHresultFromSystemError(uint32_t code)
{
    return code == 0 ? g_scOk : static_cast<ScHresult>((code & 0xFFFFu) | 0x80070000u);
}

constexpr bool gf_scFailed(ScHresult result)
{
    return result < 0;
}
