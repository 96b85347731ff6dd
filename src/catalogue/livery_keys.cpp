// The key and header matchers of aircraft.cfg lines. They are written by hand rather
// than with std::regex, whose matching recurses once per character and overflows a
// task thread's stack on the 6-8 KB description lines of real files.
#include <algorithm>

#include "catalogue/livery_scan_internal.h"
#include "foundation/text.h"

namespace {

// The white space of the key patterns.
constexpr std::string_view kSpace = " \t\n\v\f\r";

bool lf_isSpace(char c)
{
    return kSpace.find(c) != std::string_view::npos;
}

char lf_lowerAscii(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// key is lower case.
bool lf_startsWithIgnoringCase(std::string_view text, std::string_view key)
{
    return text.size() >= key.size() &&
           std::equal(key.begin(), key.end(), text.begin(), [](char k, char t) { return k == lf_lowerAscii(t); });
}

size_t lf_skipSpace(std::string_view text, size_t pos)
{
    while (pos < text.size() && lf_isSpace(text[pos]))
        ++pos;
    return pos;
}

std::string_view lf_trimSpace(std::string_view text)
{
    const size_t first = text.find_first_not_of(kSpace);
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(kSpace) - first + 1);
}

// "\s*(key)\s*=\s*(.*\S)\s*" over the whole line, any letter case: the value cannot
// hold a line break, as '.' matches none.
bool lf_matchKey(std::string_view line, std::string_view key, std::string& value)
{
    size_t pos = lf_skipSpace(line, 0);
    if (!lf_startsWithIgnoringCase(line.substr(pos), key))
        return false;
    pos = lf_skipSpace(line, pos + key.size());
    if (pos >= line.size() || line[pos] != '=')
        return false;
    const std::string_view found = lf_trimSpace(line.substr(pos + 1));
    if (found.empty() || found.find_first_of("\r\n") != std::string_view::npos)
        return false;
    value.assign(found);
    return true;
}

} // namespace

bool lf_matchTitleKey(std::string_view line, std::string& value)
{
    return lf_matchKey(line, "title", value);
}

bool lf_matchSimKey(std::string_view line, std::string& value)
{
    return lf_matchKey(line, "sim", value);
}

bool lf_matchModelKey(std::string_view line, std::string& value)
{
    return lf_matchKey(line, "model", value);
}

bool lf_matchTextureKey(std::string_view line, std::string& value)
{
    return lf_matchKey(line, "texture", value);
}

bool lf_matchAtcIdKey(std::string_view line, std::string& value)
{
    return lf_matchKey(line, "atc_id", value);
}

bool lf_matchParkingTypesKey(std::string_view line, std::string& value)
{
    return lf_matchKey(line, "atc_parking_types", value);
}

std::string lf_matchAtcModelKey(std::string_view line)
{
    std::string value;
    lf_matchKey(line, "atc_model", value);
    return value;
}

bool lf_matchParkingCodesKey(std::string_view line, std::string& code)
{
    std::string value;
    if (!lf_matchKey(line, "atc_parking_codes", value))
        return false;
    const size_t comma = value.find(',');
    code = gf_trim(std::string_view(value).substr(0, comma));
    return true;
}

bool lf_containsKeyName(std::string_view line, std::string_view name)
{
    // Found by its '_', rare in the long description lines, where searching for the
    // first letter would stop at every 'a'.
    const size_t anchor = name.find('_');
    if (anchor == std::string_view::npos)
        return line.find(name) != std::string_view::npos;
    for (size_t at = line.find('_', anchor); at != std::string_view::npos; at = line.find('_', at + 1)) {
        if (line.substr(at - anchor, name.size()) == name)
            return true;
    }
    return false;
}

bool lf_containsAtcIdKey(std::string_view line)
{
    return lf_containsKeyName(line, "atc_id=");
}

bool lf_containsParkingTypesKey(std::string_view line)
{
    return lf_containsKeyName(line, "atc_parking_types");
}

bool lf_isCommentLine(std::string_view line)
{
    const size_t first = line.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return false;
    return line[first] == ';' || line.substr(first, 2) == "//";
}

std::string lf_matchFltSimHeader(std::string_view line)
{
    if (line.find('[') == std::string_view::npos || lf_isCommentLine(line))
        return {};
    // "\s*(\[fltsim\.)(\d+)\]\s*", any letter case.
    size_t pos = lf_skipSpace(line, 0);
    if (lf_startsWithIgnoringCase(line.substr(pos), "[fltsim.")) {
        const size_t digits = pos + 8;
        size_t end = digits;
        while (end < line.size() && line[end] >= '0' && line[end] <= '9')
            ++end;
        if (end > digits && end < line.size() && line[end] == ']' && lf_skipSpace(line, end + 1) == line.size())
            return std::string(line.substr(digits, end - digits));
    }
    if (line.find("[fltsim.") != std::string_view::npos || line.find("[FLTSIM.") != std::string_view::npos)
        return "10000";
    return {};
}

bool lf_isValidAtcId(std::string_view value, std::string& registration)
{
    const std::vector<std::string> pieces = gf_split(value, ',');
    if (pieces.empty())
        return false;
    for (const std::string& piece : pieces) {
        if (piece.empty() || piece.size() > 12 || gf_containsChar(piece, '*'))
            return false;
    }
    registration = pieces.size() == 1 ? pieces.front() : std::string();
    return true;
}
