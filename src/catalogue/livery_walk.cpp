// The walk of one livery folder: one task thread per aircraft.cfg or sim.cfg, never more
// running than the scan gate allows, results gathered oldest first.
#include <algorithm>
#include <atomic>
#include <deque>
#include <exception>
#include <future>
#include <iterator>
#include <optional>
#include <stdexcept>
#include <string_view>
#include <utility>

#include <fmt/format.h>

#include "catalogue/livery_scan_internal.h"
#include "foundation/folder_walk.h"
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

using NativeView = std::basic_string_view<fs::path::value_type>;

// The words the walk looks for, in the file system's own characters.
struct NativeWords {
    fs::path::string_type airport = fs::path("airport").native();
    fs::path::string_type ivaoCsl = fs::path("ivao_x-csl").native();
    fs::path::string_type ivaoMtl = fs::path("IVAO_MTL").native();
};

const NativeWords& lf_words()
{
    static const NativeWords words;
    return words;
}

bool lf_contains(NativeView text, const fs::path::string_type& word)
{
    return text.find(word) != NativeView::npos;
}

// The length of the path's UTF-8 text, without making it.
size_t lf_utf8Length(const fs::path& path)
{
    if constexpr (sizeof(fs::path::value_type) == 1) {
        return path.native().size();
    } else {
        size_t bytes = 0;
        for (const auto unit : path.native()) {
            const auto u = static_cast<uint32_t>(unit);
            // A surrogate pair counts 2 + 2: four bytes in UTF-8.
            bytes += u < 0x80 ? 1 : u < 0x800 ? 2 : (u >= 0xD800 && u <= 0xDFFF) ? 2 : 3;
        }
        return bytes;
    }
}

bool lf_isLiveryCfg(const fs::path& path)
{
    if (gf_toUpperAscii(lf_pathText(path.extension())) != ".CFG")
        return false;
    const std::string stem = gf_toUpperAscii(lf_pathText(path.stem()));
    return stem == "AIRCRAFT" || stem == "SIM";
}

size_t lf_taskLimit()
{
    return static_cast<size_t>(std::max(1, g_scanTasksMax.load()));
}

// The walk lists the folders on the calling thread (with a stack of folder iterators: one
// unreadable folder must not end the walk) and starts the file tasks in the order it finds
// the files; results are taken oldest first, never more pending than tasks may run plus
// one. While it may start no task (the gate is full, or the oldest result is not ready)
// it lists ahead, so that listing the folders, most of its time, overlaps the tasks.
class LiveryFolderWalk {
public:
    LiveryFolderWalk(uint32_t lfolder, const fs::path& folder) : lfolder_(lfolder), rootLength_(folder.native().size())
    {
        enter(folder);
    }

    void run()
    {
        while (!stopped_) {
            if (gf_stopPending()) {
                stopped_ = true;
            } else if (pending_.size() > lf_taskLimit()) {
                if (!settleOldest("liveries inner search aborted: {}") && !listAhead())
                    waitForOldest();
            } else if (!found_.empty() && g_scanTasksRunning.load() < static_cast<int32_t>(lf_taskLimit())) {
                startOldestFound();
            } else if (listAhead()) {
                // one more entry listed while no task could start
            } else if (!found_.empty()) {
                startOldestFound(); // waits at the gate for a free slot
            } else {
                break;
            }
        }
        while (!pending_.empty() && !stopped_) {
            if (gf_stopPending())
                stopped_ = true;
            else if (!settleOldest("liveries search aborted, futs outer, {}"))
                waitForOldest();
        }
    }

private:
    // Lists one more entry unless everything is listed or enough files wait to start.
    bool listAhead()
    {
        return found_.size() < kMostFoundFiles && listOne();
    }

    // False when everything is listed.
    bool listOne()
    {
        while (!stack_.empty() && stack_.back() == fs::directory_iterator())
            stack_.pop_back();
        if (stack_.empty())
            return false;
        fs::directory_iterator& it = stack_.back();
        const fs::directory_entry entry = *it;
        std::error_code ec;
        it.increment(ec);
        if (ec) {
            gf_logErrorLine("liveries search skips the rest of {}: {}", lf_pathTextForLog(entry.path().parent_path()),
                            ec.message());
            stack_.pop_back();
        }
        try {
            examine(entry);
        } catch (const std::exception& e) {
            gf_logErrorLine("liveries search in {} aborted, cause: {}", lf_pathTextForLog(entry.path()), e.what());
        }
        return true;
    }

    // An unreadable folder costs only itself. A folder met again is not entered: on Windows
    // a link or junction looks like a plain folder and may lead back up.
    void enter(const fs::path& folder)
    {
        std::error_code ec;
        fs::directory_iterator it(folder, ec);
        if (ec) {
            gf_logErrorLine("liveries search skips {}: {}", lf_pathTextForLog(folder), ec.message());
            return;
        }
        if (entered_.enter(folder, stack_.size(), "liveries search"))
            stack_.push_back(std::move(it));
    }

    void examine(const fs::directory_entry& entry)
    {
        const fs::path& path = entry.path();
        std::error_code ec;
        if (entry.is_directory(ec) && !entry.is_symlink(ec)) {
            // Only below the livery folder: a folder set as "airports_and_planes" scans.
            const bool airports = lf_contains(NativeView(path.native()).substr(rootLength_), lf_words().airport);
            if (!airports && lf_utf8Length(path) <= kLongestFolderPath)
                enter(path);
        }
        if (entry.is_regular_file(ec) && lf_isLiveryCfg(path))
            found_.push_back(path);
    }

    void startOldestFound()
    {
        const fs::path path = std::move(found_.front());
        found_.pop_front();
        try {
            const bool ivao = lf_contains(path.native(), lf_words().ivaoCsl) || lf_contains(path.native(), lf_words().ivaoMtl);
            LiveryFileTask task = ivao ? &lf_searchLiveriesinIVAOFile : &lf_searchLiveriesinFile;
            if (const LiveryFileTask replaced = g_fileTaskForTests.load())
                task = replaced;
            LiveryFuture future = gf_startScanTask(
                [task, lfolder = lfolder_, path] { return task(lfolder, path); });
            if (!future.valid()) {
                stopped_ = true;
                return;
            }
            pending_.push_back(std::move(future));
        } catch (const std::exception& e) {
            gf_logErrorLine("liveries search in {} aborted, cause: {}", lf_pathTextForLog(path), e.what());
        }
    }

    // Takes the oldest result when it is ready, or gives up on it once it has been waited
    // for as long as a file may take; false while neither has happened.
    bool settleOldest(fmt::string_view failure)
    {
        if (!oldestDeadline_)
            oldestDeadline_ = Clock::now() + std::chrono::milliseconds(g_taskWaitMs.load());
        const bool ready = pending_.front().wait_for(Clock::duration::zero()) == std::future_status::ready;
        if (!ready && Clock::now() < *oldestDeadline_)
            return false;
        LiveryFuture oldest = std::move(pending_.front());
        pending_.pop_front();
        oldestDeadline_.reset();
        try {
            if (!ready)
                throw std::runtime_error("Future wait timed out after 10 seconds");
            std::vector<LiveryData> found = oldest.get();
            g_scannedLiveries.insert(g_scannedLiveries.end(), std::make_move_iterator(found.begin()),
                                     std::make_move_iterator(found.end()));
        } catch (const std::exception& e) {
            gf_logErrorLine(fmt::format(fmt::runtime(failure), e.what()));
        }
        return true;
    }

    // Waits a little for the oldest result, at most until its deadline.
    void waitForOldest()
    {
        const Clock::duration left = std::max<Clock::duration>(*oldestDeadline_ - Clock::now(), Clock::duration::zero());
        pending_.front().wait_for(std::min<Clock::duration>(left, kStopPoll));
    }

    // Files found and not yet started; enough to keep the tasks busy while a big file ends.
    static constexpr size_t kMostFoundFiles = 4096;

    uint32_t lfolder_;
    size_t rootLength_;
    std::vector<fs::directory_iterator> stack_;
    EnteredFolders entered_;
    std::deque<fs::path> found_;
    std::deque<LiveryFuture> pending_;
    std::optional<Clock::time_point> oldestDeadline_;
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

std::chrono::milliseconds lf_liveryTaskWait()
{
    return std::chrono::milliseconds(g_taskWaitMs.load());
}

void lf_scanLiveriesFolder(uint32_t lfolder, const fs::path& folder)
{
    LiveryFolderWalk(lfolder, folder).run();
}
