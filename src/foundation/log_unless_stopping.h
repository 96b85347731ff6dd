#pragma once
// Log lines that only matter while the traffic service runs: once a stop is requested
// they would only bury the close-down's own lines.
#include <string_view>
#include <utility>

#include <fmt/format.h>

// A plain log line, written only while neither g_stopRequested nor g_hardStop is set.
void gf_logUnlessStopping(std::string_view text);

template <typename... T>
    requires(sizeof...(T) > 0)
void gf_logUnlessStopping(fmt::format_string<T...> format, T&&... args)
{
    gf_logUnlessStopping(std::string_view(fmt::format(format, std::forward<T>(args)...)));
}
