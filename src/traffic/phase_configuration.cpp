// The configuration that shows a live aircraft's phase of flight: the light sets above
// and below 10000 ft, the climb and descent below it, the approach to the park airport
// and the cruise.
#include <array>

#include "foundation/geo.h"
#include "parking/park_airports.h"
#include "simlink/sim_client.h"
#include "simlink/sim_ids.h"
#include "traffic/aircraft_configuration.h"
#include "traffic/motion_internal.h"
#include "traffic/traffic_internal.h"
#include "traffic/traffic_state.h"

namespace {

constexpr double kNearParkAirportNm = 10.0;

double lf_approachHeightFt(TypeCategory category)
{
    switch (category) {
    case TypeCategory::Buzjet:
    case TypeCategory::Large:
    case TypeCategory::Heavy:
        return 2050.0;
    default:
        return 625.0;
    }
}

uint32_t lf_cruiseThrottle(const LiveAc& ac)
{
    return ac.category == TypeCategory::Rotorcraft ? 4 : 3;
}

void lf_climbOrDescend(LiveAc& ac)
{
    MotionState& m = ac.motion;
    const PosSample& front = ac.samples.front();
    const bool rotorcraft = ac.category == TypeCategory::Rotorcraft;
    lf_narrowWindows(ac);
    gf_setCabinLights(ac.objectId, 1);
    m.takeOffConfiguration = false;
    m.approach = false;
    if (front.verticalSpeed <= -250.0 && ac.throttleIndex == 3)
        gf_setThrottle(ac, rotorcraft ? 4 : 2);
    else if (front.verticalSpeed > 400.0 && ac.throttleIndex == 4)
        gf_setThrottle(ac, rotorcraft ? 4 : 3);
    const double agl = m.altitudeAboveGround;
    if (agl < 2400.0 && front.verticalSpeed <= 100.0) {
        if (ac.flapsIndex == 0)
            gf_setFlaps(ac, 1);
        else if (ac.flapsIndex == 1 && agl < 2000.0)
            gf_setFlaps(ac, 2);
    } else if (agl >= 2400.0) {
        gf_setGear(ac, false);
        gf_setFlaps(ac, 0);
    }
}

} // namespace

bool gf_nearParkAirport(const LiveAc& ac)
{
    return !g_parkAirport.code.empty() &&
           gf_distanceNm(gf_acPos(ac), {g_parkAirport.lat, g_parkAirport.lon}) <= kNearParkAirportNm;
}

void lf_lowAltitudeConfiguration(LiveAc& ac)
{
    MotionState& m = ac.motion;
    if (!m.lowLights) {
        m.lowLights = true;
        m.cruiseLights = false;
        gf_setLights(ac.objectId, g_lightsBelow10000);
    }
    if (m.altitudeAboveGround > lf_approachHeightFt(ac.category))
        lf_climbOrDescend(ac);
    else
        lf_approachConfiguration(ac);
}

void lf_approachConfiguration(LiveAc& ac)
{
    MotionState& m = ac.motion;
    gf_setCabinLights(ac.objectId, 0);
    const bool near = gf_nearParkAirport(ac);
    const double vs = ac.samples.front().verticalSpeed;
    if (vs > -250.0) {
        if (vs <= 600.0 && (!m.approach || near))
            return;
        if (m.climbOut)
            return;
        lf_narrowWindows(ac);
        gf_setThrottle(ac, 4);
        gf_setGear(ac, false);
        gf_setFlaps(ac, 0);
        m.climbOut = true;
        m.landingStep = 0;
        m.approach = false;
        return;
    }
    if (m.approach || !near)
        return;
    gf_setThrottle(ac, ac.category == TypeCategory::Rotorcraft ? 4 : 1);
    gf_setFlaps(ac, 3);
    gf_setGear(ac, true);
    g_touchdownHexids.push_back(ac.hexid);
    m.approach = true;
    m.climbOut = false;
    ac.standLat = 0.0;
    ac.standLon = 0.0;
    ac.standHeading = 0.0;
    ac.standNumber = 0;
    ac.cargoStand = false;
    m.takeOffCounter = 1;
    lf_openWindows(ac);
}

void lf_cruiseConfiguration(LiveAc& ac)
{
    MotionState& m = ac.motion;
    if (m.cruiseLights)
        return;
    m.cruiseLights = true;
    m.lowLights = false;
    gf_setLights(ac.objectId, g_lightsCruise);
    gf_setThrottle(ac, lf_cruiseThrottle(ac));
    gf_setGear(ac, false);
    gf_setFlaps(ac, 0);
}

// Sent at once on the worker, without g_simConnectMutex; a failed set is ignored, as the
// failed throttle events are.
void lf_zeroThrottleData(const LiveAc& ac)
{
    if (ac.category == TypeCategory::Other)
        return;
    const std::array<double, 3> data{0.0, 0.0, 0.0};
    gf_engineRequest([&](ScHandle handle) {
        SimConnect_SetDataOnSimObject(handle, gf_id(SimDefinition::AiControls), ac.objectId, 0, 0,
                                      static_cast<uint32_t>(sizeof data), data.data());
        return g_scOk;
    });
}
