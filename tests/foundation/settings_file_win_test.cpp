#include <windows.h>

#include <chrono>
#include <thread>

#include "foundation/parameters_file.h"
#include "foundation/settings_fixture.h"

namespace settingstest {
namespace {

class LockedParametersFile : public SettingsTest {};

// The file held open without sharing, as a virus scanner or backup program may: a store
// waits out a short lock and keeps every other setting; a lasting one leaves the file as it was.
TEST_F(LockedParametersFile, AStoreWaitsOutAShortLockAndALastingLockLeavesTheFileAsItWas)
{
    lfolder[2].setValue("G:\\kept");
    gf_saveParameters(false);
    const auto lock = [this] {
        return CreateFileW(file().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    };
    HANDLE h = lock();
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

    const std::string before = tavtest::readFile(file());
    h = lock();
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    WEEK.value = false;
    gf_storeBoolParameter(WEEK);
    EXPECT_FALSE(gf_readParameters());
    CloseHandle(h);
    EXPECT_EQ(tavtest::readFile(file()), before);
    EXPECT_TRUE(log_.contains("WEEK not stored"));
}

} // namespace
} // namespace settingstest
