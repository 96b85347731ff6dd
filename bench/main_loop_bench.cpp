// The period of the traffic service's 10 ms tick: the real main loop runs with the flight
// running (a simulator double that delivers its on-ground data once a second) for the
// given time, and every tick's start is taken where the tick first asks the simulator.
// Prints the mean, median, 99th percentile and largest period and the ticks per minute
// that started more than 1 ms late (a period above 11 ms), and the same of a bare loop of
// 10 ms sleeps for a tenth of the time as the reference of this machine's timer.
// Usage: main_loop_bench [seconds, default 60]
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

#include "control/service_internal.h"
#include "foundation/stop_state.h"
#include "foundation/timer_resolution.h"
#include "simlink/sim_link_calls.h"

namespace {

using Clock = std::chrono::steady_clock;

std::vector<Clock::time_point> g_tickStarts; // the loop's thread only
std::atomic<bool> g_onGroundDataArrived{false};

SimLinkCalls lf_flightRunning()
{
    SimLinkCalls c = gf_simLink();
    c.flightRuns = [] {
        g_tickStarts.push_back(Clock::now());
        return true;
    };
    c.newUserData = [] { return g_onGroundDataArrived.load(); };
    c.takeNewUserData = [] { return g_onGroundDataArrived.exchange(false); };
    c.userDataValid = [] { return true; };
    c.requestAircraftInRange = [](int32_t) { return true; };
    c.requestUserPosition = [] {
        UserState s;
        s.latitude = 52.0;
        s.longitude = 4.0;
        return s;
    };
    return c;
}

double lf_ms(Clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

void lf_report(const char* what, const std::vector<Clock::time_point>& starts, double seconds)
{
    std::vector<double> periods;
    for (size_t i = 1; i < starts.size(); ++i)
        periods.push_back(lf_ms(starts[i] - starts[i - 1]));
    if (periods.empty())
        return;
    const double mean = lf_ms(starts.back() - starts.front()) / static_cast<double>(periods.size());
    const auto late = std::count_if(periods.begin(), periods.end(), [](double p) { return p > 11.0; });
    std::sort(periods.begin(), periods.end());
    const auto at = [&periods](double q) { return periods[static_cast<size_t>(q * (periods.size() - 1))]; };
    std::printf("%s: %zu ticks in %.0f s, period mean %.3f ms, p50 %.3f ms, p99 %.3f ms, max %.3f ms; late ticks "
                "%.1f per minute\n",
                what, starts.size(), seconds, mean, at(0.5), at(0.99), periods.back(),
                static_cast<double>(late) * 60.0 / seconds);
}

// The reference: nothing but the sleeps to 10 ms deadlines.
std::vector<Clock::time_point> lf_bareSleeps(double seconds)
{
    std::vector<Clock::time_point> starts;
    const auto end = Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
    const TimerResolution1ms timer;
    for (auto deadline = Clock::now(); deadline < end; deadline += std::chrono::milliseconds(10)) {
        std::this_thread::sleep_until(deadline);
        starts.push_back(Clock::now());
    }
    return starts;
}

} // namespace

int main(int argc, char** argv)
{
    const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 60;
    g_tickStarts.reserve(static_cast<size_t>(seconds) * 110 + 100);
    gf_setSimLinkCalls(lf_flightRunning());
    std::jthread simulator([](std::stop_token stop) {
        while (!stop.stop_requested()) {
            std::this_thread::sleep_for(std::chrono::seconds(1));
            g_onGroundDataArrived = true;
        }
    });
    std::thread loop(lf_mainLoop);
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    gf_requestClosingDown(CloseReason::UserClosedSim, 0);
    loop.join();

    lf_report("main loop", g_tickStarts, seconds);
    const double referenceSeconds = std::max(1.0, seconds / 10.0);
    lf_report("reference, bare 10 ms sleeps", lf_bareSleeps(referenceSeconds), referenceSeconds);
    return 0;
}
