#include <algorithm>

#include "foundation/log.h"
#include "parking/park_airports.h"
#include "traffic/engine_neighbours.h"
#include "traffic/engine_services.h"
#include "traffic/live_stands.h"
#include "traffic/live_stands_internal.h"
#include "traffic/stand_lookup.h"
#include "traffic/traffic_service.h"
#include "traffic/traffic_state.h"
#include "traffic/user_stand.h"

namespace {

constexpr double kBirthAirportNm = 5.0;
constexpr double kBirthSampleNm = 0.018898488120950324; // 35 m
constexpr double kBirthStandNm = 0.029697624190064796;  // 55 m
constexpr double kBirthMaxSpeedKt = 5.0;
constexpr double kCollisionFactor = 1.1;

double lf_collisionDistance(std::string_view typeA, std::string_view typeB)
{
    return kCollisionFactor * (gf_engine().halfWingspan(typeA) + gf_engine().halfWingspan(typeB));
}

bool lf_isPlaced(const ParkStand& stand)
{
    return stand.lat != 0.0 || stand.lon != 0.0;
}

// Takes the static out of the live aircraft's way: an active one is removed, a queued
// creation withdrawn (its line logged after "queued ") or else removed once created.
void lf_makeWay(StaticAc& s, std::string_view line)
{
    if (s.status == SimStatus::Adding2Sim) {
        if (gf_eraseQueuedCreation(g_staticCreateDeque, s.hexid)) {
            s.removed = true;
            gf_logLine("queued {}", line);
        } else {
            s.removeWhenCreated = true;
        }
    } else if (s.status == SimStatus::Active) {
        gf_logLine(line);
        removeAircraftFromSim(s);
    }
}

} // namespace

const ParkStand* lf_findBirthStand(LiveAc& ac)
{
    if (g_parkStands.empty() || g_parkAirport.code.empty() || ac.samples.empty())
        return nullptr;
    const PosSample& front = ac.samples.front();
    if (gf_distanceNm({front.latitude, front.longitude}, {g_parkAirport.lat, g_parkAirport.lon}) > kBirthAirportNm)
        return nullptr;
    GeoPos position{front.latitude, front.longitude};
    if (!front.stationary) {
        const PosSample& last = ac.samples.back();
        const PosSample& next = ac.samples.size() > 1 ? ac.samples[1] : front;
        if (next.groundSpeed > kBirthMaxSpeedKt ||
            gf_distanceNm(position, {last.latitude, last.longitude}) > kBirthSampleNm)
            return nullptr;
        position = {last.latitude, last.longitude};
    }
    ParkStand* stand = lf_findFreeStandNear(position, ac, kBirthStandNm, front.stationary, false);
    if (stand == nullptr)
        return nullptr;
    if (!g_reservedStandId.empty() && stand->id == g_reservedStandId)
        return nullptr;
    const UserState user = gf_userSnapshotCopy();
    if (stand->id == gf_userStand({user.latitude, user.longitude}))
        return nullptr;
    // The neighbour first: a claim removes the holder, which must not go for an aircraft
    // that is then dropped all the same.
    if (lf_isParkedBlocking(stand->adjacent, *stand, ac) == nullptr && lf_claimStandFromLive(stand->number, ac.callsign)) {
        lf_makeWayAtStand(ac, *stand);
        PosSample& f = ac.samples.front();
        if (!f.stationary) {
            f.stationary = true;
            f.groundSpeed = 0.0;
        }
        return stand;
    }
    ac.erase = true;
    return nullptr;
}

bool lf_claimStandFromLive(uint32_t standNumber, std::string_view callsign)
{
    // The aircraft standing there, not the first record that still names the stand.
    LiveAc* found = lf_standHolder(standNumber, true);
    if (found == nullptr || found->status != SimStatus::Active)
        return true;
    LiveAc& holder = *found;
    const std::string standText = gf_standText(standNumber);
    if (holder.callsign == callsign) {
        gf_logLine("{:8}: {:8} ac with same callsign {} wants it, remove existing ... ", standText, holder.callsign,
                   callsign);
        removeAircraftFromSim(holder);
        return true;
    }
    if (gf_callsignStem(callsign) == holder.callsign)
        return false;
    const bool holderGhost = holder.callsign.ends_with('_');
    const bool newGhost = callsign.ends_with('_');
    if (callsign == gf_callsignStem(holder.callsign) || (holderGhost && !newGhost)) {
        gf_logLine("{:8}: {:8} ghost, replace by {}", standText, holder.callsign, callsign);
        removeAircraftFromSim(holder);
        return true;
    }
    if ((!holderGhost && newGhost) || holder.longStay)
        return false;
    gf_logLine("{:8}: {:8} removed because another live {} wants the stand ...", standText, holder.callsign, callsign);
    removeAircraftFromSim(holder);
    return true;
}

void lf_makeWayAtStand(LiveAc& live, ParkStand& stand)
{
    const auto it = std::find_if(g_staticAcs.begin(), g_staticAcs.end(),
                                 [&stand](const StaticAc& s) { return s.standNumber == stand.number; });
    if (it != g_staticAcs.end()) {
        const bool same = it->secondCallsign == live.callsign ||
                          (!live.registration.empty() && it->registration == live.registration);
        lf_makeWay(*it, fmt::format("{:8}: {:8} {} makes way for{} {} {}", stand.id, it->callsign, it->registration,
                                    same ? " the same live version" : "", live.callsign, live.registration));
    }
    std::erase_if(g_staticAcs, [](const StaticAc& s) { return s.removed; });
    for (const uint32_t number : std::vector<uint32_t>(stand.adjacent))
        lf_makeWayAtExcludedStand(live, number, stand);
    std::erase_if(g_staticAcs, [](const StaticAc& s) { return s.removed; });
}

void lf_makeWayAtExcludedStand(LiveAc& live, uint32_t adjacentNumber, ParkStand& stand)
{
    const ParkStand* adjacent = lf_findStandByNumber(adjacentNumber);
    const GeoPos at = adjacent != nullptr ? GeoPos{adjacent->lat, adjacent->lon} : GeoPos{0.0, 0.0};
    for (StaticAc& s : g_staticAcs) {
        // One still being created would appear beside the live aircraft: it goes too.
        if ((s.status != SimStatus::Active && s.status != SimStatus::Adding2Sim) || s.removed ||
            s.standNumber != adjacentNumber)
            continue;
        if (gf_distanceNm(at, {stand.lat, stand.lon}) <= lf_collisionDistance(s.aircraftType, live.aircraftType)) {
            lf_makeWay(s, fmt::format("{:8}: {:8} makes way for {} parking at excluded stand {}",
                                      gf_standText(adjacentNumber), s.callsign, live.callsign, stand.id));
            return;
        }
    }
}

void lf_removeAdjacentColliding(uint32_t adjacentNumber, LiveAc& live, ParkStand& stand)
{
    LiveAc* it = lf_standHolder(adjacentNumber);
    const ParkStand* adjacent = lf_findStandByNumber(adjacentNumber);
    if (it == nullptr || it->status != SimStatus::Active || adjacent == nullptr || !lf_isPlaced(*adjacent))
        return;
    if (gf_distanceNm({adjacent->lat, adjacent->lon}, {stand.lat, stand.lon}) <=
        lf_collisionDistance(it->aircraftType, live.aircraftType)) {
        gf_logLine("{:8}: {:8} removed by parking {} at adjacent and possibly colliding stand {}",
                   gf_standText(adjacentNumber), it->callsign, live.callsign, stand.id);
        removeAircraftFromSim(*it);
    }
}
