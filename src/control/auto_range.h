#pragma once
// Auto range: the traffic range from the user's altitude and the nearest park airport.
#include <cstdint>

// Nautical miles: 10 on the ground; 100 above arAboveHeightFt, 40 above airportHeightFt;
// lower down by the distance to the park airport, from 10 within 7 nm to 40 from 37 nm.
int32_t gf_autoRangeNm(bool onGround, double altitudeFt, double parkAirportDistanceNm, int32_t arAboveHeightFt,
                       int32_t airportHeightFt);
// Chooses the range for the user aircraft now and selects it in RANGE.
void lf_autoRange();
