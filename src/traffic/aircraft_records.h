#pragma once
// The records of the live aircraft engine: the identity of one aircraft, an aircraft that
// stands at a stand (every static aircraft, and the first part of every live one), a live
// aircraft that follows received positions, their two states, the per-category motion
// constants and the small helpers every part of the engine uses on them. All of it
// belongs to the worker thread.
#include <array>
#include <cstdint>
#include <deque>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "catalogue/dbase.h"
#include "feed/live_flight_record.h"
#include "traffic/ground_path.h"
#include "traffic/ground_schedule.h"

enum class SimStatus : uint32_t {
    Buffer = 0,          // received, waiting to be created
    Adding2Sim = 1,      // creation requested
    Active = 2,          // in the simulator and moving
    LiveryRespawn = 3,   // being removed to be created again with another livery
    RemovingFromSim = 4, // removal requested
};

enum class FlightPhase : uint32_t {
    PushingBack = 0,
    PushedBack = 1,
    Taxi = 2,
    TakeOff = 3,
    Flying = 4,
    Parking = 5,
    Parked = 6,
    Birth = 7,
};

// The texts of a flight followed by the type data of one aircraft.
struct AcIdentity : FlightTexts {
    double halfSpan = 0.0;            // nautical miles
    double cgHeight = 0.0;            // ft above ground, as the simulator reports it
    double staticPitch = 0.0;         // radians, as the simulator reports it
    double takeOffPitch = 0.0;        // radians
    double climbPitch = 0.0;          // radians
    double groundTurnRate = 0.0;      // radians per tick
    double maxClimbPerTick = 0.0;     // ft; 0 for static aircraft
    double standApproachSpeed = 0.0;  // knots; 0 for static aircraft
    uint32_t hexid = 0;               // above 10000 live, else static
    TypeCategory category = TypeCategory::Large;
    std::string_view liveryTitle; // owned by the livery tables
    int32_t flareTicks = 0;
    int32_t touchdownTicks = 0;
    int32_t rotationTicks = 0;
    int32_t climbPitchTicks = 0;
    bool cargo = false;       // the registration's database record says cargo
    bool fsltlLivery = false; // the livery title contains "FSLTL_"
};

struct StaticAc : AcIdentity {
    StaticAc() = default;
    StaticAc(AcIdentity&& identity, uint32_t standNumber_, double standLat_, double standLon_, double standHeading_,
             bool cargoStand_);

    uint32_t objectId = 0; // 0 until the object is bound
    double standLat = 0.0; // degrees
    double standLon = 0.0;
    double standHeading = 0.0;    // radians
    int64_t parkedTimeOfWeek = 0; // when a live aircraft parked; 0 before
    uint32_t standNumber = 0;     // from 1; 0 for none
    SimStatus status = SimStatus::Buffer;
    uint32_t throttleIndex = 5; // last sent, 0..4; 5: none sent yet
    uint32_t flapsIndex = 4;    // last sent, 0..4
    bool cargoStand = false;
    bool removeWhenCreated = false; // removal asked while the creation was with the simulator
    bool erase = false;             // erased at the end of the traffic pass
    bool removed = false;           // the queued creation was withdrawn before it was sent
    // The traffic tick at which the creation went to the simulator; none before.
    std::optional<uint32_t> creationSentTick;
};

// The eight values sent as one object's position: the order of PosUpdate.
struct PositionBlock {
    double latitude = 0.0;  // degrees
    double longitude = 0.0; // degrees
    double pitch = 0.0;     // radians, negative nose up
    double bank = 0.0;      // radians
    double heading = 0.0;   // radians, true
    double altitude = 0.0;  // ft
    double verticalSpeed = 0.0; // ft/s
    double trueAirspeed = 0.0;  // knots
};

// A live aircraft on the ground: the path its reports lay, where it is along it and the
// speed plan that times it.
struct GroundTrack {
    GroundPath path;
    SpeedPlan plan;
    std::vector<ScheduleTarget> targets;
    std::vector<PosSample> passed; // the last reports reached on the ground: the way behind
    std::vector<double> speedLimits; // m/s at each path point: its curves at the type's turn rate
    double station = 0.0;  // metres along the path
    double speed = 0.0;    // m/s along the path
    double planStation = 0.0; // where the plan has it now
    ScheduleTarget previous; // the report reached last
    size_t hint = 0;
    int64_t replanTick = 0;
    int64_t pivotStart = 0;
    double pivotHeading = 0.0; // radians: standing, it turns to this first
    bool active = false;
    bool reverse = false; // pushed: the tail leads
    bool pivot = false;
};

// A turn hidden in a gap of the reports: its points in metres north and east of where it
// began, with the heading and the length flown to each.
struct AirTurnPoint {
    double north = 0.0;
    double east = 0.0;
    double heading = 0.0; // radians
    double along = 0.0;   // metres
};
struct AirTurn {
    double originLat = 0.0; // degrees
    double originLon = 0.0;
    std::array<AirTurnPoint, 40> points{};
    size_t count = 0;
    int64_t startTick = 0;
    int64_t endTick = 0;
    bool active = false;
    // The airborne report passed before the one the turn leaves from: with the two either
    // side of the gap it tells the real track better than one noisy reported track.
    double beforeLat = 0.0; // degrees
    double beforeLon = 0.0;
    int64_t beforeTick = 0;
    bool beforeKnown = false;
    // The one passed before that: where the aircraft flew on from the last report without a
    // new one, it lies too near that report to tell a circle with it.
    double earlierLat = 0.0;
    double earlierLon = 0.0;
    int64_t earlierTick = 0;
    bool earlierKnown = false;
};

// The per-tick motion values of a live aircraft.
struct MotionState {
    double latitudeStep = 0.0;  // degrees per tick
    double longitudeStep = 0.0; // degrees per tick
    double pitchStep = 0.0;     // radians per tick
    double bankStep = 0.0;
    double headingStep = 0.0;
    double altitudeStep = 0.0; // ft per tick
    double targetVerticalSpeed = 0.0; // ft/min of the next sample
    double targetTrueAirspeed = 0.0;  // knots
    double targetHeading = 0.0;       // radians
    double altitudeAboveGround = 2500.0; // ft, from the simulator's in-range data
    double heightAboveParkAirport = 0.0;
    std::optional<double> cachedGroundElevation;
    double savedHeading = 0.0;   // radians
    double stepSpeed = 0.0;      // knots, of the current step
    double touchdownHeading = 0.0;
    double respawnHeading = 0.0; // the heading when the object went for a livery respawn
    double firstStandDistance = 0.0;   // nautical miles, while parked
    double largestStandDistance = 0.0; // nautical miles, while parked
    int32_t stepCounter = 0;
    int32_t earlierWindow = 1000; // ticks a due tick may move earlier
    int32_t laterWindow = 1000;   // ticks a due tick may move later
    int32_t takeOffCounter = 1;
    int32_t landingStep = 0; // 0 none, 1..4 the flare stages
    int32_t pushBackMode = 0;
    // Whether the reports of a push give the way of travel (1) or the nose (-1); 0 not yet known.
    double pushTrackSign = 0.0;
    // The reports at rest at the back of the queue while pushed, as received: their sums of
    // place (degrees) and of the doubled track (the line it gives), and how many.
    double restLatSum = 0.0;
    double restLonSum = 0.0;
    double restCos2Sum = 0.0;
    double restSin2Sum = 0.0;
    int32_t restCount = 0;
    bool pushEndInserted = false; // the push's end put in before its first forward report
    // When the push came to rest, as its first report at rest (skipped as a repeat) told; 0
    // while none has.
    uint32_t pushRestDue = 0;
    // When the reports going back from the stand tell the push began: the sum of each one's
    // tick, and how many, and how many in a row went farther back.
    double pushStartSum = 0.0;
    int32_t pushStartCount = 0;
    int32_t pushBackRun = 0;
    double pushBackRunM = 0.0;
    // Where the push left the aircraft, while it has not moved off from there.
    double pushEndLat = 0.0;
    double pushEndLon = 0.0;
    bool leavingPushEnd = false;
    int32_t movedAwayCount = 0;
    bool respawnHeadingSet = false;
    bool takeOffConfiguration = false;
    bool approach = false;
    bool climbOut = false;
    bool landed = false;
    bool touchdownPitch = false;
    bool rollOut = false;
    bool departurePending = false;
    bool quickTurnaround = false;
    bool cruiseLights = false;
    bool lowLights = false;
    GroundTrack ground;
    AirTurn airTurn;
    double postPushBack = 0.0;
    int32_t ticksDownWithoutReport = 0; // at the touchdown floor without the simulator's report
    // The altitude of the last airborne report flown to: the aircraft was above its ground there.
    std::optional<double> lastAirborneFt;
    // The last airborne report before a report on the ground and the altitude its descent
    // reached by that report: the reported touchdown lies between them, at touchdownFt as
    // the speeds of the two reports tell.
    std::optional<double> touchdownHighFt;
    std::optional<double> touchdownLowFt;
    std::optional<double> touchdownFt;
    // The simulator's ground under the aircraft at its last in-range report, and its tick.
    std::optional<double> reportedGroundFt;
    uint32_t reportedGroundTick = 0;
    // The reports received while the aircraft was being created at its stand, as received:
    // taken once it is active, they show it standing or already leaving.
    std::vector<PosSample> creationReports;
    // The newest report on the ground the intake skipped as too frequent: rolling slowly to a
    // stop, it tells when the stop began better than the last report taken.
    std::optional<PosSample> skippedReport;
    std::optional<PosSample> beforeSkipped; // the report received before it
    // The reports at rest of the stop begun last, as received (their sums and count), the
    // due tick of the sample that makes the stop and the moving report that led into it.
    // When the stop began was judged from its first report at rest as received, the moving
    // report before it and the one before that: judged again as its place is told better.
    struct StopTiming {
        PosSample moving;
        std::optional<PosSample> before;
        PosSample rest;
        bool push = false;
    };
    struct StopReports {
        uint32_t due = 0;
        double latitudeSum = 0.0;
        double longitudeSum = 0.0;
        int count = 0;
        PosSample from;
        std::optional<StopTiming> timing;
    };
    std::optional<StopReports> stopReports;
    // Of the reports at its stand: the last that showed it standing, the first that showed
    // it moving and that one's distance from the stand (nautical miles).
    uint32_t stillAtStandDue = 0;
    uint32_t firstMoveDue = 0;
    double firstMoveDistance = 0.0;
    bool towed = false;
    bool leavingStand = false;
};

struct LiveAc : StaticAc {
    LiveAc(const PosSample& first, AcIdentity&& identity, double timestamp);

    PositionBlock pos;
    std::deque<PosSample> samples; // to be flown, oldest first
    double lastRecordTime = 0.0;   // seconds, of the last accepted record
    double lastCheckLat = 0.0;     // at the last collision check or stand search
    double lastCheckLon = 0.0;
    uint64_t standTime = 0;  // steady clock, 100 ns ticks, when last seen at its stand
    int32_t pauseCounter = 0; // synthetic steps left once the samples ran out; -1 used up
    uint32_t holdingStart = 0;
    FlightPhase phase = FlightPhase::Birth;
    FlightPhase previousPhase = FlightPhase::Birth;
    bool parkedSampleSeen = false;
    bool onGround = false; // moves in ground mode
    bool flightPlanSet = false;
    bool heldNearUser = false;
    bool holding = false;
    bool longStay = false;
    MotionState motion;
};

// The motion constants of one TypeCategory.
struct CategoryValues {
    double takeOffPitchDeg;
    double climbPitchDeg;
    double groundTurnRateDeg; // per tick
    int32_t flareTicks;
    int32_t touchdownTicks;
    int32_t rotationTicks;
    int32_t climbPitchTicks;
    double maxClimbPerTick; // ft
    double standApproachSpeed; // knots
};
// std::out_of_range for a value outside 0..5.
const CategoryValues& gf_categoryValues(TypeCategory category);

// The identity of a flight: texts copied, type data from the database and the tables, the
// take-off pitch varied by 2.5 and the climb pitch by 5 percent (either sign, never
// between). Hexid, livery and the live-only values are the caller's.
AcIdentity gf_makeAcIdentity(const FlightTexts& texts);

// A change of phase keeps the old one as the previous phase; the same phase changes nothing.
void gf_setPhase(LiveAc& ac, FlightPhase phase);

// "KLM A320" of airline and type.
std::string gf_airlineTypeText(const FlightTexts& t);
std::string lf_routeText(const FlightTexts& t);
std::string lf_callsignText(const FlightTexts& t);
std::string lf_flightSummary(const FlightTexts& t);
// How an aircraft is named in log lines.
std::string gf_flightText(const FlightTexts& t);
std::string gf_flightText3(const FlightTexts& t);
// The key of g_unmatchedFlights.
std::string gf_airlineTypeRegText(const FlightTexts& t);
std::string_view gf_flightPhaseText(FlightPhase phase);
std::string_view gf_simStatusText(SimStatus status);

bool gf_sameAirlineType(const FlightTexts& a, const FlightTexts& b);
// Not empty, not "@@@@@@@@" and at most 8 characters.
bool gf_isUsableCallsign(const FlightTexts& t);
// The first three letters, upper-cased, of a callsign like "klm1234"; none otherwise.
std::optional<std::string> lf_airlineFromCallsign(std::string_view callsign);
bool gf_setAirlineFromCallsign(FlightTexts& t);
// The text without its last character (empty stays empty).
std::string_view gf_callsignStem(std::string_view callsign);

// The parked configuration: throttle and flaps 0, engines off, the parked lights.
void gf_shutdownAtStand(StaticAc& ac);
