// The BGL file of one scan task: the pre-check of the walk, the section walk and the walk
// of each supported airport record. Every walk is bounded by its record and by the words
// read; a bad record costs its own airport, never the rest of the file.
#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstring>
#include <fstream>
#include <stdexcept>
#include <system_error>

#include <fmt/format.h>

#include "foundation/log.h"
#include "foundation/text.h"
#include "foundation/text_files.h"
#include "scanner/addon_scan.h"
#include "scanner/bgl_format.h"
#include "scanner/scanner_internal.h"

namespace fs = std::filesystem;

static_assert(std::endian::native == std::endian::little, "BGL words are read as they lie in memory");

namespace {

// The byte 0x97 of the original texts, a dash in Windows-1252.
constexpr std::string_view kDash = "\xE2\x80\x94";

// The work of the file this thread decodes. A damaged or crafted file may let many
// section headers lead into one record chain, or airport records overlap: each chain is
// walked once, and the steps of all walks are bounded by the file's size.
struct BglFileWork {
    std::vector<bool> walked; // by word: a record that a walk has reached
    uint64_t steps = 0;
    uint64_t limit = 0;
};
thread_local BglFileWork* t_work = nullptr;

// Ends the decoding of a file whose work passed its bound.
struct BglWorkExhausted {};

uint32_t lf_word(BglWords words, uint64_t i)
{
    if (i >= words.size())
        throw std::out_of_range(fmt::format("BGL word {} read beyond the {} words", i, words.size()));
    return words[i];
}

uint16_t lf_recordId(BglWords words, uint64_t r)
{
    return static_cast<uint16_t>(lf_word(words, r) & 0xFFFF);
}

// The size at byte 2 spans two words.
uint32_t lf_recordSize(BglWords words, uint64_t r)
{
    return (lf_word(words, r) >> 16) | (lf_word(words, r + 1) << 16);
}

void lf_logLoopLimit(std::string_view what)
{
    if (ScanFileLines::admit())
        gf_logErrorLine("   Error: Maximum loop iterations reached {} possible corrupt {} or malformed input.",
                        kDash, what);
}

int32_t lf_altitudeFeet(uint32_t millimetres)
{
    const double feet = std::round(static_cast<double>(millimetres) * 3.2808399 / 1000.0);
    return feet < -20.0 || feet > 10000.0 ? 0 : static_cast<int32_t>(feet);
}

bool lf_flagsAccepted(uint32_t flags)
{
    return ((flags & bgl::kFlagsMask) | bgl::kFlagsAccepted) == bgl::kFlagsAccepted;
}

// One section's record chain, from the first sub-section's data on.
void lf_walkSection(uint64_t h, BglWords words, const fs::path& path, const BglAirportSteps& steps)
{
    const uint64_t n = words.size();
    if (words[h] != bgl::kAirportSection || !lf_flagsAccepted(words[h + bgl::kSectionFlags]) ||
        h + bgl::kSectionFirstSubsection >= n)
        return;
    const uint64_t d = words[h + bgl::kSectionFirstSubsection] / 4 + bgl::kSubsectionDataWord;
    if (d >= n)
        return;
    uint64_t r = words[d] / 4;
    for (uint32_t count = 0;; ++count) {
        if (r >= n)
            return;
        // What follows a record that an earlier walk reached was walked with it.
        if (t_work != nullptr) {
            if (t_work->walked[r])
                return;
            t_work->walked[r] = true;
        }
        lf_countBglStep();
        if (count == bgl::kMostRecords) {
            lf_logLoopLimit("BGL");
            return;
        }
        if (r + 1 >= n) {
            if (ScanFileLines::admit())
                gf_logLine("   Error: o2={} exceeded data buffer size ({}), aborting.", r, n);
            return;
        }
        const uint16_t id = lf_recordId(words, r);
        const uint64_t w = lf_recordSize(words, r) / 4;
        if (id == bgl::kAirport || id == bgl::kAirportAb) {
            if (w == 0) {
                if (ScanFileLines::admit())
                    gf_logErrorLine("   Warning: decodeSizeAtBoundary returned {} at o2 = {}", 0, r);
                return;
            }
            if (r + bgl::kAirportIdent < n) {
                const auto [ident, valid] = lf_decodeBglIdent(words[r + bgl::kAirportIdent]);
                if (valid) {
                    const auto [code, supported] = lf_isSupportedAirport(ident);
                    if (supported)
                        lf_walkAirportRecord(r, words, id == bgl::kAirportAb, w, code, path, steps);
                }
            }
        }
        if (w == 0)
            return;
        r += w;
    }
}

} // namespace

std::string lf_pathTextForLog(const fs::path& path)
{
    try {
        return gf_pathToUtf8(path);
    } catch (const std::exception&) {
        return "(a path that cannot be written as UTF-8)";
    }
}

bool lf_isAirportBgl(const fs::path& path)
{
    // Most files are answered by their first block: one read, and the size asked only
    // when the block is full. The walk makes this test for every BGL file.
    std::ifstream in;
    in.rdbuf()->pubsetbuf(nullptr, 0);
    in.open(path, std::ios::binary);
    if (!in)
        return false;
    std::array<char, 1024> block{};
    in.read(block.data(), block.size());
    uint64_t blockEnd = static_cast<uint64_t>(in.gcount());
    if (blockEnd < 57)
        return false;
    uint32_t count = 0;
    std::memcpy(&count, block.data() + bgl::kSectionCountByte, sizeof count);
    // The size is asked only when the count does not fit what the block already shows.
    uint64_t size = blockEnd;
    if (blockEnd == block.size() && count > (blockEnd - bgl::kSectionTableByte) / bgl::kSectionBytes) {
        in.clear();
        in.seekg(0, std::ios::end);
        const std::streamoff end = in.tellg();
        if (end < 0)
            return false;
        size = static_cast<uint64_t>(end);
    }
    if (count == 0 || count > (size - bgl::kSectionTableByte) / bgl::kSectionBytes)
        return false;
    uint64_t blockStart = 0;
    for (uint64_t s = 0; s < count; ++s) {
        const uint64_t header = bgl::kSectionTableByte + bgl::kSectionBytes * s;
        if (header + 4 > blockEnd) {
            // A plausible count may still be large: the table is read on block by block.
            in.clear();
            in.seekg(static_cast<std::streamoff>(header));
            in.read(block.data(), block.size());
            blockStart = header;
            blockEnd = header + static_cast<uint64_t>(in.gcount());
            if (header + 4 > blockEnd)
                return false;
        }
        uint32_t type = 0;
        std::memcpy(&type, block.data() + (header - blockStart), sizeof type);
        if (type == bgl::kAirportSection)
            return true;
    }
    return false;
}

std::vector<uint32_t> lf_readBglWords(std::istream& in)
{
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    in.seekg(0);
    if (size <= 0)
        return {};
    std::vector<uint32_t> words((static_cast<uint64_t>(size) + 3) / 4, 0);
    in.read(reinterpret_cast<char*>(words.data()), size);
    return words;
}

void lf_countBglStep()
{
    if (t_work != nullptr && ++t_work->steps > t_work->limit)
        throw BglWorkExhausted{};
}

uint64_t lf_decodeBglWords(BglWords words, const fs::path& path, const BglAirportSteps& steps)
{
    const uint64_t n = words.size();
    if (n <= bgl::kSectionTableWord || words[bgl::kHeaderSizeWord] != bgl::kHeaderSize)
        return 0;
    const uint64_t c = words[bgl::kSectionCountWord];
    if (c == 0 || bgl::kSectionTableWord + bgl::kSectionWords * c > n)
        return 0;
    BglFileWork work{std::vector<bool>(n, false), 0, g_bglStepsPerWord * n};
    const ScanFileLines lines(lf_pathTextForLog(path));
    struct Scope {
        explicit Scope(BglFileWork* w) { t_work = w; }
        ~Scope() { t_work = nullptr; }
    } scope(&work);
    try {
        for (uint64_t s = 0; s < c; ++s)
            lf_walkSection(bgl::kSectionTableWord + bgl::kSectionWords * s, words, path, steps);
    } catch (const BglWorkExhausted&) {
        gf_addToScanLog(fmt::format("{} is not decoded further: it asks more work than a file of {} bytes needs",
                                    lf_pathTextForLog(path), 4 * n));
    }
    return work.steps;
}

void lf_processBGLfile(const fs::path& path, const BglAirportSteps& steps)
{
    try {
        std::ifstream in(path, std::ios::binary);
        if (!in)
            return;
        std::error_code ec;
        const uintmax_t size = fs::file_size(path, ec);
        if (!ec && size > g_bglSizeCap) {
            gf_addToScanLog(fmt::format("{} skipped: {} bytes, more than a BGL file of airports holds",
                                        lf_pathTextForLog(path), size));
            return;
        }
        const std::vector<uint32_t> words = lf_readBglWords(in);
        lf_decodeBglWords(words, path, steps);
    } catch (const std::exception& e) {
        gf_logErrorLine("Exception in lf_processBGLfile (std::ex): {} {} {}", lf_pathTextForLog(path), kDash, e.what());
        throw;
    } catch (...) {
        gf_logErrorLine("Exception in lf_processBGLfile: {}", lf_pathTextForLog(path));
        throw;
    }
}

void lf_processBGLfile(const fs::path& path)
{
    lf_processBGLfile(path, lf_scanSteps());
}

void lf_walkAirportRecord(uint64_t r, BglWords words, bool ab, uint64_t w, const std::string& ident,
                          const fs::path& path, const BglAirportSteps& steps)
{
    const uint64_t n = words.size();
    ApfContent airport;
    airport.code = ident;
    BglAirportState state;
    const bool linked = steps.link(airport, path);
    const std::string bglText = lf_pathTextForLog(path);
    // The record's end; what lies beyond belongs to the next record.
    const uint64_t end = r + w;
    const BglAirportHeader header = lf_decodeAirportHeader(r, words, ab, std::min(end, n));
    airport.altitude = header.altitude;
    airport.airportName = header.name;

    uint64_t o3 = r + (ab ? bgl::kAirportAbFirstSub : bgl::kAirportFirstSub);
    for (uint32_t count = 0; o3 < end; ++count) {
        lf_countBglStep();
        if (count == bgl::kMostRecords) {
            lf_logLoopLimit("SIA");
            break;
        }
        if (o3 + 1 >= n) {
            if (ScanFileLines::admit())
                gf_logLine("   Error: o3={} exceeded data buffer size ({}), aborting.", o3, n);
            break;
        }
        const uint16_t id = lf_recordId(words, o3);
        const uint32_t size = lf_recordSize(words, o3);
        const uint64_t subEnd = std::min({o3 + size / 4, end, n});
        if ((id == bgl::kParkingList && !ab) || (id == bgl::kParkingListAb && ab)) {
            lf_decodeTaxiParkings(o3, subEnd, words, airport, state, ab, bglText);
            break;
        }
        if (id == bgl::kHelipad)
            lf_decodeHelipads(o3, subEnd, words, airport, state, bglText);
        if (size < 4) {
            if (!ScanFileLines::admit())
                break;
            const std::string text = fmt::format("   Warning: decodeSizeAtBoundary returned 0 at o3 = {}", o3);
            if (id == bgl::kAirportName || id == bgl::kHelipad)
                gf_logErrorLine(text);
            else
                gf_logLine(text);
            break;
        }
        o3 += size / 4;
    }
    if (!linked)
        steps.generate(airport, state.nextHelipad - 1);
}

BglAirportHeader lf_decodeAirportHeader(uint64_t r, BglWords words, bool ab, uint64_t end)
{
    BglAirportHeader header;
    header.altitude = lf_altitudeFeet(lf_word(words, r + bgl::kAirportAltitude));
    uint64_t o3 = r + (ab ? bgl::kAirportAbFirstSub : bgl::kAirportFirstSub);
    for (uint32_t count = 0; o3 + 1 < end; ++count) {
        lf_countBglStep();
        if (count == bgl::kMostRecords) {
            lf_logLoopLimit("Airport Basic data");
            break;
        }
        const uint32_t size = lf_recordSize(words, o3);
        if (size < 4) {
            if (ScanFileLines::admit())
                gf_logErrorLine("   Warning: decodeSizeAtBoundary returned 0 at o3 = {}", o3);
            break;
        }
        if (lf_recordId(words, o3) == bgl::kAirportName) {
            std::string name = lf_decodeAirportNAME(words, o3, std::min(o3 + size / 4, end));
            if (header.name.empty())
                header.name = std::move(name);
            else if (name != header.name)
                header.name.clear();
        }
        o3 += size / 4;
    }
    return header;
}

std::string lf_decodeAirportNAME(BglWords words, uint64_t index, uint64_t end)
{
    const int64_t count = std::min<int64_t>(static_cast<int64_t>(lf_recordSize(words, index) & 0xFFFF) -
                                                bgl::kNameFirstByte,
                                            bgl::kNameMostChars);
    if (count <= 0)
        return {};
    const uint64_t first = index * 4 + bgl::kNameFirstByte;
    const uint64_t endByte = std::min<uint64_t>(end, words.size()) * 4;
    uint64_t available = first < endByte ? endByte - first : 0;
    if (available < static_cast<uint64_t>(count) && ScanFileLines::admit())
        gf_logLine("lf_decodeAirportNAME EXCEPTION");
    available = std::min(available, static_cast<uint64_t>(count));
    if (available == 0)
        return {};
    std::string_view raw(reinterpret_cast<const char*>(words.data()) + first, available);
    // The name is a C text: what follows a NUL is not part of it.
    raw = raw.substr(0, raw.find('\0'));
    return gf_cp1252ToUtf8(raw);
}
