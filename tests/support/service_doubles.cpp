#include "support/service_doubles.h"

#ifdef _WIN32
#include <winsock2.h>
using NativeSocket = SOCKET;
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
using NativeSocket = int;
#endif

#include <optional>
#include <string_view>
#include <thread>

#include "catalogue/liveries.h"
#include "feed/feed_inputs.h"
#include "feed/link_socket.h"
#include "feed/reader_socket.h"
#include "foundation/stop_state.h"
#include "parking/park_airports.h"
#include "traffic/traffic_service.h"

namespace servicetest {
namespace {
using namespace std::chrono_literals;

// Made anew by every reset: atomics cannot be assigned as a whole.
std::optional<FakeSim> g_sim{std::in_place};
std::optional<FakeNeighbours> g_neighbours{std::in_place};

void lf_clientThread(std::stop_token stop)
{
    ++fakeSim().clientThreads;
    fakeSim().clientRunning = true;
    while (!stop.stop_requested())
        std::this_thread::sleep_for(1ms);
    if (fakeSim().requestFailsAtStop.exchange(false))
        gf_simLink().requestError();
    std::this_thread::sleep_for(std::chrono::milliseconds(fakeSim().clientEndMs.load()));
    fakeSim().clientRunning = false;
}

std::atomic<bool> g_holdReader{false};
std::atomic<bool> g_readerHeld{false};

double lf_heldRange()
{
    g_readerHeld = true;
    while (g_holdReader)
        std::this_thread::sleep_for(1ms);
    return 40.0;
}

void lf_sendDatagram(uint16_t port, std::string_view text)
{
    gf_socketStartup();
    const SocketHandle s = gf_openUdpSocket();
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    sendto(static_cast<NativeSocket>(s), text.data(), static_cast<int>(text.size()), 0,
           reinterpret_cast<const sockaddr*>(&to), sizeof to);
    gf_closeSocket(s);
    gf_socketCleanup();
}

UserState lf_userState()
{
    UserState s;
    s.latitude = 52.0;
    s.longitude = 4.0;
    s.heading = 1.5;
    s.groundTrack = 1.5;
    s.altitude = fakeSim().altitude;
    s.groundVelocity = 250.0;
    return s;
}

} // namespace

FakeSim& fakeSim()
{
    return *g_sim;
}

FakeNeighbours& fakeNeighbours()
{
    return *g_neighbours;
}

void resetDoubles()
{
    g_sim.emplace();
    g_neighbours.emplace();
}

SimLinkCalls fakeSimLinkCalls()
{
    SimLinkCalls c{};
    c.clientThread = &lf_clientThread;
    c.initQueues = [](int32_t) {};
    c.flightRuns = [] { return fakeSim().flightRuns.load(); };
    c.newUserData = [] { return fakeSim().newUserData.load(); };
    c.takeNewUserData = [] {
        const bool taken = fakeSim().newUserData.exchange(false);
        fakeSim().arrivalsTaken += taken ? 1 : 0;
        return taken;
    };
    c.userDataValid = [] { return fakeSim().userDataValid.load(); };
    c.userOnGround = [] { return false; };
    c.userHalfSpan = [] { return 0.02; };
    c.requestOnGroundData = [] { return true; };
    c.requestUserPosition = &lf_userState;
    c.requestUserTitleModel = [] {};
    c.requestError = [] { gf_requestClosingDown(CloseReason::SimConnectError, 9); };
    c.requestAircraftInRange = [](int32_t) { return true; };
    c.simUnixTime = [] { return int64_t{0}; };
    c.clearPositionBuffers = [] {};
    c.reset = [] {
        ++fakeSim().resets;
        fakeSim().resetsWhileClientRuns += fakeSim().clientRunning ? 1 : 0;
    };
    return c;
}

ServiceCalls fakeServiceCalls(uint16_t qnhPort, uint16_t trafficPort, int32_t countdownSecondMs)
{
    // The engine's own for what the window's requests ask of it.
    ServiceCalls c{};
    c.countActiveLive = &gf_countActiveLive;
    c.removeFarthestLiveAc = &gf_removeFarthestLiveAc;
    c.setParkedNavLights = &gf_setParkedNavLights;
    c.liveInSimCallsigns = &gf_liveInSimCallsigns;
    c.addParkAirport = &gf_addParkAirport;
    c.takeOutLiveAircraft = &gf_takeOutLiveAircraft;
    c.checkForUpdates = [] { ++fakeNeighbours().updateChecks; return true; };
    c.readDbase = [] { ++fakeNeighbours().dbaseReads; return fakeNeighbours().dbaseRead.load(); };
    c.readAirports = [] { ++fakeNeighbours().airportReads; return true; };
    c.p3dInstalled = [](int32_t version) {
        return version == 5 ? fakeNeighbours().v5Installed.load() : fakeNeighbours().v6Installed.load();
    };
    c.p3dSetupPath = [](int32_t version) { return std::filesystem::path(version == 5 ? "C:\\P3D v5" : ""); };
    c.realTrafficInstalled = [] { return fakeNeighbours().realTrafficInstalled.load(); };
    c.scanLiveries = [] { ++fakeNeighbours().liveryScans; };
    c.processScannedLiveries = [] {};
    c.scanAddonAirports = [] { ++fakeNeighbours().addonScans; };
    c.clearLiveryTables = [] { ++fakeNeighbours().liveryTableClears; };
    c.qnhPort = qnhPort;
    c.trafficPort = trafficPort;
    c.linkPort = std::string(1, '0'); // a free port (GCC 12 -O3 warns wrongly on assigning "0")
    c.countdownSecondMs = countdownSecondMs;
    return c;
}

bool simulatedSecond(std::chrono::milliseconds timeout)
{
    const int32_t before = fakeSim().arrivalsTaken;
    fakeSim().newUserData = true;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (fakeSim().arrivalsTaken == before) {
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

bool holdTrafficReader(uint16_t port)
{
    g_holdReader = true;
    g_readerHeld = false;
    gf_setRangeNmSource(&lf_heldRange);
    // Each time another text: RealTraffic on another PC may repeat a datagram, and the
    // reader skips one that equals its last, also that of an earlier run on it.
    static std::atomic<int> sent{0};
    for (int i = 0; i < 100 && !g_readerHeld; ++i) {
        lf_sendDatagram(port, "a line " + std::to_string(++sent));
        std::this_thread::sleep_for(20ms);
    }
    return g_readerHeld;
}

void releaseTrafficReader()
{
    g_holdReader = false;
}

UdpPortHolder::UdpPortHolder(uint16_t port)
{
    gf_socketStartup();
    socket_ = gf_openUdpSocket();
    held_ = socket_ != g_invalidSocket && gf_bindUdpSocket(socket_, port, false);
}

UdpPortHolder::~UdpPortHolder()
{
    release();
    gf_socketCleanup();
}

void UdpPortHolder::release()
{
    gf_closeSocket(socket_);
    socket_ = g_invalidSocket;
    held_ = false;
}

} // namespace servicetest
