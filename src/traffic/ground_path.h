#pragma once
// The way a live aircraft takes on the ground, laid from its reports alone: straight legs
// between the reports, a corner hidden between two reports where their tracks meet, a
// curve where the reports turn back, and every corner rounded by a quadratic curve with the
// corner as its control point. Where the aircraft is plays no part in it: an aircraft off
// the way comes back onto it along a join. Positions are metres north and east of the
// path's origin; headings radians clockwise from north, of the direction of travel.
#include <cstddef>
#include <vector>

#include "foundation/geo.h"
#include "traffic/plane_curves.h"

// One report as the path takes it.
struct PathReport {
    double north = 0.0;
    double east = 0.0;
    double trackRad = 0.0;
    bool trackKnown = false; // moving fast enough for its track to tell the way
    bool restTrackGiven = false; // at rest with a track: the last one, or the nose
    bool zeroTrack = false;      // rolling with a track of 0: none given, or due north
    double speedKt = 0.0;
    double timeS = 0.0; // when the real aircraft was there
};

struct PathPoint {
    double north = 0.0;
    double east = 0.0;
    double heading = 0.0;   // of the direction of travel, in [0, 2 pi)
    double station = 0.0;   // metres along the path
    double curvature = 0.0; // 1 / radius in metres, 0 on a straight
};

// How close a rounded corner keeps to its corner.
struct PathShape {
    double cornerPassM = 8.0;
    double fastCornerPassM = 8.0; // from fastSpeedKt on (a heavy aircraft swings wider)
    double fastSpeedKt = 20.0;
    double turnRadPerS = 0.0; // the most the nose turns following a curve; 0: unknown
    bool stopOnStand = false; // the stop the reports end at is a stand's place, not a report's
};

struct GroundPath {
    double originLat = 0.0; // degrees
    double originLon = 0.0;
    std::vector<PathPoint> points;
    std::vector<double> reportStations; // one per report laid, in their order
};

// Lays the path through the reports, in their order.
void gf_layGroundPath(const std::vector<PathReport>& reports, const PathShape& shape, GroundPath& path);

double gf_pathLength(const GroundPath& path);
// The point at a station (clamped to the path); hint: a point index near it, kept between
// calls so that a walk along the path costs nothing.
PathPoint gf_pathPointAt(const GroundPath& path, double station, size_t& hint);

struct PathProjection {
    double station = 0.0;
    double distance = 0.0; // metres from the path
};
// The nearest point of the path between two stations.
PathProjection gf_projectOnPath(const GroundPath& path, double north, double east, double fromStation,
                                double toStation);

// For the ways laid beside this one (the push's): a point after the last, its station the
// length added (none when it is where the last is); the nearest point of the points from
// index from up to index to.
void gf_appendPathPoint(std::vector<PathPoint>& points, Vec at, Vec tangent, double curvature);
PathProjection gf_nearestOnPoints(const std::vector<PathPoint>& points, Vec at, size_t from, size_t to);

// A curve from a pose off the path (or on it with another heading) onto the path at
// joinStation, which then replaces the path before it; stations are counted again from the
// pose, which becomes station 0, and the report stations with them.
void gf_joinPath(GroundPath& path, double north, double east, double heading, double fromStation,
                 double joinStation);

// Metres north and east of the path's origin, and back.
struct LocalPos {
    double north = 0.0;
    double east = 0.0;
};
LocalPos gf_toPathFrame(const GroundPath& path, const GeoPos& pos);
GeoPos gf_fromPathFrame(const GroundPath& path, double north, double east);
