// Runs one download for the download tests and prints its outcome.
//   download_probe <log file> file <url> <target> binary|text [options]
//   download_probe <log file> site <base address> <file name> <target> [options]
// Options: --low-speed-seconds N (shorter low-speed limit), --time-limit-seconds N (the
// download's overall limit), --stop-after-ms N (raise the stop of the traffic service
// after N ms and print how long the download took to end after it).
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "foundation/download.h"
#include "foundation/log.h"
#include "foundation/stop_state.h"
#include "foundation/text.h"

namespace {

int lf_usage()
{
    std::fputs("usage: download_probe <log> file <url> <target> binary|text [options]\n"
               "       download_probe <log> site <base> <name> <target> [options]\n",
               stderr);
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    long stopAfterMs = -1;
    std::chrono::seconds timeLimit = g_largestFileTimeLimit;
    for (size_t i = 0; i + 1 < args.size();) {
        if (args[i] == "--low-speed-seconds") {
            DownloadLimits limits = gf_downloadLimits();
            limits.lowSpeedTime = std::chrono::seconds(std::atol(args[i + 1].c_str()));
            gf_setDownloadLimitsForTests(limits);
        } else if (args[i] == "--time-limit-seconds") {
            timeLimit = std::chrono::seconds(std::atol(args[i + 1].c_str()));
        } else if (args[i] == "--stop-after-ms") {
            stopAfterMs = std::atol(args[i + 1].c_str());
        } else {
            ++i;
            continue;
        }
        args.erase(args.begin() + static_cast<long>(i), args.begin() + static_cast<long>(i) + 2);
    }
    if (args.size() < 5)
        return lf_usage();
    gf_openLogAt(gf_pathFromUtf8(args[0]));

    using Clock = std::chrono::steady_clock;
    Clock::time_point stoppedAt{};
    std::thread stopper;
    if (stopAfterMs >= 0) {
        stopper = std::thread([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(stopAfterMs));
            stoppedAt = Clock::now();
            gf_requestClosingDown(CloseReason::UserClosedSim, 0);
        });
    }

    bool ok = false;
    if (args[1] == "file" && args.size() == 5) {
        CURL* handle = curl_easy_init();
        ok = gf_downloadFile(handle, args[2], gf_pathFromUtf8(args[3]), args[4] == "binary", timeLimit);
        curl_easy_cleanup(handle);
    } else if (args[1] == "site" && args.size() == 5) {
        gf_setDownloadSiteForTests(args[2]);
        ok = gf_downloadFromSite(args[3], gf_pathFromUtf8(args[4]), timeLimit);
    } else {
        gf_closeLog();
        return lf_usage();
    }
    const Clock::time_point endedAt = Clock::now();
    if (stopper.joinable()) {
        stopper.join();
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(endedAt - stoppedAt).count();
        std::printf("stop_to_end_ms=%lld\n", static_cast<long long>(ms));
    }
    std::printf("result=%s\n", ok ? "true" : "false");
    gf_closeLog();
    return ok ? 0 : 1;
}
