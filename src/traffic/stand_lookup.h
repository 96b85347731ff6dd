#pragma once
// The park airport's stands as the engine's records refer to them: by number or id, the
// text of log lines, and the tests of the stand flights against aircraft. Worker thread.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "parking/park_stand.h"
#include "parking/static_parking.h"
#include "traffic/aircraft_records.h"

ParkStand* lf_findStandByNumber(uint32_t number);
ParkStand* lf_findStandByName(std::string_view id);
// The stand's id; "sid==0?" for number 0, "sid==?" when no stand has the number.
std::string gf_standText(uint32_t number);

// A numbered real entry whose first or second callsign part is the text, or whose
// airline and type are the aircraft's.
bool gf_flightFitsStandEntry(std::string_view text, const FlightTexts& ac, const StandFlight& entry);
// A static aircraft already shows one of the entry's callsigns or the registration (two
// empty texts count as equal).
bool lf_isCsOrRegUsedByStatic(const std::vector<StaticAc>& statics, const StandFlight& entry,
                              std::string_view registration);
bool lf_isCsOrRegOnAddingStack(const std::vector<ParkCandidate>& candidates, const StandFlight& entry,
                               std::string_view registration);
// The first active live aircraft, parked or pushing back, with another callsign, at one
// of the adjacent stands and within 1.1 x the two half spans of the stand; null when none.
const LiveAc* lf_isParkedBlocking(const std::vector<uint32_t>& adjacent, const ParkStand& stand,
                                  const FlightTexts& ac);
