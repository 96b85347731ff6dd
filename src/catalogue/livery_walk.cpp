// The walk of one livery folder: one task thread per aircraft.cfg or sim.cfg, never more
// running than the scan gate allows, results gathered oldest first.
#include <algorithm>
#include <atomic>
#include <deque>
#include <exception>
#include <future>
#include <iterator>
#include <stdexcept>

#include <fmt/format.h>

#include "catalogue/livery_scan_internal.h"
#include "foundation/log.h"
#include "foundation/scan_tasks.h"
#include "foundation/stop_state.h"
#include "foundation/text.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

std::vector<LiveryData> g_scannedLiveries;

namespace {

using LiveryFuture = std::future<std::vector<LiveryData>>;
using Clock = std::chrono::steady_clock;

constexpr std::chrono::milliseconds kTaskWait = 10s;
// How often a wait looks at the stop flags.
constexpr auto kStopPoll = 10ms;
// Deeper folders are not entered: their paths pass what Windows programs can open.
constexpr size_t kLongestFolderPath = 249;

std::atomic<int64_t> g_taskWaitMs{kTaskWait.count()};
std::atomic<LiveryFileTask> g_fileTaskForTests{nullptr};

// A path for a log line that must not fail itself.
std::string lf_pathTextForLog(const fs::path& path)
{
    try {
        return lf_pathText(path);
    } catch (const std::exception&) {
        return "(a path that cannot be written as UTF-8)";
    }
}

bool lf_contains(const fs::path::string_type& text, const char* word)
{
    return text.find(fs::path(word).native()) != fs::path::string_type::npos;
}

// Waits for a task's result at most the wait limit and appends it; false when a stop came
// first. The time-out and the task's own exception are thrown.
bool lf_takeResult(LiveryFuture& future)
{
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(g_taskWaitMs.load());
    while (true) {
        const Clock::duration left = std::max<Clock::duration>(deadline - Clock::now(), Clock::duration::zero());
        if (future.wait_for(std::min<Clock::duration>(left, kStopPoll)) == std::future_status::ready)
            break;
        if (gf_stopPending())
            return false;
        if (Clock::now() >= deadline)
            throw std::runtime_error("Future wait timed out after 10 seconds");
    }
    std::vector<LiveryData> found = future.get();
    g_scannedLiveries.insert(g_scannedLiveries.end(), std::make_move_iterator(found.begin()),
                             std::make_move_iterator(found.end()));
    return true;
}

bool lf_isLiveryCfg(const fs::path& path)
{
    if (gf_toUpperAscii(lf_pathText(path.extension())) != ".CFG")
        return false;
    const std::string stem = gf_toUpperAscii(lf_pathText(path.stem()));
    return stem == "AIRCRAFT" || stem == "SIM";
}

class LiveryFolderWalk {
public:
    LiveryFolderWalk(uint32_t lfolder, const fs::path& folder) : lfolder_(lfolder), rootLength_(folder.native().size())
    {
        enter(folder);
    }

    void run()
    {
        while (!stack_.empty() && !stopped_) {
            fs::directory_iterator& it = stack_.back();
            if (it == fs::directory_iterator()) {
                stack_.pop_back();
                continue;
            }
            const fs::directory_entry entry = *it;
            std::error_code ec;
            it.increment(ec);
            if (ec) {
                gf_logErrorLine("liveries search skips the rest of {}: {}",
                                lf_pathTextForLog(entry.path().parent_path()), ec.message());
                stack_.pop_back();
            }
            try {
                handle(entry);
            } catch (const std::exception& e) {
                gf_logErrorLine("liveries search in {} aborted, cause: {}", lf_pathTextForLog(entry.path()), e.what());
            }
        }
        while (!pending_.empty() && !stopped_)
            takeOldest("liveries search aborted, futs outer, {}");
    }

private:
    // An unreadable folder costs only itself.
    void enter(const fs::path& folder)
    {
        std::error_code ec;
        fs::directory_iterator it(folder, ec);
        if (ec) {
            gf_logErrorLine("liveries search skips {}: {}", lf_pathTextForLog(folder), ec.message());
            return;
        }
        stack_.push_back(std::move(it));
    }

    void handle(const fs::directory_entry& entry)
    {
        const fs::path& path = entry.path();
        std::error_code ec;
        if (entry.is_directory(ec) && !entry.is_symlink(ec)) {
            // Only below the livery folder: a folder set as "airports_and_planes" scans.
            const bool airports = lf_contains(path.native().substr(rootLength_), "airport");
            if (!airports && lf_pathText(path).size() <= kLongestFolderPath)
                enter(path);
        }
        if (!entry.is_regular_file(ec) || !lf_isLiveryCfg(path))
            return;
        const bool ivao = lf_contains(path.native(), "ivao_x-csl") || lf_contains(path.native(), "IVAO_MTL");
        LiveryFileTask task = ivao ? &lf_searchLiveriesinIVAOFile : &lf_searchLiveriesinFile;
        if (const LiveryFileTask replaced = g_fileTaskForTests.load())
            task = replaced;
        LiveryFuture future = gf_startScanTask([task, lfolder = lfolder_, path] { return task(lfolder, path); });
        if (!future.valid()) {
            stopped_ = true;
            return;
        }
        pending_.push_back(std::move(future));
        if (pending_.size() > static_cast<size_t>(std::max(1, g_scanTasksMax.load())))
            takeOldest("liveries inner search aborted: {}");
    }

    void takeOldest(fmt::string_view failure)
    {
        LiveryFuture oldest = std::move(pending_.front());
        pending_.pop_front();
        try {
            if (!lf_takeResult(oldest))
                stopped_ = true;
        } catch (const std::exception& e) {
            gf_logErrorLine(fmt::format(fmt::runtime(failure), e.what()));
        }
    }

    uint32_t lfolder_;
    size_t rootLength_;
    std::vector<fs::directory_iterator> stack_;
    std::deque<LiveryFuture> pending_;
    bool stopped_ = false;
};

} // namespace

void gf_setLiveryTaskWaitForTests(std::chrono::milliseconds limit)
{
    g_taskWaitMs = limit.count();
}

void gf_setLiveryFileTaskForTests(LiveryFileTask task)
{
    g_fileTaskForTests = task;
}

void lf_scanLiveriesFolder(uint32_t lfolder, const fs::path& folder)
{
    LiveryFolderWalk(lfolder, folder).run();
}
