#pragma once
// When a live aircraft on the ground is where along its path: a speed plan that passes each
// reported position close to the time the real aircraft was there, reaches a reported stop
// when the real one stopped and holds it until it must move off to meet the next report,
// never faster than 1.3 times the reported speed and 3 kt, and accelerating as the type can.
// Speeds in metres per second, time in traffic ticks of 10 ms.
#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

// A report ahead, at its station on the path.
struct ScheduleTarget {
    double station = 0.0; // metres
    int64_t due = 0;      // when the real aircraft was there
    double speedKt = 0.0; // as reported
    bool rest = false;    // a reported stop
    double trackDeg = 0.0; // as reported
};

struct SpeedLimits {
    double plannedAccel = 0.5; // m/s², what a pilot uses by choice
    double mostAccel = 1.2;    // what the type does at taxi speeds
    double fastAccel = 2.8;    // on a take-off roll or a roll-out
    bool towed = false;        // pushed back: slow all the way, its reports tell the tug's pace
};

struct SpeedSegment {
    int64_t start = 0;  // tick
    double speed = 0.0; // at its start
    double accel = 0.0;
};

struct SpeedPlan {
    std::array<SpeedSegment, 7> segments{};
    size_t count = 0;
    int64_t arrival = 0;        // when the target is reached
    double targetStation = 0.0; // of the target planned for
    double ceiling = 0.0;       // the speed never exceeded
    bool toRest = false;        // the target is a stop
};

// Plans from station and speed now towards the targets, which are in their order; previous:
// the report reached last.
void gf_planGroundSpeed(const std::vector<ScheduleTarget>& targets, double station, double speed, int64_t now,
                        const ScheduleTarget& previous, const SpeedLimits& limits, SpeedPlan& plan);
// The stations of slow moving reports from their speeds and times, each run of them between
// stops laid where its places (and the aircraft's, at station now, and the stop's it ends at,
// braked to at braking m/s²) lie together, within the stops around it and the path's end.
void gf_paceSlowReports(std::vector<ScheduleTarget>& targets, double station, double speed, int64_t now, double end,
                        double braking);
// The speed planned at a tick (the last segment's end speed after it).
double gf_plannedSpeed(const SpeedPlan& plan, int64_t tick);

double gf_ktToMps(double kt);
double gf_mpsToKt(double mps);
