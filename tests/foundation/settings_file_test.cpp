#include <algorithm>

#include "foundation/parameters_file.h"
#include "foundation/text.h"
#include "foundation/settings_fixture.h"

namespace fs = std::filesystem;
using tavtest::readFile;
using tavtest::writeFile;

namespace settingstest {
namespace {

class ParametersFile : public SettingsTest {};

std::vector<std::string> keysInRegistryOrder()
{
    std::vector<std::string> keys;
    for (auto* p : g_hiddenBoolParams)
        keys.push_back(p->name);
    for (auto* p : g_boolParams)
        keys.push_back(p->name);
    for (auto* p : g_intParams)
        keys.push_back(p->name);
    for (auto* p : g_listParams)
        keys.push_back(p->name);
    for (auto* p : g_stringParams)
        keys.push_back(p->name);
    for (auto* p : g_blockCallsignParams)
        keys.push_back(p->name);
    return keys;
}

std::vector<std::string> namesOf(const std::vector<std::string>& pairs)
{
    std::vector<std::string> names;
    for (const std::string& pair : pairs)
        names.push_back(pair.substr(0, pair.find('=')));
    return names;
}

TEST_F(ParametersFile, FromNoFileEverySettingIsWrittenOnceWithAirpHeightTwiceAndTheVersion)
{
    RecordingBridge bridge;
    gf_setControlBridge(&bridge);
    EXPECT_TRUE(gf_readParameters());

    const std::vector<std::string> pairs = storedPairs();
    EXPECT_EQ(namesOf(pairs), keysInRegistryOrder());
    ASSERT_EQ(pairs.size(), 66u);
    EXPECT_EQ(std::count(pairs.begin(), pairs.end(), "AIRP_HEIGHT=18000"), 2);
    EXPECT_EQ(pairs[3], "COLLISION_USER_GND=true");
    EXPECT_EQ(pairs[23], "AIRP_HEIGHT=18000"); // fourth of the int block
    EXPECT_EQ(storedValue("PROGRAM_VERSION"), "11.10.3");
    EXPECT_EQ(storedValue("PORT_NUMBER"), "10747");
    EXPECT_EQ(storedValue("LAST_EPOCH_TIME:"), "0");
    EXPECT_EQ(PROGRAM_VERSION.value(), ""); // memory keeps its value
    EXPECT_TRUE(log_.contains(gf_pathToUtf8(file()) + " not found,  create new with default values:"));
    EXPECT_TRUE(log_.contains("\n********************************** parameters **********************************\n"));
    EXPECT_TRUE(log_.contains("SCAN_LIVERIES=true\n"));
    EXPECT_TRUE(log_.contains("PORT_NUMBER=\"10747\"\n"));

    const std::vector<std::string> calls = bridge.calls();
    EXPECT_EQ(std::count_if(calls.begin(), calls.end(), [](const std::string& c) { return c.rfind("check ", 0) == 0; }),
              19);
    EXPECT_NE(std::find(calls.begin(), calls.end(), "text 32818 40"), calls.end());
    EXPECT_NE(std::find(calls.begin(), calls.end(), "text 32828 "), calls.end());
}

TEST_F(ParametersFile, ReadingClampsIntsTakesTheDefaultForNoNumberAndStoresBothBack)
{
    writeFile(file(), parametersXml(element("MAX_HOLDING_MINUTES", "-5") + element("RANGE", "500") +
                                     element("MAIN_WINDOW_X", "abc") + element("HOLDING_THRESHOLD_METERS", " 300 ") +
                                     element("LAST_EPOCH_TIME:", "99999999999") + element("lfolder0", "C:\\Liv &amp; co") +
                                     element("AEROWINX", "yes") + element("GUID_CHANGES", "0") +
                                     element("UNKNOWN_KEY", "kept")));
    EXPECT_FALSE(gf_readParameters());

    EXPECT_EQ(MAX_HOLDING_MINUTES.value, 1);
    EXPECT_EQ(RANGE.value, 100);
    EXPECT_EQ(MAIN_WINDOW_X.value, 400);
    EXPECT_EQ(HOLDING_THRESHOLD_METERS.value, 300);
    EXPECT_EQ(LAST_EPOCH_TIME.value, 2147483647);
    EXPECT_EQ(lfolder[0].value(), "C:\\Liv & co");
    EXPECT_TRUE(AEROWINX.value);
    EXPECT_FALSE(GUID_CHANGES.value);

    EXPECT_EQ(storedValue("MAX_HOLDING_MINUTES"), "1");
    EXPECT_EQ(storedValue("RANGE"), "100");
    EXPECT_EQ(storedValue("MAIN_WINDOW_X"), "400");
    EXPECT_EQ(storedValue("HOLDING_THRESHOLD_METERS"), "300");
    EXPECT_EQ(storedValue("AEROWINX"), "yes"); // bools and texts stay as written
    EXPECT_EQ(storedValue("UNKNOWN_KEY"), "kept");
    EXPECT_EQ(storedPairs().size(), 66u); // 65 keys (AIRP_HEIGHT appended once) and the unknown one
    EXPECT_TRUE(log_.contains("from '" + gf_pathToUtf8(file()) + "'"));
    EXPECT_TRUE(log_.contains("RANGE=100\n"));
    EXPECT_TRUE(log_.contains("lfolder0=\"C:\\Liv & co\"\n"));
}

TEST_F(ParametersFile, ADuplicateKeyIsReadFromTheFirstAndAStoreChangesBoth)
{
    writeFile(file(), parametersXml(element("RANGE", "20") + element("RANGE", "30")));
    gf_readParameters();
    EXPECT_EQ(RANGE.value, 20);

    RANGE.value = 65;
    gf_storeIntParameter(RANGE);
    const std::vector<std::string> pairs = storedPairs();
    EXPECT_EQ(std::count(pairs.begin(), pairs.end(), "RANGE=65"), 2);
}

TEST_F(ParametersFile, AnElementWithoutValueReadsAsNothingAndAStoreGivesItTheValue)
{
    writeFile(file(), parametersXml("    <parameter name=\"RANGE\" />\n    <parameter name=\"WEEK\" />\n"
                                    "    <parameter name=\"DESTINATION\" />\n"));
    WEEK.value = true;
    DESTINATION.setValue("EDDF");
    gf_readParameters();
    EXPECT_EQ(RANGE.value, 40);
    EXPECT_FALSE(WEEK.value);
    EXPECT_EQ(DESTINATION.value(), "");
    EXPECT_EQ(storedValue("RANGE"), "40");

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

TEST_F(ParametersFile, AGarbageFileIsKeptByteIdenticalAsParameters0AndTheDefaultsFollow)
{
    const std::string garbage = "\x01\x02<root><parameters><parameter name=\"RANGE\" value=\"5\"";
    writeFile(file(), garbage);
    RANGE.value = 25;
    EXPECT_TRUE(gf_readParameters());
    EXPECT_EQ(readFile(backup()), garbage);
    EXPECT_EQ(storedValue("RANGE"), "40");
    EXPECT_EQ(storedPairs().size(), 66u);
    EXPECT_EQ(RANGE.value, 25); // memory keeps its value
    EXPECT_TRUE(log_.contains("kept as parameters0.xml;  create new with default values:"));

    writeFile(file(), "<root><other/></root>"); // parses, but holds no settings
    EXPECT_TRUE(gf_readParameters());
    EXPECT_EQ(readFile(backup()), "<root><other/></root>");
    EXPECT_EQ(storedPairs().size(), 66u);
}

TEST_F(ParametersFile, TheEarlyReadSetsAGarbageFileAsideAndTheFullReadWritesTheDefaults)
{
    const std::string garbage = "not xml at all";
    writeFile(file(), garbage);
    gf_readWindowPosition();
    EXPECT_EQ(readFile(backup()), garbage);
    EXPECT_FALSE(fs::exists(file()));
    EXPECT_TRUE(log_.contains("failed to load, syntax error?\n --> saved as 0.xml,  file removed"));
    EXPECT_EQ(MAIN_WINDOW_X.value, 400);

    EXPECT_TRUE(gf_readParameters());
    EXPECT_EQ(storedPairs().size(), 66u);
    EXPECT_EQ(readFile(backup()), garbage);
}

TEST_F(ParametersFile, TheEarlyReadClampsThePositionAndMovesOneAtALimitBackToTheDefault)
{
    EXPECT_NO_THROW(gf_readWindowPosition());
    EXPECT_FALSE(fs::exists(file())); // nothing to read, nothing written
    EXPECT_EQ(MAIN_WINDOW_X.value, 400);

    writeFile(file(), parametersXml(element("MAIN_WINDOW_X", "-40000") + element("MAIN_WINDOW_Y", "333") +
                                    element("RANGE", "5")));
    gf_readWindowPosition();
    EXPECT_EQ(MAIN_WINDOW_X.value, 400);
    EXPECT_EQ(MAIN_WINDOW_Y.value, 333);
    EXPECT_EQ(RANGE.value, 40); // nothing else is read
    EXPECT_EQ(storedValue("MAIN_WINDOW_X"), "400");
    EXPECT_EQ(storedValue("RANGE"), "5");
}

TEST_F(ParametersFile, AnUnparsableFilePlusOneCheckBoxStoreLeavesParameters0AndAFullFile)
{
    const std::string broken = parametersXml(element("lfolder0", "E:\\mine")) + "<trailing";
    writeFile(file(), broken);
    lfolder[1].setValue("F:\\in memory");
    WEEK.value = true;
    gf_storeBoolParameter(WEEK);
    EXPECT_EQ(readFile(backup()), broken);
    EXPECT_EQ(storedPairs().size(), 66u);
    EXPECT_EQ(storedValue("WEEK"), "true");
    EXPECT_EQ(storedValue("lfolder1"), "F:\\in memory");
}

TEST_F(ParametersFile, AStoreWithoutFileWritesThatSettingAloneAndTheNextReadCompletesIt)
{
    P3D_VERSION.value = 6;
    gf_storeIntParameter(P3D_VERSION);
    EXPECT_EQ(storedPairs(), std::vector<std::string>{"P3D_VERSION=6"});
    EXPECT_FALSE(fs::exists(backup()));
    EXPECT_TRUE(log_.contains("P3D_VERSION=6\n"));

    resetSettings();
    EXPECT_FALSE(gf_readParameters());
    EXPECT_EQ(P3D_VERSION.value, 6);
    EXPECT_EQ(storedPairs().size(), 65u); // every key once: a read appends AIRP_HEIGHT once
}

TEST_F(ParametersFile, AFileThatCannotBeReadNorCopiedIsNeverOverwritten)
{
    fs::create_directory(file()); // exists, loads as nothing, cannot be copied
    WEEK.value = true;
    gf_storeBoolParameter(WEEK);
    EXPECT_FALSE(gf_readParameters());
    EXPECT_TRUE(fs::is_directory(file()));
    EXPECT_TRUE(log_.contains("nor kept as a copy: WEEK not stored"));
    EXPECT_TRUE(log_.contains("nor kept as a copy: settings not read"));
}

TEST_F(ParametersFile, WhileAStopIsPendingNoSettingLinesAreLoggedButTheFrameIs)
{
    writeFile(file(), parametersXml(element("RANGE", "20")));
    gf_requestClosingDown(CloseReason::UserClosedSim, 0);
    gf_readParameters();
    gf_saveParameters(false);
    EXPECT_FALSE(log_.contains("RANGE=20"));
    EXPECT_TRUE(log_.contains("from '"));
    EXPECT_TRUE(log_.contains("parameters *****"));
    EXPECT_EQ(storedValue("RANGE"), "20");
}

TEST_F(ParametersFile, TheFullWriteTakesDefaultsOrCurrentValuesAndReportsAFailedSave)
{
    RANGE.value = 80;
    gf_saveParameters(false);
    EXPECT_EQ(storedValue("RANGE"), "80");
    EXPECT_EQ(storedValue("PROGRAM_VERSION"), "");
    gf_saveParameters(true);
    EXPECT_EQ(storedValue("RANGE"), "40");
    EXPECT_EQ(storedValue("PROGRAM_VERSION"), "11.10.3");
    EXPECT_EQ(RANGE.value, 80);

    gf_overrideDataFolder(data() / "missing");
    gf_saveParameters(false);
    EXPECT_TRUE(log_.contains("==> saving: " + gf_pathToUtf8(data() / "missing" / "parameters.xml") + " failed"));
}

TEST_F(ParametersFile, ACrashBeforeAnyReplaceNeverLeavesABrokenOrEmptyFile)
{
    // Without a file: the crash leaves no file rather than an empty one.
    gf_setBeforeReplaceHook([](const fs::path&) { return false; });
    RANGE.value = 10;
    gf_storeIntParameter(RANGE);
    gf_readParameters();
    EXPECT_FALSE(fs::exists(file()));

    gf_setBeforeReplaceHook(nullptr);
    gf_saveParameters(false);
    const std::string complete = readFile(file());

    // A crash at any one save of a run of stores leaves the last complete file.
    for (int crashAt = 1; crashAt <= 4; ++crashAt) {
        int saves = 0;
        gf_setBeforeReplaceHook([&saves, crashAt](const fs::path&) { return ++saves != crashAt; });
        std::string lastGood = readFile(file());
        for (int i = 0; i < 4; ++i) {
            MAX_FIT.value = i * 10 + crashAt;
            gf_storeIntParameter(MAX_FIT);
            const std::string now = readFile(file());
            pugi::xml_document doc;
            ASSERT_TRUE(doc.load_string(now.c_str()));
            if (i + 1 == crashAt) {
                EXPECT_EQ(now, lastGood);
            }
            lastGood = now;
        }
        EXPECT_EQ(storedPairs().size(), 66u);
    }
    EXPECT_NE(complete.size(), 0u);
}

TEST_F(ParametersFile, LookupsTakeTheFirstExactNameAndOnlyDecimalInts)
{
    pugi::xml_document doc;
    doc.load_string("<root><parameters><parameter name=\"A\" value=\"12x\"/><parameter name=\"B\" value=\"+5\"/>"
                    "<parameter name=\"B\" value=\"9\"/><parameter name=\"b\" value=\"1\"/>"
                    "<parameter name=\"N\"/></parameters></root>");
    EXPECT_EQ(gf_findIntParameter(doc, "A"), std::nullopt);
    EXPECT_EQ(gf_findIntParameter(doc, "B"), 5);
    EXPECT_EQ(gf_findIntParameter(doc, "C"), std::nullopt);
    EXPECT_EQ(gf_findBoolParameter(doc, "N"), false);
    EXPECT_EQ(gf_findTextParameter(doc, "b"), "1");
}

} // namespace
} // namespace settingstest
