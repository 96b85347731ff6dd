#pragma once
// The commands the traffic engine (worker thread) leaves for the simulator, sent by the
// "SimClient" thread at each simulator frame. The worker appends under g_simConnectMutex;
// the frame drain only tries that mutex and skips a frame while the worker holds it.
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

extern std::mutex g_simConnectMutex;

// One AI aircraft to create; the first eight fields are the simulator's initial position.
struct SimCreateRequest {
    double latitude = 0.0;  // degrees
    double longitude = 0.0; // degrees
    double altitude = 0.0;  // feet
    double pitch = 0.0;     // degrees
    double bank = 0.0;      // degrees
    double heading = 0.0;   // degrees
    uint32_t onGround = 0;
    uint32_t airspeed = 0; // knots
    std::string callsign;  // sent as the tail number
    std::string_view liveryTitle; // owned by the livery tables
    uint32_t hexid = 0;
};

struct SimClientEvent {
    uint32_t objectId = 0;
    uint32_t eventId = 0;
    uint32_t data = 0;
};

struct LightSet {
    uint32_t nav = 0;
    uint32_t beacon = 0;
    uint32_t landing = 0;
    uint32_t taxi = 0;
    uint32_t strobes = 0;
    uint32_t logo = 0;
    uint32_t cabin = 0;
};

// One object's position for the next frame: the 64 bytes of definition 402, then the id.
struct PosUpdate {
    double latitude = 0.0;  // degrees
    double longitude = 0.0; // degrees
    double pitch = 0.0;     // radians
    double bank = 0.0;      // radians
    double heading = 0.0;   // radians, true
    double altitude = 0.0;  // feet
    double verticalSpeed = 0.0; // feet per second
    double trueAirspeed = 0.0;  // knots
    uint32_t objectId = 0;
};
inline constexpr uint32_t g_posUpdateDataSize = 64;
static_assert(offsetof(PosUpdate, objectId) == g_posUpdateDataSize);

// A creation sent whose object the simulator has not reported yet.
struct PendingCreation {
    uint32_t sendId = 0;
    uint32_t hexid = 0;
    std::string callsign; // as sent, so that the object's ATC ID matches it
};

// The double buffer of the next frame's positions: the worker fills the write side and
// swaps the sides under g_simConnectMutex; the drain sends the read side.
struct PosUpdateBuffers {
    std::vector<PosUpdate> first;
    std::vector<PosUpdate> second;
    std::vector<PosUpdate>* write = &first;
    std::vector<PosUpdate>* read = &second;
};

extern std::vector<SimCreateRequest> g_createQueue; // guarded by g_simConnectMutex
extern std::vector<SimClientEvent> g_eventQueue;    // guarded by g_simConnectMutex
extern std::vector<uint32_t> g_removeQueue;         // guarded by g_simConnectMutex
extern PosUpdateBuffers g_posUpdates;               // guarded by g_simConnectMutex
// Touched only by the "SimClient" thread.
extern std::vector<PendingCreation> g_pendingCreations;

// The longest tail number the creation record holds.
inline constexpr size_t g_maxTailNumberBytes = 11;

// Fillers of the worker; each takes g_simConnectMutex.
void gf_queueCreateAc(const SimCreateRequest& request);
void gf_engineShutdown(uint32_t objectId);
void gf_engineStart(uint32_t objectId);
// Nav, beacon, landing, taxi, strobes, logo and cabin, in that order, in one holding.
void gf_setLights(uint32_t objectId, const LightSet& lights);
void gf_setNavLights(uint32_t objectId, uint32_t state);
void gf_setCabinLights(uint32_t objectId, uint32_t state);
