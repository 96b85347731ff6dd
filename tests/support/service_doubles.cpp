#include "support/service_doubles.h"

#include <thread>

#include "feed/link_socket.h"
#include "foundation/stop_state.h"

namespace servicetest {
namespace {
using namespace std::chrono_literals;

FakeSim& lf_sim()
{
    static FakeSim sim;
    return sim;
}

FakeNeighbours& lf_neighbours()
{
    static FakeNeighbours neighbours;
    return neighbours;
}

void lf_clientThread(std::stop_token stop)
{
    FakeSim& sim = lf_sim();
    ++sim.clientThreads;
    sim.clientRunning = true;
    while (!stop.stop_requested())
        std::this_thread::sleep_for(1ms);
    sim.clientRunning = false;
}

UserState lf_userState()
{
    const FakeSim& sim = lf_sim();
    UserState s;
    s.latitude = sim.latitude;
    s.longitude = sim.longitude;
    s.heading = 1.5;
    s.altitude = sim.altitude;
    s.groundVelocity = 250.0;
    return s;
}

} // namespace

FakeSim& fakeSim()
{
    return lf_sim();
}

FakeNeighbours& fakeNeighbours()
{
    return lf_neighbours();
}

void resetDoubles()
{
    FakeSim& s = lf_sim();
    s.flightRuns = true;
    s.userDataValid = true;
    s.onGround = false;
    s.newUserData = false;
    s.latitude = 52.0;
    s.longitude = 4.0;
    s.altitude = 35000.0;
    s.simUnixTime = 0;
    s.clientThreads = 0;
    s.arrivalsTaken = 0;
    s.resets = 0;
    FakeNeighbours& n = lf_neighbours();
    for (std::atomic<int32_t>* count :
         {&n.updateChecks, &n.dbaseReads, &n.airportReads, &n.liveryScans, &n.addonScans, &n.takeOuts})
        *count = 0;
    n.dbaseRead = true;
    n.v5Installed = true;
    n.v6Installed = false;
    n.realTrafficInstalled = false;
}

SimLinkCalls fakeSimLinkCalls()
{
    SimLinkCalls c{};
    c.clientThread = &lf_clientThread;
    c.initQueues = [](int32_t) {};
    c.flightRuns = [] { return lf_sim().flightRuns.load(); };
    c.newUserData = [] { return lf_sim().newUserData.load(); };
    c.takeNewUserData = [] {
        const bool taken = lf_sim().newUserData.exchange(false);
        lf_sim().arrivalsTaken += taken ? 1 : 0;
        return taken;
    };
    c.userDataValid = [] { return lf_sim().userDataValid.load(); };
    c.userOnGround = [] { return lf_sim().onGround.load(); };
    c.userHalfSpan = [] { return 0.02; };
    c.requestOnGroundData = [] { return true; };
    c.requestUserPosition = &lf_userState;
    c.requestUserTitleModel = [] {};
    c.requestError = [] { gf_requestClosingDown(CloseReason::SimConnectError, 9); };
    c.requestAircraftInRange = [](int32_t) { return true; };
    c.simUnixTime = [] { return lf_sim().simUnixTime.load(); };
    c.clearPositionBuffers = [] {};
    c.reset = [] { ++lf_sim().resets; };
    return c;
}

ServiceCalls fakeServiceCalls(uint16_t qnhPort, uint16_t trafficPort, int32_t countdownSecondMs)
{
    ServiceCalls c{};
    c.checkForUpdates = [] {
        ++lf_neighbours().updateChecks;
        return true;
    };
    c.readDbase = [] {
        ++lf_neighbours().dbaseReads;
        return lf_neighbours().dbaseRead.load();
    };
    c.readAirports = [] {
        ++lf_neighbours().airportReads;
        return true;
    };
    c.p3dInstalled = [](int32_t version) {
        return version == 5 ? lf_neighbours().v5Installed.load() : lf_neighbours().v6Installed.load();
    };
    c.p3dSetupPath = [](int32_t version) { return std::filesystem::path(version == 5 ? "C:\\P3D v5" : ""); };
    c.realTrafficInstalled = [] { return lf_neighbours().realTrafficInstalled.load(); };
    c.scanLiveries = [] { ++lf_neighbours().liveryScans; };
    c.processScannedLiveries = [] {};
    c.scanAddonAirports = [] { ++lf_neighbours().addonScans; };
    c.takeOutLiveAircraft = [] { ++lf_neighbours().takeOuts; };
    c.qnhPort = qnhPort;
    c.trafficPort = trafficPort;
    c.linkPort = std::string(1, '0'); // a free port (GCC 12 -O3 warns wrongly on assigning "0")
    c.countdownSecondMs = countdownSecondMs;
    return c;
}

bool simulatedSecond(std::chrono::milliseconds timeout)
{
    FakeSim& sim = lf_sim();
    const int32_t before = sim.arrivalsTaken;
    sim.newUserData = true;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (sim.arrivalsTaken == before) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

uint16_t freeUdpPort()
{
    gf_socketStartup();
    const SocketHandle s = gf_openUdpSocket();
    uint16_t port = 0;
    if (s != g_invalidSocket && gf_bindUdpSocket(s, 0, true))
        port = gf_linkLocalPort(s);
    gf_closeSocket(s);
    gf_socketCleanup();
    return port;
}

} // namespace servicetest
