#include <gtest/gtest.h>

#include "parking/airports.h"
#include "parking/closest_stand.h"
#include "support/data_file_fixture.h"

namespace fs = std::filesystem;

TEST(ClosestStand, TheNearestStandOfTheLocalParkFileWinsAndNoCopyIsLeft)
{
    tavtest::ProgramFolder program;
    fs::create_directories("airports/my_ORBX");
    const auto write = [](std::string_view body) {
        tavtest::writeFile("airports/my_ORBX/EGLC.xml", std::string("<root>") + std::string(body) + "</root>");
    };
    const GeoPos position{51.5, 0.05};
    // The distance and id found; 100.0 leaves the id unchanged.
    const std::vector<std::tuple<std::string, double, std::string>> rows = {
        {R"(<parkpositions><parkpos id="far" latitude="51.6" longitude="0.05" />)"
         R"(<parkpos id="first" latitude="51.51" longitude="0.05" /><parkpos id="tie" latitude="51.49" longitude="0.05" />)"
         R"(</parkpositions>)",
         0.6, "first"},
        {R"(<parkpositions><parkpos id="nowhere" /></parkpositions>)", 100.0, "unchanged"},
        {R"(<parkpositions><parkpos latitude="51.5" longitude="0.06" /></parkpositions>)", 0.37, ""},
        {"<parameters />", 100.0, "unchanged"},
    };
    for (const auto& [body, distance, found] : rows) {
        write(body);
        std::string id = "unchanged";
        EXPECT_NEAR(gf_readDestApfForClosestStand("EGLC", position, id), distance, 0.01) << body;
        EXPECT_EQ(id, found);
        tavtest::writeFile("airport.xml", "stale");
    }
    std::string id;
    EXPECT_EQ(gf_readDestApfForClosestStand("ZZZZ", position, id), 100.0);
    EXPECT_EQ(gf_readDestApfForClosestStand("../x", position, id), 100.0);
    EXPECT_FALSE(fs::exists("airport.xml"));
}
