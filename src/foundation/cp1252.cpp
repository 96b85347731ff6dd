#include <array>

#include "foundation/text_files.h"

namespace {

// Windows-1252, the code page of western Windows installations, from byte 80 to 9F;
// the bytes Windows leaves undefined map to the control characters of the same value,
// as MultiByteToWideChar does. From A0 on the code page equals Latin-1.
constexpr std::array<char16_t, 32> kCp1252High{
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

} // namespace

std::string gf_cp1252ToUtf8(std::string_view text)
{
    std::string out;
    out.reserve(text.size() + text.size() / 4);
    size_t pos = 0;
    while (pos < text.size()) {
        // ASCII runs, most of a text, go over in one copy.
        size_t end = pos;
        while (end < text.size() && static_cast<unsigned char>(text[end]) < 0x80)
            ++end;
        out.append(text.data() + pos, end - pos);
        if (end == text.size())
            break;
        const auto byte = static_cast<unsigned char>(text[end]);
        const char16_t u = byte < 0xA0 ? kCp1252High[byte - 0x80] : byte;
        if (u < 0x800) {
            out += static_cast<char>(0xC0 | (u >> 6));
            out += static_cast<char>(0x80 | (u & 0x3F));
        } else {
            out += static_cast<char>(0xE0 | (u >> 12));
            out += static_cast<char>(0x80 | ((u >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (u & 0x3F));
        }
        pos = end + 1;
    }
    return out;
}
