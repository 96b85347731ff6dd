#include "bgl/bgl_builder.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>
#include <fstream>
#include <random>
#include <stdexcept>

#include <fmt/format.h>

namespace fs = std::filesystem;

namespace bglbuild {

namespace {

constexpr uint32_t kMagic = 0x19920201;
constexpr uint32_t kHeaderBytes = 56;
constexpr uint32_t kSectionBytes = 20;
constexpr uint32_t kSubsectionBytes = 16;

void lf_put16(std::string& out, size_t at, uint32_t v)
{
    out[at] = static_cast<char>(v & 0xFF);
    out[at + 1] = static_cast<char>((v >> 8) & 0xFF);
}

void lf_put32(std::string& out, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

void lf_append32(std::string& out, uint32_t v)
{
    out.append(4, '\0');
    lf_put32(out, out.size() - 4, v);
}

void lf_appendFloat(std::string& out, float f)
{
    lf_append32(out, std::bit_cast<uint32_t>(f));
}

// Opens a record at the end of out: id at byte 0, room for the size at byte 2.
size_t lf_open(std::string& out, uint16_t id, uint32_t words)
{
    const size_t start = out.size();
    out.append(4 * words, '\0');
    lf_put16(out, start, id);
    return start;
}

void lf_close(std::string& out, size_t start, std::optional<uint32_t> size)
{
    lf_put32(out, start + 2, size.value_or(static_cast<uint32_t>(out.size() - start)));
}

void lf_renderSub(std::string& out, const Sub& sub, bool ab)
{
    if (const auto* name = std::get_if<Name>(&sub)) {
        const size_t start = out.size();
        out.append(6, '\0');
        lf_put16(out, start, 0x19);
        out += name->bytes;
        while ((out.size() - start) % 4 != 0)
            out += '\0';
        lf_close(out, start, name->size);
    } else if (const auto* h = std::get_if<Helipad>(&sub)) {
        const size_t start = lf_open(out, 0x26, 3);
        lf_append32(out, lonUnits(h->lon));
        lf_append32(out, latUnits(h->lat));
        out.append(8, '\0');
        lf_appendFloat(out, h->width);
        lf_appendFloat(out, h->heading);
        lf_close(out, start, h->size);
    } else if (const auto* list = std::get_if<ParkingList>(&sub)) {
        const size_t start = lf_open(out, ab ? 0xAD : 0x3D, 2);
        const auto count = list->count.value_or(static_cast<uint32_t>(list->parkings.size()));
        out[start + 6] = static_cast<char>(count & 0xFF);
        out[start + 7] = static_cast<char>((count >> 8) & 0xFF);
        for (const Parking& p : list->parkings) {
            lf_append32(out, (p.code & 0x3F) | (p.type & 0xF) << 8 | (p.number & 0xFFF) << 12 | (p.airlines & 0xFF) << 24);
            lf_appendFloat(out, p.radius);
            lf_appendFloat(out, p.heading);
            out.append(16, '\0');
            lf_append32(out, lonUnits(p.lon));
            lf_append32(out, latUnits(p.lat));
            out.append(4 * (p.airlines + (ab ? 1 : 0)), '\0');
        }
        lf_close(out, start, list->size);
    } else {
        const auto& other = std::get<OtherSub>(sub);
        const size_t start = lf_open(out, other.id, 2 + other.words);
        lf_close(out, start, other.size);
    }
}

void lf_renderRecord(std::string& out, const Record& record)
{
    if (const auto* a = std::get_if<Airport>(&record)) {
        const size_t start = lf_open(out, a->ab ? 0xAB : 0x3C, a->ab ? 15 : 14);
        const auto altitude = a->altitudeRaw.value_or(
            static_cast<uint32_t>(static_cast<int64_t>(std::llround(a->altitudeMetres * 1000.0))));
        lf_put32(out, start + 20, altitude);
        lf_put32(out, start + 40, a->identValue.value_or(packIdent(a->ident)));
        for (const Sub& sub : a->subs)
            lf_renderSub(out, sub, a->ab);
        lf_close(out, start, a->size);
    } else {
        const auto& other = std::get<OtherRecord>(record);
        const size_t start = lf_open(out, other.id, 2 + other.words);
        lf_close(out, start, other.size);
    }
}

// A description line in tokens: blanks separate, "..." holds blanks and \xHH, \", \\.
std::vector<std::string> lf_tokens(std::string_view line)
{
    std::vector<std::string> tokens;
    size_t i = 0;
    while (i < line.size()) {
        if (line[i] == ' ' || line[i] == '\t' || line[i] == '\r') {
            ++i;
            continue;
        }
        if (line[i] == '#')
            break;
        std::string token;
        if (line[i] == '"') {
            for (++i; i < line.size() && line[i] != '"'; ++i) {
                if (line[i] == '\\' && i + 1 < line.size()) {
                    if (line[i + 1] == 'x' && i + 3 < line.size()) {
                        token += static_cast<char>(std::stoi(std::string(line.substr(i + 2, 2)), nullptr, 16));
                        i += 3;
                    } else {
                        token += line[++i];
                    }
                } else {
                    token += line[i];
                }
            }
            if (i >= line.size())
                throw std::runtime_error("a quoted text is not closed");
            ++i;
        } else {
            while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r')
                token += line[i++];
        }
        tokens.push_back(std::move(token));
    }
    return tokens;
}

uint64_t lf_integer(std::string_view text)
{
    int base = 10;
    if (text.starts_with("0x") || text.starts_with("0X")) {
        base = 16;
        text.remove_prefix(2);
    }
    uint64_t v = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v, base);
    if (ec != std::errc() || end != text.data() + text.size())
        throw std::runtime_error(fmt::format("'{}' is not a whole number", text));
    return v;
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

// The key=value options and bare words after the positional tokens.
struct Options {
    std::vector<std::pair<std::string, std::string>> pairs;
    std::vector<std::string> words;

    std::optional<uint64_t> integer(std::string_view key) const
    {
        for (const auto& [k, v] : pairs) {
            if (k == key)
                return lf_integer(v);
        }
        return std::nullopt;
    }
    std::optional<uint32_t> u32(std::string_view key) const
    {
        const std::optional<uint64_t> v = integer(key);
        return v ? std::optional<uint32_t>(static_cast<uint32_t>(*v)) : std::nullopt;
    }
    std::optional<double> real(std::string_view key) const
    {
        for (const auto& [k, v] : pairs) {
            if (k == key)
                return lf_real(v);
        }
        return std::nullopt;
    }
    bool has(std::string_view word) const { return std::find(words.begin(), words.end(), word) != words.end(); }
};

Options lf_options(const std::vector<std::string>& tokens, size_t first)
{
    Options o;
    for (size_t i = first; i < tokens.size(); ++i) {
        const size_t eq = tokens[i].find('=');
        if (eq == std::string::npos)
            o.words.push_back(tokens[i]);
        else
            o.pairs.emplace_back(tokens[i].substr(0, eq), tokens[i].substr(eq + 1));
    }
    return o;
}

class DescriptionReader {
public:
    std::vector<TreeEntry> entries;

    void line(const std::vector<std::string>& t)
    {
        const std::string& what = t[0];
        if (what == "file") {
            need(t, 2);
            entries.push_back({t[1], {}, std::nullopt});
        } else if (what == "link") {
            need(t, 3);
            entries.push_back({t[1], {}, fs::path(t[2])});
        } else if (what == "header") {
            const Options o = lf_options(t, 1);
            BglFile& f = file();
            f.headerSize = o.u32("size");
            f.sectionCount = o.u32("sections");
            f.truncate = o.integer("truncate");
        } else if (what == "section") {
            const Options o = lf_options(t, 1);
            Section s;
            s.type = o.u32("type").value_or(3);
            s.flags = o.u32("flags").value_or(0);
            s.subsectionOffset = o.u32("offset");
            s.dataOffset = o.u32("dataoffset");
            s.endMark = !o.has("noend");
            file().sections.push_back(std::move(s));
        } else if (what == "airport") {
            need(t, 2);
            const Options o = lf_options(t, 2);
            Airport a;
            a.ident = t[1];
            a.ab = o.has("ab");
            a.identValue = o.u32("identvalue");
            a.altitudeMetres = o.real("alt").value_or(0.0);
            a.altitudeRaw = o.u32("altraw");
            a.size = o.u32("size");
            section().records.emplace_back(std::move(a));
        } else if (what == "record") {
            need(t, 3);
            section().records.emplace_back(OtherRecord{static_cast<uint16_t>(lf_integer(t[1])),
                                                       static_cast<uint32_t>(lf_integer(t[2])),
                                                       lf_options(t, 3).u32("size")});
        } else if (what == "name") {
            need(t, 2);
            airport().subs.emplace_back(Name{t[1], lf_options(t, 2).u32("size")});
        } else if (what == "helipad") {
            need(t, 5);
            airport().subs.emplace_back(Helipad{lf_real(t[1]), lf_real(t[2]), static_cast<float>(lf_real(t[3])),
                                                static_cast<float>(lf_real(t[4])), lf_options(t, 5).u32("size")});
        } else if (what == "parkinglist") {
            const Options o = lf_options(t, 1);
            airport().subs.emplace_back(ParkingList{{}, o.u32("count"), o.u32("size")});
        } else if (what == "parking") {
            need(t, 8);
            Airport& a = airport();
            if (a.subs.empty() || !std::holds_alternative<ParkingList>(a.subs.back()))
                a.subs.emplace_back(ParkingList{});
            Parking p;
            p.code = static_cast<uint32_t>(lf_integer(t[1]));
            p.type = static_cast<uint32_t>(lf_integer(t[2]));
            p.number = static_cast<uint32_t>(lf_integer(t[3]));
            p.radius = static_cast<float>(lf_real(t[4]));
            p.heading = static_cast<float>(lf_real(t[5]));
            p.lat = lf_real(t[6]);
            p.lon = lf_real(t[7]);
            p.airlines = lf_options(t, 8).u32("airlines").value_or(0);
            std::get<ParkingList>(a.subs.back()).parkings.push_back(p);
        } else if (what == "sub") {
            need(t, 3);
            airport().subs.emplace_back(OtherSub{static_cast<uint16_t>(lf_integer(t[1])),
                                                 static_cast<uint32_t>(lf_integer(t[2])),
                                                 lf_options(t, 3).u32("size")});
        } else {
            throw std::runtime_error(fmt::format("unknown line '{}'", what));
        }
    }

private:
    static void need(const std::vector<std::string>& t, size_t n)
    {
        if (t.size() < n)
            throw std::runtime_error(fmt::format("'{}' needs {} values", t[0], n - 1));
    }

    BglFile& file()
    {
        if (entries.empty())
            entries.push_back({});
        if (entries.back().linkTarget)
            throw std::runtime_error("a link holds no sections");
        return entries.back().bgl;
    }

    Section& section()
    {
        BglFile& f = file();
        if (f.sections.empty())
            throw std::runtime_error("no section yet");
        return f.sections.back();
    }

    Airport& airport()
    {
        Section& s = section();
        if (s.records.empty() || !std::holds_alternative<Airport>(s.records.back()))
            throw std::runtime_error("no airport yet");
        return std::get<Airport>(s.records.back());
    }
};

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

uint32_t lonUnits(double lon)
{
    return static_cast<uint32_t>(std::llround((lon + 180.0) * 3.0 * 268435456.0 / 360.0));
}

uint32_t latUnits(double lat)
{
    return static_cast<uint32_t>(std::llround((90.0 - lat) * 536870912.0 / 180.0));
}

std::string render(const BglFile& file)
{
    const auto n = static_cast<uint32_t>(file.sections.size());
    std::string out(kHeaderBytes + n * (kSectionBytes + kSubsectionBytes), '\0');
    lf_put32(out, 0, kMagic);
    lf_put32(out, 4, file.headerSize.value_or(kHeaderBytes));
    lf_put32(out, 20, file.sectionCount.value_or(n));
    for (uint32_t s = 0; s < n; ++s) {
        const Section& section = file.sections[s];
        const uint32_t header = kHeaderBytes + s * kSectionBytes;
        const uint32_t sub = kHeaderBytes + n * kSectionBytes + s * kSubsectionBytes;
        const auto data = static_cast<uint32_t>(out.size());
        for (const Record& record : section.records)
            lf_renderRecord(out, record);
        if (section.endMark)
            out.append(8, '\0');
        lf_put32(out, header, section.type);
        lf_put32(out, header + 4, section.flags);
        lf_put32(out, header + 8, 1);
        lf_put32(out, header + 12, section.subsectionOffset.value_or(sub));
        lf_put32(out, header + 16, kSubsectionBytes);
        lf_put32(out, sub + 4, static_cast<uint32_t>(section.records.size()));
        lf_put32(out, sub + 8, section.dataOffset.value_or(data));
        lf_put32(out, sub + 12, static_cast<uint32_t>(out.size()) - data);
    }
    if (file.truncate && *file.truncate < out.size())
        out.resize(*file.truncate);
    return out;
}

std::vector<TreeEntry> parseDescription(std::string_view text)
{
    DescriptionReader reader;
    size_t number = 0;
    while (!text.empty()) {
        const size_t end = text.find('\n');
        const std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        ++number;
        try {
            const std::vector<std::string> tokens = lf_tokens(line);
            if (!tokens.empty())
                reader.line(tokens);
        } catch (const std::exception& e) {
            throw std::runtime_error(fmt::format("line {}: {}", number, e.what()));
        }
    }
    return reader.entries;
}

std::string renderDescription(std::string_view text)
{
    const std::vector<TreeEntry> entries = parseDescription(text);
    if (entries.empty())
        throw std::runtime_error("the description holds no file");
    return render(entries.front().bgl);
}

void writeTree(const fs::path& root, const std::vector<TreeEntry>& entries)
{
    for (const TreeEntry& entry : entries) {
        const fs::path path = root / entry.path;
        fs::create_directories(path.parent_path());
        if (entry.linkTarget) {
            fs::create_directory_symlink(*entry.linkTarget, path);
            continue;
        }
        const std::string bytes = render(entry.bgl);
        std::ofstream out(path, std::ios::binary);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        if (!out)
            throw std::runtime_error("cannot write " + path.string());
    }
}

void writeTree(const fs::path& root, std::string_view description)
{
    writeTree(root, parseDescription(description));
}

BenchTree writeBenchTree(const fs::path& root, const std::vector<std::string>& codes, uint32_t airports,
                         uint32_t others, uint32_t perFolder, uint32_t seed, uint32_t scale)
{
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> offset(-0.01, 0.01);
    std::uniform_int_distribution<uint32_t> padding(40 * scale, 400 * scale);
    BenchTree tree;
    const uint32_t total = airports + others;
    for (uint32_t i = 0; i < total; ++i) {
        BglFile f;
        // Scenery files hold many records besides the airport: taxi paths, lights, objects.
        Section objects;
        objects.type = 0x65;
        for (uint32_t k = 0, n = padding(random); k < n; ++k)
            objects.records.emplace_back(OtherRecord{0x0B, 5, std::nullopt});
        const uint32_t stride = airports > 0 ? std::max(1u, total / airports) : 0;
        const bool airport = stride > 0 && i % stride == 0 && i / stride < airports;
        f.sections.push_back(std::move(objects));
        if (airport) {
            Section s;
            Airport a;
            a.ident = codes[(i / stride) % codes.size()];
            a.altitudeMetres = 100.0;
            a.subs.emplace_back(Name{"Bench airport " + a.ident, std::nullopt});
            const double lat = 40.0 + offset(random) * 100.0;
            const double lon = 10.0 + offset(random) * 100.0;
            a.subs.emplace_back(Helipad{lat + 0.001, lon, 20.0f, 90.0f, std::nullopt});
            a.subs.emplace_back(Helipad{lat + 0.002, lon, 20.0f, 90.0f, std::nullopt});
            ParkingList list;
            for (uint32_t p = 0; p < 20; ++p)
                list.parkings.push_back({10 + p % 10, 1 + p % 11, p, 20.0f, 180.0f, lat + offset(random),
                                         lon + offset(random), p % 3});
            a.subs.emplace_back(std::move(list));
            s.records.emplace_back(std::move(a));
            f.sections.push_back(std::move(s));
        }
        const uint32_t folder = i / std::max(1u, perFolder);
        const fs::path path = root / fmt::format("g{:02}", folder / 50) / fmt::format("f{:03}", folder % 50) /
                              fmt::format("{}{}.bgl", airport ? "APX" : "OBJ", i);
        fs::create_directories(path.parent_path());
        const std::string bytes = render(f);
        std::ofstream out(path, std::ios::binary);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        ++tree.files;
        tree.bytes += bytes.size();
    }
    return tree;
}

} // namespace bglbuild
