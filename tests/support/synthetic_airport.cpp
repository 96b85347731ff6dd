#include "support/synthetic_airport.h"

#include <algorithm>
#include <random>
#include <string>

#include <fmt/format.h>

#include "foundation/geo.h"

namespace synth {

namespace {

constexpr const char* kAirlines[] = {"DLH", "KLM", "BAW", "AFR", "UAE", "RYR", "EZY", "SWR"};
constexpr const char* kTypes[] = {"A320", "B738", "A333", "E190", "B77W", "A21N"};
constexpr double kRadiusMetres = 30.0;

} // namespace

// A flight identity (aircraft and callsigns) serves several entries, on several stands
// and days, as real traffic does: the searches must keep it from showing twice.
std::vector<ParkStand> makeAirport(const AirportSpec& spec)
{
    std::mt19937 rng(spec.seed);
    const auto pick = [&rng](int32_t n) { return static_cast<int32_t>(rng() % static_cast<uint32_t>(n)); };
    const auto chance = [&rng](double p) { return std::uniform_real_distribution<double>(0.0, 1.0)(rng) < p; };

    const int32_t identities = std::max(1, spec.stands * spec.flightsPerStand / 3);
    std::vector<StandFlight> pool(static_cast<size_t>(identities));
    for (int32_t i = 0; i < identities; ++i) {
        StandFlight& f = pool[static_cast<size_t>(i)];
        f.airl = kAirlines[pick(8)];
        f.cpl = chance(spec.coupledShare);
        f.type = kTypes[pick(6)];
        f.reg = fmt::format("D-{:05}", i);
        f.cs1 = fmt::format("{}{}", f.airl, 2 * i + 100);
        f.cs2 = f.cpl ? fmt::format("{}{}", f.airl, 2 * i + 101) : std::string();
        f.origin = 1;
    }

    const double metresPerDegree = 1852.0 * 60.0;
    std::vector<ParkStand> table;
    table.reserve(static_cast<size_t>(spec.stands));
    for (int32_t s = 0; s < spec.stands; ++s) {
        const int32_t row = s / spec.standsPerRow;
        const int32_t col = s % spec.standsPerRow;
        const StandPlace place{spec.centreLat + row * 200.0 / metresPerDegree,
                               spec.centreLon + col * spec.spacingMetres / metresPerDegree / 0.6428, 0.0};
        std::vector<StandFlight> flights;
        flights.reserve(static_cast<size_t>(spec.flightsPerStand));
        for (int32_t f = 0; f < spec.flightsPerStand; ++f) {
            StandFlight& flight = flights.emplace_back(pool[static_cast<size_t>(pick(identities))]);
            flight.day = static_cast<uint32_t>(1 + pick(7));
            flight.real = chance(spec.realShare) ? 1 : 0;
            const int32_t from = pick(48);
            const int32_t to = std::min(47, from + pick(spec.longestStaySlots));
            for (int32_t h = from; h <= to; ++h)
                flight.hours.set(static_cast<size_t>(h));
            flight.number = static_cast<uint32_t>(f + 1);
        }
        gf_addParkStand(table, fmt::format("S{}", s + 1), std::move(flights), place, kRadiusMetres, true, true, true);
    }
    gf_numberAndLinkStands(table);
    return table;
}

} // namespace synth
