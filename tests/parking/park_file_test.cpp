#include <gtest/gtest.h>

#include "catalogue/dbase.h"
#include "foundation/settings_catalogue.h"
#include "foundation/user_error.h"
#include "parking/half_hours.h"
#include "parking/park_file_internal.h"
#include "support/test_support.h"

namespace fs = std::filesystem;

namespace {

StandFlight lf_flight(std::string reg, std::string airl, std::string type, std::string cs1, std::string cs2,
                      std::string_view hh, uint32_t day)
{
    StandFlight f;
    f.reg = std::move(reg);
    f.airl = std::move(airl);
    f.type = std::move(type);
    f.cs1 = std::move(cs1);
    f.cs2 = std::move(cs2);
    f.hours = gf_hours2bitset(hh);
    f.day = day;
    f.number = 1;
    return f;
}

// Reads the file's stands; "93: ..." or "94: ..." when the reader refuses it.
std::string lf_read(const fs::path& file, std::vector<ParkStand>& table)
{
    pugi::xml_document doc;
    if (!doc.load_file(file.c_str()))
        return "unloadable";
    try {
        lf_readParkpositions(doc, table);
        return "ok";
    } catch (const tav::UserErrorException& e) {
        return e.what();
    }
}

ApfContent lf_content(std::vector<ParkStand> stands)
{
    ApfContent content;
    content.code = "EDDF";
    content.airportName = "Frankfurt Main";
    content.publisher = "Pub";
    content.altitude = 364;
    content.qfReal = 12;
    content.qfSoft = 34;
    content.stands = std::move(stands);
    return content;
}

struct DbaseEntry {
    DbaseEntry()
    {
        DbaseRecord& r = *g_dbaseRecords.tryEmplace("D-AIAB").first;
        r.airl = "DLH";
        r.type = "A320";
        r.opr = "CLH";
    }
    ~DbaseEntry() { g_dbaseRecords.clear(); }
};

std::string lf_wrap(std::string_view parkpositions)
{
    return std::string("<root><parkpositions>") + std::string(parkpositions) + "</parkpositions></root>";
}

} // namespace

TEST(ParkFile, WriteReadWriteGivesTheSameBytesInBothModes)
{
    DbaseEntry dbase;
    tavtest::TempFolder folder;
    tavtest::LogCapture log;
    g_parkFileHandmade = true; // learned mode writes every stand whole
    MAX_FIT_FL.value = 1.5f;
    for (const ApfMode mode : {ApfMode::Learned, ApfMode::Full}) {
        std::vector<ParkStand> stands;
        std::vector<StandFlight> flights = {
            lf_flight("D-AIAB", "XXX", "B738", "ABC123", "ABC45", "10:14", 1),
            lf_flight("N123", "UAL", "B77W", "ABC123", "", "1,2,5", 7),
            lf_flight("", "ZZZ", "C172", "", "", "47", 3),
        };
        flights[2].real = 0;
        flights[2].cpl = true;
        gf_addParkStand(stands, "B12", std::move(flights), {50.04, 8.56, 90.0 * 0.017453292519943295}, 22.5, false,
                        true, true);
        gf_addParkStand(stands, "H1", {}, {50.05, -8.57, 0.0}, 30.0, false, false, false);
        const fs::path first = folder / "first.xml";
        const fs::path second = folder / "second.xml";
        ASSERT_TRUE(gf_writeApf(lf_content(std::move(stands)), first, mode, 3));
        std::vector<ParkStand> back;
        ASSERT_EQ(lf_read(first, back), "ok");
        ASSERT_TRUE(gf_writeApf(lf_content(std::move(back)), second, mode, 3));
        const std::string text = tavtest::readFile(first);
        EXPECT_EQ(text, tavtest::readFile(second));
        EXPECT_NE(text.find(R"(<parkpos id="B12" latitude="50.040000" longitude="8.560000" heading="90.0" )"
                            R"(radius="22.5" cargo="true" ramp="false")"),
                  std::string::npos);
        EXPECT_NE(text.find(R"(<parkpos id="H1" latitude="50.050000" longitude="-8.570000" heading="0.0" )"
                            R"(radius="30.0" heli="true" />)"),
                  std::string::npos)
            << text;
        if (mode == ApfMode::Learned) {
            // A known registration takes airline and type from the database.
            EXPECT_NE(text.find(R"(<opt reg="D-AIAB" day="1" hh="10:14" cs="ABC123:ABC45" />)"), std::string::npos)
                << text;
            EXPECT_NE(text.find(R"(<opt reg="N123" airl="UAL" type="B77W" day="7" hh="1,2,5" cs="ABC123" />)"),
                      std::string::npos);
            EXPECT_NE(text.find(R"(<opt reg="" airl="ZZZ" type="C172" soft="true" day="3" hh="47" cpl="true" />)"),
                      std::string::npos);
            EXPECT_NE(text.find(R"(<parameter name="MAX_FIT" value="2" />)"), std::string::npos);
            EXPECT_NE(text.find(R"(<parameter name="handmade" value="true" />)"), std::string::npos);
        } else {
            EXPECT_EQ(text.find("<opt"), std::string::npos);
            EXPECT_NE(text.find(R"(<parameter name="num_parkpos" value="2" />)"), std::string::npos);
        }
    }
    g_parkFileHandmade = false;
    MAX_FIT_FL.value = MAX_FIT_FL.defaultValue;
}

TEST(ParkFile, ReaderTrimsIdsDropsBadEntriesAndRefusesBadIds)
{
    DbaseEntry dbase;
    tavtest::TempFolder folder;
    tavtest::LogCapture log;
    const fs::path file = folder / "p.xml";
    tavtest::writeFile(file, lf_wrap(R"(
        <parkpos id="  B12 " latitude="50.1" longitude="8.2" heading="180" radius="20" cargo="yes">
          <opt reg="D-AIAB" airl="XXX" type="B738" day="2" hh="3:4" cs="ABC123:" />
          <opt reg="N1" airl="AAL" day="8" hh="3" />
          <opt reg="N2" airl="AAL" day="2" />
          <opt reg="N3" airl="AAL" day="-1" hh="3" />
          <opt reg="N4" airl="AAL" type="B738" soft="1" day="7" hh="0,47" cpl="true" />
        </parkpos>
        <parkpos id="ZERO" latitude="0" longitude="0" radius="20" />
        <parkpos id="FAR" latitude="91" longitude="8.2" radius="20" />
        <parkpos id="NAN" latitude="50" longitude="8.2" radius="nan" />
        <parkpos id="HDG" latitude="50" longitude="8.2" heading="1e9" />
        <parkpos id="NOPOS" radius="20" />)"));
    std::vector<ParkStand> table;
    ASSERT_EQ(lf_read(file, table), "ok");
    // A heading of any size is taken into 0..360 degrees (1e9 is 280).
    ASSERT_EQ(table.size(), 2u);
    EXPECT_NEAR(table[1].heading * 57.29577951308232, 280.0, 1e-6);
    const ParkStand& s = table[0];
    EXPECT_EQ(s.id, "B12");
    EXPECT_TRUE(s.cargo);
    EXPECT_FALSE(s.ramp || s.heli);
    EXPECT_DOUBLE_EQ(s.heading, 3.141592653589793);
    ASSERT_EQ(s.flights.size(), 2u);
    EXPECT_EQ(s.flights[0].airl + s.flights[0].type + s.flights[0].cs1 + "|" + s.flights[0].cs2, "CLHA320ABC123|");
    EXPECT_EQ(s.flights[1].number, 2u);
    EXPECT_EQ(s.flights[1].real, 0u);
    EXPECT_TRUE(s.flights[1].cpl);
    EXPECT_EQ(s.flights[1].origin, 1u);
    for (const char* id : {"FAR", "NAN"})
        EXPECT_TRUE(log.contains(std::string("lf_readParkpos: stand '") + id + "' skipped")) << id;
    EXPECT_FALSE(log.contains("'ZERO'"));

    const std::vector<std::pair<std::string, std::string>> bad = {
        {R"(<parkpos id="A" latitude="1" longitude="1" /><parkpos latitude="1" longitude="1" />)",
         "93: Parking position #2 has no 'id' attribute."},
        {R"(<parkpos id=" &#9; " latitude="1" longitude="1" />)", "93: Parking position #1 has empty 'id' attribute."},
        {R"(<parkpos id="B12" latitude="1" longitude="1" /><parkpos id=" B12" latitude="2" longitude="1" />)",
         "94: Parking position 'B12' appears more than once."},
    };
    for (const auto& [xml, error] : bad) {
        tavtest::writeFile(file, lf_wrap(xml));
        table.clear();
        EXPECT_EQ(lf_read(file, table), error);
    }
}
