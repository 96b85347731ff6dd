// Leaving a stand (pulled out forward or pushed back with a tail swing) and the take-off:
// throttle by ground speed on the roll, rotation, initial climb and the end of the phase
// "take_off" at 800 ft above ground.
#include <algorithm>
#include <cmath>

#include "foundation/log.h"
#include "foundation/settings_catalogue.h"
#include "traffic/aircraft_configuration.h"
#include "traffic/motion_internal.h"
#include "traffic/stand_lookup.h"
#include "traffic/traffic_service.h"

namespace {

constexpr double kFtPerNm = 6076.11549;
constexpr double kRotationSpeedKt = 43.0;
constexpr double kLiftOffClimbFpm = 256.0;
constexpr int32_t kGearUpCounter = -300;
constexpr int32_t kLowestCounter = -1000;
constexpr double kEndOfClimbOutAglFt = 800.0;

PosSample lf_groundSample(const GeoPos& at, double speedKt, int64_t due)
{
    PosSample s;
    s.latitude = at.latitude;
    s.longitude = at.longitude;
    s.groundSpeed = speedKt;
    s.dueTick = static_cast<uint32_t>(due);
    return s;
}

void lf_cutQueueToFront(LiveAc& ac)
{
    ac.samples.erase(ac.samples.begin() + 1, ac.samples.end());
}

void lf_readyToTaxi(LiveAc& ac)
{
    gf_engineStart(ac.objectId);
    gf_setThrottle(ac, 0);
    gf_setFlaps(ac, 1);
}

} // namespace

void lf_departFromStand(LiveAc& ac)
{
    if (!ac.motion.departurePending)
        return;
    const double x = gf_wrapPi(gf_bearingRad({ac.standLat, ac.standLon}, gf_samplePos(ac.samples.back())) -
                               ac.standHeading);
    const int32_t k = gf_narrowRounded(x * g_radToDeg);
    if (std::abs(k) < 90)
        lf_pullOut(ac);
    else
        lf_pushBack(ac);
}

void lf_pullOut(LiveAc& ac)
{
    ac.motion.departurePending = false;
    ac.pauseCounter = 0;
    const GeoPos target = gf_destinationPoint({ac.standLat, ac.standLon}, ac.standHeading, 2 * ac.halfSpan * kFtPerNm);
    const double v = ac.standApproachSpeed;
    ac.samples.front().groundSpeed = v;
    const int32_t t = gf_tickCount(gf_distanceNm(gf_acPos(ac), target), v);
    lf_cutQueueToFront(ac);
    ac.samples.push_back(lf_groundSample(target, v, gf_tickNow() + t));
    gf_setPhase(ac, FlightPhase::Taxi);
    ac.motion.targetHeading = ac.pos.heading;
    gf_setLights(ac.objectId, g_lightsLeavingStand);
    lf_readyToTaxi(ac);
    gf_logLine("{:8}: {:8} pulling out", gf_standText(ac.standNumber), ac.callsign);
}

void lf_pushBack(LiveAc& ac)
{
    MotionState& m = ac.motion;
    ac.pauseCounter = 0;
    const double r = gf_normalHeading(ac.standHeading + g_fullCircle / 2);
    const ParkStand* stand = lf_findStandByNumber(ac.standNumber);
    if (stand == nullptr)
        return;
    const GeoPos p1 = gf_destinationPoint(gf_acPos(ac), r, stand->radius * 2.5 * kFtPerNm);
    const double v = ac.standApproachSpeed;
    ac.samples.front().groundSpeed = v;
    m.targetHeading = ac.pos.heading;
    // The heading holds while pushed: no turn is left over from the taxi in.
    m.groundTurn = false;
    const int32_t t1 = gf_tickCount(gf_distanceNm(gf_acPos(ac), p1), v);
    lf_cutQueueToFront(ac);
    ac.samples.push_back(lf_groundSample(p1, v, gf_tickNow() + t1));
    lf_insertMidSample(ac);
    const double w = ac.halfSpan * kFtPerNm;
    const GeoPos p2 = gf_destinationPoint(p1, gf_normalHeading(r + g_fullCircle / 4), w);
    const GeoPos p3 = gf_destinationPoint(p1, gf_normalHeading(r - g_fullCircle / 4), w);
    const int32_t t2 = gf_tickCount(gf_distanceNm(gf_samplePos(ac.samples[1]), p2), v);
    const int64_t due = gf_tickNow() + t1 / 2 + t2;
    m.storedPushBackSample = lf_groundSample(p2, v, due);
    ac.samples.push_back(lf_groundSample(p3, v, due));
    gf_setLights(ac.objectId, g_lightsLeavingStand);
    gf_setPhase(ac, FlightPhase::PushingBack);
    m.pushBackMode = 2;
}

void lf_pushBackStage(LiveAc& ac)
{
    MotionState& m = ac.motion;
    --m.pushBackMode;
    if (m.pushBackMode == 1) {
        if (m.pushBackDecided && ac.samples.size() >= 3) {
            if (m.pushBackSide)
                ac.samples.back() = m.storedPushBackSample;
            lf_buildTaxiCurve(ac);
            m.curve.parameterStep = 1.0 / std::max(gf_narrowRounded(90.0 / ac.groundTurnRate / 100.0), 1);
            m.curve.turnAngle = 90.0;
            lf_scheduleGroundSample(ac);
            return;
        }
        if (ac.samples.size() >= 3)
            ac.samples.pop_back();
    } else if (m.pushBackMode < 1) {
        m.targetHeading = ac.pos.heading;
        lf_readyToTaxi(ac);
        gf_setPhase(ac, FlightPhase::PushedBack);
        m.pushBackMode = 1;
        m.postPushBack = 900.0;
        ac.pauseCounter = 0;
        m.departurePending = false;
    }
    lf_scheduleGroundSample(ac);
}

void lf_takeOffRollThrottle(LiveAc& ac)
{
    const double front = ac.samples.at(0).groundSpeed;
    const double next = ac.samples.at(1).groundSpeed;
    uint32_t index = 0;
    if (ac.category == TypeCategory::Rotorcraft || front >= 25.0 || next >= 30.0)
        index = 4;
    else if (front >= 20.0 || next >= 25.0)
        index = 2;
    else if (front >= 15.0 || next >= 20.0)
        index = 1;
    gf_setThrottle(ac, index);
}

void lf_rotationDecision(LiveAc& ac)
{
    if (ac.phase == FlightPhase::TakeOff || ac.samples.at(0).groundSpeed < kRotationSpeedKt)
        return;
    const auto behind = ac.samples.begin() + 1;
    const bool slowClimb = std::any_of(behind, ac.samples.end(),
                                       [](const PosSample& s) { return s.verticalSpeed <= kLiftOffClimbFpm; });
    if (slowClimb) {
        if (!lf_samplesAtTakeOffSpeed(ac))
            return;
        if (!std::all_of(behind, ac.samples.end(), [](const PosSample& s) { return s.airborne; }))
            return;
        ac.motion.altitudeStep = ac.maxClimbPerTick;
    } else if (std::any_of(behind, ac.samples.end(), [](const PosSample& s) { return !s.airborne; })) {
        ac.motion.altitudeStep = ac.maxClimbPerTick;
    } else {
        ac.motion.altitudeStep = std::max(ac.samples[1].altitude - ac.pos.altitude, 0.1) / lf_ticksToNext(ac);
    }
    lf_startRotation(ac);
}

void lf_startRotation(LiveAc& ac)
{
    MotionState& m = ac.motion;
    const int32_t k = std::max(ac.rotationTicks, 1);
    m.takeOffCounter = k;
    ac.pos.bank = 0.0;
    m.bankStep = 0.0;
    m.pitchStep = (ac.takeOffPitch - ac.pos.pitch) / k;
    if (!m.takeOffConfiguration)
        lf_takeOffConfiguration(ac);
    gf_setPhase(ac, FlightPhase::TakeOff);
    m.headingStep = 0.0;
    lf_clearTaxiCurve(ac);
    if (m.rollOut) {
        m.rollOut = false;
        m.approach = false;
        m.landed = false;
        gf_setThrottle(ac, 4);
        gf_setSpoilers(ac, 1);
        gf_setFlaps(ac, 1);
    }
}

void lf_setTakeOffConfiguration(LiveAc& ac, uint32_t throttle, int32_t spoilers)
{
    MotionState& m = ac.motion;
    m.takeOffConfiguration = true;
    gf_setThrottle(ac, throttle);
    gf_setSpoilers(ac, spoilers);
    gf_setFlaps(ac, 1);
    m.approach = false;
    m.landed = false;
    m.climbOut = false;
    gf_setLights(ac.objectId, g_lightsTakeOff);
    m.laterWindow = 5000;
    m.earlierWindow = 3000;
}

void lf_takeOffConfiguration(LiveAc& ac)
{
    if (ac.motion.towed)
        gf_logLine("towed aircraft takes-off? {}", gf_flightText(ac));
    lf_setTakeOffConfiguration(ac, 0, 0);
}

void lf_takeOffCounterTick(LiveAc& ac)
{
    MotionState& m = ac.motion;
    PositionBlock& p = ac.pos;
    const int32_t c = --m.takeOffCounter;
    if (c >= 1) {
        ac.onGround = false;
        if (p.pitch > ac.takeOffPitch)
            p.pitch += m.pitchStep;
    } else {
        p.bank = std::clamp(p.bank + m.bankStep, -g_fullCircle / 2, g_fullCircle / 2);
        if (p.pitch > ac.climbPitch)
            p.pitch += (ac.climbPitch - ac.takeOffPitch) / std::max(ac.climbPitchTicks, 1);
        if (c <= -1 && c >= -99)
            p.altitude += m.altitudeStep / 10.0;
        else if (c <= -100 && c >= -199)
            p.altitude += m.altitudeStep / 5.0;
        else if (c <= -200 && c >= -299)
            p.altitude += m.altitudeStep / 2.0;
        else if (c == kGearUpCounter) {
            gf_setGear(ac, false);
            p.altitude += m.altitudeStep;
        } else if (c < kGearUpCounter) {
            p.altitude += m.altitudeStep;
            if (p.pitch <= ac.climbPitch)
                m.pitchStep = 0.0;
            if (m.altitudeAboveGround >= kEndOfClimbOutAglFt) {
                gf_setThrottle(ac, ac.category == TypeCategory::Rotorcraft ? 4 : 3);
                gf_setPhase(ac, FlightPhase::Flying);
                m.takeOffCounter = 1;
            }
        }
    }
    m.takeOffCounter = std::max(m.takeOffCounter, kLowestCounter);
}
