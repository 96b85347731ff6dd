#include "parking/half_hours.h"

#include <charconv>
#include <stdexcept>

#include <fmt/format.h>

#include "foundation/log.h"
#include "foundation/text.h"

namespace {

constexpr std::string_view kName = "gf_hours2bitset";

// The pieces are views: a park file holds thousands of these texts.
std::string_view lf_trimmed(std::string_view text)
{
    const size_t first = text.find_first_not_of(g_blanks);
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(g_blanks) - first + 1);
}

std::optional<uint32_t> lf_parseHour(std::string_view part, std::string_view whole)
{
    int value = -1;
    const auto [end, ec] = std::from_chars(part.data(), part.data() + part.size(), value);
    if (ec == std::errc() && end != part.data() && value >= 0 && value < static_cast<int>(g_slotsPerDay))
        return static_cast<uint32_t>(value);
    gf_logErrorLine("{} invalid hour '{}' in {}", "operator ()", part, whole);
    return std::nullopt;
}

HalfHours lf_range(std::string_view text, size_t colon)
{
    if (text.find(':', colon + 1) != std::string_view::npos) {
        gf_logErrorLine("{} more than one colon char in: {}", kName, text);
        return {};
    }
    const std::optional<uint32_t> a = lf_parseHour(lf_trimmed(text.substr(0, colon)), text);
    if (!a)
        return {};
    const std::optional<uint32_t> b = lf_parseHour(lf_trimmed(text.substr(colon + 1)), text);
    if (!b)
        return {};
    if (*b < *a) {
        gf_logErrorLine("{} descending range not allowed ({}:{} in {})", kName, *a, *b, text);
        return {};
    }
    HalfHours hours;
    for (uint32_t s = *a; s <= *b; ++s)
        hours.set(s);
    return hours;
}

} // namespace

HalfHours gf_hours2bitset(std::string_view text)
{
    if (const size_t colon = text.find(':'); colon != std::string_view::npos)
        return lf_range(text, colon);
    HalfHours hours;
    if (text.empty())
        return hours;
    for (size_t begin = 0;;) {
        const size_t comma = text.find(',', begin);
        const std::string_view part = text.substr(begin, comma == std::string_view::npos ? text.npos : comma - begin);
        if (const std::optional<uint32_t> slot = lf_parseHour(lf_trimmed(part), text))
            hours.set(*slot);
        if (comma == std::string_view::npos)
            return hours;
        begin = comma + 1;
    }
}

std::optional<std::string> gf_bitset2hours(const HalfHours& hours)
{
    if (hours.none())
        return std::nullopt;
    uint32_t first = 0;
    while (!hours.test(first))
        ++first;
    uint32_t last = g_slotsPerDay - 1;
    while (!hours.test(last))
        --last;
    if (hours.count() == last - first + 1)
        return first == last ? fmt::format("{}", first) : fmt::format("{}:{}", first, last);
    // Two or more runs: the comma list the reader takes, so that no slot is lost.
    std::string text;
    for (uint32_t s = first; s <= last; ++s) {
        if (!hours.test(s))
            continue;
        if (!text.empty())
            text += ',';
        text += fmt::format("{}", s);
    }
    return text;
}

void gf_setSlot(HalfHours& hours, uint32_t slot)
{
    if (slot >= g_slotsPerDay)
        throw std::out_of_range("invalid bitset position");
    hours.set(slot);
}
