// The aircraft steps of the once-a-second cycle of the traffic service.
#include <cmath>

#include "control/service_state.h"
#include "foundation/geo.h"
#include "traffic/live_stands.h"
#include "traffic/traffic_internal.h"
#include "traffic/traffic_service.h"
#include "traffic/traffic_state.h"

namespace {

constexpr double kCollisionFactor = 1.1;
constexpr double kUserCollisionFactor = 1.15;
constexpr double kMoved = 1e-8;

GeoPos g_lastCheckedUserPos; // the user position at the last check against static aircraft

GeoPos lf_userPosition()
{
    return {g_userSnapshot.latitude, g_userSnapshot.longitude};
}

GeoPos lf_position(const LiveAc& ac)
{
    return {ac.pos.latitude, ac.pos.longitude};
}

bool lf_moved(double lat, double lon, const GeoPos& before)
{
    return std::fabs(lat - before.latitude) >= kMoved || std::fabs(lon - before.longitude) >= kMoved;
}

} // namespace

void gf_removeUserCollisions(bool userOnGround, double userHalfSpanNm)
{
    if (!userOnGround) {
        gf_removeAcInUsersWay();
        return;
    }
    const GeoPos user = lf_userPosition();
    for (LiveAc& ac : g_liveAcs) {
        if (!ac.onGround)
            continue;
        const double d = gf_distanceNm(user, lf_position(ac));
        if (ac.status == SimStatus::Active && (userHalfSpanNm + ac.halfSpan) * kUserCollisionFactor >= d) {
            removeAircraftFromSim(ac);
            return;
        }
    }
    if (!lf_moved(user.latitude, user.longitude, g_lastCheckedUserPos))
        return;
    g_lastCheckedUserPos = user;
    for (StaticAc& s : g_staticAcs) {
        if ((userHalfSpanNm + s.halfSpan) * kCollisionFactor >= gf_distanceNm(user, {s.standLat, s.standLon}) &&
            s.status == SimStatus::Active) {
            removeAircraftFromSim(s);
            return;
        }
    }
}

void gf_removeLiveParkedCollisions()
{
    if (g_staticAcs.empty())
        return;
    for (LiveAc& ac : g_liveAcs) {
        if (ac.onGround && (ac.phase == FlightPhase::Taxi || ac.phase == FlightPhase::Parking) &&
            lf_moved(ac.pos.latitude, ac.pos.longitude, {ac.lastCheckLat, ac.lastCheckLon}) &&
            ac.status == SimStatus::Active)
            lf_removeForStaticCollision(ac);
    }
}

void gf_removeBlockedCallsign(std::string_view callsign)
{
    for (LiveAc& ac : g_liveAcs) {
        if (ac.callsign == callsign && ac.status == SimStatus::Active) {
            removeAircraftFromSim(ac);
            return;
        }
    }
}

void gf_handleNextTouchdown()
{
    if (g_touchdownHexids.empty())
        return;
    LiveAc* ac = gf_findLiveAc(g_touchdownHexids.front());
    // An aircraft gone since it was queued would hold up every later entry.
    if (ac == nullptr) {
        g_touchdownHexids.pop_front();
        return;
    }
    if (ac->value == 0) {
        lf_searchForCoupledCsAroundThisTime(g_timeOfWeek, *ac);
        ac->value = 1;
    }
    lf_replaceSameRegOrCs(*ac, ac->onGround);
    g_touchdownHexids.pop_front();
}
