#include <cmath>

#include "foundation/text.h"
#include "traffic/flight_plans.h"
#include "traffic/engine_fixture.h"

namespace enginetest {
namespace {

class FlightPlanTest : public EngineTest {
protected:
    LiveAc& bound(const std::string& type, const std::string& origin, const std::string& destination)
    {
        LiveAc& ac = active(20001, "KLM1", 52, 4, 3000, false, 123, type);
        ac.origin = origin;
        ac.destination = destination;
        return ac;
    }
};

TEST_F(FlightPlanTest, TheFileNamesTheRouteAndIsHandedToTheSimulator)
{
    LiveAc& ac = bound("A320", "AMS", "LHR");
    lf_createAiFlightPlan(ac);
    const std::filesystem::path path = g_flightPlanFolder / "123.pln";
    EXPECT_EQ(tavtest::readFile(path), "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                       "<SimBase.Document Type=\"AceXML\" version=\"4,3\">\"\n"
                                       "<FlightPlan.FlightPlan>\n"
                                       "<FPType>IFR</FPType>\n"
                                       "<DepartureID>AMS</DepartureID>\n"
                                       "<DestinationID>LHR</DestinationID>\n"
                                       "</FlightPlan.FlightPlan>\n"
                                       "</SimBase.Document>\n");
    const std::vector<ScSetFlightPlanRecord> plans = sent<ScSetFlightPlanRecord>();
    ASSERT_EQ(plans.size(), 1u);
    EXPECT_EQ(plans[0].objectId, 123u);
    EXPECT_EQ(plans[0].requestId, 110u);
    EXPECT_EQ(std::string(plans[0].flightPlanPath), gf_pathToUtf8(path));
    EXPECT_TRUE(ac.flightPlanSet);
}

TEST_F(FlightPlanTest, RulesEscapesAndIncompleteRoutes)
{
    struct Row {
        const char* type;
        const char* origin;
        const char* destination;
        const char* lines; // rule and route lines; empty: no file
    };
    const Row rows[] = {
        {"R44", "EHAM", "EHRD", "<FPType>VFR</FPType>\n<DepartureID>EHAM</DepartureID>\n<DestinationID>EHRD</DestinationID>"},
        {"A320", "<&", "\"x'\x01", "<FPType>IFR</FPType>\n<DepartureID>&lt;&amp;</DepartureID>\n<DestinationID>&quot;x&apos;</DestinationID>"},
        {"A320", "AMS", "", ""}};
    for (const Row& row : rows) {
        std::filesystem::remove(g_flightPlanFolder / "123.pln");
        g_liveAcs.clear();
        LiveAc& ac = bound(row.type, row.origin, row.destination);
        lf_createAiFlightPlan(ac);
        const bool expected = *row.lines != '\0';
        EXPECT_EQ(std::filesystem::exists(g_flightPlanFolder / "123.pln"), expected) << row.type;
        EXPECT_EQ(sent<ScSetFlightPlanRecord>().size(), expected ? 1u : 0u) << row.type;
        if (expected) {
            EXPECT_NE(tavtest::readFile(g_flightPlanFolder / "123.pln").find(row.lines), std::string::npos) << row.type;
        }
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
