// Runs a scenario of the traffic harness and prints its figures.
//   traffic_scenario [--flights N] [--seconds S] [--fps 30|60] [--seed N] [--track-log FILE]
// The default is the hour of 600 flights of the engine tests (with lost, repeated and
// jittered reports, failed creations, late bindings and lost on-ground reports) and five
// minutes to drain. Prints the counts, the largest number of live aircraft counted against
// MAX_LIVE_SEL, the orphans and the ticks with a value that is not finite, then the
// deviation figures of the first ten airborne flights that were flown.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include <fmt/format.h>

#include "support/traffic_metrics.h"
#include "support/traffic_scenario.h"

using namespace traffictest;

int main(int argc, char** argv)
{
    TrafficMix mix;
    double seconds = 3600.0;
    uint32_t seed = 18;
    SimScript sim = gf_replaySim(mix);
    sim.keepTracks = true;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string_view option = argv[i];
        const char* value = argv[i + 1];
        if (option == "--flights")
            mix.count = std::strtoul(value, nullptr, 10);
        else if (option == "--seconds")
            seconds = std::strtod(value, nullptr);
        else if (option == "--fps")
            sim.fps = std::atoi(value);
        else if (option == "--seed")
            seed = static_cast<uint32_t>(std::strtoul(value, nullptr, 10));
        else if (option == "--track-log")
            sim.trackLog = value;
    }
    const std::vector<ReferenceFlight> flights = gf_generatedTraffic(mix, seed);
    const auto start = std::chrono::steady_clock::now();
    Scenario s(flights, gf_replayFeed(), sim, seed);
    s.run(seconds);
    s.run(300.0);
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const Counts& c = s.counts();
    fmt::print("{} flights, {:.0f} s at {} fps in {:.1f} s ({:.1f} us a tick)\n", flights.size(), seconds + 300.0,
               sim.fps, wall, wall * 1e6 / static_cast<double>(s.tick()));
    fmt::print("records {} creations {} failed {} removals {} repeated {} unknown {} positions {}\n", c.records,
               c.creations, c.failedCreations, c.removals, c.repeatedRemovals, c.unknownRemovals, c.positions);
    fmt::print("largest live count {} orphans {} non-finite ticks {}\n", c.maxLiveCount, s.orphans(),
               c.nonFiniteTicks);
    int shown = 0;
    for (const auto& [id, o] : s.removedObjects()) {
        const auto flight = std::find_if(flights.begin(), flights.end(),
                                         [&o](const ReferenceFlight& f) { return f.hexid == o.hexid; });
        if (shown == 10)
            break;
        if (flight == flights.end() || flight->points.front().onGround || o.track.size() < 2)
            continue;
        ++shown;
        const Deviation d = gf_airborneDeviation(o.track, *flight, g_referenceShiftS, 1000.0);
        fmt::print("{:8} object {}: {} frames, {:.0f} m and {:.0f} ft from the reference, {} long steps\n",
                   flight->texts.callsign, id, o.track.size(), d.horizontalM, d.verticalFt,
                   gf_excessSteps(o.track, *flight, g_referenceShiftS));
    }
    return c.repeatedRemovals + c.unknownRemovals + c.nonFiniteTicks + s.orphans() == 0 ? 0 : 1;
}
