// Stop-gap until the "SimClient" thread lands: a link that never reaches a simulator.
// The flight never runs, so the service waits for it until the user closes the program.
#include <chrono>
#include <thread>

#include "foundation/stop_state.h"
#include "simlink/sim_link_product.h"
#include "ui/messages.h"

namespace {

void lf_clientThread(std::stop_token stop)
{
    while (!stop.stop_requested() && !gf_stopPending())
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
}

void lf_requestError()
{
    gf_showMessage("SimConnect request error", true);
    gf_requestClosingDown(CloseReason::SimConnectError, 9);
}

} // namespace

SimLinkCalls gf_productSimLinkCalls()
{
    SimLinkCalls c{};
    c.clientThread = &lf_clientThread;
    c.initQueues = [](int32_t) {};
    c.flightRuns = [] { return false; };
    c.newUserData = [] { return false; };
    c.takeNewUserData = [] { return false; };
    c.userDataValid = [] { return false; };
    c.userOnGround = [] { return false; };
    c.userHalfSpan = [] { return 0.0; };
    c.requestOnGroundData = [] { return false; };
    c.requestUserPosition = [] { return UserAircraftState{}; };
    c.requestUserTitleModel = [] {};
    c.requestError = &lf_requestError;
    c.requestAircraftInRange = [](int32_t) { return false; };
    c.simUnixTime = [] { return int64_t{0}; };
    c.clearPositionBuffers = [] {};
    c.reset = [] {};
    return c;
}
