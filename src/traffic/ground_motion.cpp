// A live aircraft on the ground: taxi curves through the reported corners, midpoints where
// the speed changes much, the turn rate fitted to the time there is, the roll-out after
// touchdown and the drive onto a stand.
#include <algorithm>
#include <cmath>

#include "foundation/log.h"
#include "parking/static_parking.h"
#include "traffic/aircraft_configuration.h"
#include "traffic/live_stands.h"
#include "traffic/live_update.h"
#include "traffic/motion_internal.h"
#include "traffic/traffic_service.h"

namespace {

constexpr double kMetresPerDeg = 111132.95;
constexpr double kMetresPerNm = 1852.0;
constexpr double kLastParameter = 0.999999;
constexpr double kTurnToleranceRad = 0.5 * g_degToRad;
constexpr double kOffRunwayRad = 15.0 * g_degToRad;
constexpr int32_t kMinTicks = 25;

double lf_northM(double lat, double originLat)
{
    return (lat - originLat) * kMetresPerDeg;
}

double lf_eastM(double lon, double originLon, double originLat)
{
    return (lon - originLon) * std::cos(originLat * g_degToRad) * kMetresPerDeg;
}

double lf_distanceM(const PosSample& a, const PosSample& b)
{
    return gf_distanceNm(gf_samplePos(a), gf_samplePos(b)) * kMetresPerNm;
}

uint32_t lf_groundThrottle(const LiveAc& ac)
{
    return ac.category == TypeCategory::Rotorcraft ? 4 : 0;
}

void lf_rollOut(LiveAc& ac)
{
    MotionState& m = ac.motion;
    if (std::fabs(gf_wrapPi(ac.pos.heading - m.touchdownHeading)) >= kOffRunwayRad) {
        gf_setFlaps(ac, 0);
        m.rollOut = false;
        m.touchdownHeading = 0.0;
        gf_setThrottle(ac, lf_groundThrottle(ac));
        gf_setSpoilers(ac, 0);
        lf_zeroThrottleData(ac);
        gf_setLights(ac.objectId, g_lightsOffRunway);
    } else if (ac.samples.front().groundSpeed <= 90.0) {
        gf_setSpoilers(ac, 0);
        lf_zeroThrottleData(ac);
        gf_setFlaps(ac, 1);
    }
}

// The corner ahead, by the path's turn at the next sample.
void lf_shapeCorner(LiveAc& ac)
{
    if (ac.samples.size() >= 3 && !ac.samples[2].stationary) {
        const double a = std::fabs(lf_turnToNextLeg(ac) * g_radToDeg);
        if (a > 3.0) {
            const PosSample& front = ac.samples[0];
            const PosSample& next = ac.samples[1];
            const int64_t gap = static_cast<int64_t>(next.dueTick) - static_cast<int64_t>(front.dueTick);
            if (a > 45.0 && lf_distanceM(front, next) > 50.0 && front.groundSpeed <= 43.0 &&
                std::max<int64_t>(gap, kMinTicks) >= 600) {
                lf_insertMidSample(ac);
            } else if (a <= 160.0) {
                if (!gf_samePlace(ac.samples[2], front)) {
                    lf_buildTaxiCurve(ac);
                    ac.motion.curve.turnAngle = a;
                } else {
                    lf_splitOnSpeedChange(ac);
                }
            } else {
                lf_splitOnSpeedChange(ac);
            }
            return;
        }
    }
    if (ac.samples.size() >= 3) {
        lf_splitOnSpeedChange(ac);
        return;
    }
    const PosSample& front = ac.samples[0];
    const PosSample& next = ac.samples[1];
    if (ac.pauseCounter < 1 && (front.groundSpeed > 0.0 || next.groundSpeed > 0.0) &&
        std::fabs(front.groundSpeed - next.groundSpeed) > 5.0 && lf_distanceM(front, next) >= 100.0)
        lf_insertMidSample(ac);
}

void lf_checkArrival(LiveAc& ac)
{
    if (!ac.samples.back().stationary || ac.phase != FlightPhase::Taxi || !g_parkStandsLoaded.load())
        return;
    const FlightPhase prev = ac.previousPhase;
    if (!ac.motion.towed &&
        (prev == FlightPhase::Parked || prev == FlightPhase::PushingBack || prev == FlightPhase::PushedBack))
        return;
    if (ac.pauseCounter < 1) {
        if (ac.samples.size() >= 2 && ac.samples[1].groundSpeed <= 5.0 &&
            gf_distanceNm(gf_acPos(ac), gf_samplePos(ac.samples.back())) <= 0.018898488120950324)
            try2Park(ac, false);
    } else {
        try2Park(ac, ac.motion.landed);
    }
}

} // namespace

CurvePoint gf_curvePointAt(const TaxiCurve& c, double s)
{
    CurvePoint out;
    if (std::isnan(c.controlEast) || std::isnan(c.controlNorth) || !(s >= c.startParameter && s <= c.endParameter))
        return out;
    const double t = (s - c.startParameter) / (c.endParameter - c.startParameter);
    if (!(t >= 0.0 && t <= 1.0))
        return out;
    const double u = 1.0 - t;
    const double tanNorth = 2 * u * c.controlNorth + 2 * t * (c.endNorth - c.controlNorth);
    const double tanEast = 2 * u * c.controlEast + 2 * t * (c.endEast - c.controlEast);
    double heading = std::atan2(tanEast, tanNorth);
    if (heading < 0.0)
        heading += g_fullCircle;
    else if (heading > g_fullCircle)
        heading -= g_fullCircle;
    const double north = 2 * u * t * c.controlNorth + t * t * c.endNorth;
    const double east = 2 * u * t * c.controlEast + t * t * c.endEast;
    out.found = true;
    out.pos = {c.originLat + north / kMetresPerDeg,
               c.originLon + east / (std::cos(c.originLat * g_degToRad) * kMetresPerDeg)};
    out.heading = heading;
    return out;
}

void lf_clearTaxiCurve(LiveAc& ac)
{
    TaxiCurve& c = ac.motion.curve;
    c.startParameter = TaxiCurve::kNone;
    c.endParameter = TaxiCurve::kNone;
    c.controlEast = TaxiCurve::kNone;
    c.controlNorth = TaxiCurve::kNone;
    c.parameter = 0.0;
}

bool lf_curveActive(const LiveAc& ac)
{
    return !std::isnan(ac.motion.curve.controlEast) && !std::isnan(ac.motion.curve.controlNorth);
}

void lf_buildTaxiCurve(LiveAc& ac)
{
    PosSample& after = ac.samples.at(2);
    const PosSample& next = ac.samples[1];
    if (after.groundSpeed == 0.0)
        after.groundSpeed = (ac.samples[0].groundSpeed + next.groundSpeed) / 2.0;
    TaxiCurve& c = ac.motion.curve;
    c.originLat = ac.pos.latitude;
    c.originLon = ac.pos.longitude;
    c.startParameter = 0.0;
    c.endParameter = 1.0;
    c.parameter = 0.0;
    c.endNorth = lf_northM(after.latitude, c.originLat);
    c.endEast = lf_eastM(after.longitude, c.originLon, c.originLat);
    c.controlNorth = lf_northM(next.latitude, c.originLat);
    c.controlEast = lf_eastM(next.longitude, c.originLon, c.originLat);
    ac.samples.erase(ac.samples.begin() + 1);
}

void lf_insertMidSample(LiveAc& ac)
{
    const PosSample& front = ac.samples.at(0);
    const PosSample& next = ac.samples.at(1);
    PosSample mid = front;
    mid.latitude = (front.latitude + next.latitude) / 2.0;
    mid.longitude = (front.longitude + next.longitude) / 2.0;
    mid.groundSpeed = (front.groundSpeed + next.groundSpeed) / 2.0;
    mid.dueTick = static_cast<uint32_t>(
        std::llround((static_cast<double>(front.dueTick) + static_cast<double>(next.dueTick)) / 2.0));
    mid.altitude = (front.altitude + next.altitude) / 2.0;
    mid.airborne = mid.altitude > 0.0;
    if (!mid.airborne)
        mid.altitude = 0.0;
    mid.stationary = false;
    ac.samples.insert(ac.samples.begin() + 1, mid);
}

void lf_splitOnSpeedChange(LiveAc& ac)
{
    const PosSample& front = ac.samples.at(0);
    const PosSample& next = ac.samples.at(1);
    if ((front.groundSpeed > 0.0 || next.groundSpeed > 0.0) && std::fabs(front.groundSpeed - next.groundSpeed) > 5.0 &&
        lf_distanceM(front, next) >= 100.0)
        lf_insertMidSample(ac);
}

void nextPosGround(LiveAc& ac)
{
    try {
        if (ac.phase == FlightPhase::PushingBack) {
            lf_pushBackStage(ac);
            return;
        }
        if (ac.phase == FlightPhase::Parked) {
            lf_openWindows(ac);
            lf_departFromStand(ac);
        } else if (!ac.samples.at(1).stationary) {
            lf_shapeCorner(ac);
            MotionState& m = ac.motion;
            if (!lf_curveActive(ac)) {
                m.groundTurnAngle = std::fabs(gf_wrapPi(m.targetHeading - ac.pos.heading)) * g_radToDeg;
                m.groundTurn = m.groundTurnAngle > 3.0;
            } else {
                m.groundTurn = false;
            }
        }
        if (ac.phase != FlightPhase::PushingBack && ac.phase != FlightPhase::Parked)
            lf_checkArrival(ac);
        if (ac.samples.size() >= 2)
            lf_scheduleGroundSample(ac);
    } catch (const std::exception& e) {
        gf_logLine("{}: {}, {}, sz:{}", "nextPosGround", e.what(), gf_flightText(ac), ac.samples.size());
        throw;
    }
}

void lf_scheduleGroundSample(LiveAc& ac)
{
    const PosSample& front = ac.samples.at(0);
    PosSample& next = ac.samples.at(1);
    MotionState& m = ac.motion;
    const int64_t now = gf_tickNow();
    if (next.stationary) {
        const int64_t diff = static_cast<int64_t>(next.dueTick) - static_cast<int64_t>(front.dueTick);
        const int64_t gap = diff >= 0 ? std::max<int64_t>(diff, kMinTicks) : kMinTicks;
        int64_t c = now + std::max<int64_t>(static_cast<int64_t>(front.dueTick) - now + gap, kMinTicks);
        if (ac.pauseCounter < 1)
            c = std::clamp(c, static_cast<int64_t>(next.dueTick) - m.earlierWindow,
                           static_cast<int64_t>(next.dueTick) + m.laterWindow);
        next.dueTick = static_cast<uint32_t>(std::max(c, now));
        return;
    }
    double rate = ac.groundTurnRate;
    double d = gf_distanceNm(gf_samplePos(front), gf_samplePos(next));
    // Round a corner the aircraft takes as long as the reported path through it, not as
    // long as the chord: else it gains seconds at every turn.
    if (lf_curveActive(ac)) {
        const TaxiCurve& c = m.curve;
        d = (std::hypot(c.controlNorth, c.controlEast) +
             std::hypot(c.endNorth - c.controlNorth, c.endEast - c.controlEast)) / kMetresPerNm;
    }
    const int32_t n = std::max(gf_syncedTicks(ac, gf_tickCount(d, lf_sampleSpeedKt(ac))), kMinTicks);
    if (lf_curveActive(ac) || m.groundTurn) {
        const double a = m.groundTurn ? m.groundTurnAngle : m.curve.turnAngle;
        const int32_t turnTicks = gf_narrowRounded(a / rate / 100.0);
        if (a > 0.0 && d > 0.0) {
            const double r = static_cast<double>(n) / std::max(turnTicks, 1);
            if (a <= 45.0) {
                if (r >= 1.2)
                    rate /= std::min({r, r * 10.0 / a, r * 30.0 / (d * kMetresPerNm)});
                else if (r > 0.0)
                    rate /= r;
            } else {
                rate *= std::min(r, std::min(a, 90.0) / 30.0);
                if (a >= 90.0) {
                    m.earlierWindow = std::max(m.earlierWindow, 2000);
                    m.laterWindow = std::max(m.laterWindow, 2000);
                }
            }
        }
    }
    ac.groundTurnRateInUse = rate;
    lf_setNextDue(ac, n);
}

void lf_groundStep(LiveAc& ac)
{
    MotionState& m = ac.motion;
    if (ac.phase == FlightPhase::Flying || ac.phase == FlightPhase::Parked)
        gf_setPhase(ac, FlightPhase::Taxi);
    else if (m.takeOffConfiguration)
        lf_takeOffRollThrottle(ac);
    else if (m.rollOut)
        lf_rollOut(ac);
    else
        gf_setThrottle(ac, lf_groundThrottle(ac));
    if (!m.rollOut && !m.takeOffConfiguration)
        lf_narrowWindows(ac);
    // The nose comes down after touchdown at its own pace, not at the next sample.
    if (m.landingStep == 0 && ac.phase != FlightPhase::TakeOff && !m.touchdownPitch) {
        ac.pos.pitch = ac.staticPitch;
        ac.pos.bank = 0.0;
        m.pitchStep = 0.0;
        m.bankStep = 0.0;
    }
    if (lf_curveActive(ac))
        m.curve.parameterStep = 1.0 / lf_ticksToNext(ac);
    const double gs = ac.samples.at(1).groundSpeed;
    m.targetTrueAirspeed = ac.phase == FlightPhase::PushingBack ? -gs : gs;
    if (m.takeOffConfiguration && ac.phase != FlightPhase::TakeOff)
        lf_rotationDecision(ac);
}

void lf_turnTowards(LiveAc& ac, double wanted)
{
    const double diff = gf_wrapPi(wanted - ac.pos.heading);
    if (std::fabs(diff) <= kTurnToleranceRad)
        return;
    const double rate = ac.groundTurnRateInUse;
    ac.pos.heading = gf_normalHeading(ac.pos.heading + (diff > 0.0 ? rate : -rate));
}

void lf_followCurve(LiveAc& ac)
{
    TaxiCurve& c = ac.motion.curve;
    c.parameter = std::clamp(c.parameter + c.parameterStep, 0.0, kLastParameter);
    const CurvePoint point = gf_curvePointAt(c, c.parameter);
    if (!point.found) {
        gf_logLine("{} error in curve at index: {:.2F}", gf_flightText(ac), c.parameter);
        return;
    }
    ac.pos.latitude = point.pos.latitude;
    ac.pos.longitude = point.pos.longitude;
    double wanted = point.heading;
    if (ac.phase == FlightPhase::PushingBack)
        wanted = gf_normalHeading(wanted + g_fullCircle / 2);
    lf_turnTowards(ac, wanted);
}

void drive2Stand(LiveAc& ac, double standLat, double standLon, double standHeading)
{
    if (ac.samples.empty()) {
        gf_logLine("{} empty sz?", "drive2Stand");
        return;
    }
    PosSample& last = ac.samples.back();
    const bool same = std::fabs(standLat - last.latitude) <= 1e-8 && std::fabs(standLon - last.longitude) <= 1e-8;
    const double v = ac.standApproachSpeed;
    const int32_t t = std::max(gf_tickCount(gf_distanceNm(gf_samplePos(last), {standLat, standLon}), v), 100);
    last.groundSpeed = v;
    const PosSample& front = ac.samples.front();
    PosSample a;
    a.latitude = standLat;
    a.longitude = standLon;
    a.altitude = ac.pos.altitude;
    a.groundSpeed = v;
    a.trueAirspeed = v;
    a.track = standHeading * g_radToDeg;
    a.verticalSpeed = 0.0;
    a.dueTick = static_cast<uint32_t>(static_cast<int64_t>(front.dueTick) + t);
    a.airborne = false;
    a.stationary = same;
    a.trueHeadingGiven = front.trueHeadingGiven;
    a.roll = ac.pos.bank;
    PosSample b = a;
    b.groundSpeed = 0.0;
    b.trueAirspeed = 0.0;
    b.stationary = true;
    b.dueTick = static_cast<uint32_t>(static_cast<int64_t>(front.dueTick) + 50 + t);
    ac.samples.push_back(a);
    ac.samples.push_back(b);
    ac.motion.targetHeading = standHeading;
    if (ac.pauseCounter >= 1) {
        ac.pauseCounter = 0;
        lf_openWindows(ac);
    }
}
