#include <algorithm>
#include <cmath>

#include "foundation/geo.h"
#include "traffic/traffic_internal.h"
#include "traffic/traffic_state.h"

namespace {

constexpr double kLevelPitch = -0.05235987755982989; // -3 degrees
constexpr double kPitchPer600Fpm = 2.2 * g_degToRad;
constexpr double kMaxDescentFpm = -3000.0;
constexpr double kMaxClimbFpm = 2400.0;
constexpr double kGroundPitch = 0.010471975511965976; // 0.6 degrees

double lf_normalHeading(double heading)
{
    const double h = std::fmod(heading, g_fullCircle);
    return h < 0.0 ? h + g_fullCircle : h;
}

} // namespace

double gf_pitchForVerticalSpeed(double verticalSpeedFpm)
{
    double v = std::clamp(verticalSpeedFpm, kMaxDescentFpm, kMaxClimbFpm);
    if (v < 0.0)
        v /= 2.0;
    return kLevelPitch - v / 600.0 * kPitchPer600Fpm;
}

void lf_initPositionBlock(LiveAc& ac)
{
    g_touchdownHexids.push_back(ac.hexid);
    const PosSample& front = ac.samples.front();
    PositionBlock& p = ac.pos;
    p.latitude = front.latitude;
    p.longitude = front.longitude;
    p.altitude = front.altitude;
    // The block holds feet per second, the sample feet per minute.
    p.verticalSpeed = front.verticalSpeed / 60.0;
    p.trueAirspeed = front.trueAirspeed;
    p.bank = front.roll.value_or(0.0);
    p.pitch = front.airborne ? gf_pitchForVerticalSpeed(front.verticalSpeed) : kGroundPitch;
    double heading = 0.0;
    if (ac.motion.respawnHeadingSet)
        heading = ac.motion.respawnHeading;
    else if (ac.phase == FlightPhase::Parked)
        heading = ac.standHeading;
    else if (ac.samples.size() < 2 || ac.samples[1].stationary)
        heading = front.track * g_degToRad;
    else
        heading = gf_bearingRad({front.latitude, front.longitude}, {ac.samples[1].latitude, ac.samples[1].longitude});
    p.heading = lf_normalHeading(heading);
    if (front.airborne)
        ac.motion.headingStep = 0.0;
}
