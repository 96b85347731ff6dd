#include <windows.h>

#include <chrono>
#include <thread>

#include "foundation/parameters_file.h"
#include "foundation/settings_fixture.h"

namespace settingstest {
namespace {

using tavtest::readFile;

// Holds the file open without sharing, as a virus scanner or backup program may.
HANDLE lf_lockExclusively(const std::filesystem::path& file)
{
    return CreateFileW(file.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

class LockedParametersFile : public SettingsTest {};

TEST_F(LockedParametersFile, AStoreWaitsOutAShortLockAndKeepsEveryOtherSetting)
{
    lfolder[2].setValue("G:\\kept");
    gf_saveParameters(false);
    HANDLE h = lf_lockExclusively(file());
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    std::thread release([h] {
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        CloseHandle(h);
    });
    resetSettings();
    WEEK.value = true;
    gf_storeBoolParameter(WEEK);
    release.join();
    EXPECT_EQ(storedValue("WEEK"), "true");
    EXPECT_EQ(storedValue("lfolder2"), "G:\\kept");
    EXPECT_FALSE(std::filesystem::exists(backup()));
}

TEST_F(LockedParametersFile, ALastingLockLeavesTheFileAsItWas)
{
    gf_saveParameters(false);
    const std::string before = readFile(file());
    HANDLE h = lf_lockExclusively(file());
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    WEEK.value = true;
    gf_storeBoolParameter(WEEK);
    EXPECT_FALSE(gf_readParameters());
    CloseHandle(h);
    EXPECT_EQ(readFile(file()), before);
    EXPECT_TRUE(log_.contains("WEEK not stored"));
}

} // namespace
} // namespace settingstest
