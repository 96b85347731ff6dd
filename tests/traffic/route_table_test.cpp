// Generated routes of every kind and type, from fixed seeds, flown through the whole engine
// as RealTraffic really reports them (every 1 to 10 s, a few metres of noise, airborne gaps)
// and judged as a user watching them would: the path, the nose, the speed and its changes,
// standstills, stops and starts, the push-back's end and the stand. The bench
// (scripts/bench.sh routes) flies a thousand of them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <initializer_list>
#include <iterator>
#include <stdexcept>
#include <string>
#include <tuple>

#include "support/route_checker.h"
#include "support/route_generator.h"

namespace traffictest {
namespace {

constexpr uint32_t kFirstSeed = 4400;
constexpr int kPerKind = 6; // every type once, two of them twice
constexpr int kKnownOutside = 1;

// The sample: route i of kind k has seed 4400 + 10 k + i.
template <typename F>
void lf_forEachRoute(F f)
{
    for (size_t k = 0; k < std::size(g_routeKinds); ++k) {
        for (size_t i = 0; i < static_cast<size_t>(kPerKind); ++i) {
            const char* type = g_routeTypes[(k + i) % std::size(g_routeTypes)];
            f(generateRoute(kFirstSeed + static_cast<uint32_t>(k * 10 + i), g_routeKinds[k], type));
        }
    }
}

const CheckResult& lf_check(const RouteOutcome& o, const std::string& name)
{
    for (const CheckResult& c : o.checks) {
        if (c.name == name)
            return c;
    }
    throw std::logic_error("no check " + name);
}

// Each named route of a kind (seed, type), flown through the product's path, passes every check.
void lf_expectEachPasses(RouteKind kind, std::initializer_list<std::tuple<uint32_t, const char*>> routes)
{
    for (const auto& [seed, type] : routes) {
        const RouteOutcome o = runRoute(generateRoute(seed, kind, type), false);
        EXPECT_TRUE(o.keepsToRealWay()) << "seed " << seed << ", " << type << ": " << o.failures();
    }
}

// A generated run of routes of a kind from seed first, the types in turn: none is past half
// again its allowance on any of the checks.
void lf_expectRunWithin(RouteKind kind, uint32_t first, uint32_t count, std::initializer_list<const char*> checks)
{
    for (uint32_t i = 0; i < count; ++i) {
        const char* type = g_routeTypes[i % std::size(g_routeTypes)];
        const RouteOutcome o = runRoute(generateRoute(first + i, kind, type), false);
        SCOPED_TRACE(testing::Message() << "seed " << first + i << ", " << type << ": " << o.failures());
        for (const char* name : checks) {
            const CheckResult& c = lf_check(o, name);
            EXPECT_LE(c.worst, 1.5 * c.limit) << name;
        }
    }
}

TEST(RouteTableTest, GeneratedRoutesKeepToThePathTheNoseTheSpeedTheStopsAndTheStand)
{
    int failing = 0;
    int routes = 0;
    lf_forEachRoute([&](const GeneratedRoute& route) {
        const RouteOutcome o = runRoute(route, false);
        ++routes;
        if (o.keepsToRealWay())
            return;
        ++failing;
        std::printf("seed %u, %s, %s (%s): %s\n  rerun and draw it: scripts/bench.sh routes --seed %u --kind '%s' "
                    "--type %s\n",
                    route.seed, std::string(routeKindName(route.kind)).c_str(), route.type.c_str(),
                    route.drawn.c_str(), o.failures().c_str(), route.seed,
                    std::string(routeKindName(route.kind)).c_str(), route.type.c_str());
    });
    std::printf("%d of %d generated routes outside the limits\n", failing, routes);
    // Not all are within them yet (holds, exits, line-ups, stops at a stand): a
    // change that lets more out fails here.
    EXPECT_LE(failing, kKnownOutside);
}

// Push-backs with swings either way up to a quarter turn, the taxi following after a stop or
// at once: the push ends where the reports show it ended and with their swing, it and the
// taxi start on time, and the aircraft never stands while its reports move. Not all do yet (a
// taxi starts a fraction of a second late): a change that lets more out fails here.
TEST(RouteTableTest, APushBackEndsWhereAndWithTheSwingReportedAndItAndTheTaxiStartOnTime)
{
    constexpr int kPushBackKnownOutside = 1;
    int outside = 0;
    for (uint32_t seed = 7000; seed < 7024; ++seed) {
        const char* type = g_routeTypes[seed % std::size(g_routeTypes)];
        const GeneratedRoute route = generateRoute(seed, RouteKind::PushBack, type);
        const RouteOutcome o = runRoute(route, false);
        bool within = true;
        for (const char* check : {"push end", "push heading", "start", "standstill"}) {
            const CheckResult& c = lf_check(o, check);
            EXPECT_TRUE(c.judged) << check;
            if (c.worst <= c.limit)
                continue;
            within = false;
            std::printf("seed %u, %s (%s): %s %.2f, limit %.0f\n", seed, type, route.drawn.c_str(), check, c.worst,
                        c.limit);
        }
        outside += within ? 0 : 1;
    }
    EXPECT_LE(outside, kPushBackKnownOutside);
}

// Push-backs with one report in ten without its track (0, as RealTraffic sends a missing
// track and a north one alike): such a report's way is told by its move from the report
// before, and a move within the reports' jitter tells none. Taken as a way, such moves ended
// 6 of these 48 pushes short of where and with the swing their reports showed, some then
// standing for half a minute (first seen as seed 200196, a B744: a report 1.6 m from the
// aircraft ended its push 15 m short, and it turned back on the spot to taxi to the real end).
TEST(RouteTableTest, APushWhoseReportsLackTheirTrackEndsWhereItsReportsShowItEnded)
{
    constexpr uint32_t kFirstMissingSeed = 7100;
    constexpr int kPushes = 48;
    int outside = 0;
    for (uint32_t seed = kFirstMissingSeed; seed < kFirstMissingSeed + kPushes; ++seed) {
        const char* type = g_routeTypes[seed % std::size(g_routeTypes)];
        GeneratedRoute route = generateRoute(seed, RouteKind::PushBack, type);
        route.feed.missingTrackRate = 0.1;
        const RouteOutcome o = runRoute(route, false);
        for (const char* check : {"push end", "push heading", "stop place", "start", "standstill", "real way"}) {
            const CheckResult& c = lf_check(o, check);
            if (c.worst <= c.limit)
                continue;
            ++outside;
            std::printf("seed %u, %s (%s), tracks missing: %s %.2f, limit %.0f\n", seed, type, route.drawn.c_str(),
                        check, c.worst, c.limit);
        }
    }
    EXPECT_EQ(outside, 0);
}

// Push-backs whose end the reports tell only roughly: the last ones going back jitter a few
// metres about the end, one at rest comes without a track, the taxi's first report is
// slower than its track tells, or it comes fast soon after the push ended. The push still
// ends where and with the swing the real one did (each of these once ended with the tail
// swung the wrong way round, up to 89 degrees off, with the swing of a report half-way
// round it, or farther back than the time between the reports allows).
TEST(RouteTableTest, APushBackEndsWithTheSwingReportedWhenItsLastReportsTellItOnlyRoughly)
{
    const std::tuple<uint32_t, const char*> routes[] = {
        {466u, "C172"}, {124u, "AT72"}, {976u, "A320"}, // the last reports going back jitter across the line
        {41u, "AT72"}, {5136u, "A320"},                 // a report at rest without a track
        {212u, "AT72"}, {620u, "A320"}, {815u, "C172"}, // the taxi's first report slower than 1.5 kt
        {330u, "B744"}, {93u, "A320"},
        {745u, "AT72"}, {411u, "B744"},    // the taxi gathers its speed faster than most
        {40486u, "A320"}, {30210u, "AT72"}}; // the taxi's first report slow, its next not yet come
    for (const auto& [seed, type] : routes) {
        const RouteOutcome o = runRoute(generateRoute(seed, RouteKind::PushBack, type), false);
        SCOPED_TRACE(testing::Message() << "seed " << seed << ", " << type << ": " << o.failures());
        EXPECT_TRUE(lf_check(o, "push end").pass());
        EXPECT_TRUE(lf_check(o, "push heading").pass());
    }
}

// How far the real aircraft's nose swung while it was pushed back, in degrees.
double lf_pushSwingDeg(const GeneratedRoute& route)
{
    double end = route.truth.front().headingDeg;
    for (const TruthState& x : route.truth) {
        if (x.phase == TruthPhase::Push)
            end = x.headingDeg;
    }
    return std::fabs(std::remainder(end - route.truth.front().headingDeg, 360.0));
}

// Heavies pushed back with a swing of 60 degrees or more, their reports 5 m off at most: the
// push ends within 5 m of where the real one did, on its heading within 10 degrees. Where the
// reports showed the swing tighter than a tug turns a B744, its end was laid on a line aside
// to keep the swing: 6.7 m off, and once 27 m, the aircraft turned about (seed 7090).
TEST(RouteTableTest, AHeavysSwungPushEndsWhereItsNoisyReportsShowItEnded)
{
    constexpr uint32_t kFirstPushSeed = 7000;
    constexpr int kPushes = 150;
    constexpr double kLeastSwingDeg = 60.0;
    int outside = 0;
    int flown = 0;
    for (uint32_t seed = kFirstPushSeed; flown < kPushes && seed < kFirstPushSeed + 10 * kPushes; ++seed) {
        GeneratedRoute route = generateRoute(seed, RouteKind::PushBack, "B744");
        if (lf_pushSwingDeg(route) < kLeastSwingDeg)
            continue;
        route.feed.positionNoiseM = 5.0;
        ++flown;
        const RouteOutcome o = runRoute(route, false);
        bool within = true;
        for (const char* check : {"push end", "push heading", "stop place"}) {
            const CheckResult& c = lf_check(o, check);
            EXPECT_LE(c.worst, 1.5 * c.limit) << "seed " << seed << " (" << route.drawn << "): " << check;
            if (c.worst <= c.limit)
                continue;
            within = false;
            std::printf("seed %u, B744 (%s), 5 m noise: %s %.2f, limit %.0f\n", seed, route.drawn.c_str(), check,
                        c.worst, c.limit);
        }
        outside += within ? 0 : 1;
    }
    EXPECT_EQ(flown, kPushes);
    EXPECT_EQ(outside, 0);
}

// Pushes whose first reports going back lie within their jitter of the stand, 5 m off: the
// move from the one before to the first with a track points anywhere, and read against it
// the track looked like the nose's. The push then ended at once, and the aircraft turned on
// its stand and taxied nose first down the way it should have been pushed (49-57 m off at the
// push's end, 12-23 s late moving off).
TEST(RouteTableTest, APushWhoseFirstReportsLieWithinTheirJitterOfTheStandIsPushed)
{
    const std::tuple<uint32_t, const char*> routes[] = {
        {21000u, "A320"}, {37420u, "AT72"}, {37748u, "B744"}, {50404u, "B744"}};
    for (const auto& [seed, type] : routes) {
        GeneratedRoute route = generateRoute(seed, RouteKind::PushBack, type);
        route.feed.positionNoiseM = 5.0;
        const RouteOutcome o = runRoute(route, false);
        SCOPED_TRACE(testing::Message() << "seed " << seed << ", " << type << ": " << o.failures());
        for (const char* check : {"push end", "push heading", "start", "standstill"})
            EXPECT_TRUE(lf_check(o, check).pass()) << check;
    }
}

// Pushes whose start the reports going back tell: the aircraft moves off its stand within 3 s
// of the real one. The path laid again at a report queued a moment after it began, while it
// still crept off the stand, had it stand once more and wait for the first report ahead (3.3 s
// late).
TEST(RouteTableTest, APushMovesOffItsStandOnTimeThoughItsPathIsLaidAgainAsItBegins)
{
    for (const auto& [seed, type] : {std::tuple{944u, "B744"}, std::tuple{50117u, "C172"}}) {
        const RouteOutcome o = runRoute(generateRoute(seed, RouteKind::PushBack, type), false);
        EXPECT_TRUE(lf_check(o, "start").pass()) << "seed " << seed << ", " << type << ": " << o.failures();
    }
}

// Taxis after a push whose first report ahead lies a few metres aside of the nose by its
// jitter: the aircraft moves off within 3 s of the real one, which went straight on. The turn
// on the spot aimed at that report was kept when the reports after it showed the way, and the
// aircraft turned a second time as it was due to move off (up to 17 s late); or the report,
// nearer than its jitter tells a way, was taken for a way off the nose (4 s late).
TEST(RouteTableTest, AfterAPushTheTaxiMovesOffOnTimeThoughItsFirstReportAheadLiesAsideByItsJitter)
{
    const std::tuple<uint32_t, const char*> routes[] = {
        {442u, "B744"}, {1532u, "AT72"}, {50665u, "A320"}, {50750u, "A320"}, // aimed before the way was told
        {50149u, "B744"}};                                                   // the one report there to aim by
    for (const auto& [seed, type] : routes) {
        const RouteOutcome o = runRoute(generateRoute(seed, RouteKind::PushBack, type), false);
        EXPECT_TRUE(lf_check(o, "start").pass()) << "seed " << seed << ", " << type << ": " << o.failures();
    }
}

// Taxis after a push whose first report of moving off lies within the stop's jitter: the
// aircraft moves off within 3 s of the real one. Timed by the metres to the next report, it
// moved off up to 3.1 s early or late where they lay a few metres off; their speeds and times
// tell the pace the real one gained, and so when it moved. A pace read from a faster report
// beyond one no faster (a steady pace, a bend taken slowly) moved it off seconds early. So did
// a pace gained slowly through a bend ahead, read back to rest, though a report at rest showed
// the real one still standing: a later one, taken for a repeat of the stop's first (6 s
// early), or the first itself, its time put back to when the stop began (4.3 s early). So
// did a faster report beyond a turn, the one before it slowed for the turn (3.2-5.4 s early).
TEST(RouteTableTest, MovingOffAfterAPushItsStartIsTimedByTheReportsSpeedsNotTheirPlaces)
{
    const std::tuple<uint32_t, const char*> routes[] = {
        {50334u, "C172"}, {583u, "C172"},      // the next report's place metres off
        {21793u, "C172"}, {50516u, "C172"},    // a faster report after one no faster
        {200075u, "C172"}, {200905u, "C172"},  // a report at rest later than the stop began
        {500332u, "C172"}, {500046u, "A320"},  // a faster report beyond a turn
        {100890u, "A320"}, {700174u, "AT72"}};
    for (const auto& [seed, type] : routes) {
        const RouteOutcome o = runRoute(generateRoute(seed, RouteKind::PushBack, type), false);
        EXPECT_TRUE(lf_check(o, "start").pass()) << "seed " << seed << ", " << type << ": " << o.failures();
    }
}

// A push whose first report at rest came so soon after the last moving one that it was
// skipped as a repeat: its time still tells when the push came to rest. Timed instead by the
// next report at rest, braking from the last moving one over the metres to its place, the
// C172 pushed on 4.5 s after the real one stood.
TEST(RouteTableTest, APushsStopIsTimedByItsFirstReportAtRestThoughThatWasSkippedAsARepeat)
{
    const RouteOutcome o = runRoute(generateRoute(200253, RouteKind::PushBack, "C172"), false);
    EXPECT_TRUE(lf_check(o, "stop time").pass()) << "seed 200253, C172: " << o.failures();
}

// Pushes whose end was reported at rest more than once, 3-5 m off each time, the later
// reports skipped as repeats: the push ends at their mean, within the stop's 5 m and 3 s.
// Placed by the first alone, it ended up to 5 m past the real end and stopped up to 4.4 s
// late (one, a C172, still stops 3.7 s late).
TEST(RouteTableTest, APushEndsWhereItsReportsAtRestTogetherShowIt)
{
    const std::tuple<uint32_t, const char*, bool> routes[] = {
        {400931u, "A320", true}, {600245u, "C172", true}, {700681u, "B744", true}, {600201u, "C172", false}};
    for (const auto& [seed, type, onTime] : routes) {
        const RouteOutcome o = runRoute(generateRoute(seed, RouteKind::PushBack, type), false);
        SCOPED_TRACE(testing::Message() << "seed " << seed << ", " << type << ": " << o.failures());
        EXPECT_TRUE(lf_check(o, "stop place").pass());
        EXPECT_TRUE(lf_check(o, "push end").pass());
        EXPECT_TRUE(lf_check(o, "stop time").pass() || !onTime);
    }
}

// A push is flown half a minute after its reports come, so a short one is reported to its end
// while the aircraft still stands on its stand: those reports are the push's all the same.
// Taken for a parked aircraft's repeats, a C172's end was skipped and its push stopped 5.3 s
// early (450425); two reports 0.7 m apart told an A320's tug stopped a second after the last
// moving one, 4.8 s early (450316); moving off, a B744 turned 50 degrees on the spot toward a
// report a metre off and back again, 7.5 s late (850410). Over a generated run of pushes of
// every type, none ends or moves off later or sooner than half again its allowance.
TEST(RouteTableTest, APushIsTimedByAllItsReportsThoughTheyComeBeforeItIsFlown)
{
    const std::tuple<uint32_t, const char*, const char*> named[] = {
        {850410u, "B744", "start"}, {450425u, "C172", "stop time"}, {450316u, "A320", "stop time"}};
    for (const auto& [seed, type, check] : named) {
        const RouteOutcome o = runRoute(generateRoute(seed, RouteKind::PushBack, type), false);
        SCOPED_TRACE(testing::Message() << "seed " << seed << ", " << type << ": " << o.failures());
        const CheckResult& c = lf_check(o, check);
        EXPECT_LE(c.worst, 1.5 * c.limit) << check;
    }
    lf_expectRunWithin(RouteKind::PushBack, 2400001, 120, {"stop time", "start", "push end"});
}

// A push's last report going back and its first at rest lie metres off by their jitter, the
// one at rest often nearer than a tug brakes over, or even behind it: stopped there, an AT72
// was braked hard seconds before its time and stood 4.5 s early (2450616), a B744 5.0 s early
// (3550765). A report a few tenths of a knot slower than the one before shows the tug braking
// already: timed by the metres to the report at rest, a C172 stopped 5.6 s late (2450735),
// an AT72 4.6 s (5050432). Then pushes of every type from seeds no tuning used.
TEST(RouteTableTest, APushStopsOnFromItsLastReportGoingBackAsItsTugBrakesIt)
{
    const std::tuple<uint32_t, const char*> named[] = {
        {2450616u, "AT72"}, {3550765u, "B744"}, {2450735u, "C172"}, {5050432u, "AT72"}};
    for (const auto& [seed, type] : named) {
        const RouteOutcome o = runRoute(generateRoute(seed, RouteKind::PushBack, type), false);
        SCOPED_TRACE(testing::Message() << "seed " << seed << ", " << type << ": " << o.failures());
        for (const char* check : {"stop time", "stop place", "push end"}) {
            const CheckResult& c = lf_check(o, check);
            EXPECT_LE(c.worst, 1.5 * c.limit) << check;
        }
    }
    lf_expectRunWithin(RouteKind::PushBack, 5600001, 60, {"stop time", "stop place", "push end", "push heading"});
}

// A push's first reports creep or gather pace a few metres from the stand, within the
// reports' jitter, which at a crawl is seconds: timed by those metres as though at its pace
// already, an A320's push began 5.3 s early (4350583); a report creeping off at 1 kt was taken
// for the aircraft still standing, and an AT72's push began 5 s early (4850343). A report at
// rest at the push's end, skipped as a repeat, still tells how long it stood: lost, a C172's
// taxi moved off 4.6 s early (4750863). Then pushes of every type from seeds no tuning used.
TEST(RouteTableTest, APushAndTheTaxiAfterItBeginWhenTheirReportsTellTheyBegan)
{
    const std::tuple<uint32_t, const char*> named[] = {{4350583u, "A320"}, {4850343u, "AT72"}, {4750863u, "C172"}};
    for (const auto& [seed, type] : named) {
        const RouteOutcome o = runRoute(generateRoute(seed, RouteKind::PushBack, type), false);
        EXPECT_TRUE(lf_check(o, "start").pass()) << "seed " << seed << ", " << type << ": " << o.failures();
    }
    lf_expectRunWithin(RouteKind::PushBack, 5700001, 60, {"start"});
}

// A stop is timed by the way from the last moving report to where it came to rest, told
// better by every report at rest than by the first: timed by the first alone, 9 m from the
// moving report where the real way was 4 m, an AT72's push stopped 5.3 s late (4050874), and
// a B744 came to rest on its stand 3.5 s early (to stand 4750330). A fix repeated to the metre
// while its speed still rolls at 1.5 kt is no stop: taken for one, an A320's push stopped
// 4.7 s early (4650447). Then taxis to a stand of every type from seeds no tuning used.
TEST(RouteTableTest, AStopIsTimedByAllItsReportsAtRestAndARepeatedFixStillRollingIsNone)
{
    const std::tuple<uint32_t, RouteKind, const char*> named[] = {{4050874u, RouteKind::PushBack, "AT72"},
                                                                  {4650447u, RouteKind::PushBack, "A320"},
                                                                  {4750330u, RouteKind::ToStand, "B744"}};
    for (const auto& [seed, kind, type] : named) {
        const RouteOutcome o = runRoute(generateRoute(seed, kind, type), false);
        EXPECT_TRUE(lf_check(o, "stop time").pass()) << "seed " << seed << ", " << type << ": " << o.failures();
    }
    lf_expectRunWithin(RouteKind::ToStand, 5800001, 24, {"stop time", "stop place"});
}

// Run on ahead of its reports out of a roll-out, an aircraft comes onto the path laid again
// where it is, however many reports it passed: joined back to one 20 m behind, a B744 turned
// about on its exit and back, its nose 56 degrees off its way (4150328). Then exits of every
// type from seeds no tuning used.
TEST(RouteTableTest, RunOnAheadOfItsReportsItComesOnWhereItIsNotBackToThem)
{
    const RouteOutcome o = runRoute(generateRoute(4150328u, RouteKind::Exit, "B744"), false);
    for (const char* check : {"nose", "accel", "path"})
        EXPECT_TRUE(lf_check(o, check).pass()) << check << ": " << o.failures();
    lf_expectRunWithin(RouteKind::Exit, 5900001, 24, {"nose", "accel", "path"});
}

// A turn hidden in a gap right after a report dropped as a repeat (a second or less after the
// one before it, or under 450 m on with its track steady): the aircraft flew on from the last
// report alone, and its turn starts on the track the reports before it tell, not on that one
// report's. Two B744s at 226-240 kt began their turns 6 degrees off and passed 94 and 97 m
// from their way (5350374, 5350901). Then gap turns of every type from seeds no tuning used.
TEST(RouteTableTest, AGapTurnAfterARepeatDroppedStartsOnTheTrackItsReportsTell)
{
    lf_expectEachPasses(RouteKind::GapTurn, {{5350374u, "B744"}, {5350901u, "B744"}});
    lf_expectRunWithin(RouteKind::GapTurn, 6000001, 24, {"path", "nose"});
}

// Where the reports' jitter puts a report or a stop a metre or two behind a rolling aircraft,
// and a gap's reported tracks lie a few degrees either side of its chord: an AT72 moving off
// from a hold was joined back to a report behind it and swung 90 degrees and back (1250874);
// another crept past its stop to the report of moving off and stopped 8.5 s late (1850038);
// a C172's gap was drawn into a cusp and it swung 60 degrees right and back (gap turn
// 1850381). Then holds and gap turns of every type from seeds no tuning used.
TEST(RouteTableTest, ReportsJustBehindTheAircraftAndNoisyTracksAcrossAGapTurnItNoWay)
{
    const std::tuple<uint32_t, RouteKind, const char*, const char*> named[] = {
        {1250874u, RouteKind::Hold, "AT72", "nose"},
        {1850038u, RouteKind::Hold, "AT72", "stop time"},
        {1850381u, RouteKind::GapTurn, "C172", "nose"}};
    for (const auto& [seed, kind, type, check] : named) {
        const RouteOutcome o = runRoute(generateRoute(seed, kind, type), false);
        SCOPED_TRACE(testing::Message() << "seed " << seed << ", " << type << ": " << o.failures());
        const CheckResult& c = lf_check(o, check);
        EXPECT_LE(c.worst, c.limit) << check;
    }
    for (const RouteKind kind : {RouteKind::Hold, RouteKind::GapTurn})
        lf_expectRunWithin(kind, 2500001, 80, {"nose", "stop time", "stop place", "path"});
}

// Late on a runway exit, an aircraft runs above 40 kt though its reports are slower: it
// brakes to their pace as on a taxiway (an AT72 braked 2.6 m/s², 1150167; an A320 2.7 m/s²,
// 1250618). Then exits of every type from seeds no tuning used.
TEST(RouteTableTest, ALateExitBrakesToItsReportsAsOnATaxiway)
{
    for (const auto& [seed, type] : {std::pair{1150167u, "AT72"}, std::pair{1250618u, "A320"}}) {
        const RouteOutcome o = runRoute(generateRoute(seed, RouteKind::Exit, type), false);
        SCOPED_TRACE(testing::Message() << "seed " << seed << ", " << type << ": " << o.failures());
        const CheckResult& c = lf_check(o, "accel");
        EXPECT_LE(c.worst, c.limit);
    }
    lf_expectRunWithin(RouteKind::Exit, 2500001, 80, {"accel", "speed", "path"});
}

// A report taken in a turn is no kink in the way, nor a stop's jitter a crawl to it: a C172's
// corner met a slight bend beside it and was left an arm of a metre, braked for to 3 kt, and
// its line-up stop came 4.5 s late (450033); a B744's straight into a report met the curve on
// from it at 10 degrees and it braked to 2 kt (1050808), an AT72's at 39 degrees (1750832); a
// C172 late out of a turn ran on at a slow report's pace to its stop, 6.5 s late (1550337);
// another came to rest at its hold and crept on 3 m to where the stop was laid again, 5 s
// late (hold 1850420). Then line-ups, U-turns and holds of every type from seeds no tuning
// used.
TEST(RouteTableTest, AReportInATurnOrAStopsJitterIsNoKinkInTheWayNorACrawlToIt)
{
    const std::tuple<uint32_t, RouteKind, const char*> named[] = {{450033u, RouteKind::LineUp, "C172"},
                                                                  {1050808u, RouteKind::LineUp, "B744"},
                                                                  {1750832u, RouteKind::LineUp, "AT72"},
                                                                  {1550337u, RouteKind::LineUp, "C172"},
                                                                  {1850420u, RouteKind::Hold, "C172"}};
    for (const auto& [seed, kind, type] : named) {
        const RouteOutcome o = runRoute(generateRoute(seed, kind, type), false);
        SCOPED_TRACE(testing::Message() << "seed " << seed << ", " << type << ": " << o.failures());
        const CheckResult& c = lf_check(o, "stop time");
        EXPECT_LE(c.worst, c.limit);
    }
    lf_expectRunWithin(RouteKind::LineUp, 2600001, 60, {"stop time", "start", "speed", "path"});
    lf_expectRunWithin(RouteKind::UTurn, 2600001, 40, {"path", "nose", "speed"});
    lf_expectRunWithin(RouteKind::Hold, 2600001, 40, {"stop time", "stop place", "standstill"});
}

// Early off its roll-out, a B744 braked only down to its next report's speed, ran on at its
// pace and stood 1.77 s at its exit waiting for the real one (3350145); another, held to
// braking gentler than its reports show, ran 100 m ahead of them and looped back at its exit
// (3450768); another's report in a turn read a track of 0, due north, taken for none, and the
// turn was laid along the chord into it, 14 m inside the real way (turns 3350944). Then exits
// of every type from seeds no tuning used.
TEST(RouteTableTest, AnEarlyRollOutStandsNowhereAndADueNorthTrackKeepsItsTurn)
{
    for (const uint32_t seed : {3350145u, 3450768u}) {
        const RouteOutcome exit = runRoute(generateRoute(seed, RouteKind::Exit, "B744"), false);
        SCOPED_TRACE(testing::Message() << "exit " << seed << ": " << exit.failures());
        for (const char* check : {"standstill", "nose", "accel"})
            EXPECT_TRUE(lf_check(exit, check).pass()) << check;
    }
    const RouteOutcome turns = runRoute(generateRoute(3350944u, RouteKind::Turns, "B744"), false);
    SCOPED_TRACE(testing::Message() << "turns 3350944: " << turns.failures());
    EXPECT_TRUE(lf_check(turns, "real way").pass());
    lf_expectRunWithin(RouteKind::Exit, 2700001, 24, {"standstill", "speed", "path"});
}

// Holds of every type reported every 5 to 10 s, each report 5 m off: a report at rest that
// comes after the aircraft stopped may lie 10 m or more behind where it stands, its own place
// off the real stop too. The aircraft stands on and moves off with the real one (a B744, seed
// 198, turned about on the spot to go back to it, and again to move off: 19 s standing while
// the real one rolled, 25 s late).
TEST(RouteTableTest, AHoldsLaterReportsAtRestBehindTheAircraftDoNotTurnItAbout)
{
    constexpr uint32_t kFirstHoldSeed = 196;
    constexpr uint32_t kHoldSeeds = 12;
    for (uint32_t i = 0; i < kHoldSeeds * std::size(g_routeTypes); ++i) {
        GeneratedRoute route =
            generateRoute(kFirstHoldSeed + i / std::size(g_routeTypes), RouteKind::Hold, g_routeTypes[i % std::size(g_routeTypes)]);
        route.feed.positionNoiseM = 5.0;
        route.feed.minGapS = 5.0;
        route.feed.maxGapS = 10.0;
        const RouteOutcome o = runRoute(route, false);
        SCOPED_TRACE(testing::Message() << "seed " << route.seed << ", " << route.type << ": " << o.failures());
        EXPECT_TRUE(lf_check(o, "standstill").pass());
        EXPECT_TRUE(lf_check(o, "nose").pass());
        const CheckResult& start = lf_check(o, "start");
        EXPECT_LE(start.worst, 1.5 * start.limit);
    }
}

// Holds and taxis onto a stand, every type, with reports as sparse and jittery as they come:
// standing, the aircraft never stands on while the real one rolls (the jitter of the first
// reports turned it about on the spot); it ends on its stand, its nose on the stand's heading;
// no stop or start comes more than three times its allowance off the real one.
TEST(RouteTableTest, HoldsAndStandsAreReachedHeldAndLeftWithTheRealAircraft)
{
    constexpr uint32_t kFirstStopSeed = 4600;
    constexpr uint32_t kStopSeeds = 16;
    for (const RouteKind kind : {RouteKind::Hold, RouteKind::ToStand}) {
        for (uint32_t i = 0; i < kStopSeeds * std::size(g_routeTypes); ++i) {
            const GeneratedRoute route =
                generateRoute(kFirstStopSeed + i / std::size(g_routeTypes), kind, g_routeTypes[i % std::size(g_routeTypes)]);
            // A route whose real track, flown late, fails the checks tells nothing of the engine.
            if (!judgeTruthReplay(route).keepsToRealWay())
                continue;
            const RouteOutcome o = runRoute(route, false);
            SCOPED_TRACE(testing::Message() << "seed " << route.seed << ", " << routeKindName(kind) << ", " << route.type
                                            << ": " << o.failures());
            EXPECT_TRUE(lf_check(o, "standstill").pass());
            for (const char* name : {"stop time", "start"}) {
                const CheckResult& c = lf_check(o, name);
                EXPECT_LE(c.worst, 3.0 * c.limit) << name;
            }
            if (kind == RouteKind::ToStand) {
                EXPECT_TRUE(lf_check(o, "stand").pass());
                EXPECT_TRUE(lf_check(o, "stand heading").pass());
            }
        }
    }
}

// Taxis onto a stand reported only every 5 to 10 s: the report at rest comes up to 10 s after
// the real stop, and the slowing reports before it come faster than the aircraft rolls 20 m.
// The aircraft still comes to rest on its stand within 3 s of the real one (5 of these 100
// stood there 4.6 to 10 s late, or crawled there at walking pace, and 3 more came early once
// a slow report a few metres short of the stand was dropped, its time with it). Not all do
// yet (one comes to rest half a second over): a change that lets more out fails here.
TEST(RouteTableTest, AStopOnAStandReportedSparselyBeginsWhenTheRealOneDid)
{
    constexpr uint32_t kFirstSparseSeed = 8000;
    constexpr int kRoutes = 100;
    constexpr int kSparseKnownOutside = 1;
    int taken = 0;
    int outside = 0;
    for (uint32_t seed = kFirstSparseSeed; taken < kRoutes; ++seed) {
        const GeneratedRoute route =
            generateRoute(seed, RouteKind::ToStand, g_routeTypes[seed % std::size(g_routeTypes)]);
        if (route.feed.minGapS < 5.0)
            continue;
        ++taken;
        const RouteOutcome o = runRoute(route, false);
        const CheckResult& c = lf_check(o, "stop time");
        EXPECT_TRUE(c.judged) << "seed " << seed;
        if (c.worst > 3.0) {
            ++outside;
            std::printf("seed %u, to stand, %s (%s): stop time %.2f s\n", seed, route.type.c_str(),
                        route.drawn.c_str(), c.worst);
        }
    }
    EXPECT_LE(outside, kSparseKnownOutside);
}

// Taxis onto a stand that slow to a walking pace before it: the slow report just short of the
// stop lies within its jitter and times nothing of the way there, yet its speed tells the pace
// the aircraft slowed to. Run on at the faster report's pace and held at the stop, an A320 came
// to rest 6.4 s before the real one, a B744 3.1 s. Another A320's stop was timed by braking over
// the metre between its last moving report and its first at rest, which their jitter put so
// close: it came to rest 4.7 s early.
TEST(RouteTableTest, ATaxiThatSlowsBeforeItsStopComesToRestWithTheRealOne)
{
    for (const auto& [seed, type] :
         {std::tuple{400053u, "A320"}, std::tuple{100807u, "B744"}, std::tuple{500002u, "A320"}}) {
        const RouteOutcome o = runRoute(generateRoute(seed, RouteKind::ToStand, type), false);
        EXPECT_TRUE(lf_check(o, "stop time").pass()) << "seed " << seed << ", " << type << ": " << o.failures();
    }
}

// A hold and a line-up whose last report before the stop rolls at a walking pace: by its speed
// within a metre of the stop, by its jitter metres off it. Laid through it, the last metres
// wound through a knot: the C172 crawled round it and stopped 4.6 s late, the A320 circled
// before its take-off roll and began it 5.4 s late. Both pass every check.
TEST(RouteTableTest, AReportRollingIntoItsStopWindsNoKnotIntoTheLastMetres)
{
    for (const auto& [seed, kind, type] :
         {std::tuple{500202u, RouteKind::Hold, "C172"}, std::tuple{500574u, RouteKind::LineUp, "A320"}}) {
        const RouteOutcome o = runRoute(generateRoute(seed, kind, type), false);
        EXPECT_TRUE(o.keepsToRealWay()) << "seed " << seed << ", " << type << ": " << o.failures();
    }
}

// Line-ups with reports every 1 to 10 s and up to 5 m of noise (the bench's seeds 601 to 1000,
// its types in turn): the first report at rest often lies back from the last moving one. The
// aircraft stops once, within 3 s and 5 m of the real stop, instead of turning back to that
// report and rolling about the stop for seconds (12 of these 400 did). Not all do yet (a
// stop of a few seconds flown through, a short roll after the take-off configuration): a
// change that lets more out fails here.
TEST(RouteTableTest, AStopWhoseReportLiesBackFromTheLastMovingOneIsMadeOnceOnTime)
{
    constexpr uint32_t kFirstStopSeed = 601;
    constexpr uint32_t kLastStopSeed = 1000;
    constexpr size_t kKindsInTurn = std::size(g_routeKinds);
    constexpr int kStopKnownOutside = 7;
    int outside = 0;
    for (uint32_t seed = kFirstStopSeed; seed <= kLastStopSeed; ++seed) {
        const char* type = g_routeTypes[(seed - 1) / kKindsInTurn % std::size(g_routeTypes)];
        const GeneratedRoute route = generateRoute(seed, RouteKind::LineUp, type);
        const RouteOutcome o = runRoute(route, false);
        const CheckResult& when = lf_check(o, "stop time");
        const CheckResult& where = lf_check(o, "stop place");
        if (when.pass() && where.pass())
            continue;
        ++outside;
        std::printf("seed %u, line-up, %s (%s): stop time %.2f s, stop place %.2f m\n", seed, type,
                    route.drawn.c_str(), when.worst, where.worst);
    }
    EXPECT_LE(outside, kStopKnownOutside);
}

// Holds with reports as sparse and jittery as they come, every type: the first report at rest
// lies a few metres on from the last moving one, often aside of the way by its jitter. The
// aircraft stops where the real one did, within 5 m, and brakes to it no harder than it can,
// rather than at that moving report (one AT72 stood 5.4 m short and 3.7 s early, another
// braked at 1.76 m/s² onto it). 600 holds.
TEST(RouteTableTest, AHoldIsMadeWhereItsReportAtRestShowsNotAtTheLastMovingReport)
{
    constexpr uint32_t kFirstHoldSeed = 1;
    constexpr uint32_t kHolds = 150;
    int outside = 0;
    for (uint32_t seed = kFirstHoldSeed; seed < kFirstHoldSeed + kHolds; ++seed) {
        for (const char* type : g_routeTypes) {
            const RouteOutcome o = runRoute(generateRoute(seed, RouteKind::Hold, type), false);
            const CheckResult& place = lf_check(o, "stop place");
            const CheckResult& accel = lf_check(o, "accel");
            if (place.pass() && accel.pass())
                continue;
            ++outside;
            std::printf("seed %u, hold, %s: stop place %.2f m, accel %.2f m/s2\n", seed, type, place.worst,
                        accel.worst);
        }
    }
    EXPECT_EQ(outside, 0);
}

// Holds reported with as much noise as the feed has (5 m), the bench's seeds 1 to 400 and
// types: each report at rest lies up to 5 m off the stop, so no one of them tells its place.
// The stop is made where they together show it, and moved off from there on time (one stood
// 18 s while its reports rolled, and moved off 25 s late, from a single report's place). Not
// all are yet (a stop 5.4 m off; seed 330 B744, whose reports as it slows lie behind one
// another, loops on the knot they make and stands facing back): a change that lets more out
// fails here.
TEST(RouteTableTest, AHoldReportedWithTheMostNoiseIsMadeWhereItsReportsAtRestTogetherShowIt)
{
    constexpr uint32_t kHolds = 400;
    constexpr double kMostNoiseM = 5.0;
    constexpr int kNoisyKnownOutside = 2;
    int outside = 0;
    for (uint32_t seed = 1; seed <= kHolds; ++seed) {
        const char* type = g_routeTypes[(seed - 1) / std::size(g_routeKinds) % std::size(g_routeTypes)];
        GeneratedRoute route = generateRoute(seed, RouteKind::Hold, type);
        route.feed.positionNoiseM = kMostNoiseM;
        const RouteOutcome o = runRoute(route, false);
        bool within = true;
        for (const char* check : {"stop place", "standstill", "start"})
            within = within && lf_check(o, check).pass();
        if (within)
            continue;
        ++outside;
        std::printf("seed %u, hold, %s, 5 m noise: %s\n", seed, type, o.failures().c_str());
    }
    EXPECT_LE(outside, kNoisyKnownOutside);
}

// Holds whose stop the reports show before the aircraft is created (within the first half
// minute of its reports), whose stop lies a few metres aside of the way the reports into it
// tell, or nearer to the last moving report than braking allows: the stop is still made where
// and when the real one was, braked for as the type can, the nose on the way it came (the
// jitter of the stop's place read as a turn swung it half round), and left on time. Each
// failed a check once; the bench's types.
TEST(RouteTableTest, AHoldReportedBeforeTheAircraftIsCreatedOrAsideOfItsWayIsMadeAndLeftAsReal)
{
    lf_expectEachPasses(RouteKind::Hold,
                        {{259u, "AT72"}, {1705u, "A320"}, {4507u, "C172"}, {5707u, "A320"}, // before the creation
                         {5727u, "C172"}, {5829u, "AT72"}, {6462u, "B744"}, {50672u, "B744"},
                         {6216u, "AT72"}, {50555u, "C172"}, // aside of the way
                         {1453u, "B744"}, {2904u, "C172"}}); // nearer than braking allows
}

// Holds and line-ups whose stop, laid on from the slow report before it by the braking at
// its speed, lies within a metre of that report: the stop is made where and when the real one
// was, braked for as the type can, and the aircraft stands facing the way it came until it
// moves off on time. Taken for that slow report, each stopped metres short and crept on late,
// or braked too hard; a line-up, led back from the stop to its first report of moving off,
// turned about on the runway. The bench's types.
TEST(RouteTableTest, AStopWithinAMetreOfTheSlowReportBeforeItIsMadeWhereTheRealOneWas)
{
    for (const auto& [seed, kind, type] :
         {std::tuple{50332u, RouteKind::LineUp, "C172"}, std::tuple{50743u, RouteKind::LineUp, "AT72"},
          std::tuple{695u, RouteKind::Hold, "AT72"}, std::tuple{50030u, RouteKind::Hold, "C172"},
          std::tuple{50673u, RouteKind::Hold, "B744"}}) {
        const RouteOutcome o = runRoute(generateRoute(seed, kind, type), false);
        EXPECT_TRUE(o.keepsToRealWay())
            << "seed " << seed << ", " << routeKindName(kind) << ", " << type << ": " << o.failures();
    }
}

// Line-ups whose reports jitter against the way at a crawl: creeping up to the hold line
// (seed 100923, an AT72, circled on the spot and stopped 8.6 s late) and moving off a stop
// (seed 100505, a B744, flicked its nose round by 35 degrees). And one that moves off from a
// stop with its nose turned about, the way ahead told by one chord alone (seed 200970, an
// A320): that chord's length came out a rounding short of the least that tells a way, so its
// nose was kept, and it drove a loop 38 m off the runway. And a take-off roll moving off at
// 1.2 kt, its next report 1.4 m behind that one (seed 300824, a C172): the way between the two
// pointed back, and the roll began with a loop 52 m off the runway. And one moving off its
// stop on the runway, its first report 1.1 m aside of the stop's (seed 300800, an A320): the
// chord between them turned it 87 degrees off the runway before the roll, 21 m off its way.
// Every check passes, and the heading sweeps through no loop.
TEST(RouteTableTest, ReportsJitteredAgainstTheWayAtACrawlTurnNoLoop)
{
    for (const auto& [seed, type] :
         {std::tuple{100923u, "AT72"}, std::tuple{100505u, "B744"}, std::tuple{200970u, "A320"},
          std::tuple{300824u, "C172"}, std::tuple{300800u, "A320"}}) {
        const RouteOutcome o = runRoute(generateRoute(seed, RouteKind::LineUp, type), true);
        EXPECT_TRUE(o.keepsToRealWay()) << "seed " << seed << ", " << type << ": " << o.failures();
        // The largest sweep of the heading over any 15 s, in degrees.
        const auto& f = o.trace.flown;
        double worst = 0.0;
        std::vector<double> swept(f.size(), 0.0);
        size_t from = 0;
        for (size_t k = 1; k < f.size(); ++k) {
            swept[k] = swept[k - 1] + std::fabs(std::remainder(f[k].headingDeg - f[k - 1].headingDeg, 360.0));
            while (f[k].t - f[from].t > 15.0)
                ++from;
            worst = std::max(worst, swept[k] - swept[from]);
        }
        EXPECT_LE(worst, 270.0) << "seed " << seed << ", " << type;
    }
}

// High-speed exits at 30-40 kt, reported every few seconds: between two reports the arc
// turned 15-20 degrees, each track a few degrees off the chord toward the turn. Laid as a
// straight with its corners rounded at the reports, the path cut the arc by 8-11 m (these
// eleven, of 4,000 exits). The aircraft keeps to the real way.
TEST(RouteTableTest, AnExitsArcBetweenTwoReportsIsFlownOnTheArcNotItsChord)
{
    for (const auto& [seed, type] :
         {std::tuple{133u, "A320"}, std::tuple{312u, "A320"}, std::tuple{50088u, "AT72"}, std::tuple{50961u, "AT72"},
          std::tuple{100174u, "AT72"}, std::tuple{100300u, "AT72"}, std::tuple{200075u, "C172"},
          std::tuple{200257u, "AT72"}, std::tuple{200266u, "A320"}, std::tuple{200316u, "A320"},
          std::tuple{200559u, "C172"}}) {
        const RouteOutcome o = runRoute(generateRoute(seed, RouteKind::Exit, type), false);
        EXPECT_TRUE(lf_check(o, "real way").pass()) << "seed " << seed << ", " << type << ": " << o.failures();
    }
}

// A B744 whose roll-out braked harder than the type's planned braking reached the exit seconds
// ahead of its reports, and slowed for them to catch up. Its path laid again at the next
// report, which lay behind it, was joined where that report lay: the aircraft turned about,
// rolled back 4 m and turned once more (braking at 2.45 m/s2 at a walking pace). It joins the
// path where it is, and rolls on.
TEST(RouteTableTest, AnAircraftAheadOfItsReportsJoinsItsPathWhereItIsNotBackAtTheReport)
{
    const RouteOutcome o = runRoute(generateRoute(400899, RouteKind::Exit, "B744"), false);
    EXPECT_TRUE(o.keepsToRealWay()) << "seed 400899, B744: " << o.failures();
}

// Holds whose first report of moving off lies within the stop's jitter, nearer to the place
// the aircraft stands than the type gains that report's speed in: the aircraft moves off
// within 3 s of the real one (timed by that place, it moved off 3 s late).
TEST(RouteTableTest, AReportOfMovingOffNearerThanItsSpeedIsGainedInDoesNotMakeTheStartLate)
{
    const RouteOutcome o = runRoute(generateRoute(160, RouteKind::Hold, "A320"), false);
    EXPECT_TRUE(lf_check(o, "start").pass()) << "seed 160, A320: " << o.failures();
}

// Taxis onto a stand whose last moving report lies a few metres aside of the stand's lead-in:
// the stop, moved onto the stand, is laid where the stand is, not onto that report's way (each
// stood 2.4 to 2.8 m off its stand once, there for good). The bench's types.
TEST(RouteTableTest, AStopOnAStandAsideOfTheLastMovingReportsWayIsMadeOnTheStand)
{
    for (const auto& [seed, type] :
         {std::tuple{747u, "AT72"}, std::tuple{50712u, "A320"}, std::tuple{50718u, "B744"}}) {
        const RouteOutcome o = runRoute(generateRoute(seed, RouteKind::ToStand, type), false);
        SCOPED_TRACE(testing::Message() << "seed " << seed << ", " << type << ": " << o.failures());
        EXPECT_TRUE(lf_check(o, "stand").pass());
        EXPECT_TRUE(lf_check(o, "stand heading").pass());
    }
}

// Holds of 10 to 90 s, every type, reports as sparse and jittery as they come: wherever the
// stop itself was reached when and where the real one stopped, the aircraft moves off within
// 3 s of the real one. The first reports of moving off lie within the stop's jitter and come
// slow, or are held back as too frequent: it neither creeps on towards them half a minute
// early nor waits for the one that tells it the way.
TEST(RouteTableTest, AHeldAircraftMovesOffWithinThreeSecondsOfTheRealOne)
{
    constexpr uint32_t kFirstHoldSeed = 1;
    constexpr uint32_t kHolds = 240;
    constexpr double kStartS = 3.0;
    int judged = 0;
    int late = 0;
    for (uint32_t seed = kFirstHoldSeed; seed < kFirstHoldSeed + kHolds; ++seed) {
        const GeneratedRoute route = generateRoute(seed, RouteKind::Hold, g_routeTypes[seed % std::size(g_routeTypes)]);
        if (!judgeTruthReplay(route).keepsToRealWay())
            continue;
        const RouteOutcome o = runRoute(route, false);
        if (!lf_check(o, "stop time").pass() || !lf_check(o, "stop place").pass())
            continue;
        ++judged;
        const CheckResult& start = lf_check(o, "start");
        EXPECT_TRUE(start.judged) << "seed " << seed;
        if (start.worst <= kStartS)
            continue;
        ++late;
        std::printf("seed %u, %s (%s): start %.2f s off at %.1f s\n", seed, route.type.c_str(), route.drawn.c_str(),
                    start.worst, start.atS);
    }
    EXPECT_GT(judged, static_cast<int>(kHolds) * 9 / 10);
    EXPECT_EQ(late, 0);
}

// Lined up after a taxi, stopped for 3 to 30 s, then the take-off roll, every type: the
// aircraft stands on the runway as the real one did, though it reached its stop a little late
// and still rolling, and begins its roll within 3 s of the real one.
TEST(RouteTableTest, ALinedUpAircraftStandsAndBeginsItsTakeOffRollWithinThreeSecondsOfTheRealOne)
{
    constexpr uint32_t kFirstLineUpSeed = 1;
    constexpr uint32_t kLineUps = 200;
    constexpr double kStartS = 3.0;
    int late = 0;
    for (uint32_t seed = kFirstLineUpSeed; seed < kFirstLineUpSeed + kLineUps; ++seed) {
        // The types as the bench gives them to the seeds of one kind.
        const char* type = g_routeTypes[(seed - 1) / std::size(g_routeKinds) % std::size(g_routeTypes)];
        const GeneratedRoute route = generateRoute(seed, RouteKind::LineUp, type);
        if (!judgeTruthReplay(route).keepsToRealWay())
            continue;
        // A stop of a few seconds is too short to judge.
        const RouteOutcome o = runRoute(route, false);
        const CheckResult& start = lf_check(o, "start");
        if (!start.judged || start.worst <= kStartS)
            continue;
        ++late;
        std::printf("seed %u, %s (%s): start %.2f s off at %.1f s\n", seed, route.type.c_str(), route.drawn.c_str(),
                    start.worst, start.atS);
    }
    EXPECT_EQ(late, 0);
}

// Line-ups with reports every 1 to 10 s and up to 5 m of noise (the bench's seeds 1 to 400,
// its types in turn): braking onto the runway, the last moving report comes slow and a few
// metres short of the first at rest, farther from it than its speed carries the aircraft by
// the stop. The aircraft still comes to rest within 3 s of the real one, instead of creeping
// to that report on its time and then hurrying on to the stop (7 of these 400 stopped 3 to
// 4.2 s late).
TEST(RouteTableTest, ASlowReportShortOfALineUpStopDoesNotMakeTheStopLate)
{
    constexpr uint32_t kFirstStopSeed = 1;
    constexpr uint32_t kLastStopSeed = 400;
    constexpr size_t kKindsInTurn = std::size(g_routeKinds);
    constexpr int kLateKnown = 0;
    int outside = 0;
    for (uint32_t seed = kFirstStopSeed; seed <= kLastStopSeed; ++seed) {
        const char* type = g_routeTypes[(seed - 1) / kKindsInTurn % std::size(g_routeTypes)];
        const GeneratedRoute route = generateRoute(seed, RouteKind::LineUp, type);
        const RouteOutcome o = runRoute(route, false);
        const CheckResult& when = lf_check(o, "stop time");
        if (when.pass())
            continue;
        ++outside;
        std::printf("seed %u, line-up, %s (%s): stop time %.2f s at %.1f s\n", seed, type, route.drawn.c_str(),
                    when.worst, when.atS);
    }
    EXPECT_LE(outside, kLateKnown);
}

// Line-ups as above, the bench's seeds 50001 to 50600: where the slow report short of the stop is passed by,
// the aircraft reaches the stop with its nose as the real one stood, and never turns about on
// the runway while the real one stands there (seeds 50367 and 50503 turned about: laid again
// at that report once passed by, the way led back to it). The nose check judges
// a moving aircraft only: here the trace is judged standing.
TEST(RouteTableTest, ALinedUpAircraftNeverTurnsAboutWhileTheRealOneStands)
{
    constexpr uint32_t kFirstStopSeed = 50001;
    constexpr uint32_t kLastStopSeed = 50600;
    constexpr size_t kKindsInTurn = std::size(g_routeKinds);
    constexpr double kLeadS = 30.0;
    constexpr double kRestKt = 1.0;
    constexpr double kAboutDeg = 90.0;
    constexpr double kSecondS = 1.0;
    constexpr double kTruthStepS = 0.1;
    constexpr double kStillM = 0.5;
    for (uint32_t seed = kFirstStopSeed; seed <= kLastStopSeed; ++seed) {
        const char* type = g_routeTypes[(seed - kFirstStopSeed) / kKindsInTurn % std::size(g_routeTypes)];
        const GeneratedRoute route = generateRoute(seed, RouteKind::LineUp, type);
        const RouteOutcome o = runRoute(route, true);
        const std::vector<RouteTrace::Frame>& flown = o.trace.flown;
        double worst = 0.0;
        double at = 0.0;
        size_t back = 0;
        for (const RouteTrace::Frame& f : flown) {
            while (flown[back].t < f.t - kSecondS)
                ++back;
            const double t = f.t - kLeadS;
            // Both standing: one still rolling into its stop late is judged by the stop's checks.
            if (t <= 0.0 || t >= route.endS - kLeadS ||
                std::hypot(f.east - flown[back].east, f.north - flown[back].north) >= kStillM)
                continue;
            const size_t i = std::min(static_cast<size_t>(std::lround(t / kTruthStepS)), route.truth.size() - 1);
            const TruthState& x = route.truth[i];
            if (x.gsKt > kRestKt)
                continue;
            const double off = std::fabs(std::remainder(f.headingDeg - x.headingDeg, 360.0));
            if (off > worst) {
                worst = off;
                at = f.t;
            }
        }
        EXPECT_LE(worst, kAboutDeg) << "seed " << seed << ", " << type << ": nose " << worst << " degrees off at " << at
                                    << " s";
    }
}

// Crawling onto the runway to line up, a report lies a few metres behind the one before it by
// its jitter alone. Its way was laid back to it: seed 800066 B744 turned about to crawl back,
// then stood 26 s turning on the spot to face the runway again, and began its take-off roll
// 26 s late; 100560 C172 passed 8.9 m off its way. Each lines up, stands and rolls with the
// real one.
TEST(RouteTableTest, ACrawlingReportJitteredBackOnTheWayOntoTheRunwayTurnsNoWayBack)
{
    lf_expectEachPasses(RouteKind::LineUp, {{800066u, "B744"}, {100560u, "C172"}});
}

// Slowing from 14 to 6 kt, a taxi's report of its slower pace came sooner than it rolls 20 m at
// that pace, on the same track, and was dropped as a repeat of a steady aircraft. Without it
// the aircraft ran ahead of the real one, and stood 3 s for it to catch up while the real one
// rolled on at 5 kt (seeds 300628 B744 and 600318 A320). Neither stands.
TEST(RouteTableTest, ChangingSpeedTheReportOfTheChangeIsNoRepeat)
{
    lf_expectEachPasses(RouteKind::SpeedChange, {{300628u, "B744"}, {600318u, "A320"}});
}

// The type the bench gives a seed in its run of a thousand from seed 1 (or 50001 for the seeds
// from there): the kinds in turn, each kind's types in turn.
const char* lf_benchType(uint32_t seed)
{
    constexpr uint32_t kBenchRun = 1000;
    const uint32_t inRun = (seed - 1) % kBenchRun;
    return g_routeTypes[inRun / std::size(g_routeKinds) % std::size(g_routeTypes)];
}

// Each route of a kind, seeds first to last with the bench's types, flown: f(seed, type, outcome).
template <typename F>
void lf_forBenchRoutes(RouteKind kind, uint32_t first, uint32_t last, F f)
{
    for (uint32_t seed = first; seed <= last; ++seed) {
        const char* type = lf_benchType(seed);
        f(seed, type, runRoute(generateRoute(seed, kind, type), false));
    }
}

// The routes of a kind, seeds first to last with the bench's types, that go past one check's
// limit by more than half of it: the most a user may see of any route.
int lf_pastHalfAgain(RouteKind kind, uint32_t first, uint32_t last, const char* check)
{
    int past = 0;
    lf_forBenchRoutes(kind, first, last, [&](uint32_t seed, const char* type, const RouteOutcome& o) {
        const CheckResult& c = lf_check(o, check);
        if (c.worst <= 1.5 * c.limit)
            return;
        ++past;
        std::printf("seed %u, %s, %s: %s %.2f (limit %.1f) at %.1f s\n", seed,
                    std::string(routeKindName(kind)).c_str(), type, check, c.worst, c.limit, c.atS);
    });
    return past;
}

// Line-ups and holds, the bench's seeds 601 to 1000: slowed for a bend the jitter of the last
// reports lays before the stop, the aircraft reaches the stop's report still rolling, and the
// way laid again there lies a step behind it. It comes to rest there all the same, and moves
// off with the real one (seed 648 C172, timed on from there as if rolling on, crept through a
// stop of 13 s and was 13 s off the real start).
TEST(RouteTableTest, AStopRolledOntoLateIsStoodAtNotCreptThrough)
{
    for (const RouteKind kind : {RouteKind::LineUp, RouteKind::Hold})
        EXPECT_EQ(lf_pastHalfAgain(kind, 601, 1000, "start"), 0) << routeKindName(kind);
}

// Line-ups, the bench's seeds 1 to 300: a curve laid to a report, then a straight leg on to the
// next report, where the next curve begins. The curve's last point lies up to a sample's
// spacing short of its report, and the bend onto the leg, rounded within that spacing, met the
// next curve as a kink of several degrees over a few decimetres, which a heavy slowed to a
// crawl for (seed 12 B744 stopped 6 s late). The leg leaves along the curve's end, and no stop
// is made later than half again its allowance.
TEST(RouteTableTest, ACurveLaidToAReportLeavesNoKinkOntoTheLegAfterIt)
{
    EXPECT_EQ(lf_pastHalfAgain(RouteKind::LineUp, 1, 300, "stop time"), 0);
}

// Holds, the bench's seeds 50001 to 50400, reported as sparsely as every 10 s: moving off,
// the aircraft's first report a few metres on is slow, its next, a dozen metres farther and
// seconds later, tells how fast it gathered speed. That one came sooner than the aircraft rolls
// 20 m at its speed and on the same track, and was dropped as a repeat: timed by the report
// after it, as if it had sped up steadily all the way, the aircraft moved off seconds early
// (seed 50203 C172, 5 s). None moves off more than half again its allowance off the real one.
TEST(RouteTableTest, MovingOffTheReportOfItsGainIsNoRepeat)
{
    EXPECT_EQ(lf_pastHalfAgain(RouteKind::Hold, 50001, 50400, "start"), 0);
}

// Line-ups, the bench's seeds 50601 to 51000: braking into the stop out of a turn it was slowed
// for, the aircraft is late, and the report after the turn comes too soon to be planned for.
// Planned for the slow report beyond it, the aircraft made up its time no faster than that
// report's crawl and stood seconds late (seed 50997 C172, 5.4 s). It makes it up at the pace
// of the reports about it, and no stop comes more than half again its allowance late.
TEST(RouteTableTest, LateOutOfATurnItMakesUpTimeAtThePaceOfTheReportsAboutIt)
{
    EXPECT_EQ(lf_pastHalfAgain(RouteKind::LineUp, 50601, 51000, "stop time"), 0);
}

// The checks judge the flight, not the harness: the real aircraft's own track flown 30 s
// late passes them all, and each fault put into it is found, at its size.
TEST(RouteTableTest, TheChecksPassTheRealTrackFlownLateAndFindEachFaultPutIntoIt)
{
    for (size_t k = 0; k < std::size(g_routeKinds); ++k) {
        for (const char* type : g_routeTypes) {
            const GeneratedRoute route = generateRoute(kFirstSeed + static_cast<uint32_t>(k), g_routeKinds[k], type);
            const RouteOutcome o = judgeTruthReplay(route);
            EXPECT_TRUE(o.keepsToRealWay())
                << "seed " << route.seed << ", " << routeKindName(route.kind) << ", " << type << ": " << o.failures();
        }
    }
    // Stops whose braking tail creeps on at close to half a metre a second: the creep ends no
    // stop (each was taken for a move off once, a minute before the real one).
    for (const auto& [seed, kind, type] : {std::tuple{4602u, RouteKind::Hold, "B744"},
                                           std::tuple{451u, RouteKind::PushBack, "A320"},
                                           std::tuple{807u, RouteKind::PushBack, "B744"}}) {
        const RouteOutcome o = judgeTruthReplay(generateRoute(seed, kind, type));
        EXPECT_TRUE(o.keepsToRealWay()) << "seed " << seed << ": " << o.failures();
    }
    struct Row {
        RouteKind kind;
        ReplayFault fault;
        const char* check;
        double expected;
    };
    const Row rows[] = {
        {RouteKind::Turns, {10.0, 0.0, 0.0}, "path", 10.0},
        {RouteKind::LineUp, {100.0, 0.0, 0.0}, "real way", 100.0},
        {RouteKind::UTurn, {0.0, 25.0, 0.0}, "nose", 25.0},
        {RouteKind::Hold, {0.0, 0.0, 5.0}, "stop time", 5.0},
        {RouteKind::Hold, {0.0, 0.0, 5.0}, "start", 5.0},
        {RouteKind::Hold, {6.0, 0.0, 0.0}, "stop place", 6.0},
        {RouteKind::LineUp, {0.0, 0.0, 4.0}, "start", 4.0},
        {RouteKind::PushBack, {0.0, 0.0, 4.0}, "start", 4.0},
        {RouteKind::PushBack, {7.0, 0.0, 0.0}, "push end", 7.0},
        {RouteKind::ToStand, {0.0, 2.0, 0.0}, "stand heading", 2.0},
        {RouteKind::ToStand, {3.0, 0.0, 0.0}, "stand", 3.0},
    };
    for (const Row& row : rows) {
        const RouteOutcome o = judgeTruthReplay(generateRoute(kFirstSeed, row.kind, "A320"), row.fault);
        const CheckResult& c = lf_check(o, row.check);
        SCOPED_TRACE(testing::Message() << routeKindName(row.kind) << ", " << row.check << ": " << o.failures());
        EXPECT_FALSE(c.pass());
        EXPECT_NEAR(c.worst, row.expected, 0.1 * row.expected);
    }
}

// On the ground the path is judged against what the reports show. These S-turns each hide a
// bend out and back whole between two reports 5-10 s apart whose tracks agree with the chord:
// the aircraft keeps to the reports' legs and is 13-15 m off the real way, which no report
// told. The real way is still judged, and the tables above keep it.
TEST(RouteTableTest, ABendHiddenWholeBetweenTwoReportsIsJudgedByTheReportsNotByTheRealWay)
{
    for (const auto& [seed, type] : {std::tuple{900456u, "B744"}, std::tuple{823u, "C172"},
                                     std::tuple{50257u, "AT72"}, std::tuple{100779u, "C172"}}) {
        const RouteOutcome o = runRoute(generateRoute(seed, RouteKind::STurns, type), false);
        SCOPED_TRACE(testing::Message() << "seed " << seed << ", " << type << ": " << o.failures());
        EXPECT_TRUE(o.pass());
        EXPECT_TRUE(lf_check(o, "real way").judged);
        EXPECT_LE(lf_check(o, "path").worst, lf_check(o, "real way").worst);
    }
}

// The real track replayed along the chords between reports 10 s apart: across a right angle
// the reports' tracks tell the corner, and the chord cutting it is off the path as far as off
// the real way; an S's bends that the tracks either side of a gap do not tell are not. Nor is
// a corner where every other report came without its track (0, the feed's missing one): read
// as due north, it told corners the aircraft never turned.
TEST(RouteTableTest, AlongTheChordsBetweenSparseReportsTheCornersTheirTracksTellAreStillJudged)
{
    int rightAngles = 0;
    int sTurnsOffRealWay = 0;
    int sTurnsOffPath = 0;
    for (uint32_t seed = kFirstSeed; seed < kFirstSeed + 20; ++seed) {
        const char* type = g_routeTypes[seed % std::size(g_routeTypes)];
        const GeneratedRoute route = generateRoute(seed, RouteKind::RightAngles, type);
        const RouteOutcome corners = judgeTruthReplay(route, {.chordsS = 10.0});
        const CheckResult& path = lf_check(corners, "path");
        const CheckResult& real = lf_check(corners, "real way");
        rightAngles += real.pass() ? 0 : 1;
        EXPECT_EQ(path.pass(), real.pass()) << "seed " << seed << ", " << type << ": " << corners.failures();
        const RouteOutcome untracked = judgeTruthReplay(route, {.chordsS = 10.0, .trackMissingEvery = 2});
        EXPECT_TRUE(lf_check(untracked, "path").pass()) << "seed " << seed << ", " << type << ": "
                                                       << untracked.failures();
        EXPECT_EQ(lf_check(untracked, "real way").pass(), real.pass());
        const RouteOutcome s = judgeTruthReplay(generateRoute(seed, RouteKind::STurns, type), {.chordsS = 10.0});
        sTurnsOffRealWay += lf_check(s, "real way").pass() ? 0 : 1;
        sTurnsOffPath += lf_check(s, "path").pass() ? 0 : 1;
    }
    std::printf("chords 10 s apart: %d of 20 right angles off; S-turns %d off the real way, %d off the path\n",
                rightAngles, sTurnsOffRealWay, sTurnsOffPath);
    EXPECT_GE(rightAngles, 10);
    EXPECT_LT(sTurnsOffPath, sTurnsOffRealWay);
}

// A taxiing aircraft changes its speed no faster than it can (1.5 m/s² over any 2 s), however
// its path is laid again as reports come: a curve that comes nearer than braking for it
// allows, or a bend where a curve between two reports ends on one, is no reason to brake
// hard or to snap the nose round. Taxiway turns, right angles, S-turns, U-turns and speed
// changes, 40 routes each.
TEST(RouteTableTest, TaxiingOnTurningWaysItNeverBrakesOrSpeedsUpHarderThanATaxiingAircraftCan)
{
    constexpr uint32_t kFirst = 170;
    constexpr uint32_t kRoutes = 40;
    int hard = 0;
    for (const RouteKind kind : {RouteKind::Turns, RouteKind::RightAngles, RouteKind::STurns, RouteKind::UTurn,
                                 RouteKind::SpeedChange}) {
        for (uint32_t i = 0; i < kRoutes; ++i) {
            const char* type = g_routeTypes[i % std::size(g_routeTypes)];
            const GeneratedRoute route = generateRoute(kFirst + i, kind, type);
            const RouteOutcome o = runRoute(route, false);
            const CheckResult& accel = lf_check(o, "accel");
            if (accel.pass())
                continue;
            ++hard;
            std::printf("seed %u, %s, %s: %.2f m/s2 at %.1f s\n", route.seed,
                        std::string(routeKindName(kind)).c_str(), type, accel.worst, accel.atS);
        }
    }
    EXPECT_EQ(hard, 0);
}

// Routes of one kind, every type on each seed from the first on: how many fail one check, and
// how many of those go past its limit by more than half of it (the most a user may see of any
// route). Each one failing is printed with its seed.
struct Tally {
    int outside = 0;
    int far = 0;
};

// A route is outside when any of the checks fails it, far when any goes past half again its
// limit. `reported` changes how RealTraffic reports each route (its spacing, its noise) before
// it is flown.
Tally lf_tally(RouteKind kind, uint32_t first, uint32_t seeds, std::initializer_list<const char*> checks,
               const std::function<void(FeedScript&)>& reported = {})
{
    Tally t;
    for (uint32_t seed = first; seed < first + seeds; ++seed) {
        for (const char* type : g_routeTypes) {
            GeneratedRoute route = generateRoute(seed, kind, type);
            if (reported)
                reported(route.feed);
            const RouteOutcome o = runRoute(route, false);
            bool outside = false;
            bool far = false;
            for (const char* check : checks) {
                const CheckResult& c = lf_check(o, check);
                if (c.pass())
                    continue;
                outside = true;
                far = far || c.worst > 1.5 * c.limit;
                std::printf("seed %u, %s, %s: %s %.2f (limit %.1f) at %.1f s\n", seed,
                            std::string(routeKindName(kind)).c_str(), type, check, c.worst, c.limit, c.atS);
            }
            t.outside += outside ? 1 : 0;
            t.far += far ? 1 : 0;
        }
    }
    return t;
}

Tally lf_tally(RouteKind kind, uint32_t first, uint32_t seeds, const char* check,
               const std::function<void(FeedScript&)>& reported = {})
{
    return lf_tally(kind, first, seeds, {check}, reported);
}

// No more of them fail the check than are known to, and none goes past half again its limit.
void lf_expectAtMost(RouteKind kind, uint32_t first, uint32_t seeds, const char* check, int knownOutside,
                     const std::function<void(FeedScript&)>& reported = {})
{
    const Tally t = lf_tally(kind, first, seeds, check, reported);
    EXPECT_LE(t.outside, knownOutside) << routeKindName(kind) << ", " << check;
    EXPECT_EQ(t.far, 0) << routeKindName(kind) << ", " << check;
}

// Routes of one kind from seed 300 on, every type on each seed: the ones whose check fails.
int lf_outside(RouteKind kind, const char* check)
{
    return lf_tally(kind, 300, 100, check).outside;
}

// A push at 2 to 3 kt moves a few metres between its reports, no more than their jitter: the
// aircraft is pushed at the pace they report and comes to rest when the real one did (two
// reports the jitter put close together once planned a crawl part-way, which a user sees as a
// stop, and a report still rolling at under 1 kt was taken for a stop before it; 11 of these
// stopped over 3 s off). 400 push-backs, every type on each seed; a few still stop up to a
// second and a half too early or late, where the one report at rest lies metres short of the
// real stop or beyond it: a change that lets more out fails here.
TEST(RouteTableTest, APushComesToRestWhenTheRealOneDidThoughItsReportsJitterByMetres)
{
    constexpr uint32_t kFirst = 300;
    constexpr uint32_t kSeeds = 100;
    constexpr int kKnownOff = 2;
    int off = 0;
    for (uint32_t seed = kFirst; seed < kFirst + kSeeds; ++seed) {
        for (const char* type : g_routeTypes) {
            const RouteOutcome o = runRoute(generateRoute(seed, RouteKind::PushBack, type), false);
            if (lf_check(o, "stop time").pass() && lf_check(o, "start").pass())
                continue;
            ++off;
            std::printf("seed %u, push-back, %s: %s\n", seed, type, o.failures().c_str());
        }
    }
    EXPECT_LE(off, kKnownOff);
}

// A push's stop is known to a second or two by its reports' speeds, its place only to metres
// by their jitter: pushed on at the pace of the way there, the aircraft reached a stop laid a
// few metres short seconds early and stood; braking to 1 kt a few metres short of it, it was
// timed by those metres, seconds late; the taxi's first report, moving off slowly forward,
// was taken for the push still rolling into its stop; and a report at rest skipped as a
// repeat left the push's end timed by braking from the last report going back, seconds
// early. 1,600 push-backs, every type on each seed; a few still stop over 3 s off, where the
// reports just before the stop lie metres beyond it: a change that lets more out fails here.
TEST(RouteTableTest, APushSlowsToComeToRestWhenTheRealOneDidNotEarlyToStandAtItsStop)
{
    constexpr int kKnownOff = 6;
    EXPECT_LE(lf_tally(RouteKind::PushBack, 1000, 400, "stop time").outside, kKnownOff);
}

// A push's last reports going back lie metres off its way, seconds of a tug's pace, and so
// does its one report at rest: paced by their places alone, the push came to the stop's place
// seconds before or after the stop's time and had to crawl or hurry the last metres, which a
// user sees as a stop begun early or late (19 of these over 3 s off, one over 5 s). The stop's
// place now joins theirs. 1,600 push-backs, every type on each seed; 6 still stop over 3 s
// off, where the one report at rest lies metres off the real stop: a change that lets more
// out fails here, and none may begin half as late or early again as allowed.
TEST(RouteTableTest, APushIsPacedToItsStopWithTheReportsBeforeItAndRestsWhenTheRealOneDid)
{
    constexpr int kKnownOff = 6;
    lf_expectAtMost(RouteKind::PushBack, 3000, 400, "stop time", kKnownOff);
}

// Pushes reported only every 5 to 10 s: the first report at rest comes up to 10 s after the
// real stop, and the last going back is often slower than the push went, the tug braking.
// The push comes to rest within 3 s of the real one: a report less than a knot slower, or
// exactly one, was taken to roll on at its pace up to the report at rest, and the push stood
// up to 4.8 s late (seed 100941, a B744); read so, 22 of the 3,200 pushes of the two tables
// above came to rest over 3 s off, where 12 do now. None may here.
TEST(RouteTableTest, ASparselyReportedPushComesToRestWithTheRealOne)
{
    constexpr int kSparseKnownOff = 0;
    lf_expectAtMost(RouteKind::PushBack, 7600, 30, "stop time", kSparseKnownOff, [](FeedScript& feed) {
        feed.minGapS = 5.0;
        feed.maxGapS = 10.0;
    });
}

// A roll-out brakes as its reports tell, and never harder than the type can: not for the
// whole gap's mean pace taken a moment before touchdown, not to meet a report's speed sooner
// than braking allows, nor to lose a second it is ahead. 400 exits; one still brakes too
// hard after a turn off the runway (a bend laid into the exit a few metres long, braked for
// from the touchdown): a change that lets more out fails here.
TEST(RouteTableTest, RollingOutToAnExitItNeverBrakesHarderThanTheTypeCan)
{
    constexpr int kKnownHard = 1;
    EXPECT_LE(lf_outside(RouteKind::Exit, "accel"), kKnownHard);
}

// A roll-out brakes between two reports wherever it likes, so the mean of their speeds tells
// the way between them only loosely: braking early is no swing, and no corner is moved out
// for it. 200 exits; none leaves its way by half as much again as allowed (seed 510 C172
// was 26 m off a limit of 8).
TEST(RouteTableTest, AnExitsBrakingBetweenTwoReportsIsNoSwingOffItsWay)
{
    EXPECT_EQ(lf_tally(RouteKind::Exit, 500, 50, "real way").far, 0);
}

// An exit the aircraft reaches a few seconds late is laid from when the real aircraft was at
// its reports, not from when it reached them: timed by its own lateness, the way between two
// reports looked longer than their chord, was taken for a swing, and the path was laid off the
// exit (seed 1723 B744 was 29 m off a limit of 15). 400 exits; none leaves its way by half as
// much again as allowed.
TEST(RouteTableTest, AnExitReachedLateIsLaidFromWhenTheRealAircraftWasAtItsReports)
{
    EXPECT_EQ(lf_tally(RouteKind::Exit, 1701, 100, "real way").far, 0);
}

// A turn off the runway of 10-20 degrees between two reports 80 m or more apart (their chord
// telling its direction to 3 degrees) is a corner hidden between them, where both tracks lead,
// not a bend spread over the whole way between them: that left the runway early and cut the
// exit's corner (seed 323 A320 by 9.9 m). 400 exits: all keep within 8 m (seeds 320 and 384,
// C172s, were still 9.5 and 9.9 m off before a report at the end of an arc kept its own
// track and a turn at speed was laid no tighter than the aircraft takes it).
TEST(RouteTableTest, AnExitsTurnOfAFewDegreesBetweenFarReportsIsLaidAtItsCorner)
{
    constexpr int kKnownOff = 0;
    EXPECT_LE(lf_outside(RouteKind::Exit, "real way"), kKnownOff);
}

// High-speed exits reported every 1 to 10 s, as RealTraffic may space them anywhere in that
// range: a report lies at the end of the arc with a track some degrees short of the straight
// after it, and the turn's reports tell its radius only by metres. Taken for a report on that
// straight, it left the turn a few metres to swing through; laid from the way flown alone, a
// roll-out braked early made the turn a corner passed within 8 m, taken at 0.4 g. Either way
// the aircraft swung off its exit by up to 11.5 m (seed 215 AT72). Nor may a bend at a report
// the curve begins or ends on be left a metre to turn in: the aircraft braked for it seconds
// ahead, fell 100 m behind and hurried after (seed 700329 B744). 1,000 exits, every type on
// each seed, judged on the way, the speed and its changes: 11 failed, 9 of them off their
// way; 6 still do, 5 by under 7 % of the limit and seed 9186 A320 by 2.5 m (its report at the
// end of the arc carries a track no farther off the straight after it than the noise
// explains): a change that lets more out fails here, and none may go half as far again.
TEST(RouteTableTest, AnExitReportedEveryOneToTenSecondsKeepsToItsArcAndItsPace)
{
    constexpr int kKnownOff = 6;
    const Tally t = lf_tally(RouteKind::Exit, 9000, 250, {"real way", "speed", "accel"}, [](FeedScript& feed) {
        feed.minGapS = 1.0;
        feed.maxGapS = 10.0;
    });
    EXPECT_LE(t.outside, kKnownOff);
    EXPECT_EQ(t.far, 0);
}

// Braking onto the runway through the end of a turn, a path laid again with a tighter bend
// close ahead is braked for no harder than the type can, though the stop is the plan's
// target: slowed at once to the bend's limit, it jolted to a crawl and then hurried on to
// the stop (seed 334 C172 braked at 1.95 m/s2). 400 line-ups, every type on each seed.
TEST(RouteTableTest, BoundForALineUpStopItNeverBrakesHarderThanTheTypeCan)
{
    EXPECT_EQ(lf_outside(RouteKind::LineUp, "accel"), 0);
}

// Created taxiing, the aircraft faces the track its first report gives: the next report,
// a second on, may lie a couple of metres aside or behind it by their jitter, and faced
// that way it swung round on the spot as it moved off (seed 50701 AT72 was 65 degrees off
// the real nose). Holds, the bench's seeds 50601 to 50800, its types in turn: no route's
// nose is half as much again as allowed off the real one.
TEST(RouteTableTest, CreatedTaxiingItFacesItsReportedTrackNotTheJitterToTheNextReport)
{
    lf_forBenchRoutes(RouteKind::Hold, 50601, 50800, [](uint32_t seed, const char* type, const RouteOutcome& o) {
        const CheckResult& nose = lf_check(o, "nose");
        EXPECT_LE(nose.worst, 1.5 * nose.limit) << "seed " << seed << ", " << type << " at " << nose.atS << " s";
    });
}

// Out of the turn onto the runway, the way runs straight to a slight bend far on: the turn's
// pace no longer holds there, though the next point of the path lies in a bend (seed 50600
// C172 crawled at 3.4 kt for 9 s where the real one rolled at 8, and stopped 5.8 s late).
// Line-ups, the bench's seeds 50501 to 50700, its types in turn: no check is past half as
// much again as its limit.
TEST(RouteTableTest, OutOfATurnOntoTheRunwayItIsNotHeldToTheTurnsPace)
{
    lf_forBenchRoutes(RouteKind::LineUp, 50501, 50700, [](uint32_t seed, const char* type, const RouteOutcome& o) {
        for (const CheckResult& c : o.checks) {
            EXPECT_TRUE(!c.judged || c.worst <= 1.5 * c.limit)
                << "seed " << seed << ", " << type << ": " << c.name << " " << c.worst << " (limit " << c.limit << ")";
        }
    });
}

// An S's first bend, hidden between a report on the straight before it and one partway
// through the bend back, is a swing the path must follow, though the aircraft slowed for it
// between the two: it held its speed along the straight and braked late, for the bend, so the
// mean of the reports' speeds tells a way no longer than it flew (read as braking anywhere
// between them, the path ran along their chord, seed 180 A320 15 m off a limit of 8).
// 1,600 S-turns, every type on each seed; three still leave their way by half as much again
// as allowed, each a bend out and back hidden whole between two reports (seed 391 B744, two
// bends between reports 10 s apart; seed 7 AT72; seed 223 AT72, 14 m out to the side where
// the way flown is within a metre of the chord, 11.9 m off before the curve in time changed
// the leg before it, 12.3 m since): a change that lets more out fails here.
TEST(RouteTableTest, AnSsFirstBendBrakedForLateBetweenTwoReportsIsStillASwing)
{
    constexpr int kKnownFar = 3;
    EXPECT_LE(lf_tally(RouteKind::STurns, 1, 400, "real way").far, kKnownFar);
}

// Reports 5 to 10 s apart on an S lie in its bends, their tracks some degrees into them: the
// way between two of them, one whose track leads on along the chord, is a curve through
// both, not a corner rounded at the other, which the path passes by the whole distance a
// user sees it may be off (seed 320 B744 by 9.9 m). Where neither report lies on a straight,
// the curve is the one the aircraft flew in time, leaving and reaching each report along its
// track at its speed: laid as round as an arc, 21 of these left their way. 400 S-turns, every
// type on each seed; not all keep within it yet (an S hidden whole between two reports whose
// tracks agree with the chord): a change that lets more out fails here.
TEST(RouteTableTest, AnSsBendBetweenReportsSecondsApartIsACurveThroughThemNotACornerAtOne)
{
    constexpr int kKnownOff = 16;
    EXPECT_LE(lf_outside(RouteKind::STurns, "real way"), kKnownOff);
}

// Speeding up from 5 kt to 25 kt and back, with reports as jittery as they come, the aircraft
// never stands while its reports move: two reports the jitter put at one place, or a last
// report reached before the next was laid, are no stop. 400 routes.
TEST(RouteTableTest, ChangingSpeedItNeverStandsWhileItsReportsMove)
{
    EXPECT_EQ(lf_outside(RouteKind::SpeedChange, "standstill"), 0);
}


// Taxis onto a stand, every type on each seed, where the report before the stop may come
// farther out than the drive onto the stand begins from and the next one a few metres short
// of the stop: the drive begins on the way between them, while the way in is still to be laid
// along the lead-in, and the aircraft ends on the stand with its heading (one of these
// stopped beside it where that last report was, 2.9 m off, and stood there for good). 400
// routes.
TEST(RouteTableTest, ATaxiOntoAStandEndsOnItWithItsHeadingThoughItsLastReportIsAFewMetresShort)
{
    int outside = 0;
    for (uint32_t seed = 300; seed < 400; ++seed) {
        for (const char* type : g_routeTypes) {
            const RouteOutcome o = runRoute(generateRoute(seed, RouteKind::ToStand, type), false);
            if (lf_check(o, "stand").pass() && lf_check(o, "stand heading").pass())
                continue;
            ++outside;
            std::printf("seed %u, to stand, %s: %s\n", seed, type, o.failures().c_str());
        }
    }
    EXPECT_EQ(outside, 0);
}

// Taxis onto a stand, every type on each seed: the slow reports a few metres short of the
// stand lie there by their jitter, yet their times and speeds tell how the real one slowed.
// Dropped, the aircraft kept its pace to the stand and stood there seconds early (5 of these
// 400 came to rest over 3 s off). One still stands there early, where a report still rolling
// at under 1 kt is taken for the stop: a change that lets more out fails here.
TEST(RouteTableTest, ATaxiOntoAStandComesToRestWhenTheRealOneDidThoughItsLastReportsJitter)
{
    constexpr int kKnownOff = 1;
    lf_expectAtMost(RouteKind::ToStand, 300, 100, "stop time", kKnownOff);
}

// Speed changes with reports as jittery as they come, every type on each seed: where a turn
// begun after a report is laid on along that report's track, the slight bend at the report
// leaves the turn's curve the leg between them. Shared by what each would round off, the
// bend took nearly all of it, and the turn was left a kink the aircraft all but stopped for
// (one of these stood 1.9 s while its reports rolled at 5 kt). One still stands a little
// over a second: none stands half again as long.
TEST(RouteTableTest, ChangingSpeedOnAJitteryTurnItNeverStandsHalfAgainTheLimit)
{
    constexpr int kKnownOutside = 1;
    lf_expectAtMost(RouteKind::SpeedChange, 50500, 100, "standstill", kKnownOutside);
}

} // namespace
} // namespace traffictest
