// The speed plan along a taxiing aircraft's path, against what its reports tell: here, a
// reported stop reached while the aircraft still rolls onto it.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <random>
#include <vector>

#include "traffic/ground_schedule.h"

// The report of a stop is reached, the aircraft still rolling at 0.3-2 m/s within half a
// metre of its place: braking onto it took longer than the quarter second left to its time,
// and the plan taken as late ran on at that crawl, each plan after it the same, through the
// whole stop the real aircraft made (a C172 crept through a 6 s stop before the runway). The
// plan brakes to rest at once (rolling on to the stop's place first, if short of it), no
// harder than the type can, and stands; the next report, a
// move off a few seconds on, is for the plans laid after it.
TEST(GroundSchedule, AStopReachedStillRollingIsMadeAtOnce)
{
    std::mt19937 rng(44);
    auto uniform = [&](double a, double b) { return std::uniform_real_distribution<double>(a, b)(rng); };
    const SpeedLimits limits;
    for (int k = 0; k < 500; ++k) {
        const int64_t now = 10000;
        const double stop = 50.0;
        const double v0 = uniform(0.3, 2.0);
        const double station = stop + uniform(-0.45, 0.45);
        const ScheduleTarget reached{stop, now, 0.0, true};
        const int64_t later = now + static_cast<int64_t>(uniform(4.0, 10.0) * 100.0);
        const std::vector<ScheduleTarget> targets{{stop + uniform(1.0, 6.0), later, uniform(2.0, 5.0), false}};
        SpeedPlan plan;
        gf_planGroundSpeed(targets, station, v0, now, reached, limits, plan);
        SCOPED_TRACE(testing::Message() << "case " << k << ": " << v0 << " m/s, " << station - stop << " m past");
        // At rest by the time it rolls on to the stop's place, if short of it, and brakes as a
        // pilot does; and still at rest a second on.
        const double seconds = std::max(stop - station, 0.0) / v0 + v0 / limits.plannedAccel;
        const auto braked = now + static_cast<int64_t>(std::ceil(seconds * 100.0)) + 1;
        EXPECT_NEAR(gf_plannedSpeed(plan, braked), 0.0, 1e-6);
        EXPECT_NEAR(gf_plannedSpeed(plan, braked + 100), 0.0, 1e-6);
        for (size_t i = 0; i < plan.count; ++i)
            EXPECT_GE(plan.segments[i].accel, -limits.mostAccel - 1e-9);
    }
}

// A taxi slows from 6-12 kt to a walking pace, runs on and stops. The slow report between
// lies back from its place by more than its speed carries the aircraft by the stop's time
// (its jitter), so the plan passes it by for the stop; its speed still tells the pace the
// real aircraft slowed to. Run on at the faster pace and held there, an A320 came to rest
// 6.4 s before the real one. The plan comes to rest within 3 s of the real stop.
TEST(GroundSchedule, ATaxiSlowingBeforeItsStopIsThereWithTheRealOne)
{
    std::mt19937 rng(45);
    auto uniform = [&](double a, double b) { return std::uniform_real_distribution<double>(a, b)(rng); };
    const SpeedLimits limits;
    const double pilot = 0.5; // m/s², as the real one slowed and braked
    for (int k = 0; k < 400; ++k) {
        const int64_t now = 10000;
        const double v0 = uniform(3.0, 6.0);
        const double slowKt = uniform(2.0, 4.5);
        const double vs = gf_ktToMps(slowKt);
        const double slowing = (v0 - vs) / pilot;
        const double run = uniform(5.0, 12.0);
        const double stopS = slowing + run + vs / pilot;
        const double stop = (v0 + vs) / 2.0 * slowing + vs * run + vs * vs / (2.0 * pilot);
        const double slowS = std::max(slowing + uniform(0.2, 0.8) * run, 3.5);
        const double left = vs * (stopS - slowS);
        const double most = 10.0 + 2.0 * vs * vs;
        if (left + 1.0 > most)
            continue;
        const double slowAt = stop - uniform(left + 0.5, most - 0.5);
        const auto tick = [now](double s) { return now + static_cast<int64_t>(std::llround(s * 100.0)); };
        const ScheduleTarget reached{0.0, now, gf_mpsToKt(v0), false};
        const std::vector<ScheduleTarget> targets{{slowAt, tick(slowS), slowKt, false}, {stop, tick(stopS), 0.0, true}};
        SpeedPlan plan;
        gf_planGroundSpeed(targets, 0.0, v0, now, reached, limits, plan);
        SCOPED_TRACE(testing::Message() << "case " << k << ": " << v0 << " m/s to " << slowKt << " kt, stop " << stop
                                        << " m at " << stopS << " s, slow report at " << slowAt << " m");
        ASSERT_TRUE(plan.toRest);
        EXPECT_GE(plan.arrival, tick(stopS - 3.0));
        EXPECT_LE(plan.arrival, tick(stopS + 3.0));
    }
}

namespace {

// A taxi braking at a pilot's pace from one report to a slower one, drawn at speeds in the
// ranges given, the reports at least apartLo s apart: the way it covered between them.
struct BrakingLeg {
    double fastKt, slowKt, fast, slow, braking, apartS, way;
};

template <class Uniform>
BrakingLeg lf_brakingLeg(Uniform& uniform, std::array<double, 2> fastKt, std::array<double, 2> slowKt, double apartLo)
{
    BrakingLeg b{};
    b.fastKt = uniform(fastKt[0], fastKt[1]);
    b.slowKt = uniform(slowKt[0], slowKt[1]);
    b.fast = gf_ktToMps(b.fastKt);
    b.slow = gf_ktToMps(b.slowKt);
    b.braking = uniform(0.3, 0.7);
    b.apartS = std::max(uniform(apartLo, 12.0), (b.fast - b.slow) / b.braking);
    b.way = b.fast * (b.apartS - (b.fast - b.slow) / b.braking) +
            (b.fast * b.fast - b.slow * b.slow) / (2.0 * b.braking);
    return b;
}

} // namespace

// A taxi late from a corner (2-6 s behind its reports, rolling at 2-3.5 m/s) on its way from a
// report at 8-14 kt to one at 2-5 kt, which the real aircraft reached braking at a pilot's pace
// 6-12 s later. Held to the slower report's pace, it fell further behind on the way (one in
// five of these by more than 4 s, up to 9 s), and a C172 reached the stop after it 8.6 s late.
// It makes up time at the pace the two reports' places and times tell, as fast as a pilot
// gathers speed: it loses no more than 4 s on the way.
TEST(GroundSchedule, ALateTaxiBrakingToASlowerReportMakesUpTimeAtThePaceBetweenThem)
{
    std::mt19937 rng(46);
    auto uniform = [&](double a, double b) { return std::uniform_real_distribution<double>(a, b)(rng); };
    const SpeedLimits limits;
    for (int k = 0; k < 400; ++k) {
        const int64_t now = 10000;
        const auto [fastKt, slowKt, fast, slow, braking, apartS, way] =
            lf_brakingLeg(uniform, {8.0, 14.0}, {2.0, 5.0}, 6.0);
        const double late = uniform(2.0, 6.0);
        const double v0 = uniform(2.0, 3.5);
        const auto tick = [now](double s) { return now + static_cast<int64_t>(std::llround(s * 100.0)); };
        const ScheduleTarget reached{0.0, tick(-late), fastKt, false};
        const std::vector<ScheduleTarget> targets{{way, tick(apartS - late), slowKt, false}};
        SpeedPlan plan;
        gf_planGroundSpeed(targets, 0.0, v0, now, reached, limits, plan);
        SCOPED_TRACE(testing::Message() << "case " << k << ": " << late << " s late at " << v0 << " m/s, " << fastKt
                                        << " kt to " << slowKt << " kt over " << way << " m in " << apartS << " s");
        // Due at the slower report apartS - late from now: late by at most 4 s more there.
        EXPECT_LE(plan.arrival, tick(apartS + 4.0));
    }
}

// The same taxi a little late (slowed for a corner to half its pace or so) heading for a
// stop, the last report before it a crawl a few metres short of it, farther than its speed
// carries the aircraft by the stop's time: the plan passes it by for the stop. Held to that
// crawl's pace, it ran on at its own slow speed, and a C172 reached its hold short 6.5 s after
// the real one. It makes up time at the pace from the report reached to the crawl: at rest
// within 3 s of the real one, or as soon as speeding up and braking at a pilot's pace allow.
TEST(GroundSchedule, ALateTaxiToAStopPastACrawlMakesUpTimeAtThePaceBeforeIt)
{
    std::mt19937 rng(47);
    auto uniform = [&](double a, double b) { return std::uniform_real_distribution<double>(a, b)(rng); };
    const SpeedLimits limits;
    for (int k = 0; k < 400; ++k) {
        const int64_t now = 10000;
        const auto [fastKt, slowKt, fast, slow, braking, apartS, way] =
            lf_brakingLeg(uniform, {8.0, 12.0}, {1.5, 4.0}, 8.0);
        const double stopS = slow / braking;
        const double beyond = slow * stopS + uniform(1.0, 4.0); // the stop's place, by its jitter
        const double late = uniform(0.5, 1.5);
        const double v0 = fast * uniform(0.5, 0.7);
        const auto tick = [now](double s) { return now + static_cast<int64_t>(std::llround(s * 100.0)); };
        const ScheduleTarget reached{0.0, tick(-late), fastKt, false};
        const std::vector<ScheduleTarget> targets{{way, tick(apartS - late), slowKt, false},
                                                  {way + beyond, tick(apartS + stopS - late), 0.0, true}};
        SpeedPlan plan;
        gf_planGroundSpeed(targets, 0.0, v0, now, reached, limits, plan);
        SCOPED_TRACE(testing::Message() << "case " << k << ": " << late << " s late at " << v0 << " m/s, " << fastKt
                                        << " kt to " << slowKt << " kt over " << way << " m in " << apartS << " s");
        ASSERT_TRUE(plan.toRest);
        const double a = limits.plannedAccel;
        const double peak = std::sqrt((2.0 * a * (way + beyond) + v0 * v0) / 2.0);
        const double soonest = (2.0 * peak - v0) / a;
        EXPECT_LE(plan.arrival, std::max(tick(apartS + stopS - late + 3.0), tick(soonest + 0.5)));
        // Never faster than the reports about it allow.
        for (size_t i = 0; i < plan.count; ++i)
            EXPECT_LE(plan.segments[i].speed, gf_ktToMps(1.3 * fastKt + 3.0));
    }
}

// Come to rest braking for a stop, the path laid again puts the stop 0.5-5 m further on, with
// no report but a crawl between (their places lie that far about the real stop): it stands
// until the stop's time, and moves off only for the reports after it. Crept on to it, a C172
// stood 5 s after the real one. A stop farther than the reports' jitter is still driven to.
TEST(GroundSchedule, AtRestAStopsJitterAheadIsNoWayOnToIt)
{
    std::mt19937 rng(48);
    auto uniform = [&](double a, double b) { return std::uniform_real_distribution<double>(a, b)(rng); };
    const SpeedLimits limits;
    for (int k = 0; k < 400; ++k) {
        const int64_t now = 10000;
        const auto tick = [now](double s) { return now + static_cast<int64_t>(std::llround(s * 100.0)); };
        const bool far = k % 4 == 3;
        const double ahead = far ? uniform(8.0, 15.0) : uniform(0.6, 4.8);
        const double stopDue = uniform(-1.0, 3.0);
        const ScheduleTarget reached{0.0, tick(-1.0), uniform(1.5, 4.0), false};
        const std::vector<ScheduleTarget> targets{{ahead, tick(stopDue - 1.0), uniform(1.1, 2.0), false},
                                                  {ahead, tick(stopDue), 0.0, true},
                                                  {ahead + 3.0, tick(stopDue + 20.0), 3.0, false}};
        SpeedPlan plan;
        gf_planGroundSpeed(targets, 0.0, 0.0, now, reached, limits, plan);
        SCOPED_TRACE(testing::Message() << "case " << k << ": the stop " << ahead << " m on, due in " << stopDue
                                        << " s");
        if (far) {
            EXPECT_GT(gf_plannedSpeed(plan, tick(2.0)), 0.0);
            continue;
        }
        for (double s = 0.0; s <= std::max(stopDue, 0.0) + 0.5; s += 0.25)
            EXPECT_EQ(gf_plannedSpeed(plan, tick(s)), 0.0) << "at " << s << " s";
    }
}

// Off a roll-out at 16-38 kt, 2-7 s ahead of its reports, the next one at about its own speed:
// more ground than braking at the type's taxi rate loses by that report's time. Braked only
// down to that report's speed, it ran on at its pace, and a B744 reached its exit 40 m early
// and stood waiting for the real one. It brakes as hard as the type does at taxi speeds, and
// covers the way no sooner than that braking allows.
TEST(GroundSchedule, AnEarlyTaxiWithMoreWayThanBrakingLosesSlowsAsHardAsTheTypeDoes)
{
    std::mt19937 rng(49);
    auto uniform = [&](double a, double b) { return std::uniform_real_distribution<double>(a, b)(rng); };
    SpeedLimits limits;
    limits.mostAccel = 0.9;
    const double most = limits.mostAccel;
    for (int k = 0; k < 400; ++k) {
        const int64_t now = 10000;
        const auto tick = [now](double s) { return now + static_cast<int64_t>(std::llround(s * 100.0)); };
        const double v0 = uniform(8.0, 19.5);
        const double v1 = std::min(v0 * uniform(0.85, 1.1), 19.5);
        const double t = uniform(3.0, 0.55 * std::min(v0, v1) / most);
        // Less way than braking at the type's rate for the whole time covers, more than the
        // crawl a hidden stop would tell.
        const double braked = v0 * t - most * t * t / 2.0;
        const double way = uniform(std::max(0.45 * std::min(v0, v1) * t, 0.6 * braked), 0.97 * braked);
        const ScheduleTarget reached{0.0, tick(-2.0), gf_mpsToKt(v0), false};
        const std::vector<ScheduleTarget> targets{{way, tick(t), gf_mpsToKt(v1), false}};
        SpeedPlan plan;
        gf_planGroundSpeed(targets, 0.0, v0, now, reached, limits, plan);
        SCOPED_TRACE(testing::Message() << "case " << k << ": " << v0 << " m/s to " << v1 << " m/s, " << way
                                        << " m in " << t << " s");
        // Braking at the type's rate all the way, it covers the way in this time.
        const double soonest = (v0 - std::sqrt(v0 * v0 - 2.0 * most * way)) / most;
        double covered = 0.0;
        int64_t at = now;
        for (; covered < way && at < tick(t + 5.0); ++at)
            covered += gf_plannedSpeed(plan, at) / 100.0;
        EXPECT_GE(static_cast<double>(at - now) / 100.0, soonest - 0.05);
        for (size_t i = 0; i < plan.count; ++i)
            EXPECT_GE(plan.segments[i].accel, -most - 1e-9);
    }
}
