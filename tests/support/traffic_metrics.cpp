#include "support/traffic_metrics.h"

#include <algorithm>
#include <cmath>

namespace traffictest {
namespace {

constexpr double kMetresPerNm = 1852.0;
constexpr double kMetresPerDegree = 60.0 * kMetresPerNm;
constexpr double kStepFactor = 1.5;
constexpr double kStepAllowanceM = 1.0;
constexpr double kStepAllowanceFt = 1.0;
constexpr double kLeastClimbFpm = 1800.0;
constexpr double kKtToMps = kMetresPerNm / 3600.0;

struct Local {
    double x = 0.0; // east, metres
    double y = 0.0; // north, metres
};

Local lf_local(const GeoPos& origin, double lat, double lon)
{
    return {(lon - origin.longitude) * kMetresPerDegree * std::cos(origin.latitude * g_degToRad),
            (lat - origin.latitude) * kMetresPerDegree};
}

double lf_metres(const TrackSample& s, const GeoPos& p)
{
    return gf_distanceNm({s.lat, s.lon}, p) * kMetresPerNm;
}

} // namespace

double gf_maxCrossTrackM(const std::vector<TrackSample>& track, const GeoPos& a, const GeoPos& b)
{
    const Local end = lf_local(a, b.latitude, b.longitude);
    const double length = std::hypot(end.x, end.y);
    double worst = 0.0;
    for (const TrackSample& s : track) {
        const Local p = lf_local(a, s.lat, s.lon);
        const double along = (p.x * end.x + p.y * end.y) / length;
        if (along < 0.0 || along > length)
            continue;
        worst = std::max(worst, std::fabs(p.x * end.y - p.y * end.x) / length);
    }
    return worst;
}

Deviation gf_airborneDeviation(const std::vector<TrackSample>& track, const ReferenceFlight& ref, double shiftS,
                               double minAglFt, TerrainFt terrain)
{
    Deviation worst;
    for (const TrackSample& s : track) {
        if (s.altFt - (terrain != nullptr ? terrain(s.lat, s.lon) : 0.0) <= minAglFt)
            continue;
        const TrackPoint r = ref.at(s.t - shiftS);
        worst.horizontalM = std::max(worst.horizontalM, lf_metres(s, {r.lat, r.lon}));
        worst.verticalFt = std::max(worst.verticalFt, std::fabs(s.altFt - r.altFt));
    }
    return worst;
}

Deviation gf_airborneMedian(const std::vector<TrackSample>& track, const ReferenceFlight& ref, double shiftS,
                            double minAglFt, TerrainFt terrain)
{
    std::vector<double> horizontal;
    std::vector<double> vertical;
    for (const TrackSample& s : track) {
        if (s.altFt - (terrain != nullptr ? terrain(s.lat, s.lon) : 0.0) <= minAglFt)
            continue;
        const TrackPoint r = ref.at(s.t - shiftS);
        horizontal.push_back(lf_metres(s, {r.lat, r.lon}));
        vertical.push_back(std::fabs(s.altFt - r.altFt));
    }
    if (horizontal.empty())
        return {};
    const auto middle = static_cast<std::ptrdiff_t>(horizontal.size() / 2);
    std::nth_element(horizontal.begin(), horizontal.begin() + middle, horizontal.end());
    std::nth_element(vertical.begin(), vertical.begin() + middle, vertical.end());
    return {horizontal[static_cast<size_t>(middle)], vertical[static_cast<size_t>(middle)]};
}

int gf_excessSteps(const std::vector<TrackSample>& track, const ReferenceFlight& ref, double shiftS)
{
    return gf_stepExcess(track, ref, shiftS).horizontalFrames;
}

StepExcess gf_stepExcess(const std::vector<TrackSample>& track, const ReferenceFlight& ref, double shiftS)
{
    StepExcess e;
    for (size_t i = 1; i < track.size(); ++i) {
        const double dt = track[i].t - track[i - 1].t;
        const TrackPoint r = ref.at(track[i].t - shiftS);
        const double beyondM = lf_metres(track[i], {track[i - 1].lat, track[i - 1].lon}) -
                               (kStepFactor * r.gsKt * kKtToMps * dt + kStepAllowanceM);
        const double climbFtPerS = std::max(std::fabs(r.vsFpm), kLeastClimbFpm) / 60.0;
        const double beyondFt = std::fabs(track[i].altFt - track[i - 1].altFt) -
                                (kStepFactor * climbFtPerS * dt + kStepAllowanceFt);
        if (beyondM > 0.0) {
            ++e.horizontalFrames;
            e.largestHorizontalM = std::max(e.largestHorizontalM, beyondM);
        }
        if (beyondFt > 0.0) {
            ++e.verticalFrames;
            e.largestVerticalFt = std::max(e.largestVerticalFt, beyondFt);
        }
    }
    return e;
}

Touchdown gf_touchdown(const std::vector<TrackSample>& track)
{
    Touchdown td;
    for (size_t i = 1; i < track.size(); ++i) {
        if (!track[i].onGround || track[i - 1].onGround)
            continue;
        td.found = true;
        td.at = track[i];
        size_t j = i;
        while (j > 0 && track[i].t - track[j].t < 1.0)
            --j;
        const double dt = track[i].t - track[j].t;
        td.sinkRateFpm = dt > 0.0 ? (track[j].altFt - track[i].altFt) / dt * 60.0 : 0.0;
        return td;
    }
    return td;
}

bool gf_insideRunway(const GeoPos& p, const Runway& runway)
{
    const Local end = lf_local(runway.threshold, runway.end.latitude, runway.end.longitude);
    const Local q = lf_local(runway.threshold, p.latitude, p.longitude);
    const double length = std::hypot(end.x, end.y);
    const double along = (q.x * end.x + q.y * end.y) / length;
    const double across = std::fabs(q.x * end.y - q.y * end.x) / length;
    return along >= 0.0 && along <= length && across <= runway.widthM / 2.0;
}

StandStop gf_standStop(const std::vector<TrackSample>& track, const GeoPos& stand, double standHeadingDeg)
{
    if (track.empty())
        return {1e9, 180.0};
    const TrackSample& last = track.back();
    const double error = std::remainder(last.headingDeg - standHeadingDeg, 360.0);
    return {lf_metres(last, stand), std::fabs(error)};
}

bool gf_trackFinite(const std::vector<TrackSample>& track)
{
    return std::all_of(track.begin(), track.end(), [](const TrackSample& s) {
        return std::isfinite(s.lat) && std::isfinite(s.lon) && std::isfinite(s.altFt) && std::isfinite(s.pitchDeg) &&
               std::isfinite(s.bankDeg) && std::isfinite(s.headingDeg);
    });
}

} // namespace traffictest
