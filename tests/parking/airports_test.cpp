#include <gtest/gtest.h>

#include <filesystem>

#include <fmt/format.h>

#include "parking/airports_internal.h"
#include "support/data_file_fixture.h"

namespace fs = std::filesystem;
using tavtest::LogCapture;
using tavtest::ProgramFolder;

namespace {

// Reads the text as input\airports.enc afresh (none when null): "true", "false" or what was
// thrown, then the table.
std::string lf_read(const char* plain)
{
    lf_forgetAirports();
    if (plain != nullptr)
        tavtest::writeEncryptedInput("airports.enc", plain);
    std::string text;
    try {
        text = gf_readAirports() ? "true" : "false";
    } catch (const std::exception& e) {
        text = e.what();
    }
    for (const Airport& a : g_airports)
        text += fmt::format(" {}/{}/{}/{}/{}/{}", a.code, a.iata, a.lat, a.lon, a.alt, a.stands);
    return text;
}

std::string lf_airports(std::string_view elements)
{
    return fmt::format("<root><airports>{}<airport code=\"EHAM\" iata=\"\" lat=\"52\" lon=\"4\" alt=\"0\" "
                       "stands=\"0\" /></airports></root>",
                       elements);
}

} // namespace

TEST(Airports, TheTableIsSortedStablyAndReadsTheSameWithOrWithoutRoot)
{
    const std::string elements =
        R"(<airport code="EHAM" iata="AMS" lat="52.3086" lon="4.76389" alt="-11" stands="228" />)"
        R"(<airport code="EDDF" iata="FRA" lat="50.0333333" lon="8.5705556" alt="364" stands="301" />)"
        R"(<airport code="EHAM" iata="" lat="1" lon="2" alt="3" stands="0" />)"
        R"(<airport code="EGLL" iata="LHR" lat="51.4775" lon="-0.461389" alt="83" stands="many" />)"
        R"(<other code="XXXX" />)";
    for (const std::string& plain : {"<root><airports>" + elements + "</airports></root>", "<airports>" + elements + "</airports>"}) {
        ProgramFolder program;
        LogCapture log;
        EXPECT_EQ(lf_read(plain.c_str()), "true EDDF/FRA/50.0333333/8.5705556/364/301 EGLL/LHR/51.4775/-0.461389/83/0 "
                                          "EHAM/AMS/52.3086/4.76389/-11/228 EHAM//1/2/3/0");
        EXPECT_TRUE(log.contains("\n4 airports read\n"));
        EXPECT_EQ(gf_findAirport("EHAM")->iata, "AMS");
        EXPECT_EQ(gf_findAirport("EDD"), nullptr);
        EXPECT_EQ(gf_findAirport("XXXX"), nullptr);
        EXPECT_TRUE(gf_isKnownAirportCode("EGLL"));
        EXPECT_FALSE(gf_isKnownAirportCode("XXXX"));
        EXPECT_EQ(g_airports.capacity(), g_airports.size());
        EXPECT_FALSE(fs::exists(program.input("airports.xml")));
    }
    const std::vector<std::pair<Airport, std::string>> labels = {
        {{"EHAM", "AMS"}, "EHAM (AMS)"}, {{"EHAM", ""}, "EHAM"}, {{"", ""}, "?"}, {{"", "AMS"}, "? (AMS)"}};
    for (const auto& [airport, label] : labels)
        EXPECT_EQ(gf_airportLabel(airport), label);
}

TEST(Airports, EachFaultHasItsLineAndItsEffectAndAnUnloadableFileFailsWith88)
{
    const std::string plainPath = gf_pathToUtf8(fs::path("input") / "airports.xml");
    const std::string eddf = R"(code="EDDF" iata="FRA" lat="50" lon="8" alt="364" stands="301")";
    const auto without = [&eddf](std::string_view attribute) {
        std::string e = eddf;
        const size_t at = e.find(std::string(attribute) + "=");
        return lf_airports("<airport " + e.erase(at, e.find('"', e.find('"', at) + 1) + 2 - at) + " />");
    };
    const std::vector<std::tuple<std::string, std::string, std::string>> rows = {
        {without("lat"), "true EHAM//52/4/0/0", "==> Missing latLons for airport 'EDDF'"},
        {without("lon"), "true EHAM//52/4/0/0", "==> Missing latLons for airport 'EDDF'"},
        {without("alt"), "true EHAM//52/4/0/0", "==> Missing alt for airport 'EDDF'"},
        {without("stands"), "true EDDF/FRA/50/8/364/0 EHAM//52/4/0/0", "==> Missing stands for airport 'EDDF'"},
        {without("iata"), "true EHAM//52/4/0/0", "==> Missing IATA for airport 'EDDF'"},
        {without("code"), "true /FRA/50/8/364/301 EHAM//52/4/0/0", ""},
        {lf_airports(R"(<airport code="NANA" iata="" lat="nan" lon="8" alt="1" stands="1" />)"
                     R"(<airport code="FARR" iata="" lat="50" lon="181" alt="1" stands="1" />)"),
         "true EHAM//52/4/0/0", "==> Error parsing coordinates for airport 'NANA': "},
        {"<root><airports>", fmt::format("88: {} not loaded: ", plainPath), ""},
        {"<root><airport code=\"EDDF\"/></root>", fmt::format("88: Missing <airports> root in: {}", plainPath), ""},
        {"<airports/>", "false", ""},
    };
    for (const auto& [plain, result, line] : rows) {
        ProgramFolder program;
        LogCapture log;
        const std::string got = lf_read(plain.c_str());
        EXPECT_TRUE(result.starts_with("88") ? got.starts_with(result) : got == result) << plain << ": " << got;
        EXPECT_TRUE(log.contains("\n" + line)) << plain << log.text();
        EXPECT_FALSE(fs::exists(program.input("airports.xml"))) << plain;
    }
    ProgramFolder program;
    EXPECT_EQ(lf_read(nullptr), fmt::format("88: {} not loaded: File was not found", plainPath));
    EXPECT_FALSE(fs::exists(program.input("airports.xml")));
    // A later run keeps the table without reading again.
    lf_read(lf_airports("").c_str());
    fs::remove(program.input("airports.enc"));
    EXPECT_TRUE(gf_readAirports());
    EXPECT_EQ(g_airports.size(), 1u);
}

TEST(Airports, TheClosestAirportLiesWithin5NmAndItsNeighbourWinsOnlyByACloserStand)
{
    ProgramFolder program;
    // One minute of latitude is one nautical mile.
    const double nm = 1.0 / 60.0;
    const std::string airports = fmt::format(
        R"(<airports><airport code="AAAA" iata="" lat="{}" lon="0" alt="0" stands="0" />)" // met first, farther
        R"(<airport code="BBBB" iata="" lat="{}" lon="0" alt="0" stands="0" />)"
        R"(<airport code="CCCC" iata="" lat="{}" lon="0" alt="0" stands="0" />)" // met after the closest, farther
        R"(<airport code="ZZZZ" iata="" lat="0" lon="50" alt="0" stands="0" /></airports>)",
        4.0 * nm, -1.0 * nm, 3.0 * nm);
    ASSERT_TRUE(lf_read(airports.c_str()).starts_with("true"));
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
    // Where the user is (nm north, degrees east), the stands' distances, the closest and the
    // airports asked for a stand.
    const std::vector<std::tuple<double, double, std::map<std::string, double>, std::string, std::string>> rows = {
        {5.0, 50, {}, "ZZZZ", ""},
        {5.01, 50, {}, "none", ""},
        // AAAA is closest until BBBB is met: BBBB is closest, AAAA its neighbour.
        {0, 0, {}, "BBBB", "BBBB AAAA"},
        {0, 0, {{"BBBB", 0.2}, {"AAAA", 0.2}}, "BBBB", "BBBB AAAA"},
        {0, 0, {{"BBBB", 0.2}, {"AAAA", 0.1}}, "AAAA", "BBBB AAAA"},
        {0, 0, {{"AAAA", 0.1}}, "AAAA", "BBBB AAAA"},
        // The nearer met first, or a tie: no neighbour, no stand asked.
        {4.2, 0, {}, "AAAA", ""},
        {3.5, 0, {}, "AAAA", ""},
    };
    LogCapture log;
    for (const auto& [north, east, distances, code, askedText] : rows) {
        standNm = distances;
        asked.clear();
        const Airport* a = lf_closestAirport({north * nm, east}, stands);
        EXPECT_EQ(a ? a->code : "none", code) << north << " " << east;
        EXPECT_EQ(fmt::format("{}", fmt::join(asked, " ")), askedText) << north << " " << east;
    }
    EXPECT_TRUE(log.contains("Airport BBBB is closest, neighbour is AAAA\n"));
    EXPECT_TRUE(log.contains("Airport BBBB is closest, but stand GAAAA at neighbouring airport AAAA is closer at 185 "
                             "meters ...\n"))
        << log.text();
    // Without a park file of either airport the closest stays.
    EXPECT_EQ(gf_closestAirport({0, 0})->code, "BBBB");
}
