#include "traffic/ground_schedule.h"

#include <algorithm>
#include <cmath>
#include <optional>

namespace {

constexpr double kMpsPerKt = 1852.0 / 3600.0;
constexpr double kTicksPerS = 100.0;
constexpr double kLeastMoveM = 0.5;
// A stop still to come that the way laid again puts this little behind a rolling aircraft was
// overrun by the jitter of the reports: it is made at once. Passed by, an AT72 crept on 5 m to
// the report of moving off and stopped 8.5 s late (the route bench's hold 1850038).
constexpr double kOverrunStopM = 3.0;
// A target closer in time than this is passed on the way to the one after: a report a
// second ahead, a few metres off along the way, would ask for a sprint or a halt.
constexpr int64_t kLeastLeadTicks = 300;
constexpr double kLeastDueS = 0.25;
constexpr double kStillMps = 0.3;
// A report this slow this close to a stop lies within the jitter of both.
constexpr double kSlowStartKt = 5.0;
constexpr double kJitterM = 10.0;
// Reports at rest lie this far about the real stop.
constexpr double kShortOfStopM = 5.0;
// Reported speed and distance telling of a steadier change than this: the aircraft
// reached the reported speed and kept it, at the pace a pilot uses.
constexpr double kUniformAccel = 0.25;
// A report this much faster within this time after another tells an aircraft still speeding
// up at the first.
constexpr double kSpeedingOnKt = 1.0;
constexpr int64_t kSpeedingOnTicks = 1500;
// A turn between two reports beyond which a faster one tells the speed gained out of the turn.
constexpr double kTurnBetweenDeg = 30.0;
// Slower than this between two moving reports, the real aircraft stood for a while.
constexpr double kCreepMps = 1.0;
// Covering less than this share of what the slower of two moving reports tells, the real
// aircraft stood between them.
constexpr double kHiddenStopShare = 0.4;
// A report this fast shows the aircraft rolling on.
constexpr double kRollingKt = 5.0;
// Short of room to stop, it brakes as hard as a taxiing aircraft may.
constexpr double kLeastBrakingM = 0.05;
constexpr double kHardestBraking = 3.0;
constexpr double kFastKt = 40.0;
// A little below 1.3 times the reported speed and 3 kt, the most a user should see.
constexpr double kCeilingShare = 1.25;
// Two reports this far apart in time tell a pace.
constexpr int64_t kLeastPaceTicks = 100;
constexpr double kCeilingKt = 2.5;
constexpr int kBisections = 48;
// Reports this slow are timed by their speeds: their jitter is seconds of their way.
constexpr double kPacedKt = 5.0;
// A push slower than this reads as standing.
constexpr double kTugCrawlMps = 0.6;

// One way to the target: spells of steady acceleration (0: steady speed or a hold).
struct Spell {
    double seconds = 0.0;
    double accel = 0.0;
};
struct Profile {
    std::array<Spell, 5> spells{};
    size_t count = 0;
    Profile& then(double seconds, double accel)
    {
        if (count < spells.size() && seconds > 0.0)
            spells[count++] = {seconds, accel};
        return *this;
    }
    double total() const
    {
        double t = 0.0;
        for (size_t i = 0; i < count; ++i)
            t += spells[i].seconds;
        return t;
    }
};

double lf_ramp(double from, double to, double accel)
{
    return accel > 0.0 ? std::fabs(to - from) / accel : 0.0;
}

double lf_signed(double from, double to, double accel)
{
    return to >= from ? accel : -accel;
}

// From v0 to vc, a run at vc, from vc to v1.
Profile lf_threeSpells(double v0, double vc, double v1, double runS, double accel)
{
    Profile p;
    return p.then(lf_ramp(v0, vc, accel), lf_signed(v0, vc, accel))
        .then(std::max(runS, 0.0), 0.0)
        .then(lf_ramp(vc, v1, accel), lf_signed(vc, v1, accel));
}

// The distance covered in the time t with a run at vc between the two changes of speed.
double lf_distance(double v0, double vc, double v1, double t, double accel)
{
    const double t1 = lf_ramp(v0, vc, accel);
    const double t3 = lf_ramp(vc, v1, accel);
    return (v0 + vc) / 2.0 * t1 + (vc + v1) / 2.0 * t3 + vc * (t - t1 - t3);
}

// Later than the target's time: at the ceiling, or at the peak the distance allows.
Profile lf_late(double v0, double v1, double d, double accel, double ceiling)
{
    const double vc = std::max(ceiling, 0.0);
    const double d1 = (v0 + vc) / 2.0 * lf_ramp(v0, vc, accel);
    const double d3 = (vc + v1) / 2.0 * lf_ramp(vc, v1, accel);
    if (d1 + d3 <= d && vc > 0.0)
        return lf_threeSpells(v0, vc, v1, (d - d1 - d3) / vc, accel);
    const double peak = std::sqrt(std::max((2.0 * accel * d + v0 * v0 + v1 * v1) / 2.0, 0.0));
    if (peak >= std::max(v0, v1))
        return lf_threeSpells(v0, peak, v1, 0.0, accel);
    // Not even the target's speed is reached on the way: one change of speed.
    const double a = lf_signed(v0, v1, accel);
    const double end = std::sqrt(std::max(v0 * v0 + 2.0 * a * d, 0.0));
    Profile p;
    return p.then(lf_ramp(v0, end, accel), a);
}

// From standing it waits and moves off when it must to be at the target at its time, at
// the target's speed. Still speeding up there (gaining speed at the rate gain after it), the
// aircraft sped up steadily from rest all the way, and at least as fast as it went on to:
// a distance that tells a slower change is the reports' jitter. At that speed already, it
// reached it on the way at a pilot's pace, or faster when the distance asks for more.
Profile lf_fromRest(double v1, double d, double t, double gain, const SpeedLimits& l, double most, bool& late)
{
    Profile move;
    if (const double steady = v1 * v1 / (2.0 * d); steady >= (gain > 0.0 ? kUniformAccel : l.plannedAccel)) {
        const double accel = std::min(std::max(steady, gain), most);
        move.then(accel > steady ? v1 / accel : std::sqrt(2.0 * accel * d) / accel, accel);
    } else {
        move = lf_threeSpells(0.0, v1, v1, (d - v1 * v1 / (2.0 * l.plannedAccel)) / v1, l.plannedAccel);
    }
    const double taken = move.total();
    late = taken > t;
    Profile p;
    p.then(t - taken, 0.0);
    for (size_t i = 0; i < move.count; ++i)
        p.then(move.spells[i].seconds, move.spells[i].accel);
    return p;
}

// From standing to a slow report a few metres on, the last known: its place lies within the
// jitter, so its speed and time alone tell when the real aircraft moved off. It waits, then
// gains that speed at a pilot's pace by the report's time, a few decimetres on.
Profile lf_fromRestBySpeed(double v1, double t, const SpeedLimits& l)
{
    const double accel = std::max(l.plannedAccel, v1 / t);
    Profile p;
    return p.then(t - v1 / accel, 0.0).then(v1 / accel, accel);
}

// To a stop: at the present pace, then braking as a pilot does (steadily from here when
// the distance asks for more); early when that is sooner than the report, then it holds.
Profile lf_toRest(double v0, double d, double t, const SpeedLimits& l, bool& late)
{
    Profile p;
    if (const double steady = v0 * v0 / (2.0 * std::max(d, kLeastBrakingM)); steady >= kUniformAccel)
        p.then(v0 / std::min(steady, kHardestBraking), -std::min(steady, kHardestBraking));
    else
        p = lf_threeSpells(v0, v0, 0.0, (d - v0 * v0 / (2.0 * l.plannedAccel)) / v0, l.plannedAccel);
    late = p.total() > t;
    return p;
}

// To a stop by its time, slowing on the way at a pilot's pace to a run no slower than a
// report before it tells (vs); early when even that pace gets there sooner, then it holds.
// Slowing to the run and braking from it take the time and distance of braking from v0 alone.
Profile lf_toRestAtPace(double v0, double vs, double d, double t, double accel)
{
    const double run = std::max(d - v0 * v0 / (2.0 * accel), 0.0);
    const double runS = t - v0 / accel;
    const double vc = runS > 0.0 ? std::clamp(run / runS, vs, v0) : v0;
    return lf_threeSpells(v0, vc, 0.0, run / vc, accel);
}

// A stop hidden between two moving reports: it runs on at v0, brakes to a stop, waits and
// moves off to reach the second report at its speed (or as near it as the room allows), at
// its time. Nothing when there is no time to wait.
std::optional<Profile> lf_hiddenStop(double v0, double v1, double d, double t, double planned, double most)
{
    const double accel = std::clamp((v0 * v0 + v1 * v1) / (2.0 * d), planned, most);
    const double end = std::min(v1, std::sqrt(std::max(2.0 * accel * d - v0 * v0, 0.0)));
    const double run = std::max(d - v0 * v0 / (2.0 * accel) - end * end / (2.0 * accel), 0.0) / v0;
    const double wait = t - run - v0 / accel - end / accel;
    if (wait < 0.0)
        return std::nullopt;
    Profile p;
    return p.then(run, 0.0).then(v0 / accel, -accel).then(wait, 0.0).then(end / accel, accel);
}

// Between two moving reports: one steady speed between two changes of speed. Where that
// speed would be a crawl, or the way between them far shorter than their speeds tell, the
// real aircraft stood between them.
Profile lf_between(double v0, double v1, double d, double t, double accel, double ceiling, double lateCeiling,
                   const SpeedLimits& l, double most)
{
    // Too short a time for the type to change its speed to the target's: it changes it as
    // fast as it can, and reaches the target late.
    if (std::fabs(v1 - v0) > most * t)
        return lf_late(v0, v1, d, most, lateCeiling);
    accel = std::max(accel, std::fabs(v1 - v0) / t * 1.0001);
    const double lo = std::max((v0 + v1 - accel * t) / 2.0, 0.0);
    const double hi = (v0 + v1 + accel * t) / 2.0;
    const double top = std::max(std::min(hi, ceiling), lo);
    if (lf_distance(v0, top, v1, t, accel) < d)
        return lf_late(v0, v1, d, accel, lateCeiling);
    const bool moving = v0 > kStillMps && v1 > kStillMps;
    if (moving && d / t < kHiddenStopShare * std::min(v0, v1)) {
        if (const std::optional<Profile> p = lf_hiddenStop(v0, v1, d, t, l.plannedAccel, most))
            return *p;
    }
    if (lf_distance(v0, lo, v1, t, accel) > d) {
        // More ground than there is time to lose at this pace: a steady change to the speed
        // that meets the target's time. Braking to a stop would still overrun it: the real
        // aircraft stood on the way.
        if (2.0 * d / t < v0 && moving) {
            if (const std::optional<Profile> p = lf_hiddenStop(v0, v1, d, t, l.plannedAccel, most))
                return *p;
        }
        // With no time to stand before a report that rolls on, it never comes to rest: the
        // way the jitter cut short is no stop. It slows no further than a crawl would tell of
        // one, and is there early. A slower report may lead into a stop.
        const double least =
            moving && v1 >= kMpsPerKt * kRollingKt ? kHiddenStopShare * std::min(v0, v1) : 0.0;
        Profile p;
        const double change = (std::max(2.0 * d / t - v0, least) - v0) / t;
        // No harder than the type brakes, and there early: it loses what time it can, slower
        // than the target's speed if need be. Braked only down to that speed, a B744 off its
        // roll-out ran on at its pace, reached its exit 40 m ahead of the real one and stood
        // there waiting (the route bench's exit 3350145).
        if (change < -most)
            return p.then(t, -most);
        return p.then(t, change);
    }
    double a = lo;
    double b = top;
    for (int i = 0; i < kBisections; ++i) {
        const double m = (a + b) / 2.0;
        (lf_distance(v0, m, v1, t, accel) < d ? a : b) = m;
    }
    const double vc = (a + b) / 2.0;
    if (moving && vc < kCreepMps) {
        if (const std::optional<Profile> p = lf_hiddenStop(v0, v1, d, t, l.plannedAccel, most))
            return *p;
    }
    return lf_threeSpells(v0, vc, v1, t - lf_ramp(v0, vc, accel) - lf_ramp(vc, v1, accel), accel);
}

// A faster report beyond a turn tells the speed gained out of the turn: the one before may be
// the speed the aircraft slowed to for it.
bool lf_turnedBetween(const ScheduleTarget& from, const ScheduleTarget& to)
{
    return std::fabs(std::remainder(to.trackDeg - from.trackDeg, 360.0)) >= kTurnBetweenDeg;
}

// A slow report of moving off no farther from the stop than its jitter and the way its speed
// is gained in at a pilot's pace: its place tells nothing of when the real aircraft moved. Nor
// does one within the stop's jitter nearer than the type gains its speed in: the real
// aircraft was farther on, and timed by that place the start would come late.
bool lf_withinStopJitter(const ScheduleTarget& t, double station, double mostAccel)
{
    const double v = gf_ktToMps(t.speedKt);
    const double on = t.station - station;
    return (t.speedKt < kSlowStartKt && on < kJitterM + v * v / (2.0 * kUniformAccel)) ||
           on < std::min(kJitterM, v * v / (2.0 * mostAccel));
}

// A slow report just short of a stop, farther from it than its speed carries the aircraft
// by the stop's time: the two places lie apart by their jitter, and the report's time tells
// nothing of the way.
bool lf_shortOfStop(const ScheduleTarget& t, const ScheduleTarget& stop)
{
    if (!stop.rest || t.rest)
        return false;
    const double d = stop.station - t.station;
    const double v = gf_ktToMps(t.speedKt);
    return t.speedKt < kSlowStartKt && d < kJitterM + v * v / (2.0 * kUniformAccel) &&
           d > v * static_cast<double>(stop.due - t.due) / kTicksPerS;
}

// Moving off, the first report lies within the stop's jitter and was passed by for the target
// after it, which is faster: the two tell by their speeds the pace the aircraft gained.
bool lf_pacedByFirstReport(const ScheduleTarget& first, const ScheduleTarget& target, const ScheduleTarget& previous,
                           double station, int64_t now, double mostAccel)
{
    return &first != &previous && &first + 1 == &target && !first.rest && first.due > now &&
           first.station > station + kLeastMoveM && lf_withinStopJitter(first, station, mostAccel) &&
           target.speedKt > first.speedKt + kSpeedingOnKt && target.due - first.due >= kLeastPaceTicks;
}

// Their places lie metres off, which at a walking pace are seconds: the pace gained between
// the two tells when the real aircraft moved off to be at the first at its speed. Still
// speeding up after the target, it gained that pace all the way; at its speed already, it
// may have reached it on the way, at a pilot's pace or faster, and so it may where it turned
// on the way to the faster report. Never slower than moving off after the last report at rest
// allows. From then it makes the target at its time.
Profile lf_fromRestByPace(const ScheduleTarget& first, const ScheduleTarget& target, const ScheduleTarget* after,
                          const ScheduleTarget& previous, double d, int64_t now, const SpeedLimits& l, double ceiling,
                          double most)
{
    const double v1 = gf_ktToMps(first.speedKt);
    const double v2 = gf_ktToMps(target.speedKt);
    double pace = (v2 - v1) / (static_cast<double>(target.due - first.due) / kTicksPerS);
    const bool speedingOn = after != nullptr && !after->rest && after->speedKt > target.speedKt + kSpeedingOnKt &&
                            after->due - target.due <= kSpeedingOnTicks && !lf_turnedBetween(target, *after);
    if (!speedingOn)
        pace = std::max(pace, l.plannedAccel);
    if (previous.rest && first.due > previous.due)
        pace = std::max(pace, v1 / (static_cast<double>(first.due - previous.due) / kTicksPerS));
    pace = std::min(pace, most);
    const double wait = std::max(static_cast<double>(first.due - now) / kTicksPerS - v1 / pace, 0.0);
    const double t = static_cast<double>(target.due - now) / kTicksPerS - wait;
    Profile p;
    if (t <= 0.0)
        return p;
    const Profile way = lf_between(0.0, v2, d, t, pace, ceiling, ceiling, l, most);
    p.then(wait, 0.0);
    for (size_t i = 0; i < way.count; ++i)
        p.then(way.spells[i].seconds, way.spells[i].accel);
    return p;
}

void lf_add(SpeedPlan& plan, double atS, double speed, double accel, int64_t now)
{
    if (plan.count == plan.segments.size())
        return;
    plan.segments[plan.count++] = {now + std::llround(atS * kTicksPerS), std::max(speed, 0.0), accel};
}

void lf_lay(SpeedPlan& plan, const Profile& p, double v0, int64_t now)
{
    double at = 0.0;
    double v = v0;
    for (size_t i = 0; i < p.count; ++i) {
        lf_add(plan, at, v, p.spells[i].accel, now);
        at += p.spells[i].seconds;
        v = std::max(v + p.spells[i].accel * p.spells[i].seconds, 0.0);
    }
    lf_add(plan, at, v, 0.0, now);
    plan.arrival = now + std::llround(at * kTicksPerS);
}

// The pace between two reports by their places and times alone (they lie apart in time).
double lf_paceKt(const ScheduleTarget& from, const ScheduleTarget& to)
{
    return gf_mpsToKt((to.station - from.station) / (static_cast<double>(to.due - from.due) / kTicksPerS));
}

} // namespace

double gf_ktToMps(double kt)
{
    return kt * kMpsPerKt;
}

double gf_mpsToKt(double mps)
{
    return mps / kMpsPerKt;
}

void gf_planGroundSpeed(const std::vector<ScheduleTarget>& targets, double station, double speed, int64_t now,
                        const ScheduleTarget& previous, const SpeedLimits& limits, SpeedPlan& plan)
{
    plan = SpeedPlan{};
    // The ceiling is the pace of the reports about the aircraft: the one reached and the next
    // ahead, not those farther on (a take-off roll half a minute away).
    double fastestKt = std::max(previous.speedKt, 0.0);
    const ScheduleTarget* target = nullptr;
    const ScheduleTarget* before = &previous;
    const ScheduleTarget* prior = &previous; // the report before the target
    bool paced = false;
    // The stop just reached, a little late, is made before the way on is timed: from there the
    // aircraft moves off when the real one did. So is one the way laid again puts a step behind
    // a taxi still rolling onto it: timed on from there, it would creep through the stop. A
    // push gathering way from the stand is reported that slow too, and is no stop.
    if (previous.rest && speed >= kStillMps &&
        (previous.station > station || (!limits.towed && previous.station > station - kLeastMoveM)))
        target = &previous;
    for (const ScheduleTarget& t : targets) {
        if (target != nullptr)
            break;
        if (&t != &targets.front())
            prior = &targets[static_cast<size_t>(&t - targets.data()) - 1];
        if (!paced) {
            fastestKt = std::max(fastestKt, t.speedKt);
            // Reports at rest at both ends of a move tell its pace by its distance and time alone.
            if ((t.rest || before->rest) && t.due - before->due >= kLeastPaceTicks)
                fastestKt = std::max(fastestKt, lf_paceKt(*before, t));
            paced = t.station > station + kLeastMoveM;
        }
        before = &t;
        // A stop ahead is made, however late; one reached is kept while it lasts, and until the
        // aircraft has come to rest at it.
        if (t.rest && (t.station > station + kLeastMoveM ||
                       (t.station > station - kLeastMoveM && (t.due > now || speed >= kStillMps)) ||
                       (t.due > now && speed >= kStillMps && t.station > station - kOverrunStopM))) {
            target = &t;
            break;
        }
        if (t.station <= station + kLeastMoveM)
            continue;
        // Two moving reports at one station lie there by their jitter (the path took the later
        // for the earlier): the way between them unknown, the later's time tells no pace, and
        // would stop the aircraft there for it.
        if (!t.rest && !prior->rest && &t != &targets.back() && t.station - prior->station < kLeastMoveM)
            continue;
        // Moving off from a stop, a slow report a few metres on tells more of its jitter than of
        // the way: the start is timed by the report after it.
        if (speed < kStillMps && lf_withinStopJitter(t, station, limits.mostAccel) && &t != &targets.back())
            continue;
        // Braking to a stop, so does a slow report a few metres short of it: the stop is timed by
        // the report at rest, which the path leads to through the slow one. A push is slow all
        // the way: its reports time the tug's pace.
        if (speed >= kStillMps && !limits.towed && &t != &targets.back() && lf_shortOfStop(t, *(&t + 1)))
            continue;
        if (t.due - now >= kLeastLeadTicks || &t == &targets.back()) {
            target = &t;
            break;
        }
    }
    plan.ceiling = gf_ktToMps(kCeilingShare * fastestKt + kCeilingKt);
    const double v0 = std::max(speed, 0.0);
    if (target == nullptr) {
        // Nothing ahead: it stops where it is.
        plan.toRest = true;
        plan.targetStation = station;
        const double accel = std::max(limits.plannedAccel, v0 * v0 / 20.0);
        Profile p;
        lf_lay(plan, p.then(v0 / accel, -accel), v0, now);
        return;
    }
    plan.targetStation = target->station;
    plan.toRest = target->rest;
    const double d = std::max(target->station - station, 0.0);
    const double t = std::max(static_cast<double>(target->due - now) / kTicksPerS, kLeastDueS);
    const double v1 = target->rest ? 0.0 : gf_ktToMps(target->speedKt);
    // Moving off towards a take-off roll (no stop between), it speeds up as the roll does.
    bool rollAhead = false;
    for (const ScheduleTarget* on = target; on != targets.data() + targets.size() && !on->rest; ++on) {
        if (on->speedKt >= kFastKt) {
            rollAhead = true;
            break;
        }
    }
    // Braking between reports at taxiing speeds, it brakes as on a taxiway though it runs
    // faster, late: braked at a runway's rate, an AT72 on its exit went from 41 kt to 25 kt in
    // 2.5 s (the route bench's exit 1150167).
    const bool braking = v1 < v0 && std::max(previous.speedKt, target->speedKt) < kFastKt;
    const bool fast = (std::max(gf_mpsToKt(v0), target->speedKt) >= kFastKt && !braking) || rollAhead;
    const double most = fast ? limits.fastAccel : limits.mostAccel;
    const double accel = std::min(std::max(limits.plannedAccel, 1.25 * std::fabs(v1 - v0) / t), most);
    bool late = false;
    // Come to rest within a step of a stop: it stands there. Creeping on towards it, each
    // report laying the path again would put the stop a little ahead of it once more, and the
    // stop it is to move off from would never begin.
    // So it does come to rest braking for a stop a few metres short of where the path laid
    // again puts it, with no report but a crawl between (their places lie that far about the
    // real stop): crept on to it, a C172 stood 5 s after the real one (the route bench's hold
    // 1850420).
    const auto crawlOnly = [&] {
        return target != &previous && std::all_of(targets.data(), target, [](const ScheduleTarget& x) {
                   return x.speedKt < kSlowStartKt;
               });
    };
    if (v0 < kStillMps && target->rest &&
        (d < kLeastMoveM || (!limits.towed && !previous.rest && d < kShortOfStopM && crawlOnly()))) {
        Profile p;
        lf_lay(plan, p.then(t, 0.0), 0.0, now);
        return;
    }
    if (v0 < kStillMps && v1 > 0.0 && lf_withinStopJitter(*target, station, limits.mostAccel)) {
        lf_lay(plan, lf_fromRestBySpeed(v1, t, limits), 0.0, now);
        return;
    }
    // A take-off roll gains its pace faster as it goes: its first reports tell no steady one.
    if (v0 < kStillMps && v1 > 0.0 && !fast &&
        lf_pacedByFirstReport(*prior, *target, previous, station, now, limits.mostAccel)) {
        const ScheduleTarget* after = target + 1 != targets.data() + targets.size() ? target + 1 : nullptr;
        const Profile p = lf_fromRestByPace(*prior, *target, after, previous, d, now, limits, plan.ceiling, most);
        if (p.total() > 0.0) {
            lf_lay(plan, p, 0.0, now);
            return;
        }
    }
    if (v0 < kStillMps && v1 > 0.0) {
        // Speeding up on from the target as long as each report is faster than the one before:
        // a faster one after one no faster (a bend taken slowly, a steady pace), or beyond a
        // turn, tells a later gain, not the one from rest.
        double gain = 0.0;
        for (const ScheduleTarget* on = target + 1; on != targets.data() + targets.size() && !on->rest &&
                                                    on->due - target->due <= kSpeedingOnTicks &&
                                                    on->speedKt > (on - 1)->speedKt &&
                                                    !lf_turnedBetween(*(on - 1), *on);
             ++on) {
            if (on->speedKt > target->speedKt + kSpeedingOnKt && on->due - target->due >= kLeastPaceTicks)
                gain = std::max(gain, gf_ktToMps(on->speedKt - target->speedKt) /
                                          (static_cast<double>(on->due - target->due) / kTicksPerS));
        }
        const Profile p = lf_fromRest(v1, d, t, gain, limits, most, late);
        if (!late) {
            lf_lay(plan, p, 0.0, now);
            return;
        }
    } else if (target->rest && v0 >= kStillMps) {
        // The stop just reached is made now, still rolling onto it: braking no harder than the
        // type does at taxi speeds, a step past its report's place (within the report's jitter).
        // Taken as late, it ran on at its crawl, and crept through the whole stop the real
        // aircraft made.
        const bool reached = target == &previous;
        const double room = reached ? std::max(d, v0 * v0 / (2.0 * limits.mostAccel)) : d;
        const Profile p = lf_toRest(v0, room, t, limits, late);
        // A slower report on the way, passed by (its place within the stop's jitter), still
        // tells the pace the aircraft slowed to: run on at the pace before it and braked only
        // for the stop, a taxi came to rest seconds early and stood.
        const double vs = gf_ktToMps(prior->speedKt);
        if (!limits.towed && !reached && !late && prior != &previous && prior->due > now && !prior->rest &&
            vs >= kStillMps && vs < v0 && v0 * v0 / (2.0 * limits.plannedAccel) <= d) {
            lf_lay(plan, lf_toRestAtPace(v0, vs, d, t, limits.plannedAccel), v0, now);
            return;
        }
        if ((!late || reached) && (!limits.towed || p.total() >= t)) {
            lf_lay(plan, p, v0, now);
            return;
        }
        // A tug's stop is known to a second or two by the reports' speeds, where its place lies
        // metres off by their jitter: keeping the pace there, a push would reach it seconds early
        // and stand. It slows on the way to be there when the real one stopped, though no slower
        // than a crawl that reads as standing.
        if (!late) {
            const double crawl = std::min(kTugCrawlMps, v0);
            const double brakes = v0 * v0 / (2.0 * accel);
            const double slowest = d > brakes ? v0 / accel + (d - brakes) / crawl : p.total();
            lf_lay(plan, lf_between(v0, 0.0, d, std::clamp(slowest, p.total(), t), accel, plan.ceiling, plan.ceiling,
                                    limits, most),
                   v0, now);
            return;
        }
    }
    // Late, it makes up time at the pace of the slower of the two reports around it, or at
    // the target's own when that is faster: a late aircraft never rushes onto a take-off roll.
    // A stop's own report tells nothing of the pace on the way to it: the one before does. Nor
    // does a slow target past a report passed on as too near in time: the way there runs first
    // between the report reached and that one, at their pace (held to the target's, a late taxi
    // braking into a stop crawled on from a turn and stood seconds late).
    const bool passedOn = prior != &previous && prior->due > now && !prior->rest && !target->rest;
    double slowerKt = target->rest ? std::max(prior->speedKt, 0.0)
                      : passedOn   ? std::min(std::max(prior->speedKt, 0.0), std::max(previous.speedKt, 0.0))
                                   : std::min(std::max(prior->speedKt, 0.0), target->speedKt);
    // Braking from one report to a slower one, the real aircraft covered the way between them
    // at the pace their places and times tell, above the slower's speed: held to that speed,
    // a taxi late from a corner fell seconds further behind on the way to its stop.
    if (!target->rest && !passedOn && !prior->rest && target->speedKt < prior->speedKt &&
        target->due - prior->due >= kLeastPaceTicks) {
        slowerKt = std::max(slowerKt, std::min(prior->speedKt, lf_paceKt(*prior, *target)));
    }
    // So did it from the report reached to a slower one just short of a stop, braking into
    // it: held to that one's crawl, a C172 late out of a turn ran on at 5 kt where the real
    // one taxied at 10 and reached its hold short 6.5 s late (the route bench's line-up 1550337).
    if (target->rest && prior != &previous && !prior->rest && !previous.rest && prior->due > now &&
        prior->speedKt < previous.speedKt && prior->due - previous.due >= kLeastPaceTicks) {
        slowerKt = std::max(slowerKt, std::min(previous.speedKt, lf_paceKt(previous, *prior)));
    }
    const double lateCeiling =
        std::min(plan.ceiling, std::max({v0, v1, gf_ktToMps(kCeilingShare * slowerKt + kCeilingKt)}));
    lf_lay(plan, lf_between(v0, v1, d, t, accel, plan.ceiling, lateCeiling, limits, most), v0, now);
}

// A slow report lies off its place by as much as the aircraft moves in seconds: the way
// between two of them is told by their speeds and the time between them, and their places
// together tell only where a run of them lies along the path. The first run also holds the
// aircraft itself, which reached the reports before it so, and a run that ends at a stop the
// stop's place, reached at its time braking at the tug's pace (braking, m/s²).
void gf_paceSlowReports(std::vector<ScheduleTarget>& targets, double station, double speed, int64_t now, double end,
                        double braking)
{
    double least = station;
    bool fromAircraft = true;
    size_t i = 0;
    while (i < targets.size()) {
        if (targets[i].rest || targets[i].speedKt > kPacedKt) {
            least = targets[i].station;
            fromAircraft = false;
            ++i;
            continue;
        }
        size_t j = i + 1;
        while (j < targets.size() && !targets[j].rest && targets[j].speedKt <= kPacedKt)
            ++j;
        // The way covered from the run's start to each of its reports, and where that lies.
        std::vector<double> along(j - i, 0.0);
        double sum = 0.0;
        double count = 0.0;
        if (fromAircraft) {
            const auto ticks = static_cast<double>(std::max<int64_t>(targets[i].due - now, 0));
            along[0] = (speed + gf_ktToMps(targets[i].speedKt)) / 2.0 * ticks / kTicksPerS;
            sum += station;
            count += 1.0;
        }
        for (size_t k = i; k < j; ++k) {
            if (k > i) {
                const auto ticks = static_cast<double>(targets[k].due - targets[k - 1].due);
                along[k - i] = along[k - i - 1] + gf_ktToMps(targets[k - 1].speedKt + targets[k].speedKt) / 2.0 *
                                                      ticks / kTicksPerS;
            }
            sum += targets[k].station - along[k - i];
            count += 1.0;
        }
        // A stop that ends the run lies off its place by as much as they do, and its time is
        // known far better: the way to it is the last one's pace up to the stop's time, less
        // what the tug's braking takes. Its place joins theirs: laid by their places alone, the
        // run would end a few metres off the stop, reached seconds early or late.
        const bool toStop = j < targets.size() && targets[j].rest;
        double stopAlong = 0.0;
        if (toStop) {
            const double v = gf_ktToMps(targets[j - 1].speedKt);
            const double s = std::max(static_cast<double>(targets[j].due - targets[j - 1].due) / kTicksPerS, 0.0);
            stopAlong = along.back() + (s >= v / braking ? v * s - v * v / (2.0 * braking) : v * s / 2.0);
            sum += targets[j].station - stopAlong;
            count += 1.0;
        }
        const double most = std::max(least, j < targets.size() ? targets[j].station : end);
        for (size_t k = i; k < j; ++k) {
            targets[k].station = std::clamp(along[k - i] + sum / count, least, most);
            least = targets[k].station;
        }
        fromAircraft = false;
        i = j;
    }
}

double gf_plannedSpeed(const SpeedPlan& plan, int64_t tick)
{
    if (plan.count == 0)
        return 0.0;
    size_t i = 0;
    while (i + 1 < plan.count && plan.segments[i + 1].start <= tick)
        ++i;
    const SpeedSegment& s = plan.segments[i];
    if (tick <= s.start || i + 1 == plan.count)
        return s.speed;
    return std::max(s.speed + s.accel * static_cast<double>(tick - s.start) / kTicksPerS, 0.0);
}
