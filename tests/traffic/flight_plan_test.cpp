#include <cmath>

#include "foundation/text.h"
#include "traffic/flight_plans.h"
#include "traffic/engine_fixture.h"

namespace enginetest {
namespace {

class FlightPlanTest : public EngineTest {};

TEST_F(FlightPlanTest, TheFileNamesRulesAndRouteEscapedAndIsHandedToTheSimulator)
{
    const std::string head = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                             "<SimBase.Document Type=\"AceXML\" version=\"4,3\">\"\n"
                             "<FlightPlan.FlightPlan>\n";
    const std::string tail = "</FlightPlan.FlightPlan>\n</SimBase.Document>\n";
    const std::filesystem::path path = g_flightPlanFolder / "123.pln";
    // type, origin, destination, the rule and route lines (none: no file)
    for (const auto& [type, origin, destination, lines] :
         {std::tuple{"A320", "AMS", "LHR", "<FPType>IFR</FPType>\n<DepartureID>AMS</DepartureID>\n<DestinationID>LHR</DestinationID>\n"},
          {"R44", "EHAM", "EHRD", "<FPType>VFR</FPType>\n<DepartureID>EHAM</DepartureID>\n<DestinationID>EHRD</DestinationID>\n"},
          {"A320", "<&", "\"x'\x01", "<FPType>IFR</FPType>\n<DepartureID>&lt;&amp;</DepartureID>\n<DestinationID>&quot;x&apos;</DestinationID>\n"},
          {"A320", "AMS", "", ""}}) {
        std::filesystem::remove(path);
        g_liveAcs.clear();
        LiveAc& ac = active(20001, "KLM1", 52, 4, 3000, false, 123, type);
        ac.origin = origin;
        ac.destination = destination;
        lf_createAiFlightPlan(ac);
        const std::vector<ScSetFlightPlanRecord> plans = sent<ScSetFlightPlanRecord>();
        if (*lines == '\0') {
            EXPECT_FALSE(std::filesystem::exists(path)) << origin << destination;
            EXPECT_TRUE(plans.empty());
            continue;
        }
        EXPECT_EQ(tavtest::readFile(path), head + lines + tail);
        ASSERT_EQ(plans.size(), 1u);
        EXPECT_EQ(plans[0].objectId, 123u);
        EXPECT_EQ(plans[0].requestId, 110u);
        EXPECT_EQ(std::string(plans[0].flightPlanPath), gf_pathToUtf8(path));
        EXPECT_TRUE(ac.flightPlanSet);
    }
}

TEST_F(FlightPlanTest, TheFolderComesWithTheRunAndGoesWithItsFiles)
{
    tavtest::writeFile(g_flightPlanFolder / "7.pln", "x");
    EXPECT_TRUE(gf_removeFlightPlanFolder());
    EXPECT_FALSE(std::filesystem::exists(data_ / "orig_dest"));
    EXPECT_TRUE(gf_createFlightPlanFolder());
    EXPECT_TRUE(std::filesystem::is_directory(data_ / "orig_dest"));
}

} // namespace
} // namespace enginetest
