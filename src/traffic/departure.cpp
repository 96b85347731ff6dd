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
constexpr double kMetresPerNm = 1852.0;
constexpr double kRestKt = 0.5;
constexpr double kRestM = 1.0;
constexpr double kSwingM = 3.0;
constexpr double kSwingRad = 10.0 * g_degToRad;
constexpr double kTaxiOffAxisRad = 30.0 * g_degToRad;
constexpr double kSlowestPushKt = 1.0;
constexpr double kFastestPushKt = 10.0;
constexpr int64_t kMinPushTicks = 100;
constexpr size_t kMostPushReports = 64;
constexpr int32_t kMinTicks = 25;

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

double lf_metres(const GeoPos& a, const GeoPos& b)
{
    return gf_distanceNm(a, b) * kMetresPerNm;
}

// Where and when the reports of a push-back show it stopped: the first report at rest (its
// speed, or no move from the report before); the stop taken at the moving report's speed
// before it, no later than the report at rest.
struct ReportedStop {
    bool found = false;
    size_t index = 0; // of the report at rest
    GeoPos pos;
    int64_t due = 0;
};
ReportedStop lf_reportedPushStop(const std::vector<PosSample>& reports)
{
    for (size_t i = 0; i < reports.size(); ++i) {
        const PosSample& b = reports[i];
        const double metres = i == 0 ? kRestM : lf_metres(gf_samplePos(reports[i - 1]), gf_samplePos(b));
        if (b.groundSpeed >= kRestKt && metres >= kRestM)
            continue;
        int64_t due = b.dueTick;
        if (i > 0 && reports[i - 1].groundSpeed >= kRestKt)
            due = std::min<int64_t>(due, reports[i - 1].dueTick +
                                             gf_tickCount(metres / kMetresPerNm, reports[i - 1].groundSpeed));
        return {true, i, gf_samplePos(b), due};
    }
    return {};
}

// The taxi a push-back leads to: the first report after its stop farther than a half span
// from it.
const PosSample* lf_reportedTaxi(const LiveAc& ac, const ReportedStop& stop)
{
    const std::vector<PosSample>& reports = ac.motion.pushReports;
    for (size_t i = stop.index + 1; stop.found && i < reports.size(); ++i) {
        if (lf_metres(gf_samplePos(reports[i]), stop.pos) > ac.halfSpan * kMetresPerNm)
            return &reports[i];
    }
    return nullptr;
}

// Whether the push turns and to which side (true: the tail swings to the right of the push
// direction, the nose ends to the right of the stand's heading). The nose ends towards the
// taxi that follows when the reports show it going off sideways; otherwise the reports of
// the push show the swing: their distance from the push line, their track or their heading.
void lf_decidePushTurn(LiveAc& ac)
{
    MotionState& m = ac.motion;
    m.pushBackDecided = false;
    if (STRAIGHT_PBS_ONLY.value)
        return;
    const GeoPos stand{ac.standLat, ac.standLon};
    const double push = gf_normalHeading(ac.standHeading + g_fullCircle / 2);
    const ReportedStop stop = lf_reportedPushStop(m.pushReports);
    if (const PosSample* taxi = lf_reportedTaxi(ac, stop)) {
        const double off = gf_wrapPi(gf_bearingRad(stop.pos, gf_samplePos(*taxi)) - ac.standHeading);
        if (std::fabs(off) >= kTaxiOffAxisRad) {
            m.pushBackDecided = true;
            m.pushBackSide = off > 0.0;
            return;
        }
    }
    const size_t last = stop.found ? stop.index : m.pushReports.size();
    for (size_t i = 0; i < last && !m.pushBackDecided; ++i) {
        const PosSample& r = m.pushReports[i];
        const double metres = lf_metres(stand, gf_samplePos(r));
        const double across = metres * std::sin(gf_wrapPi(gf_bearingRad(stand, gf_samplePos(r)) - push));
        double off = 0.0;
        if (r.trueHeadingGiven && r.trueHeading)
            off = gf_wrapPi(*r.trueHeading - ac.standHeading);
        else if (r.groundSpeed >= kRestKt && r.track != 0.0)
            off = gf_wrapPi(r.track * g_degToRad - push);
        if (std::fabs(across) >= kSwingM) {
            m.pushBackDecided = true;
            m.pushBackSide = across > 0.0;
        } else if (std::fabs(off) >= kSwingRad) {
            m.pushBackDecided = true;
            m.pushBackSide = off > 0.0;
        }
    }
}

// The push's speed: over the path left by the time the reports show it stopped, else at
// the stand approach speed.
double lf_pushSpeed(const LiveAc& ac, double pathNm)
{
    const ReportedStop stop = lf_reportedPushStop(ac.motion.pushReports);
    const int64_t ticks = stop.due - gf_tickNow();
    if (!stop.found || ticks < kMinPushTicks)
        return ac.standApproachSpeed;
    return std::clamp(pathNm * 360000.0 / static_cast<double>(ticks), kSlowestPushKt, kFastestPushKt);
}

// The path left from the front sample through the queue, in nautical miles.
double lf_pathNm(const LiveAc& ac)
{
    double nm = 0.0;
    for (size_t i = 1; i < ac.samples.size(); ++i)
        nm += gf_distanceNm(gf_samplePos(ac.samples[i - 1]), gf_samplePos(ac.samples[i]));
    return nm;
}

} // namespace

void gf_holdPushReport(LiveAc& ac, const PosSample& s)
{
    if (ac.motion.pushReports.size() < kMostPushReports)
        ac.motion.pushReports.push_back(s);
}

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
    const int64_t due = gf_tickNow() + gf_tickCount(gf_distanceNm(gf_acPos(ac), target), v);
    // The taxi's reports that come after the pull-out stay: without them the aircraft would
    // head straight for the next report, half a minute further on.
    auto firstLater = std::find_if(ac.samples.begin() + 1, ac.samples.end(),
                                   [due](const PosSample& s) { return static_cast<int64_t>(s.dueTick) > due; });
    ac.samples.erase(ac.samples.begin() + 1, firstLater);
    ac.samples.insert(ac.samples.begin() + 1, lf_groundSample(target, v, due));
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
    const double w = ac.halfSpan * kFtPerNm;
    m.pushReports.assign(ac.samples.begin() + 1, ac.samples.end());
    // Timed by the reports' own end when they already show it (a turn assumed).
    const double v = lf_pushSpeed(ac, gf_distanceNm(gf_acPos(ac), p1) + ac.halfSpan);
    ac.samples.front().groundSpeed = v;
    m.targetHeading = ac.pos.heading;
    // The heading holds while pushed: no turn is left over from the taxi in.
    m.groundTurn = false;
    const int32_t t1 = gf_tickCount(gf_distanceNm(gf_acPos(ac), p1), v);
    lf_cutQueueToFront(ac);
    ac.samples.push_back(lf_groundSample(p1, v, gf_tickNow() + t1));
    lf_insertMidSample(ac);
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
        lf_decidePushTurn(ac);
        if (ac.samples.size() >= 3 && m.pushBackDecided) {
            if (m.pushBackSide)
                ac.samples.back() = m.storedPushBackSample;
        } else if (ac.samples.size() >= 3) {
            ac.samples.pop_back();
        }
        // The rest of the push ends when the reports show it stopped.
        const double v = lf_pushSpeed(ac, lf_pathNm(ac));
        for (PosSample& s : ac.samples)
            s.groundSpeed = v;
        ac.samples.back().dueTick =
            static_cast<uint32_t>(gf_tickNow() + std::max(gf_tickCount(lf_pathNm(ac), v), kMinTicks));
        if (ac.samples.size() >= 3) {
            ac.samples[1].dueTick = static_cast<uint32_t>(
                (static_cast<int64_t>(ac.samples[0].dueTick) + static_cast<int64_t>(ac.samples.back().dueTick)) / 2);
            lf_buildTaxiCurve(ac);
            m.curve.parameterStep = 1.0 / std::max(gf_narrowRounded(90.0 / ac.groundTurnRate / 100.0), 1);
            m.curve.turnAngle = 90.0;
        }
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
