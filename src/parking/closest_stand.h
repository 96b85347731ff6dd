#pragma once
// The stand nearest to a position in another airport's park file.
#include <string>
#include <string_view>

#include "foundation/geo.h"

// The distance in nautical miles from the position to the nearest stand of the airport's
// park file, with that stand's id in standId; 100.0 (standId unchanged) when no park file
// can be read or no stand lies nearer than 100 nm.
double gf_readDestApfForClosestStand(std::string_view code, const GeoPos& position, std::string& standId);
