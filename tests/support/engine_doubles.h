#pragma once
// Doubles of what the live aircraft engine asks of the aircraft catalogue and the livery
// tables, and an injected steady clock. installEngineDoubles() fills the catalogue with
// six types, one per category, each with a livery, and puts the engine's settings back
// to their defaults; removeEngineDoubles() puts the product's neighbours back.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "catalogue/dbase.h"

namespace enginetest {

struct CatalogueDouble {
    std::map<std::string, TypeCategory, std::less<>> types; // the known types
    std::map<std::string, double, std::less<>> halfSpans;   // nm; missing: 0.02
    std::map<std::string, DbaseRecord, std::less<>> registrations;
    // Livery title by type; a type without one gets none.
    std::map<std::string, std::string, std::less<>> liveries;
    // Titles the simulator could not create, reported by the engine (flight texts).
    std::vector<std::string> notCreated;
    uint64_t steadyTicks = 0; // 100 ns
};

CatalogueDouble& catalogue();
// A320, D328 and AT72 large, B744 heavy, C172 light, CL30 buzjet, F16 high performance, R44 rotorcraft.
void installEngineDoubles();
void removeEngineDoubles();

} // namespace enginetest
