#include <algorithm>
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
    uint32_t stands = 0; // the g_parkStandsGeneration it was found in
    bool valid = false;
    std::string id;
};
UserStandCache g_userStandCache;

bool lf_tooSmall(const LiveAc& ac, const ParkStand& stand)
{
    return ac.halfSpan - stand.radius > kTooSmallNm;
}

bool lf_standsThere(const LiveAc& ac, uint32_t standNumber)
{
    return ac.standNumber == standNumber && ac.status != SimStatus::RemovingFromSim && !ac.erase && !ac.removed;
}

// Held by another live aircraft parked there, pushing back from it or on its way in: the
// holder itself is the only mark, so no step that drops a flag can free the stand while
// it stands there.
bool lf_isOccupied(const ParkStand& stand, const LiveAc& seeker)
{
    return std::any_of(g_liveAcs.begin(), g_liveAcs.end(), [&](const LiveAc& ac) {
        return &ac != &seeker && lf_standsThere(ac, stand.number) &&
               (ac.phase == FlightPhase::Parked || ac.phase == FlightPhase::PushingBack ||
                ac.phase == FlightPhase::Parking);
    });
}

} // namespace

std::string gf_userStand(const GeoPos& position)
{
    if (g_parkStands.empty() || !g_userOnGround)
        return {};
    UserStandCache& c = g_userStandCache;
    if (c.valid && c.stands == g_parkStandsGeneration && std::abs(c.lat - position.latitude) <= kSamePosition &&
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
    c = {position.latitude, position.longitude, g_parkStandsGeneration, true, id};
    return id;
}

void gf_resetUserStandCache()
{
    g_userStandCache = {};
}

LiveAc* lf_standHolder(uint32_t standNumber, bool pushedBackToo)
{
    for (LiveAc& ac : g_liveAcs) {
        if (lf_standsThere(ac, standNumber) &&
            (ac.phase == FlightPhase::Parked || ac.phase == FlightPhase::PushingBack ||
             (pushedBackToo && ac.phase == FlightPhase::PushedBack)))
            return &ac;
    }
    return nullptr;
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
        if (stand.heli != heli || (skipOccupied && lf_isOccupied(stand, ac)))
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
