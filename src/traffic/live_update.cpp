// Keeping one live aircraft going: its tick in every traffic pass, and the decision what
// each received position adds to what it is doing.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <utility>

#include "foundation/log.h"
#include "foundation/settings_catalogue.h"
#include "simlink/sim_queues.h"
#include "traffic/aircraft_configuration.h"
#include "traffic/engine_neighbours.h"
#include "traffic/live_stands.h"
#include "traffic/live_update.h"
#include "traffic/motion_internal.h"
#include "traffic/stand_lookup.h"
#include "traffic/traffic_internal.h"
#include "traffic/traffic_service.h"

namespace {

constexpr size_t kMaxQueuedSamples = 200;
constexpr double kNearPosition = 0.00015;
constexpr double kTakeOffKt = 30.0;
constexpr double kFastKt = 50.0;
constexpr double kRotationKt = 43.0;
constexpr double kMetresPerNm = 1852.0;
constexpr double kNearStandNm = 0.0458963282937365;       // 85 m
constexpr double kStandStepNm = 0.0016198704103671706;    // 3 m
constexpr double kStandLeftNm = 0.10799136069114472;      // 200 m
constexpr double kStillRunNm = 0.011879049676025918;      // 22 m
constexpr int64_t kStillRunTicks = 1500;
constexpr double kFarthestTaxiJoinM = 600.0;
constexpr double kStillKt = 0.5;
constexpr double kStartingNm = 0.0026997840172786176; // 5 m
constexpr double kStillAfterPushSpans = 6.0;
constexpr double kRestKt = 1.0;

bool lf_isFlagged(const LiveAc& ac)
{
    return ac.erase || ac.removed;
}

double lf_courseOff(const LiveAc& ac, const PosSample& from, const PosSample& to)
{
    return std::fabs(gf_wrapPi(gf_bearingRad(gf_samplePos(from), gf_samplePos(to)) - ac.pos.heading)) * g_radToDeg;
}

// A report that lies back from the newest one: in the air, against the nose; rolling out,
// against its own reported track, for the reports run 30 s ahead of the aircraft, past the
// exit and the turns after it, where the nose still points down the runway.
bool lf_behindNewest(const LiveAc& ac, const PosSample& newest, const PosSample& s)
{
    if (!ac.onGround)
        return lf_courseOff(ac, newest, s) >= 90.0;
    if (!gf_trackGiven(s) || gf_atRestReport(s))
        return false;
    const double course = gf_bearingRad(gf_samplePos(newest), gf_samplePos(s));
    return std::fabs(gf_wrapPi(course - s.track * g_degToRad)) * g_radToDeg >= 90.0;
}

void lf_endPause(LiveAc& ac)
{
    ac.pauseCounter = 0;
    lf_openWindows(ac);
}

// In the air, the sample made up to fly on is reached now, where the aircraft is, at the
// pace the report come now tells (the made-up one's is a guess, a little slower): the leg
// to the report, and a turn hidden in it, begin there and are as long as it really flies.
// Flown on to the made-up place first, it went straight for seconds while the real one turned.
void lf_reachMadeUpSampleHere(LiveAc& ac, const PosSample& s)
{
    if (ac.onGround || !s.airborne)
        return;
    PosSample& f = ac.samples.front();
    f.dueTick = g_trafficTick.load() + 1;
    f.latitude = ac.pos.latitude;
    f.longitude = ac.pos.longitude;
    f.groundSpeed = s.groundSpeed;
}

void lf_clearHolding(LiveAc& ac)
{
    ac.holding = false;
    ac.holdingStart = 0;
}

void lf_sendPosition(LiveAc& ac)
{
    if (ac.objectId != 0) {
        const PositionBlock& p = ac.pos;
        g_posUpdates.writeSide().push_back({p.latitude, p.longitude, p.pitch, p.bank, p.heading, p.altitude,
                                       p.verticalSpeed, p.trueAirspeed, ac.objectId});
        return;
    }
    gf_logErrorLine("{} objectid=0? hexid: {},cs:{}, reg:{}, aimo:{} sz:{}", "updateLiveAc", ac.hexid, ac.callsign,
                    ac.registration, gf_airlineTypeText(ac), ac.samples.size());
    removeAircraftFromSim(ac);
}

// The time a distance took from rest to a report's speed: its first metres at half the
// speed, the rest at the speed.
int32_t lf_ticksFromRest(const LiveAc& ac, double distanceNm, double reportedKt)
{
    return gf_tickCount(distanceNm + kStartingNm, reportedKt > 0.0 ? reportedKt : ac.standApproachSpeed);
}

// When a parked aircraft started to move, by its first moving report and this one: back
// from the first at the speed between them (at this one's speed when it is the first).
int64_t lf_startedMoving(const LiveAc& ac, const PosSample& s)
{
    const MotionState& m = ac.motion;
    const double nm = gf_distanceNm({ac.standLat, ac.standLon}, gf_samplePos(s));
    const int64_t ticks = static_cast<int64_t>(s.dueTick) - static_cast<int64_t>(m.firstMoveDue);
    if (m.firstMoveDue == 0 || ticks <= 0 || nm <= m.firstMoveDistance)
        return static_cast<int64_t>(s.dueTick) - lf_ticksFromRest(ac, nm, s.groundSpeed);
    const double kt = (nm - m.firstMoveDistance) * 360000.0 / static_cast<double>(ticks);
    return static_cast<int64_t>(m.firstMoveDue) - lf_ticksFromRest(ac, m.firstMoveDistance, kt);
}

void lf_holdCreationReport(LiveAc& ac, const PosSample& s)
{
    std::vector<PosSample>& held = ac.motion.creationReports;
    if (held.size() >= kMaxQueuedSamples)
        held.erase(held.begin());
    held.push_back(s);
}

bool lf_atStand(LiveAc& ac, PosSample& s)
{
    MotionState& m = ac.motion;
    const double d = gf_distanceNm({ac.standLat, ac.standLon}, gf_samplePos(s));
    const double near = ac.previousPhase == FlightPhase::Parking ? 2 * kNearStandNm : kNearStandNm;
    if (ac.status == SimStatus::Buffer || ac.status == SimStatus::Adding2Sim) {
        lf_holdCreationReport(ac, s);
        return false;
    }
    ac.parkedSampleSeen = true;
    // Leaving, every report shows the way it goes, and those going back when it began.
    if (d <= near && m.departurePending) {
        ac.standTime = gf_engine().steadyTicks();
        gf_notePushReport(ac, s);
        const std::optional<int64_t> start = gf_pushStart(ac);
        const int64_t now = gf_tickNow();
        if (start && ac.phase == FlightPhase::Parked && !ac.samples.empty() &&
            static_cast<int64_t>(ac.samples.front().dueTick) > now)
            ac.samples.front().dueTick =
                static_cast<uint32_t>(std::max({*start, static_cast<int64_t>(m.stillAtStandDue), now + 1}));
        return gf_takePushReport(ac, s);
    }
    // The last report that shows it standing and the first that shows it moving: they time
    // its start.
    if (d <= near && s.groundSpeed < kStillKt) {
        m.stillAtStandDue = s.dueTick;
        m.firstMoveDue = 0;
    } else if (d <= near && m.firstMoveDue == 0) {
        m.firstMoveDue = s.dueTick;
        m.firstMoveDistance = d;
    }
    if (d <= near) {
        ac.standTime = gf_engine().steadyTicks();
        const bool pushed = gf_notePushReport(ac, s);
        if (m.largestStandDistance == 0.0) {
            m.firstStandDistance = d;
            m.largestStandDistance = d;
            m.movedAwayCount = 0;
            m.departurePending = false;
            return false;
        }
        if (pushed) {
            lf_leaveStand(ac, s);
            return true;
        }
        if (d >= m.largestStandDistance + kStandStepNm) {
            m.largestStandDistance = d;
            ++m.movedAwayCount;
            const double away = d - m.firstStandDistance;
            if ((m.movedAwayCount >= 3 && away >= ac.halfSpan * 0.5) || away > ac.halfSpan) {
                lf_leaveStand(ac, s);
                return true;
            }
        }
        if (d <= m.largestStandDistance - kStandStepNm)
            m.movedAwayCount = 0;
        m.leavingStand = false;
        return false;
    }
    if (ac.phase == FlightPhase::Parking) {
        ac.previousPhase = FlightPhase::Parking;
        ac.phase = FlightPhase::Taxi;
        s.stationary = false;
        return true;
    }
    if (ac.phase == FlightPhase::Parked && d > kStandLeftNm) {
        lf_addRealStandOption(ac.standNumber, ac, 3);
        removeAircraftFromSim(ac);
        return false;
    }
    lf_leaveStand(ac, s);
    return true;
}

// Pushed back, the aircraft stands where the reports stopped it while they show it at rest;
// the first that moves begins its taxi.
bool lf_pushedBack(LiveAc& ac, PosSample& s)
{
    const double d = gf_distanceNm(gf_samplePos(s), gf_acPos(ac));
    // Farther than a push-back and a short taxi explain: another aircraft's report, or one
    // that would carry this one across the airport in a straight line.
    if (d * kMetresPerNm > kFarthestTaxiJoinM) {
        gf_logLine("{:8}: {:8} removed, its taxi report lies {:.0f} m from the push-back's end",
                   gf_standText(ac.standNumber), ac.callsign, d * kMetresPerNm);
        lf_clearHolding(ac);
        removeAircraftFromSim(ac);
        return false;
    }
    if (gf_atRestReport(s) && d <= ac.halfSpan * kStillAfterPushSpans) {
        if (!ac.holding) {
            ac.holding = true;
            ac.holdingStart = g_trafficTick.load();
        }
        return false;
    }
    s.stationary = false;
    lf_taxiAfterPushBack(ac);
    return true;
}

bool lf_otherPhases(LiveAc& ac, PosSample& s)
{
    const bool r = lf_checkSampleWhileStill(ac, s);
    if (!r || ac.pauseCounter <= 0)
        return r;
    if (ac.samples.empty()) {
        gf_logErrorLine("{} empty sz?", "checkExtendingSituations");
        return false;
    }
    if (!ac.onGround && lf_courseOff(ac, ac.samples.back(), s) >= 100.0)
        return false;
    lf_endPause(ac);
    ac.samples.front().dueTick = g_trafficTick.load() + 1;
    lf_reachMadeUpSampleHere(ac, s);
    lf_clearHolding(ac);
    return true;
}

// A stop that ended soon, or close to where the aircraft moves on, is not waited out again.
void lf_trimStationaryRun(LiveAc& ac, const PosSample& s)
{
    auto& q = ac.samples;
    if (s.airborne || q.empty() || !q.back().stationary)
        return;
    // The stationary run dropped after a sample: when that one is a stop, the run tells how
    // long it lasted.
    const auto dropAfter = [&q](size_t kept) {
        for (size_t i = kept + 1; i < q.size(); ++i)
            q[kept].stillUntilTick = std::max(q[kept].stillUntilTick, q[i].stillUntilTick);
        q.erase(q.begin() + static_cast<std::ptrdiff_t>(kept) + 1, q.end());
    };
    if (s.stationary) {
        if (q.size() > 1 && std::all_of(q.begin(), q.end(), [](const PosSample& x) { return x.stationary; }))
            dropAfter(0);
        return;
    }
    const auto count = static_cast<std::ptrdiff_t>(q.size());
    if (count < 3)
        return;
    const std::ptrdiff_t lowest = count - std::min<std::ptrdiff_t>(count, 7) + 1;
    for (std::ptrdiff_t i = count - 2; i >= lowest; --i) {
        const PosSample& x = q[static_cast<size_t>(i)];
        if (x.stationary)
            continue;
        const int64_t gap = static_cast<int64_t>(q.back().dueTick) - static_cast<int64_t>(x.dueTick);
        if (gap < kStillRunTicks || gf_distanceNm(gf_samplePos(x), gf_samplePos(s)) <= kStillRunNm)
            dropAfter(static_cast<size_t>(i));
        return;
    }
}

void lf_checkTakeOffRoll(LiveAc& ac, const PosSample& s)
{
    MotionState& m = ac.motion;
    if (m.takeOffConfiguration || !ac.onGround || ac.status != SimStatus::Active)
        return;
    const PosSample& n = ac.samples.back();
    if (m.rollOut && n.airborne && s.airborne) {
        // A go-around after touchdown.
        ac.phase = FlightPhase::Taxi;
        lf_setTakeOffConfiguration(ac, 3, 1);
    } else if (!s.airborne && s.groundSpeed >= kRotationKt && n.groundSpeed >= kRotationKt &&
               ac.phase == FlightPhase::Taxi) {
        lf_takeOffConfiguration(ac);
    } else if (s.airborne && ac.phase == FlightPhase::Taxi) {
        lf_takeOffConfiguration(ac);
    }
}

// Once the aircraft is active at its stand, the reports that came while it was being
// created are taken in their order, as if received now: a push-back or pull-out that began
// before its creation is timed and flown from them.
void lf_takeCreationReports(LiveAc& ac)
{
    const std::vector<PosSample> reports = std::exchange(ac.motion.creationReports, {});
    for (const PosSample& r : reports) {
        if (ac.status == SimStatus::Active)
            decodeExisting(ac, r);
    }
}

} // namespace

bool updateLiveAc(LiveAc& ac)
{
    try {
        if (ac.status == SimStatus::Buffer)
            lf_tryBuffered(ac);
        if (ac.status != SimStatus::Active)
            return lf_isFlagged(ac);
        if (ac.samples.empty()) {
            gf_logErrorLine("{} stream empty ? {}, hexid:{}, objectid:{}, alt:{:.0f} ft, lalo:{}, TAS:{:.0f}",
                            "updateLiveAc", gf_flightText(ac), ac.hexid, ac.objectId, ac.pos.altitude,
                            fmt::format("{:.6f},{:.6f}", ac.pos.latitude, ac.pos.longitude), ac.pos.trueAirspeed);
            removeAircraftFromSim(ac);
            return lf_isFlagged(ac);
        }
        if (gf_tickNow() >= static_cast<int64_t>(ac.samples.front().dueTick)) {
            nextPosMain(ac);
            if (ac.status != SimStatus::Active)
                return lf_isFlagged(ac);
            if (!ac.motion.creationReports.empty())
                lf_takeCreationReports(ac);
            if (ac.status != SimStatus::Active)
                return lf_isFlagged(ac);
            ac.pos.verticalSpeed = ac.motion.targetVerticalSpeed / 60.0;
            ac.pos.trueAirspeed = ac.samples.front().stationary ? 0.0 : ac.motion.targetTrueAirspeed;
        }
        if (!ac.samples.empty() && !ac.samples.front().stationary)
            lf_moveOneTick(ac);
        else if (ac.phase == FlightPhase::Parking)
            lf_turnTowards(ac, ac.standHeading);
        lf_sendPosition(ac);
    } catch (const std::exception& e) {
        gf_logErrorLine("{}: {} {}, sz:{}, fs:{}, st:{}", "updateLiveAc", e.what(), gf_flightText(ac), ac.samples.size(),
                        gf_flightPhaseText(ac.phase), gf_simStatusText(ac.status));
        // The same sample would fail again on every tick with the aircraft frozen.
        removeAircraftFromSim(ac);
        return lf_isFlagged(ac);
    }
    return lf_isFlagged(ac);
}

void decodeExisting(LiveAc& ac, PosSample s)
{
    try {
        if (ac.samples.size() > kMaxQueuedSamples) {
            removeAircraftFromSim(ac);
            return;
        }
        // A pushed-back aircraft waits for its taxi, whose first reports came while it was
        // being pushed: being far from it is no jump but the taxi it is to join.
        if (ac.holding && ac.phase != FlightPhase::PushedBack && !ac.samples.empty() &&
            gf_distanceNm(gf_samplePos(ac.samples.front()), gf_samplePos(s)) * kMetresPerNm >
                HOLDING_THRESHOLD_METERS.value) {
            lf_clearHolding(ac);
            removeAircraftFromSim(ac);
            return;
        }
        if (ac.phase == FlightPhase::Birth) {
            if (ac.samples.empty())
                return;
            // Kept as received, in case it is created at a stand (below, a report a few
            // metres off becomes a copy of the one before).
            lf_holdCreationReport(ac, s);
            if (!lf_checkSampleWhileStill(ac, s))
                return;
            if (s.dueTick <= ac.samples.back().dueTick)
                s.dueTick = ac.samples.back().dueTick + 1;
            ac.samples.push_back(s);
            return;
        }
        if (!checkExtendingSituations(ac, s) || ac.samples.empty())
            return;
        lf_trimStationaryRun(ac, s);
        if (s.dueTick <= ac.samples.back().dueTick)
            s.dueTick = ac.samples.back().dueTick + 1;
        lf_checkTakeOffRoll(ac, s);
        ac.samples.push_back(s);
        gf_onPushReportQueued(ac);
        lf_reportQueuedWhileStanding(ac);
        if (ac.samples.size() == 2 && ac.samples[0].stationary && ac.samples[1].stationary) {
            ac.samples[0].dueTick = g_trafficTick.load() + 1;
            ac.samples[0].groundSpeed = ac.samples[1].groundSpeed;
        }
    } catch (const std::exception& e) {
        gf_logErrorLine("{} exception {}", "decodeExisting", e.what());
        throw;
    }
}

bool checkExtendingSituations(LiveAc& ac, PosSample& s)
{
    switch (ac.phase) {
    case FlightPhase::Parking:
    case FlightPhase::Parked:
        return lf_atStand(ac, s);
    case FlightPhase::PushingBack:
        return gf_takePushReport(ac, s);
    case FlightPhase::PushedBack:
        return lf_pushedBack(ac, s);
    default:
        if (ac.motion.approach || ac.motion.rollOut)
            return checkNewPosDuringLanding(ac, s);
        return lf_otherPhases(ac, s);
    }
}

bool checkNewPosDuringLanding(LiveAc& ac, PosSample& s)
{
    auto& q = ac.samples;
    if (q.empty()) {
        gf_logErrorLine("{} empty sz?", "checkNewPosDuringLanding");
        return false;
    }
    if (gf_samePlace(s, q.back()))
        return false;
    if (q.size() >= 2) {
        if (lf_behindNewest(ac, q.back(), s)) {
            q.pop_back();
            if (q.size() >= 2 && lf_behindNewest(ac, q.back(), s))
                q.pop_back();
        }
    } else {
        const double off = lf_courseOff(ac, q.front(), s);
        if (ac.motion.approach) {
            if (off >= 90.0)
                return false;
        } else if (off >= 150.0) {
            if (ac.pauseCounter > 0)
                return false;
            PosSample f = q.front();
            f.latitude = ac.pos.latitude;
            f.longitude = ac.pos.longitude;
            f.dueTick = g_trafficTick.load() + 1;
            q.front() = f;
        }
    }
    if (ac.pauseCounter > 0) {
        // On an approach too (descending low near the airport, perhaps still in a turn).
        lf_reachMadeUpSampleHere(ac, s);
        lf_endPause(ac);
    }
    if (gf_samePlace(s, q.back())) {
        s.stationary = true;
        return true;
    }
    s.stationary = false;
    if (s.groundSpeed > q.back().groundSpeed && s.groundSpeed > 40.0)
        s.groundSpeed = q.back().groundSpeed;
    return true;
}

bool lf_checkSampleWhileStill(LiveAc& ac, PosSample& s)
{
    const PosSample& n = ac.samples.back();
    s.stationary = gf_samePlace(s, n);
    if (ac.category == TypeCategory::Rotorcraft)
        return true;
    // The very place of a report rolling on, while its own speed still rolls: a position not
    // brought up to date. Taken for a stop, an A320's push stopped 4.6 s early at a report of
    // 1.5 kt (the route bench's push-back 4650447); where it rolled to, the next report tells.
    if (s.stationary && !s.airborne && !n.airborne && s.groundSpeed > kRestKt && !gf_atRestReport(n))
        return false;
    const bool notStill = s.airborne || (ac.status == SimStatus::Active && !ac.onGround);
    const bool takingOff = ac.motion.takeOffConfiguration && s.groundSpeed > 0.0;
    if (s.stationary) {
        if (notStill || (takingOff && n.groundSpeed >= kTakeOffKt))
            return false;
        s.groundSpeed = 0.0;
        return true;
    }
    // Near the newest report, a report at rest jitters about the place where the aircraft
    // stands; the first at rest after moving ones shows where it stopped, up to 16 m beyond
    // the last moving one, and keeps its place. A report that moves is the way it rolls.
    if (std::fabs(s.latitude - n.latitude) <= kNearPosition && std::fabs(s.longitude - n.longitude) <= kNearPosition &&
        s.groundSpeed <= kRestKt) {
        if (notStill || (takingOff && n.groundSpeed >= kFastKt))
            return false;
        if (!gf_atRestReport(n)) {
            s.groundSpeed = 0.0;
            return true;
        }
        // A repeat of the report before, but it tells the stop lasted until its time.
        const uint32_t seen = s.dueTick;
        s = n;
        s.stillUntilTick = std::max(n.stillUntilTick, seen);
        s.groundSpeed = 0.0;
        s.stationary = true;
        return true;
    }
    if (s.groundSpeed != 0.0)
        return true;
    return !((ac.motion.takeOffConfiguration || s.airborne) && n.groundSpeed >= kFastKt);
}

void lf_leaveStand(LiveAc& ac, PosSample& s)
{
    MotionState& m = ac.motion;
    s.stationary = false;
    m.departurePending = true;
    if (ac.previousPhase == FlightPhase::Parked)
        return;
    if (ac.pauseCounter >= 1) {
        if (ac.phase == FlightPhase::Parked && m.landed && !ac.samples.empty()) {
            const int64_t t =
                gf_tickNow() - static_cast<int64_t>(ac.samples.front().dueTick) + 60480000;
            int64_t quick = 0;
            if (ac.category == TypeCategory::Heavy)
                quick = 360000;
            else if (ac.category == TypeCategory::Large)
                quick = 150000;
            else if (ac.category == TypeCategory::Buzjet)
                quick = 90000;
            m.quickTurnaround = t < quick;
            m.landed = false;
        }
        // It leaves when the real aircraft did: when this report is due, less the time the
        // report's distance from the stand took.
        if (ac.phase == FlightPhase::Parked && !ac.samples.empty()) {
            const std::optional<int64_t> pushStart = gf_pushStart(ac);
            const int64_t left = std::max(pushStart ? *pushStart : lf_startedMoving(ac, s),
                                          static_cast<int64_t>(m.stillAtStandDue));
            ac.samples.front().dueTick = static_cast<uint32_t>(std::max(left, gf_tickNow() + 1));
        }
        lf_endPause(ac);
    }
    lf_addRealStandOption(ac.standNumber, ac, 2);
    ac.phase = FlightPhase::Parked;
}
