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
// A move this short between reports without a track may be their jitter alone: it tells
// no way (a north track comes as 0, as a missing one does).
constexpr double kTellingMoveM = 5.0;
constexpr double kTrackSignM = 2.0 * kTellingMoveM;
// A report this close to the way the push goes carries it on; one farther off leads
// forward into the taxi.
constexpr double kPushingOnRad = 90.0 * g_degToRad;
constexpr double kFirstPushRad = 90.5 * g_degToRad;
// Reports this fast going back from the stand show the push; those this close to the
// stand (before the tail swings) tell when it began, as a tug starts a push this briskly;
// two in a row each this much farther back show it has begun.
constexpr double kPushMovingKt = 1.0;
constexpr double kPushStartFitM = 20.0;
constexpr double kPushStartMps2 = 0.25;
// A report going back this slowly shows the aircraft creeping off; below the push's pace, it
// is still gathering it.
constexpr double kCreepingKt = 0.5;
constexpr double kPushPaceKt = 1.5;
constexpr double kPushStepM = 2.0;
// How a tug brings the aircraft to rest, and how a taxi moves off.
constexpr double kPushBrakingMps2 = 0.4;
constexpr double kMoveOffMps2 = 0.5;
constexpr double kTrackedKt = 1.5; // from this speed on a report's track tells its way
// The taxi after a push leaves straight ahead: its reports this close to the first one's
// track, and this far from it, lie on the line it leaves along.
constexpr double kStraightAheadRad = 15.0 * g_degToRad;
constexpr double kStraightAheadM = 60.0;

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

// The push's end between its last report going back (at back) and the first going forward
// (at forward). The taxi leaves the push's end straight ahead, and the forward reports before it
// turns tell that line (their mean place and track). The tug brought the aircraft to rest a
// little beyond the last report going back, as its speed there tells, and the taxi had
// gathered the first forward report's speed from rest by there: it lies on that line where
// the first places it, and behind the second.
PosSample lf_pushEnd(const LiveAc& ac, size_t back, size_t forward, double way)
{
    const PosSample& last = ac.samples[back];
    const PosSample& first = ac.samples[forward];
    const int64_t gap = static_cast<int64_t>(first.dueTick) - static_cast<int64_t>(last.dueTick);
    const double v = std::max(last.groundSpeed * kMetresPerNm / 3600.0, 0.1);
    const double beyond = std::min(v * v / (2.0 * kPushBrakingMps2), v * static_cast<double>(gap) / 200.0);
    const GeoPos braked = gf_destinationPoint(gf_samplePos(last), way, beyond * kFtPerM);
    PosSample end = lf_groundSample(braked, 0.0, last.track * g_degToRad, 0);
    end.dueTick = static_cast<uint32_t>(static_cast<int64_t>(last.dueTick) +
                                        std::clamp<int64_t>(std::llround(2.0 * beyond / v * 100.0), 1, gap - 1));
    // A report at rest between the two, skipped as a repeat, told when the tug really brought
    // it to rest: it may have pushed on at its pace far longer than braking from the last one.
    const uint32_t rested = ac.motion.pushRestDue;
    if (rested > last.dueTick && rested < first.dueTick)
        end.dueTick = rested;
    if (!gf_trackGiven(first))
        return end;
    // A first report slower than that (a taxi that moved off from the push's end a moment
    // before) leads forward all the same, nearer the end than any: the next one, faster,
    // tells the way better where it keeps to it.
    double firstRad = first.track * g_degToRad;
    if (first.groundSpeed < kTrackedKt && forward + 1 < ac.samples.size()) {
        const PosSample& next = ac.samples[forward + 1];
        if (!next.airborne && !gf_atRestReport(next) && gf_trackGiven(next) && next.groundSpeed >= kTrackedKt &&
            std::fabs(gf_wrapPi(next.track * g_degToRad - firstRad)) <= kStraightAheadRad)
            firstRad = next.track * g_degToRad;
    }
    // The line: metres north and east of the first forward report.
    double north = 0.0;
    double east = 0.0;
    double dirNorth = 0.0;
    double dirEast = 0.0;
    int count = 0;
    for (size_t i = forward; i < ac.samples.size(); ++i) {
        const PosSample& s = ac.samples[i];
        if (s.airborne || gf_atRestReport(s) || !gf_trackGiven(s))
            break;
        const double metres = lf_metres(gf_samplePos(first), gf_samplePos(s));
        if (std::fabs(gf_wrapPi(s.track * g_degToRad - firstRad)) > kStraightAheadRad || metres > kStraightAheadM)
            break;
        const double bearing = gf_bearingRad(gf_samplePos(first), gf_samplePos(s));
        north += metres * std::cos(bearing);
        east += metres * std::sin(bearing);
        dirNorth += std::cos(s.track * g_degToRad);
        dirEast += std::sin(s.track * g_degToRad);
        ++count;
    }
    north /= count;
    east /= count;
    const double ahead = std::atan2(dirEast, dirNorth);
    const double fn = std::cos(ahead);
    const double fe = std::sin(ahead);
    const auto along = [&](const GeoPos& p) {
        const double metres = lf_metres(gf_samplePos(first), p);
        const double bearing = gf_bearingRad(gf_samplePos(first), p);
        return (metres * std::cos(bearing) - north) * fn + (metres * std::sin(bearing) - east) * fe;
    };
    const double firstV = first.groundSpeed * kMetresPerNm / 3600.0;
    double at = std::min(along(braked), along(gf_samplePos(first)) - firstV * firstV / (2.0 * kMoveOffMps2));
    // No farther back than the time between the two reports allows: pushed on at the last
    // one's pace, brought to rest, and the taxi gathering the first one's speed from there.
    const double lastAt = along(gf_samplePos(last));
    const double reach = (static_cast<double>(gap) / 100.0 - v / (2.0 * kPushBrakingMps2) -
                          2.0 * (along(gf_samplePos(first)) - lastAt) / firstV) /
                         (1.0 / v + 2.0 / firstV);
    at = std::max(at, lastAt - std::max(reach, 0.0));
    const double endNorth = north + fn * at;
    const double endEast = east + fe * at;
    const GeoPos place = gf_destinationPoint(gf_samplePos(first), std::atan2(endEast, endNorth),
                                             std::hypot(endNorth, endEast) * kFtPerM);
    end.latitude = place.latitude;
    end.longitude = place.longitude;
    end.track = gf_normalHeading(ahead) * g_radToDeg;
    return end;
}

void lf_insertPushEnd(LiveAc& ac, size_t forward, double way)
{
    const int64_t gap =
        static_cast<int64_t>(ac.samples[forward].dueTick) - static_cast<int64_t>(ac.samples[forward - 1].dueTick);
    if (gap < 2)
        return;
    const PosSample end = lf_pushEnd(ac, forward - 1, forward, way);
    ac.samples.insert(ac.samples.begin() + static_cast<std::ptrdiff_t>(forward), end);
    ac.motion.pushEndInserted = true;
}

// How many samples from the front the push flies: those that carry on backwards, up to a
// stop reported after it moved, or up to where it ended when the next report goes
// forward; all of them while the reports have not shown its end yet. A moving report's
// track tells which way it goes (its position may seem ahead of the one before by a few
// metres of jitter); some receivers report the nose rather than the way of travel during a
// push, which the first report of the push shows against its move from the stand, or against
// the way the tail goes where that move is within the reports' jitter.
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
            if (!moved && !there)
                continue;
            // The end put in before the first forward report: the later ones tell it better,
            // from the last report going back while it is still queued (the end put in shows
            // no pace, and the time from it no bound).
            if (ac.motion.pushEndInserted && i + 1 < q.size()) {
                const PosSample end = lf_pushEnd(ac, i >= 2 ? i - 1 : i, i + 1, way);
                q[i].latitude = end.latitude;
                q[i].longitude = end.longitude;
                q[i].track = end.track;
            } else if (!gf_trackGiven(s) && i + 1 < q.size() && !gf_atRestReport(q[i + 1])) {
                // At rest without a track: the taxi that leaves straight ahead tells its line.
                q[i].track = lf_pushEnd(ac, i, i + 1, way).track;
            }
            return i + 1;
        }
        if (!gf_trackGiven(s) && metres < kTellingMoveM)
            continue;
        const double moveWay = metres >= kMovedM ? gf_bearingRad(from, gf_samplePos(s)) : way;
        if (trackSign == 0.0 && gf_trackGiven(s)) {
            const double told = metres >= kTrackSignM ? moveWay : way;
            trackSign = std::cos(s.track * g_degToRad - told) >= 0.0 ? 1.0 : -1.0;
        }
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

// The push begins when the reports going back from the stand tell it began (its start was
// set from them): a plan that would wait on the stand for the first report ahead moves off now.
// So does one laid again a moment after it began, while the push still creeps off the stand.
void lf_moveOffNow(LiveAc& ac)
{
    GroundTrack& g = ac.motion.ground;
    if (lf_movedOffStand(ac))
        return;
    SpeedPlan& plan = g.plan;
    const int64_t now = gf_tickNow();
    for (size_t i = 0; i < plan.count; ++i) {
        if (plan.segments[i].speed <= 0.0 && plan.segments[i].accel <= 0.0)
            continue;
        const int64_t wait = plan.segments[i].start - now;
        if (wait <= 0)
            return;
        for (size_t k = 0; k < plan.count; ++k)
            plan.segments[k].start = std::max(plan.segments[k].start - wait, now);
        plan.arrival -= wait;
        return;
    }
}

void lf_layPushTrack(LiveAc& ac)
{
    const size_t count = lf_pushSamples(ac);
    if (STRAIGHT_PBS_ONLY.value && ac.standNumber != 0)
        lf_straightenPush(ac, count);
    lf_layGroundTrack(ac, count, true);
    lf_moveOffNow(ac);
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
    else if (lf_metres(gf_samplePos(front), gf_samplePos(next)) < kTellingMoveM)
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
    m.pushEndLat = ac.pos.latitude;
    m.pushEndLon = ac.pos.longitude;
    m.leavingPushEnd = true;
}

// How far a report at rest may lie from the mean of the others and still show the same
// stop: twice the reports' jitter.
constexpr double kRestRunM = 12.0;

// The reports at rest at the back of the queue (the newest run, not yet reached), from
// the back: how many, or none when the aircraft has reached the run already.
size_t lf_unreachedRestRun(const LiveAc& ac)
{
    size_t n = 0;
    for (size_t i = ac.samples.size(); i-- > 0;) {
        if (!gf_atRestReport(ac.samples[i]) || ac.samples[i].airborne)
            return n;
        if (i == 0)
            return 0;
        ++n;
    }
    return n;
}

} // namespace

bool gf_notePushReport(LiveAc& ac, const PosSample& s)
{
    MotionState& m = ac.motion;
    const GeoPos stand{ac.standLat, ac.standLon};
    const double metres = lf_metres(stand, gf_samplePos(s));
    const bool back = metres >= kMovedM &&
                      std::fabs(gf_wrapPi(gf_bearingRad(stand, gf_samplePos(s)) - ac.standHeading)) > g_fullCircle / 4;
    // Still gathering its pace, the push began v / a before a report, by its speed: its few
    // metres from the stand lie within the reports' jitter, which at a crawl is seconds (a
    // report at 1.1 kt 4.6 m off put an A320's start 5.6 s early, the route bench's
    // push-back 4350583). Creeping back, the aircraft has begun to move, though too slowly yet
    // to tell a push.
    const double v = s.groundSpeed * kMetresPerNm / 3600.0;
    const bool gathering = !s.airborne && back && s.groundSpeed >= kCreepingKt && s.groundSpeed < kPushPaceKt;
    if (gathering && metres <= kPushStartFitM) {
        m.pushStartSum += static_cast<double>(s.dueTick) - v / kPushStartMps2 * 100.0;
        ++m.pushStartCount;
    }
    if (s.airborne || s.groundSpeed < kPushMovingKt || !back) {
        // Still standing on the stand: the push has not begun.
        if (gf_atRestReport(s) && !gathering && metres <= kPushStartFitM) {
            m.pushStartSum = 0.0;
            m.pushStartCount = 0;
            m.pushBackRun = 0;
        }
        return false;
    }
    // Pushed at a steady pace v after a tug's steady start, the aircraft is d from the
    // stand t = d / v + v / (2 a) after it began.
    if (!gathering && metres <= kPushStartFitM) {
        m.pushStartSum += static_cast<double>(s.dueTick) - (metres / v + v / (2.0 * kPushStartMps2)) * 100.0;
        ++m.pushStartCount;
    }
    const bool farther = m.pushBackRun == 0 || metres >= m.pushBackRunM + kPushStepM;
    m.pushBackRun = farther ? m.pushBackRun + 1 : 1;
    m.pushBackRunM = metres;
    return m.pushBackRun >= 2;
}

std::optional<int64_t> gf_pushStart(const LiveAc& ac)
{
    const MotionState& m = ac.motion;
    if (m.pushStartCount == 0)
        return std::nullopt;
    return std::llround(m.pushStartSum / m.pushStartCount);
}

bool gf_takePushReport(LiveAc& ac, PosSample& s)
{
    const PosSample raw = s;
    if (!lf_checkSampleWhileStill(ac, s))
        return false;
    MotionState& m = ac.motion;
    if (raw.airborne || !gf_atRestReport(raw)) {
        m.restCount = 0;
        return true;
    }
    const size_t queued = lf_unreachedRestRun(ac);
    const bool sameStop = m.restCount > 0 && queued > 0 &&
                          lf_metres(gf_samplePos(raw), {m.restLatSum / m.restCount, m.restLonSum / m.restCount}) <=
                              kRestRunM;
    if (!sameStop) {
        m.restLatSum = m.restLonSum = m.restCos2Sum = m.restSin2Sum = 0.0;
        m.restCount = 0;
    }
    // A report without a track tells nothing of the line (the aircraft's own heading, part way
    // round its swing, is no report of it).
    if (gf_trackGiven(raw)) {
        m.restCos2Sum += std::cos(2.0 * raw.track * g_degToRad);
        m.restSin2Sum += std::sin(2.0 * raw.track * g_degToRad);
    }
    m.restLatSum += raw.latitude;
    m.restLonSum += raw.longitude;
    ++m.restCount;
    if (!sameStop)
        return true;
    // The line of the tracks, the way round the first of them gives; none, none told.
    const bool told = m.restCos2Sum != 0.0 || m.restSin2Sum != 0.0;
    double line = std::atan2(m.restSin2Sum, m.restCos2Sum) / 2.0;
    const PosSample& first = ac.samples[ac.samples.size() - queued];
    if (std::cos(line - (gf_trackGiven(first) ? first.track : raw.track) * g_degToRad) < 0.0)
        line += g_fullCircle / 2;
    const auto place = [&m, line, told](PosSample& x) {
        x.latitude = m.restLatSum / m.restCount;
        x.longitude = m.restLonSum / m.restCount;
        x.track = told ? gf_normalHeading(line) * g_radToDeg : 0.0;
    };
    for (size_t i = ac.samples.size() - queued; i < ac.samples.size(); ++i)
        place(ac.samples[i]);
    place(s);
    return true;
}

bool gf_leavesStandBackwards(const LiveAc& ac)
{
    if (ac.samples.empty())
        return false;
    const double x = gf_wrapPi(gf_bearingRad({ac.standLat, ac.standLon}, gf_samplePos(ac.samples.back())) -
                               ac.standHeading);
    return std::abs(gf_narrowRounded(x * g_radToDeg)) >= 90;
}

void lf_departFromStand(LiveAc& ac)
{
    if (!ac.motion.departurePending)
        return;
    if (gf_leavesStandBackwards(ac))
        lf_pushBack(ac);
    else
        lf_pullOut(ac);
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
    m.pushEndInserted = false;
    m.pushRestDue = 0;
    lf_dropGroundTrack(ac);
    lf_layPushTrack(ac);
    lf_scheduleGroundSample(ac);
}

void gf_onPushReportQueued(LiveAc& ac)
{
    GroundTrack& g = ac.motion.ground;
    if (ac.phase != FlightPhase::PushingBack || ac.samples.empty() || !g.active)
        return;
    // Laid from where the aircraft is now, as from a report it has reached.
    const double travel = gf_normalHeading(ac.pos.heading + g_fullCircle / 2);
    ac.samples.push_front(lf_groundSample(gf_acPos(ac), gf_mpsToKt(g.speed), travel, gf_tickNow()));
    lf_layPushTrack(ac);
    ac.samples.pop_front();
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
