#include "bgl/bgl_builder.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <fstream>
#include <map>
#include <optional>
#include <set>
#include <stdexcept>
#include <vector>

#include <fmt/format.h>

namespace fs = std::filesystem;

namespace bglbuild {

namespace {

constexpr uint32_t kHeaderBytes = 56;
constexpr uint32_t kSectionBytes = 20;
constexpr uint32_t kSubsectionBytes = 16;

void lf_put32(std::string& out, size_t at, uint32_t v)
{
    for (size_t i = 0; i < 4; ++i)
        out[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

void lf_append32(std::string& out, uint32_t v)
{
    out.append(4, '\0');
    lf_put32(out, out.size() - 4, v);
}

void lf_appendFloat(std::string& out, double f)
{
    lf_append32(out, std::bit_cast<uint32_t>(static_cast<float>(f)));
}

void lf_appendPosition(std::string& out, double lat, double lon)
{
    lf_append32(out, static_cast<uint32_t>(std::llround((lon + 180.0) * 3.0 * 268435456.0 / 360.0)));
    lf_append32(out, static_cast<uint32_t>(std::llround((90.0 - lat) * 536870912.0 / 180.0)));
}

// Opens a record of that many words at the end of out: id at byte 0, its size at byte 2
// when it is closed.
size_t lf_open(std::string& out, uint32_t id, uint32_t words)
{
    const size_t start = out.size();
    out.append(4 * words, '\0');
    out[start] = static_cast<char>(id & 0xFF);
    out[start + 1] = static_cast<char>((id >> 8) & 0xFF);
    return start;
}

void lf_close(std::string& out, size_t start, std::optional<uint32_t> size)
{
    lf_put32(out, start + 2, size.value_or(static_cast<uint32_t>(out.size() - start)));
}

// A description line in tokens: blanks separate, "..." holds blanks and \xHH, \", \\.
std::vector<std::string> lf_tokens(std::string_view line)
{
    std::vector<std::string> tokens;
    for (size_t i = 0; i < line.size();) {
        if (line[i] == ' ' || line[i] == '\t' || line[i] == '\r') {
            ++i;
            continue;
        }
        if (line[i] == '#')
            break;
        std::string token;
        if (line[i] == '"') {
            for (++i; i < line.size() && line[i] != '"'; ++i) {
                if (line[i] == '\\' && i + 3 < line.size() && line[i + 1] == 'x') {
                    token += static_cast<char>(std::stoi(std::string(line.substr(i + 2, 2)), nullptr, 16));
                    i += 3;
                } else {
                    token += line[i] == '\\' && i + 1 < line.size() ? line[++i] : line[i];
                }
            }
            if (i++ >= line.size())
                throw std::runtime_error("a quoted text is not closed");
        } else {
            while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r')
                token += line[i++];
        }
        tokens.push_back(std::move(token));
    }
    return tokens;
}

uint32_t lf_u32(std::string_view text)
{
    const int base = text.starts_with("0x") || text.starts_with("0X") ? 16 : 10;
    if (base == 16)
        text.remove_prefix(2);
    uint64_t v = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v, base);
    if (ec != std::errc() || end != text.data() + text.size())
        throw std::runtime_error(fmt::format("'{}' is not a whole number", text));
    return static_cast<uint32_t>(v);
}

// strtod, so that "nan" and "inf" pass: faults are written on purpose.
double lf_real(const std::string& text)
{
    char* end = nullptr;
    const double v = std::strtod(text.c_str(), &end);
    if (end != text.c_str() + text.size())
        throw std::runtime_error(fmt::format("'{}' is not a number", text));
    return v;
}

// The key=value options and bare words after a line's values.
struct Options {
    std::map<std::string, std::string, std::less<>> pairs; // the first of a key counts
    std::set<std::string, std::less<>> words;

    std::optional<uint32_t> u32(std::string_view key) const
    {
        const auto it = pairs.find(key);
        return it == pairs.end() ? std::nullopt : std::optional(lf_u32(it->second));
    }
};

struct Section {
    uint32_t type = 3;
    uint32_t flags = 0;
    std::optional<uint32_t> subsectionOffset, dataOffset;
    bool endMark = true; // the record of size 0 that ends the chain
    uint32_t records = 0;
    std::string data; // the record chain
};

struct File {
    fs::path path; // relative to the tree's root
    std::optional<fs::path> linkTarget;
    std::optional<uint32_t> headerSize, sectionCount;
    std::optional<uint32_t> truncate; // bytes kept
    std::vector<Section> sections;
};

// An airport or parking list still open to sub-records or parkings.
struct OpenRecord {
    size_t start = std::string::npos;
    std::optional<uint32_t> size, count; // written instead of the real ones
    uint32_t parkings = 0;
};

std::string lf_render(const File& file)
{
    const auto n = static_cast<uint32_t>(file.sections.size());
    std::string out(kHeaderBytes + n * (kSectionBytes + kSubsectionBytes), '\0');
    lf_put32(out, 0, 0x19920201);
    lf_put32(out, 4, file.headerSize.value_or(kHeaderBytes));
    lf_put32(out, 20, file.sectionCount.value_or(n));
    for (uint32_t s = 0; s < n; ++s) {
        const Section& section = file.sections[s];
        const uint32_t header = kHeaderBytes + s * kSectionBytes;
        const uint32_t sub = kHeaderBytes + n * kSectionBytes + s * kSubsectionBytes;
        const auto data = static_cast<uint32_t>(out.size());
        out += section.data;
        out.append(section.endMark ? 8 : 0, '\0');
        for (const auto& [at, v] : {std::pair{header, section.type}, {header + 4, section.flags}, {header + 8, 1u},
                                    {header + 12, section.subsectionOffset.value_or(sub)}, {header + 16, kSubsectionBytes},
                                    {sub + 4, section.records}, {sub + 8, section.dataOffset.value_or(data)},
                                    {sub + 12, static_cast<uint32_t>(out.size()) - data}})
            lf_put32(out, at, v);
    }
    if (file.truncate && *file.truncate < out.size())
        out.resize(*file.truncate);
    return out;
}

// Each line's values before its key=value options.
const std::map<std::string, size_t, std::less<>> kPositional = {
    {"file", 1},    {"link", 2},   {"header", 0},  {"section", 0},     {"airport", 1}, {"record", 2},
    {"name", 1},    {"helipad", 4}, {"sub", 2},    {"parkinglist", 0}, {"parking", 7}};

class DescriptionReader {
public:
    std::vector<File> files;

    void line(const std::vector<std::string>& t)
    {
        const std::string& what = t[0];
        const auto positional = kPositional.find(what);
        if (positional == kPositional.end())
            throw std::runtime_error(fmt::format("unknown line '{}'", what));
        if (t.size() <= positional->second)
            throw std::runtime_error(fmt::format("'{}' needs {} values", what, positional->second));
        Options o;
        for (size_t i = 1 + positional->second; i < t.size(); ++i) {
            const size_t eq = t[i].find('=');
            if (eq == std::string::npos)
                o.words.insert(t[i]);
            else
                o.pairs.emplace(t[i].substr(0, eq), t[i].substr(eq + 1));
        }
        if (what == "file" || what == "link" || what == "section" || what == "airport" || what == "record")
            closeAirport();
        else if (what != "parking" && what != "header")
            closeList();

        if (what == "file" || what == "link") {
            files.push_back({t[1], what == "link" ? std::optional<fs::path>(t[2]) : std::nullopt});
        } else if (what == "header") {
            File& f = file();
            f.headerSize = o.u32("size");
            f.sectionCount = o.u32("sections");
            f.truncate = o.u32("truncate");
        } else if (what == "section") {
            file().sections.push_back({o.u32("type").value_or(3), o.u32("flags").value_or(0), o.u32("offset"),
                                       o.u32("dataoffset"), !o.words.contains("noend")});
        } else if (what == "airport") {
            std::string& out = record();
            ab_ = o.words.contains("ab");
            airport_.start = lf_open(out, ab_ ? 0xAB : 0x3C, ab_ ? 15 : 14);
            airport_.size = o.u32("size");
            const double altitude = o.pairs.contains("alt") ? lf_real(o.pairs.at("alt")) : 0.0;
            lf_put32(out, airport_.start + 20,
                     o.u32("altraw").value_or(static_cast<uint32_t>(static_cast<int64_t>(std::llround(altitude * 1000.0)))));
            lf_put32(out, airport_.start + 40, o.u32("identvalue").value_or(packIdent(t[1])));
        } else if (what == "record" || what == "sub") {
            std::string& out = what == "record" ? record() : airportData();
            lf_close(out, lf_open(out, lf_u32(t[1]), 2 + lf_u32(t[2])), o.u32("size"));
        } else if (what == "name") {
            std::string& out = airportData();
            const size_t start = out.size();
            out.append(6, '\0');
            out[start] = 0x19;
            out += t[1];
            out.append((4 - out.size() % 4) % 4, '\0');
            lf_close(out, start, o.u32("size"));
        } else if (what == "helipad") {
            std::string& out = airportData();
            const size_t start = lf_open(out, 0x26, 3);
            lf_appendPosition(out, lf_real(t[1]), lf_real(t[2]));
            out.append(8, '\0');
            lf_appendFloat(out, lf_real(t[3]));
            lf_appendFloat(out, lf_real(t[4]));
            lf_close(out, start, o.u32("size"));
        } else if (what == "parkinglist" || list_.start == std::string::npos) {
            list_.start = lf_open(airportData(), ab_ ? 0xAD : 0x3D, 2);
            list_.count = o.u32("count");
            list_.size = o.u32("size");
        }
        if (what == "parking") {
            std::string& out = airportData();
            const uint32_t airlines = o.u32("airlines").value_or(0);
            lf_append32(out, (lf_u32(t[1]) & 0x3F) | (lf_u32(t[2]) & 0xF) << 8 | (lf_u32(t[3]) & 0xFFF) << 12 |
                                 (airlines & 0xFF) << 24);
            lf_appendFloat(out, lf_real(t[4]));
            lf_appendFloat(out, lf_real(t[5]));
            out.append(16, '\0');
            lf_appendPosition(out, lf_real(t[6]), lf_real(t[7]));
            out.append(4 * (airlines + (ab_ ? 1 : 0)), '\0');
            ++list_.parkings;
        }
    }

    void closeAirport()
    {
        closeList();
        if (airport_.start != std::string::npos)
            lf_close(data(), airport_.start, airport_.size);
        airport_ = {};
    }

private:
    void closeList()
    {
        if (list_.start != std::string::npos) {
            std::string& out = data();
            const uint32_t count = list_.count.value_or(list_.parkings);
            out[list_.start + 6] = static_cast<char>(count & 0xFF);
            out[list_.start + 7] = static_cast<char>((count >> 8) & 0xFF);
            lf_close(out, list_.start, list_.size);
        }
        list_ = {};
    }

    File& file()
    {
        if (files.empty())
            files.emplace_back();
        if (files.back().linkTarget)
            throw std::runtime_error("a link holds no sections");
        return files.back();
    }

    // The record chain of the last section.
    std::string& data()
    {
        File& f = file();
        if (f.sections.empty())
            throw std::runtime_error("no section yet");
        return f.sections.back().data;
    }

    // The chain a new record of the section starts in.
    std::string& record()
    {
        std::string& out = data();
        ++file().sections.back().records;
        return out;
    }

    std::string& airportData()
    {
        if (airport_.start == std::string::npos)
            throw std::runtime_error("no airport yet");
        return data();
    }

    OpenRecord airport_, list_;
    bool ab_ = false;
};

std::vector<File> lf_read(std::string_view text)
{
    DescriptionReader reader;
    for (size_t number = 1; !text.empty(); ++number) {
        const size_t end = text.find('\n');
        const std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        try {
            const std::vector<std::string> tokens = lf_tokens(line);
            if (!tokens.empty())
                reader.line(tokens);
        } catch (const std::exception& e) {
            throw std::runtime_error(fmt::format("line {}: {}", number, e.what()));
        }
    }
    reader.closeAirport();
    return std::move(reader.files);
}

} // namespace

uint32_t packIdent(std::string_view ident)
{
    uint64_t v = 0;
    for (const char c : ident) {
        uint32_t digit = 0;
        if (c >= '0' && c <= '9')
            digit = 2 + static_cast<uint32_t>(c - '0');
        else if (c >= 'A' && c <= 'Z')
            digit = 12 + static_cast<uint32_t>(c - 'A');
        else if (c >= 'a' && c <= 'z')
            digit = 12 + static_cast<uint32_t>(c - 'a');
        else if (c == '?')
            digit = 1;
        v = v * 38 + digit;
    }
    return static_cast<uint32_t>(v << 5);
}

std::string renderDescription(std::string_view text)
{
    const std::vector<File> files = lf_read(text);
    if (files.empty())
        throw std::runtime_error("the description holds no file");
    return lf_render(files.front());
}

void writeTree(const fs::path& root, std::string_view description)
{
    for (const File& file : lf_read(description)) {
        const fs::path path = root / file.path;
        fs::create_directories(path.parent_path());
        if (file.linkTarget) {
            fs::create_directory_symlink(*file.linkTarget, path);
            continue;
        }
        const std::string bytes = lf_render(file);
        std::ofstream out(path, std::ios::binary);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        if (!out)
            throw std::runtime_error("cannot write " + path.string());
    }
}

} // namespace bglbuild
