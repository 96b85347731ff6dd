#include <gtest/gtest.h>

#include <cstdlib>

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

    static const ParkStand* stand(std::string_view id)
    {
        for (const ParkStand& s : g_parkStands) {
            if (s.id == id)
                return &s;
        }
        return nullptr;
    }

    static std::string flights(std::string_view id)
    {
        std::string text;
        for (const StandFlight& f : stand(id)->flights)
            text += fmt::format("#{} d{} {} {} o{} ", f.number, f.day, f.reg, gf_bitset2hours(f.hours).value_or("-"),
                                f.origin);
        return text;
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
    EXPECT_TRUE(PARK_SOFT.value && WEEK.value);
    EXPECT_EQ(MAX_FIT.value, 47);
    EXPECT_EQ(MAX_FIT_FL.value, 24.0f);
    EXPECT_EQ(parking_percentage.value, 30);
    EXPECT_EQ(g_rtTrafficWeek, 12);
    EXPECT_EQ(g_parkAirport.elevationFt, 364.0);
    EXPECT_TRUE(log_.contains("learned does not exist"));
    EXPECT_TRUE(log_.contains("Airport file read from 'airports/my_ORBX/EDDF.xml' for Frankfurt Main"));
    EXPECT_TRUE(log_.contains("quality factor          :  2/ 5"));

    // A file without factors starts from (0, 0), not from the last airport's.
    gf_resetParkAirport();
    fs::remove(kLearned);
    const std::string text = tavtest::readFile(g_data / "archived_EDDF.xml");
    std::string without = text;
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
    struct Row {
        std::string fixture;
        std::string source;
        std::string result;
    };
    const std::vector<Row> rows = {
        {"bad_no_meta_EDDF.xml", kOrbx, kOrbx + ": refused to load"},
        {"bad_all_zero_EDDF.xml", kOrbx, "no stands found"},
        {"bad_duplicate_EDDF.xml", kOrbx, kOrbx + ": 94: Parking position 'A1' appears more than once."},
        {"bad_no_altitude_EDDF.xml", kOrbx, kOrbx + ": 65: Parameter altitude not found"},
        {"bad_duplicate_EDDF.xml", "airports/mine/EDDF.xml", "user error 94: Parking position 'A1' appears more than once."},
        {"", "", "gf_readApf: xml is empty"},
        {"", "airports/none.xml", "airports/none.xml: could not load file: airports/none.xml"},
    };
    for (const Row& row : rows) {
        if (!row.fixture.empty())
            place(row.fixture, lf_sourcePath(row.source));
        EXPECT_EQ(load(row.source), row.result) << row.fixture;
        EXPECT_TRUE(g_parkStands.empty());
        EXPECT_FALSE(g_parkFileLoaded);
    }
    g_parkAirport.code.clear();
    EXPECT_EQ(load(), "gf_readApf: no park airport set");
}

TEST_F(ParkLoad, TheLearnedFileChangesStandsAndSettingsAndItsLearningSurvivesTheSave)
{
    place("archived_EDDF.xml", kOrbx);
    place("learned_EDDF.xml", kLearned);
    ASSERT_EQ(load(), "");
    EXPECT_EQ(flights("A1"), "#1 d1 D-AIAB 10:14 o1 #2 d2 N123UA 20 o1 #3 d3 D-AIAB 1,2,5 o0 ");
    EXPECT_DOUBLE_EQ(stand("A1")->radius * 1852.0, 40.0);
    EXPECT_TRUE(stand("A1")->cargo && stand("A1")->radiusChange && stand("A1")->cargoChange);
    EXPECT_EQ(flights("M1"), "#1 d6 G-ABCD 30:31 o0 ");
    EXPECT_TRUE(stand("M1")->manual);
    // A manual stand that the park file has since gained gives it its flights; a radius out
    // of range is brought into range and costs nothing else.
    EXPECT_EQ(flights("A2"), "#1 d2 D-AIZZ 6 o0 ");
    EXPECT_FALSE(stand("A2")->manual);
    EXPECT_EQ(flights("F1"), "#1 d4 D-AIAC 3 o0 ");
    EXPECT_DOUBLE_EQ(stand("F1")->radius * 1852.0, 1000.0);
    EXPECT_FALSE(stand("F1")->cargo);
    EXPECT_EQ(stand("M2"), nullptr);
    EXPECT_EQ(stand("M3"), nullptr);
    EXPECT_EQ(g_parkStands.size(), 4u);
    for (const char* line : {"==> empty bit set", "learned stand GONE in", "==> manually created standid M2 misses",
                             "==> manually created standid M3 misses", "==> manually created standid A2 already exists"})
        EXPECT_TRUE(log_.contains(line)) << line;
    EXPECT_EQ(parking_percentage.value, 100);
    EXPECT_EQ(RANGE.value, 25);
    EXPECT_FALSE(AUTO_RANGE.value);
    EXPECT_TRUE(WEEK.value && PARK_SOFT.value);
    EXPECT_EQ(MAX_FIT.value, 3);
    EXPECT_EQ(MAX_FIT_FL.value, 2.0f);
    EXPECT_EQ(MAX_LIVE_SEL.value, 100);
    EXPECT_EQ(g_parkQuality, gf_qualityFactors());

    // Learn a flight and let the stand search disable a learned one: both are saved.
    std::vector<StandFlight>& a2 = g_parkStands[1].flights;
    gf_addStandOption(a2, {"EWG", "A319", "EWG1"}, gf_timeOfWeek(5, 8), "EWG1", "D-AGWA", false);
    g_parkStands[0].flights[2].number = 0;
    gf_resetParkAirport();
    EXPECT_TRUE(log_.contains("'" + gf_pathToUtf8(kLearned) + "' saved with 1 update"));
    EXPECT_EQ(parking_percentage.value, 30);
    EXPECT_FALSE(WEEK.value);
    EXPECT_EQ(RANGE.value, RANGE.defaultValue);
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
    EXPECT_EQ(flights("A1"), "#1 d1 D-AIAB 10:14 o1 #2 d2 N123UA 20 o1 #3 d3 D-AIAB 1,2,5 o0 ");
    EXPECT_EQ(flights("A2"), "#1 d2 D-AIZZ 6 o0 #2 d5 D-AGWA 8 o0 ");
    EXPECT_EQ(flights("M1"), "#1 d6 G-ABCD 30:31 o0 ");
    gf_resetParkAirport();
    EXPECT_EQ(tavtest::readFile(kLearned), saved);
}

TEST_F(ParkLoad, AnOldLearnedFileAddsNoFlightsToExistingStands)
{
    place("archived_EDDF.xml", kOrbx);
    place("learned_old_EDDF.xml", kLearned);
    ASSERT_EQ(load(), "");
    EXPECT_TRUE(log_.contains("This learned file was created with and older Tavelorium version than 11.10.0"));
    EXPECT_EQ(flights("A1"), "#1 d1 D-AIAB 10:14 o1 #2 d2 N123UA 20 o1 ");
    EXPECT_DOUBLE_EQ(stand("A1")->radius * 1852.0, 40.0);
    EXPECT_TRUE(stand("A1")->cargo);
    EXPECT_EQ(flights("M1"), "#1 d6 G-ABCD 30:31 o0 ");
    EXPECT_EQ(MAX_FIT.value, 3);
}

TEST_F(ParkLoad, AHandmadeFileReplacesTheStandsAndABrokenOneIsNeverSavedOver)
{
    place("archived_EDDF.xml", kOrbx);
    place("handmade_EDDF.xml", kLearned);
    ASSERT_EQ(load(), "");
    EXPECT_TRUE(g_parkFileHandmade);
    EXPECT_TRUE(log_.contains("A handmade airport file overruled the archived file!"));
    EXPECT_TRUE(log_.contains("Airport file read from '" + gf_pathToUtf8(kLearned) + "' for Frankfurt Main"));
    // A heading written past 360 degrees is taken into range; a stand that cannot be used
    // stays in the user's file as it was.
    ASSERT_EQ(g_parkStands.size(), 3u);
    EXPECT_NEAR(stand("H3")->heading, 90.0 * 0.017453292519943295, 1e-12);
    EXPECT_EQ(flights("H1"), "#1 d2 D-AIAB 4:9 o1 ");
    g_parkStands[1].radius = 30.0 / 1852.0;
    g_parkStands[1].radiusChange = true;
    gf_resetParkAirport();
    EXPECT_TRUE(log_.contains(" handmade '" + gf_pathToUtf8(kLearned) + "' saved with 0 updates"));
    ASSERT_EQ(load(), "");
    EXPECT_EQ(flights("H1"), "#1 d2 D-AIAB 4:9 o1 ");
    EXPECT_DOUBLE_EQ(stand("H2")->radius * 1852.0, 30.0);
    EXPECT_EQ(stand("H2")->lat, 50.031);
    gf_resetParkAirport();
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

TEST_F(ParkLoad, ASaveStoppedBeforeTheReplaceLeavesTheOldFileWhole)
{
    place("archived_EDDF.xml", kOrbx);
    place("learned_EDDF.xml", kLearned);
    const std::string before = tavtest::readFile(kLearned);
    ASSERT_EQ(load(), "");
    gf_setBeforeReplaceHook([](const fs::path&) { return false; });
    gf_resetParkAirport();
    EXPECT_TRUE(log_.contains(" saving '" + gf_pathToUtf8(kLearned) + "' did not succeed"));
    EXPECT_EQ(tavtest::readFile(kLearned), before);
    EXPECT_EQ(tavtest::readFile(kLearned.parent_path() / "EDDF0.xml"), before);
    EXPECT_FALSE(g_parkFileLoaded);
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

TEST_F(ParkLoad, ADamagedLearnedFileKeepsItsBytesWhereTheLogSaysThroughLaterVisits)
{
    place("archived_EDDF.xml", kOrbx);
    fs::create_directories(kLearned.parent_path());
    const std::string damaged = "<root><parkpositions><parkpos id=\"A1\"><opt reg=\"D-AIAB\" day=\"1\"";
    tavtest::writeFile(kLearned, damaged);
    for (int visit = 0; visit < 2; ++visit) {
        ASSERT_EQ(load(), "");
        gf_addStandOption(g_parkStands[0].flights, {"EWG", "A319", "EWG1"}, gf_timeOfWeek(5, 8), "EWG1", "D-AGWA",
                          false);
        gf_resetParkAirport();
    }
    const std::string head = gf_pathToUtf8(kLearned) + " found, but could not be loaded, saved as ";
    const std::string text = log_.text();
    const size_t at = text.find(head);
    ASSERT_NE(at, std::string::npos) << text;
    const size_t begin = at + head.size();
    const fs::path kept = gf_pathFromUtf8(text.substr(begin, text.find(": ", begin) - begin));
    EXPECT_EQ(tavtest::readFile(kept), damaged);
    EXPECT_NE(tavtest::readFile(kLearned).find("D-AGWA"), std::string::npos);
}

TEST_F(ParkLoad, LearningAtAFileOfTheAddonScanWithoutPublisherIsReadBack)
{
    const std::string source = gf_pathToUtf8(gf_paths().myThirdparty / "EDDF.xml");
    place("archived_EDDF.xml", lf_sourcePath(source));
    ASSERT_EQ(load(source), "");
    gf_addStandOption(g_parkStands[1].flights, {"EWG", "A319", "EWG1"}, gf_timeOfWeek(5, 8), "EWG1", "D-AGWA", false);
    gf_resetParkAirport();
    ASSERT_EQ(load(source), "");
    EXPECT_EQ(flights("A2"), "#1 d5 D-AGWA 8 o0 ");
}
