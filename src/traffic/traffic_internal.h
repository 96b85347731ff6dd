#pragma once
// The engine's operations that its files share with each other and with the tests. All
// run on the worker thread.
#include <cstdint>
#include <deque>
#include <optional>
#include <string_view>

#include "simlink/sim_client.h"
#include "simlink/sim_object_events.h"
#include "traffic/engine_services.h"

// The traffic pass's steps.
void lf_updateAllLiveAc();
void lf_runTickQueues();

// Intake of one received record.
void gf_applyReceivedRecord(LiveFlightRecord& record);
void lf_prepareNewLiveAc(LiveFlightRecord& record);
void lf_spawnFromRecord(LiveFlightRecord& record);
// Light aircraft, fighters and helicopters only with their settings; airliners always.
bool lf_categoryWanted(TypeCategory category);

// Spawning.
void lf_tryBuffered(LiveAc& ac);
bool lf_holdBackNearUser(LiveAc& ac);
void spawnLiveAc(LiveAc& ac);
bool gf_onLiveAcObject(LiveAc& ac, const SimObjectEvent& event);
void lf_parkLiveAc(LiveAc& ac);
// The position block of a new aircraft from its front sample; queues its hexid for the
// cycle first.
void lf_initPositionBlock(LiveAc& ac);
// The pitch (radians, negative nose up) that goes with a vertical speed in ft/min.
double gf_pitchForVerticalSpeed(double verticalSpeedFpm);

// Removals.
void lf_removeGhost(std::string_view callsign);
bool lf_hasLiveTwin(std::string_view callsign);
void lf_replaceSameRegOrCs(LiveAc& live, bool onGround);

// Activation.
void lf_activateCreatedObjects();
void lf_onSimObjectRemoved(uint32_t objectId);
void liveryRespawn(LiveAc& ac);
void lf_onCallsignBlocked(uint32_t hexid);
// The simulator's in-range report of a live aircraft: on the ground (flag 1) it touches
// down; d1 the ground altitude, d2 the height above it.
void lf_applyTouchdownRule(LiveAc& ac, const SimObjectEvent& e);

// Flight plans.
void lf_createAiFlightPlan(LiveAc& ac);

// Making way.
void lf_removeForStaticCollision(LiveAc& ac);
void gf_removeAcInUsersWay();
// More than 90 degrees off the user aircraft's heading, seen from the user.
bool gf_behindUser(const UserState& u, const GeoPos& position);
// How near (feet) an aircraft at the position, moving over the ground at the velocity
// (knots north and east), comes within the next two minutes to the user aircraft flying on
// along its ground track at its ground speed; nothing when they do not draw nearer.
std::optional<double> gf_closestApproachFt(const UserState& u, const GeoPos& position, double northKt,
                                           double eastKt);

// A request of the engine on the simulator connection: nothing (true) while no connection
// is open or after a request failed; false when the request failed, the caller then logs
// and ends the run. The caller holds g_simConnectMutex.
template <typename Request>
bool gf_engineRequest(Request request)
{
    const ScHandle handle = g_simConnect.load();
    return handle == nullptr || g_simConnectFailed || !gf_scFailed(request(handle));
}
