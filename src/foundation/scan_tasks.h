#pragma once
// The gate of the scan tasks (one thread per scanned file): never more of them run at
// once than the limit, the processor's hardware threads. A task is counted by the code
// that starts it, before its thread exists, so a fast folder walk cannot overshoot the
// limit; waits end early when the traffic service is asked to stop.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <future>
#include <optional>
#include <string_view>
#include <thread>
#include <type_traits>
#include <utility>

#include "foundation/detached_thread.h"

extern std::atomic<int32_t> g_scanTasksRunning;
// A limit below 1 acts as 1.
extern std::atomic<int32_t> g_scanTasksMax;

// The started tasks whose threads have not yet ended, also those that a stopped or
// timed-out wait left behind. Both counts live as long as the process: a task of a stopped
// scan still holds its slot in the next run of the traffic service.
extern std::atomic<int32_t> g_scanTasksAlive;

// Every task belongs to the generation of scans that started it. A scan that gives up on
// the tasks still running ends their generation: what they produce afterwards is dropped.
extern std::atomic<uint64_t> g_scanGeneration;
// Within a scan task: whether its scan gave up on it. False on any other thread.
bool gf_scanTaskAbandoned();

// Marks the calling thread as a task of the given generation while it lives.
class ScanTaskGeneration {
public:
    explicit ScanTaskGeneration(uint64_t generation);
    ~ScanTaskGeneration();
    ScanTaskGeneration(const ScanTaskGeneration&) = delete;
    ScanTaskGeneration& operator=(const ScanTaskGeneration&) = delete;
};

// Sets the limit, at least 1: hardware_concurrency() may answer 0.
void gf_setScanTasksMax(int64_t limit);

// Waits until fewer tasks run than the limit; false when a stop of the service is
// pending (then no further task should start).
bool gf_waitForFreeWorker();

// One counted running task; the count drops when the slot ends.
class ScanTaskSlot {
public:
    ScanTaskSlot(ScanTaskSlot&& other) noexcept : held_(std::exchange(other.held_, false)) {}
    ScanTaskSlot(const ScanTaskSlot&) = delete;
    ScanTaskSlot& operator=(const ScanTaskSlot&) = delete;
    ScanTaskSlot& operator=(ScanTaskSlot&&) = delete;
    ~ScanTaskSlot();

private:
    friend std::optional<ScanTaskSlot> gf_takeScanTaskSlot();
    ScanTaskSlot() = default;
    bool held_ = true;
};

// Waits for a free slot and counts it in the same step; empty when a stop came first.
std::optional<ScanTaskSlot> gf_takeScanTaskSlot();

// Counts one started task in g_scanTasksAlive while it exists; moves with the task.
class AliveScanTask {
public:
    AliveScanTask() { ++g_scanTasksAlive; }
    AliveScanTask(AliveScanTask&& other) noexcept : held_(std::exchange(other.held_, false)) {}
    AliveScanTask(const AliveScanTask&) = delete;
    AliveScanTask& operator=(const AliveScanTask&) = delete;
    AliveScanTask& operator=(AliveScanTask&&) = delete;
    ~AliveScanTask()
    {
        if (held_)
            --g_scanTasksAlive;
    }

private:
    bool held_ = true;
};

// Waits until every started task has ended, so that what they write may be read, but no
// longer than limit (a read from a dead network share may never return): the tasks still
// running then are abandoned, and the label's log line says so. False as soon as a stop of
// the service is pending.
bool gf_waitForScanTasksToEnd(std::chrono::milliseconds limit, std::string_view label);

// At the end of the process, whatever the stop flags: waits at most limit until no task
// runs, so that none uses a global while it is destroyed; false when some still run.
bool gf_waitForScanTasksAtExit(std::chrono::milliseconds limit);

// Runs task on a thread of its own once a slot is free; the slot is given back when the
// task returns or throws (the exception reaches the future), before the future is ready.
// The thread is detached: dropping the future never waits for the task (a future of
// std::async would block in its destructor), so a walk can give up on a slow file. An
// invalid future, with the task not run, when a stop came first; std::system_error when
// no thread can be started (the slot is then given back).
template <typename Task>
std::future<std::invoke_result_t<std::decay_t<Task>&>> gf_startScanTask(Task&& task)
{
    using Result = std::invoke_result_t<std::decay_t<Task>&>;
    std::optional<ScanTaskSlot> slot = gf_takeScanTaskSlot();
    if (!slot)
        return {};
    std::packaged_task<Result()> job([held = std::move(*slot), alive = AliveScanTask(),
                                      generation = g_scanGeneration.load(), t = std::forward<Task>(task)]() mutable {
        const ScanTaskSlot mine = std::move(held);
        const ScanTaskGeneration own(generation);
        return t();
    });
    std::future<Result> result = job.get_future();
    gf_startDetachedThread(std::move(job));
    return result;
}
