#pragma once
// The builder's hand-written tables (tools/data/*.csv, described in tools/README.md).
#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "catalogue/dbase.h"

namespace databuild {

struct HandType {
    std::string type; // ICAO designator
    TypeCategory category = TypeCategory::Other;
    bool cargo = false;
    double spanMetres = 0.0;
    std::string similar; // group name; empty: none
    std::string wake;    // ICAO wake turbulence category: "L", "M", "H", "J", or "L/M" for variants of both
};

struct TypeFix {
    std::string wrong;
    std::string correct;
};

struct Publisher {
    std::vector<std::string> names; // the first is the one its sceneries are listed under
    std::vector<std::string> airports;
};

struct HandTables {
    std::vector<HandType> types;
    std::vector<TypeFix> fixes;
    std::vector<std::string> cargoOperators;
    std::vector<Publisher> publishers;
    std::vector<std::string> simAddonAirports;
    std::map<std::string, int32_t> stands; // airport -> number of stands
};

// Reads every table of the folder; throws std::runtime_error "<file>:<line>: <what>",
// also for a designator listed twice in types.csv.
HandTables readHandTables(const std::filesystem::path& folder);

// The rows of one table in the hand tables' form (CSV, the header line first, '#' and blank
// lines comments), each split at ','; throws std::runtime_error "<file>:<line>: <what>".
std::vector<std::vector<std::string>> readTableRows(const std::filesystem::path& file, std::string_view header);
// The items of a list inside one field, separated by ';'.
std::vector<std::string> listItems(std::string_view field);

// "light", "buzjet", "large", "heavy", "high_performance", "rotorcraft".
std::string_view categoryName(TypeCategory category);

} // namespace databuild
