#include "traffic/stand_lookup.h"

#include "foundation/geo.h"
#include "traffic/engine_neighbours.h"
#include "traffic/traffic_state.h"

namespace {

constexpr double kCollisionFactor = 1.1;

bool lf_isParkedOrPushingBack(const LiveAc& ac)
{
    return ac.phase == FlightPhase::Parked || ac.phase == FlightPhase::PushingBack;
}

} // namespace

ParkStand* lf_findStandByNumber(uint32_t number)
{
    if (number == 0)
        return nullptr;
    // Stands are numbered 1..n in table order; a table being rebuilt is searched.
    if (number <= g_parkStands.size() && g_parkStands[number - 1].number == number)
        return &g_parkStands[number - 1];
    for (ParkStand& stand : g_parkStands) {
        if (stand.number == number)
            return &stand;
    }
    return nullptr;
}

ParkStand* lf_findStandByName(std::string_view id)
{
    for (ParkStand& stand : g_parkStands) {
        if (stand.id == id)
            return &stand;
    }
    return nullptr;
}

std::string gf_standText(uint32_t number)
{
    if (number == 0)
        return "sid==0?";
    const ParkStand* stand = lf_findStandByNumber(number);
    return stand != nullptr ? stand->id : "sid==?";
}

bool gf_flightFitsStandEntry(std::string_view text, const FlightTexts& ac, const StandFlight& entry)
{
    if (entry.number == 0 || entry.real != 1)
        return false;
    return text == entry.cs1 || text == entry.cs2 || (entry.airl == ac.airline && entry.type == ac.aircraftType);
}

bool lf_isCsOrRegUsedByStatic(const std::vector<StaticAc>& statics, const StandFlight& entry,
                              std::string_view registration)
{
    for (const StaticAc& s : statics) {
        if (s.secondCallsign == entry.cs1 || s.secondCallsign == entry.cs2 || s.registration == registration)
            return true;
    }
    return false;
}

bool lf_isCsOrRegOnAddingStack(const std::vector<ParkCandidate>& candidates, const StandFlight& entry,
                               std::string_view registration)
{
    for (const ParkCandidate& c : candidates) {
        if (c.callsign1 == entry.cs1 || c.callsign1 == entry.cs2 || c.registration == registration)
            return true;
    }
    return false;
}

const LiveAc* lf_isParkedBlocking(const std::vector<uint32_t>& adjacent, const ParkStand& stand,
                                  const FlightTexts& ac)
{
    const double ownHalfSpan = gf_engine().halfWingspan(ac.aircraftType);
    for (const uint32_t number : adjacent) {
        const ParkStand* other = lf_findStandByNumber(number);
        if (other == nullptr || (other->lat == 0.0 && other->lon == 0.0))
            continue;
        for (const LiveAc& live : g_liveAcs) {
            if (live.standNumber != number || !lf_isParkedOrPushingBack(live) || live.status != SimStatus::Active ||
                live.callsign == ac.callsign)
                continue;
            const double reach = kCollisionFactor * (gf_engine().halfWingspan(live.aircraftType) + ownHalfSpan);
            if (gf_distanceNm({other->lat, other->lon}, {stand.lat, stand.lon}) <= reach)
                return &live;
        }
    }
    return nullptr;
}
