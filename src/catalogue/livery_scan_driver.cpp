// The livery scan at start-up: the folders lfolder0..9 walked one after the other, the
// records corrected from the aircraft database, optionally only the first folder's
// liveries of each airline and type kept, and the result saved with the scan's reports.
#include <algorithm>
#include <map>
#include <thread>
#include <utility>

#include <fmt/format.h>

#include "catalogue/dbase.h"
#include "catalogue/livery_scan_internal.h"
#include "catalogue/regcodes.h"
#include "foundation/file_helpers.h"
#include "foundation/log.h"
#include "foundation/scan_tasks.h"
#include "foundation/settings_catalogue.h"
#include "foundation/stop_state.h"
#include "foundation/text.h"
#include "foundation/user_error.h"
#include "foundation/version.h"
#include "ui/control_ops.h"
#include "ui/messages.h"
#include "ui/window_state.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

constexpr uint32_t kMostLiveryFolders = 10;
// After a stop the tasks still reading a file get this long to end before the worker
// goes on with the close-down.
constexpr auto kStoppedTasksGrace = 1s;

// Waits until no file task exists: a task that timed out in the walk still writes to the
// report lists, and one that a stopped scan left behind still reads the titles not to
// use. A task that one file's time does not see end is abandoned, and what it still
// writes is dropped. False when a stop came first.
bool lf_waitForScanTasks()
{
    return gf_waitForScanTasksToEnd(lf_liveryTaskWait(), "liveries search");
}

void lf_giveStoppedTasksTime()
{
    const auto deadline = std::chrono::steady_clock::now() + kStoppedTasksGrace;
    while (g_scanTasksAlive.load() > 0 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(10ms);
}

// Of the liveries of one airline and type only those of the lowest folder number stay.
void lf_keepPrioritizedFolders()
{
    std::map<std::pair<std::string, std::string>, uint32_t> first;
    for (const LiveryData& l : g_scannedLiveries) {
        auto [it, added] = first.try_emplace({l.airl, l.type}, l.lfolder);
        if (!added)
            it->second = std::min(it->second, l.lfolder);
    }
    std::vector<LiveryData> kept;
    kept.reserve(g_scannedLiveries.size());
    for (LiveryData& l : g_scannedLiveries) {
        if (first.at({l.airl, l.type}) == l.lfolder)
            kept.push_back(std::move(l));
    }
    g_scannedLiveries = std::move(kept);
}

void lf_sortAndDropRepeats()
{
    std::sort(g_scannedLiveries.begin(), g_scannedLiveries.end(), &lf_byAirlineTypeTitle);
    g_scannedLiveries.erase(std::unique(g_scannedLiveries.begin(), g_scannedLiveries.end(),
                                        [](const LiveryData& a, const LiveryData& b) {
                                            return a.title == b.title && a.airl == b.airl && a.type == b.type &&
                                                   a.atcid == b.atcid && a.cargo == b.cargo;
                                        }),
                            g_scannedLiveries.end());
}

// The liveries one folder adds; a path that is not a folder is logged and skipped.
size_t lf_scanOnePath(const fs::path& path, uint32_t& folderNumber)
{
    std::error_code ec;
    const fs::file_status status = fs::status(path, ec);
    if (ec && status.type() != fs::file_type::not_found)
        throw fs::filesystem_error("status", path, ec);
    const std::string text = lf_pathText(path);
    if (!fs::exists(status)) {
        gf_logLine("{} does not exist, skipped!", text);
        return 0;
    }
    if (!fs::is_directory(status)) {
        gf_logLine("{} is not a folder name, skipped!", text);
        return 0;
    }
    folderNumber = std::min(folderNumber + 1, kMostLiveryFolders);
    const size_t before = g_scannedLiveries.size();
    if (!gf_stopPending())
        lf_scanLiveriesFolder(folderNumber, path);
    const size_t n = g_scannedLiveries.size() - before;
    const std::string found = fmt::format("found in {}", text);
    if (n < 1)
        gf_logLine("No liveries {}", found);
    else
        gf_logLine("{} liverie{} {}", n, gf_plural(n), found);
    return n;
}

} // namespace

void lf_checkLfolderParams(std::vector<fs::path>& paths)
{
    for (const StringParameter& setting : lfolder) {
        const std::string value = setting.value();
        if (value.empty())
            continue;
        const fs::path path = gf_pathFromUtf8(value);
        std::error_code ec;
        if (!fs::exists(fs::status(path, ec))) {
            gf_logErrorLine("{}: '{}' does not exist", setting.name, value);
            throw tav::UserErrorException(
                243, fmt::format("the path pointed to by parameter '{}' does not exist, see Log.txt!", setting.name));
        }
        paths.push_back(path);
    }
}

void lf_listLiveryConversions()
{
    for (LiveryData& l : g_scannedLiveries) {
        if (l.atcid.empty())
            continue;
        const std::optional<DbaseRecord> record = gf_lookupDbase(l.atcid);
        if (!record)
            continue;
        if (l.cargo != record->cargo) {
            g_liveryConversions.add(fmt::format("{:80} {} cargo {} => {}", l.title, l.atcid, l.cargo, record->cargo));
            l.cargo = record->cargo;
        }
        // An empty value of the database corrects nothing.
        const std::string& airline = record->opr.empty() ? record->airl : record->opr;
        if (!airline.empty() && l.airl != airline) {
            g_liveryConversions.add(fmt::format("{:80} {} airl {} => {}", l.title, l.atcid, l.airl, airline));
            l.airl = airline;
        }
        if (!record->type.empty() && l.type != record->type) {
            g_liveryConversions.add(fmt::format("{:80} {} model {} => {}", l.title, l.atcid, l.type, record->type));
            l.type = record->type;
        }
    }
}

ScanOutcome lf_scanLfolders(const std::vector<fs::path>& paths)
{
    if (!lf_waitForScanTasks())
        return ScanOutcome::Stopped;
    g_scannedLiveries.clear();
    // A scan that a stop cut short left its titles behind; a rescan in the same process
    // would find every title taken.
    gf_resetLiveryScanLists();
    lf_removePreviousScanResults();
    lf_reprocessRegcodes();

    uint32_t folderNumber = 0;
    size_t total = 0;
    for (const fs::path& path : paths) {
        if (!path.empty())
            total += lf_scanOnePath(path, folderNumber);
    }
    if (!lf_waitForScanTasks()) {
        lf_giveStoppedTasksTime();
        return ScanOutcome::Stopped;
    }
    if (gf_stopPending())
        return ScanOutcome::Stopped;
    if (g_scannedLiveries.empty()) {
        gf_windowState().liveries = 0;
        gf_invalidateBand(g_statusPanelBand);
        return ScanOutcome::NothingFound;
    }
    if (paths.size() > 1)
        gf_logLine("{} in total", total);
    lf_listLiveryConversions();
    if (LIG_PRIORITIZE.value)
        lf_keepPrioritizedFolders();
    lf_sortAndDropRepeats();
    const bool saved = gf_writeLiveriesScanned();
    g_scannedLiveries.clear();
    gf_writeLiveryScanReport();
    gf_resetLiveryScanLists();
    gf_clearMessage();
    return saved ? ScanOutcome::Saved : ScanOutcome::NotSaved;
}

void gf_scanLiveries()
{
    const std::string_view prioritized = LIG_PRIORITIZE.value ? "prioritized " : "";
    gf_showMessage(fmt::format("Scanning {}for liveries ...", prioritized), false);
    gf_logLine("\n++++++++++++++++++++++++ liveries scan {} starts ++++++++++++++++++++++++++++++++", "manual");
    std::vector<fs::path> paths;
    paths.reserve(kMostLiveryFolders);
    lf_checkLfolderParams(paths);
    if (paths.empty()) {
        gf_openManual();
        gf_openParametersFolder();
        throw tav::UserErrorException(
            48, fmt::format("Exit {} first!   Then set one or more lfolder parameters to your liveries, see Manual 5.3",
                            g_programName));
    }
    const ScanOutcome outcome = lf_scanLfolders(paths);
    if (outcome == ScanOutcome::NothingFound)
        throw tav::UserErrorException(53, "no liveries found");
    // Only a saved scan is done: after a stop or a failed save the next start scans again.
    if (outcome == ScanOutcome::Saved) {
        gf_setCheckBox(SCAN_LIVERIES, false);
        gf_invalidateBand(g_wholeWindow);
    }
    gf_logLine("\n++++++++++++++++++++++++ liveries scan ends ++++++++++++++++++++++++++++++++\n");
    gf_flushLog();
}
