#pragma once
// What the simulator reports about AI objects, queued by the "SimClient" thread for the
// traffic engine, which drains the queue on the worker thread. The queue's mutex is never
// held together with g_simConnectMutex by the "SimClient" thread; where the worker holds
// both, it takes this one first.
#include <chrono>
#include <cstdint>
#include <mutex>
#include <vector>

enum class SimObjectEventKind : uint32_t {
    Bound = 0,         // own live aircraft bound to its object; d2 altitude above ground
    StaticBound = 1,   // own static aircraft bound to its object
    Removed = 2,       // object removed by the simulator
    InRange = 3,       // other aircraft near the ground: on-ground flag; ground altitude, AGL
    StaticCg = 4,      // "Static CG to Ground" (feet), "Static Pitch" (radians)
    CallsignBlocked = 5,
    CreationFailed = 6, // object id 0
};

struct SimObjectEvent {
    uint32_t objectId = 0;
    uint32_t hexidOrFlag = 0;
    uint32_t value = 0;
    SimObjectEventKind kind = SimObjectEventKind::Bound;
    double d1 = 0.0;
    double d2 = 0.0;
};

extern std::mutex g_simObjectEventsMutex;
extern std::vector<SimObjectEvent> g_simObjectEvents; // guarded by g_simObjectEventsMutex
// An object announced by "ObjectAdded" and not yet seen in an in-range reply. One that the
// in-range replies do not show soon (it was created outside their radius) is asked for by
// its id, once.
struct AddedObject {
    uint32_t objectId = 0;
    std::chrono::steady_clock::time_point addedAt;
    bool asked = false;
    uint32_t askSendId = 0; // of the request asking for it
};
// Touched only by the "SimClient" thread.
extern std::vector<AddedObject> g_addedObjects;

// Hexids of 10000 and below are static aircraft.
inline constexpr uint32_t g_maxStaticHexid = 10000;
