#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "catalogue/dbase.h"
#include "foundation/atomic_file.h"
#include "foundation/folders.h"
#include "foundation/settings_fixture.h"
#include "foundation/text.h"
#include "parking/airports.h"
#include "parking/half_hours.h"
#include "parking/park_airports.h"
#include "parking/park_file_internal.h"
#include "parking/stand_learning.h"
#include "support/data_file_fixture.h"
#include "ui/messages.h"
#include "ui/window_state.h"

namespace fs = std::filesystem;

namespace {

// Taken before any test changes the current folder (under Wine it lies on another drive).
const fs::path g_data = fs::absolute(gf_pathFromUtf8(std::getenv("TAV_SOURCE_DIR")) / "tests" / "parking" / "data");

const std::string kOrbx = "airports/my_ORBX/EDDF.xml";
const fs::path kLearned = fs::path("airports") / "learned" / "my_ORBX" / "EDDF.xml";

class ParkLoad : public ::testing::Test {
protected:
    ParkLoad()
    {
        gf_overrideDataFolder(data_.path());
        settingstest::resetSettings();
        parking_percentage.value = 30;
        fs::create_directories(gf_paths().myOrbx);
        fs::create_directories(gf_paths().myThirdparty);
        g_airports = {{"EDDF", "FRA", 50.03, 8.57, 364, 301}};
        g_parkAirport.code = "EDDF";
        gf_setStandUpdates(0);
    }
    ~ParkLoad() override
    {
        gf_resetParkAirport();
        gf_clearParkStands();
        g_airports.clear();
        g_parkAirport = {};
        g_parkQuality = {0, 0};
        gf_setBeforeReplaceHook(nullptr);
    }

    static void place(std::string_view fixture, const fs::path& target)
    {
        fs::create_directories(target.parent_path());
        fs::copy_file(g_data / gf_pathFromUtf8(fixture), target, fs::copy_options::overwrite_existing);
    }

    // The reader's text, or "user error <what>" when it threw.
    static std::string load(std::string_view source = kOrbx)
    {
        gf_clearParkStands();
        ParkFileDetails details;
        try {
            return gf_readApf(source, details);
        } catch (const std::exception& e) {
            return std::string("user error ") + e.what();
        }
    }

    // The archived file with other stands.
    static std::string withStands(std::string_view parkpositions)
    {
        std::string text = tavtest::readFile(g_data / "archived_EDDF.xml");
        const size_t begin = text.find("<parkpositions>") + std::string_view("<parkpositions>").size();
        return text.replace(begin, text.find("</parkpositions>") - begin, parkpositions);
    }

    static ParkStand* stand(std::string_view id)
    {
        const auto it = std::find_if(g_parkStands.begin(), g_parkStands.end(), [id](const ParkStand& s) { return s.id == id; });
        return it == g_parkStands.end() ? nullptr : &*it;
    }

    // "<radius> m <heading> deg <flags>: <flights>" of a stand, or "none".
    static std::string flights(std::string_view id)
    {
        const ParkStand* s = stand(id);
        if (s == nullptr)
            return "none";
        std::string text = fmt::format("{:.1f} m {:.1f} deg {}{}{}{}{}:", s->radius * 1852.0, s->heading * 57.29577951308232,
                                       s->cargo ? "c" : "", s->manual ? "m" : "", s->radiusChange ? "r" : "",
                                       s->cargoChange ? "x" : "", s->ramp ? "p" : "");
        for (const StandFlight& f : s->flights)
            text += fmt::format(" #{} d{} {} {} o{}", f.number, f.day, f.reg, gf_bitset2hours(f.hours).value_or("-"),
                                f.origin);
        return text;
    }

    // The settings a park file sets: percentage, RANGE, AUTO_RANGE, WEEK, PARK_SOFT, MAX_FIT,
    // MAX_FIT_FL, MAX_LIVE_SEL.
    static std::string settings()
    {
        return fmt::format("{} {} {:d} {:d} {:d} {} {} {}", parking_percentage.value.load(), RANGE.value.load(),
                           AUTO_RANGE.value.load(), WEEK.value.load(), PARK_SOFT.value.load(), MAX_FIT.value.load(),
                           MAX_FIT_FL.value.load(), MAX_LIVE_SEL.value.load());
    }

    tavtest::TempFolder data_;
    tavtest::ProgramFolder program_;
    tavtest::LogCapture log_;
};

} // namespace

TEST_F(ParkLoad, SourcesAreFoundInTheUsersFoldersFirstThenOnTheSite)
{
    const fs::path thirdparty = gf_paths().myThirdparty;
    tavtest::writeFile(thirdparty / "EDDF.txt", "airports\\my_ORBX\\Mine.XML \t\r\nsecond line\n");
    tavtest::writeFile(thirdparty / "EDDF.xml", "");
    tavtest::writeFile(gf_paths().myOrbx / "EDDF.xml", "");
    EXPECT_EQ(gf_findParkFile("EDDF"), "airports\\my_ORBX\\Mine.XML");
    tavtest::writeFile(thirdparty / "EDDF.txt", "readme.txt\n");
    EXPECT_EQ(gf_findParkFile("EDDF"), gf_pathToUtf8(thirdparty / "EDDF.xml"));
    fs::remove(thirdparty / "EDDF.xml");
    fs::remove(thirdparty / "EDDF.txt");
    EXPECT_EQ(gf_findParkFile("EDDF"), gf_pathToUtf8(gf_paths().myOrbx / "EDDF.xml"));
    fs::remove(gf_paths().myOrbx / "EDDF.xml");
    EXPECT_EQ(gf_findParkFile("EDDF"), "archive/stock/EDDF.xml");
    EXPECT_TRUE(gf_apfExists("EDDF"));
    EXPECT_EQ(gf_findParkFile("EGLL"), "");
    EXPECT_FALSE(gf_apfExists("EGLL"));
    tavtest::writeFile(gf_paths().myOrbx / "EGLL.txt", "");
    EXPECT_TRUE(gf_apfExists("EGLL"));
}

TEST_F(ParkLoad, LearnedFilesLieInOneSafeFolderPerSource)
{
    const fs::path learned = gf_paths().learned;
    const std::vector<std::tuple<std::string, std::string, fs::path>> rows = {
        {"archive/thirdparty/Fly%20Tampa/EHAM.xml", "", learned / "thirdparty" / "Fly Tampa" / "EHAM.xml"},
        {"airports\\my_thirdparty\\EHAM.xml", " Fly/Tampa ", learned / "thirdparty" / "Fly Tampa" / "EHAM.xml"},
        {"airports/my_thirdparty2024/EHAM.xml", "", learned / "my_thirdparty2024" / "EHAM.xml"},
        {"airports\\my_thirdparty\\EHAM.xml", " / ", learned / "my_thirdparty" / "EHAM.xml"},
        {"airports\\my_ORBX\\EGLC.XML", "", learned / "my_ORBX" / "EGLC.XML"},
        {"archive/stock/EDDF.xml", "", learned / "stock" / "EDDF.xml"},
        {"archive/simaddon/KSEA.xml", "", learned / "simaddon" / "KSEA.xml"},
        {"archive/stock/EDDF.txt", "", {}},
        {"archive/thirdparty/a:b<c /EHAM.xml", "", learned / "thirdparty" / "a_b_c" / "EHAM.xml"},
        {"archive/thirdparty/../EHAM.xml", "", {}},
        {"airports/my_thirdparty/EHAM.xml", "C:..", learned / "thirdparty" / "C_._" / "EHAM.xml"},
        {"airports\\..\\..\\EHAM.xml", "", {}},
        {"elsewhere/EDDF.xml", "", {}},
    };
    for (const auto& [source, publisher, path] : rows)
        EXPECT_EQ(lf_learnedApfPath(source, publisher), path) << source;
}

TEST_F(ParkLoad, AParkFileWithoutLearnedFileSetsDefaultsFromItsQuality)
{
    place("archived_EDDF.xml", kOrbx);
    g_parkQuality = {60, 0};
    ASSERT_EQ(load(), "");
    EXPECT_TRUE(g_parkFileLoaded);
    ASSERT_EQ(g_parkStands.size(), 3u);
    EXPECT_EQ(g_parkStands[0].adjacent, std::vector<uint32_t>{2});
    EXPECT_EQ(g_parkStands[2].number, 3u);
    EXPECT_EQ(g_parkQuality, std::pair(2, 5));
    EXPECT_EQ(settings(), "30 40 1 1 1 47 24 500");
    EXPECT_EQ(g_rtTrafficWeek, 12);
    EXPECT_EQ(g_parkAirport.elevationFt, 364.0);
    for (const char* line : {"learned does not exist", "Airport file read from 'airports/my_ORBX/EDDF.xml' for Frankfurt Main",
                             "quality factor          :  2/ 5"})
        EXPECT_TRUE(log_.contains(line)) << line;

    // A file without factors starts from (0, 0), not from the last airport's.
    gf_resetParkAirport();
    fs::remove(kLearned);
    std::string without = tavtest::readFile(g_data / "archived_EDDF.xml");
    for (const char* line : {"    <parameter name=\"Qf_real\" value=\"2\" />\n", "    <parameter name=\"Qf_soft\" value=\"5\" />\n"})
        without.erase(without.find(line), std::string_view(line).size());
    tavtest::writeFile(kOrbx, without);
    g_parkQuality = {1, 5};
    PARK_SOFT.value = false;
    ASSERT_EQ(load(), "");
    EXPECT_EQ(g_parkQuality, std::pair(0, 0));
    EXPECT_FALSE(PARK_SOFT.value);
}

TEST_F(ParkLoad, BadParkFilesFailTheLoadAndOnlyTheUsersOwnEndTheService)
{
    // A fixture's name, or the archived file with these stands.
    const std::vector<std::tuple<std::string, std::string, std::string>> rows = {
        {"bad_no_meta_EDDF.xml", kOrbx, kOrbx + ": refused to load"},
        {"bad_all_zero_EDDF.xml", kOrbx, "no stands found"},
        {"bad_duplicate_EDDF.xml", kOrbx, kOrbx + ": 94: Parking position 'A1' appears more than once."},
        {"bad_no_altitude_EDDF.xml", kOrbx, kOrbx + ": 65: Parameter altitude not found"},
        {"bad_duplicate_EDDF.xml", "airports/mine/EDDF.xml", "user error 94: Parking position 'A1' appears more than once."},
        {"", "", "gf_readApf: xml is empty"},
        {"", "airports/none.xml", "airports/none.xml: could not load file: airports/none.xml"},
        {R"(<parkpos id="A" latitude="1" longitude="1" /><parkpos latitude="1" longitude="1" />)", kOrbx,
         kOrbx + ": 93: Parking position #2 has no 'id' attribute."},
        {R"(<parkpos id=" &#9; " latitude="1" longitude="1" />)", kOrbx,
         kOrbx + ": 93: Parking position #1 has empty 'id' attribute."},
        {R"(<parkpos id="B12" latitude="1" longitude="1" /><parkpos id=" B12" latitude="2" longitude="1" />)", kOrbx,
         kOrbx + ": 94: Parking position 'B12' appears more than once."},
    };
    for (const auto& [fixture, source, result] : rows) {
        if (fixture.starts_with("<"))
            tavtest::writeFile(kOrbx, withStands(fixture));
        else if (!fixture.empty())
            place(fixture, lf_sourcePath(source));
        EXPECT_EQ(load(source), result) << fixture;
        EXPECT_TRUE(g_parkStands.empty());
        EXPECT_FALSE(g_parkFileLoaded);
    }
    g_parkAirport.code.clear();
    EXPECT_EQ(load(), "gf_readApf: no park airport set");
}

TEST_F(ParkLoad, StandsAreReadWithTrimmedIdsValuesTakenIntoRangeAndBadEntriesDropped)
{
    DbaseRecord& known = *g_dbaseRecords.tryEmplace("D-AIAB").first;
    known = {.airl = "DLH", .type = "A320", .opr = "CLH"};
    tavtest::writeFile(kOrbx, withStands(R"(
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
        <parkpos id="HDG" latitude="50" longitude="8.2" heading="1e9" radius="5000" />
        <parkpos id="NOPOS" radius="20" />)"));
    ASSERT_EQ(load(), "");
    g_dbaseRecords.clear();
    ASSERT_EQ(g_parkStands.size(), 2u);
    // A heading of any size is taken into 0..360 degrees (1e9 is 280), a radius to 1000 m.
    EXPECT_EQ(flights("HDG"), "1000.0 m 280.0 deg :");
    const ParkStand& s = *stand("B12");
    EXPECT_FALSE(s.heli);
    ASSERT_EQ(s.flights.size(), 2u);
    EXPECT_EQ(s.flights[0].airl + s.flights[0].type + s.flights[0].cs1 + "|" + s.flights[0].cs2, "CLHA320ABC123|");
    EXPECT_EQ(flights("B12"), "20.0 m 180.0 deg c: #1 d2 D-AIAB 3:4 o1 #2 d7 N4 0,47 o1");
    EXPECT_TRUE(s.flights[1].real == 0 && s.flights[1].cpl);
    for (const char* id : {"FAR", "NAN"})
        EXPECT_TRUE(log_.contains(std::string("lf_readParkpos: stand '") + id + "' skipped")) << id;
    EXPECT_FALSE(log_.contains("'ZERO'"));
}

TEST_F(ParkLoad, TheLearnedFileChangesStandsAndSettingsAndItsLearningSurvivesTheSave)
{
    place("archived_EDDF.xml", kOrbx);
    place("learned_old_EDDF.xml", kLearned);
    ASSERT_EQ(load(), "");
    // An old learned file adds no flights to the park file's stands.
    EXPECT_TRUE(log_.contains("This learned file was created with and older Tavelorium version than 11.10.0"));
    EXPECT_EQ(flights("A1"), "40.0 m 90.0 deg crx: #1 d1 D-AIAB 10:14 o1 #2 d2 N123UA 20 o1");
    EXPECT_EQ(flights("M1"), "20.0 m 45.0 deg mp: #1 d6 G-ABCD 30:31 o0");
    EXPECT_EQ(settings(), "100 25 0 1 1 3 2 100");
    gf_resetParkAirport();
    place("learned_EDDF.xml", kLearned);
    ASSERT_EQ(load(), "");
    EXPECT_EQ(flights("A1"), "40.0 m 90.0 deg crx: #1 d1 D-AIAB 10:14 o1 #2 d2 N123UA 20 o1 #3 d3 D-AIAB 1,2,5 o0");
    EXPECT_EQ(flights("M1"), "20.0 m 45.0 deg mp: #1 d6 G-ABCD 30:31 o0");
    // A manual stand that the park file has since gained gives it its flights; a radius out
    // of range is brought into range and costs nothing else.
    EXPECT_EQ(flights("A2"), "22.5 m 90.0 deg : #1 d2 D-AIZZ 6 o0");
    EXPECT_EQ(flights("F1"), "1000.0 m 180.0 deg rxp: #1 d4 D-AIAC 3 o0");
    EXPECT_EQ(flights("M2") + flights("M3"), "nonenone");
    EXPECT_EQ(g_parkStands.size(), 4u);
    for (const char* line : {"==> empty bit set", "learned stand GONE in", "==> manually created standid M2 misses",
                             "==> manually created standid M3 misses", "==> manually created standid A2 already exists"})
        EXPECT_TRUE(log_.contains(line)) << line;
    EXPECT_EQ(settings(), "100 25 0 1 1 3 2 100");
    EXPECT_EQ(g_parkQuality, gf_qualityFactors());

    // Learn a flight and let the stand search disable a learned one: both are saved, and
    // the stands the file cannot use stay in it.
    gf_addStandOption(stand("A2")->flights, {"EWG", "A319", "EWG1"}, gf_timeOfWeek(5, 8), "EWG1", "D-AGWA", false);
    stand("A1")->flights[2].number = 0;
    gf_resetParkAirport();
    EXPECT_TRUE(log_.contains("'" + gf_pathToUtf8(kLearned) + "' saved with 1 update"));
    EXPECT_EQ(settings(), fmt::format("30 40 1 0 0 {} {} 500", MAX_FIT.defaultValue, MAX_FIT_FL.defaultValue));
    const std::string saved = tavtest::readFile(kLearned);
    for (const char* kept : {R"(<parkpos id="GONE" radius_change="true" radius="30.0">)",
                             R"(<parkpos id="M2" latitude="0.000050" longitude="0.000050" heading="0.0" radius="20.0")",
                             R"(<parkpos id="M3" latitude="50.060000")"})
        EXPECT_NE(saved.find(kept), std::string::npos) << kept << saved;
    const std::string parameters = tavtest::readFile(gf_parametersPath());
    EXPECT_NE(parameters.find(R"(<parameter name="RANGE" value="40" />)"), std::string::npos) << parameters;
    EXPECT_NE(parameters.find(R"(<parameter name="WEEK" value="false" />)"), std::string::npos);
    EXPECT_EQ(parameters.find("parking_percentage"), std::string::npos);

    ASSERT_EQ(load(), "");
    EXPECT_EQ(flights("A1"), "40.0 m 90.0 deg crx: #1 d1 D-AIAB 10:14 o1 #2 d2 N123UA 20 o1 #3 d3 D-AIAB 1,2,5 o0");
    EXPECT_EQ(flights("A2"), "22.5 m 90.0 deg : #1 d2 D-AIZZ 6 o0 #2 d5 D-AGWA 8 o0");
    gf_resetParkAirport();
    EXPECT_EQ(tavtest::readFile(kLearned), saved);

    // A save stopped before the replace leaves the old file whole.
    ASSERT_EQ(load(), "");
    gf_setBeforeReplaceHook([](const fs::path&) { return false; });
    gf_resetParkAirport();
    EXPECT_TRUE(log_.contains(" saving '" + gf_pathToUtf8(kLearned) + "' did not succeed"));
    EXPECT_EQ(tavtest::readFile(kLearned), saved);
    EXPECT_EQ(tavtest::readFile(kLearned.parent_path() / "EDDF0.xml"), saved);
}

TEST_F(ParkLoad, AHandmadeFileReplacesTheStandsAndABrokenOneIsNeverSavedOver)
{
    place("archived_EDDF.xml", kOrbx);
    place("handmade_EDDF.xml", kLearned);
    for (int visit = 0; visit < 2; ++visit) {
        ASSERT_EQ(load(), "");
        EXPECT_TRUE(g_parkFileHandmade);
        // A heading written past 360 degrees is taken into range; a stand that cannot be
        // used stays in the user's file as it was.
        EXPECT_EQ(flights("H1") + "|" + flights("H2") + "|" + flights("H3") + "|" + flights("H4"),
                  fmt::format("25.0 m 270.0 deg : #1 d2 D-AIAB 4:9 o1|{} m 270.0 deg c:|25.0 m 90.0 deg :|none",
                              visit == 0 ? "25.0" : "30.0"));
        stand("H2")->radius = 30.0 / 1852.0;
        stand("H2")->radiusChange = true;
        gf_resetParkAirport();
    }
    EXPECT_TRUE(log_.contains("A handmade airport file overruled the archived file!"));
    EXPECT_TRUE(log_.contains("Airport file read from '" + gf_pathToUtf8(kLearned) + "' for Frankfurt Main"));
    EXPECT_TRUE(log_.contains(" handmade '" + gf_pathToUtf8(kLearned) + "' saved with 0 updates"));
    EXPECT_NE(tavtest::readFile(kLearned).find(R"(<parkpos id="H4" latitude="95.000000" longitude="8.550000")"),
              std::string::npos);

    place("handmade_duplicate_EDDF.xml", kLearned);
    const std::string before = tavtest::readFile(kLearned);
    ASSERT_EQ(load(), "");
    EXPECT_FALSE(g_parkFileHandmade);
    EXPECT_EQ(g_parkStands.size(), 3u);
    EXPECT_TRUE(log_.contains("==> lf_readLearned: 94: Parking position 'H1' appears more than once."));
    gf_resetParkAirport();
    EXPECT_EQ(tavtest::readFile(kLearned), before);
}

TEST_F(ParkLoad, ALearnedFileWithoutMetaIsNotReplacedAndTheSettingsComeBackOnce)
{
    place("archived_EDDF.xml", kOrbx);
    std::string learned = tavtest::readFile(g_data / "learned_EDDF.xml");
    learned.erase(learned.find("  <meta>"), learned.find("  <parameters>") - learned.find("  <meta>"));
    fs::create_directories(kLearned.parent_path());
    tavtest::writeFile(kLearned, learned);
    // The user is told once per airport that its learning is not saved.
    g_parkAirport.code = "EDDM";
    const auto message = [] {
        std::lock_guard lock(gf_windowState().uiMutex);
        return gf_windowState().messageText;
    };
    ASSERT_EQ(load(), "");
    EXPECT_TRUE(log_.contains("==> lf_readLearned: " + gf_pathToUtf8(kLearned) + " has no meta block and is not used"));
    EXPECT_EQ(message(), "The learned file of EDDM cannot be updated: what is learned there is not saved, see Log.txt");
    EXPECT_EQ(RANGE.value, RANGE.defaultValue);
    gf_resetParkAirport();
    EXPECT_EQ(tavtest::readFile(kLearned), learned);
    gf_clearMessage();
    ASSERT_EQ(load(), "");
    EXPECT_EQ(message(), "");
    gf_resetParkAirport();
    // A second reset has no snapshot left to put back over what the user chose since.
    WEEK.value = true;
    gf_resetParkAirport();
    EXPECT_TRUE(WEEK.value);
}

// Two visits, each learning a flight: what was learned is read back at the second, and a
// damaged learned file keeps its bytes where the log names it.
TEST_F(ParkLoad, LearningIsReadBackOnTheNextVisitAndADamagedLearnedFileIsKeptWhereTheLogSays)
{
    const std::string damaged = "<root><parkpositions><parkpos id=\"A1\"><opt reg=\"D-AIAB\" day=\"1\"";
    const std::string addonScan = gf_pathToUtf8(gf_paths().myThirdparty / "EDDF.xml");
    for (const auto& [source, learned] : {std::pair{addonScan, fs::path()}, std::pair{kOrbx, kLearned}}) {
        place("archived_EDDF.xml", lf_sourcePath(source));
        if (!learned.empty()) {
            fs::create_directories(learned.parent_path());
            tavtest::writeFile(learned, damaged);
        }
        for (int visit = 0; visit < 2; ++visit) {
            ASSERT_EQ(load(source), "") << source;
            gf_addStandOption(stand("A2")->flights, {"EWG", "A319", "EWG1"}, gf_timeOfWeek(5 + visit, 8), "EWG1",
                              "D-AGWA", false);
            gf_resetParkAirport();
        }
        ASSERT_EQ(load(source), "");
        EXPECT_EQ(flights("A2"), "22.5 m 90.0 deg : #1 d5 D-AGWA 8 o0 #2 d6 D-AGWA 8 o0") << source;
        gf_resetParkAirport();
    }
    const std::string head = gf_pathToUtf8(kLearned) + " found, but could not be loaded, saved as ";
    const std::string text = log_.text();
    const size_t at = text.find(head);
    ASSERT_NE(at, std::string::npos) << text;
    const size_t begin = at + head.size();
    EXPECT_EQ(tavtest::readFile(gf_pathFromUtf8(text.substr(begin, text.find(": ", begin) - begin))), damaged);
}

// A day is read as an unsigned number: blanks around it, a '+' and a zero fraction are
// taken. A flight whose day is no weekday is logged, not used, and written back unchanged
// by the save, in a handmade file and in a learned one alike.
TEST_F(ParkLoad, ADayIsReadAsAnUnsignedNumberAndAFlightWithoutWeekdayStaysInTheFile)
{
    const std::vector<std::pair<std::string, std::string>> rows = {
        {"3", "d3"},  {" 3", "d3"}, {"3 ", "d3"}, {"\t3\n", "d3"}, {"+3", "d3"}, {"3.0", "d3"}, {"07", "d7"},
        {"3.5", "-"}, {"3abc", "-"}, {"0x3", "-"}, {"-3", "-"},   {"", "-"},    {"0", "-"},    {"8", "-"},
        {"Mon", "-"}, {"4294967299", "-"}};
    std::string opts;
    std::string expected;
    for (size_t i = 0; i < rows.size(); ++i) {
        const std::string day = rows[i].first == "\t3\n" ? "&#9;3&#10;" : rows[i].first;
        opts += fmt::format(R"(<opt reg="R{}" airl="DLH" type="A320" day="{}" hh="4" />)", i, day);
        if (rows[i].second != "-")
            expected += fmt::format(" R{}:{}", i, rows[i].second);
    }
    const auto readDays = [](std::string_view id) {
        std::string text;
        for (const StandFlight& f : stand(id)->flights)
            text += fmt::format(" {}:d{}", f.reg, f.day);
        return text;
    };
    std::string handmade = tavtest::readFile(g_data / "handmade_EDDF.xml");
    handmade.replace(handmade.find(R"(<opt reg="D-AIAB")"), 0, opts);
    std::string learned = tavtest::readFile(g_data / "learned_EDDF.xml");
    // B1 has nothing else to save than its flight without weekday.
    learned.replace(learned.find(R"(<parkpos id="GONE")"), 0,
                    R"(<parkpos id="A2">)" + opts +
                        R"(</parkpos><parkpos id="B1"><opt reg="R99" day="Sun" hh="4" /></parkpos>)");
    std::string archived = tavtest::readFile(g_data / "archived_EDDF.xml");
    archived.replace(archived.find("</parkpositions>"), 0,
                     R"(<parkpos id="B1" latitude="50.05" longitude="8.58" heading="0" radius="20" />)");
    tavtest::writeFile(kOrbx, archived);
    fs::create_directories(kLearned.parent_path());
    for (const auto& [text, id, added] :
         {std::tuple{handmade, "H1", " D-AIAB:d2"}, std::tuple{learned, "A2", " D-AIZZ:d2"}}) {
        tavtest::writeFile(kLearned, text);
        for (int visit = 0; visit < 2; ++visit) {
            ASSERT_EQ(load(), "");
            EXPECT_EQ(readDays(id), expected + added) << id << " visit " << visit;
            EXPECT_TRUE(log_.contains(fmt::format("stand '{}': the flight of 'R7' with day '3.5' is not used", id)));
            gf_resetParkAirport();
            const std::string saved = tavtest::readFile(kLearned);
            for (const char* unused : {"3.5", "3abc", "0x3", "-3", "0", "8", "Mon", "4294967299"})
                EXPECT_NE(saved.find(fmt::format(R"(day="{}" hh="4")", unused)), std::string::npos) << id << unused;
            EXPECT_NE(saved.find(R"(day="" hh="4")"), std::string::npos) << id;
        }
        if (std::string_view(id) == "A2") {
            const std::string saved = tavtest::readFile(kLearned);
            const size_t b1 = saved.find(R"(<parkpos id="B1">)");
            const size_t r99 = saved.find(R"(<opt reg="R99" day="Sun" hh="4" />)");
            EXPECT_TRUE(b1 != std::string::npos && r99 != std::string::npos && r99 > b1 &&
                        saved.find("<parkpos", b1 + 1) > r99)
                << saved;
        }
    }
}
