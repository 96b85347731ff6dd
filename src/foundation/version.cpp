#include "foundation/version.h"

#include <charconv>
#include <stdexcept>

#include <fmt/format.h>
#include <nlohmann/json.hpp>

#include "foundation/log.h"
#include "foundation/user_error.h"

namespace {

bool lf_isDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool lf_matchesAnyChar(char c)
{
    // ECMAScript's "." matches everything but the line terminators.
    return c != '\n' && c != '\r';
}

size_t lf_digitRun(std::string_view s, size_t pos)
{
    size_t n = 0;
    while (pos + n < s.size() && lf_isDigit(s[pos + n]))
        ++n;
    return n;
}

struct DigitGroups {
    std::string_view group[3];
};

// The leftmost match of (\d+).(\d+).(\d+) with greedy groups and backtracking, as a
// regular expression engine finds it; written by hand because the text may be long.
std::optional<DigitGroups> lf_findVersionPattern(std::string_view s)
{
    for (size_t start = 0; start < s.size(); ++start) {
        const size_t run1 = lf_digitRun(s, start);
        for (size_t len1 = run1; len1 >= 1; --len1) {
            const size_t sep1 = start + len1;
            if (sep1 >= s.size() || !lf_matchesAnyChar(s[sep1]))
                continue;
            const size_t start2 = sep1 + 1;
            const size_t run2 = lf_digitRun(s, start2);
            for (size_t len2 = run2; len2 >= 1; --len2) {
                const size_t sep2 = start2 + len2;
                if (sep2 >= s.size() || !lf_matchesAnyChar(s[sep2]))
                    continue;
                const size_t start3 = sep2 + 1;
                const size_t len3 = lf_digitRun(s, start3);
                if (len3 >= 1)
                    return DigitGroups{{s.substr(start, len1), s.substr(start2, len2), s.substr(start3, len3)}};
            }
        }
    }
    return std::nullopt;
}

int32_t lf_toInt32(std::string_view digits)
{
    int32_t value = 0;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (ec != std::errc() || end != digits.data() + digits.size())
        throw std::runtime_error("parse error in version string");
    return value;
}

// Fills the fields in order; throws on the first part that cannot be read.
void lf_readVersion(std::string_view text, VersionData& v)
{
    if (text.empty())
        return;
    if (const auto groups = lf_findVersionPattern(text)) {
        v.major = lf_toInt32(groups->group[0]);
        v.minor = lf_toInt32(groups->group[1]);
        v.patch = lf_toInt32(groups->group[2]);
        return;
    }
    const nlohmann::json j = nlohmann::json::parse(text);
    if (!j.is_object())
        throw std::runtime_error("version text is neither a version nor a JSON object");
    v.major = j.at("major").get<int32_t>();
    v.minor = j.at("minor").get<int32_t>();
    v.patch = j.at("patch").get<int32_t>();
}

} // namespace

VersionData::VersionData(std::string_view text)
{
    try {
        lf_readVersion(text, *this);
    } catch (const std::exception& e) {
        gf_logLine("{} exception: {}", "VersionData", e.what());
    }
}

std::optional<VersionData> VersionData::parse(std::string_view text)
{
    VersionData v;
    if (text.empty())
        return std::nullopt;
    try {
        lf_readVersion(text, v);
    } catch (const std::exception&) {
        return std::nullopt;
    }
    return v;
}

bool gf_isNewerVersion(const VersionData& a, const VersionData& b)
{
    if (a.major != b.major)
        return a.major > b.major;
    if (a.minor != b.minor)
        return a.minor > b.minor;
    return a.patch > b.patch;
}

std::string gf_versionText(const VersionData& v)
{
    return fmt::format("{}.{}.{}", v.major, v.minor, v.patch);
}

namespace tav {

namespace {
std::string lf_userErrorText(int32_t code, const std::string& text)
{
    return code == 99 ? text : fmt::format("{}: {}", code, text);
}
} // namespace

UserErrorException::UserErrorException(int32_t code, const std::string& text)
    : std::runtime_error(lf_userErrorText(code, text))
{
}

} // namespace tav
