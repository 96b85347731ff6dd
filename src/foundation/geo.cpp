#include "foundation/geo.h"

#include <algorithm>
#include <cmath>

double gf_distanceNm(const GeoPos& a, const GeoPos& b)
{
    const double phiA = a.latitude * g_degToRad;
    const double phiB = b.latitude * g_degToRad;
    const double sinDPhi = std::sin((phiB - phiA) / 2);
    const double sinDLon = std::sin((b.longitude - a.longitude) * g_degToRad / 2);
    double h = sinDPhi * sinDPhi + std::cos(phiB) * std::cos(phiA) * sinDLon * sinDLon;
    // Rounding can push h just past 1 for near-antipodal points, and sqrt(1 - h) is NaN then.
    h = std::clamp(h, 0.0, 1.0);
    return std::atan2(std::sqrt(h), std::sqrt(1 - h)) * g_earthDiameterNm;
}

double gf_bearingRad(const GeoPos& from, const GeoPos& to)
{
    const double phiFrom = from.latitude * g_degToRad;
    const double phiTo = to.latitude * g_degToRad;
    const double dl = (to.longitude - from.longitude) * g_degToRad;
    const double theta = std::atan2(std::sin(dl) * std::cos(phiTo),
                                    std::cos(phiFrom) * std::sin(phiTo) - std::sin(phiFrom) * std::cos(phiTo) * std::cos(dl));
    return theta < 0 ? theta + g_fullCircle : theta;
}

GeoPos gf_destinationPoint(const GeoPos& from, double courseRad, double distanceFt)
{
    const double d = distanceFt * g_footAsAngle;
    const double phi1 = from.latitude * g_degToRad;
    const double lon1 = from.longitude * g_degToRad;
    const double phi2 = std::asin(std::clamp(
        std::sin(phi1) * std::cos(d) + std::cos(phi1) * std::sin(d) * std::cos(courseRad), -1.0, 1.0));
    double lon2 = lon1 + std::atan2(std::sin(courseRad) * std::sin(d) * std::cos(phi1),
                                    std::cos(d) - std::sin(phi1) * std::sin(phi2));
    lon2 = std::remainder(lon2, g_fullCircle);
    return {phi2 * g_radToDeg, lon2 * g_radToDeg};
}
