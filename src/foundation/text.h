#pragma once
// Text helpers. All text is UTF-8 in std::string; wide text exists only at the Windows
// boundary (UTF-16 there; natively wchar_t holds UTF-32 code points).
#include <concepts>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

inline constexpr std::string_view g_blanks = " \t\n\r";

// Strict conversions: throw std::runtime_error "utf8_to_wide: invalid UTF-8" or
// "wide_to_utf8: invalid UTF-16" (also for overlong forms, surrogates and values above
// U+10FFFF).
std::wstring utf8_to_wide(std::string_view text);
std::string wide_to_utf8(std::wstring_view text);
std::u16string gf_utf8ToUtf16(std::string_view text);
std::string gf_utf16ToUtf8(std::u16string_view text);
bool gf_isValidUtf8(std::string_view text);

// Paths built from and written as UTF-8 whatever the ANSI code page is.
std::filesystem::path gf_pathFromUtf8(std::string_view text);
std::string gf_pathToUtf8(const std::filesystem::path& path);
std::filesystem::path gf_xmlFileName(std::string_view name);
std::filesystem::path gf_txtFileName(std::string_view name);

std::string gf_trim(std::string_view text);
std::vector<std::string> gf_split(std::string_view text, char separator);
std::vector<std::string> gf_splitComma(std::string_view text);
// Pieces at ",", trimmed, sorted by bytes, adjacent duplicates removed.
std::vector<std::string> gf_splitCommaUnique(std::string_view text);
// "EDDF, EHAM" -> "EDDF,EHAM"; a text without blanks stays as it is.
void gf_trimCommaList(std::string& text);
bool gf_containsChar(std::string_view text, char c);
// Compares with ASCII letters upper-cased; other bytes (UTF-8 included) as they are.
bool gf_equalsUppercased(std::string a, std::string b);
std::string gf_toUpperAscii(std::string text);
// True when b is a followed by "*".
bool gf_equalsWithStar(std::string_view a, std::string_view b);

// a * 100 / b rounded half away from zero; 0 when b < 1; gsl::narrowing_error when the
// result does not fit 32 bits.
int32_t gf_percent(int64_t a, int64_t b);
// "24" for 24.0, "0.5" for 0.5.
std::string gf_numberText(float x);

// The plural suffix of a count: empty for 1 and for any negative count, else "s".
template <std::integral T>
constexpr std::string_view gf_plural(T count)
{
    if constexpr (std::is_signed_v<T>) {
        if (count < 0)
            return {};
    }
    return count == 1 ? std::string_view{} : std::string_view{"s"};
}

// A row of '*' for the log, optionally with a title in its middle and line breaks around.
std::string gf_bannerLine(int widthPart1, int widthPart2, bool leadingBreak, bool trailingBreak,
                          std::string_view title = {});
