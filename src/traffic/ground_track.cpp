// A live aircraft on the ground follows the path its reports lay (ground_path.cpp) at the
// pace its speed plan sets (ground_schedule.cpp): laid again at every report it reaches,
// planned again every half second from where it is, its nose on the path's tangent (the
// tail's when it is pushed). Standing, it turns on the spot before it moves off when the
// way leaves off its nose; the time it takes comes out of its wait.
#include <algorithm>
#include <array>
#include <cmath>
#include <string>

#include "traffic/motion_internal.h"
#include "traffic/plane_curves.h"
#include "traffic/push_path.h"
#include "traffic/traffic_service.h"

namespace {

constexpr double kRestKt = 1.0;
constexpr double kTrackKt = 1.5;
constexpr double kCornerPassM = 8.0;
constexpr double kHeavyFastCornerPassM = 15.0;
constexpr double kFastCornerKt = 20.0;
constexpr size_t kPassedKept = 3;
constexpr double kOnPathM = 0.05;
constexpr double kOnPathRad = 2.0 * g_degToRad;
constexpr double kLeastJoinM = 15.0;
constexpr double kJoinPerOffM = 4.0;
constexpr double kLeastJoinAheadM = 2.0;
constexpr double kJoinAheadS = 1.0;
constexpr double kJoinStepM = 0.5;
constexpr double kMostJoinOnM = 15.0;
constexpr double kJoinAlongRad = 30.0 * g_degToRad;
constexpr double kLeastCornerJoinM = 4.0;
constexpr double kCornerJoinS = 2.0;
constexpr double kCurvedPerM = 1.0 / 500.0;
constexpr double kPivotRad = 20.0 * g_degToRad;
constexpr double kNearStopM = 3.0;
constexpr double kSameStopM = 10.0;
constexpr double kSameStopBehindM = 2.0 * kSameStopM;
constexpr double kOffStandM = 1.0;
constexpr double kMetresPerNm = 1852.0;
// The climb keeps to the roll's path while the path runs this far beyond the next report.
constexpr double kBeyondNextM = 50.0;
// Reports jitter up to 5 m about the real place: within this of a standing aircraft they
// tell no direction.
constexpr double kMoveOffM = 8.0;
constexpr double kPivotToleranceRad = 0.5 * g_degToRad;
constexpr double kStandingMps = 0.3;
constexpr int64_t kLeastReplanTicks = 25;
constexpr double kOffPlanM = 1.0;
constexpr double kOffPlanMps = 0.3;
constexpr double kTickS = 0.01;
// The nose follows the path at up to this many times the type's turn rate on the spot;
// where a curve asks more, the aircraft slows for it.
constexpr double kCurveTurnRateShare = 6.0;
constexpr double kMostYawRate = 38.0 * g_degToRad; // per second
constexpr double kCurveBrakingMps2 = 0.8;
constexpr double kCurvedShare = 0.5;
constexpr double kFastKt = 40.0; // a take-off roll or a roll-out
// A report this far from a standing aircraft tells the way it moves off; within this of its
// nose, along its nose.
constexpr double kTellingWayM = 10.0;
constexpr double kAlongNoseRad = 30.0 * g_degToRad;
constexpr double kAsideJitterM = 10.0;
// A tug starts and stops a push gently (gaining or losing its pace over a few seconds), and
// swings the tail round no tighter than this many half spans.
constexpr double kPushAccel = 0.25;
constexpr double kPushRampS = 5.0;
constexpr double kPushTurnSpans = 0.5;

struct CategoryAccel {
    double taxi;
    double fast;
};
// By TypeCategory: light, business jet, large, heavy, high performance, rotorcraft; m/s² at
// taxi speeds and on a runway. A heavy's brakes stop it on its roll-out as firmly as a
// smaller type's: held to 2.4, a B744 whose reports slowed at 2.5 m/s² ran 100 m ahead of
// them off its roll-out and looped back at its exit (the route bench's exit 3450768).
constexpr std::array<CategoryAccel, g_typeCategoryCount> kAccel{
    {{1.2, 2.8}, {1.2, 2.8}, {1.1, 2.8}, {0.9, 2.8}, {1.2, 2.8}, {1.2, 2.8}}};

SpeedLimits lf_speedLimits(const LiveAc& ac)
{
    const CategoryAccel& a = kAccel.at(static_cast<size_t>(ac.category));
    SpeedLimits l;
    l.mostAccel = a.taxi;
    l.fastAccel = a.fast;
    l.towed = ac.motion.ground.reverse;
    if (l.towed)
        l.plannedAccel = std::max(kPushAccel, ac.motion.ground.speed / kPushRampS);
    return l;
}

PathReport lf_pathReport(const GroundPath& path, const PosSample& s)
{
    const LocalPos at = gf_toPathFrame(path, gf_samplePos(s));
    PathReport r;
    r.north = at.north;
    r.east = at.east;
    r.trackRad = s.track * g_degToRad;
    const bool rolling = !s.stationary && s.groundSpeed >= kTrackKt;
    r.trackKnown = rolling && gf_trackGiven(s);
    r.zeroTrack = rolling && !gf_trackGiven(s);
    r.restTrackGiven = gf_trackGiven(s) && gf_atRestReport(s);
    r.speedKt = s.groundSpeed;
    // When the real aircraft was there: a report put off for the aircraft to reach it was not
    // flown to any later, and the way between two reports is as long as their true times tell.
    r.timeS = static_cast<double>(s.dueTick - s.waitedTicks) / 100.0;
    return r;
}

// How fast the nose turns following a curve (radians a second).
double lf_curveTurnRate(const LiveAc& ac)
{
    return std::min(std::max(ac.groundTurnRate, 1e-6) * 100.0 * kCurveTurnRateShare, kMostYawRate);
}

// The fastest the aircraft may roll at each point of the path for its nose to follow the
// curves, and to brake for the curves ahead.
void lf_curveLimits(LiveAc& ac)
{
    GroundTrack& g = ac.motion.ground;
    const std::vector<PathPoint>& p = g.path.points;
    const double rate = lf_curveTurnRate(ac);
    g.speedLimits.assign(p.size(), 1e9);
    for (size_t i = 0; i < p.size(); ++i) {
        if (p[i].curvature > 1e-6)
            g.speedLimits[i] = rate / p[i].curvature;
    }
    for (size_t i = p.size(); i-- > 1;) {
        const double ds = p[i].station - p[i - 1].station;
        g.speedLimits[i - 1] =
            std::min(g.speedLimits[i - 1], std::sqrt(g.speedLimits[i] * g.speedLimits[i] + 2.0 * kCurveBrakingMps2 * ds));
    }
}

// At the station, between the path points around it: the limit of the point behind, and
// braking for the one ahead.
double lf_curveLimitAt(const GroundTrack& g)
{
    const std::vector<PathPoint>& p = g.path.points;
    if (g.speedLimits.empty() || p.empty())
        return 1e9;
    const size_t i = std::min(g.hint, g.speedLimits.size() - 1);
    if (i + 1 >= g.speedLimits.size())
        return g.speedLimits[i];
    const double ahead = std::max(p[i + 1].station - g.station, 0.0);
    const double next = g.speedLimits[i + 1];
    // Past a curve's last point the way runs straight: the curve's limit no longer holds. So
    // it is where the next point begins a slight bend far on, the way to it straight (turning
    // less than half as much as the curve behind would).
    const double turn = std::fabs(gf_wrapPi(p[i + 1].heading - p[i].heading));
    const bool curved = turn > kCurvedShare * p[i].curvature * (p[i + 1].station - p[i].station);
    const double behind = p[i + 1].curvature > 1e-6 && curved ? g.speedLimits[i] : 1e9;
    return std::min(behind, std::sqrt(next * next + 2.0 * kCurveBrakingMps2 * ahead));
}

void lf_plan(LiveAc& ac)
{
    GroundTrack& g = ac.motion.ground;
    gf_planGroundSpeed(g.targets, g.station, g.speed, gf_tickNow(), g.previous, lf_speedLimits(ac), g.plan);
    g.replanTick = gf_tickNow() + kLeastReplanTicks;
    g.planStation = g.station;
}

// A plan is kept while the aircraft keeps to it: it is made again when a curve slowed the
// aircraft off it, or when it has reached the target it was made for.
bool lf_offPlan(const GroundTrack& g, int64_t now)
{
    if (now < g.replanTick)
        return false;
    return now >= g.plan.arrival || std::fabs(g.station - g.planStation) > kOffPlanM ||
           std::fabs(g.speed - gf_plannedSpeed(g.plan, now)) > kOffPlanMps;
}

// The last metres to a stop straight on along the heading.
void lf_straightToStop(GroundTrack& g, double heading, double metres)
{
    PathPoint a;
    a.heading = heading;
    PathPoint b = a;
    b.north = std::cos(heading) * metres;
    b.east = std::sin(heading) * metres;
    b.station = metres;
    g.path.points = {a, b};
    std::fill(g.path.reportStations.begin(), g.path.reportStations.end(), metres);
    g.station = 0.0;
}

// Standing with the way well off its nose, it turns on the spot first: the turn starts so
// that it ends when the plan moves off, or now, the plan then waiting for it.
void lf_planPivot(LiveAc& ac, double heading)
{
    GroundTrack& g = ac.motion.ground;
    const double off = std::fabs(gf_wrapPi(g.pivotHeading - heading));
    const auto turnTicks = static_cast<int64_t>(std::ceil(off / std::max(ac.groundTurnRate, 1e-6)));
    int64_t moveOff = g.plan.arrival;
    for (size_t i = 0; i < g.plan.count; ++i) {
        if (g.plan.segments[i].speed > 0.0 || g.plan.segments[i].accel > 0.0) {
            moveOff = g.plan.segments[i].start;
            break;
        }
    }
    const int64_t now = gf_tickNow();
    g.pivotStart = moveOff - turnTicks;
    if (g.pivotStart < now) {
        const int64_t shift = now - g.pivotStart;
        for (size_t i = 0; i < g.plan.count; ++i)
            g.plan.segments[i].start += shift;
        g.plan.arrival += shift;
        g.pivotStart = now;
    }
    // Replanned once it has turned.
    g.replanTick = g.pivotStart + turnTicks + 1;
}

// A push leaves the aircraft on the line its taxi leaves along: when the reports a few metres
// on lie ahead of its nose, it moves off along it, the reports of its first metres (which
// jitter about that line) taken onto it.
bool lf_leavesAlongNose(std::vector<PathReport>& reports, size_t front, double heading)
{
    const Vec nose = gf_headingVec(heading);
    for (size_t i = front + 1; i < reports.size(); ++i) {
        const Vec at{reports[i].north, reports[i].east};
        if (gf_length(at) < kTellingWayM)
            continue;
        if (std::fabs(gf_turn(nose, gf_unit(at))) > kAlongNoseRad) {
            // Off the nose by no more than its jitter and the stop's, it tells no way: the
            // report after it does.
            if (gf_dot(nose, at) > 0.0 && std::fabs(gf_cross(nose, at)) <= kAsideJitterM)
                continue;
            return false;
        }
        for (size_t k = front + 1; k < i; ++k) {
            const Vec on = nose * std::max(gf_dot(Vec{reports[k].north, reports[k].east}, nose), 0.0);
            reports[k].north = on.n;
            reports[k].east = on.e;
        }
        return true;
    }
    return false;
}

void lf_place(LiveAc& ac)
{
    GroundTrack& g = ac.motion.ground;
    const PathPoint p = gf_pathPointAt(g.path, g.station, g.hint);
    const GeoPos at = gf_fromPathFrame(g.path, p.north, p.east);
    ac.pos.latitude = at.latitude;
    ac.pos.longitude = at.longitude;
    ac.pos.heading = gf_normalHeading(g.reverse ? p.heading + g_fullCircle / 2 : p.heading);
}

// The reports within a few metres of a standing aircraft, onto the line towards the first
// report beyond them (ahead of its nose when there is none). The reports queued are moved
// with them, so that the path laid at the next stays on this one.
void lf_alongWayOut(LiveAc& ac, const GroundPath& frame, std::vector<PathReport>& reports, size_t front)
{
    const double heading = ac.pos.heading;
    size_t near = front + 1;
    while (near < reports.size() && std::hypot(reports[near].north, reports[near].east) <= kMoveOffM)
        ++near;
    const double way = near < reports.size() ? std::atan2(reports[near].east, reports[near].north) : heading;
    for (size_t i = front + 1; i < near; ++i) {
        PathReport& r = reports[i];
        const double along = std::max(r.north * std::cos(way) + r.east * std::sin(way), 0.0);
        r.north = along * std::cos(way);
        r.east = along * std::sin(way);
        const GeoPos at = gf_fromPathFrame(frame, r.north, r.east);
        ac.samples[i - front].latitude = at.latitude;
        ac.samples[i - front].longitude = at.longitude;
    }
}

} // namespace

bool gf_atRestReport(const PosSample& s)
{
    return s.stationary || s.groundSpeed <= kRestKt;
}

bool gf_trackGiven(const PosSample& s)
{
    return s.track != 0.0;
}

bool lf_groundTrackActive(const LiveAc& ac)
{
    // Rotating, the aircraft keeps to the roll's path and pace up to the first report in the
    // air: the climb's steps take over from there.
    if (ac.phase == FlightPhase::TakeOff)
        return ac.motion.ground.active;
    return ac.motion.ground.active && ac.onGround && ac.phase != FlightPhase::PushedBack &&
           ac.phase != FlightPhase::Parked;
}

bool lf_rotatingAlongTrack(const LiveAc& ac)
{
    return ac.phase == FlightPhase::TakeOff && ac.motion.ground.active && !ac.samples.empty() &&
           !ac.samples.front().airborne;
}

bool lf_climbingAlongTrack(const LiveAc& ac)
{
    const GroundTrack& g = ac.motion.ground;
    if (ac.phase != FlightPhase::TakeOff || !g.active || ac.motion.takeOffCounter <= g_gearUpCounter ||
        ac.samples.size() < 2)
        return false;
    const double toNext = gf_distanceNm(gf_acPos(ac), gf_samplePos(ac.samples[1])) * kMetresPerNm;
    return gf_pathLength(g.path) - g.station > toNext + kBeyondNextM;
}

void lf_dropGroundTrack(LiveAc& ac)
{
    GroundTrack& g = ac.motion.ground;
    g.active = false;
    g.pivot = false;
    g.reverse = false;
    g.passed.clear();
    g.targets.clear();
    g.speed = 0.0;
}

void lf_notePassedSample(LiveAc& ac)
{
    if (!ac.onGround || ac.samples.empty() || ac.samples.front().airborne)
        return;
    std::vector<PosSample>& passed = ac.motion.ground.passed;
    passed.push_back(ac.samples.front());
    if (passed.size() > kPassedKept)
        passed.erase(passed.begin());
}

// Where the path next begins to turn after a station (its end when it runs straight on).
double lf_nextCurveStart(const GroundPath& path, double station)
{
    size_t hint = 0;
    gf_pathPointAt(path, station, hint);
    for (size_t i = hint + 1; i < path.points.size(); ++i) {
        if (path.points[i].curvature > kCurvedPerM)
            return path.points[i - 1].station;
    }
    return gf_pathLength(path);
}

void lf_layGroundTrack(LiveAc& ac, size_t count, bool reverse)
{
    GroundTrack& g = ac.motion.ground;
    count = std::min(count, ac.samples.size());
    if (count < 2)
        return;
    if (reverse != g.reverse) {
        g.passed.clear();
        g.speed = 0.0;
    } else if (!g.active) {
        // Taking over from the air, or appearing on its way (a new object), it rolls as reported.
        g.speed = gf_atRestReport(ac.samples[0]) ? 0.0 : gf_ktToMps(ac.samples[0].groundSpeed);
    }
    if (ac.samples[0].stationary && !reverse)
        g.speed = 0.0; // it stood at the report it reached
    g.reverse = reverse;
    g.path.originLat = ac.pos.latitude;
    g.path.originLon = ac.pos.longitude;
    std::vector<PathReport> reports;
    reports.reserve(g.passed.size() + count);
    // Standing, the aircraft moves off from where it stands: the report it stopped at lies
    // off its place by the report's jitter, and the way behind it is done with. So it does
    // over the first metres after a push, whose reports jitter about its way more than they
    // tell it.
    MotionState& m = ac.motion;
    if (m.leavingPushEnd &&
        gf_distanceNm(gf_acPos(ac), {m.pushEndLat, m.pushEndLon}) * kMetresPerNm > kTellingWayM)
        m.leavingPushEnd = false;
    const bool standing = g.speed < kStandingMps && !reverse;
    const bool movingOff = standing || (m.leavingPushEnd && !reverse);
    if (movingOff)
        g.passed.clear();
    for (const PosSample& s : g.passed)
        reports.push_back(lf_pathReport(g.path, s));
    const size_t front = reports.size();
    for (size_t i = 0; i < count; ++i)
        reports.push_back(lf_pathReport(g.path, ac.samples[i]));
    // After a push-back it turns on the spot to the way the reports go, unless they lead off
    // along its nose; stopped on its way it moves off along its nose.
    const bool afterPush = ac.previousPhase == FlightPhase::PushedBack || ac.previousPhase == FlightPhase::PushingBack;
    bool alongNose = false;
    if (movingOff) {
        reports[front].north = 0.0;
        reports[front].east = 0.0;
        reports[front].trackRad = ac.pos.heading;
        alongNose = afterPush && m.leavingPushEnd && lf_leavesAlongNose(reports, front, ac.pos.heading);
        reports[front].trackKnown = !afterPush || alongNose || !standing;
        // The reports at rest that follow tell the same stop, a few metres off by their jitter:
        // a way laid through them would lead back and forth, or round, before it moves off.
        // The slow drive onto a stand is no such stop.
        const bool taxiing = ac.phase == FlightPhase::Taxi;
        for (size_t i = front + 1; taxiing && i < reports.size(); ++i) {
            // So does a report of moving off that lies behind the nose.
            const bool behind =
                reports[i].north * std::cos(ac.pos.heading) + reports[i].east * std::sin(ac.pos.heading) < 0.0;
            // One at rest behind the nose may lie farther: the place the aircraft stopped at is
            // off the real one by a report's jitter too, and going back to it would turn the
            // aircraft about on the spot and back again to move off.
            const bool rest = gf_atRestReport(ac.samples[i - front]);
            const double same = rest && behind && standing ? kSameStopBehindM : kSameStopM;
            if (std::hypot(reports[i].north, reports[i].east) > same || !(rest || behind))
                break;
            reports[i].north = 0.0;
            reports[i].east = 0.0;
        }
        // Moving off from a hold, the first reports lie about the place it stands by their
        // jitter alone, some behind it: they would turn it about on the spot. So do those of
        // moving off from a push's end before a report farther on tells the way: a B744 turned
        // 50 degrees on the spot toward one a metre off, then back to the way the taxi went,
        // and moved off 7.5 s late (the route bench's push-back 850410).
        if (!afterPush || !alongNose)
            lf_alongWayOut(ac, g.path, reports, front);
    }
    PathShape shape;
    shape.cornerPassM = kCornerPassM;
    shape.fastCornerPassM = ac.category == TypeCategory::Heavy ? kHeavyFastCornerPassM : kCornerPassM;
    shape.fastSpeedKt = kFastCornerKt;
    shape.turnRadPerS = lf_curveTurnRate(ac);
    shape.stopOnStand = ac.phase == FlightPhase::Parking;
    if (reverse)
        gf_layPushPath(reports, front, gf_normalHeading(ac.pos.heading + g_fullCircle / 2),
                       ac.halfSpan * kMetresPerNm * kPushTurnSpans, g.path);
    else
        gf_layGroundPath(reports, shape, g.path);
    const std::vector<double>& at = g.path.reportStations;

    // Where the aircraft comes onto the path: near the report it reached, up to the one after
    // the next. Seconds ahead of its reports, it may have passed the next: joined back there,
    // it turned about on the taxiway. Past that one too, it comes on as far on as it is: late
    // off its roll-out, a B744 hurried and braked at a taxiway's rate onto its exit, ran three
    // reports ahead, and was joined back 20 m, turning about and back (the route bench's exit
    // 4150328).
    const double from = front > 0 ? at[front - 1] : 0.0;
    size_t last = front + 2 < at.size() ? front + 2 : front + 1;
    PathProjection onPath = gf_projectOnPath(g.path, 0.0, 0.0, from, at[last] + 1.0);
    while (!reverse && last + 1 < at.size() && onPath.station >= at[last]) {
        const PathProjection further = gf_projectOnPath(g.path, 0.0, 0.0, from, at[last + 1] + 1.0);
        if (further.distance >= onPath.distance)
            break;
        onPath = further;
        ++last;
    }
    size_t hint = 0;
    const PathPoint there = gf_pathPointAt(g.path, onPath.station, hint);
    const double heading = gf_normalHeading(reverse ? ac.pos.heading + g_fullCircle / 2 : ac.pos.heading);
    double joinHeading = heading;
    g.pivot = false;
    const double end = gf_pathLength(g.path);
    const double beyond = last >= front + 2 ? at[last] : end;
    double joinAt = std::min(onPath.station + std::max(kLeastJoinM, kJoinPerOffM * onPath.distance),
                             std::max(beyond, onPath.station + 1.0));
    if (!reverse && g.speed < kStandingMps) {
        // Standing with the way off its nose (after a push-back, onto a stand), the nose turns
        // to where it is to go before it moves.
        const PathPoint ahead = gf_pathPointAt(g.path, std::min(joinAt, end), hint);
        const double toward = std::hypot(ahead.north, ahead.east) > 1.0 ? std::atan2(ahead.east, ahead.north)
                                                                        : there.heading;
        if (((afterPush && !alongNose) || std::fabs(gf_wrapPi(there.heading - heading)) > kPivotRad) &&
            std::fabs(gf_wrapPi(toward - heading)) > kPivotRad) {
            g.pivot = true;
            g.pivotHeading = gf_normalHeading(toward);
            joinHeading = g.pivotHeading;
        }
    }
    // Rolling, the join ends before the next corner's curve: a join across it would cut the
    // corner. A pivot faces the join's end, which stays where it was.
    if (!g.pivot && g.speed >= kStandingMps)
        joinAt = std::min(joinAt, std::max(lf_nextCurveStart(g.path, onPath.station), onPath.station + std::max(kLeastCornerJoinM, kCornerJoinS * g.speed)));
    // Rolling, the join ends ahead of the nose: a report it has passed by a metre or two lies
    // behind it, and a join back to it looped the aircraft round on the taxiway (the route
    // bench's hold 1250874: an AT72 moving off swung 90 degrees and back). Only along the way
    // it heads: where the way turns off (a corner, a U-turn), the join ends before the turn.
    if (!reverse && !g.pivot && g.speed >= kStandingMps) {
        const Vec nose = gf_headingVec(heading);
        const double ahead = std::max(kLeastJoinAheadM, g.speed * kJoinAheadS);
        size_t k = 0;
        for (double on = joinAt; on < std::min(end, joinAt + kMostJoinOnM); on += kJoinStepM) {
            const PathPoint p = gf_pathPointAt(g.path, on, k);
            if (std::fabs(gf_wrapPi(p.heading - heading)) > kJoinAlongRad)
                break;
            if (gf_dot(nose, Vec{p.north, p.east}) >= ahead) {
                joinAt = on;
                break;
            }
        }
    }
    // A stop a few metres on: the way there is straight on, as the aircraft heads. A push's
    // way ends on the line the reports show it stopped on.
    // So is a stop whose report comes next and ends the way: the reports after it (moving off)
    // lie about it by their jitter, and the way back to a report passed by on the way to the
    // stop would turn the aircraft about.
    const bool nearStop = !reverse && end - onPath.station < kNearStopM &&
                          (std::all_of(ac.samples.begin() + 1, ac.samples.begin() + static_cast<std::ptrdiff_t>(count),
                                       [](const PosSample& s) { return gf_atRestReport(s); }) ||
                           (gf_atRestReport(ac.samples[1]) && at[front + 1] >= end - kOnPathM));
    // Standing, onto a stand a few metres aside: straight there, the nose turned to it first
    // (the way through it alone would take the stand for a report's jitter, and end here).
    const LocalPos onto = gf_toPathFrame(g.path, gf_samplePos(ac.samples[count - 1]));
    const double ontoM = std::hypot(onto.north, onto.east);
    if (ac.phase == FlightPhase::Parking && !reverse && g.speed < kStandingMps && ontoM > end + kOffStandM) {
        const double toward = std::atan2(onto.east, onto.north);
        lf_straightToStop(g, toward, ontoM);
        g.path.reportStations.front() = 0.0;
        g.pivot = std::fabs(gf_wrapPi(toward - heading)) > kPivotRad;
        g.pivotHeading = gf_normalHeading(toward);
    } else if (nearStop) {
        lf_straightToStop(g, heading, end - onPath.station);
    } else if (onPath.distance > kOnPathM || std::fabs(gf_wrapPi(there.heading - joinHeading)) > kOnPathRad) {
        gf_joinPath(g.path, 0.0, 0.0, joinHeading, onPath.station, std::min(joinAt, end));
        g.station = 0.0;
    } else {
        g.station = onPath.station;
    }
    g.hint = 0;
    g.targets.clear();
    for (size_t i = 1; i < count; ++i) {
        const PosSample& s = ac.samples[i];
        g.targets.push_back(
            {at[front + i], static_cast<int64_t>(s.dueTick), s.groundSpeed, gf_atRestReport(s), s.track});
    }
    // A push's reports jitter by seconds of its way: their speeds time it.
    if (reverse)
        gf_paceSlowReports(g.targets, g.station, g.speed, gf_tickNow(), gf_pathLength(g.path),
                           lf_speedLimits(ac).plannedAccel);
    // A stop reached lasted at least until its last report at rest: a move off timed from its
    // first would begin seconds before the real one did.
    const PosSample& reached = ac.samples[0];
    const bool rest = gf_atRestReport(reached);
    const uint32_t due = rest ? std::max(reached.dueTick, reached.stillUntilTick) : reached.dueTick;
    g.previous = {at[front], static_cast<int64_t>(due), reached.groundSpeed, rest};
    lf_curveLimits(ac);
    g.active = true;
    lf_plan(ac);
    if (g.pivot)
        lf_planPivot(ac, heading);
    // The report ahead is reached no sooner than the plan gets there: the steps that come
    // with it (a stop, the arrival at a stand, the rotation) wait for the aircraft.
    if (!g.targets.empty() && g.plan.targetStation == g.targets.front().station &&
        g.plan.arrival > static_cast<int64_t>(ac.samples[1].dueTick)) {
        PosSample& ahead = ac.samples[1];
        ahead.waitedTicks += static_cast<uint32_t>(g.plan.arrival - static_cast<int64_t>(ahead.dueTick));
        ahead.dueTick = static_cast<uint32_t>(g.plan.arrival);
    }
}

void lf_reportQueuedWhileStanding(LiveAc& ac)
{
    GroundTrack& g = ac.motion.ground;
    // A turn on the spot not yet begun was aimed by the reports known then, maybe one a few
    // metres off within its jitter: aimed again by the way the new report tells, it need not
    // turn a second time when it is due to move off, and move off late.
    const bool turning = g.pivot && gf_tickNow() >= g.pivotStart;
    if (!lf_groundTrackActive(ac) || ac.phase != FlightPhase::Taxi || g.reverse || turning ||
        g.speed >= kStandingMps || ac.pauseCounter >= 1 || g.passed.empty() || !gf_atRestReport(g.passed.back()) ||
        ac.samples.size() < 2 || gf_atRestReport(ac.samples.front()))
        return;
    // Laid again from the stop reached, as when it was reached: the reports behind it are done
    // with.
    const PosSample reached = g.passed.back();
    ac.samples.push_front(reached);
    lf_layGroundTrack(ac, ac.samples.size(), false);
    ac.samples.pop_front();
    g.passed.assign(1, reached);
}

void lf_followGroundTrack(LiveAc& ac)
{
    GroundTrack& g = ac.motion.ground;
    const int64_t now = gf_tickNow();
    if (g.pivot) {
        if (now < g.pivotStart)
            return;
        const double heading = gf_normalHeading(g.reverse ? ac.pos.heading + g_fullCircle / 2 : ac.pos.heading);
        const double off = gf_wrapPi(g.pivotHeading - heading);
        if (std::fabs(off) > kPivotToleranceRad) {
            const double step = std::clamp(off, -ac.groundTurnRate, ac.groundTurnRate);
            ac.pos.heading = gf_normalHeading(ac.pos.heading + step);
            ac.pos.trueAirspeed = 0.0;
            return;
        }
        g.pivot = false;
        lf_plan(ac);
    }
    if (lf_offPlan(g, now))
        lf_plan(ac);
    const double planned = gf_plannedSpeed(g.plan, now);
    g.planStation += planned * kTickS;
    const SpeedLimits limits = lf_speedLimits(ac);
    const double most = limits.fastAccel;
    // Taxiing on, it speeds up no faster than the type can, however late the plan is; with
    // reports at runway speeds ahead (a take-off roll), or bound for a stop, as the plan asks.
    const bool runway = std::max(g.speed, planned) >= gf_ktToMps(kFastKt) ||
                        std::any_of(g.targets.begin(), g.targets.end(),
                                    [](const ScheduleTarget& t) { return t.speedKt >= kFastKt; });
    const double up = runway || g.plan.toRest ? most : limits.mostAccel;
    double v = std::clamp(planned, g.speed - 2.0 * most * kTickS, g.speed + up * kTickS);
    // A curve found ahead too late to brake for at ease (the path laid again with a tighter
    // one) is braked for as hard as the type brakes at its speed, no harder: its nose may
    // swing a little quicker for a moment, where a jolt of the speed is what a user sees.
    // Bound for a stop too: slowed at once to a bend's limit, it crawled and then hurried on
    // to be at the stop in time.
    const double curve = lf_curveLimitAt(g);
    if (curve < v) {
        const double braking = gf_mpsToKt(g.speed) >= kFastKt ? limits.fastAccel : limits.mostAccel;
        v = std::max(curve, g.speed - braking * kTickS);
    }
    v = std::max(v, 0.0);
    const double end = gf_pathLength(g.path);
    g.station = std::min(g.station + (g.speed + v) / 2.0 * kTickS, end);
    // At the end of the way laid so far, where the last report laid moves on (those after it
    // came later), it keeps its pace for the way laid again at that report.
    const bool movesOn = !g.plan.toRest && !g.reverse && !g.targets.empty() && !g.targets.back().rest;
    g.speed = g.station >= end && !movesOn ? 0.0 : v;
    lf_place(ac);
    const double kt = gf_mpsToKt(g.speed);
    ac.pos.trueAirspeed = g.reverse ? -kt : kt;
    if (g.station >= end && ac.phase == FlightPhase::Taxi) {
        gf_checkArrival(ac);
    } else if (!g.reverse && !g.passed.empty() && gf_stopWithinReachBeforeLastReport(ac)) {
        // Looked for from the report reached, as at it; laid again from there when found.
        const PosSample reached = g.passed.back();
        ac.samples.push_front(reached);
        gf_checkArrival(ac);
        if (ac.phase == FlightPhase::Parking) {
            lf_layGroundTrack(ac, ac.samples.size(), false);
            g.passed.assign(1, reached);
        }
        ac.samples.pop_front();
    }
    if (g.station >= end && ac.phase == FlightPhase::TakeOff && !ac.samples.empty()) {
        // The roll's path ran out in the climb: the steps go on from here to the next report.
        lf_dropGroundTrack(ac);
        const PosSample& to = ac.samples.front();
        const auto n = static_cast<double>(std::max<int64_t>(static_cast<int64_t>(to.dueTick) - now, kLeastReplanTicks));
        ac.motion.latitudeStep = (to.latitude - ac.pos.latitude) / n;
        ac.motion.longitudeStep = gf_wrapPi((to.longitude - ac.pos.longitude) * g_degToRad) * g_radToDeg / n;
    }
}
