// Runs the "SimClient" thread against the simulator stand-in and plays the worker's part
// from the command line, for the stand-in tests. Reads SimConnect.cfg and writes Log.txt
// in the current folder; prints one line per result, which the tests read.
//
//   --major N --install-path P --professional   options, before the commands
//   start                 gf_initSimQueues, then the thread
//   wait-running MS       until the flight runs          -> "running 1"
//   wait-stop MS          until a stop is pending        -> "stop SIM WAS CLOSED 0"
//   wait-ended MS         until the thread ended itself  -> "ended 1"
//   ground                asks for the on-ground data every second, as the service does
//   follow MS             the worker's loop until MS passed or a stop is pending: takes
//                         g_newUserData every 10 ms, copies the user state every 100 ms
//                                                        -> "follow cycles=N"
//   title-model           gf_requestUserTitleModel
//   create N PREFIX       queues N creations, callsign PREFIX + i, hexid 10001 + i
//   create-at N PREFIX LAT LON   the same, the first at LAT LON
//   events N MS           waits for N object events      -> "event kind=0 object=100 hexid=10001"
//   range                 from now on asks for the aircraft within 20 km every 100 ms
//   sets                  from now on a thread sets definition 401 on object 101 every 50 us
//   fly FRAMES FILE       moves every bound object for FRAMES frames; each queued position
//                         goes to FILE as a JSON line
//   busy-worker MS HOLD   the worker's 10 ms ticks for MS: each hands over a position of
//                         every bound object, then holds g_simConnectMutex for HOLD ms
//                                                        -> "busy-worker ticks=N"
//   remove-all            queues the removal of every bound object
//   stop                  asks the thread to stop and joins it
//   sleep MS
// At the end one line per value: "state reason=SIM WAS CLOSED", "state error=...", ...
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <fmt/format.h>

#include "foundation/log.h"
#include "foundation/settings_catalogue.h"
#include "foundation/stop_state.h"
#include "foundation/time_text.h"
#include "simlink/sim_client.h"
#include "simlink/sim_ids.h"
#include "simlink/sim_object_events.h"
#include "simlink/sim_queues.h"
#include "ui/window_bridge.h"
#include "ui/window_state.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

struct PrintingBridge final : ControlBridge {
    void setCheckMark(const GuiControl&, bool) override {}
    void setControlText(const GuiControl&, std::string_view) override {}
    void enableControl(const GuiControl& c, bool enabled) override
    {
        std::printf("enable %d %d\n", static_cast<int>(c.controlId), enabled ? 1 : 0);
    }
    void fillCombo(const GuiControl&, const std::vector<std::string>&) override {}
    void selectComboIndex(const GuiControl&, int32_t) override {}
    void selectComboText(const GuiControl&, std::string_view) override {}
};

struct Probe {
    std::jthread simClient;
    std::atomic<bool> ended{false};
    std::jthread setter;
    std::jthread rangePoll;
    std::vector<uint32_t> bound;
    std::set<uint32_t> inRangeSeen;
};

template <typename F>
bool lf_waitFor(int ms, F done)
{
    const auto deadline = Clock::now() + std::chrono::milliseconds(ms);
    while (!done()) {
        if (Clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

std::string lf_shown(std::string WindowState::*text)
{
    std::lock_guard lock(gf_windowState().uiMutex);
    return gf_windowState().*text;
}

void lf_request(uint32_t request, uint32_t definition, ScPeriod period)
{
    std::lock_guard lock(g_simConnectMutex);
    if (g_simConnect.load() != nullptr &&
        gf_scFailed(SimConnect_RequestDataOnSimObject(g_simConnect.load(), request, definition, g_scObjectIdUser,
                                                      static_cast<uint32_t>(period)))) {
        gf_logErrorLine("SimConnect request ac gnd/air fails");
        gf_simConnectRequestError();
    }
}

void lf_follow(int ms)
{
    int cycles = 0;
    const auto end = Clock::now() + std::chrono::milliseconds(ms);
    for (int tick = 0; Clock::now() < end && !gf_stopPending(); ++tick) {
        if (g_newUserData.exchange(false))
            ++cycles;
        if (tick % 10 == 0)
            gf_requestUserPosition();
        std::this_thread::sleep_for(10ms);
    }
    std::printf("follow cycles=%d\n", cycles);
}

// In-range reports (kind 3) come with every poll: they are printed once per object and
// not counted.
void lf_events(Probe& probe, size_t count, int ms)
{
    size_t counted = 0;
    lf_waitFor(ms, [&] {
        std::vector<SimObjectEvent> seen;
        {
            std::lock_guard lock(g_simObjectEventsMutex);
            seen.swap(g_simObjectEvents);
        }
        for (const SimObjectEvent& e : seen) {
            if (e.kind == SimObjectEventKind::InRange && !probe.inRangeSeen.insert(e.objectId).second)
                continue;
            std::printf("event kind=%u object=%u hexid=%u\n", static_cast<unsigned>(e.kind), e.objectId,
                        e.hexidOrFlag);
            counted += e.kind != SimObjectEventKind::InRange;
            if (e.kind == SimObjectEventKind::Bound)
                probe.bound.push_back(e.objectId);
        }
        return counted >= count;
    });
}

// A deterministic, changing position of object i at frame k; written with the shortest
// text that reads back to the same double.
PosUpdate lf_position(uint32_t objectId, size_t i, int k)
{
    return {52.3 + i * 1e-3 + k * 1e-6, 4.76 + k * 2e-6, -0.01 * std::sin(k * 0.1), 0.02 * std::cos(k * 0.1),
            std::fmod(0.1 + i + k * 0.003, 6.283185307179586), 100.0 + k * 0.5 + i, 1.5, 140.0, objectId};
}

void lf_fly(const Probe& probe, int frames, const char* file)
{
    std::ofstream out(file, std::ios::binary);
    bool lit = false;
    for (int k = 0; k < frames;) {
        {
            // One set per object and frame: the next positions go in once the drain took these.
            if (!g_posUpdates.pending()) {
                for (size_t i = 0; i < probe.bound.size(); ++i) {
                    const PosUpdate p = lf_position(probe.bound[i], i, k);
                    g_posUpdates.writeSide().push_back(p);
                    out << fmt::format("{{\"object\": {}, \"lat\": {}, \"lon\": {}, \"pitch\": {}, \"bank\": {}, "
                                       "\"heading\": {}, \"alt_ft\": {}}}\n",
                                       p.objectId, p.latitude, p.longitude, p.pitch, p.bank, p.heading, p.altitude);
                }
                g_posUpdates.publish();
                ++k;
            }
        }
        if (k == frames / 2 && !lit) {
            lit = true;
            for (const uint32_t id : probe.bound)
                gf_setLights(id, {1, 1, 0, 1, 0, 1, 1});
        }
        std::this_thread::sleep_for(1ms);
    }
    lf_waitFor(5000, [] { return !g_posUpdates.pending(); });
    std::printf("fly frames=%d objects=%zu\n", frames, probe.bound.size());
}

// The worker's ticks as the traffic pass hands its positions over, with its other duties
// holding the queues' mutex for most of each tick.
void lf_busyWorker(const Probe& probe, int ms, int holdMs)
{
    int ticks = 0;
    const auto end = Clock::now() + std::chrono::milliseconds(ms);
    for (auto next = Clock::now(); Clock::now() < end; ++ticks) {
        for (size_t i = 0; i < probe.bound.size(); ++i)
            g_posUpdates.writeSide().push_back(lf_position(probe.bound[i], i, ticks));
        g_posUpdates.publish();
        {
            std::lock_guard lock(g_simConnectMutex);
            std::this_thread::sleep_for(std::chrono::milliseconds(holdMs));
        }
        next += 10ms;
        std::this_thread::sleep_until(next);
    }
    std::printf("busy-worker ticks=%d\n", ticks);
}

void lf_printState()
{
    std::printf("state reason=%s\nstate delay=%d\nstate error=%s\nstate message=%s\nstate running=%d\n"
                "state connected=%d\nstate user=%u\nstate unix=%lld\nstate failed=%d\nstate title=%s\n",
                std::string(gf_closeReasonText(gf_closeReason())).c_str(), gf_restartDelaySeconds(),
                lf_shown(&WindowState::errorText).c_str(), lf_shown(&WindowState::messageText).c_str(),
                g_simRunning ? 1 : 0, g_simConnected ? 1 : 0, g_userObjectId.load(),
                static_cast<long long>(g_simUnixTime.load()), g_simConnectFailed ? 1 : 0,
                gf_windowText(WindowText::UserTitle).c_str());
}

} // namespace

int main(int argc, char** argv)
{
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    gf_openLogAt("Log.txt");
    static PrintingBridge bridge;
    gf_setControlBridge(&bridge);
    Probe probe;
    int i = 1;
    for (; i + 1 < argc && std::string(argv[i]).rfind("--", 0) == 0; i += 2) {
        const std::string option = argv[i];
        if (option == "--major")
            P3D_VERSION.value = std::atoi(argv[i + 1]);
        else if (option == "--install-path")
            SIM_INSTALL_PATH.setValue(argv[i + 1]);
        else if (option == "--professional")
            g_rtProfessional = std::string(argv[i + 1]) == "1";
    }
    for (; i < argc; ++i) {
        const std::string command = argv[i];
        const auto next = [&] { return i + 1 < argc ? argv[++i] : "0"; };
        if (command == "start") {
            gf_initSimQueues(P3D_VERSION.value);
            probe.simClient = std::jthread([&probe](std::stop_token stop) {
                gf_simClientThread(stop);
                probe.ended = true;
            });
        } else if (command == "wait-running") {
            std::printf("running %d\n", lf_waitFor(std::atoi(next()), [] { return g_simRunning.load(); }) ? 1 : 0);
        } else if (command == "wait-stop") {
            lf_waitFor(std::atoi(next()), [] { return gf_stopPending(); });
            std::printf("stop %s %d\n", std::string(gf_closeReasonText(gf_closeReason())).c_str(),
                        gf_restartDelaySeconds());
        } else if (command == "wait-ended") {
            std::printf("ended %d\n", lf_waitFor(std::atoi(next()), [&] { return probe.ended.load(); }) ? 1 : 0);
        } else if (command == "ground") {
            lf_request(gf_id(SimRequest::UserOnGround), gf_id(SimDefinition::UserOnGround), ScPeriod::Second);
        } else if (command == "follow") {
            lf_follow(std::atoi(next()));
        } else if (command == "title-model") {
            gf_requestUserTitleModel();
        } else if (command == "create" || command == "create-at") {
            const int n = std::atoi(next());
            const std::string prefix = next();
            const bool at = command == "create-at";
            const double latitude = at ? std::atof(next()) : 52.3;
            const double longitude = at ? std::atof(next()) : 4.76;
            for (int k = 0; k < n; ++k) {
                SimCreateRequest r{latitude + k * 1e-3, longitude, 100.0, 0.0, 0.0, 90.0, 1, 0};
                r.callsign = prefix + std::to_string(k);
                r.liveryTitle = "Boeing 737-800 KLM";
                r.hexid = 10001 + k;
                gf_queueCreateAc(r);
            }
        } else if (command == "events") {
            const int n = std::atoi(next());
            lf_events(probe, static_cast<size_t>(n), std::atoi(next()));
        } else if (command == "range") {
            probe.rangePoll = std::jthread([](std::stop_token stop) {
                while (!stop.stop_requested()) {
                    {
                        std::lock_guard lock(g_simConnectMutex);
                        if (g_simConnect.load() != nullptr && !g_simConnectFailed)
                            SimConnect_RequestDataOnSimObjectType(g_simConnect.load(), gf_id(SimRequest::AcInRange),
                                                                  gf_id(SimDefinition::AcInRange), 20000,
                                                                  g_scObjectTypeAircraft);
                    }
                    std::this_thread::sleep_for(100ms);
                }
            });
        } else if (command == "sets") {
            probe.setter = std::jthread([](std::stop_token stop) {
                const double controls[3] = {0.0, 50.0, 50.0};
                while (!stop.stop_requested()) {
                    {
                        std::lock_guard lock(g_simConnectMutex);
                        if (g_simConnect.load() != nullptr)
                            SimConnect_SetDataOnSimObject(g_simConnect.load(), gf_id(SimDefinition::AiControls), 101,
                                                          0, 0, sizeof controls, controls);
                    }
                    std::this_thread::sleep_for(50us);
                }
            });
        } else if (command == "fly") {
            const int frames = std::atoi(next());
            lf_fly(probe, frames, next());
        } else if (command == "busy-worker") {
            const int ms = std::atoi(next());
            lf_busyWorker(probe, ms, std::atoi(next()));
        } else if (command == "remove-all") {
            std::lock_guard lock(g_simConnectMutex);
            g_removeQueue.insert(g_removeQueue.end(), probe.bound.begin(), probe.bound.end());
        } else if (command == "stop") {
            probe.setter = {};
            probe.rangePoll = {};
            probe.simClient = {};
            std::printf("stopped\n");
        } else if (command == "sleep") {
            std::this_thread::sleep_for(std::chrono::milliseconds(std::atoi(next())));
        } else {
            std::printf("unknown command %s\n", command.c_str());
            return 2;
        }
    }
    probe.setter = {};
    probe.rangePoll = {};
    probe.simClient = {};
    lf_printState();
    gf_closeLog();
    return 0;
}
