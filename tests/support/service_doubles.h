#pragma once
// Doubles of the traffic service's neighbours for the tests that run the service: a
// simulator whose flight, user aircraft and once-a-second data the test sets, and
// neighbours that count their calls. Every field may change while a run goes on.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>

#include "control/service_calls.h"
#include "feed/reader_socket.h"
#include "simlink/sim_link_calls.h"

namespace servicetest {

struct FakeSim {
    std::atomic<bool> flightRuns{true};
    std::atomic<bool> userDataValid{true};
    std::atomic<bool> newUserData{false};
    std::atomic<double> altitude{35000.0};
    std::atomic<bool> clientRunning{false};
    std::atomic<int32_t> clientThreads{0}; // started
    std::atomic<int32_t> arrivalsTaken{0};
    std::atomic<int32_t> resets{0};
    std::atomic<int32_t> resetsWhileClientRuns{0};
    // How long the "SimClient" thread takes to end after its stop (a connect or a close
    // under way).
    std::atomic<int32_t> clientEndMs{0};
    // The "SimClient" thread's next stop fails a request (once), as the last dispatch of a
    // closing connection may: the close-down then sees a SimConnect error while it runs.
    std::atomic<bool> requestFailsAtStop{false};
};

struct FakeNeighbours {
    std::atomic<int32_t> updateChecks{0};
    std::atomic<int32_t> dbaseReads{0};
    std::atomic<int32_t> airportReads{0};
    std::atomic<int32_t> liveryScans{0};
    std::atomic<int32_t> addonScans{0};
    std::atomic<int32_t> liveryTableClears{0};
    std::atomic<bool> dbaseRead{true};
    std::atomic<bool> v5Installed{true};
    std::atomic<bool> v6Installed{false};
    std::atomic<bool> realTrafficInstalled{false};
};

// Both back to their starting values (a running flight at 52 N 4 E, 35000 ft; P3D v5
// installed at "C:\P3D v5"; RealTraffic not on this PC).
FakeSim& fakeSim();
FakeNeighbours& fakeNeighbours();
void resetDoubles();
SimLinkCalls fakeSimLinkCalls();
// The neighbours' doubles with the readers on the given ports, the link on a free port,
// and countdown seconds of the given length.
ServiceCalls fakeServiceCalls(uint16_t qnhPort, uint16_t trafficPort, int32_t countdownSecondMs = 1000);

// One simulated second: raises the on-ground data flag and waits until a tick took it;
// false after the timeout.
bool simulatedSecond(std::chrono::milliseconds timeout = std::chrono::seconds(5));

// A UDP port no socket uses right now.
uint16_t freeUdpPort();

// Holds the traffic reader that listens on the port in the middle of a datagram, the way
// a slow handling would hold it (the range it asks the feed for is where it waits), until
// releaseTrafficReader. Sends datagrams until one arrives (the reader may not have bound
// its port yet); false when none arrived within two seconds.
bool holdTrafficReader(uint16_t port);
void releaseTrafficReader();

// Another program's socket on a UDP port, bound as a reader binds it when RealTraffic is on
// another PC (all interfaces): the reader's bind then fails. Until release or the end.
class UdpPortHolder {
public:
    explicit UdpPortHolder(uint16_t port);
    ~UdpPortHolder();
    UdpPortHolder(const UdpPortHolder&) = delete;
    UdpPortHolder& operator=(const UdpPortHolder&) = delete;
    bool held() const { return held_; }
    void release();

private:
    SocketHandle socket_ = g_invalidSocket;
    bool held_ = false;
};

} // namespace servicetest
