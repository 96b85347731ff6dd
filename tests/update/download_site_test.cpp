#include <gtest/gtest.h>

#include "foundation/download.h"
#include "update/download_site.h"

// The paths below the base are fetched through the product's path by the Python tests.
TEST(DownloadSiteLayout, TheMakersHttpsSiteUnlessATestPointsElsewhere)
{
    const std::string makersSite = gf_downloadSiteBase();
    EXPECT_TRUE(makersSite.starts_with("https://") && makersSite.ends_with("/downloads/"));
    gf_setDownloadSiteForTests("http://localhost:8080/downloads/");
    EXPECT_EQ(gf_versionsJsonUrl(), "http://localhost:8080/downloads/versions.json");
    gf_setDownloadSiteForTests("");
    EXPECT_EQ(gf_versionsJsonUrl(), makersSite + "versions.json");
}
