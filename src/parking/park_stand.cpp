#include "parking/park_stand.h"

#include <algorithm>
#include <cmath>
#include <numeric>

#include "foundation/geo.h"

std::vector<ParkStand> g_parkStands;
uint32_t g_parkStandsGeneration = 0;

namespace {

constexpr double kOverlapFactor = 1.1;
// Along a meridian one degree is 60 nm on the sphere of gf_distanceNm, and no two points
// lie closer than their latitudes do; the margin keeps rounding on the safe side.
constexpr double kNmPerDegreeLatitude = 60.0 * 0.999;
// Below this the great circle between two points is at least 0.999 times the east-west
// arc at the higher of their latitudes.
constexpr double kSmallLongitudeDeg = 1.0;

} // namespace

ParkStand::ParkStand(std::string id_, std::vector<StandFlight> flights_, const StandPlace& place,
                     double radiusMetres, bool notCargo, bool notRamp, bool notHeli)
    : flights(std::move(flights_)), id(std::move(id_)), lat(place.lat), lon(place.lon), heading(place.heading),
      radius(radiusMetres * g_metresToNm), cargo(!notCargo), ramp(!notRamp), heli(!notHeli)
{
    adjacent.reserve(8);
}

ParkStand& gf_addParkStand(std::vector<ParkStand>& table, std::string id, std::vector<StandFlight> flights,
                           const StandPlace& place, double radiusMetres, bool notCargo, bool notRamp, bool notHeli)
{
    return table.emplace_back(std::move(id), std::move(flights), place, radiusMetres, notCargo, notRamp, notHeli);
}

void gf_clearParkStands()
{
    g_parkStands.clear();
    ++g_parkStandsGeneration;
}

void gf_setParkStands(std::vector<ParkStand>&& table)
{
    g_parkStands = std::move(table);
    ++g_parkStandsGeneration;
}

void gf_numberAndLinkStands(std::vector<ParkStand>& table)
{
    const size_t n = table.size();
    double largestRadius = 0.0;
    for (size_t i = 0; i < n; ++i) {
        table[i].number = static_cast<uint32_t>(i + 1);
        table[i].adjacent.clear();
        largestRadius = std::max(largestRadius, table[i].radius);
    }
    // A sweep in latitude order tests only the pairs that can overlap, and a bound on the
    // east-west distance passes over most of those without the trigonometry (which costs
    // much under Windows); the lists are sorted afterwards into table order.
    std::vector<size_t> byLat(n);
    std::iota(byLat.begin(), byLat.end(), size_t{0});
    std::sort(byLat.begin(), byLat.end(), [&](size_t a, size_t b) { return table[a].lat < table[b].lat; });
    std::vector<double> cosLat(n);
    for (size_t i = 0; i < n; ++i)
        cosLat[i] = std::cos(table[i].lat * g_degToRad);
    for (size_t i = 0; i < n; ++i) {
        ParkStand& a = table[byLat[i]];
        const double reachDeg = (a.radius + largestRadius) / kOverlapFactor / kNmPerDegreeLatitude;
        for (size_t j = i + 1; j < n; ++j) {
            ParkStand& b = table[byLat[j]];
            if (b.lat - a.lat > reachDeg)
                break;
            const double reachNm = (a.radius + b.radius) / kOverlapFactor;
            const double dLon = std::abs(b.lon - a.lon);
            if (dLon < kSmallLongitudeDeg &&
                dLon * kNmPerDegreeLatitude * std::min(cosLat[byLat[i]], cosLat[byLat[j]]) > reachNm)
                continue;
            const double d = gf_distanceNm({a.lat, a.lon}, {b.lat, b.lon});
            if (a.radius + b.radius > kOverlapFactor * d) {
                a.adjacent.push_back(b.number);
                b.adjacent.push_back(a.number);
            }
        }
    }
    for (ParkStand& s : table) {
        std::sort(s.adjacent.begin(), s.adjacent.end());
        s.adjacent.shrink_to_fit();
    }
}

std::vector<uint32_t> gf_recentSlots(int64_t timeOfWeek, uint32_t n)
{
    std::vector<uint32_t> slots;
    slots.reserve(g_slotsPerDay);
    uint32_t slot = gf_slotOf(timeOfWeek);
    for (uint32_t i = 0; i < n; ++i) {
        slots.push_back(slot);
        slot = slot == 0 ? g_slotsPerDay - 1 : slot - 1;
    }
    return slots;
}
