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
    struct Row {
        std::string body;
        double distance; // < 0: 100.0 with the id unchanged
        std::string id;
    };
    const std::vector<Row> rows = {
        {R"(<parkpositions><parkpos id="far" latitude="51.6" longitude="0.05" />)"
         R"(<parkpos id="first" latitude="51.51" longitude="0.05" /><parkpos id="tie" latitude="51.49" longitude="0.05" />)"
         R"(</parkpositions>)",
         0.6, "first"},
        {R"(<parkpositions><parkpos id="nowhere" /></parkpositions>)", -1, ""},
        {R"(<parkpositions><parkpos latitude="51.5" longitude="0.06" /></parkpositions>)", 0.37, ""},
        {"<parameters />", -1, ""},
    };
    for (const Row& row : rows) {
        write(row.body);
        std::string id = "unchanged";
        const double d = gf_readDestApfForClosestStand("EGLC", position, id);
        if (row.distance < 0) {
            EXPECT_EQ(d, 100.0) << row.body;
            EXPECT_EQ(id, "unchanged");
        } else {
            EXPECT_NEAR(d, row.distance, 0.01) << row.body;
            EXPECT_EQ(id, row.id);
        }
        tavtest::writeFile("airport.xml", "stale");
    }
    std::string id;
    EXPECT_EQ(gf_readDestApfForClosestStand("ZZZZ", position, id), 100.0);
    EXPECT_EQ(gf_readDestApfForClosestStand("../x", position, id), 100.0);
    EXPECT_FALSE(fs::exists("airport.xml"));
}
