#pragma once
// Great-circle maths on a sphere: distances in nautical miles, courses in radians
// clockwise from true north, displacements in feet.

struct GeoPos {
    double latitude = 0.0;  // degrees, north positive
    double longitude = 0.0; // degrees, east positive
};

inline constexpr double g_degToRad = 0.017453292519943295;
inline constexpr double g_radToDeg = 57.29577951308232;
inline constexpr double g_fullCircle = 6.283185307179586;
inline constexpr double g_earthDiameterNm = 6875.493541569878;
inline constexpr double g_footAsAngle = 4.787404208238998e-8;

double gf_distanceNm(const GeoPos& a, const GeoPos& b);
// Initial course from one position to the other in [0, 2 pi).
double gf_bearingRad(const GeoPos& from, const GeoPos& to);
// The position reached along a course after a distance; longitude in [-180, 180].
GeoPos gf_destinationPoint(const GeoPos& from, double courseRad, double distanceFt);
