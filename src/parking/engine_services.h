#pragma once
// What the static parking asks of the live aircraft engine, as one table of calls. The
// engine puts its own functions in with gf_setEngineServices; until then the table is an
// engine without aircraft: nothing to read, no stand found, nothing removed. Worker
// thread only. Aircraft are named by their hexid (live above 10000, static below).
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/geo.h"
#include "parking/park_stand.h"
#include "parking/static_plan.h"

// The engine's SimStatus, in its order.
enum class EngineAcStatus : uint32_t {
    Buffer = 0,
    Adding2Sim = 1,
    Active = 2,
    LiveryRespawn = 3,
    RemovingFromSim = 4,
};

// One record of g_staticAcs as the static parking reads it.
struct StaticAcView {
    uint32_t hexid = 0;
    std::string callsign;
    std::string callsign1; // the stand flight's first callsign part
    std::string callsign2; // its second part
    std::string registration;
    std::string airline;
    std::string aircraftType;
    double lat = 0.0;
    double lon = 0.0;
    int64_t fitTime = 0; // weekday in the low, slot in the high 32 bits
    uint32_t standNumber = 0;
    EngineAcStatus status = EngineAcStatus::Buffer;
};

// One record of g_liveAcs.
struct LiveAcView {
    uint32_t hexid = 0;
    std::string callsign;
    uint32_t standNumber = 0;
    EngineAcStatus status = EngineAcStatus::Buffer;
    // In a ground phase before take-off ("pushing_back", "pushed_back", "taxi",
    // "take_off") or "parked".
    bool onGroundAtAirport = false;
    bool parked = false;
};

// One entry of g_liveParked.
struct ParkedLiveView {
    std::string callsign;
    uint32_t standNumber = 0;
    int32_t parkedMinutes = 0;
};

struct EngineServices {
    // The records, in list order.
    std::vector<StaticAcView> (*staticAcs)();
    std::vector<LiveAcView> (*liveAcs)();
    std::vector<ParkedLiveView> (*liveParked)();
    // g_liveParked emptied, and its last entry dropped.
    void (*clearLiveParked)();
    void (*dropLastLiveParked)();

    // kind 1 real, 0 soft; dayRule 1 the shifted day only, 0 any day; offset the fit step.
    void (*lf_searchStands)(int64_t timeOfWeek, uint32_t kind, uint32_t dayRule, int32_t offset,
                            std::vector<ParkCandidate>& out);
    bool (*lf_isOptionAroundThisTime)(const StandFlight& entry, const StaticAcView& ac, int64_t timeOfWeek,
                                      int32_t window);
    // day: the previous weekday.
    bool (*lf_isOptionAroundThisTimeYesterday)(const StandFlight& entry, const StaticAcView& ac, uint32_t day,
                                               int32_t window);
    std::string (*gf_userStand)(const GeoPos& position);

    void (*removeAircraftFromSim)(uint32_t hexid);
    void (*gf_removeAllStatics)();
    void (*gf_removeAcAtStand)(std::string_view standId);
    void (*gf_removeLiveParked)(int32_t count);
    void (*gf_collectLiveParked)();
    // Of the live creation queue; true when one was erased.
    bool (*gf_eraseQueuedCreation)(std::string_view callsign);
    uint64_t (*gf_countParkedLive)(bool withAverage);
    uint64_t (*gf_countStaticsInSim)(bool withAverage);

    // For the drop of the park airport: the live aircraft forgets its stand (position,
    // heading and number 0, no longer standing there); is taken out of the list; is
    // removed once created; and the list is compacted (taken-out records erased).
    void (*forgetLiveStand)(uint32_t hexid);
    void (*takeOutLiveAc)(uint32_t hexid);
    void (*removeLiveAcWhenCreated)(uint32_t hexid);
    void (*compactLiveAcs)();
};

const EngineServices& gf_engineServices();
// Replaces the table; gf_resetEngineServices puts the default back.
void gf_setEngineServices(const EngineServices& services);
void gf_resetEngineServices();
