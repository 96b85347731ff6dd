#include <gtest/gtest.h>

#include "foundation/download.h"
#include "update/download_site.h"

TEST(DownloadSiteLayout, EveryPathLiesBelowTheBaseAddressAndTheTestSeamIsUndone)
{
    const std::string makersSite = gf_downloadSiteBase();
    EXPECT_TRUE(makersSite.starts_with("https://") && makersSite.ends_with("/downloads/"));
    gf_setDownloadSiteForTests("http://localhost:8080/downloads/");
    EXPECT_EQ(gf_versionsJsonUrl(), "http://localhost:8080/downloads/versions.json");
    EXPECT_EQ(gf_dataFileUrl(g_siteAigRegcodesName), "http://localhost:8080/downloads/11/AIG-regcodes.enc");
    EXPECT_EQ(gf_installerArchiveUrl(VersionData{12, 0, 0}),
              "http://localhost:8080/downloads/release/setup_Tavelorium_P3D_d_v12.0.0.zip");
    EXPECT_EQ(gf_releaseNotesUrl(), "http://localhost:8080/downloads/docs/ReleaseNotes.pdf");
    EXPECT_EQ(gf_parkFileUrl("archive/stock/EDDF.xml"), "http://localhost:8080/downloads/P3D/archive/stock/EDDF.xml");
    gf_setDownloadSiteForTests("");
    EXPECT_EQ(gf_downloadSiteBase(), makersSite);
}
