// The walk of one add-on folder: one task per airport BGL file, never more running than
// the scan gate allows, results taken oldest first.
#include <atomic>
#include <cwctype>
#include <deque>
#include <future>
#include <stdexcept>

#include <fmt/format.h>

#include "control/service_state.h"
#include "foundation/folder_walk.h"
#include "foundation/log.h"
#include "foundation/scan_tasks.h"
#include "foundation/stop_state.h"
#include "foundation/text.h"
#include "scanner/addon_scan.h"
#include "scanner/scanner_internal.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kStopPoll = 10ms;

std::atomic<int64_t> g_taskWaitMs{std::chrono::milliseconds(10s).count()};
std::atomic<BglFileTask> g_fileTaskForTests{nullptr};

// A path made absolute and normal, lower-cased one character at a time, without a
// trailing separator.
fs::path::string_type lf_comparable(const fs::path& path)
{
    std::error_code ec;
    fs::path normal = fs::absolute(path, ec).lexically_normal();
    if (ec)
        normal = path.lexically_normal();
    fs::path::string_type text = normal.native();
    while (text.size() > 1 && fs::path(text).has_relative_path() && text.back() == fs::path::preferred_separator)
        text.pop_back();
    for (auto& c : text)
        c = static_cast<fs::path::value_type>(std::towlower(static_cast<std::wint_t>(c)));
    return text;
}

// Waits for the oldest task's result as long as a file may take, watching the stop flags;
// throws when it did not come or the task threw.
void lf_takeOldest(std::future<void>& oldest)
{
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(g_taskWaitMs.load());
    while (oldest.wait_for(kStopPoll) != std::future_status::ready) {
        if (gf_stopPending())
            return;
        if (Clock::now() >= deadline)
            throw std::runtime_error("Future wait timed out after 10 seconds");
    }
    oldest.get();
}

void lf_runTask(const fs::path& path)
{
    if (const BglFileTask task = g_fileTaskForTests.load())
        task(path);
    else
        lf_processBGLfile(path);
}

bool lf_isBglName(const fs::path& path)
{
    const fs::path::string_type ext = path.extension().native();
    if (ext.size() != 4 || ext[0] != '.')
        return false;
    const auto lower = [](fs::path::value_type c) { return c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c; };
    return lower(ext[1]) == 'b' && lower(ext[2]) == 'g' && lower(ext[3]) == 'l';
}

// Case-sensitive, as the names of the makers' folders are written.
bool lf_isStaticsOrHeliports(const fs::path& path)
{
    static const fs::path statics("statics");
    static const fs::path heliports("_heliports");
    const fs::path::string_type& text = path.native();
    return text.find(statics.native()) != fs::path::string_type::npos ||
           text.find(heliports.native()) != fs::path::string_type::npos;
}

} // namespace

bool lf_isExcludedPath(const fs::path& path)
{
    if (g_stockAirportsPath.empty())
        return false;
    const fs::path::string_type stock = lf_comparable(g_stockAirportsPath);
    const fs::path::string_type text = lf_comparable(path);
    // A prefix on a folder boundary: "Scenery2" is not below "Scenery".
    return text.starts_with(stock) &&
           (text.size() == stock.size() || text[stock.size()] == fs::path::preferred_separator ||
            stock.back() == fs::path::preferred_separator);
}

void lf_scanAirportsFolder(const fs::path& folder, EnteredFolders& entered)
{
    const std::string folderText = lf_pathTextForLog(folder);
    gf_addToScanLog(fmt::format("Scanning for {} airports in {}", "addon ", folderText));
    std::deque<std::future<void>> futures;
    FolderWalk walk(folder, "airports search", entered);
    for (std::optional<fs::directory_entry> entry = walk.next(); entry; entry = walk.next()) {
        fs::path path;
        try {
            path = entry->path();
            if (lf_isExcludedPath(path)) {
                walk.dontEnter();
                continue;
            }
            std::error_code ec;
            if (!lf_isBglName(path) || !entry->is_regular_file(ec))
                continue;
            if (lf_isStaticsOrHeliports(path) || !lf_isAirportBgl(path))
                continue;
            if (gf_stopPending())
                break;
            std::future<void> future = gf_startScanTask([path] { lf_runTask(path); });
            if (!future.valid())
                break;
            futures.push_back(std::move(future));
        } catch (const std::exception& e) {
            gf_addToScanLog(
                fmt::format("{} airports search in folder {} aborted, cause: {}", "===> ", folderText, e.what()));
            continue;
        }
        if (futures.size() > static_cast<size_t>(std::max(1, g_scanTasksMax.load()))) {
            try {
                lf_takeOldest(futures.front());
            } catch (const std::exception& e) {
                gf_addToScanLog(fmt::format("{} airports search aborted, futs inner,\n{}\n{}\n{}", "===> ", e.what(),
                                            futures.size(), lf_pathTextForLog(path)));
            }
            futures.pop_front();
        }
    }
    for (; !futures.empty() && !gf_stopPending(); futures.pop_front()) {
        try {
            lf_takeOldest(futures.front());
        } catch (const std::exception& e) {
            gf_addToScanLog(
                fmt::format("{} airports search in {} aborted, futs outer error: {}", "===> ", folderText, e.what()));
        }
    }
}

std::chrono::milliseconds lf_bglTaskWait()
{
    return std::chrono::milliseconds(g_taskWaitMs.load());
}

void gf_setBglFileTaskForTests(BglFileTask task)
{
    g_fileTaskForTests = task;
}

void gf_setBglTaskWaitForTests(std::chrono::milliseconds wait)
{
    g_taskWaitMs = wait.count();
}
