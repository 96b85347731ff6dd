#include <gtest/gtest.h>

#include <map>

#include <zip.h>

#include "scanner/scan_fixture.h"

namespace fs = std::filesystem;
using scantest::ScanTest;

namespace {

// The archive's entries by name, read back with libzip.
std::map<std::string, std::string> lf_zipEntries(const fs::path& archive)
{
    std::map<std::string, std::string> entries;
    int error = 0;
    zip_t* zip = zip_open(gf_pathToUtf8(archive).c_str(), ZIP_RDONLY, &error);
    if (!zip)
        return entries;
    for (zip_int64_t i = 0; i < zip_get_num_entries(zip, 0); ++i) {
        zip_stat_t st;
        zip_stat_index(zip, static_cast<zip_uint64_t>(i), 0, &st);
        std::string bytes(st.size, '\0');
        zip_file_t* file = zip_fopen_index(zip, static_cast<zip_uint64_t>(i), 0);
        zip_fread(file, bytes.data(), st.size);
        zip_fclose(file);
        entries[st.name] = bytes;
    }
    zip_close(zip);
    return entries;
}

std::vector<std::string> lf_names(const fs::path& folder)
{
    std::vector<std::string> names;
    for (const fs::directory_entry& e : fs::directory_iterator(folder))
        names.push_back(gf_pathToUtf8(e.path().filename()));
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace

class TbloArchive : public ScanTest {
protected:
    TbloArchive()
    {
        fs::create_directories(gf_paths().tblo);
        fs::create_directories(gf_paths().myThirdparty);
    }
    void generated(const std::string& code, const std::string& bytes)
    {
        tavtest::writeFile(gf_paths().myThirdparty / (code + ".xml"), bytes);
    }
};

TEST_F(TbloArchive, KnownGeneratedFilesGoIntoTheZipAndTheUserIsAskedToMailIt)
{
    generated("EDDF", "<root>EDDF</root>\n");
    generated("LOWW", std::string(5000, 'w'));
    tavtest::writeFile(gf_paths().myThirdparty / "LOWW.txt", "archive/thirdparty/X/LOWW.xml\n");
    generated("XXXX", "unknown");
    EXPECT_FALSE(lf_afterAirportsScan({"EDDF", "LOWW", "XXXX"}));
    const fs::path zip = gf_paths().tblo / "tblo.zip";
    EXPECT_EQ(lf_zipEntries(zip), (std::map<std::string, std::string>{{"EDDF.xml", "<root>EDDF</root>\n"},
                                                                        {"LOWW.xml", std::string(5000, 'w')}}));
    EXPECT_EQ(lf_names(gf_paths().tblo), std::vector<std::string>{"tblo.zip"});
    EXPECT_EQ(lf_names(gf_paths().myThirdparty), (std::vector<std::string>{"EDDF.xml", "LOWW.txt", "XXXX.xml"}));
    EXPECT_TRUE(g_tbloWritten);
    EXPECT_TRUE(called("enable 32804 1"));
    EXPECT_TRUE(log_.contains("\n! Mail tblo\\tblo.zip to support@tavelorium.org\n"));
    EXPECT_TRUE(log_.contains(", ok_close=true, exists=true, size="));

    generated("LOWW", "again");
    EXPECT_FALSE(lf_afterAirportsScan({"LOWW"}));
    EXPECT_TRUE(log_.contains("[zip] Removing old zip " + gf_pathToUtf8(fs::absolute(zip))));
    EXPECT_EQ(lf_zipEntries(zip), (std::map<std::string, std::string>{{"LOWW.xml", "again"}}));
}

TEST_F(TbloArchive, NothingToLearnOffLineOrNothingAtAllWritesNoArchive)
{
    generated("XXXX", "unknown");
    g_tbloWritten = true;
    EXPECT_FALSE(lf_afterAirportsScan({"XXXX"}));
    EXPECT_FALSE(g_tbloWritten);
    EXPECT_TRUE(log_.contains("All your third party airports are recognised, no off line learning needed.\n"));
    EXPECT_FALSE(lf_afterAirportsScan({}));
    EXPECT_EQ(lf_names(gf_paths().tblo), std::vector<std::string>{});
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
