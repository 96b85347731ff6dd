#include "simlink/sim_link_product.h"

#include <mutex>

#include "simlink/sim_ids.h"
#include "simlink/sim_queues.h"

namespace {

// A request of the worker on the connection: nothing once a request failed or while no
// connection is open; false when the request itself failed.
template <typename Request>
bool lf_request(Request request)
{
    std::lock_guard lock(g_simConnectMutex);
    const ScHandle handle = g_simConnect.load();
    return handle == nullptr || g_simConnectFailed || !gf_scFailed(request(handle));
}

} // namespace

SimLinkCalls gf_productSimLinkCalls()
{
    SimLinkCalls c{};
    c.clientThread = &gf_simClientThread;
    c.initQueues = &gf_initSimQueues;
    c.flightRuns = [] { return g_simRunning.load() && !g_simConnectFailed.load(); };
    c.newUserData = [] { return g_newUserData.load(); };
    c.takeNewUserData = [] {
        bool expected = true;
        return g_newUserData.compare_exchange_strong(expected, false);
    };
    c.userDataValid = [] { return g_userDataValid.load(); };
    c.userOnGround = [] { return g_userOnGround.load(); };
    c.userHalfSpan = [] { return g_userHalfSpan.load(); };
    c.requestOnGroundData = [] {
        return lf_request([](ScHandle handle) {
            return SimConnect_RequestDataOnSimObject(handle, gf_id(SimRequest::UserOnGround),
                                                     gf_id(SimDefinition::UserOnGround), g_scObjectIdUser,
                                                     static_cast<uint32_t>(ScPeriod::Second));
        });
    };
    c.requestUserPosition = &gf_requestUserPosition;
    c.requestUserTitleModel = &gf_requestUserTitleModel;
    c.requestError = [] {
        std::lock_guard lock(g_simConnectMutex);
        gf_simConnectRequestError();
    };
    c.requestAircraftInRange = [](int32_t radiusMetres) {
        return lf_request([radiusMetres](ScHandle handle) {
            return SimConnect_RequestDataOnSimObjectType(handle, gf_id(SimRequest::AcInRange),
                                                         gf_id(SimDefinition::AcInRange),
                                                         static_cast<uint32_t>(radiusMetres), g_scObjectTypeAircraft);
        });
    };
    c.simUnixTime = [] { return g_simUnixTime.load(); };
    c.clearPositionBuffers = [] { g_posUpdates.discard(); };
    c.reset = &gf_resetSimLinkState;
    return c;
}
