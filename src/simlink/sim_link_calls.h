#pragma once
// What the traffic service and the traffic pass ask of the simulator link (the "SimClient"
// thread, its flags and its requests), as one table of calls. The product's table is
// the link itself; tests put doubles in its place with gf_setSimLinkCalls.
#include <cstdint>
#include <stop_token>

#include "simlink/sim_client.h"

struct SimLinkCalls {
    // The "SimClient" thread's procedure; it ends soon after its stop is requested.
    void (*clientThread)(std::stop_token stop);
    // Prepares the command queues for the simulator major version (before the thread).
    void (*initQueues)(int32_t majorVersion);
    // The flight runs: the simulator runs it and no request on the connection failed.
    bool (*flightRuns)();
    // The once-a-second on-ground data arrived: whether its flag is raised, and taking it
    // (true once per arrival).
    bool (*newUserData)();
    bool (*takeNewUserData)();
    bool (*userDataValid)();
    bool (*userOnGround)();
    // Half the user aircraft's wing span in nautical miles.
    double (*userHalfSpan)();
    // Asks for the user aircraft's on-ground data once a simulator second; false when
    // the request failed.
    bool (*requestOnGroundData)();
    // Asks for a fresh user state and returns the state received so far.
    UserState (*requestUserPosition)();
    void (*requestUserTitleModel)();
    // Ends the run after a failed request ("SIMCONNECT ERROR").
    void (*requestError)();
    // Asks for the aircraft within the radius; false when the request failed. Nothing is
    // asked (and the answer is true) once a request on the connection has failed.
    bool (*requestAircraftInRange)(int32_t radiusMetres);
    // The simulator's UTC time in seconds since 1970 (0 while unknown).
    int64_t (*simUnixTime)();
    // Drops the positions waiting for the next frames (the flight paused).
    void (*clearPositionBuffers)();
    // The link's queues, flags and user data back to the state of a new process.
    void (*reset)();
};

const SimLinkCalls& gf_simLink();
// Replaces the table (tests); gf_resetSimLinkCalls puts the product's back.
void gf_setSimLinkCalls(const SimLinkCalls& calls);
void gf_resetSimLinkCalls();
