// One program for the Python tests of downloads, data files, the version check and the
// folder walks, natively or under Wine:
//   files_probe download <log> file <url> <target> binary|text [options]
//   files_probe download <log> site <base address> <file name> <target> [options]
//       one download; prints result= (and stop_to_end_ms=), exit code 0 when it succeeded
//   files_probe make <folder>
//       the data files the site stand-in serves the version check: dbase.enc, airports.enc
//       and AIG-regcodes.enc (the program's key), cut.enc (half of dbase.enc)
//   files_probe check <log> <site base> <data folder> [options]
//       gf_checkForUpdates in the current folder (the program folder) with File Explorer
//       and the warning box played by the probe; prints result=, close=, message= and one
//       explorer= or box= line per use
//   files_probe walk <folder>
//       walks as the two scans walk; prints airports=<files the add-on scan's walk met>
//       and liveries=<configuration files the livery walk handed to a task>
// Options: --low-speed-seconds N (a shorter low-speed limit), --time-limit-seconds N (the
// download's overall limit), --stop-after-ms N (raise the stop of the traffic service after
// N ms and print how long the download took to end after it), --explorer-fails,
// --folder-id-faults LIST (walk: the folder ids spoilt as some volumes spoil them, any of
// index-zero, index-not-unique, no-resolved-path, comma-separated).
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "catalogue/dbase.h"
#include "catalogue/livery_scan_internal.h"
#include "foundation/download.h"
#include "foundation/file_helpers.h"
#include "foundation/folder_walk.h"
#include "foundation/folders.h"
#include "foundation/log.h"
#include "foundation/parameters_file.h"
#include "foundation/stop_state.h"
#include "foundation/text.h"
#include "parking/airports.h"
#include "support/data_file_fixture.h"
#include "support/test_support.h"
#include "ui/window_state.h"
#include "update/update_check.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

struct Options {
    long stopAfterMs = -1;
    std::chrono::seconds timeLimit = g_largestFileTimeLimit;
};
Options g_options;
bool g_explorerFails = false;
std::atomic<int> g_cfgFiles{0};

// Takes the options out of the arguments.
std::vector<std::string> lf_options(const std::vector<std::string>& args)
{
    std::vector<std::string> rest;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--explorer-fails") {
            g_explorerFails = true;
        } else if (!a.starts_with("--") || i + 1 == args.size()) {
            rest.push_back(a);
        } else if (a == "--folder-id-faults") {
            const std::string faults = "," + args[++i] + ",";
            gf_setFolderIdFaultsForTests({.indexZero = faults.find(",index-zero,") != std::string::npos,
                                          .indexNotUnique = faults.find(",index-not-unique,") != std::string::npos,
                                          .noResolvedPath = faults.find(",no-resolved-path,") != std::string::npos});
        } else if (const long n = std::atol(args[++i].c_str()); a == "--low-speed-seconds") {
            DownloadLimits limits = gf_downloadLimits();
            limits.lowSpeedTime = std::chrono::seconds(n);
            gf_setDownloadLimitsForTests(limits);
        } else if (a == "--time-limit-seconds") {
            g_options.timeLimit = std::chrono::seconds(n);
        } else if (a == "--stop-after-ms") {
            g_options.stopAfterMs = n;
        }
    }
    return rest;
}

int lf_download(const std::vector<std::string>& a)
{
    if (a.size() != 5 || (a[1] != "file" && a[1] != "site"))
        return 2;
    gf_openLogAt(gf_pathFromUtf8(a[0]));
    Clock::time_point stoppedAt{};
    std::thread stopper;
    if (g_options.stopAfterMs >= 0)
        stopper = std::thread([&stoppedAt] {
            std::this_thread::sleep_for(std::chrono::milliseconds(g_options.stopAfterMs));
            stoppedAt = Clock::now();
            gf_requestClosingDown(CloseReason::UserClosedSim, 0);
        });
    bool ok = false;
    if (a[1] == "file") {
        CURL* handle = curl_easy_init();
        ok = gf_downloadFile(handle, a[2], gf_pathFromUtf8(a[3]), a[4] == "binary", g_options.timeLimit);
        curl_easy_cleanup(handle);
    } else {
        gf_setDownloadSiteForTests(a[2]);
        ok = gf_downloadFromSite(a[3], gf_pathFromUtf8(a[4]), g_options.timeLimit);
    }
    const Clock::time_point endedAt = Clock::now();
    if (stopper.joinable()) {
        stopper.join();
        std::printf("stop_to_end_ms=%lld\n",
                    static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(endedAt - stoppedAt).count()));
    }
    std::printf("result=%s\n", ok ? "true" : "false");
    gf_closeLog();
    return ok ? 0 : 1;
}

int lf_make(const fs::path& folder)
{
    const DataFileKey key = databuild::productKey();
    const std::string dbase = tavtest::encryptDataFile(tavtest::patternBytes(20000, 1), key);
    tavtest::writeFile(folder / "dbase.enc", dbase);
    tavtest::writeFile(folder / "airports.enc", tavtest::encryptDataFile(tavtest::patternBytes(9000, 2), key));
    tavtest::writeFile(folder / "AIG-regcodes.enc", tavtest::encryptDataFile(tavtest::patternBytes(5000, 3), key));
    tavtest::writeFile(folder / "cut.enc", dbase.substr(0, dbase.size() / 2));
    return 0;
}

int lf_check(const std::vector<std::string>& a)
{
    if (a.size() != 3)
        return 2;
    gf_openLogAt(gf_pathFromUtf8(a[0]));
    gf_setDownloadSiteForTests(a[1]);
    gf_overrideDataFolder(gf_pathFromUtf8(a[2]));
    gf_setShellSeamsForTests(
        [](const fs::path& path) {
            std::printf("explorer=%s\n", gf_pathToUtf8(path).c_str());
            std::error_code ec;
            return !g_explorerFails && fs::exists(path, ec);
        },
        [](std::string_view text) { std::printf("box=%.*s\n", static_cast<int>(text.size()), text.data()); });
    gf_readParameters();
    const bool result = gf_checkForUpdates();
    std::printf("result=%s\nclose=%s\n", result ? "true" : "false", std::string(gf_closeReasonText(gf_closeReason())).c_str());
    std::lock_guard lock(gf_windowState().uiMutex);
    std::printf("message=%s\n", gf_windowState().messageText.c_str());
    gf_closeLog();
    return 0;
}

int lf_walk(const std::vector<std::string>& a)
{
    if (a.size() != 1)
        return 2;
    const fs::path root = gf_pathFromUtf8(a[0]);
    int files = 0;
    FolderWalk walk(root, "probe");
    for (std::optional<fs::directory_entry> entry = walk.next(); entry; entry = walk.next())
        files += entry->is_regular_file() ? 1 : 0;
    gf_setLiveryFileTaskForTests([](uint32_t, const fs::path&) {
        ++g_cfgFiles;
        return std::vector<LiveryData>{};
    });
    lf_scanLiveriesFolder(1, root);
    std::printf("airports=%d\nliveries=%d\n", files, g_cfgFiles.load());
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    const std::string verb = argc > 1 ? argv[1] : "";
    const std::vector<std::string> args = lf_options(std::vector<std::string>(argv + std::min(argc, 2), argv + argc));
    int rc = 2;
    try {
        if (verb == "download")
            rc = lf_download(args);
        else if (verb == "make" && args.size() == 1)
            rc = lf_make(gf_pathFromUtf8(args[0]));
        else if (verb == "check")
            rc = lf_check(args);
        else if (verb == "walk")
            rc = lf_walk(args);
    } catch (const std::exception& e) {
        std::printf("exception=%s\n", e.what());
        gf_closeLog();
        return 1;
    }
    if (rc == 2)
        std::fputs("usage: files_probe download|make|check|walk ... (see files_probe.cpp)\n", stderr);
    return rc;
}
