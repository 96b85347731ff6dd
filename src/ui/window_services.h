#pragma once
// Window operations the traffic service calls once a cycle or at its start.
#include <string_view>

#include "foundation/geo.h"

// Recounts the live, static and parked aircraft and repaints the counters that changed.
void gf_refreshTrafficCounts();
// The callsign list from the live aircraft in the simulator and not parked; true when
// it holds texts.
bool gf_refreshCallsignList();
// DESTINATION := code, saved and shown, with "New destination: {}".
void gf_setDestination(std::string_view code, GeoPos position);
// Asks for the two-step static-parking update and tells the user when it comes; the
// earlier state of the request.
bool gf_announceStaticParkingUpdate();

// Places the main window above all others, or not (size and position unchanged).
void gf_setWindowTopmost(bool topmost);
