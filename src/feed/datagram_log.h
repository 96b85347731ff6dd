#pragma once
// Received text reaches the log only escaped, cut short and at a limited rate, so that a
// flood of hostile datagrams can neither fill the disk nor garble Log.txt.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

inline constexpr size_t g_loggedTextMaxBytes = 160;

// Printable ASCII is kept, every other byte written as \xNN; a text longer than maxBytes
// (after escaping) is cut and ends "... (N bytes)" with the length of the original.
std::string gf_loggableText(std::string_view text, size_t maxBytes = g_loggedTextMaxBytes);

// One per reader thread (not shared between threads).
struct DatagramLogLimiter {
    int32_t linesPerSecond = 20;
    int64_t windowStartMs = 0;
    int32_t linesInWindow = 0;
    bool windowStarted = false;
    int64_t suppressed = 0;
};

// Writes the line as a plain log line unless this second's budget is spent; the first
// line written after a suppression first says how many lines were left out.
void gf_logLimited(DatagramLogLimiter& limiter, std::string_view line, int64_t nowMs, bool errorLine = false);
void gf_logLimited(DatagramLogLimiter& limiter, std::string_view line);
// The same as an error line ("==> ", flushed).
void gf_logErrorLimited(DatagramLogLimiter& limiter, std::string_view line);
