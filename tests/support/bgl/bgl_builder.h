#pragma once
// The BGL builder: writes BGL scenery files, in exactly the layout the add-on airport scan
// reads, from a plain description (bgl_builder.md) or from these structures, with faults
// on purpose where asked. Test code: the scanner's tests, its fuzz test, the benchmark and
// the bgl_builder program use it.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace bglbuild {

struct Name {
    std::string bytes; // as stored (Windows-1252)
    std::optional<uint32_t> size;
};

struct Helipad {
    double lat = 0.0;
    double lon = 0.0;
    float width = 10.0f;  // metres
    float heading = 0.0f; // degrees
    std::optional<uint32_t> size;
};

struct Parking {
    uint32_t code = 0;   // name code 0..63
    uint32_t type = 1;   // 1..11 are used
    uint32_t number = 0; // 0..4095
    float radius = 10.0f;
    float heading = 0.0f;
    double lat = 0.0;
    double lon = 0.0;
    uint32_t airlines = 0; // airline-code words after the entry
};

struct ParkingList {
    std::vector<Parking> parkings;
    std::optional<uint32_t> count; // the count written, when not the real one
    std::optional<uint32_t> size;
};

// A sub-record of another kind: its id and payload words (zero).
struct OtherSub {
    uint16_t id = 0;
    uint32_t words = 0;
    std::optional<uint32_t> size;
};

using Sub = std::variant<Name, Helipad, ParkingList, OtherSub>;

struct Airport {
    bool ab = false; // record 0xAB (else 0x3C)
    std::string ident;
    std::optional<uint32_t> identValue; // written instead of the packed ident
    double altitudeMetres = 0.0;
    std::optional<uint32_t> altitudeRaw;
    std::vector<Sub> subs;
    std::optional<uint32_t> size;
};

struct OtherRecord {
    uint16_t id = 0;
    uint32_t words = 0;
    std::optional<uint32_t> size;
};

using Record = std::variant<Airport, OtherRecord>;

struct Section {
    uint32_t type = 3;
    uint32_t flags = 0;
    std::vector<Record> records;
    bool endMark = true; // the record of size 0 that ends the chain
    std::optional<uint32_t> subsectionOffset;
    std::optional<uint32_t> dataOffset;
};

struct BglFile {
    std::vector<Section> sections;
    std::optional<uint32_t> headerSize;
    std::optional<uint32_t> sectionCount;
    std::optional<uint64_t> truncate; // bytes kept
};

// One file of a tree: a BGL file, or a folder link when linkTarget is set.
struct TreeEntry {
    std::filesystem::path path; // relative to the tree's root
    BglFile bgl;
    std::optional<std::filesystem::path> linkTarget;
};

uint32_t packIdent(std::string_view ident);
uint32_t lonUnits(double lon);
uint32_t latUnits(double lat);

std::string render(const BglFile& file);
// Throws std::runtime_error naming the line of a description that cannot be read.
std::vector<TreeEntry> parseDescription(std::string_view text);
// The bytes of a description's first file (a description of one file needs no "file").
std::string renderDescription(std::string_view text);
// Writes every entry below root, making the folders on the way.
void writeTree(const std::filesystem::path& root, const std::vector<TreeEntry>& entries);
void writeTree(const std::filesystem::path& root, std::string_view description);

// A tree for the benchmark: airports files with one supported-looking airport each (codes
// from the list, 20 parkings and 2 helipads), others files of non-airport sections, spread
// over nested folders of at most perFolder files; every file carries 40..400 filler records
// times the scale (about 6 KB a file at scale 1). The same seed gives the same tree.
struct BenchTree {
    uint64_t files = 0;
    uint64_t bytes = 0;
};
BenchTree writeBenchTree(const std::filesystem::path& root, const std::vector<std::string>& codes, uint32_t airports,
                         uint32_t others, uint32_t perFolder, uint32_t seed, uint32_t scale = 1);

} // namespace bglbuild
