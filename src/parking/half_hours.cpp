#include "parking/half_hours.h"

#include <charconv>
#include <stdexcept>
#include <vector>

#include <fmt/format.h>

#include "foundation/log.h"
#include "foundation/text.h"

namespace {

constexpr std::string_view kName = "gf_hours2bitset";

std::optional<uint32_t> lf_parseHour(std::string_view part, std::string_view whole)
{
    const std::string trimmed = gf_trim(part);
    int value = -1;
    const auto [end, ec] = std::from_chars(trimmed.data(), trimmed.data() + trimmed.size(), value);
    if (ec == std::errc() && end != trimmed.data() && value >= 0 && value < static_cast<int>(g_slotsPerDay))
        return static_cast<uint32_t>(value);
    gf_logErrorLine("{} invalid hour '{}' in {}", "operator ()", part, whole);
    return std::nullopt;
}

HalfHours lf_range(std::string_view text)
{
    const std::vector<std::string> parts = gf_split(text, ':');
    if (parts.size() > 2) {
        gf_logErrorLine("{} more than one colon char in: {}", kName, text);
        return {};
    }
    std::vector<uint32_t> slots;
    for (const std::string& part : parts) {
        const std::optional<uint32_t> slot = lf_parseHour(part, text);
        if (!slot)
            return {};
        slots.push_back(*slot);
    }
    HalfHours hours;
    if (slots.size() == 1) {
        hours.set(slots[0]);
    } else if (slots.size() == 2) {
        if (slots[1] < slots[0]) {
            gf_logErrorLine("{} descending range not allowed ({}:{} in {})", kName, slots[0], slots[1], text);
            return {};
        }
        for (uint32_t s = slots[0]; s <= slots[1]; ++s)
            hours.set(s);
    } else {
        gf_logErrorLine("{} invalid range format in {}", kName, text);
    }
    return hours;
}

} // namespace

HalfHours gf_hours2bitset(std::string_view text)
{
    if (text.find(':') != std::string_view::npos)
        return lf_range(text);
    HalfHours hours;
    for (const std::string& part : gf_split(text, ',')) {
        if (const std::optional<uint32_t> slot = lf_parseHour(part, text))
            hours.set(*slot);
    }
    return hours;
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
