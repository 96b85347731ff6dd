#include "foundation/text.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include <fmt/format.h>
#include <gsl/narrow>

namespace {

constexpr char32_t kInvalid = 0xFFFFFFFF;

// Decodes one code point at pos and advances; kInvalid for anything malformed.
char32_t lf_decodeUtf8(std::string_view s, size_t& pos)
{
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(s[i]); };
    const unsigned char b0 = byte(pos);
    if (b0 < 0x80) {
        ++pos;
        return b0;
    }
    size_t len;
    char32_t cp;
    char32_t min;
    if ((b0 & 0xE0) == 0xC0) {
        len = 2, cp = b0 & 0x1F, min = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
        len = 3, cp = b0 & 0x0F, min = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
        len = 4, cp = b0 & 0x07, min = 0x10000;
    } else {
        return kInvalid;
    }
    if (pos + len > s.size())
        return kInvalid;
    for (size_t i = 1; i < len; ++i) {
        const unsigned char b = byte(pos + i);
        if ((b & 0xC0) != 0x80)
            return kInvalid;
        cp = (cp << 6) | (b & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return kInvalid;
    pos += len;
    return cp;
}

void lf_appendUtf8(std::string& out, char32_t cp)
{
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

template <typename Char16>
void lf_appendUtf16(std::basic_string<Char16>& out, char32_t cp)
{
    if (cp < 0x10000) {
        out += static_cast<Char16>(cp);
    } else {
        cp -= 0x10000;
        out += static_cast<Char16>(0xD800 + (cp >> 10));
        out += static_cast<Char16>(0xDC00 + (cp & 0x3FF));
    }
}

template <typename Char16>
bool lf_utf16ToUtf8(std::basic_string_view<Char16> in, std::string& out)
{
    out.reserve(in.size());
    for (size_t i = 0; i < in.size(); ++i) {
        const char32_t u = static_cast<char16_t>(in[i]);
        if (u >= 0xD800 && u <= 0xDBFF) {
            if (i + 1 >= in.size())
                return false;
            const char32_t low = static_cast<char16_t>(in[i + 1]);
            if (low < 0xDC00 || low > 0xDFFF)
                return false;
            lf_appendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00));
            ++i;
        } else if (u >= 0xDC00 && u <= 0xDFFF) {
            return false;
        } else {
            lf_appendUtf8(out, u);
        }
    }
    return true;
}

template <typename Char16>
bool lf_utf8ToUtf16(std::string_view in, std::basic_string<Char16>& out)
{
    out.reserve(in.size());
    size_t pos = 0;
    while (pos < in.size()) {
        const char32_t cp = lf_decodeUtf8(in, pos);
        if (cp == kInvalid)
            return false;
        lf_appendUtf16(out, cp);
    }
    return true;
}

} // namespace

bool gf_isValidUtf8(std::string_view text)
{
    size_t pos = 0;
    while (pos < text.size()) {
        if (lf_decodeUtf8(text, pos) == kInvalid)
            return false;
    }
    return true;
}

std::wstring utf8_to_wide(std::string_view text)
{
    std::wstring out;
    bool ok;
    if constexpr (sizeof(wchar_t) == 2) {
        ok = lf_utf8ToUtf16(text, out);
    } else {
        out.reserve(text.size());
        size_t pos = 0;
        ok = true;
        while (ok && pos < text.size()) {
            const char32_t cp = lf_decodeUtf8(text, pos);
            ok = cp != kInvalid;
            out += static_cast<wchar_t>(cp);
        }
    }
    if (!ok)
        throw std::runtime_error("utf8_to_wide: invalid UTF-8");
    return out;
}

std::string wide_to_utf8(std::wstring_view text)
{
    std::string out;
    bool ok = true;
    if constexpr (sizeof(wchar_t) == 2) {
        ok = lf_utf16ToUtf8(text, out);
    } else {
        for (wchar_t w : text) {
            const auto cp = static_cast<char32_t>(w);
            if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
                ok = false;
                break;
            }
            lf_appendUtf8(out, cp);
        }
    }
    if (!ok)
        throw std::runtime_error("wide_to_utf8: invalid UTF-16");
    return out;
}

std::u16string gf_utf8ToUtf16(std::string_view text)
{
    std::u16string out;
    if (!lf_utf8ToUtf16(text, out))
        throw std::runtime_error("utf8_to_wide: invalid UTF-8");
    return out;
}

std::string gf_utf16ToUtf8(std::u16string_view text)
{
    std::string out;
    if (!lf_utf16ToUtf8(text, out))
        throw std::runtime_error("wide_to_utf8: invalid UTF-16");
    return out;
}

std::filesystem::path gf_pathFromUtf8(std::string_view text)
{
    return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

std::string gf_pathToUtf8(const std::filesystem::path& path)
{
    const std::u8string u8 = path.u8string();
    return std::string(u8.begin(), u8.end());
}

std::filesystem::path gf_xmlFileName(std::string_view name)
{
    return gf_pathFromUtf8(std::string(name) + ".xml");
}

std::filesystem::path gf_txtFileName(std::string_view name)
{
    return gf_pathFromUtf8(std::string(name) + ".txt");
}

std::string gf_trim(std::string_view text)
{
    const size_t first = text.find_first_not_of(g_blanks);
    if (first == std::string_view::npos)
        return {};
    const size_t last = text.find_last_not_of(g_blanks);
    return std::string(text.substr(first, last - first + 1));
}

std::vector<std::string> gf_split(std::string_view text, char separator)
{
    std::vector<std::string> pieces;
    if (text.empty())
        return pieces;
    pieces.reserve(static_cast<size_t>(std::count(text.begin(), text.end(), separator)) + 1);
    size_t start = 0;
    while (true) {
        const size_t end = text.find(separator, start);
        if (end == std::string_view::npos) {
            pieces.push_back(gf_trim(text.substr(start)));
            break;
        }
        pieces.push_back(gf_trim(text.substr(start, end - start)));
        start = end + 1;
    }
    return pieces;
}

std::vector<std::string> gf_splitComma(std::string_view text)
{
    return gf_split(text, ',');
}

std::vector<std::string> gf_splitCommaUnique(std::string_view text)
{
    std::vector<std::string> pieces = gf_split(text, ',');
    std::sort(pieces.begin(), pieces.end());
    pieces.erase(std::unique(pieces.begin(), pieces.end()), pieces.end());
    return pieces;
}

void gf_trimCommaList(std::string& text)
{
    if (text.find_first_of(g_blanks) == std::string::npos)
        return;
    const std::vector<std::string> pieces = gf_split(text, ',');
    std::string joined;
    for (size_t i = 0; i < pieces.size(); ++i) {
        if (i > 0)
            joined += ',';
        joined += pieces[i];
    }
    text = std::move(joined);
}

bool gf_containsChar(std::string_view text, char c)
{
    return text.find(c) != std::string_view::npos;
}

std::string gf_toUpperAscii(std::string text)
{
    for (char& c : text) {
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    }
    return text;
}

bool gf_equalsUppercased(std::string a, std::string b)
{
    return gf_toUpperAscii(std::move(a)) == gf_toUpperAscii(std::move(b));
}

bool gf_equalsWithStar(std::string_view a, std::string_view b)
{
    return b.size() == a.size() + 1 && b.back() == '*' && b.substr(0, a.size()) == a;
}

int32_t gf_percent(int64_t a, int64_t b)
{
    if (b < 1)
        return 0;
    const double rounded = std::round(static_cast<double>(a) * 100.0 / static_cast<double>(b));
    if (!(std::fabs(rounded) < 9.0e18))
        throw gsl::narrowing_error{};
    return gsl::narrow<int32_t>(static_cast<int64_t>(rounded));
}

std::string gf_numberText(float x)
{
    if (std::fmod(x, 1.0f) == 0.0f)
        return fmt::format("{:.0f}", x);
    return fmt::format("{:.1f}", x);
}

std::string gf_bannerLine(int widthPart1, int widthPart2, bool leadingBreak, bool trailingBreak,
                          std::string_view title)
{
    std::string out = leadingBreak ? "\n" : "";
    int w = widthPart1 + widthPart2;
    if (w % 2 != 0)
        ++w;
    if (title.empty()) {
        out.append(static_cast<size_t>(std::max(w, 0)), '*');
    } else if (static_cast<int>(title.size()) + 2 < w) {
        const size_t stars = static_cast<size_t>(w / 2 - 1);
        out.append(stars, '*');
        out += ' ';
        out += title;
        out += ' ';
        out.append(stars, '*');
    } else {
        out += title;
    }
    if (trailingBreak)
        out += '\n';
    return out;
}
