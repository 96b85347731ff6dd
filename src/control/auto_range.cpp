#include "control/auto_range.h"

#include <cmath>
#include <mutex>

#include "foundation/geo.h"
#include "foundation/settings_catalogue.h"
#include "parking/park_airports.h"
#include "traffic/traffic_service.h"
#include "ui/control_ops.h"

namespace {

struct RangeStep {
    double fromNm; // the rounded distance at least
    int32_t rangeNm;
};

constexpr RangeStep kDistanceSteps[] = {{33, 35}, {28, 30}, {23, 25}, {19, 20}, {17, 18},
                                        {15, 16}, {13, 14}, {11, 12}, {9, 10}};
constexpr double kNoParkAirportNm = 10000.0;

} // namespace

int32_t gf_autoRangeNm(bool onGround, double altitudeFt, double parkAirportDistanceNm, int32_t arAboveHeightFt,
                       int32_t airportHeightFt)
{
    if (onGround)
        return 10;
    if (altitudeFt > arAboveHeightFt)
        return 100;
    if (altitudeFt > airportHeightFt)
        return 40;
    if (parkAirportDistanceNm <= 7.0)
        return 10;
    if (parkAirportDistanceNm >= 37.0)
        return 40;
    const double rounded = std::round(parkAirportDistanceNm);
    for (const RangeStep& step : kDistanceSteps) {
        if (rounded >= step.fromNm)
            return step.rangeNm;
    }
    return 8;
}

void lf_autoRange()
{
    const UserState user = gf_userSnapshotCopy();
    double distanceNm = kNoParkAirportNm;
    {
        std::lock_guard lock(g_parkAirportsMutex);
        if (!g_parkAirports.empty())
            distanceNm = gf_distanceNm({user.latitude, user.longitude},
                                       {g_parkAirports.front().lat, g_parkAirports.front().lon});
    }
    gf_selectComboInt(gf_autoRangeNm(gf_simLink().userOnGround(), user.altitude, distanceNm, AR_ABOVE_HEIGHT.value,
                                     AIRP_HEIGHT.value));
}
