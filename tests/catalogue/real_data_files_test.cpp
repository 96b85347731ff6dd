#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "catalogue/dbase.h"
#include "databuild/site.h"
#include "parking/airports_internal.h"
#include "support/data_file_fixture.h"

namespace fs = std::filesystem;

// The files the builder makes from the pinned open data (installed by scripts/setup.sh):
// facts only, so no registration (the open data hold none). That the site's files arrive
// whole is test_site.py's.
TEST(RealDataFiles, TheBuildersFilesAreReproducibleHoldNoRegistrationAndReadWithoutAnErrorLine)
{
    const databuild::DataFiles files = databuild::buildDataFiles(tavtest::toolsFolder());
    const databuild::DataFiles again = databuild::buildDataFiles(tavtest::toolsFolder());
    EXPECT_TRUE(files.dbaseXml == again.dbaseXml && files.airportsXml == again.airportsXml);
    EXPECT_EQ(files.airportCount, 7179u);
    EXPECT_NE(files.dbaseXml.find("<dbase />"), std::string::npos);

    // Read as the program reads them from the download site.
    tavtest::ProgramFolder program;
    databuild::SiteOptions site{tavtest::toolsFolder(), fs::absolute("site")};
    databuild::writeSite(site, files);
    for (const char* name : {"dbase.enc", "airports.enc"})
        fs::copy_file(site.site / "11" / name, program.input(name));
    tavtest::LogCapture log;
    ASSERT_TRUE(gf_readDbase());
    lf_forgetAirports();
    ASSERT_TRUE(gf_readAirports());
    EXPECT_FALSE(log.contains("==> ")) << log.text();
    EXPECT_TRUE(log.contains("\n0 dbase records read\n"));
    EXPECT_TRUE(log.contains("\n7179 airports read\n"));
    EXPECT_FALSE(fs::exists(program.input("dbase.xml")) || fs::exists(program.input("airports.xml")));

    const Airport* eddf = gf_findAirport("EDDF");
    ASSERT_NE(eddf, nullptr);
    EXPECT_EQ(eddf->iata, "FRA");
    EXPECT_NEAR(eddf->lat, 50.0333, 5e-5);
    EXPECT_NEAR(eddf->lon, 8.5706, 5e-5);
    EXPECT_EQ(eddf->alt, 364.0);
    EXPECT_EQ(std::count_if(g_airports.begin(), g_airports.end(), [](const Airport& a) { return a.iata.empty(); }),
              1532);

    EXPECT_EQ(g_icaoAirlines.size(), 5774u);
    EXPECT_TRUE(gf_isIcaoAirline("ZZZ") && gf_isIcaoAirline("FDX") && gf_isIcaoAirline("UPS") &&
                gf_isIcaoAirline("CLX"));
    EXPECT_FALSE(gf_isIcaoAirline("RFO"));
    EXPECT_EQ(gf_typeCategory("B738"), TypeCategory::Large);
    EXPECT_DOUBLE_EQ(gf_halfWingspan("B738"), 35.79 * 0.5 / 1852);
    EXPECT_DOUBLE_EQ(gf_halfWingspan("C172"), 11.0 * 0.5 / 1852);
    for (const double mean : g_categoryHalfSpans)
        EXPECT_GT(mean, 0.0);
}
