#pragma once
// The static parking's plan: the candidates waiting on the adding stack for the live
// aircraft engine to create them, the static aircraft that stay, the callsigns new
// statics must not use and the wanted count. Everything belongs to the worker thread;
// the engine reads and consumes what is here.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "foundation/text_hash.h"

// A stand chosen for a static aircraft, waiting until the engine creates it.
struct ParkCandidate {
    uint32_t standNumber = 0; // ParkStand::number, from 1
    uint32_t fitOffset = 0;   // half hours by which the chosen flight's time lies before now
    std::string airline;
    std::string aircraftType;
    std::string callsign1; // the stand flight's first callsign part
    std::string callsign2; // its second part
    std::string registration;
    // First byte: the flight still stands there in the next half hour, so the first
    // callsign part is shown (else the second, the departing flight's).
    uint64_t value = 0;
};

// The engine takes one candidate at a time from the end: the best fits lie there.
extern std::vector<ParkCandidate> g_addingStack;

// One static aircraft that stays at its stand through an adjustment.
struct StaticPlanEntry {
    std::string callsign;
    std::string callsign1;
    std::string callsign2;
    std::string registration;
    std::string airline;
    std::string aircraftType;
    int64_t fitTime = 0; // weekday in the low, slot in the high 32 bits
    uint32_t standNumber = 0;
    bool toAdd = false; // removed and created again (the coupled flight departs)
};
extern std::vector<StaticPlanEntry> g_staticPlan;
// (callsign, stand number) of static aircraft to take out of the simulator.
extern std::vector<std::pair<std::string, uint32_t>> g_staticRemovals;

// Callsigns seen live while the calculation was prepared: new statics must not show them.
extern TextHashSet g_callsignsToAvoid;
// The engine's name for it.
extern TextHashSet& g_planCallsigns;

// The last fit step reached by a real (a soft) search over the modes: 0 and -1 when a
// search starts.
extern int32_t g_lastRealFit;
extern int32_t g_lastSoftFit;

// The parked aircraft (live parked plus static) the park airport is to hold; set by
// gf_wantedStaticCount.
extern int32_t g_wantedParkedCount;

// The wanted number of static aircraft, shown in the main window.
int64_t gf_wantedStaticCount();
// The full calculation for the park airport whose park file was just read.
void gf_calculateStaticParking();
