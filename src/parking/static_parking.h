#pragma once
// The static parking as the traffic service drives it: the park airports list, the pass
// of every 16th cycle, the two-step update and the drop of the park airport. All on the
// worker thread.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

#include "parking/static_plan.h"

// The park airport's stands are read (until the park airport is reset): the park file's
// g_parkFileLoaded under the name the traffic service knows it by.
extern std::atomic<bool>& g_parkStandsLoaded;
// The id of the user's reserved stand at the park airport (empty when none).
extern std::string g_reservedStandId;

// Reads my_park_airports.txt into g_parkAirports; the start-up does not use the result.
bool lf_readMyParkAirports();
// Re-reads the park airports and, with adoptStand, takes a changed reserved stand of the
// park airport's entry; when true, text holds a message for the user.
bool gf_checkParkAirports(bool adoptStand, std::string& text);
// The static-parking pass: once with true before the main loop, then with false; true
// shows "Calculating static parked aircraft ..." when an airport is chosen on the ground.
void gf_staticParkingCycle(bool showMessage);
// First step of a calculation or of the two-step update: the setting controls locked and
// the traffic reader collecting the callsigns it sees.
void lf_startStaticCalculation(bool showMessage);
// Second step: adjusts the static plan to the aircraft that stand.
void gf_parkingAdjustments();
// Removes every static aircraft and the live aircraft on the ground, then forgets the
// park airport (also at the close-down).
void gf_dropParkAirport();
// Candidates on the adding stack, shown while an update runs.
size_t gf_addingStackCount();

// The hours shown for a fit step: 0 -> 0.5, 1..9 -> 1.0..5.0 in halves, then 6 to 12
// hours two steps each (22..25 all 12), 15, 18 and 21 six steps each, 24 from 44 on.
float gf_fitStepHours(int32_t step);
