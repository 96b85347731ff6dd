// Runs the traffic service for the end-to-end tests with the RealTraffic stand-in: the
// program folder is the current folder, RealTraffic counts as installed on this PC, and
// the "SimClient" thread connects to the simulator stand-in named by SimConnect.cfg in
// that folder. Arguments: --log FILE --qnh-port N --traffic-port N. Commands, one per line
// on stdin, each answered by one line that starts with the command's name:
//   start    a new run, as a fresh program start would make it
//   status   "status runs= active= readers= simclient= link= ready= ticks= cycles= traffic= qnh=
//            ended= port="
//   close    the user closes the window; "close <ms until the program's end>"
//   quit
#include <atomic>
#include <chrono>
#include <cstdio>
#include <deque>
#include <iostream>
#include <mutex>
#include <string>
#include <thread>

#include <fmt/format.h>

#include "control/application.h"
#include "control/service_control.h"
#include "control/service_internal.h"
#include "control/service_run.h"
#include "control/service_state.h"
#include "feed/qnh_reader.h"
#include "feed/readers.h"
#include "feed/realtraffic_link.h"
#include "feed/traffic_reader.h"
#include "foundation/folders.h"
#include "foundation/log.h"
#include "foundation/stop_state.h"
#include "simlink/sim_link_calls.h"
#include "support/service_doubles.h"
#include "traffic/traffic_service.h"
#include "ui/window_state.h"

namespace {
using namespace std::chrono_literals;

std::mutex g_queueMutex;
std::deque<WindowRequest> g_queue; // guarded by g_queueMutex
std::atomic<bool> g_ended{false};
std::atomic<int> g_runs{0};

bool lf_post(WindowRequest request)
{
    std::lock_guard lock(g_queueMutex);
    g_queue.push_back(request);
    return true;
}

// The window's thread: starts runs and ends the program as WM_APP+1 and WM_APP+2 would.
void lf_windowThread(std::stop_token stop)
{
    while (!stop.stop_requested()) {
        std::optional<WindowRequest> request;
        {
            std::lock_guard lock(g_queueMutex);
            if (!g_queue.empty()) {
                request = g_queue.front();
                g_queue.pop_front();
            }
        }
        if (!request) {
            std::this_thread::sleep_for(2ms);
        } else if (*request == WindowRequest::StartService) {
            g_runs += g_hardStop ? 0 : 1;
            gf_onStartServiceRequest();
        } else if (gf_onEndApplicationRequest()) {
            g_ended = true;
        }
    }
}

void lf_say(const std::string& line)
{
    gf_flushLog();
    std::fputs(line.c_str(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

std::string lf_status()
{
    const WindowState& ws = gf_windowState();
    return fmt::format("status runs={} active={} readers={} simclient={} link={} ready={} ticks={} cycles={} "
                       "traffic={} qnh={} ended={} port={}",
                       g_runs.load(), gf_activeServiceRuns(), gf_readersRunning(), gf_simClientRunning() ? 1 : 0,
                       g_rtConnected ? 1 : 0, ws.rtLinkUp ? 1 : 0, g_trafficTick.load(), ws.cycleCounter.load(),
                       g_trafficReader.datagramCount.load(), g_qnhReader.datagramCount.load(), g_ended ? 1 : 0,
                       gf_rtListenPort());
}

} // namespace

int main(int argc, char** argv)
{
    std::string logFile = "service_probe.log";
    uint16_t qnhPort = 0;
    uint16_t trafficPort = 0;

    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string a = argv[i];
        if (a == "--log")
            logFile = argv[i + 1];
        else if (a == "--qnh-port")
            qnhPort = static_cast<uint16_t>(std::stoi(argv[i + 1]));
        else if (a == "--traffic-port")
            trafficPort = static_cast<uint16_t>(std::stoi(argv[i + 1]));

    }
    gf_openLogAt(logFile);
    std::filesystem::create_directories("data");
    gf_overrideDataFolder(std::filesystem::current_path() / "data");
    servicetest::resetDoubles();
    servicetest::fakeNeighbours().realTrafficInstalled = true;
    gf_setServiceCalls(servicetest::fakeServiceCalls(qnhPort, trafficPort));
    gf_setWindowRequestFunction(&lf_post);
    std::jthread window(lf_windowThread);
    lf_say("ready");
    for (std::string command; std::getline(std::cin, command);) {
        while (!command.empty() && (command.back() == '\r' || command.back() == '\n'))
            command.pop_back();
        if (command == "start") {
            // What a fresh program start finds (the reset of the service control joins
            // the ended run first, with a close of its own).
            gf_resetServiceControl();
            gf_resetStopState();
            gf_resetReaders();
            gf_simLink().reset();
            g_restartPending = false;
            g_ended = false;
            gf_postStartServiceRequest(); // as the program's entry posts it
            lf_say("start");
        } else if (command == "status") {
            lf_say(lf_status());
        } else if (command == "close") {
            const auto start = std::chrono::steady_clock::now();
            gf_onUserClose();
            while (!g_ended && std::chrono::steady_clock::now() - start < 30s)
                std::this_thread::sleep_for(2ms);
            const auto ms =
                std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
            lf_say(fmt::format("close {}", ms.count()));
        } else if (command == "quit") {
            break;
        }
    }
    gf_stopServiceAtExit();
    window = {};
    gf_setWindowRequestFunction(nullptr);
    gf_closeLog();
    return 0;
}
