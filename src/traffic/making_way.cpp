#include <cmath>

#include "foundation/geo.h"
#include "foundation/log.h"
#include "simlink/sim_client.h"
#include "traffic/stand_lookup.h"
#include "traffic/traffic_internal.h"
#include "traffic/traffic_service.h"
#include "traffic/traffic_state.h"

namespace {

constexpr double kFeetPerNm = 6076.11549;
constexpr double kCollisionFactor = 1.1;
constexpr double kNmPerDegreeLatitude = 60.0 * 0.999;
constexpr double kGroundWayAglFt = 500.0;
constexpr double kGroundWayRangeNm = 1.0;
constexpr double kGroundWayLateralFt = 50.0;
constexpr double kAirWayRangeNm = 4.0;
constexpr double kAirWayHeightFt = 1000.0;
constexpr double kAirWayLateralFt = 700.0;
constexpr double kFartherMarginNm = 0.1;

GeoPos lf_userPosition()
{
    return {g_userSnapshot.latitude, g_userSnapshot.longitude};
}

GeoPos lf_position(const LiveAc& ac)
{
    return {ac.pos.latitude, ac.pos.longitude};
}

// The bearing of the aircraft from the user, off the user's heading, in [-pi, pi].
double lf_offUsersHeading(const LiveAc& ac, const UserState& u)
{
    return std::remainder(gf_bearingRad(lf_userPosition(), lf_position(ac)) - u.heading, g_fullCircle);
}

// Only an aircraft ahead of the user can be in its way: one behind it (the next departure
// lined up behind a user who has just lifted off) is not.
bool lf_aheadOfUser(const LiveAc& ac, const UserState& u)
{
    return std::cos(lf_offUsersHeading(ac, u)) > 0.0;
}

bool lf_inUsersWayOnGround(const LiveAc& ac, const UserState& u, double agl)
{
    if (!ac.onGround || agl > kGroundWayAglFt)
        return false;
    const double d = gf_distanceNm(lf_userPosition(), lf_position(ac));
    if (!(d <= kGroundWayRangeNm && agl < kGroundWayAglFt) || !lf_aheadOfUser(ac, u))
        return false;
    return std::sin(std::fabs(lf_offUsersHeading(ac, u))) * d * kFeetPerNm <= kGroundWayLateralFt;
}

// The user lies within 700 ft of the aircraft's line of flight, and the aircraft ahead.
bool lf_inUsersWayInAir(const LiveAc& ac, const UserState& u)
{
    const double d = gf_distanceNm(lf_userPosition(), lf_position(ac));
    if (!(d <= kAirWayRangeNm) || !(std::fabs(ac.pos.altitude - u.altitude) < kAirWayHeightFt) ||
        !lf_aheadOfUser(ac, u))
        return false;
    const double q = std::remainder(ac.pos.heading - gf_bearingRad(lf_userPosition(), lf_position(ac)), g_fullCircle) *
                     g_radToDeg;
    return d * kFeetPerNm * std::cos(std::fabs(std::fabs(q) - 90.0) * g_degToRad) <= kAirWayLateralFt;
}

} // namespace

void lf_removeForStaticCollision(LiveAc& ac)
{
    if (ac.motion.takeOffConfiguration || ac.motion.rollOut)
        return;
    ac.lastCheckLat = ac.pos.latitude;
    ac.lastCheckLon = ac.pos.longitude;
    for (StaticAc& s : g_staticAcs) {
        const double reach = kCollisionFactor * (s.halfSpan + ac.halfSpan);
        // No two points lie closer than their latitudes do (60 nm a degree): most static
        // aircraft are passed over without the trigonometry.
        if (std::fabs(s.standLat - ac.pos.latitude) * kNmPerDegreeLatitude > reach ||
            s.status != SimStatus::Active || s.callsign == ac.callsign)
            continue;
        if (gf_distanceNm(lf_position(ac), {s.standLat, s.standLon}) <= reach) {
            gf_logLine("{:8}: {:8} removed for collision avoidance with static {}", gf_standText(s.standNumber),
                       s.callsign, ac.callsign);
            removeAircraftFromSim(s);
            return;
        }
    }
}

void gf_removeAcInUsersWay()
{
    const UserState& u = g_userSnapshot;
    const double agl = u.altitudeAboveGround;
    for (LiveAc& ac : g_liveAcs) {
        if (ac.status != SimStatus::Active)
            continue;
        if (lf_inUsersWayOnGround(ac, u, agl) || lf_inUsersWayInAir(ac, u)) {
            removeAircraftFromSim(ac);
            return;
        }
    }
}

bool gf_removeFarthestLiveAc(double distanceNm)
{
    double m = distanceNm;
    LiveAc* farthest = nullptr;
    for (LiveAc& ac : g_liveAcs) {
        if (ac.status != SimStatus::Active)
            continue;
        const double e = gf_distanceNm(lf_userPosition(), lf_position(ac));
        if (e > m + kFartherMarginNm) {
            m = e;
            farthest = &ac;
        }
    }
    if (g_liveAcs.empty())
        return !std::isnan(distanceNm);
    // A distance that is not a number finds no aircraft farther: nothing to remove.
    if (farthest == nullptr)
        return true;
    removeAircraftFromSim(*farthest);
    return false;
}
