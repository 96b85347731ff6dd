#include "feed/datagram_log.h"

#include <algorithm>
#include <chrono>

#include "foundation/log.h"
#include "foundation/text.h"

std::string gf_loggableText(std::string_view text, size_t maxBytes)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(std::min(text.size(), maxBytes) + 24);
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        const bool printable = byte >= 0x20 && byte <= 0x7E;
        if (out.size() + (printable ? 1 : 4) > maxBytes) {
            out += fmt::format("... ({} bytes)", text.size());
            return out;
        }
        if (printable) {
            out += c;
        } else {
            out += "\\x";
            out += kHex[byte >> 4];
            out += kHex[byte & 0x0F];
        }
    }
    return out;
}

void gf_logLimited(DatagramLogLimiter& limiter, std::string_view line, int64_t nowMs, bool errorLine)
{
    if (!limiter.windowStarted || nowMs - limiter.windowStartMs >= 1000 || nowMs < limiter.windowStartMs) {
        limiter.windowStarted = true;
        limiter.windowStartMs = nowMs;
        limiter.linesInWindow = 0;
    }
    if (limiter.linesInWindow >= limiter.linesPerSecond) {
        ++limiter.suppressed;
        return;
    }
    ++limiter.linesInWindow;
    if (limiter.suppressed > 0) {
        gf_logLine("{} log line{} about received datagrams left out", limiter.suppressed,
                   gf_plural(limiter.suppressed));
        limiter.suppressed = 0;
    }
    if (errorLine)
        gf_logErrorLine(line);
    else
        gf_logLine(line);
}

namespace {
int64_t lf_steadyMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}
} // namespace

void gf_logLimited(DatagramLogLimiter& limiter, std::string_view line)
{
    gf_logLimited(limiter, line, lf_steadyMs(), false);
}

void gf_logErrorLimited(DatagramLogLimiter& limiter, std::string_view line)
{
    gf_logLimited(limiter, line, lf_steadyMs(), true);
}
