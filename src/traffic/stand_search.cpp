#include <cmath>

#include "simlink/sim_client.h"
#include "traffic/live_stands.h"
#include "traffic/live_stands_internal.h"
#include "traffic/stand_lookup.h"
#include "traffic/traffic_state.h"
#include "traffic/user_stand.h"

std::atomic<uint32_t> g_learnedStandChanges{0};

namespace {

constexpr double kUserStandNm = 0.029697624190064796;  // 55 m
constexpr double kTooSmallNm = 0.0009719222462203025;  // 1.8 m
constexpr double kSmallStandNm = 0.010799136069114472; // 20 m
constexpr double kWideNm = 0.0458963282937365;         // 85 m
constexpr double kSamePosition = 1e-8;                 // degrees

struct UserStandCache {
    double lat = 0.0;
    double lon = 0.0;
    bool valid = false;
    std::string id;
};
UserStandCache g_userStandCache;

bool lf_tooSmall(const LiveAc& ac, const ParkStand& stand)
{
    return ac.halfSpan - stand.radius > kTooSmallNm;
}

bool lf_holds(const LiveAc& ac, uint32_t standNumber)
{
    return ac.standNumber == standNumber && ac.status != SimStatus::RemovingFromSim &&
           (ac.phase == FlightPhase::Parked || ac.phase == FlightPhase::PushingBack);
}

// A mark whose holder left without being removed (pushed back, record erased) is stale.
bool lf_isOccupied(ParkStand& stand)
{
    if (stand.occupied && lf_standHolder(stand.number) == nullptr)
        stand.occupied = false;
    return stand.occupied;
}

} // namespace

std::string gf_userStand(const GeoPos& position)
{
    if (g_parkStands.empty() || !g_userOnGround)
        return {};
    UserStandCache& c = g_userStandCache;
    if (c.valid && std::abs(c.lat - position.latitude) <= kSamePosition &&
        std::abs(c.lon - position.longitude) <= kSamePosition)
        return c.id;
    double best = 900.0;
    std::string id;
    for (const ParkStand& stand : g_parkStands) {
        const double d = gf_distanceNm(position, {stand.lat, stand.lon});
        if (d <= kUserStandNm && d < best) {
            best = d;
            id = stand.id;
        }
    }
    c = {position.latitude, position.longitude, true, id};
    return id;
}

void gf_resetUserStandCache()
{
    g_userStandCache = {};
}

const LiveAc* lf_standHolder(uint32_t standNumber)
{
    for (const LiveAc& ac : g_liveAcs) {
        if (lf_holds(ac, standNumber))
            return &ac;
    }
    return nullptr;
}

void gf_releaseStandOf(const LiveAc& ac)
{
    if (ac.standNumber == 0 || (ac.phase != FlightPhase::Parked && ac.phase != FlightPhase::PushingBack))
        return;
    ParkStand* stand = lf_findStandByNumber(ac.standNumber);
    if (stand == nullptr || !stand->occupied)
        return;
    for (const LiveAc& other : g_liveAcs) {
        if (&other != &ac && lf_holds(other, ac.standNumber))
            return;
    }
    stand->occupied = false;
}

ParkStand* lf_findFreeStandNear(const GeoPos& position, LiveAc& ac, double radiusNm, bool wide, bool skipOccupied)
{
    double best = 900.0;
    double bestWide = 900.0;
    ParkStand* result = nullptr;
    ParkStand* small = nullptr;
    ParkStand* wideResult = nullptr;
    const bool heli = ac.category == TypeCategory::Rotorcraft;
    for (ParkStand& stand : g_parkStands) {
        // A helicopter pad nearest an airliner must not hide the proper stand behind it.
        if (stand.heli != heli || (skipOccupied && lf_isOccupied(stand)))
            continue;
        const double d = gf_distanceNm(position, {stand.lat, stand.lon});
        if (d <= radiusNm && d < best) {
            const bool tooSmall = lf_tooSmall(ac, stand);
            if (tooSmall && d > kSmallStandNm)
                continue;
            result = &stand;
            small = tooSmall ? &stand : nullptr;
            best = d;
            wide = false;
        } else if (wide && d <= kWideNm && d < bestWide && !lf_tooSmall(ac, stand) && !ac.callsign.empty()) {
            for (const StandFlight& entry : stand.flights) {
                if (gf_flightFitsStandEntry(ac.callsign, ac, entry)) {
                    wideResult = &stand;
                    bestWide = d;
                    break;
                }
            }
        }
    }
    if (result == nullptr)
        return wideResult;
    if (result == small) {
        result->radius = ac.halfSpan - g_metresToNm;
        result->radiusChange = true;
        ++g_learnedStandChanges;
    }
    return result;
}
