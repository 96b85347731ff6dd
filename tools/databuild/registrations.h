#pragma once
// The synthetic registration table: none exists in the open data, so the builder draws
// one from a seed. Its CSV form (registrations.csv, see tools/README.md) is what the
// livery generator and the RealTraffic stand-in read.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "databuild/hand_tables.h"
#include "databuild/open_data.h"

namespace databuild {

struct Registration {
    std::string reg;
    std::string airl;
    std::string type;
    std::string opr; // empty unless another airline operates it
    bool cargo = false;
};

inline constexpr uint32_t g_defaultSeed = 20250611;
inline constexpr size_t g_defaultRegistrationCount = 60000;

// The hand fleets first, then fleets of the other active airlines whose country has a
// registration form, until the table holds `count` registrations; sorted by
// registration. The same inputs and seed always give the same table. Throws
// std::runtime_error when a fleet cannot be written in its country's form.
std::vector<Registration> generateRegistrations(const HandTables& tables, const std::vector<OpenAirline>& airlines,
                                                uint32_t seed, size_t count);

// "registration,airline,type,operator,cargo" then one line per registration, cargo 0 or 1.
std::string registrationsCsv(const std::vector<Registration>& registrations);

} // namespace databuild
