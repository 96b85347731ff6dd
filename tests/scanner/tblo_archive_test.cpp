#include <gtest/gtest.h>

#include "scanner/scan_fixture.h"

namespace fs = std::filesystem;
using scantest::names;
using scantest::ScanTest;
using scantest::zipEntries;

class TbloArchive : public ScanTest {
protected:
    TbloArchive() { fs::create_directories(gf_paths().tblo); }
    void generated(const std::string& code, const std::string& bytes)
    {
        tavtest::writeFile(gf_paths().myThirdparty / (code + ".xml"), bytes);
    }
};

TEST_F(TbloArchive, ALinkedCopyLeavesThirdpartyAndANewArchiveReplacesTheOld)
{
    generated("EDDF", "<root>EDDF</root>\n");
    generated("LOWW", std::string(5000, 'w'));
    tavtest::writeFile(gf_paths().myThirdparty / "LOWW.txt", "archive/thirdparty/X/LOWW.xml\n");
    generated("XXXX", "unknown");
    EXPECT_FALSE(lf_afterAirportsScan({"EDDF", "LOWW", "XXXX"}));
    const fs::path zip = gf_paths().tblo / "tblo.zip";
    EXPECT_EQ(zipEntries(zip), (std::map<std::string, std::string>{{"EDDF.xml", "<root>EDDF</root>\n"},
                                                                    {"LOWW.xml", std::string(5000, 'w')}}));
    EXPECT_EQ(names(gf_paths().myThirdparty), (std::vector<std::string>{"EDDF.xml", "LOWW.txt", "XXXX.xml"}));
    EXPECT_TRUE(log_.contains(", ok_close=true, exists=true, size="));

    generated("LOWW", "again");
    EXPECT_FALSE(lf_afterAirportsScan({"LOWW"}));
    EXPECT_TRUE(log_.contains("[zip] Removing old zip " + gf_pathToUtf8(fs::absolute(zip))));
    EXPECT_EQ(zipEntries(zip), (std::map<std::string, std::string>{{"LOWW.xml", "again"}}));

    // Nothing known to learn off-line, or nothing at all, writes no archive.
    fs::remove(zip);
    EXPECT_FALSE(lf_afterAirportsScan({"XXXX"}));
    EXPECT_FALSE(g_tbloWritten);
    EXPECT_TRUE(log_.contains("All your third party airports are recognised, no off line learning needed.\n"));
    EXPECT_FALSE(lf_afterAirportsScan({}));
    EXPECT_EQ(names(gf_paths().tblo), std::vector<std::string>{});
}

TEST_F(TbloArchive, AFailedArchiveAsksForNoMailAndKeepsTheCopies)
{
    generated("EDDF", "<root/>");
    // A folder where the archive should be cannot be replaced by it.
    fs::create_directories(gf_paths().tblo / "tblo.zip");
    tavtest::writeFile(gf_paths().tblo / "tblo.zip" / "x", "x");
    EXPECT_TRUE(lf_afterAirportsScan({"EDDF"}));
    EXPECT_FALSE(g_tbloWritten);
    EXPECT_TRUE(log_.contains("==> Zippen TBLO folder failed\n"));
    EXPECT_FALSE(log_.contains("! Mail"));
    EXPECT_TRUE(fs::exists(gf_paths().tblo / "EDDF.xml"));
    EXPECT_FALSE(called("enable 32804 1"));
}
