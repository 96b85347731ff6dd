#include <gtest/gtest.h>

#include "livery_tables_fixture.h"

using namespace liverytables;

namespace {

std::string offlineReport()
{
    return tavtest::readFile(gf_paths().offlineRegcodes);
}

std::string aigPath()
{
    return gf_pathToUtf8(gf_paths().aigRegcodesXml);
}

std::string folderPath()
{
    return gf_pathToUtf8(gf_paths().myRegcodes);
}

} // namespace

TEST_F(LiveryTables, LaterRegcodeSourcesReplaceEarlierOnes)
{
    // PH-BXA: in-line for KLM B738 a, in AIG-regcodes for KLM B738 b, in my_regcodes for
    // KLM B737.
    writeAigRegcodes({{{"title", "KLM B738 b"}, {"reg", "PH-BXA"}},
                      {{"title", "Not among the liveries"}, {"reg", "PH-BXB"}},
                      {{"title", "DLH A320"}}});
    writeMyRegcodes("mine.txt", "KLM B737;PH-BXA,PH-BXC\n");
    process();
    EXPECT_EQ(g_registrationLiveries.at("PH-BXA"), "KLM B737");
    EXPECT_FALSE(g_registrationLiveries.contains("PH-BXB"));
    EXPECT_EQ(g_registrationLiveries.size(), 5u);
    EXPECT_TRUE(g_specialRegistrations.empty() && g_reservedTitles.empty());
    EXPECT_EQ(offlineReport(), fmt::format("Processing file {}\n"
                                           "   regcode PH-BXA for 'KLM B738 b', instead of the same for 'KLM B738 a'\n"
                                           "0 new regcodes added, 1 regcode replaced\n"
                                           "Processing files in {}\n"
                                           "   regcode PH-BXA for 'KLM B737', instead of the same for 'KLM B738 b'\n"
                                           "1 new regcode added, 1 regcode replaced\n",
                                           aigPath(), folderPath()));
    EXPECT_TRUE(log_.contains(fmt::format("\nOffline regcode files processed, results can be found in '{}'\n",
                                          gf_pathToUtf8(gf_paths().offlineRegcodes))));
    EXPECT_TRUE(log_.contains("\n5 registration codes\n"));
    EXPECT_FALSE(fs::exists(gf_paths().aigRegcodesXml));
}

TEST_F(LiveryTables, SpecialRecordsReserveTheirTitleAndASingleRegistration)
{
    writeAigRegcodes({{{"title", "DLH A321"}, {"reg", "D-AIAC,D-AIAD"}, {"special", "true"}},
                      {{"title", "ZZZ C182"}, {"reg", "N182ZZ"}, {"special", "true"}},
                      {{"title", "ZZZ C182"}, {"reg", "N182ZZ"}, {"special", "true"}}});
    // The second of two equal titles in a row is refused by the reader.
    process();
    EXPECT_EQ(g_specialRegistrations, TextHashSet{"N182ZZ"});
    EXPECT_EQ(g_reservedTitles, (TitleList{"DLH A321", "ZZZ C182"}));
    EXPECT_TRUE(g_reservedTitleSet.contains("ZZZ C182"));
    EXPECT_EQ(g_registrationLiveries.at("D-AIAD"), "DLH A321");
    EXPECT_EQ(offlineReport(), fmt::format("Processing file {}\n"
                                           "There were errors processing the AIG-regcode file '{}', see Log.txt\n"
                                           "2 new regcodes added, 2 regcodes defined as special\n",
                                           aigPath(), aigPath()));
    EXPECT_TRUE(log_.contains("\n2 special liveries\n1 unique liveries\n"));
}

TEST_F(LiveryTables, TheUsersFilesCountWithoutTheDataFileAndAnEmptyFolderNotAtAll)
{
    tavtest::writeFile(program_.input("AIG-regcodes.enc"), "not a data file");
    writeMyRegcodes("mine.TXT", "KLM B737;PH-BXB\n");
    process();
    EXPECT_EQ(g_registrationLiveries.at("PH-BXB"), "KLM B737");
    EXPECT_TRUE(g_specialRegistrations.contains("PH-BXB"));
    EXPECT_EQ(offlineReport(), fmt::format("Processing files in {}\n1 new regcode added, 1 regcode defined as special\n",
                                           folderPath()));

    gf_clearLiveryTables();
    fs::remove(gf_paths().myRegcodes / "mine.TXT");
    writeAigRegcodes({{{"title", "KLM B737"}, {"reg", "PH-BXB"}}});
    process();
    EXPECT_EQ(offlineReport(), fmt::format("Processing file {}\n1 new regcode added\n", aigPath()));
}

TEST_F(LiveryTables, AReportThatCannotBeWrittenIsNamedInAnErrorLine)
{
    fs::remove_all(gf_paths().outputInfo);
    tavtest::writeFile(gf_paths().outputErrors, "a file where the folder belongs");
    writeMyRegcodes("mine.txt", "KLM B737;PH-BXB\n");
    process();
    EXPECT_TRUE(log_.contains(fmt::format("\n==> lf_mergeInlineRegcodes: could not write '{}'\n",
                                          gf_pathToUtf8(gf_paths().inlineRegcodes))));
    EXPECT_TRUE(log_.contains(fmt::format("\n==> gf_processOfflineRegcodes: could not write '{}'\n",
                                          gf_pathToUtf8(gf_paths().offlineRegcodes))));
    EXPECT_FALSE(log_.contains("in-line regcode clashes, see") || log_.contains("results can be found"));
    // The merge itself is whole.
    EXPECT_EQ(g_registrationLiveries.at("PH-BXB"), "KLM B737");
}
