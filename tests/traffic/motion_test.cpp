// The motion of one live aircraft step by step: the update of its received positions,
// the airborne and ground steps, the configuration by phase, the data gaps, push-back and
// take-off, and its identity changes.
#include <cmath>

#include "engine_fixture.h"
#include "foundation/geo.h"
#include "foundation/settings_catalogue.h"
#include "parking/park_airports.h"
#include "parking/static_parking.h"
#include "feed/qnh_reader.h"
#include "traffic/live_update.h"
#include "traffic/motion_internal.h"

namespace enginetest {
namespace {

constexpr GeoPos kHere{52.0, 4.0};
constexpr double kFtPerM = 1.0 / 0.3048;
constexpr double kDeg = 0.017453292519943295;

GeoPos lf_at(const GeoPos& from, double bearingDeg, double metres)
{
    return gf_destinationPoint(from, bearingDeg * kDeg, metres * kFtPerM);
}

PosSample lf_sample(const GeoPos& p, double alt, double gs, uint32_t due, bool airborne, bool stationary = false)
{
    PosSample s = sample(p.latitude, p.longitude, alt, gs, due, airborne);
    s.stationary = stationary;
    return s;
}

double lf_metres(const PosSample& a, const PosSample& b)
{
    return gf_distanceNm(gf_samplePos(a), gf_samplePos(b)) * 1852.0;
}

class MotionTest : public EngineTest {
protected:
    MotionTest() { g_trafficTick = 10000; }
    ~MotionTest() override
    {
        g_trafficTick = 0;
        g_parkAirport = {};
        g_qnh = g_defaultQnh;
        g_parkStands.clear();
    }
    // Each test case has one aircraft at a time: a new one replaces the one before.
    LiveAc& taxiing(const std::string& type = "A320")
    {
        g_liveAcs.clear();
        LiveAc& ac = active(20001, "TST1", kHere.latitude, kHere.longitude, 0.0, true, 101, type);
        ac.samples.clear();
        return ac;
    }
    LiveAc& flying(double alt, const std::string& type = "A320")
    {
        g_liveAcs.clear();
        LiveAc& ac = active(20002, "TST2", kHere.latitude, kHere.longitude, alt, false, 102, type);
        ac.samples.clear();
        return ac;
    }
    LiveAc& parkedAt(const ParkStand& stand)
    {
        LiveAc& ac = taxiing();
        ac.phase = FlightPhase::Parked;
        ac.previousPhase = FlightPhase::Taxi;
        ac.standNumber = stand.number;
        ac.standLat = stand.lat;
        ac.standLon = stand.lon;
        ac.standHeading = stand.heading;
        ac.pos.heading = stand.heading;
        ac.samples = {lf_sample({stand.lat, stand.lon}, 0, 0, 9000, false, true)};
        return ac;
    }
    size_t logCount(std::string_view fragment) const
    {
        size_t n = 0;
        for (const std::string& line : log_.lines())
            n += line.find(fragment) != std::string::npos ? 1 : 0;
        return n;
    }
};

TEST_F(MotionTest, ReceivedPositionsGetStrictlyIncreasingDueTicksAndShortStopsAreNotWaitedOutAgain)
{
    LiveAc& ac = taxiing();
    ac.samples = {lf_sample(kHere, 0, 10, 100, false)};
    decodeExisting(ac, lf_sample(lf_at(kHere, 0, 40), 0, 10, 100, false));
    decodeExisting(ac, lf_sample(lf_at(kHere, 0, 80), 0, 10, 100, false));
    ASSERT_EQ(ac.samples.size(), 3u);
    EXPECT_EQ(ac.samples[1].dueTick, 101u);
    EXPECT_EQ(ac.samples[2].dueTick, 102u);

    // A stop at a holding point: 10 s is trimmed; 20 s with a move-off 30 m on is kept.
    for (const auto& [stopTicks, moveOffM, kept] : {std::tuple{1000u, 40.0, 3u}, {2000u, 30.0, 5u}}) {
        const GeoPos hold = lf_at(kHere, 0, 200);
        ac.samples = {lf_sample(kHere, 0, 10, 1000, false), lf_sample(hold, 0, 10, 2000, false),
                      lf_sample(hold, 0, 0, 2000 + stopTicks / 2, false, true),
                      lf_sample(hold, 0, 0, 2000 + stopTicks, false, true)};
        decodeExisting(ac, lf_sample(lf_at(hold, 0, moveOffM), 0, 10, 2100 + stopTicks, false));
        EXPECT_EQ(ac.samples.size(), kept) << stopTicks;
        EXPECT_FALSE(ac.samples.back().stationary);
    }
}

TEST_F(MotionTest, AParkedAircraftLeavesItsStandOnlyForReportsWellAway)
{
    const ParkStand& stand = addStand("A1", kHere.latitude, kHere.longitude);
    using P = FlightPhase;
    // phase, metres away, phase after, samples queued, departure pending, removed
    for (const auto& [phase, metres, after, queued, pending, removed] :
         {std::tuple{P::Parked, 2.0, P::Parked, false, false, false}, {P::Parked, 90.0, P::Parked, true, true, false},
          {P::Parked, 250.0, P::Parked, false, false, true}, {P::Parking, 90.0, P::Taxi, true, false, false}}) {
        LiveAc& ac = parkedAt(stand);
        ac.phase = phase;
        for (int i = 0; i < 3; ++i)
            decodeExisting(ac, lf_sample(lf_at(kHere, 90.0 * i, metres), 0, 0, 10000 + i, false));
        EXPECT_EQ(std::tuple(ac.phase, ac.samples.size() > 1, ac.motion.departurePending,
                             ac.status == SimStatus::RemovingFromSim),
                  std::tuple(after, queued, pending, removed))
            << metres;
    }
}

// Pushed back straight, as reported, from stands facing each quarter, its taxi reported off
// to the left or to the right: the push ends straight back where the reports stopped it,
// when they did; standing there, the nose turns on the spot to the taxi before it moves off.
TEST_F(MotionTest, APushBackReportedStraightEndsWhereTheReportsStopItAndTheNoseTurnsToTheTaxiThere)
{
    ParkStand& stand = addStand("B2", kHere.latitude, kHere.longitude);
    for (const double standDeg : {0.0, 90.0, 180.0, 270.0}) {
        for (const double side : {-90.0, 90.0}) {
            SCOPED_TRACE(testing::Message() << "stand " << standDeg << ", taxi " << side);
            g_trafficTick = 10000;
            stand.heading = standDeg * kDeg;
            LiveAc& ac = parkedAt(stand);
            const double back = standDeg + 180.0;
            const GeoPos stop = lf_at(kHere, back, 75);
            for (const PosSample& r :
                 {lf_sample(kHere, 0, 0, 12000, false), lf_sample(lf_at(kHere, back, 10), 0, 3, 12600, false),
                  lf_sample(lf_at(kHere, back, 40), 0, 3, 13600, false), lf_sample(stop, 0, 0, 14800, false),
                  lf_sample(lf_at(stop, standDeg + side, 100), 0, 10, 16000, false)})
                decodeExisting(ac, r);
            for (; ac.phase != FlightPhase::PushedBack && ac.phase != FlightPhase::Taxi && g_trafficTick < 20000;
                 ++g_trafficTick)
                updateLiveAc(ac);
            EXPECT_LT(lf_metres(lf_sample(gf_acPos(ac), 0, 0, 0, false), lf_sample(stop, 0, 0, 0, false)), 5.0);
            EXPECT_NEAR(std::remainder(ac.pos.heading / kDeg - standDeg, 360.0), 0.0, 2.0);
            EXPECT_NEAR(static_cast<double>(g_trafficTick), 14800.0, 300.0);
            for (; lf_metres(lf_sample(gf_acPos(ac), 0, 0, 0, false), lf_sample(stop, 0, 0, 0, false)) < 3.0 &&
                   g_trafficTick < 20000;
                 ++g_trafficTick)
                updateLiveAc(ac);
            EXPECT_EQ(ac.phase, FlightPhase::Taxi);
            EXPECT_NEAR(std::remainder(ac.pos.heading / kDeg - (standDeg + side), 360.0), 0.0, 10.0);
        }
    }
}

TEST_F(MotionTest, InTheRollOutAReportBehindReplacesTheOnlySampleByThePresentPosition)
{
    LiveAc& ac = taxiing();
    ac.motion.rollOut = true;
    ac.pos.heading = 0.0;
    ac.pos.latitude = lf_at(kHere, 0, 200).latitude;
    ac.samples = {lf_sample(lf_at(kHere, 0, 300), 0, 60, 9000, false)};
    decodeExisting(ac, lf_sample(lf_at(kHere, 0, 100), 0, 30, 12000, false));
    ASSERT_EQ(ac.samples.size(), 2u);
    EXPECT_EQ(ac.samples[0].latitude, ac.pos.latitude);
    EXPECT_EQ(ac.samples[0].dueTick, 10001u);
}

// Rolling out, the reports run 30 s ahead of the aircraft: past the exit and the turn after
// it, while the nose still points down the runway. A report on that way is kept, however far
// it turns off the nose; one that lies back along its own track is a stray, and the report
// before it goes, as on the approach.
TEST_F(MotionTest, InTheRollOutReportsPastTheExitAreKeptAndOneLyingBackAlongItsTrackIsNot)
{
    struct Row {
        const char* what;
        double bearingDeg; // from the newest report
        double trackDeg;
        size_t queued;
    };
    constexpr double kRunwayDeg = 10.0;
    for (const Row& r : {Row{"the turn after the exit, 90 degrees off the nose", 100.0, 100.0, 3},
                         Row{"a U-turn back along the runway", 190.0, 190.0, 3},
                         Row{"a report lying back along its own track", 190.0, 10.0, 2}}) {
        SCOPED_TRACE(r.what);
        LiveAc& ac = taxiing();
        ac.motion.rollOut = true;
        ac.pos.heading = kRunwayDeg * kDeg;
        PosSample a = lf_sample(lf_at(kHere, kRunwayDeg, 300), 0, 35, 11000, false);
        PosSample b = lf_sample(lf_at(kHere, kRunwayDeg, 400), 0, 30, 11300, false);
        a.track = kRunwayDeg;
        b.track = kRunwayDeg;
        ac.samples = {a, b};
        PosSample s = lf_sample(lf_at(gf_samplePos(b), r.bearingDeg, 60), 0, 20, 11600, false);
        s.track = r.trackDeg;
        decodeExisting(ac, s);
        ASSERT_EQ(ac.samples.size(), r.queued);
        EXPECT_EQ(ac.samples.back().dueTick, 11600u);
        EXPECT_EQ(ac.samples.front().dueTick, 11000u);
    }
}

// Touched down between two reports, the aircraft brakes along its reports from where it is,
// at the pace it came down at: never on at the airborne step's speed to the next report and
// then at once at that report's. The reports: a roll-out braking at 2 m/s2.
TEST_F(MotionTest, TouchedDownBetweenReportsItBrakesFromItsPaceAlongTheReports)
{
    constexpr double kRunwayDeg = 10.0;
    constexpr double kTouchdownMps = 66.9; // 130 kt
    constexpr double kBraking = 2.0;
    LiveAc& ac = taxiing();
    ac.phase = FlightPhase::Flying;
    ac.previousPhase = FlightPhase::Flying;
    ac.motion.rollOut = true;
    ac.motion.landed = true;
    ac.motion.touchdownHeading = kRunwayDeg * kDeg;
    ac.pos.heading = kRunwayDeg * kDeg;
    for (int second = 6; second <= 30; second += 6) {
        const double metres = kTouchdownMps * second - kBraking * second * second / 2.0;
        PosSample s = lf_sample(lf_at(kHere, kRunwayDeg, metres), 0, (kTouchdownMps - kBraking * second) * 3600.0 / 1852.0,
                                10000 + static_cast<uint32_t>(second) * 100, false);
        s.track = kRunwayDeg;
        ac.samples.push_back(s);
    }
    // The airborne step towards the first report on the ground, at the pace that meets it.
    const PosSample& first = ac.samples.front();
    ac.motion.latitudeStep = (first.latitude - ac.pos.latitude) / 600.0;
    ac.motion.longitudeStep = (first.longitude - ac.pos.longitude) / 600.0;
    const double paceMps = lf_metres(lf_sample(kHere, 0, 0, 0, false), first) / 6.0;

    std::vector<PosSample> at;
    for (int tick = 0; tick < 2400; ++tick) {
        updateLiveAc(ac);
        ++g_trafficTick;
        at.push_back(lf_sample(gf_acPos(ac), 0, 0, 0, false));
    }
    ASSERT_EQ(ac.status, SimStatus::Active);
    EXPECT_NEAR(lf_metres(at[0], at[100]), paceMps, 3.0);
    // The change of speed over a second, as a user sees it: within what a roll-out brakes at.
    double hardest = 0.0;
    for (size_t t = 200; t < at.size(); t += 10)
        hardest = std::max(hardest, std::fabs(lf_metres(at[t - 100], at[t]) - lf_metres(at[t - 200], at[t - 100])));
    EXPECT_LE(hardest, 3.0);
    // At the third report's time it is at its place.
    const double third = kTouchdownMps * 18 - kBraking * 18 * 18 / 2.0;
    EXPECT_NEAR(lf_metres(lf_sample(kHere, 0, 0, 0, false), at[1800]), third, 15.0);
}

// A corner that comes too soon to brake for at ease (reports at 30 kt with a right angle
// 20 m ahead): the aircraft brakes for it as hard as it can taxiing, never in a jolt.
TEST_F(MotionTest, ACornerTooCloseToBrakeForAtEaseIsBrakedForWithoutAJolt)
{
    constexpr double kKt = 30.0;
    constexpr double kMps = kKt * 1852.0 / 3600.0;
    LiveAc& ac = taxiing();
    ac.phase = FlightPhase::Taxi;
    ac.pos.heading = 5.0 * kDeg;
    const GeoPos corner = lf_at(kHere, 5.0, 20.0);
    std::vector<std::pair<GeoPos, double>> way{{kHere, 5.0}, {corner, 95.0}};
    for (double metres : {30.0, 60.0, 90.0})
        way.push_back({lf_at(corner, 95.0, metres), 95.0});
    double along = 0.0;
    for (size_t i = 0; i < way.size(); ++i) {
        if (i > 0)
            along += gf_distanceNm(way[i - 1].first, way[i].first) * 1852.0;
        PosSample s = lf_sample(way[i].first, 0, kKt, 10000 + static_cast<uint32_t>(along / kMps * 100.0), false);
        s.track = way[i].second;
        ac.samples.push_back(s);
    }
    lf_layGroundTrack(ac, ac.samples.size(), false);
    std::vector<double> speed;
    for (int tick = 0; tick < 400; ++tick) {
        lf_followGroundTrack(ac);
        ++g_trafficTick;
        speed.push_back(ac.motion.ground.speed);
    }
    double hardest = 0.0;
    for (size_t t = 100; t < speed.size(); ++t)
        hardest = std::max(hardest, speed[t - 100] - speed[t]);
    EXPECT_LT(speed.back(), kMps - 1.0); // it did slow for the corner
    EXPECT_LE(hardest, 1.5);
}

TEST_F(MotionTest, AnOverlongQueueAHoldingAircraftsJumpOrAMotionExceptionRemoveTheAircraft)
{
    LiveAc& ac = taxiing();
    for (uint32_t i = 0; i < 201; ++i)
        ac.samples.push_back(lf_sample(lf_at(kHere, 0, i * 10.0), 0, 10, 20000 + i, false));
    decodeExisting(ac, lf_sample(lf_at(kHere, 0, 2020), 0, 10, 30000, false));
    EXPECT_EQ(ac.status, SimStatus::RemovingFromSim);

    LiveAc& held = taxiing();
    held.holding = true;
    held.samples = {lf_sample(kHere, 0, 0, 9000, false, true)};
    for (const auto& [metres, status] : {std::pair{250.0, SimStatus::Active}, {251.0, SimStatus::RemovingFromSim}}) {
        decodeExisting(held, lf_sample(lf_at(kHere, 0, metres), 0, 5, 12000, false));
        EXPECT_EQ(held.status, status);
    }

    // A pushed-back aircraft joins a taxi report a push and a short taxi away; one across
    // the airport is another flight's, or this one must come anew.
    for (const auto& [metres, removed] : {std::pair{260.0, false}, {700.0, true}, {2000.0, true}}) {
        LiveAc& pushed = taxiing();
        pushed.phase = FlightPhase::PushedBack;
        pushed.samples = {lf_sample(kHere, 0, 0, 9000, false, true)};
        decodeExisting(pushed, lf_sample(lf_at(kHere, 90, metres), 0, 15, 12000, false));
        EXPECT_EQ(pushed.status == SimStatus::RemovingFromSim, removed) << metres;
        EXPECT_EQ(pushed.phase == FlightPhase::Taxi, !removed) << metres;
    }
    EXPECT_EQ(logCount("its taxi report lies 2000 m from the push-back's end"), 1u);

    // At half a knot the other side of the world is too many ticks away.
    LiveAc& far = flying(10000);
    far.samples = {lf_sample(kHere, 10000, 1, 9000, true), lf_sample({-52.0, -176.0}, 10000, 0, 9100, true)};
    for (int i = 0; i < 5; ++i)
        updateLiveAc(far);
    EXPECT_EQ(far.status, SimStatus::RemovingFromSim);
    EXPECT_EQ(logCount("nextPosMain: narrowing"), 1u);
}

TEST_F(MotionTest, TheApproachBeginsDescendingWithin10NmAndEachLightSetIsSentOncePerCrossingOf10000Ft)
{
    g_parkAirport = {"EHAM", "AMS", kHere.latitude, kHere.longitude, 0.0, 0};
    using Events = std::vector<std::string>;
    // Climbing away below the approach height: once, full throttle, gear up, flaps in.
    for (const auto& [nm, vs, sent] : {std::tuple{8.0, -300.0, Events{"102 212 0", "102 223 4914", "102 218 16383", "102 220 1"}},
                                       {12.0, -300.0, Events{"102 212 0"}},
                                       {0.0, 1200.0, Events{"102 212 0", "102 223 16383", "102 220 0", "102 218 0"}}}) {
        events();
        LiveAc& ac = flying(500);
        const GeoPos p = gf_destinationPoint(kHere, 0.0, nm * 6076.11549);
        ac.pos.latitude = p.latitude;
        ac.motion.altitudeAboveGround = 500;
        ac.motion.lowLights = true;
        PosSample front = lf_sample(p, 500, 140, 9000, true);
        front.verticalSpeed = vs;
        ac.samples = {front};
        lf_lowAltitudeConfiguration(ac);
        EXPECT_EQ(events(), sent) << nm;
        EXPECT_EQ(ac.motion.approach, nm == 8.0);
        EXPECT_EQ(ac.motion.climbOut, vs > 0);
        if (vs > 0) {
            lf_lowAltitudeConfiguration(ac);
            EXPECT_EQ(events(), Events{"102 212 0"});
        }
    }

    events();
    LiveAc& ac = flying(9000);
    ac.samples = {lf_sample(kHere, 9000, 250, 9000, true)};
    ac.motion.altitudeAboveGround = 9000;
    for (const bool low : {true, true, false, false, true})
        low ? lf_lowAltitudeConfiguration(ac) : lf_cruiseConfiguration(ac);
    size_t landingLights = 0;
    for (const std::string& e : events())
        landingLights += e.starts_with("102 211 ") ? 1 : 0;
    EXPECT_EQ(landingLights, 3u);
}

TEST_F(MotionTest, APassedDueTickIsReachedIn25TicksAndRepeatedPositionsAreSkippedUnlessHovering)
{
    LiveAc& ac = flying(3000);
    const GeoPos next = lf_at(kHere, 0, 1000);
    ac.samples = {lf_sample(kHere, 3000, 150, 500, true), lf_sample(next, 3000, 150, 600, true)};
    nextPosMain(ac);
    EXPECT_EQ(ac.samples.front().dueTick, 10025u);
    EXPECT_DOUBLE_EQ(ac.motion.latitudeStep, (next.latitude - kHere.latitude) / 25);
    // Across 180 degrees the short way, east.
    ac.pos.longitude = 179.99;
    ac.samples = {lf_sample({52.0, 179.99}, 3000, 150, 500, true), lf_sample({52.0, -179.99}, 3000, 150, 600, true)};
    nextPosMain(ac);
    EXPECT_NEAR(ac.motion.longitudeStep, 0.02 / 25, 1e-12);
    for (int i = 0; i < 25; ++i)
        lf_moveOneTick(ac);
    EXPECT_NEAR(ac.pos.longitude, -179.99, 1e-9);

    for (const char* type : {"A320", "R44"}) {
        LiveAc& a = flying(3000, type);
        a.samples = {lf_sample(kHere, 3000, 100, 9000, true), lf_sample(kHere, 3000, 100, 9500, true, true),
                     lf_sample(kHere, 3000, 100, 10000, true, true), lf_sample(next, 3000, 100, 12000, true)};
        nextPosMain(a);
        EXPECT_EQ(a.samples.size(), std::string(type) == "R44" ? 3u : 1u) << type;
    }
}

TEST_F(MotionTest, TheLandingDescentRateFollowsTheQnhAndABelow1000FtDescentIsFollowed)
{
    LiveAc& ac = flying(2000);
    PosSample a = lf_sample(kHere, 2000, 140, 9000, true);
    PosSample b = lf_sample(lf_at(kHere, 0, 500), 1900, 140, 10500, true);
    a.verticalSpeed = -800;
    b.verticalSpeed = -600;
    ac.samples = {a, b};
    g_qnh = 1020;
    ac.motion.altitudeAboveGround = 150;
    EXPECT_DOUBLE_EQ(lf_landingDescentRate(ac), -740.5);
    ac.motion.altitudeAboveGround = 80;
    EXPECT_DOUBLE_EQ(lf_landingDescentRate(ac), -600.0);

    // Below 1000 ft without the approach flag: a descending pair descends, a slowly
    // climbing one climbs at least 0.2 ft a tick.
    ac.motion.altitudeAboveGround = 900;
    ac.pos.altitude = 2000;
    lf_airborneStep(ac);
    EXPECT_LT(ac.motion.altitudeStep, 0.0);
    ac.samples[1].altitude = 2010;
    lf_airborneStep(ac);
    EXPECT_DOUBLE_EQ(ac.motion.altitudeStep, 0.2);
}

TEST_F(MotionTest, TheDriveToAStandTakesItsTimeAtTheApproachSpeedAndStops50TicksLater)
{
    for (const auto& [nm, ticks] : {std::pair{0.01, 720u}, {0.0005, 100u}}) {
        LiveAc& ac = taxiing("C172");
        ac.samples = {lf_sample(kHere, 0, 10, 1000, false)};
        const GeoPos stand = gf_destinationPoint(kHere, 0.0, nm * 6076.11549);
        drive2Stand(ac, stand.latitude, stand.longitude, 1.0);
        ASSERT_EQ(ac.samples.size(), 3u);
        EXPECT_EQ(ac.samples[0].groundSpeed, 5.0);
        EXPECT_EQ(ac.samples[1].dueTick, 1000 + ticks);
        EXPECT_EQ(ac.samples[2].dueTick, 1050 + ticks);
        EXPECT_TRUE(ac.samples[2].stationary);
        // Towards the stand (north), its heading taken on it.
        EXPECT_NEAR(ac.motion.targetHeading, nm > 0.001 ? 0.0 : 1.0, 1e-9);
    }
}

// The samples run out 30 or 40 m short of where the reports stopped, at 4 kt: handed to the
// parking within 35 m, not at 40 (the landing scenarios drive it onto the stand).
TEST_F(MotionTest, ATaxiStoppingNearAStandIsHandedOverWithin35M)
{
    const GeoPos stop = lf_at(kHere, 0, 100);
    addStand("C3", stop.latitude, stop.longitude);
    g_parkStandsLoaded = true;
    for (const double shortM : {30.0, 40.0}) {
        LiveAc& ac = taxiing();
        ac.previousPhase = FlightPhase::Flying;
        const GeoPos at = lf_at(stop, 180, shortM);
        ac.pos.latitude = at.latitude;
        ac.samples = {lf_sample(at, 0, 10, 10000, false), lf_sample(lf_at(stop, 180, 5), 0, 4, 10400, false),
                      lf_sample(stop, 0, 0, 10800, false, true)};
        nextPosMain(ac);
        EXPECT_EQ(ac.phase, shortM < 35 ? FlightPhase::Parking : FlightPhase::Taxi) << shortM;
    }
}

TEST_F(MotionTest, WhenReportsStopTheAircraftFliesOnHoldsOrParksAsItsPhaseAsks)
{
    // In the air it flies on (the airborne scenario); a pushed-back aircraft holds 20 minutes.
    for (const bool airborneOnly : {false, true}) {
        AIRBORNE_ONLY.value = airborneOnly;
        LiveAc& pushed = taxiing();
        pushed.phase = FlightPhase::PushedBack;
        pushed.samples = {lf_sample(kHere, 0, 0, 9000, false)};
        EXPECT_TRUE(lf_onSamplesExhausted(pushed));
        EXPECT_TRUE(pushed.holding && pushed.samples.back().stationary);
        g_trafficTick = 10000 + 20 * 6000;
        EXPECT_EQ(lf_onSamplesExhausted(pushed), !airborneOnly);
        g_trafficTick = 10000 + 21 * 6000;
        EXPECT_FALSE(lf_onSamplesExhausted(pushed));
        g_trafficTick = 10000;
    }

    LiveAc& parked = taxiing();
    parked.phase = FlightPhase::Parked;
    parked.samples = {lf_sample(kHere, 0, 0, 9000, false)};
    EXPECT_TRUE(lf_onSamplesExhausted(parked));
    EXPECT_EQ(parked.samples.back().dueTick, 9000u + 60480000u);
    EXPECT_TRUE(parked.samples.back().stationary);

    LiveAc& landed = taxiing();
    landed.motion.rollOut = true;
    landed.samples = {lf_sample(kHere, 0, 120, 9000, false)};
    for (const double kt : {80.0, 60.0}) {
        EXPECT_TRUE(lf_onSamplesExhausted(landed));
        EXPECT_EQ(landed.samples.back().groundSpeed, kt);
        landed.samples.pop_front();
    }

    // A departing aircraft without the on-ground mark: its hold samples are dropped as
    // repeated positions in the air; it is removed instead of being held for ever.
    AIRBORNE_ONLY.value = false;
    for (const FlightPhase phase : {FlightPhase::Taxi, FlightPhase::PushedBack}) {
        LiveAc& lost = flying(0);
        lost.phase = phase;
        lost.samples = {lf_sample(kHere, 0, 0, 9000, false)};
        nextPosMain(lost);
        EXPECT_EQ(lost.status, SimStatus::RemovingFromSim);
    }
    EXPECT_EQ(logCount("nextPosMain: no sample to fly to after 16 extensions"), 2u);

    LiveAc& light = flying(3000, "C172");
    LIGHT_AIRCRAFT.value = false;
    light.samples = {lf_sample(kHere, 3000, 90, 9000, true)};
    EXPECT_FALSE(lf_onSamplesExhausted(light));
}

// Reports moving off behind the stand (at 90 degrees or more) push the aircraft back along
// them, tail first; ahead of it, it pulls out forward one wing span and keeps the reports
// due after that. A stand the park airport does not have leaves it parked.
TEST_F(MotionTest, AnAircraftPullsOutForwardOrIsPushedBackAlongItsReports)
{
    ParkStand& stand = addStand("B2", kHere.latitude, kHere.longitude);
    stand.radius = 0.02;
    for (const auto& [bearingDeg, phase] : {std::pair{180.0, FlightPhase::PushingBack}, {45.0, FlightPhase::Taxi},
                                            {90.0, FlightPhase::PushingBack}}) {
        LiveAc& ac = parkedAt(stand);
        ac.motion.departurePending = true;
        ac.samples.push_back(lf_sample(lf_at(kHere, bearingDeg, 20), 0, 3, 20000, false));
        lf_departFromStand(ac);
        EXPECT_EQ(ac.phase, phase) << bearingDeg;
        if (phase != FlightPhase::PushingBack) {
            ASSERT_EQ(ac.samples.size(), 3u);
            EXPECT_EQ(ac.samples[2].dueTick, 20000u);
            continue;
        }
        // Tail first along the way to the report, which is kept and flown at its time.
        ASSERT_EQ(ac.samples.size(), 2u);
        EXPECT_EQ(ac.samples[1].dueTick, 20000u);
        EXPECT_TRUE(lf_groundTrackActive(ac));
        EXPECT_TRUE(ac.motion.ground.reverse);
    }
    LiveAc& lost = parkedAt(stand);
    lost.standNumber = 99;
    lost.samples.push_back(lf_sample(lf_at(kHere, 180, 100), 0, 5, 12000, false));
    lf_pushBack(lost);
    EXPECT_EQ(lost.phase, FlightPhase::Parked);
    EXPECT_EQ(lost.samples.size(), 2u);
}

// Rotation at 43 kt or more: with a sample behind that climbs slowly, only when every one is
// at take-off speed and airborne; with all climbing, from the ground at the largest climb
// step, in the air towards the next sample.
TEST_F(MotionTest, TheRotationWaitsForTakeOffSpeedAndLiftOffInTheSamplesBehind)
{
    // An A320 (category 2): take-off speed 140 kt, largest climb 0.6 ft a tick; next due in
    // 1000 ticks, 200 ft up. Front and next speed, next climb, next airborne, rotates, climb
    // step (ft a tick).
    for (const auto& [frontKt, nextKt, nextVs, nextAirborne, rotates, altitudeStep] :
         {std::tuple{40.0, 150.0, 1000.0, true, false, 0.0}, {50.0, 150.0, 100.0, true, true, 0.6},
          {50.0, 130.0, 100.0, true, false, 0.0}, {50.0, 150.0, 100.0, false, false, 0.0},
          {50.0, 150.0, 1000.0, false, true, 0.6}, {50.0, 150.0, 1000.0, true, true, 0.2}}) {
        LiveAc& ac = taxiing();
        ac.motion.takeOffConfiguration = true;
        ac.samples = {lf_sample(kHere, 0, frontKt, 10000, false),
                      lf_sample(lf_at(kHere, 0, 500), nextAirborne ? 200 : 0, nextKt, 11000, nextAirborne)};
        ac.samples[1].verticalSpeed = nextVs;
        lf_rotationDecision(ac);
        EXPECT_EQ(ac.phase == FlightPhase::TakeOff, rotates) << frontKt << " " << nextKt << " " << nextVs;
        EXPECT_NEAR(rotates ? ac.motion.altitudeStep : 0.0, altitudeStep, 1e-12) << nextVs;
    }
}

// Ground samples ahead of an aircraft in the air: the gear goes down; with a lift-off among
// the climbing samples queued, the aircraft flies to it at once, the ground samples before
// it dropped.
TEST_F(MotionTest, GroundSamplesAheadPutTheGearDownAndALiftOffAmongThemIsFlownTo)
{
    for (const bool front : {true, false}) {
        events();
        LiveAc& ac = flying(100);
        ac.motion.altitudeAboveGround = 100;
        ac.samples = {lf_sample(kHere, front ? 100 : 0, 140, 10000, front),
                      lf_sample(lf_at(kHere, 0, 300), 0, 140, 10500, false)};
        nextPosMain(ac);
        const std::vector<std::string> sent = events();
        EXPECT_NE(std::find(sent.begin(), sent.end(), "102 220 1"), sent.end()) << front;
    }
    LiveAc& ac = flying(0);
    ac.samples = {lf_sample(kHere, 0, 120, 10000, false), lf_sample(lf_at(kHere, 0, 100), 0, 130, 10200, false),
                  lf_sample(lf_at(kHere, 0, 200), 0, 140, 10400, false),
                  lf_sample(lf_at(kHere, 0, 300), 500, 150, 10600, true),
                  lf_sample(lf_at(kHere, 0, 400), 900, 150, 10800, true)};
    for (PosSample& s : ac.samples)
        s.verticalSpeed = 800;
    nextPosMain(ac);
    ASSERT_EQ(ac.samples.size(), 2u);
    EXPECT_EQ(ac.samples.front().altitude, 500);
    EXPECT_DOUBLE_EQ(ac.motion.altitudeStep, 0.6);
}

// After touchdown, reports in the air again: a go-around, with the take-off configuration
// at climb thrust; a landed aircraft that leaves its stand within the category's time is
// a quick turnaround.
TEST_F(MotionTest, AGoAroundAfterTouchdownAndAQuickTurnaroundAreRecognised)
{
    LiveAc& ac = taxiing();
    ac.phase = FlightPhase::Flying;
    ac.previousPhase = FlightPhase::Flying;
    ac.motion.rollOut = true;
    ac.motion.landed = true;
    ac.samples = {lf_sample(kHere, 300, 140, 9000, true)};
    events();
    decodeExisting(ac, lf_sample(lf_at(kHere, 0, 500), 500, 150, 12000, true));
    EXPECT_EQ(ac.phase, FlightPhase::Taxi);
    EXPECT_EQ(ac.previousPhase, FlightPhase::Flying);
    EXPECT_TRUE(ac.motion.takeOffConfiguration);
    EXPECT_FALSE(ac.motion.landed);
    EXPECT_EQ(ac.motion.laterWindow, 5000);
    const std::vector<std::string> sent = events();
    EXPECT_EQ(std::vector<std::string>(sent.begin(), sent.begin() + 3),
              std::vector<std::string>({"101 223 11468", "101 219 16383", "101 218 3072"}));

    const ParkStand& stand = addStand("Q1", kHere.latitude, kHere.longitude);
    for (const auto& [parkedTicks, quick] : {std::pair{140000u, true}, {160000u, false}}) {
        LiveAc& parked = parkedAt(stand);
        parked.previousPhase = FlightPhase::Parking;
        parked.motion.landed = true;
        parked.pauseCounter = 1;
        parked.samples.front().dueTick = 10000 - parkedTicks + 60480000;
        decodeExisting(parked, lf_sample(lf_at(kHere, 180, 180), 0, 5, 13000, false));
        EXPECT_EQ(parked.motion.quickTurnaround, quick) << parkedTicks;
    }
}

// Standing after its push-back with its way off its nose, the aircraft turns on the spot at
// its own rate, and only when it must to move off in time; rolling, the nose stays on the
// path's tangent.
TEST_F(MotionTest, StandingTheAircraftTurnsOnTheSpotAtItsOwnRateAndRollingItsNoseKeepsToThePath)
{
    const double base = 0.07 * kDeg; // an A320's
    LiveAc& standing = taxiing();
    standing.previousPhase = FlightPhase::PushedBack;
    standing.pos.heading = 60.0 * kDeg;
    standing.samples = {lf_sample(kHere, 0, 0, 10000, false, true),
                        lf_sample(lf_at(kHere, 0, 100), 0, 10, 14000, false)};
    nextPosMain(standing);
    const GeoPos at = gf_acPos(standing);
    int64_t turnedAt = 0;
    for (; g_trafficTick < 14000 && turnedAt == 0; ++g_trafficTick) {
        const double before = standing.pos.heading;
        lf_moveOneTick(standing);
        if (standing.pos.heading != before) {
            turnedAt = g_trafficTick;
            EXPECT_NEAR(before - standing.pos.heading, base, 1e-9);
        }
    }
    // 60 degrees at 0.07 a tick is 857 ticks, ending when it must move off for the report.
    EXPECT_GT(turnedAt, 10000 + 100);
    for (int i = 0; i < 900; ++i, ++g_trafficTick)
        lf_moveOneTick(standing);
    EXPECT_NEAR(standing.pos.heading, 0.0, 0.6 * kDeg);
    EXPECT_LT(lf_metres(lf_sample(gf_acPos(standing), 0, 0, 0, false), lf_sample(at, 0, 0, 0, false)), 5.0);

    g_trafficTick = 10000;
    LiveAc& cornering = taxiing();
    const GeoPos corner = lf_at(kHere, 0, 40);
    cornering.samples = {lf_sample(kHere, 0, 15, 10000, false), lf_sample(lf_at(kHere, 0, 20), 0, 15, 10260, false),
                         lf_sample(lf_at(corner, 90, 20), 0, 15, 10780, false),
                         lf_sample(lf_at(corner, 90, 40), 0, 15, 11040, false)};
    cornering.samples[0].track = cornering.samples[1].track = 0.0;
    cornering.samples[2].track = cornering.samples[3].track = 90.0;
    nextPosMain(cornering);
    GeoPos last = gf_acPos(cornering);
    for (int i = 0; i < 1000; ++i, ++g_trafficTick) {
        lf_moveOneTick(cornering);
        const GeoPos now = gf_acPos(cornering);
        if (lf_metres(lf_sample(now, 0, 0, 0, false), lf_sample(last, 0, 0, 0, false)) > 0.5) {
            const double travel = gf_bearingRad(last, now);
            EXPECT_LT(std::fabs(gf_wrapPi(travel - cornering.pos.heading)), 3.0 * kDeg) << i;
            last = now;
        }
    }
    EXPECT_NEAR(cornering.pos.heading, 90.0 * kDeg, 1.0 * kDeg);
}

TEST_F(MotionTest, TheTakeOffRollThrottlesUpWithSpeedAndAHeavyRotatesOver250Ticks)
{
    LiveAc& ac = taxiing("B744");
    for (const auto& [front, next, index] : {std::tuple{10.0, 10.0, 0u}, {15.0, 0.0, 1u}, {0.0, 20.0, 1u},
                                             {20.0, 0.0, 2u}, {0.0, 25.0, 2u}, {25.0, 0.0, 4u}, {0.0, 30.0, 4u}}) {
        ac.samples = {lf_sample(kHere, 0, front, 9000, false), lf_sample(kHere, 0, next, 9500, false)};
        lf_takeOffRollThrottle(ac);
        EXPECT_EQ(ac.throttleIndex, index) << front << " " << next;
    }

    ac.pos.pitch = 0.01;
    ac.motion.altitudeAboveGround = 500;
    ac.motion.altitudeStep = 0.5;
    lf_startRotation(ac);
    EXPECT_EQ(ac.phase, FlightPhase::TakeOff);
    const double rotationStep = ac.motion.pitchStep;
    EXPECT_NEAR(rotationStep, (ac.takeOffPitch - 0.01) / 250, 1e-15);
    for (int i = 0; i < 249; ++i)
        lf_takeOffCounterTick(ac);
    EXPECT_NEAR(ac.pos.pitch, ac.takeOffPitch - rotationStep, 1e-12);
    EXPECT_FALSE(ac.onGround);
    const double climbStep = (ac.climbPitch - ac.takeOffPitch) / 400;
    lf_takeOffCounterTick(ac);
    EXPECT_NEAR(ac.pos.pitch, ac.takeOffPitch - rotationStep + climbStep, 1e-12);
    events();
    for (int i = 0; i < 300; ++i)
        lf_takeOffCounterTick(ac);
    EXPECT_EQ(ac.motion.takeOffCounter, -300);
    EXPECT_EQ(events().back(), "101 220 0");
    for (int i = 0; i < 1000; ++i)
        lf_takeOffCounterTick(ac);
    EXPECT_EQ(ac.phase, FlightPhase::TakeOff);
    EXPECT_EQ(ac.motion.takeOffCounter, -1000);
    ac.motion.altitudeAboveGround = 800;
    lf_takeOffCounterTick(ac);
    EXPECT_EQ(ac.phase, FlightPhase::Flying);
}

TEST_F(MotionTest, IdentityChangesAreTakenAndRespawnOnlyWithGuidChanges)
{
    auto rec = [](const std::string& cs, const std::string& origin, const std::string& destination,
                  const std::string& reg = "") {
        LiveFlightRecord r = record(20001, cs, "A320", sample(52, 4, 0, 0, 0, false), 1.7e9, reg);
        r.texts.origin = origin;
        r.texts.destination = destination;
        return r;
    };
    GUID_CHANGES.value = false;
    LiveAc& ac = taxiing();
    ac.origin = "AAA";
    ac.destination = "BBB";
    ac.motion.takeOffConfiguration = true;
    LiveFlightRecord r = rec("NEW1", "DDD", "CCC");
    EXPECT_TRUE(gf_respawnCheck(ac, r));
    EXPECT_EQ(ac.callsign, "TST1");
    ac.motion.takeOffConfiguration = false;

    r = rec("", "AAA", "CCC");
    EXPECT_TRUE(gf_respawnCheck(ac, r));
    EXPECT_EQ(ac.destination, "BBB");
    ac.phase = FlightPhase::PushedBack;
    r = rec("", "DDD", "CCC");
    EXPECT_TRUE(gf_respawnCheck(ac, r));
    EXPECT_EQ(ac.origin + ac.destination, "DDDCCC");
    EXPECT_EQ(ac.phase, FlightPhase::Taxi);

    ac.registration = "PHABC";
    r = rec("PHABC", "DDD", "CCC");
    EXPECT_TRUE(gf_respawnCheck(ac, r));
    EXPECT_EQ(ac.callsign, "TST1");
    r = rec("KLM9", "DDD", "CCC");
    EXPECT_TRUE(gf_respawnCheck(ac, r));
    EXPECT_EQ(ac.callsign, "KLM9");
    EXPECT_EQ(ac.status, SimStatus::Active);

    catalogue().registrations["PHXYZ"] = DbaseRecord{"TRA", "B738", "", false};
    for (const bool guidChanges : {false, true}) {
        GUID_CHANGES.value = guidChanges;
        LiveAc& a = taxiing();
        a.airline = "KLM";
        a.registration = "";
        a.liveryTitle = "A320 livery";
        a.samples = {lf_sample(kHere, 0, 10, 9000, false)};
        r = rec("", "", "", "PHXYZ");
        EXPECT_EQ(gf_respawnCheck(a, r), !guidChanges);
        EXPECT_EQ(a.airline + a.aircraftType, "TRAB738");
        EXPECT_TRUE(a.liveryTitle.empty());
        EXPECT_EQ(a.status, guidChanges ? SimStatus::LiveryRespawn : SimStatus::Active);
    }
}

} // namespace
} // namespace enginetest
