#pragma once
// Flies a generated route through the scenario harness (the traffic-line parser, the
// intake, the traffic pass on every 10 ms tick, the positions as the simulator receives
// them) and judges the flown track against the route's truth 30 s earlier, as a user
// watching the aircraft would (documented in tests/traffic/README.md).
#include <string>
#include <string_view>
#include <vector>

#include "support/route_generator.h"

namespace traffictest {

struct CheckResult {
    std::string name;
    const char* unit = "";
    double worst = 0.0; // the value where it came nearest to its limit, or went farthest past it
    double limit = 0.0; // the limit that applied there
    double atS = -1.0;  // scenario time of the worst (the flown track's time); negative when none
    bool judged = false; // the route has something this check judges
    std::string note;    // what a number cannot say ("never pushed back")
    bool pass() const { return !judged || worst <= limit; }
    double share() const { return judged && limit > 0.0 ? worst / limit : (judged && worst > limit ? 1e9 : 0.0); }
};

// For plotting: the flown track, the reports and the truth in metres from the route's origin.
struct RouteTrace {
    struct Frame {
        double t, east, north, headingDeg, altFt;
    };
    struct Report {
        double t, east, north, gsKt, trackDeg;
    };
    std::vector<Frame> flown;     // every frame with a new position
    std::vector<Report> reports;  // as the engine received them
    std::vector<TruthState> truth; // every second
};

struct RouteOutcome {
    uint32_t seed = 0;
    RouteKind kind = RouteKind::Turns;
    std::string type;
    std::string drawn;
    std::vector<CheckResult> checks;
    RouteTrace trace;
    // Every check but "real way" within its limit.
    bool pass() const;
    // And on the real way too.
    bool keepsToRealWay() const;
    // The largest share of its limit any counted check reached.
    double worstShare() const;
    // "path 28.9 m (limit 8) at 123.4 s; nose ..." of the failing checks.
    std::string failures() const;
};

// The checks in the order they are reported. The last, "real way", is the path check against
// the real aircraft's path alone: a bend it made whole between two reports, which no report
// shows, is past it. It is shown and kept by the tables of a behaviour, not counted in pass().
const std::vector<std::string>& routeCheckNames();
bool routeCheckCounts(std::string_view name);

RouteOutcome runRoute(const GeneratedRoute& route, bool keepTrace);
// A fault put into a replay of the truth, for the checks' own test: the track moved to the
// right of its course, the nose turned right, the whole replay later, the reports sparse or
// some without a track.
struct ReplayFault {
    double rightM = 0.0;
    double noseDeg = 0.0;
    double lateS = 0.0;
    double chordsS = 0.0; // reported only every so many seconds, flown straight between the reports
    size_t trackMissingEvery = 0; // every so many reports sent without a track (0, the feed's missing one)
};
// The checks on the real aircraft's own track replayed 30 s late, every stop reported: what a
// perfect engine would fly. It passes every check, or the checks judge the harness.
RouteOutcome judgeTruthReplay(const GeneratedRoute& route, const ReplayFault& fault = {});

} // namespace traffictest
