#include "foundation/text_files.h"

#include <array>
#include <fstream>
#include <stdexcept>
#include <utility>

#include <fmt/format.h>

#include "foundation/atomic_file.h"
#include "foundation/text.h"
#include "ui/messages.h"

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

bool lf_startsWithBom(std::string_view text)
{
    return text.substr(0, kUtf8Bom.size()) == kUtf8Bom;
}

} // namespace

bool gf_readAllBytes(std::istream& in, std::string& bytes)
{
    // Read in blocks rather than by the size that seekg reports: a folder opened as a
    // file reports an absurd size natively.
    bytes.clear();
    char block[65536];
    while (in.good()) {
        in.read(block, sizeof block);
        bytes.append(block, static_cast<size_t>(in.gcount()));
    }
    if (!in.bad() && !bytes.empty())
        return true;
    bytes.clear();
    in.clear(in.rdstate() & std::ios::badbit);
    in.seekg(0, std::ios::beg);
    return false;
}

namespace {

void lf_appendAnsiLines(std::string_view bytes, std::vector<std::string>& lines)
{
    if (lf_startsWithBom(bytes))
        bytes.remove_prefix(kUtf8Bom.size());
    lines.reserve(lines.size() + 2048);
    gf_splitLines(gf_ansiToUtf8(bytes), lines);
}

// One reader for both UTF-8 kinds: the mark is dropped (a second one too, as editors
// sometimes write two), and content that is not valid UTF-8 after all is read as ANSI.
void lf_appendUtf8Lines(std::string_view bytes, std::vector<std::string>& lines)
{
    if (!gf_isValidUtf8(bytes)) {
        lf_appendAnsiLines(bytes, lines);
        return;
    }
    const size_t first = lines.size();
    gf_splitLines(bytes, lines);
    if (lines.size() > first && lf_startsWithBom(lines[first]))
        lines[first].erase(0, kUtf8Bom.size());
}

// The charset by the byte-order mark or the zero bytes of UTF-16 in the first four bytes;
// otherwise the whole text is checked, not only its start: a file whose first non-ASCII
// byte lies far down must not pass as UTF-8 when it is not.
Charset lf_charsetOf(std::string_view bytes)
{
    const auto b = [&](size_t i) { return static_cast<unsigned char>(bytes[i]); };
    const size_t n = std::min<size_t>(bytes.size(), 4);
    if (n >= 3 && lf_startsWithBom(bytes))
        return Charset::Utf8WithBom;
    if (n >= 2) {
        if (b(0) == 0xFF && b(1) == 0xFE)
            return Charset::Unicode;
        if (b(0) == 0xFE && b(1) == 0xFF)
            return Charset::UnicodeBigEndian;
        if (b(1) == 0 && (n < 4 || b(3) == 0))
            return Charset::Unicode;
        if (b(0) == 0 && (n < 4 || b(2) == 0))
            return Charset::UnicodeBigEndian;
    }
    return gf_isValidUtf8(bytes) ? Charset::Utf8WithoutBom : Charset::Ansi;
}

void lf_appendUtf16Lines(std::string_view bytes, std::vector<std::string>& lines, ByteOrder withoutMark)
{
    if (bytes.size() < 2 || bytes.size() % 2 != 0)
        return;
    const auto b = [&](size_t i) { return static_cast<unsigned char>(bytes[i]); };
    ByteOrder order = withoutMark;
    size_t start = 0;
    if (b(0) == 0xFF && b(1) == 0xFE) {
        order = ByteOrder::Little;
        start = 2;
    } else if (b(0) == 0xFE && b(1) == 0xFF) {
        order = ByteOrder::Big;
        start = 2;
    }
    std::u16string units;
    units.reserve((bytes.size() - start) / 2);
    for (size_t i = start; i < bytes.size(); i += 2) {
        const char16_t lo = order == ByteOrder::Little ? b(i) : b(i + 1);
        const char16_t hi = order == ByteOrder::Little ? b(i + 1) : b(i);
        units.push_back(static_cast<char16_t>(hi << 8 | lo));
    }
    gf_splitLines(gf_utf16ToUtf8(units), lines);
}

} // namespace

const std::string& gf_charsetName(Charset charset)
{
    // Indexed by the enumeration's value; at() throws std::out_of_range for any other.
    static const std::array<std::string, 6> names{"ANSI", "Unicode", "Unicode_big_endian", "UTF8_with_BOM",
                                                  "UTF8_without_BOM", "none_found"};
    return names.at(static_cast<size_t>(static_cast<uint32_t>(charset)));
}

Charset gf_detectCharset(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return Charset::NoneFound;
    std::string bytes;
    gf_readAllBytes(in, bytes);
    return lf_charsetOf(bytes);
}

TextFileRead gf_readTextFile(const fs::path& path, std::vector<std::string>& lines)
{
    lines.clear();
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return {Charset::NoneFound, false};
    std::string bytes;
    gf_readAllBytes(in, bytes);
    const Charset charset = lf_charsetOf(bytes);
    if (in.bad())
        return {charset, false};
    try {
        switch (charset) {
        case Charset::Unicode:
        case Charset::UnicodeBigEndian:
            lf_appendUtf16Lines(bytes, lines, charset == Charset::Unicode ? ByteOrder::Little : ByteOrder::Big);
            break;
        case Charset::Utf8WithoutBom:
            // Found valid whole by lf_charsetOf.
            gf_splitLines(bytes, lines);
            break;
        case Charset::Utf8WithBom:
            lf_appendUtf8Lines(bytes, lines);
            break;
        default:
            lf_appendAnsiLines(bytes, lines);
            break;
        }
    } catch (const std::exception& e) {
        lines.clear();
        gf_showMessage(fmt::format("Read failed for '{}': {}", gf_pathToUtf8(path), e.what()), true);
        return {charset, false};
    }
    return {charset, true};
}

bool gf_readTextFileLines(Charset charset, const fs::path& path, std::vector<std::string>& lines)
{
    lines.clear();
    try {
        switch (charset) {
        case Charset::Unicode:
        case Charset::UnicodeBigEndian: {
            std::ifstream in(path, std::ios::binary);
            if (!in)
                return false;
            gf_readUtf16Lines(in, lines, charset == Charset::Unicode ? ByteOrder::Little : ByteOrder::Big);
            return !in.bad();
        }
        case Charset::Utf8WithBom:
        case Charset::Utf8WithoutBom:
        case Charset::Ansi: {
            std::ifstream in(path, std::ios::binary);
            if (!in)
                return false;
            std::string bytes;
            gf_readAllBytes(in, bytes);
            if (in.bad())
                return false;
            if (charset == Charset::Ansi)
                lf_appendAnsiLines(bytes, lines);
            else
                lf_appendUtf8Lines(bytes, lines);
            return true;
        }
        default:
            throw std::runtime_error(
                fmt::format("file {} has unknown charset: {}", gf_pathToUtf8(path), gf_charsetName(charset)));
        }
    } catch (const std::exception& e) {
        lines.clear();
        gf_showMessage(fmt::format("Read failed for '{}': {}", gf_pathToUtf8(path), e.what()), true);
        return false;
    }
}

void gf_splitLines(std::string_view text, std::vector<std::string>& lines)
{
    if (lf_startsWithBom(text))
        text.remove_prefix(kUtf8Bom.size());
    size_t pos = 0;
    while (pos < text.size()) {
        const size_t lf = text.find('\n', pos);
        std::string_view line = text.substr(pos, lf == std::string_view::npos ? std::string_view::npos : lf - pos);
        // Only one CR before the line end goes: "a CR CR LF" keeps a CR.
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        lines.emplace_back(line);
        if (lf == std::string_view::npos)
            return;
        pos = lf + 1;
    }
}

void gf_readStream(std::istream& in, std::vector<std::string>& lines)
{
    std::string bytes;
    if (gf_readAllBytes(in, bytes))
        gf_splitLines(bytes, lines);
}

void gf_readUtf16Lines(std::istream& in, std::vector<std::string>& lines, ByteOrder withoutMark)
{
    std::string bytes;
    if (gf_readAllBytes(in, bytes))
        lf_appendUtf16Lines(bytes, lines, withoutMark);
}

const std::vector<std::string>& gf_readFile(TextFile& file, size_t reserve)
{
    file.lines.clear();
    file.lines.reserve(reserve);
    std::ifstream in(file.path, std::ios::binary);
    if (in)
        gf_readStream(in, file.lines);
    return file.lines;
}

std::vector<std::string> gf_readFile(const fs::path& path, size_t reserve)
{
    TextFile file{path, {}};
    gf_readFile(file, reserve);
    return std::move(file.lines);
}

bool gf_writeFile(std::string_view text, const fs::path& path)
{
    std::string bytes(text);
    bytes += '\n';
    return gf_writeFileAtomically(path, bytes);
}
