#pragma once
// Log.txt: one stream for the whole process, written line by line from any thread.
#include <filesystem>
#include <string_view>
#include <utility>

#include <fmt/format.h>

// Keeps three older generations of Log.txt in the current folder, opens a new one and
// writes its header line; throws std::runtime_error when the file cannot be opened.
void gf_openLog();
// The same for a log file at an explicit place (the tests use it).
void gf_openLogAt(const std::filesystem::path& file);
void gf_closeLog();
bool gf_logIsOpen();

void gf_logLine(std::string_view text);
// "==> " + text, flushed at once so that it survives a crash right after.
void gf_logErrorLine(std::string_view text);
// Ten blanks + text: continues the record of the previous line.
void gf_logContinuation(std::string_view text);
void lf_logAndFlush(std::string_view text);
void gf_flushLog();

template <typename... T>
    requires(sizeof...(T) > 0)
void gf_logLine(fmt::format_string<T...> format, T&&... args)
{
    gf_logLine(std::string_view(fmt::format(format, std::forward<T>(args)...)));
}

template <typename... T>
    requires(sizeof...(T) > 0)
void gf_logErrorLine(fmt::format_string<T...> format, T&&... args)
{
    gf_logErrorLine(std::string_view(fmt::format(format, std::forward<T>(args)...)));
}

template <typename... T>
    requires(sizeof...(T) > 0)
void gf_logContinuation(fmt::format_string<T...> format, T&&... args)
{
    gf_logContinuation(std::string_view(fmt::format(format, std::forward<T>(args)...)));
}
