#include <gtest/gtest.h>

#include <filesystem>

#include <fmt/format.h>

#include "parking/airports_internal.h"
#include "support/data_file_fixture.h"

namespace fs = std::filesystem;
using databuild::OpenAirport;
using databuild::XmlElement;
using databuild::XmlFileContent;
using tavtest::LogCapture;
using tavtest::ProgramFolder;

namespace {

XmlFileContent lf_airports(std::vector<XmlElement> elements, bool withRoot = true)
{
    XmlFileContent content;
    content.withRoot = withRoot;
    content.section("airports").elements = std::move(elements);
    return content;
}

XmlElement lf_airport(const OpenAirport& a, int32_t stands = 0)
{
    return databuild::airportElement(a, stands);
}

// Reads the content as input\airports.enc afresh: "true", "false" or what was thrown.
std::string lf_read(const std::string& plain)
{
    lf_forgetAirports();
    tavtest::writeEncryptedInput("airports.enc", plain);
    try {
        return gf_readAirports() ? "true" : "false";
    } catch (const std::exception& e) {
        return e.what();
    }
}

std::string lf_table()
{
    std::string text;
    for (const Airport& a : g_airports)
        text += fmt::format("{}/{}/{}/{}/{}/{} ", a.code, a.iata, a.lat, a.lon, a.alt, a.stands);
    return text;
}

} // namespace

TEST(Airports, TheTableIsSortedStablyAndReadsTheSameWithOrWithoutRoot)
{
    const std::vector<XmlElement> elements = {
        lf_airport({"EHAM", "AMS", 52.3086, 4.76389, -11}, 228),
        lf_airport({"EDDF", "FRA", 50.0333333, 8.5705556, 364}, 301),
        lf_airport({"EHAM", "", 1, 2, 3}),
        {"airport", {{"code", "EGLL"}, {"iata", "LHR"}, {"lat", "51.4775"}, {"lon", "-0.461389"}, {"alt", "83"},
                     {"stands", "many"}}},
        {"other", {{"code", "XXXX"}}},
    };
    for (const bool withRoot : {true, false}) {
        ProgramFolder program;
        LogCapture log;
        ASSERT_EQ(lf_read(databuild::renderXml(lf_airports(elements, withRoot))), "true");
        EXPECT_EQ(lf_table(), "EDDF/FRA/50.0333333/8.5705556/364/301 EGLL/LHR/51.4775/-0.461389/83/0 "
                              "EHAM/AMS/52.3086/4.76389/-11/228 EHAM//1/2/3/0 ");
        EXPECT_TRUE(log.contains("\n4 airports read\n"));
        EXPECT_EQ(gf_findAirport("EHAM")->iata, "AMS");
        EXPECT_EQ(gf_findAirport("EDDF")->stands, 301);
        EXPECT_EQ(gf_findAirport("EDD"), nullptr);
        EXPECT_EQ(gf_findAirport("XXXX"), nullptr);
        EXPECT_TRUE(gf_isKnownAirportCode("EGLL"));
        EXPECT_FALSE(gf_isKnownAirportCode("XXXX"));
        EXPECT_EQ(g_airports.capacity(), g_airports.size());
        EXPECT_FALSE(fs::exists(program.input("airports.xml")));
    }
}

TEST(Airports, EachMissingAttributeHasItsLineAndItsEffect)
{
    struct Case {
        std::string leftOut;
        std::string line;
        bool kept;
    };
    const std::vector<Case> cases = {
        {"lat", "==> Missing latLons for airport 'EDDF'", false},
        {"lon", "==> Missing latLons for airport 'EDDF'", false},
        {"alt", "==> Missing alt for airport 'EDDF'", false},
        {"stands", "==> Missing stands for airport 'EDDF'", true},
        {"iata", "==> Missing IATA for airport 'EDDF'", false},
        {"code", "", true},
    };
    for (const Case& c : cases) {
        ProgramFolder program;
        XmlElement element = lf_airport({"EDDF", "FRA", 50, 8, 364}, 301);
        std::erase_if(element.attributes, [&c](const auto& a) { return a.first == c.leftOut; });
        LogCapture log;
        EXPECT_EQ(lf_read(databuild::renderXml(lf_airports({element, lf_airport({"EHAM", "", 52, 4, 0})}))), "true");
        EXPECT_EQ(g_airports.size(), c.kept ? 2u : 1u) << c.leftOut;
        if (!c.line.empty()) {
            EXPECT_TRUE(log.contains("\n" + c.line + "\n")) << c.leftOut << log.text();
        }
        if (c.kept) {
            EXPECT_EQ(g_airports.front().stands, c.leftOut == "stands" ? 0 : 301) << c.leftOut;
        }
    }
}

TEST(Airports, UnloadableFilesFailWith88AndLeaveNoPlainFile)
{
    const std::string plainPath = gf_pathToUtf8(fs::path("input") / "airports.xml");
    struct Case {
        std::string name;
        std::string plain;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {"garbage", "<root><airports>", fmt::format("88: {} not loaded: ", plainPath)},
        {"no airports", "<root><airport code=\"EDDF\"/></root>", fmt::format("88: Missing <airports> root in: {}", plainPath)},
        {"empty table", "<airports/>", "false"},
    };
    for (const Case& c : cases) {
        ProgramFolder program;
        EXPECT_TRUE(lf_read(c.plain).starts_with(c.expected)) << c.name << ": " << lf_read(c.plain);
        EXPECT_TRUE(g_airports.empty()) << c.name;
        EXPECT_FALSE(fs::exists(program.input("airports.xml"))) << c.name;
    }
    ProgramFolder program;
    LogCapture log;
    lf_forgetAirports();
    EXPECT_THROW(
        {
            try {
                gf_readAirports();
            } catch (const std::exception& e) {
                EXPECT_EQ(std::string(e.what()), fmt::format("88: {} not loaded: File was not found", plainPath));
                throw;
            }
        },
        std::exception);
    EXPECT_FALSE(fs::exists(program.input("airports.xml")));
}

TEST(Airports, AReadTableIsKeptAndAPositionOutOfRangeIsNotAdded)
{
    ProgramFolder program;
    LogCapture log;
    const std::vector<XmlElement> elements = {
        {"airport", {{"code", "NANA"}, {"iata", ""}, {"lat", "nan"}, {"lon", "8"}, {"alt", "1"}, {"stands", "1"}}},
        {"airport", {{"code", "FARR"}, {"iata", ""}, {"lat", "50"}, {"lon", "181"}, {"alt", "1"}, {"stands", "1"}}},
        lf_airport({"EDDF", "FRA", 50, 8, 364}),
    };
    ASSERT_EQ(lf_read(databuild::renderXml(lf_airports(elements))), "true");
    EXPECT_EQ(g_airports.size(), 1u);
    EXPECT_TRUE(log.contains("==> Error parsing coordinates for airport 'NANA': ")) << log.text();
    EXPECT_TRUE(log.contains("==> Error parsing coordinates for airport 'FARR': ")) << log.text();
    // A later run keeps the table without reading again.
    fs::remove(program.input("airports.enc"));
    EXPECT_TRUE(gf_readAirports());
    EXPECT_EQ(g_airports.size(), 1u);
}

TEST(Airports, LabelsShowTheIataCodeWhenThereIsOne)
{
    EXPECT_EQ(gf_airportLabel({"EHAM", "AMS"}), "EHAM (AMS)");
    EXPECT_EQ(gf_airportLabel({"EHAM", ""}), "EHAM");
    EXPECT_EQ(gf_airportLabel({"", ""}), "?");
    EXPECT_EQ(gf_airportLabel({"", "AMS"}), "? (AMS)");
}

TEST(Airports, TheClosestAirportLiesWithin5NmAndItsNeighbourWinsOnlyByACloserStand)
{
    ProgramFolder program;
    // One minute of latitude is one nautical mile.
    const double nm = 1.0 / 60.0;
    ASSERT_EQ(lf_read(databuild::renderXml(lf_airports({
                  lf_airport({"AAAA", "", 4.0 * nm, 0, 0}), // met first, farther
                  lf_airport({"BBBB", "", -1.0 * nm, 0, 0}),
                  lf_airport({"CCCC", "", 3.0 * nm, 0, 0}), // met after the closest, farther
                  lf_airport({"ZZZZ", "", 0, 50, 0}),
              }))),
              "true");
    std::map<std::string, double> standNm;
    std::vector<std::string> asked;
    const StandDistanceFn stands = [&](std::string_view code, const GeoPos&, std::string& id) {
        asked.emplace_back(code);
        const auto it = standNm.find(std::string(code));
        if (it == standNm.end())
            return 100.0;
        id = "G" + std::string(code);
        return it->second;
    };
    const auto closest = [&](GeoPos p) {
        const Airport* a = lf_closestAirport(p, stands);
        return a ? a->code : std::string("none");
    };
    LogCapture log;
    EXPECT_EQ(closest({5.0 * nm, 50}), "ZZZZ");
    EXPECT_EQ(closest({5.01 * nm, 50}), "none");
    EXPECT_TRUE(asked.empty());
    // AAAA is closest until BBBB is met: BBBB is closest, AAAA its neighbour.
    EXPECT_EQ(closest({0, 0}), "BBBB");
    EXPECT_EQ(fmt::format("{}", fmt::join(asked, " ")), "BBBB AAAA");
    EXPECT_TRUE(log.contains("Airport BBBB is closest, neighbour is AAAA\n"));
    standNm = {{"BBBB", 0.2}, {"AAAA", 0.2}};
    EXPECT_EQ(closest({0, 0}), "BBBB");
    standNm = {{"BBBB", 0.2}, {"AAAA", 0.1}};
    EXPECT_EQ(closest({0, 0}), "AAAA");
    EXPECT_TRUE(log.contains("Airport BBBB is closest, but stand GAAAA at neighbouring airport AAAA is closer at 185 "
                             "meters ...\n"))
        << log.text();
    standNm = {{"AAAA", 0.1}};
    EXPECT_EQ(closest({0, 0}), "AAAA");
    // The nearer met first, or a tie: no neighbour, no stand asked.
    asked.clear();
    EXPECT_EQ(closest({4.2 * nm, 0}), "AAAA");
    EXPECT_EQ(closest({3.5 * nm, 0}), "AAAA");
    EXPECT_TRUE(asked.empty());
    // Without a park file of either airport the closest stays.
    EXPECT_EQ(gf_closestAirport({0, 0})->code, "BBBB");
}
