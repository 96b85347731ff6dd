#include <gtest/gtest.h>

#include "support/data_file_fixture.h"
#include "support/test_support.h"
#include "update/data_file_decrypt.h"

namespace fs = std::filesystem;

// A plain file whose writes fail (a link to /dev/full stands for a full disk): the
// failure is reported and the link, not the device, is removed.
TEST(DecryptPosix, AFullDiskFailsInsteadOfLeavingAShortPlainFile)
{
    if (!fs::exists("/dev/full"))
        GTEST_SKIP() << "no /dev/full";
    tavtest::TempFolder folder;
    tavtest::writeFile(folder / "dbase.enc",
                       tavtest::encryptDataFile(tavtest::patternBytes(100000), tavtest::productDataFileKey()));
    fs::create_symlink("/dev/full", folder / "dbase.xml");
    tavtest::LogCapture log;
    EXPECT_FALSE(gf_streamDecrypt(folder / "dbase.enc", folder / "dbase.xml"));
    EXPECT_TRUE(log.contains("gf_streamDecrypt exception: Could not write output file: ")) << log.text();
    EXPECT_FALSE(fs::exists(fs::symlink_status(folder / "dbase.xml")));
    EXPECT_TRUE(fs::exists("/dev/full"));
}
