// A live aircraft on the ground at each report it reaches: the path and plan it follows
// (ground_track.cpp), the roll-out after touchdown, the hand-over to the parking and the
// drive onto a stand.
#include <algorithm>
#include <cmath>
#include <optional>

#include "foundation/log.h"
#include "parking/static_parking.h"
#include "traffic/aircraft_configuration.h"
#include "traffic/live_stands.h"
#include "traffic/live_update.h"
#include "traffic/motion_internal.h"
#include "traffic/traffic_service.h"

namespace {

constexpr double kMetresPerNm = 1852.0;
constexpr double kTurnToleranceRad = 0.5 * g_degToRad;
constexpr double kOffRunwayRad = 15.0 * g_degToRad;
constexpr int32_t kMinTicks = 25;
constexpr double kOnStandM = 2.0;
constexpr double kFtPerM = 3.28083989501312;
constexpr double kMpsPerKt = 1852.0 / 3600.0;
// How far out a report is taken as one on the stand's lead-in line, and how far beside it.
constexpr double kLeadInM = 40.0;
constexpr double kLeadInOffM = 6.0;
constexpr double kShortOfStandM = 6.0;
constexpr double kStopItselfM = 1.0;
// The drive onto a stand begins within this of the stop the reports end with.
constexpr double kNearStopM = 35.0;

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

// Phases whose aircraft rolls along the path of its reports.
bool lf_rollsAlongReports(const LiveAc& ac)
{
    switch (ac.phase) {
    case FlightPhase::Taxi:
    case FlightPhase::Parking:
    case FlightPhase::Flying: // touched down, before its first ground step
    case FlightPhase::Birth:
    case FlightPhase::TakeOff: // rotating, while the reports still show it on the ground
        return true;
    default:
        return false;
    }
}

// The reports ahead that lead to the stop by the stand keep their places and times, so that
// it stops when the real one did; the stop itself is moved onto the stand, and what follows
// it (the reports of it standing there) is dropped. False when no report ahead stands.
bool lf_reportsOntoStand(LiveAc& ac, double standLat, double standLon, double standHeading)
{
    std::deque<PosSample>& q = ac.samples;
    size_t stop = 1;
    while (stop < q.size() && !gf_atRestReport(q[stop]))
        ++stop;
    if (stop >= q.size())
        return false;
    q.resize(stop + 1);
    // The last metres run straight in along the stand's lead-in line: reports on it lie off
    // it by their jitter alone, and a path through them would end beside the stand, askew.
    const GeoPos stand{standLat, standLon};
    const double behind = standHeading + g_fullCircle / 2;
    for (size_t i = 1; i < stop; ++i) {
        const double m = gf_distanceNm(stand, gf_samplePos(q[i])) * kMetresPerNm;
        const double off = gf_bearingRad(stand, gf_samplePos(q[i])) - behind;
        const double along = m * std::cos(off);
        if (along <= 0.0 || along > kLeadInM || std::fabs(m * std::sin(off)) > kLeadInOffM)
            continue;
        const GeoPos on = gf_destinationPoint(stand, behind, along * kFtPerM);
        q[i].latitude = on.latitude;
        q[i].longitude = on.longitude;
        q[i].track = standHeading * g_radToDeg;
    }
    // One a few metres short of the stand lies there by the stop's jitter (the path would end
    // there, or run past the stand and back), yet its time and speed tell how the real one
    // slowed: it is put on the lead-in line as far out as it rolls to the stop in that time.
    // One that comes within a metre of it so tells of the stop alone, and is dropped.
    double nextOut = 0.0;
    for (size_t i = stop; i-- > 1;) {
        if (gf_distanceNm(stand, gf_samplePos(q[i])) * kMetresPerNm >= kShortOfStandM)
            break;
        const double seconds = (static_cast<double>(q[i + 1].dueTick) - static_cast<double>(q[i].dueTick)) / 100.0;
        const double mps = (q[i].groundSpeed + (i + 1 == stop ? 0.0 : q[i + 1].groundSpeed)) / 2.0 * kMpsPerKt;
        const double out = std::min(nextOut + std::max(seconds, 0.0) * mps, kShortOfStandM);
        if (out < kStopItselfM) {
            q.erase(q.begin() + static_cast<std::ptrdiff_t>(i));
            --stop;
            continue;
        }
        nextOut = out;
        const GeoPos on = gf_destinationPoint(stand, behind, out * kFtPerM);
        q[i].latitude = on.latitude;
        q[i].longitude = on.longitude;
        q[i].track = standHeading * g_radToDeg;
    }
    PosSample& s = q[stop];
    s.latitude = standLat;
    s.longitude = standLon;
    s.groundSpeed = 0.0;
    s.trueAirspeed = 0.0;
    s.track = standHeading * g_radToDeg;
    // Moving to it: the way there is laid again, ending on the stand.
    s.stationary = false;
    ac.motion.targetHeading = gf_bearingRad(gf_acPos(ac), {standLat, standLon});
    if (ac.pauseCounter >= 1) {
        ac.pauseCounter = 0;
        lf_openWindows(ac);
    }
    return true;
}

} // namespace

void gf_checkArrival(LiveAc& ac)
{
    if (ac.samples.empty())
        return;
    // A stop the reports hid in a gap is reached before the report that shows it is due: the
    // aircraft standing there looks for its stand now, not seconds later.
    const PosSample& last = ac.samples.back();
    const bool standsAtLast = gf_atRestReport(last) && gf_distanceNm(gf_acPos(ac), gf_samplePos(last)) * kMetresPerNm <= 1.0;
    // The reports end at rest (jittered, so not always at the same place): it may be
    // stopping at a stand ahead, whose drive keeps their times.
    if ((!last.stationary && !gf_atRestReport(last)) || ac.phase != FlightPhase::Taxi || !g_parkStandsLoaded.load())
        return;
    const FlightPhase prev = ac.previousPhase;
    if (!ac.motion.towed &&
        (prev == FlightPhase::Parked || prev == FlightPhase::PushingBack || prev == FlightPhase::PushedBack))
        return;
    if (ac.pauseCounter < 1) {
        if ((standsAtLast || (ac.samples.size() >= 2 && ac.samples[1].groundSpeed <= 5.0)) &&
            gf_distanceNm(gf_acPos(ac), gf_samplePos(ac.samples.back())) * kMetresPerNm <= kNearStopM)
            try2Park(ac, false);
    } else {
        try2Park(ac, ac.motion.landed);
    }
}

bool gf_stopWithinReachBeforeLastReport(const LiveAc& ac)
{
    // On the way to the last report that moves, a few metres short of the stop the reports
    // end at: no report reached lies near enough to the stop and far enough out for the drive
    // onto a stand to begin at it, with the way in still ahead. It begins where the aircraft
    // comes within reach of the stop.
    const std::deque<PosSample>& q = ac.samples;
    if (ac.phase != FlightPhase::Taxi || ac.pauseCounter >= 1 || q.size() < 2 || gf_atRestReport(q[0]) ||
        !gf_atRestReport(q[1]) || !gf_atRestReport(q.back()))
        return false;
    const GeoPos stop = gf_samplePos(q.back());
    return gf_distanceNm(gf_samplePos(q[0]), stop) * kMetresPerNm < kShortOfStandM &&
           gf_distanceNm(gf_acPos(ac), stop) * kMetresPerNm <= kNearStopM;
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
            if (ac.phase == FlightPhase::PushingBack)
                return;
        }
        // Pushed back, the first report that moves begins the taxi, in time to meet it.
        if (ac.phase == FlightPhase::PushedBack && ac.samples.size() >= 2 && !gf_atRestReport(ac.samples[1]))
            lf_taxiAfterPushBack(ac);
        if (ac.phase != FlightPhase::Parked)
            gf_checkArrival(ac);
        // The take-off roll's path runs on through the first reports in the air: the rotation
        // follows it at the roll's pace.
        if (ac.samples.size() >= 2 && !ac.samples[1].stationary &&
            (!ac.samples[1].airborne || ac.motion.takeOffConfiguration) && lf_rollsAlongReports(ac))
            lf_layGroundTrack(ac, ac.samples.size(), false);
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
    const int64_t now = gf_tickNow();
    if (next.stationary) {
        const int64_t diff = static_cast<int64_t>(next.dueTick) - static_cast<int64_t>(front.dueTick);
        const int64_t gap = diff >= 0 ? std::max<int64_t>(diff, kMinTicks) : kMinTicks;
        int64_t c = now + std::max<int64_t>(static_cast<int64_t>(front.dueTick) - now + gap, kMinTicks);
        if (ac.pauseCounter < 1)
            c = std::clamp(c, static_cast<int64_t>(next.dueTick) - ac.motion.earlierWindow,
                           static_cast<int64_t>(next.dueTick) + ac.motion.laterWindow);
        next.dueTick = static_cast<uint32_t>(std::max(c, now));
        return;
    }
    // A moving report keeps its time: the aircraft's plan decides how it gets there.
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
    const double rate = std::min(ac.groundTurnRate, std::fabs(diff));
    ac.pos.heading = gf_normalHeading(ac.pos.heading + (diff > 0.0 ? rate : -rate));
}

void drive2Stand(LiveAc& ac, double standLat, double standLon, double standHeading)
{
    if (ac.samples.empty()) {
        gf_logLine("{} empty sz?", "drive2Stand");
        return;
    }
    if (lf_reportsOntoStand(ac, standLat, standLon, standHeading))
        return;
    if (ac.samples.size() > 1)
        ac.samples.resize(1);
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
    // Nose first onto the stand: along the way to it; the stand's heading is taken on it.
    const GeoPos here = gf_acPos(ac);
    ac.motion.targetHeading = gf_distanceNm(here, {standLat, standLon}) * kMetresPerNm > kOnStandM
                                  ? gf_bearingRad(here, {standLat, standLon})
                                  : standHeading;
    if (ac.pauseCounter >= 1) {
        ac.pauseCounter = 0;
        lf_openWindows(ac);
    }
}
