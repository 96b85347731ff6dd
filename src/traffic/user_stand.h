#pragma once
// The stand under a position at the current park airport.
#include <string>

#include "foundation/geo.h"

// The id of the stand under the position; empty when there is none.
std::string gf_userStand(const GeoPos& position);
