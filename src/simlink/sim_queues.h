#pragma once
// The commands the traffic engine (worker thread) leaves for the simulator, sent by the
// "SimClient" thread at each simulator frame. The worker appends under g_simConnectMutex;
// the frame drain only tries that mutex and leaves the queues to the next frame while the
// worker holds it. The positions need no lock: every frame carries the newest set.
#include <array>
#include <atomic>
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

// The positions of the next frame, handed from the worker to the frame drain without a
// lock, so that neither waits for the other: the worker fills its side during a traffic
// pass and publishes it whole; every frame sends the newest complete set, the last one
// again when no traffic pass fell between two frames. The three buffers change hands
// through one atomic index.
class PosUpdateHandover {
public:
    // Worker: the side it fills.
    std::vector<PosUpdate>& writeSide() { return buffers_[write_]; }
    // Worker: hands the filled side over (replacing a set the drain has not taken) and
    // starts an empty one.
    void publish();
    // Worker: no positions from now on, until the next publish.
    void discard();
    // Drain: the newest set published; the one of its last call while no newer came.
    const std::vector<PosUpdate>& newest();
    // A published set waits for the drain.
    bool pending() const { return (middle_.load(std::memory_order_acquire) & kFresh) != 0; }
    // Only while no drain runs: every side empty, with room for n positions.
    void reset(size_t n = 0);

private:
    static constexpr uint8_t kFresh = 4;
    std::array<std::vector<PosUpdate>, 3> buffers_;
    uint8_t write_ = 0; // the worker's
    uint8_t read_ = 1;  // the drain's
    std::atomic<uint8_t> middle_{2};
};

extern std::vector<SimCreateRequest> g_createQueue; // guarded by g_simConnectMutex
extern std::vector<SimClientEvent> g_eventQueue;    // guarded by g_simConnectMutex
extern std::vector<uint32_t> g_removeQueue;         // guarded by g_simConnectMutex
extern PosUpdateHandover g_posUpdates;
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
