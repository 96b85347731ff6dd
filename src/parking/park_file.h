#pragma once
// The park-position file: root/meta, root/parameters and root/parkpositions with one
// "parkpos" per stand and one "opt" per flight seen there. The same format holds the
// archived, generated, learned and handmade files.
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include <pugixml.hpp>

#include "parking/park_stand.h"

enum class ApfMode : int32_t {
    Learned = 0, // the eight settings, changed or manual stands, and every flight
    Full = 1,    // every stand with all its attributes, no flights (generated files)
};

struct ApfContent {
    std::string code; // the callers name the file code + ".xml"
    std::string airportName;
    std::string bglPath;
    std::string publisher;
    int32_t qfReal = 0;
    int32_t qfSoft = 0;
    int32_t altitude = 0; // feet
    std::vector<ParkStand> stands;
    // Learned mode: "parkpos" children written back unchanged after the stands (learned
    // stands that the park file no longer has), and "opts" children, each with the "opt"
    // elements of the stand of its "id" that were read but not used (a day that is no
    // weekday), written back into that stand.
    pugi::xml_node keptParkpos;
};

// Writes the whole file through a temporary file; true when it was saved.
bool gf_writeApf(const ApfContent& content, const std::filesystem::path& path, ApfMode mode, int32_t simKind);

// A number attribute read with a decimal point whatever the locale; absent or unreadable
// reads as 0.
double gf_attributeDouble(const pugi::xml_node& node, const char* name);
