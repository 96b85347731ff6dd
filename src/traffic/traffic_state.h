#pragma once
// The engine's shared state. Everything belongs to the worker thread; only the finished
// queue entries cross to the "SimClient" thread (simlink/sim_queues.h).
#include <algorithm>
#include <cstdint>
#include <deque>
#include <list>
#include <string>
#include <vector>

#include "catalogue/liveries.h" // g_unmatchedFlights
#include "simlink/sim_object_events.h"
#include "simlink/sim_queues.h"
#include "traffic/aircraft_records.h"

// In order of arrival.
extern std::vector<LiveAc> g_liveAcs;
extern std::vector<StaticAc> g_staticAcs;
// Hexids of spawned live aircraft waiting for their creation request; taken from the back.
extern std::vector<uint32_t> g_newAcIds;
// Creations, the live ones taken before the static ones, one per 50 ticks.
extern std::deque<SimCreateRequest> g_liveCreateDeque;
extern std::deque<SimCreateRequest> g_staticCreateDeque;
// Object ids to remove, one per 10 ticks.
extern std::deque<uint32_t> g_removeDeque;
// Hexids whose creation was withdrawn before its object was bound: the object may still
// come, and is removed when it does. Until then the hexid is not created again.
extern std::vector<uint32_t> g_withdrawnHexids;
bool gf_isWithdrawnHexid(uint32_t hexid);
// Bound objects waiting for their activation, in order of binding; the value field counts
// passes (-1 once activated).
extern std::vector<SimObjectEvent> g_pendingActivations;
// Hexids of live aircraft the cycle must look at (coupled callsign, duplicates); one a cycle.
extern std::list<uint32_t> g_touchdownHexids;

// One parked live aircraft as the static parking reads it.
struct LiveParkedEntry {
    std::string callsign;
    uint64_t value = 0;
    uint32_t standNumber = 0;
    int32_t parkedMinutes = 0;
};
extern std::vector<LiveParkedEntry> g_liveParked;

// The first aircraft of the list whose field (hexid, object id) has the value, or null.
template <typename Ac, typename Field>
Ac* gf_findAc(std::vector<Ac>& list, Field field, uint32_t value)
{
    const auto it = std::find_if(list.begin(), list.end(), [&](const Ac& ac) { return ac.*field == value; });
    return it == list.end() ? nullptr : &*it;
}
inline LiveAc* gf_findLiveAc(uint32_t hexid)
{
    return gf_findAc(g_liveAcs, &AcIdentity::hexid, hexid);
}
inline StaticAc* gf_findStaticAc(uint32_t hexid)
{
    return gf_findAc(g_staticAcs, &AcIdentity::hexid, hexid);
}
