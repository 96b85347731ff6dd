#include <cmath>
#include <mutex>
#include <string>

#include "catalogue/liveries.h"
#include "control/auto_range.h"
#include "control/service_calls.h"
#include "control/service_internal.h"
#include "control/service_state.h"
#include "feed/qnh_reader.h"
#include "feed/readers.h"
#include "feed/realtraffic_link.h"
#include "feed/received_flights.h"
#include "feed/traffic_reader.h"
#include "foundation/log.h"
#include "foundation/settings_catalogue.h"
#include "foundation/stop_state.h"
#include "foundation/time_text.h"
#include "parking/static_parking.h"
#include "traffic/traffic_service.h"
#include "ui/window_state.h"

namespace {
using namespace std::chrono_literals;

constexpr auto kReaderGap = 2s;
constexpr int32_t kFirstTrafficSteps = 150; // of 100 ms

bool lf_userPositionKnown(const UserState& s)
{
    return std::fabs(s.latitude) > 0.0001 || std::fabs(s.longitude) > 0.0001;
}

// Copies the user state until one with a position arrived; false when a stop came.
bool lf_awaitUserPosition(std::chrono::milliseconds step, bool needValidData)
{
    const SimLinkCalls& sim = gf_simLink();
    while (!((!needValidData || sim.userDataValid()) && lf_userPositionKnown(g_userSnapshot))) {
        gf_storeUserSnapshot(sim.requestUserPosition());
        if (!lf_sleepUnlessStopped(step))
            return false;
    }
    return true;
}

void lf_setServiceRunning(bool running)
{
    std::lock_guard lock(g_liveFlightsMutex);
    g_serviceRunning = running;
}

// The greeting of RealTraffic, when it runs on this PC and AEROWINX is off.
void lf_connectRealTraffic()
{
    WindowState& ws = gf_windowState();
    if (g_realTrafficLocal && !AEROWINX.value) {
        const std::string& port = gf_serviceCalls().linkPort;
        gf_startTcpServer(port.empty() ? PORT_NUMBER.value() : port);
    } else {
        ws.rtLinkUp = true;
        gf_invalidateBand(g_connectionBand);
    }
    if (gf_stopPending())
        return;
    ws.rtIndicatorOff = false;
    gf_invalidateBand(g_connectionBand);
    if (AEROWINX.value) {
        g_rtProfessional = false;
    } else {
        gf_waitForRealTraffic();
        if (g_rtProfessional)
            gf_sendQs123(gf_simLink().simUnixTime());
    }
    // The window's scan check boxes act at once only during the start-up.
    g_startUpPhase = false;
}

// Waits for the first traffic line, at most 15 seconds; false when a stop came.
bool lf_awaitFirstTraffic()
{
    for (int32_t i = 0; i < kFirstTrafficSteps && std::trunc(g_trafficLastTimestamp.load()) == 0.0; ++i) {
        if (!lf_sleepUnlessStopped(100ms))
            return false;
    }
    if (std::trunc(g_trafficLastTimestamp.load()) == 0.0)
        gf_logLine("No traffic in this region?");
    return true;
}

} // namespace

bool lf_requestUserOnGround()
{
    const SimLinkCalls& sim = gf_simLink();
    while (!sim.flightRuns()) {
        if (!lf_sleepUnlessStopped(100ms))
            return false;
    }
    if (!sim.requestOnGroundData()) {
        gf_logErrorLine("SimConnect request ac gnd/air fails");
        sim.requestError();
    }
    if (!lf_awaitUserPosition(500ms, true))
        return false;
    sim.requestUserTitleModel();
    if (!lf_awaitUserPosition(200ms, false))
        return false;
    return !gf_stopPending();
}

void lf_serviceMain()
{
    WindowState& ws = gf_windowState();
    ws.rtLinkUp = false;
    gf_invalidateBand(g_connectionBand);
    ws.simConnected = false;
    gf_invalidateBand(g_connectionBand);
    gf_reserveTrafficContainers();
    gf_reserveLiveryTables();
    gf_simLink().initQueues(P3D_VERSION.value);
    gf_invalidateBand(g_wholeWindow);
    gf_startSimClient();
    if (!lf_requestUserOnGround())
        return;
    if (AUTO_RANGE.value)
        lf_autoRange();
    lf_connectRealTraffic();
    if (gf_stopPending())
        return;
    lf_setServiceRunning(false);
    const ServiceCalls& calls = gf_serviceCalls();
    gf_startReaderThread(&gf_qnhReaderThread, calls.qnhPort);
    if (!lf_sleepUnlessStopped(kReaderGap))
        return;
    gf_startReaderThread(&gf_trafficReaderThread, calls.trafficPort);
    gf_sendUserPosition();
    g_trafficReader.setReferencePosition({g_userSnapshot.latitude, g_userSnapshot.longitude});
    if (!lf_awaitFirstTraffic())
        return;
    g_timeOfWeek = gf_weekdayAndSlot();
    gf_staticParkingCycle(true);
    gf_checkReadersAlive();
    g_cycleCount = 0;
    lf_mainLoop();
}
