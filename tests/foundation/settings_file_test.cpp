#include <algorithm>

#include "foundation/parameters_file.h"
#include "foundation/text.h"
#include "foundation/settings_fixture.h"

namespace fs = std::filesystem;
using tavtest::readFile;
using tavtest::writeFile;
using Texts = std::vector<std::string>;

namespace settingstest {
namespace {

class ParametersFile : public SettingsTest {};

TEST_F(ParametersFile, FromNoFileEverySettingIsWrittenOnceWithAirpHeightTwiceAndTheVersion)
{
    RecordingBridge bridge;
    gf_setControlBridge(&bridge);
    EXPECT_TRUE(gf_readParameters());

    // The registries in their order, each in its own; AIRP_HEIGHT in the ints and the lists.
    Texts expected = gf_split(
        "RANDOM AEROWINX COLLISION_USER_AIR COLLISION_USER_GND COLLISION_LIVE_PARKED_GND ALWAYS_ON_TOP SCAN_LIVERIES "
        "LIG_PRIORITIZE AIRBORNE_ONLY SCAN_AIRPORTS LIGHT_AIRCRAFT HELICOPTERS HIGH_PERF_AIRCRAFT "
        "NAV_LIGHTS_WHILE_PARKED AUTO_RANGE STRAIGHT_PBS_ONLY PARK_SOFT WEEK INITIAL_LOAD_ONLY GUID_CHANGES "
        "CUSTOM_PARKING_PERCENTAGE MAIN_WINDOW_X MAIN_WINDOW_Y AIRP_HEIGHT LAST_EPOCH_TIME: HOLDING_THRESHOLD_METERS "
        "MAX_HOLDING_MINUTES MAX_FIT P3D_VERSION MATCHING_DEPTH RANGE AR_ABOVE_HEIGHT MAX_PARK_SEL MAX_LIVE_SEL "
        "AIRP_RANGE AIRP_HEIGHT PROGRAM_VERSION SIM_INSTALL_PATH PORT_NUMBER lfolder0 lfolder1 lfolder2 lfolder3 "
        "lfolder4 lfolder5 lfolder6 lfolder7 lfolder8 lfolder9 afolder0 afolder1 afolder2 afolder3 afolder4 afolder5 "
        "afolder6 afolder7 afolder8 afolder9 AIG_VERSION DBASE_VERSION AIRPORTS_VERSION LIV_SCAN_VERSION "
        "ADDONS_SCAN_VERSION DESTINATION BLOCK_CALLSIGN",
        ' ');
    Texts keys;
    for (const std::string& pair : storedPairs())
        keys.push_back(pair.substr(0, pair.find('=')));
    EXPECT_EQ(keys, expected);
    EXPECT_EQ(storedValue("PROGRAM_VERSION"), "11.10.3");
    EXPECT_EQ(PROGRAM_VERSION.value(), ""); // memory keeps its value
    EXPECT_TRUE(log_.contains(gf_pathToUtf8(file()) + " not found,  create new with default values:"));
    EXPECT_TRUE(log_.contains("\n********************************** parameters **********************************\n"));
    EXPECT_TRUE(log_.contains("SCAN_LIVERIES=true\n"));
    EXPECT_TRUE(log_.contains("PORT_NUMBER=\"10747\"\n"));

    const Texts calls = bridge.calls();
    EXPECT_EQ(std::ranges::count_if(calls, [](const std::string& c) { return c.starts_with("check "); }), 19);
    EXPECT_NE(std::ranges::find(calls, "text 32818 40"), calls.end());
    // Every list's default is one of its values; no test changes the range, made at start-up.
    std::vector<const ListParameter*> lists(g_listParams.begin(), g_listParams.end());
    lists.push_back(&parking_percentage);
    for (const ListParameter* p : lists)
        EXPECT_NE(std::ranges::find(p->values, p->defaultValue), p->values.end()) << p->name;
    EXPECT_NE(std::ranges::find(MAX_FIT_FL.values, MAX_FIT_FL.defaultValue), MAX_FIT_FL.values.end());
    EXPECT_EQ(g_rangeNm.load(), 40.0);
    EXPECT_EQ(g_rangeMetres.load(), 40 * 1852);
}

TEST_F(ParametersFile, IntsAreReadAsPugixmlReadsThemAndClampedButOnlyMissingSettingsAreWritten)
{
    const struct {
        IntParameter& p;
        const char* written;
        int32_t read;
    } ints[] = {{MAX_HOLDING_MINUTES, "-5", 1},           {RANGE, "500", 100},
                {MAIN_WINDOW_X, "abc", 400},              {MAIN_WINDOW_Y, "", 20},
                {HOLDING_THRESHOLD_METERS, " 300 ", 300}, {MAX_FIT, "12x", 12},
                {P3D_VERSION, "0x6", 6},                  {AIRP_RANGE, "12.5", 12},
                {LAST_EPOCH_TIME, "99999999999", 2147483647}};
    std::string elements = element("lfolder0", "C:\\Liv &amp; co") + element("AEROWINX", "yes") +
                           element("GUID_CHANGES", "0") + element("UNKNOWN_KEY", "kept");
    for (const auto& c : ints)
        elements += element(c.p.name, c.written);
    writeFile(file(), parametersXml(elements));
    EXPECT_FALSE(gf_readParameters());

    for (const auto& c : ints) {
        EXPECT_EQ(c.p.value, c.read) << c.p.name;
        EXPECT_EQ(storedValue(c.p.name), c.written) << c.p.name; // the user's text stays
    }
    EXPECT_EQ(lfolder[0].value(), "C:\\Liv & co");
    EXPECT_TRUE(AEROWINX.value);
    EXPECT_FALSE(GUID_CHANGES.value);
    EXPECT_EQ(storedValue("UNKNOWN_KEY"), "kept");
    EXPECT_EQ(storedPairs().size(), 66u); // 65 keys (AIRP_HEIGHT appended once) and the unknown one
    EXPECT_TRUE(log_.contains("RANGE=100\n"));
    EXPECT_TRUE(log_.contains("lfolder0=\"C:\\Liv & co\"\n"));
}

TEST_F(ParametersFile, ADuplicateKeyIsReadFromTheFirstAndAnElementWithoutValueAsNothingAndAStoreFillsBoth)
{
    writeFile(file(), parametersXml(element("RANGE", "20") + element("RANGE", "30") +
                                    "    <parameter name=\"WEEK\" />\n    <parameter name=\"DESTINATION\" />\n"
                                    "    <parameter name=\"MAX_FIT\" />\n"));
    WEEK.value = true;
    DESTINATION.setValue("EDDF");
    gf_readParameters();
    EXPECT_EQ(RANGE.value, 20);
    EXPECT_FALSE(WEEK.value);
    EXPECT_EQ(DESTINATION.value(), "");
    EXPECT_EQ(MAX_FIT.value, 0);
    EXPECT_NE(readFile(file()).find("<parameter name=\"MAX_FIT\" />"), std::string::npos); // the read adds no value

    RANGE.value = 65;
    gf_storeIntParameter(RANGE);
    const Texts pairs = storedPairs();
    EXPECT_EQ(std::count(pairs.begin(), pairs.end(), "RANGE=65"), 2);
    WEEK.value = true;
    gf_storeBoolParameter(WEEK);
    gf_setParameterValue(DESTINATION, "LOWW");
    gf_readParameters();
    EXPECT_TRUE(WEEK.value);
    EXPECT_EQ(DESTINATION.value(), "LOWW");
}

TEST_F(ParametersFile, AFileWithoutRootIsReadAndTheFirstStoreWrapsItKeepingEverything)
{
    writeFile(file(), "<?xml version=\"1.0\"?>\n<parameters>\n" + element("lfolder3", "D:\\Liveries") +
                          element("OLD_THING", "x") + "</parameters>\n");
    EXPECT_FALSE(gf_readParameters());
    EXPECT_EQ(lfolder[3].value(), "D:\\Liveries");
    EXPECT_EQ(readFile(file()).find("<root>"), std::string::npos);

    // A store before the settings were read in memory must not lose what the file holds.
    resetSettings();
    MAIN_WINDOW_X.value = 123;
    gf_storeIntParameter(MAIN_WINDOW_X);
    EXPECT_EQ(storedValue("lfolder3"), "D:\\Liveries");
    EXPECT_EQ(storedValue("OLD_THING"), "x");
    EXPECT_EQ(storedValue("MAIN_WINDOW_X"), "123");
    EXPECT_EQ(storedPairs().size(), 66u);
    EXPECT_TRUE(log_.contains("Placing a root level around a new parameters.xml to make it 100% xml compliance"));
}

TEST_F(ParametersFile, EveryUnusableFileIsKeptAsTheNewestOfThreeBackupGenerationsAndTheDefaultsFollow)
{
    const std::string garbage = "\x01\x02<root><parameters><parameter name=\"RANGE\" value=\"5\"";
    writeFile(file(), garbage);
    gf_readWindowPosition();
    EXPECT_EQ(readFile(backup()), garbage);
    EXPECT_FALSE(fs::exists(file()));
    EXPECT_TRUE(log_.contains("failed to load, syntax error?\n --> saved as 0.xml,  file removed"));
    RANGE.value = 25;
    EXPECT_TRUE(gf_readParameters());
    EXPECT_EQ(storedValue("RANGE"), "40");
    EXPECT_EQ(RANGE.value, 25); // memory keeps its value

    // No settings; then 10,000 nested elements, which written back indented would grow
    // the file to hundreds of megabytes.
    const std::string deep = fmt::format("<root><parameters>{}{}</parameters></root>",
                                         fmt::join(Texts(10000, "<a>"), ""), fmt::join(Texts(10000, "</a>"), ""));
    const std::string unusable[] = {"<root><other/></root>", deep, garbage + "x"};
    for (const std::string& bad : unusable) {
        writeFile(file(), bad);
        EXPECT_TRUE(gf_readParameters());
        EXPECT_EQ(storedPairs().size(), 66u);
        EXPECT_LT(fs::file_size(file()), 8000u);
    }
    EXPECT_EQ(readFile(backup()), garbage + "x");
    EXPECT_EQ(readFile(data() / "parameters00.xml"), deep);
    EXPECT_EQ(readFile(data() / "parameters000.xml"), "<root><other/></root>");
    EXPECT_TRUE(log_.contains("(elements nested deeper than 16 levels), kept as parameters0.xml;  create new"));
}

TEST_F(ParametersFile, AStoreWritesOneSettingOnlyWhenTheFileIsMissingAFullFileWhenItIsUnparsableAndNoneWhenItCannotBeCopied)
{
    P3D_VERSION.value = 6;
    gf_storeIntParameter(P3D_VERSION);
    EXPECT_EQ(storedPairs(), Texts{"P3D_VERSION=6"});
    EXPECT_FALSE(fs::exists(backup()));
    resetSettings();
    EXPECT_FALSE(gf_readParameters());
    EXPECT_EQ(P3D_VERSION.value, 6);
    EXPECT_EQ(storedPairs().size(), 65u); // every key once: a read appends AIRP_HEIGHT once

    const std::string broken = parametersXml(element("lfolder0", "E:\\mine")) + "<trailing";
    writeFile(file(), broken);
    lfolder[1].setValue("F:\\in memory");
    WEEK.value = true;
    gf_storeBoolParameter(WEEK);
    EXPECT_EQ(readFile(backup()), broken);
    EXPECT_EQ(storedPairs().size(), 66u);
    EXPECT_EQ(storedValue("WEEK"), "true");
    EXPECT_EQ(storedValue("lfolder1"), "F:\\in memory");

    fs::remove(file());
    fs::create_directory(file()); // exists, loads as nothing, cannot be copied
    gf_storeBoolParameter(WEEK);
    EXPECT_FALSE(gf_readParameters());
    EXPECT_TRUE(fs::is_directory(file()));
    EXPECT_TRUE(log_.contains("nor kept as a copy: WEEK not stored"));
    EXPECT_TRUE(log_.contains("nor kept as a copy: settings not read"));
}

TEST_F(ParametersFile, TheFullWriteTakesDefaultsOrCurrentValuesLogsNoSettingsDuringAStopAndReportsAFailedSave)
{
    RANGE.value = 80;
    gf_saveParameters(false);
    EXPECT_EQ(storedValue("RANGE"), "80");
    EXPECT_EQ(storedValue("PROGRAM_VERSION"), "");
    gf_saveParameters(true);
    EXPECT_EQ(storedValue("RANGE"), "40");
    EXPECT_EQ(storedValue("PROGRAM_VERSION"), "11.10.3");
    EXPECT_EQ(PROGRAM_VERSION.defaultValue, "11.10.3"); // what the migration compares with
    EXPECT_EQ(RANGE.value, 80);

    gf_requestClosingDown(CloseReason::UserClosedSim, 0);
    gf_readParameters();
    EXPECT_FALSE(log_.contains("RANGE=40"));
    EXPECT_TRUE(log_.contains("from '" + gf_pathToUtf8(file()) + "'"));

    gf_overrideDataFolder(data() / "missing");
    gf_saveParameters(false);
    EXPECT_TRUE(log_.contains("==> saving: " + gf_pathToUtf8(data() / "missing" / "parameters.xml") + " failed"));
}

TEST_F(ParametersFile, ACrashAtAnySaveNeverLeavesABrokenOrEmptyFile)
{
    gf_setBeforeReplaceHook([](const fs::path&) { return false; });
    gf_storeIntParameter(RANGE);
    gf_readParameters();
    EXPECT_FALSE(fs::exists(file())); // rather no file than an empty one

    gf_setBeforeReplaceHook(nullptr);
    gf_saveParameters(false);
    for (int crashAt = 1; crashAt <= 4; ++crashAt) {
        int saves = 0;
        gf_setBeforeReplaceHook([&saves, crashAt](const fs::path&) { return ++saves != crashAt; });
        for (int i = 1; i <= 4; ++i) {
            const std::string before = readFile(file());
            MAX_FIT.value = i * 10 + crashAt;
            gf_storeIntParameter(MAX_FIT);
            EXPECT_EQ(storedPairs().size(), 66u);
            if (i == crashAt)
                EXPECT_EQ(readFile(file()), before);
            else
                EXPECT_EQ(storedValue("MAX_FIT"), std::to_string(MAX_FIT.value));
        }
    }
}

} // namespace
} // namespace settingstest
