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
constexpr double kFtPerM = 3.280839895013123;
constexpr double kRotationSpeedKt = 43.0;
constexpr double kLiftOffClimbFpm = 256.0;
constexpr int32_t kLowestCounter = -1000;
constexpr double kEndOfClimbOutAglFt = 800.0;
constexpr double kMetresPerNm = 1852.0;
constexpr double kMovedM = 1.0;
// A report this close to the way the push goes carries it on; one farther off leads
// forward into the taxi.
constexpr double kPushingOnRad = 90.0 * g_degToRad;
constexpr double kFirstPushRad = 90.5 * g_degToRad;
// How a tug brings the aircraft to rest.
constexpr double kPushBrakingMps2 = 0.4;

PosSample lf_groundSample(const GeoPos& at, double speedKt, double trackRad, int64_t due)
{
    PosSample s;
    s.latitude = at.latitude;
    s.longitude = at.longitude;
    s.groundSpeed = speedKt;
    s.track = trackRad * g_radToDeg;
    s.dueTick = static_cast<uint32_t>(due);
    return s;
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

bool lf_movedOffStand(const LiveAc& ac)
{
    return lf_metres(gf_acPos(ac), {ac.standLat, ac.standLon}) > kMovedM;
}

// The push's end between its last report going back and the first going forward: the
// tug brought it to rest a little beyond the last one, as its speed there tells.
void lf_insertPushEnd(LiveAc& ac, size_t forward, double way)
{
    const PosSample& last = ac.samples[forward - 1];
    const int64_t gap = static_cast<int64_t>(ac.samples[forward].dueTick) - static_cast<int64_t>(last.dueTick);
    if (gap < 2)
        return;
    const double v = std::max(last.groundSpeed * kMetresPerNm / 3600.0, 0.1);
    const double beyond = std::min(v * v / (2.0 * kPushBrakingMps2), v * static_cast<double>(gap) / 200.0);
    PosSample end = lf_groundSample(gf_destinationPoint(gf_samplePos(last), way, beyond * kFtPerM), 0.0,
                                    last.track * g_degToRad, 0);
    end.dueTick = static_cast<uint32_t>(static_cast<int64_t>(last.dueTick) +
                                        std::clamp<int64_t>(std::llround(2.0 * beyond / v * 100.0), 1, gap - 1));
    ac.samples.insert(ac.samples.begin() + static_cast<std::ptrdiff_t>(forward), end);
}

// How many samples from the front the push flies: those that carry on backwards, up to a
// stop reported after it moved, or up to where it ended when the next report goes
// forward; all of them while the reports have not shown its end yet. A moving report's
// track tells which way it goes (its position may seem ahead of the one before by a few
// metres of jitter); some receivers report the nose rather than the way of travel during a
// push, which the first report of the push shows against its move from the stand.
size_t lf_pushSamples(LiveAc& ac)
{
    std::deque<PosSample>& q = ac.samples;
    double way = gf_normalHeading(ac.pos.heading + g_fullCircle / 2);
    GeoPos from = gf_samplePos(q.front());
    bool moved = lf_movedOffStand(ac);
    double& trackSign = ac.motion.pushTrackSign;
    for (size_t i = 1; i < q.size(); ++i) {
        const PosSample& s = q[i];
        const double metres = lf_metres(from, gf_samplePos(s));
        if (gf_atRestReport(s)) {
            // At rest where the push took it (the reports of the move lost, or not queued).
            const bool there = metres >= kMovedM &&
                               std::fabs(gf_wrapPi(gf_bearingRad(from, gf_samplePos(s)) - way)) <= kFirstPushRad;
            if (moved || there)
                return i + 1;
            continue;
        }
        if (!gf_trackGiven(s) && metres < kMovedM)
            continue;
        const double moveWay = metres >= kMovedM ? gf_bearingRad(from, gf_samplePos(s)) : way;
        if (trackSign == 0.0 && gf_trackGiven(s))
            trackSign = std::cos(s.track * g_degToRad - moveWay) >= 0.0 ? 1.0 : -1.0;
        // Without a track, its move from the report before tells.
        const double travel = gf_trackGiven(s) ? gf_normalHeading(s.track * g_degToRad +
                                                                  (trackSign < 0.0 ? g_fullCircle / 2 : 0.0))
                                               : moveWay;
        from = gf_samplePos(s);
        if (std::fabs(gf_wrapPi(travel - way)) <= (moved ? kPushingOnRad : kFirstPushRad)) {
            moved = true;
            way = travel;
            continue;
        }
        if (!moved)
            return 1;
        lf_insertPushEnd(ac, i, way);
        return i + 1;
    }
    return q.size();
}

// Straight push-backs only: the reports of the push are taken onto the stand's axis.
void lf_straightenPush(LiveAc& ac, size_t count)
{
    const GeoPos stand{ac.standLat, ac.standLon};
    const double way = gf_normalHeading(ac.standHeading + g_fullCircle / 2);
    for (size_t i = 1; i < count; ++i) {
        PosSample& s = ac.samples[i];
        const double metres = lf_metres(stand, gf_samplePos(s));
        const double along = metres * std::cos(gf_wrapPi(gf_bearingRad(stand, gf_samplePos(s)) - way));
        const GeoPos at = gf_destinationPoint(stand, way, std::max(along, 0.0) * kFtPerM);
        s.latitude = at.latitude;
        s.longitude = at.longitude;
        s.track = way * g_radToDeg;
    }
}

void lf_layPushTrack(LiveAc& ac)
{
    const size_t count = lf_pushSamples(ac);
    if (STRAIGHT_PBS_ONLY.value && ac.standNumber != 0)
        lf_straightenPush(ac, count);
    lf_layGroundTrack(ac, count, true);
}

// Whether the push is over at the report just reached: it stands where the reports stopped
// it, or the next report leads forward.
bool lf_pushEnded(const LiveAc& ac)
{
    if (ac.samples.size() < 2)
        return true;
    const PosSample& front = ac.samples[0];
    const PosSample& next = ac.samples[1];
    if (gf_atRestReport(front) && lf_movedOffStand(ac))
        return true;
    if (gf_atRestReport(next))
        return false;
    double travel = gf_bearingRad(gf_samplePos(front), gf_samplePos(next));
    if (gf_trackGiven(next) && ac.motion.pushTrackSign != 0.0)
        travel = gf_normalHeading(next.track * g_degToRad + (ac.motion.pushTrackSign < 0.0 ? g_fullCircle / 2 : 0.0));
    else if (lf_metres(gf_samplePos(front), gf_samplePos(next)) < kMovedM)
        return false;
    return std::fabs(gf_wrapPi(travel - ac.pos.heading)) < g_fullCircle / 4;
}

void lf_endPushBack(LiveAc& ac)
{
    MotionState& m = ac.motion;
    lf_dropGroundTrack(ac);
    m.targetHeading = ac.pos.heading;
    lf_readyToTaxi(ac);
    gf_setPhase(ac, FlightPhase::PushedBack);
    m.pushBackMode = 1;
    m.postPushBack = 900.0;
    ac.pauseCounter = 0;
    m.departurePending = false;
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
    const int64_t due = gf_tickNow() + gf_tickCount(gf_distanceNm(gf_acPos(ac), target), v);
    // The taxi's reports that come after the pull-out stay: without them the aircraft would
    // head straight for the next report, half a minute further on.
    auto firstLater = std::find_if(ac.samples.begin() + 1, ac.samples.end(),
                                   [due](const PosSample& s) { return static_cast<int64_t>(s.dueTick) > due; });
    ac.samples.erase(ac.samples.begin() + 1, firstLater);
    ac.samples.insert(ac.samples.begin() + 1, lf_groundSample(target, v, ac.standHeading, due));
    gf_setPhase(ac, FlightPhase::Taxi);
    ac.motion.targetHeading = ac.pos.heading;
    gf_setLights(ac.objectId, g_lightsLeavingStand);
    lf_readyToTaxi(ac);
    gf_logLine("{:8}: {:8} pulling out", gf_standText(ac.standNumber), ac.callsign);
}

// Pushed back along its reports, tail first, to where they show it stopped; the path and
// its timing are the taxi's, the nose on the path's tangent turned round.
void lf_pushBack(LiveAc& ac)
{
    MotionState& m = ac.motion;
    ac.pauseCounter = 0;
    if (lf_findStandByNumber(ac.standNumber) == nullptr)
        return;
    m.targetHeading = ac.pos.heading;
    gf_setLights(ac.objectId, g_lightsLeavingStand);
    gf_setPhase(ac, FlightPhase::PushingBack);
    m.pushBackMode = 2;
    m.pushTrackSign = 0.0;
    lf_dropGroundTrack(ac);
    lf_layPushTrack(ac);
    lf_scheduleGroundSample(ac);
}

void lf_pushBackStage(LiveAc& ac)
{
    if (!lf_pushEnded(ac)) {
        lf_layPushTrack(ac);
        lf_scheduleGroundSample(ac);
        return;
    }
    lf_endPushBack(ac);
    if (ac.samples.size() < 2)
        return;
    if (!gf_atRestReport(ac.samples[1])) {
        lf_taxiAfterPushBack(ac);
        lf_layGroundTrack(ac, ac.samples.size(), false);
    }
    lf_scheduleGroundSample(ac);
}

void lf_taxiAfterPushBack(LiveAc& ac)
{
    if (ac.pauseCounter > 0) {
        ac.pauseCounter = 0;
        lf_openWindows(ac);
    }
    ac.motion.pushBackMode = 0;
    gf_setPhase(ac, FlightPhase::Taxi);
    ac.standLat = 0.0;
    ac.standLon = 0.0;
    ac.standHeading = 0.0;
    ac.standNumber = 0;
    ac.cargoStand = false;
    ac.holding = false;
    ac.holdingStart = 0;
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
        else if (c == g_gearUpCounter) {
            gf_setGear(ac, false);
            p.altitude += m.altitudeStep;
        } else if (c < g_gearUpCounter) {
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
