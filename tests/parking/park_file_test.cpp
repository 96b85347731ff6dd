#include <gtest/gtest.h>

#include "catalogue/dbase.h"
#include "foundation/settings_catalogue.h"
#include "parking/half_hours.h"
#include "parking/park_file_internal.h"
#include "support/test_support.h"

namespace fs = std::filesystem;

namespace {

ApfContent lf_content(std::vector<ParkStand> stands)
{
    return {.code = "EDDF", .airportName = "Frankfurt Main", .publisher = "Pub", .qfReal = 12, .qfSoft = 34,
            .altitude = 364, .stands = std::move(stands)};
}

} // namespace

TEST(ParkFile, WriteReadWriteGivesTheSameBytesInBothModes)
{
    *g_dbaseRecords.tryEmplace("D-AIAB").first = {.airl = "DLH", .type = "A320", .opr = "CLH"};
    tavtest::TempFolder folder;
    tavtest::LogCapture log;
    g_parkFileHandmade = true; // learned mode writes every stand whole
    MAX_FIT_FL.value = 1.5f;
    const auto flight = [](std::string reg, std::string airl, std::string type, std::string cs1, std::string cs2,
                           std::string_view hh, uint32_t day) {
        return StandFlight{airl, type, reg, cs1, cs2, gf_hours2bitset(hh), 1, day};
    };
    const std::vector<std::string> both = {
        R"(<parkpos id="B12" latitude="50.040000" longitude="8.560000" heading="90.0" radius="22.5" cargo="true" ramp="false")",
        R"(<parkpos id="H1" latitude="50.050000" longitude="-8.570000" heading="0.0" radius="30.0" heli="true" />)",
        R"(<parameter name="handmade" value="true" />)"};
    const std::vector<std::string> learned = {
        // A known registration takes airline and type from the database.
        R"(<opt reg="D-AIAB" day="1" hh="10:14" cs="ABC123:ABC45" />)",
        R"(<opt reg="N123" airl="UAL" type="B77W" day="7" hh="1,2,5" cs="ABC123" />)",
        R"(<opt reg="" airl="ZZZ" type="C172" soft="true" day="3" hh="47" cpl="true" />)",
        R"(<parameter name="MAX_FIT" value="2" />)"};
    for (const ApfMode mode : {ApfMode::Learned, ApfMode::Full}) {
        std::vector<ParkStand> stands;
        std::vector<StandFlight> flights = {flight("D-AIAB", "XXX", "B738", "ABC123", "ABC45", "10:14", 1),
                                            flight("N123", "UAL", "B77W", "ABC123", "", "1,2,5", 7),
                                            flight("", "ZZZ", "C172", "", "", "47", 3)};
        flights[2].real = 0;
        flights[2].cpl = true;
        gf_addParkStand(stands, "B12", std::move(flights), {50.04, 8.56, 90.0 * 0.017453292519943295}, 22.5, false,
                        true, true);
        gf_addParkStand(stands, "H1", {}, {50.05, -8.57, 0.0}, 30.0, false, false, false);
        ASSERT_TRUE(gf_writeApf(lf_content(std::move(stands)), folder / "first.xml", mode, 3));
        pugi::xml_document doc;
        ASSERT_TRUE(doc.load_file((folder / "first.xml").c_str()));
        std::vector<ParkStand> back;
        lf_readParkpositions(doc, back);
        ASSERT_TRUE(gf_writeApf(lf_content(std::move(back)), folder / "second.xml", mode, 3));
        const std::string text = tavtest::readFile(folder / "first.xml");
        EXPECT_EQ(text, tavtest::readFile(folder / "second.xml"));
        for (const std::string& line : both)
            EXPECT_NE(text.find(line), std::string::npos) << line << text;
        for (const std::string& line : learned)
            EXPECT_EQ(text.find(line) != std::string::npos, mode == ApfMode::Learned) << line << text;
        EXPECT_EQ(text.find(R"(<parameter name="num_parkpos" value="2" />)") != std::string::npos, mode == ApfMode::Full);
    }
    g_parkFileHandmade = false;
    MAX_FIT_FL.value = MAX_FIT_FL.defaultValue;
    g_dbaseRecords.clear();
}
