#include <gtest/gtest.h>

#include "foundation/download.h"
#include "foundation/text.h"
#include "support/test_support.h"

namespace fs = std::filesystem;

// Transfers themselves run against the download-site stand-in (tests/update).
TEST(Download, WithoutAHandleOrAnOutputFolderFailsAtOnceAndCreatesNothing)
{
    tavtest::TempFolder folder;
    tavtest::LogCapture log;
    EXPECT_FALSE(gf_downloadFile(nullptr, "http://127.0.0.1:9/x", folder / "x", true));
    CURL* handle = curl_easy_init();
    ASSERT_NE(handle, nullptr);
    // Port 9 on loopback refuses at once; the point is that no request is even tried.
    EXPECT_FALSE(gf_downloadFile(handle, "http://127.0.0.1:9/x", folder / "no" / "versions.json", false));
    curl_easy_cleanup(handle);
    EXPECT_TRUE(log.contains("Could not open output file: " + gf_pathToUtf8(folder / "no" / "versions.json")));
    EXPECT_FALSE(log.contains("Download error"));
    EXPECT_TRUE(fs::is_empty(folder.path()));
}
