#include "support/stand_traffic.h"

#include <cmath>

#include <fmt/format.h>

#include "parking/park_airports.h"
#include "parking/static_parking.h"
#include "traffic/engine_neighbours.h"

namespace traffictest {
namespace {

constexpr double kMetresPerNm = 1852.0;
constexpr double kCollisionFactor = 1.1;

double lf_trackDeg(const GeoPos& from, const GeoPos& to)
{
    return gf_bearingRad(from, to) / g_degToRad;
}

void lf_addLegs(ReferenceFlight& f, const std::vector<GeoPos>& route, double speedKt)
{
    for (size_t i = 1; i < route.size(); ++i) {
        TrackPoint p = f.points.back();
        const bool last = i + 1 == route.size();
        const double metres = gf_distanceNm(route[i - 1], route[i]) * kMetresPerNm;
        // The last leg slows to a stop: its mean speed is half.
        p.t += metres / (speedKt * kMetresPerNm / 3600.0) * (last ? 2.0 : 1.0);
        p.lat = route[i].latitude;
        p.lon = route[i].longitude;
        p.gsKt = last ? 0.0 : speedKt;
        p.trackDeg = lf_trackDeg(route[i - 1], route[i]);
        f.points.back().trackDeg = p.trackDeg;
        f.points.push_back(p);
    }
}

} // namespace

GeoPos gf_metresFrom(const GeoPos& centre, double northM, double eastM)
{
    const double degPerMetre = 1.0 / kMetresPerNm / 60.0;
    return {centre.latitude + northM * degPerMetre,
            centre.longitude + eastM * degPerMetre / std::cos(centre.latitude * g_degToRad)};
}

ReferenceFlight gf_taxiFlight(uint32_t hexid, const FlightTexts& texts, double startS, const std::vector<GeoPos>& route,
                              double speedKt, double standS)
{
    ReferenceFlight f;
    f.hexid = hexid;
    f.texts = texts;
    f.points.push_back({startS, route.front().latitude, route.front().longitude, 0, speedKt, 0, 0, true});
    lf_addLegs(f, route, speedKt);
    if (standS >= 0.0) {
        TrackPoint end = f.points.back();
        end.t += standS;
        f.points.push_back(end);
    }
    return f;
}

ReferenceFlight gf_standingFlight(uint32_t hexid, const FlightTexts& texts, double startS, const GeoPos& at,
                                  double standS, const std::vector<GeoPos>& route, double speedKt)
{
    ReferenceFlight f;
    f.hexid = hexid;
    f.texts = texts;
    f.points.push_back({startS, at.latitude, at.longitude, 0, 0, 0, 0, true});
    f.points.push_back({startS + standS, at.latitude, at.longitude, 0, 0, 0, 0, true});
    if (route.empty())
        return f;
    f.points.push_back({startS + standS + 1.0, at.latitude, at.longitude, 0, speedKt, 0, 0, true});
    std::vector<GeoPos> legs{at};
    legs.insert(legs.end(), route.begin(), route.end());
    lf_addLegs(f, legs, speedKt);
    return f;
}

void gf_setParkAirport(const std::string& code, const GeoPos& centre, std::vector<ParkStand> stands)
{
    g_parkAirport = {code, "", centre.latitude, centre.longitude, 0.0, static_cast<int32_t>(stands.size())};
    gf_publishParkAirport();
    g_parkStands = std::move(stands);
    gf_numberAndLinkStands(g_parkStands);
    g_parkStandsLoaded = true;
}

std::vector<std::string> gf_collisions(const Scenario& s, double stillS)
{
    std::vector<const SimObject*> standing;
    for (const auto& [id, o] : s.objects()) {
        if (o.bound && s.time() - o.stillSince >= stillS)
            standing.push_back(&o);
    }
    std::vector<std::string> pairs;
    for (size_t i = 0; i < standing.size(); ++i) {
        const SimObject& a = *standing[i];
        for (size_t j = i + 1; j < standing.size(); ++j) {
            const SimObject& b = *standing[j];
            // Nothing here spans a tenth of a mile: most pairs go without the trigonometry.
            if (std::fabs(a.state.lat - b.state.lat) > 0.002 || std::fabs(a.state.lon - b.state.lon) > 0.004)
                continue;
            const double reach =
                kCollisionFactor * (gf_engine().halfWingspan(a.type) + gf_engine().halfWingspan(b.type));
            if (gf_distanceNm({a.state.lat, a.state.lon}, {b.state.lat, b.state.lon}) < reach)
                pairs.push_back(fmt::format("{} and {}", a.callsign, b.callsign));
        }
    }
    return pairs;
}

} // namespace traffictest
