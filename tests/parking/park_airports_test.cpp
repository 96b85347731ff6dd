// The park airports list and my_park_airports.txt.
#include "parking/static_parking_fixture.h"

namespace fs = std::filesystem;
using statictest::StaticParkingTest;

namespace {

class ParkAirports : public StaticParkingTest {
protected:
    static fs::path file() { return gf_paths().myParkAirports; }
    static void write(std::string_view text) { tavtest::writeFile(file(), text); }
    static void writeFirst()
    {
        std::lock_guard lock(g_parkAirportsMutex);
        gf_writeMyParkAirports();
    }
};

} // namespace

TEST_F(ParkAirports, TheFileIsReadLineByLineWithItsFaultsSkipped)
{
    const struct {
        const char* file;
        const char* list;
        bool result;
        const char* logged; // empty: nothing of note
    } rows[] = {
        {"EDDF,A12\n", "EDDF/A12", true, "1 park airport read from 'my_park_airports.txt'"},
        {"EDDF\r\n\n   \nEDDM , B7 \n", "EDDF/ EDDM/B7", true, "2 park airports read"},
        {"EDDF,A12,x\nEDDM\n", "EDDM/", true, "==> my_park_airports.txt:EDDF,A12,x wrong syntax, skipped"},
        {"EDDF,A1\nEDDF,A2\n", "EDDF/A1", true, "==> my_park_airports.txt:EDDF double, skipped"},
        {"XXXX,A1\nEDDS\n", "EDDS/", false, "airport XXXX is unknown"},
        {nullptr, "", true, "my_park_airports.txt not found"},
    };
    for (const auto& row : rows) {
        fs::remove(file());
        if (row.file != nullptr)
            write(row.file);
        EXPECT_EQ(lf_readMyParkAirports(), row.result) << row.file;
        EXPECT_EQ(listText(), row.list);
        EXPECT_TRUE(log_.contains(row.logged)) << row.logged;
    }
    EXPECT_EQ(message(), "airport XXXX is unknown");
}

TEST_F(ParkAirports, ThirdPartyFilesAddKnownUnlistedAirportsOnly)
{
    write("EDDF,A12\n");
    for (const char* name : {"EDDF.xml", "EDDM.xml", "EDDM.txt", "XXXX.xml", "EDDS"})
        tavtest::writeFile(gf_paths().myThirdparty / name, "");
    fs::create_directories(gf_paths().myThirdparty / "EDDS.xml");
    EXPECT_TRUE(lf_readMyParkAirports());
    EXPECT_EQ(listText(), "EDDF/A12 EDDM/ EDDS/");
    EXPECT_TRUE(log_.contains("2 park airports added from my_thirdparty folder(-s)"));
}

TEST_F(ParkAirports, WritingKeepsTheFileSortedWithoutDuplicatesAndWithLfLines)
{
    gf_addParkAirport("EDDM", {48.35, 11.78});
    EXPECT_EQ(tavtest::readFile(file()), "EDDM\n");
    EXPECT_TRUE(log_.contains("my_park_airports.txt created with EDDM"));

    write("EDDS\r\nEDDF,A1\r\nEDDS\r\nEDDM\r\n# note\r\n");
    {
        std::lock_guard lock(g_parkAirportsMutex);
        g_parkAirports.front().reservedStand = "B7";
    }
    writeFirst();
    EXPECT_EQ(tavtest::readFile(file()), "# note\nEDDF,A1\nEDDM,B7\nEDDS\n");
    EXPECT_TRUE(log_.contains("my_park_airports.txt:EDDM,B7 updated stand"));

    gf_addParkAirport("EDDF", {50.0, 8.5});
    gf_addParkAirport("EDDM", {0.0, 0.0});
    EXPECT_EQ(listText(), "EDDM/B7 EDDF/");
    EXPECT_EQ(tavtest::readFile(file()), "# note\nEDDF\nEDDM,B7\nEDDS\n");
    fs::remove(file());
    write("EDDS\n");
    gf_addParkAirport("EDDF", {50.0, 8.5});
    EXPECT_EQ(tavtest::readFile(file()), "EDDS\n");
    gf_addParkAirport("EDDK", {50.9, 7.1});
    EXPECT_EQ(tavtest::readFile(file()), "EDDK\nEDDS\n");
    EXPECT_TRUE(log_.contains("my_park_airports.txt:EDDK new entry"));
}

TEST_F(ParkAirports, ACheckTakesAChangedReservedStandOnlyWhenTheListReadsWhole)
{
    g_parkStands = synth::makeAirport({.stands = 4});
    lf_setParkAirport("EDDF");
    g_reservedStandId = "S1";
    g_parkStands[0].notUsable = true;
    enginetest::gf_createStatic({1, 0, "DLH", "A320", "DLH1", "", "", 1}, 501);
    enginetest::gf_createStatic({2, 0, "DLH", "A320", "DLH2", "", "", 1}, 502);
    std::string text;

    write("EDDF,S2\nXXXX\n");
    EXPECT_FALSE(gf_checkParkAirports(true, text));
    EXPECT_EQ(g_reservedStandId, "S1");

    write("EDDF,S2\n");
    g_settingControlsDisabled = true;
    EXPECT_TRUE(gf_checkParkAirports(true, text));
    EXPECT_EQ(text, "park airports and stands are okay");
    g_settingControlsDisabled = false;

    text.clear();
    EXPECT_TRUE(gf_checkParkAirports(true, text));
    EXPECT_EQ(text, "reserved stand changed from 'S1' to 'S2'");
    EXPECT_EQ(g_reservedStandId, "S2");
    EXPECT_FALSE(g_parkStands[0].notUsable);
    EXPECT_TRUE(g_parkStands[1].notUsable);
    EXPECT_EQ(enginetest::gf_removing(), std::vector<std::string>{"DLH2*"});
}
