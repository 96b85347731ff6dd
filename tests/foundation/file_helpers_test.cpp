#include <gtest/gtest.h>

#include <algorithm>

#include "foundation/atomic_file.h"
#include "foundation/file_helpers.h"
#include "foundation/folders.h"
#include "support/test_support.h"

namespace fs = std::filesystem;
using Names = std::vector<std::string>;
using tavtest::namesIn;
using tavtest::readFile;
using tavtest::writeFile;

TEST(LineWriters, WriteEachLineWithLfReplaceTheWholeFileAndKeepItOnACrash)
{
    tavtest::TempFolder folder;
    const fs::path file = folder / "Fixes.txt";
    writeFile(file, "an older and longer content\r\n");
    ASSERT_TRUE(gf_writeLinesToFile(Names{"a", "", "b"}, file));
    EXPECT_EQ(readFile(file), "a\n\nb\n");
    ASSERT_TRUE(gf_writeLinesToFile(std::list<std::string>{"c"}, file));
    EXPECT_EQ(readFile(file), "c\n");
    EXPECT_FALSE(gf_writeLinesToFile(Names{"x"}, folder / "no" / "x.txt"));
    gf_setBeforeReplaceHook([](const fs::path&) { return false; });
    EXPECT_FALSE(gf_writeLinesToFile(Names{"new"}, file));
    gf_setBeforeReplaceHook(nullptr);
    EXPECT_EQ(readFile(file), "c\n");
    ASSERT_TRUE(gf_writeLinesToFile(Names{}, file));
    EXPECT_EQ(readFile(file), "");
}

TEST(FolderHelpers, EmptyingRemovesEveryEntryOrXmlFilesOfTbloAndListingGivesXmlStems)
{
    tavtest::LogCapture log;
    tavtest::TempFolder folder;
    tavtest::CurrentFolder here(folder.path());
    fs::create_directories("tblo/empty");
    for (const char* name : {"tblo/a.xml", "tblo/B.XmL", "tblo/a.xml.bak", "tblo/a.txt"})
        writeFile(name, "x");
    gf_removeXMLFilesFromDirectory();
    EXPECT_EQ(namesIn("tblo"), (Names{"a.txt", "a.xml.bak", "empty"}));
    gf_removeFilesFromDirectory("tblo");
    EXPECT_TRUE(fs::is_empty("tblo"));
    gf_removeFilesFromDirectory("missing"); // nothing to do, nothing thrown
    EXPECT_FALSE(log.contains("==>"));
    fs::create_directories("tblo/sub");
    writeFile("tblo/sub/keep.txt", "x");
    gf_removeFilesFromDirectory("tblo");
    EXPECT_TRUE(fs::exists("tblo/sub/keep.txt"));
    EXPECT_TRUE(log.contains("==> gf_removeFilesFromDirectory exception: "));

    EXPECT_FALSE(gf_openInExplorer(folder / "missing.txt")); // nothing there: no shell is asked

    Names files;
    EXPECT_TRUE(gf_listXmlFiles(files).empty());
    fs::create_directories(gf_paths().myThirdparty / "X.xml");
    for (const char* name : {"EDDF.xml", "EHAM.XML", "EDDF.xml1", "LOWW.txt"})
        writeFile(gf_paths().myThirdparty / name, "<root/>");
    gf_listXmlFiles(files);
    std::sort(files.begin(), files.end());
    EXPECT_EQ(files, (Names{"EDDF", "EHAM"}));
}
