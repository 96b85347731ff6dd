#pragma once
// The scenario harness of the live aircraft engine (documented in tests/traffic/README.md).
// It drives lf_handleAddingStack on this thread with an injected clock, 10 ms per tick and
// no sleeping; a scripted feed turns reference flights into received records at
// RealTraffic's cadence; an in-process simulator plays the "SimClient" thread at 30 or 60
// frames a second over a terrain model and keeps every object's state per frame. One
// Scenario at a time.
#include <cstdint>
#include <map>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "feed/live_flight_record.h"
#include "simlink/sim_object_events.h"
#include "support/sc_test_support.h"
#include "support/test_support.h"

namespace traffictest {

// One state of a reference flight at a scenario time (seconds from the start).
struct TrackPoint {
    double t = 0.0;
    double lat = 0.0;
    double lon = 0.0;
    double altFt = 0.0; // 0 on the ground, as RealTraffic reports it
    double gsKt = 0.0;
    double trackDeg = 0.0;
    double vsFpm = 0.0;
    bool onGround = false;
    double headingDeg = -1.0; // the true heading reported; none when negative
};

// What the real aircraft did: its points, linear in between.
struct ReferenceFlight {
    uint32_t hexid = 0; // above 10000
    FlightTexts texts;
    std::vector<TrackPoint> points; // by time
    TrackPoint at(double t) const;
};

// How RealTraffic reports: a record every minGapS to maxGapS seconds, timestamps off by up
// to jitterS, a share of reports lost and a share sent twice.
struct FeedScript {
    double minGapS = 2.0;
    double maxGapS = 8.0;
    double jitterS = 0.0;
    double lossRate = 0.0;
    double duplicateRate = 0.0;
    // The reports pass RealTraffic's traffic-line parser, with the park airport's elevation
    // as its reference: its ground rules decide what is on the ground, and lines it refuses
    // are lost.
    bool asLines = false;
    // One report at each reference point, at its time (the gaps, jitter and loss unused).
    bool atPoints = false;
    // A receiver's noise on each report: its position moved by up to positionNoiseM in a
    // random direction, its track by up to trackNoiseDeg either way (no draw while both are 0).
    double positionNoiseM = 0.0;
    double trackNoiseDeg = 0.0;
    // A share of reports whose track comes as 0, as RealTraffic sends a missing one (and a
    // north one); drawn only while above 0.
    double missingTrackRate = 0.0;
    // Scenario times (from, to) in which RealTraffic has lost the aircraft: the last report
    // comes just before, the next at its end.
    std::vector<std::pair<double, double>> silences;
    // Keep each report as it was queued (Scenario::reports()).
    bool keepReports = false;
};

// A report as the engine received it (after the traffic-line parser with asLines).
struct SentReport {
    uint32_t hexid = 0;
    double t = 0.0; // scenario time it was sent; due 30 s later
    double lat = 0.0;
    double lon = 0.0;
    double altFt = 0.0;
    double gsKt = 0.0;
    double trackDeg = 0.0;
    bool airborne = false;
};

using TerrainFt = double (*)(double lat, double lon);

struct SimScript {
    int fps = 60;
    double cgHeightFt = 8.0;
    double staticPitchRad = 0.01;
    double failedCreationRate = 0.0;
    int minBindFrames = 2; // frames from the creation to the binding
    int maxBindFrames = 2;
    double lostOnGroundRate = 0.0; // in-range reports not sent
    TerrainFt terrainFt = nullptr; // flat at 0 ft when null
    TrackPoint user;               // the user aircraft
    bool keepTracks = false;       // per-object tracks for the metrics
    // Faults of the binding, drawn per creation from the scenario's seed (no draw while a
    // rate is 0): the object binds only after lateBindS seconds, never binds, or is removed
    // by the simulator between its binding and its activation.
    double lateBindRate = 0.0;
    double lateBindS = 45.0;
    double neverBindRate = 0.0;
    double removeBeforeActivationRate = 0.0;
};

// One object's state as the simulator shows it in a frame.
struct TrackSample {
    double t = 0.0;
    double lat = 0.0;
    double lon = 0.0;
    double altFt = 0.0;
    double pitchDeg = 0.0;
    double bankDeg = 0.0;
    double headingDeg = 0.0;
    bool onGround = false;
};

struct SimObject {
    uint32_t id = 0;
    uint32_t hexid = 0;
    std::string callsign;
    TrackSample state;
    int64_t bindFrame = 0;
    int64_t dropFrame = -1; // the simulator removes it on its own in this frame
    bool bound = false;
    bool moved = false;              // a position arrived in the current frame
    std::vector<TrackSample> track;  // with keepTracks
    std::vector<std::string> events; // with keepTracks: "event data" of its client events, "controls" sets
    std::string type;                // of the record it was made for
    std::string title;               // the livery it was created with
    // Where and since when it stands: it moved less than half a metre since then.
    double stillLat = 0.0;
    double stillLon = 0.0;
    double stillSince = 0.0;
};

struct Counts {
    uint64_t creations = 0; // objects made
    uint64_t failedCreations = 0;
    uint64_t lateBinds = 0;  // bound after lateBindS
    uint64_t neverBound = 0; // made, never bound
    uint64_t droppedBeforeActivation = 0;
    uint64_t removals = 0;
    uint64_t repeatedRemovals = 0; // of an object already gone
    uint64_t unknownRemovals = 0;  // of an object never made
    uint64_t maxLiveCount = 0;     // new + queued + active live aircraft, at its largest
    uint64_t nonFiniteTicks = 0;   // ticks with a value that is not finite in the engine
};

class Scenario {
public:
    Scenario(std::vector<ReferenceFlight> flights, FeedScript feed, SimScript sim, uint32_t seed);
    ~Scenario();
    Scenario(const Scenario&) = delete;
    Scenario& operator=(const Scenario&) = delete;

    // Runs traffic passes for the seconds, with the feed and the simulator frames due.
    void run(double seconds);
    double time() const { return static_cast<double>(tick_) / 100.0; }
    uint64_t tick() const { return tick_; }
    const Counts& counts() const { return counts_; }
    // With FeedScript::keepReports, every report queued, in order.
    const std::vector<SentReport>& reports() const { return reports_; }
    // The objects in the simulator, and those it has removed.
    const std::map<uint32_t, SimObject>& objects() const { return objects_; }
    const std::map<uint32_t, SimObject>& removedObjects() const { return removed_; }
    // Objects in the simulator that no record holds, and records holding an object the
    // simulator does not have. An object never bound counts unless the engine still waits
    // for it: one per hexid that has a creation sent and unbound, or a withdrawn creation
    // it remembers.
    uint64_t orphans() const;
    // The objects never bound come into the simulator's range at last: they bind with the
    // next frame.
    void bindTheNeverBound();
    // The time of week runs from Monday 10:00 at this many minutes a second (one unless set).
    void setWeekClock(double minutesPerSecond) { weekMinutesPerSecond_ = minutesPerSecond; }
    // The user aircraft is now there, on the ground or not.
    void placeUser(const TrackPoint& user);

private:
    void feed();
    void addNoise(PosSample& s);
    void frame();
    void takeQueues();
    void takeDirectRequests();
    void reportObjects();
    void keepTrack();
    void checkEngine();
    void scheduleBinding(SimObject& o);
    void dropBeforeActivation(std::vector<SimObjectEvent>& events);
    double terrain(double lat, double lon) const;

    std::vector<ReferenceFlight> flights_;
    std::vector<double> nextReport_;
    std::vector<size_t> nextPoint_; // with atPoints
    FeedScript feedScript_;
    SimScript sim_;
    std::mt19937 random_;
    uint64_t tick_ = 0;
    int64_t frame_ = 0;
    uint32_t nextObjectId_ = 100;
    double weekMinutesPerSecond_ = 1.0 / 60.0;
    std::map<uint32_t, SimObject> objects_;
    std::map<uint32_t, SimObject> removed_;
    std::vector<uint32_t> failedHexids_;
    std::vector<uint32_t> removing_; // removed in this frame
    Counts counts_;
    std::vector<SentReport> reports_;
    tavtest::TempFolder data_{"tav-scenario"};
    sctest::TestConnection connection_;
};

// The live aircraft that count against MAX_LIVE_SEL: new, queued and active.
uint64_t gf_liveSelCount();

} // namespace traffictest
