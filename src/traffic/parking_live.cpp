#include <algorithm>
#include <cmath>
#include <unordered_set>

#include "control/service_state.h"
#include "foundation/log.h"
#include "foundation/settings_catalogue.h"
#include "traffic/engine_neighbours.h"
#include "traffic/engine_services.h"
#include "traffic/live_stands.h"
#include "traffic/live_stands_internal.h"
#include "traffic/live_update.h"
#include "traffic/stand_lookup.h"
#include "traffic/traffic_service.h"
#include "traffic/traffic_state.h"
#include "traffic/user_stand.h"

namespace {

constexpr double kLandedRadiusNm = 0.029697624190064796; // 55 m
constexpr double kTaxiRadiusNm = 0.010799136069114472;   // 20 m
constexpr double kSamePosition = 1e-8;                   // degrees
constexpr uint64_t kTicksPerSecond = 10000000;           // of 100 ns

bool lf_isParkedActive(const LiveAc& ac)
{
    return ac.phase == FlightPhase::Parked && ac.status == SimStatus::Active;
}

void lf_takeStand(LiveAc& ac, ParkStand& stand)
{
    if (LiveAc* other = lf_standHolder(stand.number);
        other != nullptr && other->phase == FlightPhase::Parked && other->status == SimStatus::Active) {
        gf_logLine("{:8}: {:8} removed, {} wants to park there", gf_standText(stand.number), other->callsign,
                   ac.callsign);
        removeAircraftFromSim(*other);
    }
    for (const uint32_t number : std::vector<uint32_t>(stand.adjacent))
        lf_removeAdjacentColliding(number, ac, stand);
    lf_makeWayAtStand(ac, stand);
    ac.standLat = stand.lat;
    ac.standLon = stand.lon;
    ac.standHeading = stand.heading;
    ac.standNumber = stand.number;
    ac.cargoStand = stand.cargo;
    gf_setPhase(ac, FlightPhase::Parking);
    drive2Stand(ac, stand.lat, stand.lon, stand.heading);
}

} // namespace

std::vector<std::pair<uint32_t, int64_t>> lf_parkedList()
{
    const uint64_t now = gf_engine().steadyTicks();
    std::vector<std::pair<uint32_t, int64_t>> list;
    for (const LiveAc& ac : g_liveAcs) {
        if (lf_isParkedActive(ac))
            list.emplace_back(ac.hexid, static_cast<int64_t>((now - std::min(now, ac.standTime)) / kTicksPerSecond));
    }
    std::stable_sort(list.begin(), list.end(), [](const auto& a, const auto& b) { return a.second > b.second; });
    return list;
}

void try2Park(LiveAc& ac, bool landed)
{
    if (ac.samples.empty()) {
        gf_logErrorLine("{} empty sz?", "try2Park");
        return;
    }
    const PosSample& newest = ac.samples.back();
    if (std::abs(newest.latitude - ac.lastCheckLat) <= kSamePosition &&
        std::abs(newest.longitude - ac.lastCheckLon) <= kSamePosition)
        return;
    ac.lastCheckLat = newest.latitude;
    ac.lastCheckLon = newest.longitude;
    const double radius = landed ? kLandedRadiusNm : kTaxiRadiusNm;
    ParkStand* stand = lf_findFreeStandNear({newest.latitude, newest.longitude}, ac, radius, landed);
    if (stand == nullptr)
        return;
    if (!g_reservedStandId.empty() && g_reservedStandId == stand->id)
        return;
    const UserState user = gf_userSnapshotCopy();
    if (stand->id == gf_userStand({user.latitude, user.longitude}))
        return;
    lf_takeStand(ac, *stand);
}

void gf_enforceMaxParked(uint8_t extra)
{
    const auto live = static_cast<int64_t>(std::count_if(g_liveAcs.begin(), g_liveAcs.end(), lf_isParkedActive));
    const int64_t wanted = g_wantedParkedCount;
    if (wanted < 1)
        return;
    if (!INITIAL_LOAD_ONLY.value && extra + live > wanted) {
        const auto list = lf_parkedList();
        LiveAc* ac = list.empty() ? nullptr : gf_findLiveAc(list.front().first);
        if (ac != nullptr && ac->status == SimStatus::Active) {
            gf_logLine("{:8}: {} live max park exceeded, removed", gf_standText(ac->standNumber), ac->callsign);
            removeAircraftFromSim(*ac);
        }
    }
    const auto statics = static_cast<int64_t>(std::count_if(g_staticAcs.begin(), g_staticAcs.end(), [](const StaticAc& s) {
        return s.status == SimStatus::Active || s.status == SimStatus::RemovingFromSim;
    }));
    if (statics + extra + live <= wanted || g_staticAcs.empty())
        return;
    const int64_t now = g_timeOfWeek;
    StaticAc* earliest = &g_staticAcs.front();
    for (StaticAc& s : g_staticAcs) {
        if (gf_halfHoursSincePlaced(s, now) > gf_halfHoursSincePlaced(*earliest, now))
            earliest = &s;
    }
    if (earliest->status != SimStatus::Active)
        return;
    gf_logLine("{:8}: {} static max park exceeded, removed", gf_standText(earliest->standNumber), earliest->callsign);
    removeAircraftFromSim(*earliest);
}

void gf_removeLiveParked(uint64_t count)
{
    const auto list = lf_parkedList();
    if (list.empty())
        return;
    std::unordered_set<uint32_t> chosen;
    for (size_t i = 0; i < std::min<uint64_t>(count, list.size()); ++i)
        chosen.insert(list[i].first);
    for (LiveAc& ac : g_liveAcs) {
        if (!chosen.contains(ac.hexid))
            continue;
        gf_logLine("live parked {} at {} removed", gf_flightText(ac), gf_standText(ac.standNumber));
        removeAircraftFromSim(ac);
    }
}
