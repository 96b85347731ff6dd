// The static calculation and the 20-minute adjustments on a park airport of 500 stands
// with 200 flights each, MAX_FIT 47 and all four modes, against a wanted count that the
// overlapping stands cannot give, so that every mode runs all 48 fit steps. The stand
// search is the test double's, which does the engine's search work; its share of the time
// is shown. The reference is a bare walk over every flight's half-hour bit for the same
// 4 x 48 steps, the bound of a search that never finds a stand.
//   static_parking_bench [rounds=10]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "control/service_state.h"
#include "foundation/folders.h"
#include "foundation/log.h"
#include "foundation/settings_catalogue.h"
#include "parking/static_parking.h"
#include "parking/static_parking_internal.h"
#include "support/engine_doubles.h"
#include "support/engine_driver.h"
#include "support/synthetic_airport.h"
#include "traffic/traffic_state.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

double lf_ms(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// The stand search's share of the time.
double g_engineMs = 0.0;
void lf_timedSearch(int64_t now, uint32_t kind, uint32_t dayRule, int32_t offset, std::vector<ParkCandidate>& out)
{
    const auto start = Clock::now();
    lf_searchStands(now, kind, dayRule, offset, out);
    g_engineMs += lf_ms(start);
}

void lf_unskip()
{
    for (ParkStand& s : g_parkStands) {
        for (StandFlight& f : s.flights)
            f.skipped = false;
    }
}

struct Figures {
    double best = 1e300;
    double worst = 0.0;
    double sum = 0.0;
    int n = 0;
    void add(double ms)
    {
        best = std::min(best, ms);
        worst = std::max(worst, ms);
        sum += ms;
        ++n;
    }
    void print(const char* what, double engineMs = 0.0) const
    {
        std::printf("%-26s best %8.2f ms  mean %8.2f ms  worst %8.2f ms", what, best, sum / n, worst);
        if (engineMs > 0.0)
            std::printf("  (stand search %.0f %%)", 100.0 * engineMs / sum);
        std::printf("\n");
    }
};

} // namespace

int main(int argc, char** argv)
{
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
    const fs::path work = fs::temp_directory_path() / ("static_parking_bench-" + std::to_string(std::random_device{}()));
    fs::create_directories(work);
    fs::current_path(work);
    gf_overrideDataFolder(work);
    gf_openLogAt(work / "Log.txt");

    g_parkStands = synth::makeAirport({.seed = 2024, .stands = 500, .flightsPerStand = 200, .standsPerRow = 10});
    enginetest::installEngineDoubles();
    for (const char* type : {"A320", "B738", "A333", "E190", "B77W", "A21N"}) {
        enginetest::catalogue().types[type] = TypeCategory::Large;
        enginetest::catalogue().liveries[type] = std::string(type) + " livery";
        enginetest::catalogue().halfSpans[type] = 17.0 / 1852.0;
    }
    uint32_t object = 100;
    g_standSearchSeam.searchStands = &lf_timedSearch;
    MAX_FIT.value = 47;
    WEEK.value = true;
    PARK_SOFT.value = true;
    MAX_PARK_SEL.value = 500;
    parking_percentage.value = 100;
    RANDOM.value = true;
    const int64_t now = gf_timeOfWeek(3, 20);
    g_timeOfWeek = now;

    volatile size_t sink = 0;
    Figures bare;
    for (int r = 0; r < rounds; ++r) {
        const auto start = Clock::now();
        for (int mode = 0; mode < 4; ++mode) {
            for (uint32_t step = 0; step < 48; ++step) {
                const uint32_t slot = gf_slotOf(lf_shiftBack(now, step));
                for (const ParkStand& s : g_parkStands) {
                    for (const StandFlight& f : s.flights)
                        sink = sink + (f.hours.test(slot) ? 1 : 0);
                }
            }
        }
        bare.add(lf_ms(start));
    }

    Figures calculation;
    size_t candidates = 0;
    g_engineMs = 0.0;
    for (int r = 0; r < rounds; ++r) {
        lf_unskip();
        const auto start = Clock::now();
        gf_calculateStaticParking();
        calculation.add(lf_ms(start));
        candidates = g_addingStack.size();
    }

    // Statics as the engine would create them, then renewals half an hour apart.
    enginetest::gf_createStaticsFromStack(object);
    const double calculationEngineMs = g_engineMs;
    g_engineMs = 0.0;
    Figures adjustments;
    for (int r = 0; r < rounds; ++r) {
        g_timeOfWeek = lf_shiftBack(now, static_cast<uint32_t>(g_halfHoursPerWeek - 1 - r));
        const auto start = Clock::now();
        gf_parkingAdjustments();
        adjustments.add(lf_ms(start));
        enginetest::gf_confirmRemovals();
        enginetest::gf_createStaticsFromStack(object);
    }

    std::printf("static parking: 500 stands x 200 flights, MAX_FIT 47, four modes, %zu of 500 wanted found, "
                "%zu statics\n",
                candidates, g_staticAcs.size());
    bare.print("bare flight walk 4x48");
    calculation.print("gf_calculateStaticParking", calculationEngineMs);
    adjustments.print("gf_parkingAdjustments", g_engineMs);
    gf_closeLog();
    fs::current_path(fs::temp_directory_path());
    std::error_code ec;
    fs::remove_all(work, ec);
    return sink == 0 ? 0 : 0;
}
