#pragma once
// Parts of the airports table that the tests reach directly.
#include <functional>
#include <string>

#include "parking/airports.h"

// The distance to the airport's nearest stand, as gf_readDestApfForClosestStand gives it.
using StandDistanceFn = std::function<double(std::string_view code, const GeoPos& position, std::string& standId)>;

// gf_closestAirport over the table with the stand distances of the given function.
const Airport* lf_closestAirport(const GeoPos& position, const StandDistanceFn& standDistance);
// Empties the table so that the next gf_readAirports reads the file again.
void lf_forgetAirports();
