#include "control/service_state.h"

#include <algorithm>
#include <thread>

#include "control/service_internal.h"
#include "foundation/stop_state.h"

std::atomic<int64_t> g_timeOfWeek{0};
bool g_dataFilesRead = false;
std::atomic<bool> g_realTrafficLocal{false};
std::filesystem::path g_stockAirportsPath;
int32_t g_simKind = 3;
std::atomic<bool> g_startUpPhase{true};

int32_t g_cycleCount = 0;
bool g_flightPaused = false;
int32_t g_pausedTickCountdown = 100;
std::atomic<bool> g_staticUpdateRequested{false};
bool g_staticUpdateFirstStepDone = false;
int32_t g_staticRenewalMinutes = 20;
std::atomic<bool> g_rereadRequested{false};
std::atomic<bool> g_flushStaticRequested{false};
std::atomic<bool> g_callsignListRequested{false};
std::atomic<bool> g_blockRequested{false};
std::atomic<bool> g_callsignListRebuilt{false};

namespace {
using namespace std::chrono_literals;

template <typename Stopped>
bool lf_sleepUnless(std::chrono::milliseconds duration, Stopped stopped)
{
    const auto deadline = std::chrono::steady_clock::now() + duration;
    for (auto now = std::chrono::steady_clock::now(); now < deadline; now = std::chrono::steady_clock::now()) {
        if (stopped())
            return false;
        std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(100ms, deadline - now));
    }
    return !stopped();
}
} // namespace

bool lf_sleepUnlessStopped(std::chrono::milliseconds duration)
{
    return lf_sleepUnless(duration, [] { return gf_stopPending(); });
}

bool lf_sleepUnlessHardStop(std::chrono::milliseconds duration, const std::stop_token& stop)
{
    return lf_sleepUnless(duration, [&stop] { return g_hardStop.load() || stop.stop_requested(); });
}
