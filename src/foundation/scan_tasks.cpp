#include "foundation/scan_tasks.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <limits>
#include <mutex>
#include <thread>

#include "foundation/stop_state.h"

std::atomic<int32_t> g_scanTasksRunning{0};
std::atomic<int32_t> g_scanTasksAlive{0};
std::atomic<int32_t> g_scanTasksMax{static_cast<int32_t>(std::max(1u, std::thread::hardware_concurrency()))};

namespace {
// g_scanGateMutex guards the changes of g_scanTasksRunning, so that a test-and-count is
// one step and no release is missed by a waiter; g_scanGateFreed is told of each release.
std::mutex g_scanGateMutex;
std::condition_variable g_scanGateFreed;
// The stop flags are raised without telling this gate: waits look at them this often.
constexpr auto kStopPoll = std::chrono::milliseconds(10);

bool lf_waitForSlot(std::unique_lock<std::mutex>& lock)
{
    while (!gf_stopPending()) {
        if (g_scanTasksRunning.load() < std::max(1, g_scanTasksMax.load()))
            return true;
        g_scanGateFreed.wait_for(lock, kStopPoll);
    }
    return false;
}
} // namespace

void gf_setScanTasksMax(int64_t limit)
{
    g_scanTasksMax = static_cast<int32_t>(std::clamp<int64_t>(limit, 1, std::numeric_limits<int32_t>::max()));
    g_scanGateFreed.notify_all();
}

bool gf_waitForFreeWorker()
{
    std::unique_lock lock(g_scanGateMutex);
    return lf_waitForSlot(lock);
}

std::optional<ScanTaskSlot> gf_takeScanTaskSlot()
{
    std::unique_lock lock(g_scanGateMutex);
    if (!lf_waitForSlot(lock))
        return std::nullopt;
    ++g_scanTasksRunning;
    return ScanTaskSlot();
}

ScanTaskSlot::~ScanTaskSlot()
{
    if (!held_)
        return;
    {
        std::lock_guard lock(g_scanGateMutex);
        --g_scanTasksRunning;
    }
    g_scanGateFreed.notify_all();
}

bool gf_waitForScanTasksToEnd()
{
    while (g_scanTasksAlive.load() > 0) {
        if (gf_stopPending())
            return false;
        std::this_thread::sleep_for(kStopPoll);
    }
    return !gf_stopPending();
}
