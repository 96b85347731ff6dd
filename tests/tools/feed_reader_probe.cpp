// Runs the two UDP readers for the tests that drive them with the RealTraffic stand-in.
// Arguments: --traffic-port N --qnh-port N (0: that reader is not started), --local
// (RealTraffic on this PC: bind to 127.0.0.1), --log FILE. Commands, one per line on
// stdin, each answered by one line that starts with the command's name:
//   status   readers' states, counters, queue length, QNH and the stop state
//   check    the liveness check, then the status
//   records  the queued records, one "record <hexid> <callsign>" line each, then "records N"
//   message  the message line
//   stop     raises both stop flags and joins the threads: "stop <milliseconds>"
//   quit
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <iostream>
#include <string>
#include <thread>

#include <fmt/format.h>

#include "feed/feed_inputs.h"
#include "feed/qnh_reader.h"
#include "feed/readers.h"
#include "feed/received_flights.h"
#include "feed/traffic_reader.h"
#include "foundation/log.h"
#include "foundation/stop_state.h"
#include "ui/window_state.h"

namespace {

bool g_local = false;

bool lf_local()
{
    return g_local;
}

double lf_wideRange()
{
    return 100.0;
}

// The log is flushed before every answer, so that the test reads what led to it.
void lf_say(const std::string& line)
{
    gf_flushLog();
    std::fputs(line.c_str(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

std::string lf_status(const char* word)
{
    const WindowState& ws = gf_windowState();
    std::string reason(gf_closeReasonText(gf_closeReason()));
    std::replace(reason.begin(), reason.end(), ' ', '_');
    size_t queued = 0;
    {
        std::lock_guard lock(g_liveFlightsMutex);
        queued = g_liveFlights.size();
    }
    return fmt::format("{} traffic={} qnh={} traffic_count={} qnh_count={} traffic_dropped={} qnh_dropped={} "
                       "queued={} qnh_hpa={} stop={} reason={} delay={}",
                       word, ws.trafficReaderState.load(), ws.weatherReaderState.load(),
                       g_trafficReader.datagramCount.load(), g_qnhReader.datagramCount.load(),
                       g_trafficReader.droppedCount.load(), g_qnhReader.droppedCount.load(), queued, g_qnh.load(),
                       g_stopRequested.load() ? 1 : 0, reason, gf_restartDelaySeconds());
}

} // namespace

int main(int argc, char** argv)
{
    int trafficPort = 0;
    int qnhPort = 0;
    std::string logFile = "feed_reader_probe.log";
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--traffic-port" && i + 1 < argc)
            trafficPort = std::stoi(argv[++i]);
        else if (a == "--qnh-port" && i + 1 < argc)
            qnhPort = std::stoi(argv[++i]);
        else if (a == "--log" && i + 1 < argc)
            logFile = argv[++i];
        else if (a == "--local")
            g_local = true;
    }
    gf_openLogAt(logFile);
    gf_setRealTrafficLocalSource(&lf_local);
    gf_setRangeNmSource(&lf_wideRange);
    g_trafficReader.setReferencePosition({52.3086, 4.7639});
    gf_windowState().rtLinkUp = true;
    gf_resetReaders();
    {
        std::lock_guard lock(g_liveFlightsMutex);
        g_serviceRunning = true;
    }
    std::thread qnh;
    std::thread traffic;
    if (qnhPort > 0)
        qnh = std::thread(gf_qnhReaderThread, static_cast<uint16_t>(qnhPort));
    if (trafficPort > 0)
        traffic = std::thread(gf_trafficReaderThread, static_cast<uint16_t>(trafficPort));
    lf_say("ready");

    for (std::string command; std::getline(std::cin, command);) {
        while (!command.empty() && (command.back() == '\r' || command.back() == '\n'))
            command.pop_back();
        if (command == "status") {
            lf_say(lf_status("status"));
        } else if (command == "check") {
            gf_checkReadersAlive();
            lf_say(lf_status("check"));
        } else if (command == "records") {
            std::lock_guard lock(g_liveFlightsMutex);
            for (size_t i = 0; i < g_liveFlights.size(); ++i)
                lf_say(fmt::format("record {} {}", g_liveFlights[i].hexid, g_liveFlights[i].texts.callsign));
            lf_say(fmt::format("records {}", g_liveFlights.size()));
            g_liveFlights.clear();
        } else if (command == "message") {
            std::lock_guard lock(gf_windowState().uiMutex);
            lf_say("message " + gf_windowState().messageText);
        } else if (command == "stop") {
            const auto start = std::chrono::steady_clock::now();
            gf_stopReaders();
            if (qnh.joinable())
                qnh.join();
            if (traffic.joinable())
                traffic.join();
            const auto ms =
                std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
            lf_say(fmt::format("stop {}", ms.count()));
        } else if (command == "quit") {
            break;
        }
    }
    gf_stopReaders();
    if (qnh.joinable())
        qnh.join();
    if (traffic.joinable())
        traffic.join();
    gf_closeLog();
    return 0;
}
