#include "simlink/sim_client.h"

#include <cctype>
#include <chrono>
#include <mutex>
#include <thread>

#include <fmt/format.h>

#include "control/sim_link_events.h"
#include "foundation/log.h"
#include "foundation/settings_catalogue.h"
#include "foundation/stop_state.h"
#include "foundation/user_error.h"
#include "simlink/sim_client_internal.h"
#include "simlink/sim_ids.h"
#include "simlink/sim_object_events.h"
#include "simlink/sim_queues.h"
#include "simlink/simconnect/connection.h"
#include "ui/control_ops.h"
#include "ui/messages.h"
#include "ui/window_state.h"

std::atomic<ScHandle> g_simConnect{nullptr};
std::atomic<int32_t> g_simMajorVersion{5};
UserState g_userState;
std::atomic<uint32_t> g_userObjectId{2};
GeoPos g_lastUserPos;
std::atomic<bool> g_userOnGround{false};
std::atomic<bool> g_userDataValid{false};
std::atomic<bool> g_newUserData{false};
std::atomic<bool> g_simRunning{false};
std::atomic<bool> g_simConnected{false};
std::atomic<float> g_simFrameRate{0.0f};
std::atomic<int64_t> g_simUnixTime{0};
std::string g_simulatorName;
std::string g_userTitle;
std::atomic<double> g_userHalfSpan{0.0};
std::atomic<bool> g_userHalfSpanSet{false};
std::atomic<TypeCategory> g_userCategory{TypeCategory::Other};
std::atomic<bool> g_simConnectFailed{false};

namespace {
using namespace std::chrono_literals;

constexpr const char* kClientName = "Tavelorium_P3D";
constexpr int32_t kNewFlightRestartSeconds = 30;
constexpr uint32_t kFramesPerRateSample = 30;
constexpr size_t kQueueRoom = 256;

// Set once the loss of the current connection has been reported.
std::atomic<bool> g_simGoneReported{false};
uint32_t g_frameCounter = 0;

void lf_setSimConnected(bool connected)
{
    g_simConnected = connected;
    gf_windowState().simConnected = connected;
    gf_invalidateBand(g_wholeWindow);
}

bool lf_pathNames(const std::string& path, char digit)
{
    const char lower[] = {'v', digit, '\0'};
    const char upper[] = {'V', digit, '\0'};
    return path.find(lower) != std::string::npos || path.find(upper) != std::string::npos;
}

// The open reply: only Prepar3D of the configured major version is served.
void lf_checkSimulator(const ScRecv* message, uint32_t size)
{
    const auto open = gf_scMessageAs<ScRecvOpen>(message, size);
    const std::string raw = gf_scFieldText(open->applicationName);
    if (raw.empty()) {
        gf_logLine("! Simulator name empty?");
        return;
    }
    lf_setSimConnected(true);
    std::string name;
    for (const char c : raw) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x80 && (std::isalnum(u) || std::isspace(u)))
            name += c;
    }
    if (name == "KittyHawk" || name == "SunRise")
        throw tav::UserErrorException(78, fmt::format("{}, (MSFS) not being P3D connects ... ?", name));
    const std::string text = fmt::format("{} ({}.{}.{}.{})", name, open->applicationVersionMajor,
                                         open->applicationVersionMinor, open->applicationBuildMajor,
                                         open->applicationBuildMinor);
    gf_logLine("{} connected", text);
    g_simulatorName = text;
    gf_setWindowText(WindowText::SimConnection, text, g_wholeWindow);
    const std::string installPath = SIM_INSTALL_PATH.value();
    const int32_t major = g_simMajorVersion;
    const bool v5 = text.find("v5") != std::string::npos && (lf_pathNames(installPath, '5') || major == 5);
    const bool v6 = text.find("v6") != std::string::npos && (lf_pathNames(installPath, '6') || major == 6);
    if (v5 || v6) {
        gf_clearMessage();
        return;
    }
    gf_enableControl(ALL_INSTALL_PATH);
    throw tav::UserErrorException(78, fmt::format("wrong P3D version '{}' connects ... ?)", text));
}

void lf_onEvent(const ScRecv* message, uint32_t size)
{
    const auto event = gf_scMessageAs<ScRecvEvent>(message, size);
    switch (static_cast<SimEventId>(event->eventId)) {
    case SimEventId::Sim:
        g_simRunning = event->data == 1;
        gf_windowState().flightRunning = event->data == 1;
        gf_invalidateBand(g_wholeWindow);
        break;
    case SimEventId::PositionChanged:
        gf_logErrorLine("User ac position changed");
        lf_newFlight();
        break;
    case SimEventId::FlightLoaded:
        gf_logLine("SimConnect: flight loaded event");
        lf_storeUserStand();
        lf_newFlight();
        break;
    default:
        break;
    }
}

void lf_onFrame(const ScRecv* message, uint32_t size)
{
    lf_onSimFrame();
    lf_askForUnmatchedObjects(std::chrono::steady_clock::now());
    if (++g_frameCounter >= kFramesPerRateSample) {
        g_frameCounter = 0;
        g_simFrameRate = gf_scMessageAs<ScRecvFrame>(message, size)->frameRate;
    }
}

// Sleeps until the thread's stop. Not on a stop callback: with mingw-w64's C++ library the
// end of a callback that the stopping thread is running may wait for ever.
void lf_waitForStop(const std::stop_token& stop)
{
    while (!stop.stop_requested())
        std::this_thread::sleep_for(100ms);
}

// A connection that failed in any state of the flight (paused, in a menu, loading,
// with no request of the worker to fail) ends the run as a failed request does; a
// simulator that quit has said so already.
void lf_connectionLost()
{
    if (g_simGoneReported)
        return;
    std::lock_guard lock(g_simConnectMutex);
    gf_simConnectRequestError();
}

// Waits for the simulator, then serves the connection until the thread's stop. The
// connection is not opened again within one run.
void lf_serve(const std::stop_token& stop)
{
    const auto stopping = [&stop] { return gf_stopPending() || stop.stop_requested(); };
    bool first = true;
    while (!stopping()) {
        if (first) {
            first = false;
            gf_showMessage(fmt::format("Waiting for Prepar3Dv{} ...", gf_simVersionFromInstallPath()), true);
            gf_flushLog();
            gf_invalidateBand(g_wholeWindow);
        }
        ScHandle handle = nullptr;
        if (gf_scFailed(SimConnect_Open(&handle, kClientName, nullptr, 0, nullptr, 0)) || handle == nullptr) {
            gf_waitOnStopState(100ms, stop, stopping);
            continue;
        }
        {
            std::lock_guard lock(g_simConnectMutex);
            g_simConnect = handle;
        }
        g_simGoneReported = false;
        lf_registerSimDefinitions();
        lf_serveConnection(handle, stop);
    }
}

void lf_closeConnection()
{
    ScHandle handle;
    {
        // The worker's requests, made under this mutex, find no connection from now on.
        std::lock_guard lock(g_simConnectMutex);
        handle = g_simConnect.exchange(nullptr);
        g_simRunning = false;
    }
    if (handle == nullptr)
        return;
    if (gf_scFailed(SimConnect_Close(handle)))
        gf_logErrorLine("Closing SimConnect failed?!");
    else
        gf_logLine("SimConnect closed ok");
}

void lf_endThread()
{
    try {
        lf_storeUserStand();
    } catch (const std::exception& e) {
        gf_logErrorLine("{} exception: {}", "lf_storeUserStand", e.what());
    }
    lf_setSimConnected(false);
    lf_closeConnection();
}

} // namespace

void lf_newFlight()
{
    if (!gf_stopPending())
        gf_requestClosingDown(CloseReason::NewFlight, kNewFlightRestartSeconds);
}

void lf_serveConnection(ScHandle handle, const std::stop_token& stop)
{
    while (!stop.stop_requested()) {
        gf_scWaitForMessages(handle, stop);
        if (gf_scFailed(SimConnect_CallDispatch(handle, &lf_simDispatch, nullptr))) {
            lf_connectionLost();
            lf_waitForStop(stop);
            return;
        }
    }
}

void lf_simGone()
{
    if (g_simGoneReported.exchange(true))
        return;
    g_simRunning = false;
    gf_windowState().flightRunning = false;
    lf_setSimConnected(false);
    gf_simDisconnected();
}

void lf_simDispatch(const ScRecv* message, uint32_t size, void*)
{
    if (message == nullptr)
        return;
    switch (message->id) {
    case static_cast<uint32_t>(ScRecvId::Exception):
        lf_onSimException(message, size);
        break;
    case static_cast<uint32_t>(ScRecvId::Open):
        lf_checkSimulator(message, size);
        break;
    case static_cast<uint32_t>(ScRecvId::Quit):
        lf_simGone();
        break;
    case static_cast<uint32_t>(ScRecvId::Event):
        lf_onEvent(message, size);
        break;
    case static_cast<uint32_t>(ScRecvId::EventObjectAddRemove):
        lf_onObjectAddRemove(message, size);
        break;
    case static_cast<uint32_t>(ScRecvId::EventFilename):
        gf_logErrorLine("SimConnect: New file event");
        lf_storeUserStand();
        lf_newFlight();
        break;
    case static_cast<uint32_t>(ScRecvId::EventFrame):
        lf_onFrame(message, size);
        break;
    case static_cast<uint32_t>(ScRecvId::SimObjectData):
        lf_onSimObjectData(message, size);
        break;
    case static_cast<uint32_t>(ScRecvId::SimObjectDataByType):
        lf_onSimObjectDataByType(message, size);
        break;
    case 12: // an AI object's id, which the in-range replies give as well
    case 16: // a reply to a request of no interest here
        break;
    default:
        gf_logLine("! Unknown Dispatch dwID {}", message->id);
        break;
    }
}

void gf_simClientThread(std::stop_token stop)
{
    try {
        lf_serve(stop);
    } catch (const tav::UserErrorException& e) {
        gf_showError(e.what());
    } catch (const std::exception& e) {
        gf_showError(e.what());
        lf_simGone();
    } catch (...) {
        gf_showError(fmt::format("Exception in {}", "SimClient"));
        lf_simGone();
    }
    try {
        lf_endThread();
    } catch (...) {
        gf_logErrorLine("Exception in {} while closing", "SimClient");
    }
}

void gf_simConnectRequestError()
{
    const ScHandle handle = g_simConnect.load();
    if (handle == nullptr)
        return;
    gf_showMessage("SimConnect request error", true);
    g_simConnectFailed = true;
    if (!gf_stopPending())
        gf_requestClosingDown(CloseReason::SimConnectError, 9);
}

void gf_initSimQueues(int32_t majorVersion)
{
    g_simMajorVersion = majorVersion;
    std::lock_guard lock(g_simConnectMutex);
    // The worker's side only: a drain of the previous run may still use the others, which
    // grow to the traffic's size as they circulate.
    g_posUpdates.writeSide().reserve(kQueueRoom);
    g_createQueue.reserve(kQueueRoom);
    g_removeQueue.reserve(kQueueRoom);
    g_pendingCreations.reserve(kQueueRoom);
    g_addedObjects.reserve(kQueueRoom);
    g_simConnectFailed = false;
}

void gf_resetSimLinkState()
{
    {
        std::lock_guard lock(g_simConnectMutex);
        g_createQueue.clear();
        g_eventQueue.clear();
        g_removeQueue.clear();
        g_posUpdates.reset();
        g_simConnect = nullptr;
        g_userState = UserState{};
    }
    g_pendingCreations.clear();
    g_addedObjects.clear();
    g_simRunning = false;
    g_userObjectId = 2;
    g_simConnectFailed = false;
    g_simMajorVersion = P3D_VERSION.value.load();
    g_userTitle.clear();
    g_userDataValid = false;
    // A reply of the previous run must not count as the next run's first second.
    g_newUserData = false;
    // The first user position of the next run is not a jump from this run's last one.
    g_lastUserPos = GeoPos{};
    g_frameCounter = 0;
    g_simGoneReported = false;
}
