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
};

struct TypeFix {
    std::string wrong;
    std::string correct;
};

struct Publisher {
    std::vector<std::string> names; // the first is the one its sceneries are listed under
    std::vector<std::string> airports;
};

struct Fleet {
    std::string airline;
    int32_t size = 0;
    std::vector<std::string> types;
    std::string block;   // the registrations' common beginning, e.g. "D-AI"; may be empty
    std::string country; // empty: the airline's country in the open data
};

struct HandTables {
    std::vector<HandType> types;
    std::vector<TypeFix> fixes;
    std::vector<std::string> cargoOperators;
    std::vector<Publisher> publishers;
    std::vector<std::string> simAddonAirports;
    std::map<std::string, int32_t> stands; // airport -> number of stands
    // Country -> its registration forms: '@' a letter, '#' a digit, '%' a digit 1-9,
    // anything else written as it is.
    std::map<std::string, std::vector<std::string>> registrationForms;
    std::vector<Fleet> fleets;
};

// Reads every table of the folder; throws std::runtime_error "<file>:<line>: <what>".
HandTables readHandTables(const std::filesystem::path& folder);

// "light", "buzjet", "large", "heavy", "high_performance", "rotorcraft".
std::string_view categoryName(TypeCategory category);

} // namespace databuild
