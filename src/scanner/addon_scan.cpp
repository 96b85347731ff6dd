// The add-on airport scan at start-up: the folders afolder0..9 walked one after the other,
// the scan log written, the off-line learning archive made, SCAN_AIRPORTS switched off.
#include <mutex>
#include <system_error>

#include <fmt/format.h>

#include "control/service_state.h"
#include "foundation/file_helpers.h"
#include "foundation/folders.h"
#include "foundation/log.h"
#include "foundation/scan_tasks.h"
#include "foundation/settings_catalogue.h"
#include "foundation/stop_state.h"
#include "foundation/text.h"
#include "foundation/user_error.h"
#include "foundation/version.h"
#include "scanner/addon_scan.h"
#include "scanner/scanner_internal.h"
#include "ui/control_ops.h"
#include "ui/messages.h"
#include "ui/window_state.h"

namespace fs = std::filesystem;

std::atomic<bool> g_scanHandledAirport{false};
std::atomic<bool>& g_tbloWritten = gf_windowState().tbloWritten;

namespace {

constexpr size_t kScanLogReserve = 2048;

// g_scanLogMutex guards g_scanLog, the lines of the running scan.
std::mutex g_scanLogMutex;
std::vector<std::string> g_scanLog;

void lf_showAndLog(const std::string& text)
{
    gf_showMessage(text, true);
}

void lf_prepareTblo()
{
    const fs::path& tblo = gf_paths().tblo;
    std::error_code ec;
    if (fs::is_directory(tblo, ec)) {
        gf_removeFilesFromDirectory(tblo);
    } else if (!fs::create_directories(tblo, ec) && ec) {
        gf_logErrorLine("gf_scanAddonAirports: could not create {}: {}", lf_pathTextForLog(tblo), ec.message());
    }
}

void lf_removeTblo()
{
    std::error_code ec;
    fs::remove_all(gf_paths().tblo, ec);
    if (ec)
        gf_logErrorLine("gf_scanAddonAirports: could not remove {}: {}", lf_pathTextForLog(gf_paths().tblo),
                        ec.message());
}

void lf_writeScanLog()
{
    std::vector<std::string> lines;
    {
        std::lock_guard lock(g_scanLogMutex);
        lines.swap(g_scanLog);
    }
    const fs::path& file = gf_paths().airportsScanLog;
    std::error_code ec;
    fs::create_directories(file.parent_path(), ec);
    if (gf_writeLinesToFile(lines, file))
        gf_logLine("{} written", lf_pathTextForLog(file));
    else
        gf_logErrorLine("could not write {}", lf_pathTextForLog(file));
}

} // namespace

namespace {
// The file that this thread decodes, if any.
thread_local ScanFileLines* t_fileLines = nullptr;
} // namespace

ScanFileLines::ScanFileLines(std::string fileText) : fileText_(std::move(fileText)), outer_(t_fileLines)
{
    t_fileLines = this;
}

ScanFileLines::~ScanFileLines()
{
    t_fileLines = outer_;
    try {
        if (leftOut_ > 0)
            gf_addToScanLog(fmt::format("{} more line{} about {} left out", leftOut_, gf_plural(leftOut_), fileText_));
    } catch (const std::exception&) {
        // Only the summary is lost.
    }
}

bool ScanFileLines::admit()
{
    ScanFileLines* current = t_fileLines;
    if (current == nullptr)
        return true;
    if (current->written_ < g_mostScanLinesPerFile) {
        ++current->written_;
        return true;
    }
    ++current->leftOut_;
    return false;
}

void gf_addToScanLog(std::string line)
{
    if (gf_scanTaskAbandoned() || !ScanFileLines::admit())
        return;
    std::lock_guard lock(g_scanLogMutex);
    g_scanLog.push_back(std::move(line));
}

void gf_addResultToScanLog(std::string line)
{
    // One line per park file written or linked: as many as the file holds airports, which
    // the decoding already bounds, and the user looks for each of them.
    if (gf_scanTaskAbandoned())
        return;
    std::lock_guard lock(g_scanLogMutex);
    g_scanLog.push_back(std::move(line));
}

std::vector<std::string> lf_scanLogLines()
{
    std::lock_guard lock(g_scanLogMutex);
    return g_scanLog;
}

void lf_clearScanLog()
{
    std::lock_guard lock(g_scanLogMutex);
    g_scanLog.clear();
}

void lf_readAfolderParams(std::vector<fs::path>& folders)
{
    folders.clear();
    for (const StringParameter& setting : afolder) {
        const std::string value = setting.value();
        if (value.empty())
            continue;
        const fs::path path = gf_pathFromUtf8(value);
        if (lf_isExcludedPath(path))
            throw tav::UserErrorException(
                42, fmt::format("parameter {} points to stock airports instead of add-on airports!", setting.name));
        gf_logLine("From parameter {}: {}", setting.name, lf_pathTextForLog(path));
        folders.push_back(path);
    }
}

void lf_scanAfolder(const std::vector<fs::path>& folders)
{
    EnteredFolders entered;
    for (const fs::path& folder : folders) {
        if (folder.empty() || gf_stopPending())
            continue;
        std::error_code ec;
        const fs::file_status status = fs::status(folder, ec);
        if (!fs::exists(status)) {
            lf_showAndLog(lf_pathTextForLog(folder) + " does not exist, skipped!");
        } else if (!fs::is_directory(status)) {
            lf_showAndLog(lf_pathTextForLog(folder) + " is not a folder name, skipped!");
        } else if (!lf_isExcludedPath(folder)) {
            lf_scanAirportsFolder(folder, entered);
        }
    }
}

AirportsScanOutcome lf_scanAirportFolders(const std::vector<fs::path>& folders)
{
    AirportsScanOutcome outcome;
    gf_logLine("The scan will search {} folder{}", folders.size(), gf_plural(folders.size()));
    std::error_code ec;
    fs::remove(gf_paths().airportsScanLog, ec);
    if (ec)
        gf_logLine("problems with removing previous files (maybe still open?): {}", ec.message());
    g_tbloWritten = false;
    lf_forgetGeneratedApfs();
    {
        std::lock_guard lock(g_scanLogMutex);
        g_scanLog.clear();
        g_scanLog.reserve(kScanLogReserve);
    }
    lf_scanAfolder(folders);
    // A task that a walk gave up on may still write a park file: the archive and the end
    // of the scan wait for every task, as long as one file may take; what a task past that
    // still writes is dropped.
    outcome.complete = gf_waitForScanTasksToEnd(lf_bglTaskWait(), "airports search");
    lf_settleAbandonedWrites();
    lf_writeScanLog();
    gf_clearMessage();
    if (!outcome.complete)
        return outcome;
    std::vector<std::string> codes;
    try {
        gf_listXmlFiles(codes);
    } catch (const std::exception& e) {
        gf_logErrorLine("lf_scanAirportFolders: {}", e.what());
    }
    outcome.keepTblo = lf_afterAirportsScan(codes);
    outcome.handled = g_scanHandledAirport;
    if (outcome.handled)
        gf_logLine("Airports scan successful");
    return outcome;
}

void gf_scanAddonAirports()
{
    gf_showMessage("Scanning for addon airports ...", false);
    gf_logLine("\n++++++++++++++++++++++++ airports scan {} starts +++++++++++++++++++++++++++++", "manual ");
    lf_prepareTblo();
    std::vector<fs::path> folders;
    folders.reserve(afolder.size());
    lf_readAfolderParams(folders);
    if (folders.empty()) {
        gf_openManual();
        gf_openParametersFolder();
        throw tav::UserErrorException(
            49, fmt::format("Exit {} first!   Then set one or more afolder parameters to your add-on airports, see "
                            "Manual 6.2",
                            g_programName));
    }
    gf_removeFilesFromDirectory(gf_paths().myOrbx);
    gf_removeFilesFromDirectory(gf_paths().myThirdparty);
    const AirportsScanOutcome outcome = lf_scanAirportFolders(folders);
    if (!outcome.complete) {
        // SCAN_AIRPORTS stays on: the next start scans again. The message line logs
        // nothing while a stop is pending.
        constexpr std::string_view incomplete = "Airports scan incomplete: it runs again at the next start";
        gf_logLine(incomplete);
        gf_showMessage(incomplete, false);
    } else {
        if (!outcome.handled)
            lf_showAndLog("Warning: Scan has not found any add-on airports");
        gf_setCheckBox(SCAN_AIRPORTS, false);
    }
    if (!g_tbloWritten && !outcome.keepTblo)
        lf_removeTblo();
    gf_invalidateBand(g_connectionBand);
    gf_logLine("-------------------------- airports scan ends    ----------------------------\n");
}
