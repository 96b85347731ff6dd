#include <algorithm>
#include <cmath>
#include <optional>
#include <utility>

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
constexpr double kNmPerDegree = 60.0; // of latitude, on the sphere of our great-circle maths
constexpr double kTicksPerHour = 360000.0;
// Two minutes: the 4 nm range closed at 120 kt; what would meet the user later is judged again, once a second.
constexpr double kApproachHorizonHours = 2.0 / 60.0;

GeoPos lf_userPosition(const UserState& u = g_userSnapshot)
{
    return {u.latitude, u.longitude};
}

GeoPos lf_position(const LiveAc& ac)
{
    return {ac.pos.latitude, ac.pos.longitude};
}

// The bearing of the position from the user, off the user's heading, in [-pi, pi].
double lf_offUsersHeading(const GeoPos& position, const UserState& u)
{
    return std::remainder(gf_bearingRad(lf_userPosition(u), position) - u.heading, g_fullCircle);
}

// Its ground velocity as it moves in the simulator, knots north and east.
std::pair<double, double> lf_groundVelocityKt(const LiveAc& ac)
{
    const double nmPerHourNorth = ac.motion.latitudeStep * kNmPerDegree * kTicksPerHour;
    const double nmPerHourEast =
        ac.motion.longitudeStep * kNmPerDegree * std::cos(ac.pos.latitude * g_degToRad) * kTicksPerHour;
    return {nmPerHourNorth, nmPerHourEast};
}

// On the ground only an aircraft ahead of the user is in its way: one behind it (the next
// departure lined up or rolling behind a user who has just lifted off) is not.
bool lf_inUsersWayOnGround(const LiveAc& ac, const UserState& u, double agl)
{
    if (!ac.onGround || agl > kGroundWayAglFt)
        return false;
    const double d = gf_distanceNm(lf_userPosition(u), lf_position(ac));
    if (!(d <= kGroundWayRangeNm && agl < kGroundWayAglFt) || gf_behindUser(u, lf_position(ac)))
        return false;
    return std::sin(std::fabs(lf_offUsersHeading(lf_position(ac), u))) * d * kFeetPerNm <= kGroundWayLateralFt;
}

// Ahead of the user, an aircraft whose line of flight passes within 700 ft of the user.
// Behind it, an aircraft in the air that closes on the user: faster along the user's track
// with the user on its line of flight (a jet departing behind a slow user), or one that
// comes as near within the approach horizon (traffic converging from behind the beam); a
// near-parallel one that would take many minutes to meet the user is not. One on the
// ground behind the user is left to the ground test.
bool lf_inUsersWayInAir(const LiveAc& ac, const UserState& u)
{
    const double d = gf_distanceNm(lf_userPosition(u), lf_position(ac));
    if (!(d <= kAirWayRangeNm) || !(std::fabs(ac.pos.altitude - u.altitude) < kAirWayHeightFt))
        return false;
    const double q = std::remainder(ac.pos.heading - gf_bearingRad(lf_userPosition(u), lf_position(ac)), g_fullCircle) *
                     g_radToDeg;
    const bool onLineOfFlight =
        d * kFeetPerNm * std::cos(std::fabs(std::fabs(q) - 90.0) * g_degToRad) <= kAirWayLateralFt;
    if (!gf_behindUser(u, lf_position(ac)))
        return onLineOfFlight;
    if (ac.onGround)
        return false;
    const auto [northKt, eastKt] = lf_groundVelocityKt(ac);
    const double alongUsersTrackKt = northKt * std::cos(u.groundTrack) + eastKt * std::sin(u.groundTrack);
    if (alongUsersTrackKt > u.groundVelocity && onLineOfFlight)
        return true;
    const std::optional<double> missFt = gf_closestApproachFt(u, lf_position(ac), northKt, eastKt);
    return missFt && *missFt <= kAirWayLateralFt;
}

} // namespace

bool gf_behindUser(const UserState& u, const GeoPos& position)
{
    return !(std::cos(lf_offUsersHeading(position, u)) > 0.0);
}

std::optional<double> gf_closestApproachFt(const UserState& u, const GeoPos& position, double northKt, double eastKt)
{
    // On a plane around the user: the aircraft's place and its velocity relative to the user.
    const double d = gf_distanceNm(lf_userPosition(u), position);
    const double b = gf_bearingRad(lf_userPosition(u), position);
    const double north = d * std::cos(b);
    const double east = d * std::sin(b);
    const double relNorth = northKt - u.groundVelocity * std::cos(u.groundTrack);
    const double relEast = eastKt - u.groundVelocity * std::sin(u.groundTrack);
    const double closing = north * relNorth + east * relEast;
    const double relSpeedSquared = relNorth * relNorth + relEast * relEast;
    if (!(closing < 0.0) || !(relSpeedSquared > 0.0))
        return std::nullopt;
    const double hours = std::min(-closing / relSpeedSquared, kApproachHorizonHours);
    return std::hypot(north + relNorth * hours, east + relEast * hours) * kFeetPerNm;
}

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
