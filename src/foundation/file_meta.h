#pragma once
// The "meta" block at the head of the program's own XML data files (park-position files,
// the scanned-liveries file): who wrote the file, with which data version, when and for
// which simulator. Readers check it before they trust a file.
#include <cstdint>
#include <optional>
#include <string>

#include <pugixml.hpp>

enum class SimKind : int32_t {
    Msfs2020 = 1,
    Msfs2024 = 2,
    Prepar3D = 3, // v5 and v6
};

struct FileMeta {
    std::string author;
    std::string version; // the data version the caller records
    std::string date;
    std::string p3d;     // "v56" for Prepar3D, else empty
    std::string msfs;    // "2020" or "2024", empty for Prepar3D
    int32_t sim = 0;     // a SimKind
};

void gf_setMetaSim(FileMeta& meta, int32_t kind);
inline void gf_setMetaSim(FileMeta& meta, SimKind kind)
{
    gf_setMetaSim(meta, static_cast<int32_t>(kind));
}

// Appends root/meta with its "info" entries (author, version, date of today, copyright,
// sim, then P3D or MSFS) to a document or node, appending "root" when it has none; true
// when every entry was added whole.
bool gf_writeMeta(pugi::xml_node node, const FileMeta& meta);

// Reads root/meta (or meta directly under the node when it has no "root"). Empty when
// the block is missing, has no copyright ("no copyright info in the file?" is logged for
// an empty one), or names no simulator while acceptWithoutSim is clear.
std::optional<FileMeta> gf_readMeta(const pugi::xml_node& node, bool acceptWithoutSim);

// The named child of "root", or of the document itself when it has no "root".
pugi::xml_node gf_xmlChildOfRoot(const pugi::xml_node& doc, const char* name);

// Append one attribute and set its value ("true"/"false" for a bool); false when it
// cannot be added.
bool gf_appendXmlAttribute(pugi::xml_node node, const char* name, const std::string& text);
bool gf_appendBoolAttribute(pugi::xml_node node, const char* name, bool value);
