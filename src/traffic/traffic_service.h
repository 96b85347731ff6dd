#pragma once
// What the traffic service asks of the live aircraft engine: the traffic pass of every
// tick, the aircraft steps of the once-a-second cycle, the resets and the flight-plan
// folder. Everything runs on the worker thread unless said otherwise.
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "simlink/sim_link_calls.h"

// Plus one per traffic pass; the due ticks of received positions refer to it. Atomic:
// the traffic reader reads it to time its records.
extern std::atomic<uint32_t> g_trafficTick;
uint32_t gf_trafficTickNow();
// Poll the aircraft within range every 20 ticks rather than every 100.
extern bool g_fastRangeRequests;

// The worker's copy of the user aircraft's state, renewed every 100 ticks. The worker
// reads it freely; it writes it, and other threads read it, only under the mutex.
extern UserState g_userSnapshot;
extern std::mutex g_userSnapshotMutex;
// Also finds the stand under the user aircraft for the window and the "SimClient" thread.
void gf_storeUserSnapshot(const UserState& state);
UserState gf_userSnapshotCopy();

// Callsigns (with their trailing "_") of coupled flights removed as ghosts.
extern std::vector<std::string> g_ghostCallsigns;

// One traffic pass: the simulator's reports, every live aircraft one tick on, the
// creation and removal queues, at most two received records, the range poll and the
// tick counter.
void lf_handleAddingStack();
// The range poll of the pass: the aircraft within RANGE every 100 ticks (20 in fast
// mode); every 100 ticks the user position to RealTraffic and a fresh user state.
void lf_requestAcInRange();
// The simulator's reports of bound, removed and failed objects (also while paused).
void gf_handleSimEvents();

// Reserves the engine's containers once per process.
void gf_reserveTrafficContainers();
// Empties the whole traffic state before a restart of the service.
void gf_resetTrafficState();

// The folder of the AI flight plans: made at every start-up, removed by the close-down;
// true when it exists (is gone) afterwards.
bool gf_createFlightPlanFolder();
bool gf_removeFlightPlanFolder();

// RealTraffic was lost: every live aircraft leaves the simulator (or, still being
// created, leaves the creation queue or goes once created).
void gf_takeOutLiveAircraft();
void gf_removeAllStatics();
// Removes the aircraft standing at the stand (the user's reserved stand).
void gf_removeAcAtStand(std::string_view standId);
void gf_removeStaticTwinOfLive();

// The aircraft steps of one cycle, in the cycle's order:
// the first queued touchdown hexid whose aircraft exists: its coupled-callsign search
// (once per aircraft) and its registration and callsign conflicts;
void gf_handleNextTouchdown();
// collisions with the user aircraft: on the ground the first live aircraft too close in
// list order, else (once the user moved) the first static one; in the air the aircraft in
// the user's way;
void gf_removeUserCollisions(bool userOnGround, double userHalfSpanNm);
// taxiing or parking live aircraft running into static ones;
void gf_removeLiveParkedCollisions();
// the first active live aircraft with exactly this callsign.
void gf_removeBlockedCallsign(std::string_view callsign);

// The removal of the farthest live aircraft: walks the "active" live aircraft and removes
// the one farthest from the user aircraft beyond the given distance by more than 0.1 nm;
// true when none is that far (nothing removed). The window's lowered MAX_LIVE_SEL passes
// -1.0 once per surplus aircraft.
bool gf_removeFarthestLiveAc(double startNm);

// What the window shows and the cycle applies, over the live and static aircraft:
// live aircraft "active" in the simulator;
int32_t gf_countActiveLive();
// live aircraft "active" and not "parked", counted and by callsign (in list order);
uint64_t gf_countLiveInSim();
std::vector<std::string> gf_liveInSimCallsigns();
// live aircraft "active" and "parked"; with the mean, their mean parked time (hours) into
// the window state, which repaints when it changed;
uint64_t gf_countParkedLive(bool withMean);
// static aircraft in the simulator; with show, their average age the same way;
uint64_t gf_countStaticsInSim(bool show);
// the nav lights of every "active" static aircraft and every "active" parked live one.
void gf_setParkedNavLights(bool on);
