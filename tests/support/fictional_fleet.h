#pragma once
// Registrations for the tests and the demo. The published data files hold none (the open
// data have none), so these are made up, and fictional: every one carries the nationality
// mark "Q", which no state uses (Q is the series of the Q codes), so none of them can be
// taken for a real aircraft. Airlines' aircraft are written "QX-YZAB" (a block "QX-YZ" of
// their own), private owners' ("ZZZ") "Q-XYZ", short enough to be found in livery titles.
#include <cstdint>
#include <string>
#include <vector>

#include "databuild/data_files.h"

namespace tavtest {

inline constexpr uint32_t g_fictionalSeed = 20250611;

// The builder's data files with `count` fictional registrations in dbase.xml: fleets for
// the active airlines of the open data and the private owners, sorted by registration;
// and the same registrations as CSV ("registration,airline,type,operator,cargo", then one
// line each). The airlines of demo/airline_fleets.csv (beside the tools folder) that the
// open data know fly the types it lists for them, in fleets ten times the others' on
// average; every other (active) airline
// one to three types of one size category, drawn. About one aircraft in 25 is operated by
// another airline of the same country (a table airline's only by a table airline flying
// its type); a cargo operator's aircraft are cargo. The same inputs and seed always give
// the same table.
struct FictionalData {
    databuild::DataFiles files;
    std::string registrationsCsv;
};
FictionalData fictionalDataFiles(const std::filesystem::path& toolsFolder, size_t count,
                                 uint32_t seed = g_fictionalSeed);

} // namespace tavtest
