#include <gtest/gtest.h>

#include <algorithm>

#include <fmt/format.h>

#include "catalogue/regcodes.h"
#include "databuild/xml_content.h"
#include "foundation/folders.h"
#include "foundation/text.h"
#include "livery_tables_fixture.h"
#include "support/data_file_fixture.h"

namespace fs = std::filesystem;

namespace {

std::string recordsText(const std::vector<RegcodeRecord>& records)
{
    std::string text;
    for (const RegcodeRecord& r : records)
        text += fmt::format("{}{}|{}|{}", text.empty() ? "" : "\n", r.title, fmt::join(r.regcodes, ","),
                            r.special ? "special" : "");
    return text;
}

struct RegcodeFiles : ::testing::Test {
    tavtest::ProgramFolder program;
    tavtest::LogCapture log;
    tavtest::TempFolder folder{"regcodes"};
};

} // namespace

TEST_F(RegcodeFiles, EachLineFormGivesItsRecordOrItsErrorLine)
{
    struct Case {
        std::string line, records, logged;
        bool ok = true;
    };
    const std::vector<Case> cases = {
        {"Title A", "Title A||", ""},
        {"  Title A ; PH-BXA ", "Title A|PH-BXA|special", ""},
        {"Title A;PH-BXA;", "Title A|PH-BXA|special", ""},
        {"Title A;PH-BXB, PH-BXA,PH-BXB;#", "Title A|PH-BXA,PH-BXB|special", ""},
        {"Title A;PH-BXB,PH-BXA", "Title A|PH-BXA,PH-BXB|", ""},
        {"Title A;PH-BXB,PH-BXA;x", "Title A|PH-BXA,PH-BXB|", ""},
        {"Title A;AB", "", "==> wrong regcode length 'AB' in <FILE>", false},
        {"Title A;ABCDEFGHIJKLM", "", "==> wrong regcode length 'ABCDEFGHIJKLM' in <FILE>", false},
        {"Title A;ABC,ABCDEFGHIJKL", "Title A|ABC,ABCDEFGHIJKL|", ""},
        {"Title A;AB,PH-BXA", "Title A|PH-BXA|", "==> wrong regcode length 'AB' in <FILE>", false},
        {"Title A;AB,CD", "", "==> <FILE> ; regs empty?", false},
        {"Title A;", "", ""},
        {"Title A;;#", "", ""},
        {"", "", ""},
        {"A;B;C;D", "", "==> <FILE>: wrong format 'A;B;C;D'", false},
    };
    for (const Case& c : cases) {
        tavtest::TempFolder one("regcode");
        const fs::path file = one / "list.txt";
        tavtest::writeFile(file, c.line + "\n");
        std::vector<RegcodeRecord> records;
        EXPECT_EQ(gf_readRegcodeFiles(one.path(), records), c.ok) << c.line;
        EXPECT_EQ(recordsText(records), c.records) << c.line;
        std::string logged = c.logged;
        if (const size_t at = logged.find("<FILE>"); at != std::string::npos)
            logged.replace(at, 6, gf_pathToUtf8(file));
        EXPECT_TRUE(logged.empty() || log.contains(logged)) << c.line;
    }
}

TEST_F(RegcodeFiles, TextFilesOfTheFolderAloneAreReadInTheirCharset)
{
    // "Caf\xE9" in Windows-1252, UTF-8 and UTF-16 little-endian.
    tavtest::writeFile(folder / "a.TXT", "Caf\xE9 1;PH-BXA\r\n");
    tavtest::writeFile(folder / "b.txt", "Caf\xC3\xA9 2;PH-BXB\n");
    tavtest::writeFile(folder / "c.Txt", std::string("\xFF\xFE" "C\0a\0f\0\xE9\0 \0" "3\0", 14));
    tavtest::writeFile(folder / "d.cfg", "Other;PH-BXC\n");
    fs::create_directories(folder / "sub.txt");
    tavtest::writeFile(folder / "sub.txt" / "e.txt", "Below;PH-BXD\n");
    std::vector<RegcodeRecord> records{{"Earlier", {}, false}};
    EXPECT_TRUE(gf_readRegcodeFiles(folder.path(), records));
    std::sort(records.begin() + 1, records.end(), [](const auto& a, const auto& b) { return a.title < b.title; });
    EXPECT_EQ(recordsText(records), "Earlier||\nCaf\xC3\xA9 1|PH-BXA|special\nCaf\xC3\xA9 2|PH-BXB|special\nCaf\xC3\xA9 3||");
    EXPECT_TRUE(log.contains("\n4 liveries\n"));

    EXPECT_FALSE(gf_readRegcodeFiles(folder / "missing", records));
    EXPECT_TRUE(log.contains("==> Error reading regcode files in " + gf_pathToUtf8(folder / "missing") + ", what: "));
}

TEST_F(RegcodeFiles, AigTitlesRepeatedInARowAreRefused)
{
    struct Case {
        std::vector<std::vector<std::pair<std::string, std::string>>> liveries;
        bool ok;
        std::string records;
    };
    const std::vector<Case> cases = {
        {{{{"title", "A"}}, {{"title", "A"}}, {{"title", "B"}}}, false, "A||\nB||"},
        {{{{"title", "A"}}, {{"title", "B"}}, {{"title", "A"}}}, true, "A||\nB||\nA||"},
        {{{{"title", "A"}, {"reg", " X1, AB,X1"}, {"special", "yes"}}, {{"title", ""}}, {{"title", "A"}}},
         false,
         "A|AB,X1|special"},
    };
    for (const Case& c : cases) {
        tavtest::writeFile(gf_paths().aigRegcodesXml, liverytables::aigRegcodesXml(c.liveries));
        std::vector<RegcodeRecord> records;
        EXPECT_EQ(gf_readAigRegcodesXml(records), c.ok) << c.records;
        EXPECT_EQ(recordsText(records), c.records);
    }
    EXPECT_TRUE(log.contains("==> SAME AS PREVIOUS title 'A'\n"));
    EXPECT_TRUE(log.contains("\n3 liveries read from AIG-regcodes\n"));

    tavtest::writeFile(gf_paths().aigRegcodesXml, "<root><AIG-regcodes><livery title='A'/></AIG-regcodes></root>");
    std::vector<RegcodeRecord> records;
    EXPECT_FALSE(gf_readAigRegcodesXml(records));
    tavtest::writeFile(gf_paths().aigRegcodesXml, "<root><broken");
    EXPECT_FALSE(gf_readAigRegcodesXml(records));
    EXPECT_TRUE(records.empty());
    EXPECT_FALSE(fs::exists(gf_paths().aigRegcodesXml));
}

TEST_F(RegcodeFiles, TitlesWithoutRegistrationsAreNotToBeUsedAtTheNextScan)
{
    g_titlesNotToUse.clear();
    liverytables::writeMyRegcodes("mine.txt", "Banned 1\nKept;PH-BXA\nBanned 2\n");
    lf_reprocessRegcodes();
    EXPECT_EQ(g_titlesNotToUse, (std::vector<std::string>{"Banned 1", "Banned 2"}));
    EXPECT_TRUE(log.contains("\n2 don't use titles read from files in " + gf_pathToUtf8(gf_paths().myRegcodes) + "\n"));
    g_titlesNotToUse.clear();
}
