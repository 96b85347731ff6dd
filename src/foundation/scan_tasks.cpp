#include "foundation/scan_tasks.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <limits>
#include <mutex>
#include <thread>

#include "foundation/log.h"
#include "foundation/stop_state.h"
#include "foundation/text.h"

std::atomic<int32_t> g_scanTasksRunning{0};
std::atomic<int32_t> g_scanTasksAlive{0};
std::atomic<int32_t> g_scanTasksMax{static_cast<int32_t>(std::max(1u, std::thread::hardware_concurrency()))};
std::atomic<uint64_t> g_scanGeneration{1};

namespace {
// The generation of the task that runs on this thread; 0 on any other thread.
thread_local uint64_t t_taskGeneration = 0;

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

bool gf_scanTaskAbandoned()
{
    return t_taskGeneration != 0 && t_taskGeneration != g_scanGeneration.load();
}

ScanTaskGeneration::ScanTaskGeneration(uint64_t generation)
{
    t_taskGeneration = generation;
}

ScanTaskGeneration::~ScanTaskGeneration()
{
    t_taskGeneration = 0;
}

bool gf_waitForScanTasksToEnd(std::chrono::milliseconds limit, std::string_view label)
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (g_scanTasksAlive.load() > 0) {
        if (gf_stopPending())
            return false;
        if (std::chrono::steady_clock::now() >= deadline) {
            ++g_scanGeneration;
            const int32_t n = g_scanTasksAlive.load();
            gf_logErrorLine("{} abandons {} file task{} still running after {} ms: their results are dropped", label,
                            n, gf_plural(n), limit.count());
            return true;
        }
        std::this_thread::sleep_for(kStopPoll);
    }
    return !gf_stopPending();
}

bool gf_waitForScanTasksAtExit(std::chrono::milliseconds limit)
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (g_scanTasksAlive.load() > 0 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(kStopPoll);
    return g_scanTasksAlive.load() == 0;
}
