#include <algorithm>

#include "foundation/parameters_file.h"
#include "foundation/settings_migration.h"
#include "foundation/text.h"
#include "foundation/settings_fixture.h"

namespace fs = std::filesystem;
using tavtest::readFile;
using tavtest::writeFile;

namespace settingstest {
namespace {

const std::vector<std::string> kObsolete{
    "CALLSIGN_OBJECTIDS", "PARK_FAKE",     "SUPPRESS_STUB",   "LOG",      "LEARN_SOFT",
    "PROGRAM_INSTALL_PATH", "LATERAL_RANGE", "CUSTOM_MAX_PARK", "MAX_LIVE", "AIRPORT_RANGE",
    "AUTO_RANGE_ABOVE_HEIGHT", "AIRPORT_HEIGHT", "MSFS_2020",   "AI_PACKAGE_ORDER",
};

// A program folder holding the leftovers that older versions wrote there.
class Migration : public SettingsTest {
protected:
    Migration() : current_(program_.path())
    {
        fs::create_directories(program_ / "TO_BE_LEARNED_OFFLINE" / "deep");
        writeFile(program_ / "TO_BE_LEARNED_OFFLINE" / "deep" / "a.txt", "x");
        fs::create_directories(program_ / "input");
        fs::create_directories(program_ / "new_version" / "sub");
        fs::create_directory(program_ / "EGLL.xml");
        for (const char* name : {"versions.json", "EDDF.xml", "LOWW.xml", "KLAX.XML", "KJFK1.xml", "ABC.xml",
                                 "notes.txt", "input/airports_p3d.xml", "input/dbase.xml", "new_version/sub/setup.exe"})
            writeFile(program_ / name, "x");
    }

    // A settings file of the given stored version with every obsolete key, LOG twice.
    void writeOldFile(std::string_view version)
    {
        std::string elements = version.empty() ? "" : element("PROGRAM_VERSION", version);
        elements += element("lfolder0", "C:\\Liveries") + element("RANGE", "20");
        for (const std::string& key : kObsolete)
            elements += element(key, "1");
        writeFile(file(), parametersXml(elements + element("LOG", "second")));
    }

    bool present(std::string_view name) const { return fs::exists(program_ / name); }

    size_t obsoleteKeysLeft() const
    {
        const std::vector<std::string> pairs = storedPairs();
        return static_cast<size_t>(std::count_if(pairs.begin(), pairs.end(), [](const std::string& pair) {
            return std::find(kObsolete.begin(), kObsolete.end(), pair.substr(0, pair.find('='))) != kObsolete.end();
        }));
    }

    tavtest::TempFolder program_{"program"};
    tavtest::CurrentFolder current_;
};

TEST_F(Migration, NoFileNoVersionTheSameOrANewerOneOnlyRecordsTheRunningVersionAndNoFileAsksForTheScans)
{
    RecordingBridge bridge;
    gf_setControlBridge(&bridge);
    SCAN_LIVERIES.value = SCAN_AIRPORTS.value = false;
    gf_loadParameters();
    EXPECT_TRUE(SCAN_LIVERIES.value && SCAN_AIRPORTS.value);
    EXPECT_EQ(storedValue("SCAN_LIVERIES") + storedValue("SCAN_AIRPORTS"), "truetrue");
    const std::vector<std::string> calls = bridge.calls();
    ASSERT_GE(calls.size(), 2u);
    EXPECT_EQ(std::vector(calls.end() - 2, calls.end()), (std::vector<std::string>{"check 32798 1", "check 32802 1"}));
    for (const std::string version : {"<no file>", "", "11.10.3", "12.0.0"}) {
        if (version != "<no file>")
            writeOldFile(version);
        gf_loadParameters();
        EXPECT_EQ(storedValue("PROGRAM_VERSION"), "11.10.3") << version;
        EXPECT_EQ(PROGRAM_VERSION.value(), "11.10.3") << version;
        EXPECT_EQ(storedValue("lfolder0"), version == "<no file>" ? "" : "C:\\Liveries") << version;
        EXPECT_EQ(obsoleteKeysLeft(), version == "<no file>" ? 0u : 15u) << version;
        EXPECT_TRUE(present("TO_BE_LEARNED_OFFLINE") && present("versions.json") && present("EDDF.xml"));
    }
    EXPECT_FALSE(fs::exists(backup()));
    EXPECT_FALSE(log_.contains("version update"));
    EXPECT_FALSE(log_.contains("removed"));
}

// An unreadable version is migrated as the oldest one that can be, never reset.
class MigrationFrom : public Migration, public ::testing::WithParamInterface<const char*> {};

TEST_P(MigrationFrom, TheObsoleteSettingsAndItemsAreRemovedAndTheRestKept)
{
    const std::string version = GetParam();
    writeOldFile(version);
    gf_loadParameters();

    EXPECT_TRUE(log_.contains(version == "11.0.2" ? "This is a version update from 11.0.2 -> 11.10.3\n"
                                                  : "The stored program version '" + version +
                                                        "' cannot be read: migrated as from 11.0.2\n"));
    std::string expected;
    for (const std::string& key : kObsolete)
        expected += "Parameter '" + key + "' removed\n";
    expected += gf_pathToUtf8(fs::current_path()) + "\n";
    EXPECT_TRUE(log_.contains(expected)) << log_.text();

    EXPECT_EQ(obsoleteKeysLeft(), 1u);
    EXPECT_EQ(storedValue("LOG"), "second"); // one removal per element: the later one stays
    EXPECT_EQ(storedValue("lfolder0"), "C:\\Liveries");
    EXPECT_EQ(storedValue("RANGE"), "20");
    EXPECT_EQ(storedValue("PROGRAM_VERSION"), "11.10.3");
    EXPECT_FALSE(fs::exists(backup()));

    for (const char* gone : {"TO_BE_LEARNED_OFFLINE", "versions.json", "EDDF.xml", "LOWW.xml",
                             "input/airports_p3d.xml", "new_version"})
        EXPECT_FALSE(present(gone)) << gone;
    for (const char* kept : {"KLAX.XML", "KJFK1.xml", "ABC.xml", "EGLL.xml", "notes.txt", "input/dbase.xml"})
        EXPECT_TRUE(present(kept)) << kept;

    // The next start finds nothing to do.
    gf_loadParameters();
    EXPECT_EQ(storedValue("LOG"), "second");
}

INSTANTIATE_TEST_SUITE_P(Versions, MigrationFrom, ::testing::Values("11.0.2", "abc", "11.99999999999.3"));

TEST_F(Migration, From11_0_1TheFileIsReplacedByTheDefaultsAndKeptAsParameters0)
{
    writeOldFile("11.0.1");
    gf_loadParameters();

    EXPECT_TRUE(log_.contains("This is a version update from 11.0.1 -> 11.10.3\n"));
    EXPECT_TRUE(log_.contains("\nYour previous version was too old to convert the old text box parameters to the "
                              "newdropbox values.\nTavelorium_P3D re-starts with default parameter values ...\n"));
    EXPECT_EQ(storedPairs().size(), 66u);
    EXPECT_EQ(storedValue("lfolder0"), "");
    EXPECT_EQ(storedValue("RANGE"), "40");
    EXPECT_EQ(storedValue("PROGRAM_VERSION"), "11.10.3");
    EXPECT_EQ(obsoleteKeysLeft(), 0u);
    EXPECT_TRUE(present("EDDF.xml")); // a reset removes no files
    EXPECT_NE(readFile(backup()).find("C:\\Liveries"), std::string::npos);
    EXPECT_FALSE(log_.contains("removed"));
}

TEST_F(Migration, AFileSystemFailureIsLoggedAndTheVersionStaysForTheNextStart)
{
    writeOldFile("11.0.2");
    fs::remove(program_ / "versions.json");
    fs::create_directories(program_ / "versions.json" / "held"); // a folder that is not empty cannot be removed
    gf_loadParameters();
    EXPECT_TRUE(log_.contains("==> lf_migrateParameters exception: "));
    EXPECT_EQ(storedValue("PROGRAM_VERSION"), "11.0.2");
    EXPECT_FALSE(present("TO_BE_LEARNED_OFFLINE"));
    EXPECT_TRUE(present("EDDF.xml"));

    fs::remove_all(program_ / "versions.json");
    gf_loadParameters();
    EXPECT_EQ(storedValue("PROGRAM_VERSION"), "11.10.3");
    EXPECT_FALSE(present("EDDF.xml"));
}

} // namespace
} // namespace settingstest
