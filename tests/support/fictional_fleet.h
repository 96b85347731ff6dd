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

// Fleets for the active airlines of the open data (one to three types of one size
// category each; about one aircraft in 25 operated by another airline of the same
// country; a cargo operator's aircraft cargo) and the private owners, `count` in all,
// sorted by registration. The same inputs and seed always give the same table.
std::vector<databuild::Registration> fictionalRegistrations(const databuild::DataInputs& inputs, uint32_t seed,
                                                            size_t count);

// "registration,airline,type,operator,cargo", then one line per registration.
std::string registrationsCsv(const std::vector<databuild::Registration>& registrations);

// The builder's data files with `count` fictional registrations in dbase.xml, and the
// same registrations as CSV.
struct FictionalData {
    databuild::DataFiles files;
    std::string registrationsCsv;
};
FictionalData fictionalDataFiles(const std::filesystem::path& toolsFolder, size_t count,
                                 uint32_t seed = g_fictionalSeed);

} // namespace tavtest
