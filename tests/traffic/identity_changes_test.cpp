// A registration that becomes known while the aircraft flies, through the engine with the
// product's catalogue, livery tables and matching (only the steady clock is the
// harness's): the identity check creates the aircraft again exactly when the matching
// then gives it another livery, so no creation is spent on the livery it already wears.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "catalogue/livery_tables_fixture.h"
#include "foundation/settings_catalogue.h"
#include "support/engine_doubles.h"
#include "support/traffic_scenario.h"
#include "traffic/engine_neighbours.h"
#include "traffic/traffic_state.h"

namespace traffictest {
namespace {

constexpr uint32_t kHexid = 0x484001;
constexpr double kRegistrationFromS = 50.0;
constexpr double kFlightS = 150.0;

// Straight and level at 3000 ft and 200 kt; its registration is reported from
// kRegistrationFromS on (one flight in two pieces: the feed sends each piece's texts).
std::vector<ReferenceFlight> lf_flight(const std::string& registration)
{
    const auto point = [](double t) {
        return TrackPoint{t, 52.0 + 200.0 * t / 3600.0 / 60.0, 4.0, 3000, 200, 0, 0, false};
    };
    ReferenceFlight before;
    before.hexid = kHexid;
    before.texts.callsign = "KLM123";
    before.texts.aircraftType = "B738";
    before.points = {point(0.0), point(kRegistrationFromS)};
    ReferenceFlight after = before;
    after.texts.registration = registration;
    after.points = {point(kRegistrationFromS + 2.0), point(kFlightS)};
    return {before, after};
}

// The product's table of neighbours, on the harness's steady clock.
const EngineNeighbours* lf_productNeighbours()
{
    enginetest::removeEngineDoubles();
    static EngineNeighbours product = gf_engine();
    product.steadyTicks = [] { return enginetest::catalogue().steadyTicks; };
    return &product;
}

class IdentityChangeTest : public liverytables::LiveryTables {};

TEST_F(IdentityChangeTest, ALateRegistrationRecreatesTheAircraftOnlyForTheLiveryTheMatchingGivesIt)
{
    // PH-BXB, a KLM B738 in the database, has the list's helicopter livery; PH-BXC the
    // livery a KLM B738 without registration gets (a fictional list).
    liverytables::writeAigRegcodes({{{"title", "ZZZ EC35"}, {"reg", "PH-BXB"}},
                                    {{"title", "KLM B738 a"}, {"reg", "PH-BXC"}}});
    process();
    const struct {
        const char* registration;
        std::vector<std::string> titles; // of the objects, in the order they were created
    } rows[] = {
        {"PH-BXB", {"KLM B738 a", "ZZZ EC35"}},
        {"PH-BXC", {"KLM B738 a"}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.registration);
        SimScript sim;
        sim.user = {0, 52.0, 4.2, 0, 0, 0, 0, true};
        Scenario s(lf_flight(row.registration), FeedScript{2.0, 2.0}, sim, 5);
        gf_setEngineNeighboursForTests(lf_productNeighbours());
        liverytables::resetSettings();
        s.run(kFlightS);
        std::vector<std::string> titles;
        for (const auto* objects : {&s.removedObjects(), &s.objects()})
            for (const auto& [id, object] : *objects)
                titles.push_back(object.title);
        EXPECT_EQ(titles, row.titles);
        EXPECT_EQ(s.counts().removals, row.titles.size() - 1);
        ASSERT_EQ(g_liveAcs.size(), 1u);
        EXPECT_EQ(g_liveAcs[0].liveryTitle, row.titles.back());
        EXPECT_EQ(g_liveAcs[0].registration, row.registration);
        EXPECT_EQ(g_liveAcs[0].status, SimStatus::Active);
    }
}

} // namespace
} // namespace traffictest
