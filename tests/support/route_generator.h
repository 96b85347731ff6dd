#pragma once
// Seeded routes for the motion harness (documented in tests/traffic/README.md): from a seed,
// a kind and a type, what the real aircraft did (its truth, every 0.1 s: straight legs
// joined by arcs of the type's radius, speeds changing at real accelerations) and how
// RealTraffic reports it (spacing, noise, gaps), with the park airport's stands the route
// needs and the user aircraft out of the way. The same seed gives the same route.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/geo.h"
#include "support/traffic_scenario.h"

namespace traffictest {

enum class RouteKind {
    Turns,       // taxiway networks with 30-150 degree turns
    RightAngles, // a series of alternating right angles
    STurns,
    UTurn,
    Hold,        // taxi, hold short, taxi on
    SpeedChange, // 5 -> 25 -> 5 kt
    Exit,        // short final, touchdown, roll-out, high-speed exit, taxi
    LineUp,      // taxi, line-up, stop, take-off roll, climb
    PushBack,    // parked, pushed back with a swing, a stop, taxi away
    ToStand,     // taxi onto a stand of the park airport
    GapTurn,     // airborne: a turn the reports do not show
};

inline constexpr RouteKind g_routeKinds[] = {
    RouteKind::Turns,  RouteKind::RightAngles, RouteKind::STurns,   RouteKind::UTurn,
    RouteKind::Hold,   RouteKind::SpeedChange, RouteKind::Exit,     RouteKind::LineUp,
    RouteKind::PushBack, RouteKind::ToStand,   RouteKind::GapTurn};
inline constexpr const char* g_routeTypes[] = {"A320", "B744", "C172", "AT72"};

// "turns", "right angles", "S-turns", "U-turn", "hold", "speed change", "exit", "line-up",
// "push-back", "to stand", "gap turn".
std::string_view routeKindName(RouteKind kind);
// Also accepts the names with '-' or '_' for the spaces.
std::optional<RouteKind> routeKindFromName(std::string_view name);

// What the real aircraft is doing.
enum class TruthPhase {
    Taxi,
    Push,   // pushed back: moving tail first
    Runway, // the take-off roll or the roll-out
    Air,
};

struct TruthState {
    double t = 0.0;     // scenario seconds
    double east = 0.0;  // metres from the route's origin
    double north = 0.0;
    double altFt = 0.0; // above the terrain (flat at the park airport's elevation, 0 ft)
    double gsKt = 0.0;
    double trackDeg = 0.0;   // the direction of travel
    double headingDeg = 0.0; // of the nose; the track's opposite while pushed back
    double vsFpm = 0.0;
    bool onGround = true;
    TruthPhase phase = TruthPhase::Taxi;
};

struct RouteStand {
    std::string id;
    double east = 0.0;
    double north = 0.0;
    double headingDeg = 0.0;
    double radiusM = 0.0;
};

struct GeneratedRoute {
    uint32_t seed = 0;
    RouteKind kind = RouteKind::Turns;
    std::string type;
    double halfSpanM = 0.0;
    GeoPos origin;                  // east and north are measured from here
    std::vector<TruthState> truth;  // every 0.1 s
    double endS = 0.0;              // the route ends here; the truth goes on 45 s as it ended,
                                    // so that its end is reported ahead as the rest is
    ReferenceFlight flight;         // the truth as the feed reports it
    FeedScript feed;                // through the traffic-line parser, noisy, kept
    TrackPoint user;                // on the ground, away from the route
    GeoPos parkAirport;             // elevation 0 ft
    std::vector<RouteStand> stands; // of the park airport
    int routeStand = -1;            // the stand pushed back from or taxied to
    std::string drawn;              // the drawn figures in words
};

GeneratedRoute generateRoute(uint32_t seed, RouteKind kind, std::string_view type);

// Local metres east and north of an origin, on a plane (routes span a few kilometres).
GeoPos routeGeo(const GeoPos& origin, double east, double north);
void routeLocal(const GeoPos& origin, double lat, double lon, double& east, double& north);

} // namespace traffictest
