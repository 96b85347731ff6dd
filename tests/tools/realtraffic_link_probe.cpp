// Runs the RealTraffic link for the tests that drive it with the stand-in's TCP client.
// Arguments: --log FILE. Commands, one per line on stdin, each answered by one line that
// starts with the command's name:
//   start PORT    opens the listening socket ("start ok <port>" or "start error <text>")
//   wait          greets RealTraffic on a thread of its own; "wait <ms> <state>" when done
//   stop          the user's close (ends a wait); "stop"
//   position LAT LON HEADING ALT KNOTS   the user state that the next send uses
//   send          one gf_sendUserPosition; "send <state>"
//   qs123 T       gf_sendQs123(T); "qs123 <state>"
//   close         the close-down's part; "close <state>"
//   quit
// <state> is "connected=0|1 ready=0|1 professional=0|1 takeouts=N edition=<text>".
#include <atomic>
#include <chrono>
#include <cstdio>
#include <iostream>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>

#include <fmt/format.h>

#include "control/service_calls.h"
#include "feed/feed_inputs.h"
#include "feed/realtraffic_link.h"
#include "foundation/log.h"
#include "foundation/stop_state.h"
#include "foundation/time_text.h"
#include "traffic/traffic_service.h"
#include "ui/window_state.h"

namespace {

std::mutex g_sayMutex;
std::atomic<int> g_takeOuts{0};

void lf_say(const std::string& line)
{
    std::lock_guard lock(g_sayMutex);
    gf_flushLog();
    std::fputs(line.c_str(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

std::string lf_state()
{
    return fmt::format("connected={} ready={} professional={} takeouts={} edition={}", g_rtConnected ? 1 : 0,
                       gf_windowState().rtLinkUp ? 1 : 0, g_rtProfessional ? 1 : 0, g_takeOuts.load(),
                       gf_windowText(WindowText::RealTrafficEdition));
}

} // namespace

int main(int argc, char** argv)
{
    std::string logFile = "realtraffic_link_probe.log";
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::string(argv[i]) == "--log")
            logFile = argv[++i];
    }
    gf_openLogAt(logFile);
    gf_setRealTrafficLocalSource([] { return true; });
    ServiceCalls calls = gf_serviceCalls();
    calls.takeOutLiveAircraft = [] { ++g_takeOuts; };
    gf_setServiceCalls(calls);
    std::thread waiter;
    lf_say("ready");
    for (std::string line; std::getline(std::cin, line);) {
        std::istringstream in(line);
        std::string command;
        in >> command;
        try {
            if (command == "start") {
                std::string port;
                in >> port;
                gf_startTcpServer(port);
                lf_say(fmt::format("start ok {}", gf_rtListenPort()));
            } else if (command == "wait") {
                if (waiter.joinable())
                    waiter.join();
                waiter = std::thread([] {
                    const auto start = std::chrono::steady_clock::now();
                    gf_waitForRealTraffic();
                    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                        std::chrono::steady_clock::now() - start);
                    lf_say(fmt::format("wait {} {}", ms.count(), lf_state()));
                });
            } else if (command == "stop") {
                gf_requestClosingDown(CloseReason::UserClosedSim, 0);
                lf_say("stop");
            } else if (command == "position") {
                UserState s;
                in >> s.latitude >> s.longitude >> s.heading >> s.altitude >> s.groundVelocity;
                gf_storeUserSnapshot(s);
                lf_say("position");
            } else if (command == "send") {
                gf_sendUserPosition();
                lf_say("send " + lf_state());
            } else if (command == "qs123") {
                int64_t t = 0;
                in >> t;
                gf_sendQs123(t);
                lf_say("qs123 " + lf_state());
            } else if (command == "close") {
                gf_closeRealTrafficLink();
                lf_say("close " + lf_state());
            } else if (command == "quit") {
                break;
            }
        } catch (const std::exception& e) {
            lf_say(fmt::format("{} error {}", command, e.what()));
        }
    }
    gf_requestClosingDown(CloseReason::UserClosedSim, 0);
    if (waiter.joinable())
        waiter.join();
    gf_closeRealTrafficLink();
    gf_closeLog();
    return 0;
}
