#pragma once
// The "SimClient" thread: it opens the one SimConnect connection of a run, registers
// what the program uses, dispatches every message and follows the user aircraft. The
// traffic service prepares the queues, starts the thread, reads the state below and makes
// a few requests of its own on the same connection.
//
// Locks: g_simConnectMutex (simlink/sim_queues.h) guards g_userState, the hand-over of
// g_simConnect to the worker and the command queues; it is taken before the client's own
// send lock. Everything not atomic and not named as guarded is touched only by the
// "SimClient" thread, and by gf_resetSimLinkState once that thread has been joined.
#include <atomic>
#include <cstdint>
#include <stop_token>
#include <string>

#include "catalogue/dbase.h"
#include "foundation/geo.h"
#include "simlink/simconnect/simconnect_api.h"

// The user aircraft in the order of definition 403.
struct UserState {
    double latitude = 0.0;  // degrees
    double longitude = 0.0; // degrees
    double pitch = 0.0;     // radians
    double bank = 0.0;      // radians
    double heading = 0.0;   // radians, true
    double altitude = 0.0;  // feet, never negative
    double altitudeAboveGround = 0.0; // feet
    double groundVelocity = 0.0;      // knots
    int64_t zuluTime = 0;             // seconds of the day
    int64_t zuluDayOfYear = 0;        // 1 = 1 January
    int64_t zuluYear = 0;
    int64_t lightStates = 0;
    // Not of the definition: radians, true, the way it moves over the ground (in a crosswind
    // its nose is off it), from its last two positions; its heading until it has moved.
    double groundTrack = 0.0;
};

// The open connection; null before it opens and after it closed. Changed only under
// g_simConnectMutex, so a request made under that mutex never meets a closed handle.
extern std::atomic<ScHandle> g_simConnect;
extern std::atomic<int32_t> g_simMajorVersion;
extern UserState g_userState; // guarded by g_simConnectMutex
// The user aircraft's object id; AI objects have larger ones.
extern std::atomic<uint32_t> g_userObjectId;
extern GeoPos g_lastUserPos;
extern std::atomic<bool> g_userOnGround;
extern std::atomic<bool> g_userDataValid;
// Raised at every on-ground reply; the worker's tick takes it.
extern std::atomic<bool> g_newUserData;
extern std::atomic<bool> g_simRunning;
extern std::atomic<bool> g_simConnected;
extern std::atomic<float> g_simFrameRate;
// The simulator's UTC date and time, seconds since 1970 (kept while RealTraffic is at level 2).
extern std::atomic<int64_t> g_simUnixTime;
extern std::string g_simulatorName;
extern std::string g_userTitle; // at most 48 characters
// Half the user aircraft's wing span in nautical miles, and whether it was set.
extern std::atomic<double> g_userHalfSpan;
extern std::atomic<bool> g_userHalfSpanSet;
extern std::atomic<TypeCategory> g_userCategory;
// A request on the connection failed: from then on the queues are only emptied.
extern std::atomic<bool> g_simConnectFailed;

// Before the thread starts: the major version, room in the queues, the failure cleared.
void gf_initSimQueues(int32_t majorVersion);
// The thread procedure; it ends when its stop is requested (or on a user error).
void gf_simClientThread(std::stop_token stop);

// Worker side, each taking g_simConnectMutex. A copy of g_userState, after asking for a
// fresh one (request 109) unless the connection failed or is closed.
UserState gf_requestUserPosition();
// Asks for the user aircraft's title (106) and ATC model (107).
void gf_requestUserTitleModel();
// A request on the connection failed, or the connection itself; the caller holds
// g_simConnectMutex. Ends the run with "SIMCONNECT ERROR" (restart after 9 s); nothing
// once the connection is closed (a user error that ended the thread stays shown).
void gf_simConnectRequestError();

// The state a new run of the traffic service expects (after the thread was joined): the
// queues, lists and buffers emptied, no connection, no user data.
void gf_resetSimLinkState();
