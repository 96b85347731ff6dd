// The choice of the park airport and the static parking pass.
#include <cmath>
#include <cstdlib>

#include "parking/static_parking_fixture.h"

namespace fs = std::filesystem;
using statictest::StaticParkingTest;

namespace {

const fs::path g_data = fs::absolute(gf_pathFromUtf8(std::getenv("TAV_SOURCE_DIR")) / "tests" / "parking" / "data");

class ParkAirportChoice : public StaticParkingTest {
protected:
    static void placeParkFile(std::string_view code)
    {
        fs::copy_file(g_data / "archived_EDDF.xml", gf_paths().myThirdparty / fmt::format("{}.xml", code),
                      fs::copy_options::overwrite_existing);
    }
    static void list(std::initializer_list<ParkAirportEntry> entries)
    {
        std::lock_guard lock(g_parkAirportsMutex);
        g_parkAirports = entries;
    }
    size_t logCount(std::string_view fragment) const
    {
        const std::string text = log_.text();
        size_t n = 0;
        for (size_t at = text.find(fragment); at != std::string::npos; at = text.find(fragment, at + 1))
            ++n;
        return n;
    }
    // The latitude north of (0, lon) at exactly nm nautical miles.
    static double latitudeAtExactly(double nm)
    {
        double lat = nm / 60.0;
        for (int i = 0; i < 200 && gf_distanceNm({lat, 0.0}, {0.0, 0.0}) != nm; ++i)
            lat = std::nextafter(lat, gf_distanceNm({lat, 0.0}, {0.0, 0.0}) < nm ? 1.0 : 0.0);
        return lat;
    }
};

} // namespace

TEST_F(ParkAirportChoice, TheAirportStaysInSightUpToRangeAndHeightInclusiveAndIsDroppedBeyond)
{
    const double exact = latitudeAtExactly(AIRP_RANGE.value);
    ASSERT_EQ(gf_distanceNm({exact, 0.0}, {0.0, 0.0}), AIRP_RANGE.value);
    const double height = AIRP_HEIGHT.value;
    const std::vector<std::tuple<double, double, bool>> rows = {
        {exact, height, true}, {std::nextafter(exact, 1.0), height, false}, {exact, std::nextafter(height, 1e9), false}};
    for (const auto& [lat, heightFt, kept] : rows) {
        lf_setParkAirport("FZAA");
        emptyEngine();
        g_parkStands = synth::makeAirport({.stands = 3, .flightsPerStand = 0, .centreLat = 0.0, .centreLon = 0.0});
        placeUser(lat, 0.0, heightFt);
        ASSERT_NE(enginetest::gf_createStatic({3, 0, "KLM", "A320", "KLM9", "", "", 1}, 501), nullptr);
        ASSERT_NE(enginetest::gf_bornAtStand(10001, "DLH1", 1, 601), nullptr);
        gf_staticParkingCycle(false);
        EXPECT_EQ(fmt::format("{} {} {}", g_parkAirport.code, g_liveAcs[0].standNumber,
                              fmt::join(enginetest::gf_removing(), " ")),
                  kept ? "FZAA 1 " : " 0 KLM9* DLH1")
            << lat << " " << heightFt;
    }
    EXPECT_TRUE(log_.contains("FZAA is out of sight (20.0 nm), parked aircraft will be removed"));
}

TEST_F(ParkAirportChoice, ANearerListedAirportReplacesTheParkAirportOnTheNextPass)
{
    g_airports = {{"EDDA", "", 50.0, 8.5, 0, 0}, {"EDDB", "", 50.0, 8.8, 0, 0}};
    list({{"EDDA", "", 50.0, 8.5}, {"EDDB", "", 50.0, 8.8}});
    placeUser(50.0, 8.55);
    gf_staticParkingCycle(false);
    EXPECT_EQ(g_parkAirport.code, "EDDA");
    EXPECT_TRUE(g_staticRecalcPending && g_settingControlsDisabled);
    lf_clearParkAirportState();
    lf_setParkAirport("EDDA");

    placeUser(50.0, 8.75);
    gf_staticParkingCycle(false);
    EXPECT_EQ(listText(), "EDDB/ EDDA/");
    EXPECT_EQ(g_parkAirport.code, "");
    EXPECT_TRUE(log_.contains("EDDB is in sight (1.9 nm), parked aircraft at EDDA will be removed first"));
    gf_staticParkingCycle(false);
    EXPECT_EQ(g_parkAirport.code, "EDDB");
    EXPECT_TRUE(log_.contains("EDDB in sight at 1.9 nm"));
}

TEST_F(ParkAirportChoice, OnTheGroundOnlyTheClosestAirportWithAParkFileIsChosen)
{
    list({{"EDDM", "", 48.35, 11.78}});
    onGround = true;
    placeUser(48.35, 11.78);
    gf_staticParkingCycle(true);
    EXPECT_EQ(message(), "User aircraft on the ground at EDDM, no airport file found");
    placeUser(48.0, 11.0);
    gf_staticParkingCycle(true);
    EXPECT_EQ(message(), "User aircraft on the ground, no RT supported airport in sight");
    EXPECT_EQ(g_parkAirport.code, "");

    placeParkFile("EDDM");
    placeUser(48.35, 11.78);
    gf_staticParkingCycle(true);
    EXPECT_EQ(g_parkAirport.code, "EDDM");
    EXPECT_EQ(message(), "Calculating static parked aircraft ...");
}

TEST_F(ParkAirportChoice, NoPositionYetDoesNothingAndADestinationKeepsTheListOrder)
{
    list({{"EDDS", "", 48.69, 9.22}, {"FZAA", "", 0.0, 0.0}});
    placeUser(0.0001, -0.0001);
    gf_staticParkingCycle(false);
    EXPECT_EQ(g_parkAirport.code, "");
    EXPECT_EQ(g_parkAirports.front().distanceNm, 0.0);

    DESTINATION.setValue("EDDS");
    placeUser(0.1, 0.0);
    gf_staticParkingCycle(false);
    EXPECT_EQ(listText(), "EDDS/ FZAA/");
    EXPECT_GT(g_parkAirports.front().distanceNm, 100.0);
    EXPECT_EQ(g_parkAirports.back().distanceNm, 0.0);
    EXPECT_EQ(g_parkAirport.code, "");
}

TEST_F(ParkAirportChoice, AUserAtAStandOfAnAirportNotFirstPutsItFirstWithThatStand)
{
    placeParkFile("EDDF");
    DESTINATION.setValue("EDDM");
    list({{"EDDM", "", 48.35, 11.78}, {"EDDF", "A1", 50.0, 8.5}});
    g_staticRenewalMinutes = 5;
    onGround = true;
    g_userOnGround = true;
    placeUser(50.0473, 8.571); // at A2 of the park file
    gf_staticParkingCycle(false);
    gf_staticParkingCycle(false);
    EXPECT_EQ(listText(), "EDDF/A2 EDDM/");
    EXPECT_EQ(tavtest::readFile(gf_paths().myParkAirports), "EDDF,A2\n");
    EXPECT_EQ(g_reservedStandId, "A2");
    EXPECT_TRUE(gf_windowState().reservedStandFound && g_parkStands[1].notUsable && gf_windowState().parkFileLoaded);
    EXPECT_EQ(g_staticRenewalMinutes.load(), 20);
    EXPECT_EQ(gf_parkAirportForFeed().elevationFt, 364.0);
}

TEST_F(ParkAirportChoice, AParkAirportWithoutParkFileIsClearedAndNotChosenAgainDuringThePause)
{
    list({{"EDDS", "", 48.69, 9.22}});
    placeUser(48.7, 9.2);
    gf_staticParkingCycle(false);
    gf_staticParkingCycle(false);
    EXPECT_EQ(message(), "lf_readParkedFile EDDS not found");
    EXPECT_EQ(g_parkAirport.code, "");
    EXPECT_FALSE(g_settingControlsDisabled);
    EXPECT_FALSE(g_trafficReader.callsigns.collecting);
    gf_staticParkingCycle(false);
    gf_staticParkingCycle(false);
    EXPECT_EQ(g_parkAirport.code, "");
    EXPECT_EQ(log_.text().find("EDDS in sight"), log_.text().rfind("EDDS in sight"));
    EXPECT_TRUE(lf_readMyParkAirports());
    gf_addParkAirport("EDDS", {48.69, 9.22});
    gf_staticParkingCycle(false);
    EXPECT_EQ(g_parkAirport.code, "EDDS");
}

TEST_F(ParkAirportChoice, AGroundMessageIsLoggedWhenItChangesNotOnEveryPass)
{
    onGround = true;
    const std::string noFile = "User aircraft on the ground at EDDM, no airport file found";
    const std::string noAirport = "User aircraft on the ground, no RT supported airport in sight";
    const std::vector<std::tuple<double, double, std::string>> steps = {
        {48.35, 11.78, noFile}, {48.0, 11.0, noAirport}, {48.35, 11.78, noFile}};
    for (const auto& [lat, lon, text] : steps) {
        placeUser(lat, lon, 0.0);
        for (int pass = 0; pass < 5; ++pass) {
            gf_staticParkingCycle(false);
            EXPECT_EQ(message(), text) << pass;
        }
    }
    EXPECT_EQ(logCount(noFile), 2u);
    EXPECT_EQ(logCount(noAirport), 1u);

    // After a flight the same airport's message is news again.
    onGround = false;
    gf_staticParkingCycle(false);
    onGround = true;
    gf_staticParkingCycle(false);
    EXPECT_EQ(logCount(noFile), 3u);
}

TEST_F(ParkAirportChoice, AFailedLoadIsTriedAgainAfterTwentyMinutesOfPassesThreeTimesAtMost)
{
    // No park file: every load fails. 75 passes of 16 s are 20 minutes.
    list({{"EDDS", "", 48.69, 9.22}});
    placeUser(48.7, 9.2);
    const std::string failure = "lf_readParkedFile EDDS not found";
    gf_staticParkingCycle(false);
    gf_staticParkingCycle(false);
    ASSERT_EQ(logCount(failure), 1u);
    EXPECT_TRUE(log_.contains("The park file of EDDS is tried again in about 20 minutes (retry 1 of 3)"));
    for (int pass = 0; pass < 74; ++pass)
        gf_staticParkingCycle(false);
    EXPECT_EQ(logCount(failure), 1u);
    EXPECT_FALSE(log_.contains("Trying the park file of EDDS again"));
    gf_staticParkingCycle(false); // chosen again
    gf_staticParkingCycle(false); // loaded again
    EXPECT_EQ(logCount(failure), 2u);
    EXPECT_TRUE(log_.contains("Trying the park file of EDDS again (retry 1 of 3)"));
    EXPECT_TRUE(log_.contains("The park file of EDDS is tried again in about 20 minutes (retry 2 of 3)"));

    for (int pass = 0; pass < 400; ++pass)
        gf_staticParkingCycle(false);
    EXPECT_EQ(logCount(failure), 4u);
    EXPECT_EQ(logCount("Trying the park file of EDDS again"), 3u);
    EXPECT_TRUE(log_.contains("The park file of EDDS failed to load 4 times: not tried again in this run"));
    EXPECT_EQ(g_parkAirport.code, "");
}

TEST_F(ParkAirportChoice, AParkFileThatAppearsBeforeTheRetryIsLoadedThen)
{
    list({{"EDDS", "", 48.69, 9.22}});
    placeUser(48.7, 9.2);
    gf_staticParkingCycle(false);
    gf_staticParkingCycle(false);
    EXPECT_TRUE(log_.contains("lf_readParkedFile EDDS not found"));
    placeParkFile("EDDS");
    for (int pass = 0; pass < 74; ++pass)
        gf_staticParkingCycle(false);
    EXPECT_EQ(g_parkAirport.code, "");
    gf_staticParkingCycle(false);
    gf_staticParkingCycle(false);
    EXPECT_EQ(g_parkAirport.code, "EDDS");
    EXPECT_TRUE(gf_windowState().parkFileLoaded);
    EXPECT_EQ(g_parkStands.size(), 3u);
    EXPECT_TRUE(log_.contains("Trying the park file of EDDS again (retry 1 of 3)"));
}
