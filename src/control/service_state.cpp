#include "control/service_state.h"

#include <mutex>
#include <utility>

#include "control/service_internal.h"
#include "foundation/stop_state.h"

std::atomic<int64_t> g_timeOfWeek{0};
bool g_dataFilesRead = false;
std::atomic<bool> g_realTrafficLocal{false};
std::filesystem::path g_stockAirportsPath;
int32_t g_simKind = 3;
std::atomic<bool> g_startUpPhase{true};

std::atomic<int32_t> g_cycleCount{0};
bool g_flightPaused = false;
int32_t g_pausedTickCountdown = 100;
std::atomic<bool> g_staticUpdateRequested{false};
bool g_staticUpdateFirstStepDone = false;
std::atomic<int32_t> g_staticRenewalMinutes{g_staticRenewalPeriodMinutes};
std::atomic<bool> g_rereadRequested{false};
std::atomic<bool> g_flushStaticRequested{false};
std::atomic<bool> g_callsignListRequested{false};
std::atomic<bool> g_blockRequested{false};
std::atomic<bool> g_callsignListRebuilt{false};
std::atomic<bool> g_liveSurplusRequested{false};
std::atomic<bool> g_navLightsRequested{false};
std::atomic<bool> g_liveryRebuildRequested{false};

namespace {
std::mutex g_parkAirportRequestsMutex; // guards g_parkAirportRequests
std::vector<ParkAirportRequest> g_parkAirportRequests;
} // namespace

void gf_requestParkAirport(std::string code, GeoPos position)
{
    std::lock_guard lock(g_parkAirportRequestsMutex);
    g_parkAirportRequests.push_back({std::move(code), position});
}

std::vector<ParkAirportRequest> gf_takeParkAirportRequests()
{
    std::lock_guard lock(g_parkAirportRequestsMutex);
    return std::exchange(g_parkAirportRequests, {});
}

bool lf_sleepUnlessStopped(std::chrono::milliseconds duration)
{
    return !gf_waitOnStopState(duration, {}, [] { return gf_stopPending(); });
}

bool lf_sleepUnlessHardStop(std::chrono::milliseconds duration, const std::stop_token& stop)
{
    return !gf_waitOnStopState(duration, stop, [&stop] { return g_hardStop.load() || stop.stop_requested(); });
}
