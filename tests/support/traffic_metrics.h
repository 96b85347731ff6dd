#pragma once
// The figures by which a scenario's tracks are judged against the reference flights.
#include <vector>

#include "foundation/geo.h"
#include "support/traffic_scenario.h"

namespace traffictest {

// The reference lies 30 s ahead of what the engine flies (records are due 3000 ticks late).
inline constexpr double g_referenceShiftS = 30.0;

// The largest distance in metres of the samples from the straight leg a -> b, over the
// samples that lie between its ends.
double gf_maxCrossTrackM(const std::vector<TrackSample>& track, const GeoPos& a, const GeoPos& b);

struct Deviation {
    double horizontalM = 0.0;
    double verticalFt = 0.0;
};
// The largest distance from the reference at t - shift, over the samples more than minAglFt
// above the terrain (flat at 0 ft when null).
Deviation gf_airborneDeviation(const std::vector<TrackSample>& track, const ReferenceFlight& ref, double shiftS,
                               double minAglFt, TerrainFt terrain = nullptr);
// The same errors' median over those samples.
Deviation gf_airborneMedian(const std::vector<TrackSample>& track, const ReferenceFlight& ref, double shiftS,
                            double minAglFt, TerrainFt terrain = nullptr);
// Frames whose step is longer than 1.5 x the reported ground speed x the frame time + 1 m.
int gf_excessSteps(const std::vector<TrackSample>& track, const ReferenceFlight& ref, double shiftS);

// The steps beyond the speeds' allowance: horizontal as above; vertical, an altitude change
// larger than 1.5 x the reported vertical speed (at least 1800 ft/min) x the frame time
// + 1 ft. Each with the number of frames and the largest excess beyond the allowance.
struct StepExcess {
    int horizontalFrames = 0;
    double largestHorizontalM = 0.0;
    int verticalFrames = 0;
    double largestVerticalFt = 0.0;
};
StepExcess gf_stepExcess(const std::vector<TrackSample>& track, const ReferenceFlight& ref, double shiftS);

struct Touchdown {
    bool found = false;
    TrackSample at;
    double sinkRateFpm = 0.0; // over the second before
};
Touchdown gf_touchdown(const std::vector<TrackSample>& track);

struct Runway {
    GeoPos threshold;
    GeoPos end;
    double widthM = 45.0;
};
bool gf_insideRunway(const GeoPos& p, const Runway& runway);

struct StandStop {
    double distanceM = 0.0;
    double headingErrorDeg = 0.0;
};
// Where the track came to rest against the stand.
StandStop gf_standStop(const std::vector<TrackSample>& track, const GeoPos& stand, double standHeadingDeg);

bool gf_trackFinite(const std::vector<TrackSample>& track);

} // namespace traffictest
