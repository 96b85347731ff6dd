// Line-ups as RealTraffic reports them (a taxi, a right-angle turn onto the runway at 10 kt, a
// short line-up, a stop of 3 to 30 s, the take-off roll and the climb), flown through the whole
// engine and judged as a user watching them would: every check of the generated routes.
#include <gtest/gtest.h>

#include <string>

#include "support/route_checker.h"
#include "support/route_generator.h"

namespace traffictest {
namespace {

TEST(LineUpTest, TheStopOnTheRunwayIsHeldAndTheRollHandsOverToTheClimbWithoutAJump)
{
    struct Row {
        uint32_t seed;
        const char* type;
        const char* what;
    };
    const Row rows[] = {
        {50, "A320", "a stop of 3 s told by one report at rest, reports every 5-10 s"},
        {67, "C172", "a stop of 4 s told by one report at rest, reports every 5-10 s"},
        {154, "B744", "a stop of 4 s told by one report at rest, reports every 5-10 s"},
        {497, "B744", "a stop of 15 s whose reports at rest jitter 3 m about it, reports every 1-3 s"},
        {53, "A320", "a stop of 17 s whose reports at rest jitter about it, reports every 1-3 s"},
        {905, "C172", "reports that still show it on the ground while they climb"},
        {851, "B744", "a stop of 23 s, the roll behind its reports before the rotation"},
        {326, "B744", "the first report of moving off lies 3.5 m behind the nose"},
        {720, "B744", "a report at 1.3 kt 6 m to the side of the stop, 9 s before the roll"},
        {541, "B744", "the roll a second behind its reports when the first report in the air comes"},
        {987, "B744", "a stop of 24 s whose reports of moving off jitter about it"},
        {700422, "C172", "a report 4 m short of its place, 3 s before the turn onto the runway"},
    };
    for (const Row& row : rows) {
        const GeneratedRoute route = generateRoute(row.seed, RouteKind::LineUp, row.type);
        const RouteOutcome o = runRoute(route, false);
        for (const CheckResult& c : o.checks)
            EXPECT_TRUE(c.pass()) << "seed " << row.seed << ", " << row.type << ", " << row.what << " (" << route.drawn
                                  << "): " << c.name << " " << c.worst << " " << c.unit << " (limit " << c.limit
                                  << ") at " << c.atS << " s " << c.note;
    }
}

} // namespace
} // namespace traffictest
