#include <gtest/gtest.h>

#include <algorithm>

#include "foundation/atomic_file.h"
#include "foundation/file_helpers.h"
#include "foundation/folders.h"
#include "support/test_support.h"

namespace fs = std::filesystem;
using tavtest::readFile;
using tavtest::TempFolder;
using tavtest::writeFile;

namespace {
std::vector<std::string> namesIn(const fs::path& folder)
{
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(folder))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}
} // namespace

TEST(LineWriters, WriteEachLineWithLfAndReplaceTheWholeFile)
{
    TempFolder folder;
    const fs::path file = folder / "Fixes.txt";
    writeFile(file, "an older and longer content\r\n");
    ASSERT_TRUE(gf_writeLinesToFile(std::vector<std::string>{"a", "", "b"}, file));
    EXPECT_EQ(readFile(file), "a\n\nb\n");
    ASSERT_TRUE(gf_writeLinesToFile(std::list<std::string>{"c"}, file));
    EXPECT_EQ(readFile(file), "c\n");
    ASSERT_TRUE(gf_writeLinesToFile(std::vector<std::string>{}, file));
    EXPECT_EQ(readFile(file), "");
    EXPECT_FALSE(gf_writeLinesToFile(std::vector<std::string>{"x"}, folder / "no" / "x.txt"));
}

TEST(LineWriters, ACrashBeforeTheReplaceKeepsTheOldFile)
{
    TempFolder folder;
    const fs::path file = folder / "learned.txt";
    writeFile(file, "old\n");
    gf_setBeforeReplaceHook([](const fs::path&) { return false; });
    EXPECT_FALSE(gf_writeLinesToFile(std::vector<std::string>{"new"}, file));
    gf_setBeforeReplaceHook(nullptr);
    EXPECT_EQ(readFile(file), "old\n");
}

TEST(FolderEmptying, RemovesEveryEntryOrOnlyXmlFilesOfTblo)
{
    TempFolder folder;
    tavtest::CurrentFolder here(folder.path());
    fs::create_directories("tblo/empty");
    for (const char* name : {"tblo/a.xml", "tblo/B.XmL", "tblo/a.xml.bak", "tblo/a.txt"})
        writeFile(name, "x");
    gf_removeXMLFilesFromDirectory();
    EXPECT_EQ(namesIn("tblo"), (std::vector<std::string>{"a.txt", "a.xml.bak", "empty"}));
    gf_removeFilesFromDirectory("tblo");
    EXPECT_TRUE(fs::is_empty("tblo"));
    gf_removeFilesFromDirectory("missing"); // nothing to do, nothing thrown
}

TEST(FolderEmptying, ANonEmptySubFolderEndsTheRemovalWithALogLine)
{
    tavtest::LogCapture log;
    TempFolder folder;
    fs::create_directories(folder / "sub");
    writeFile(folder / "sub" / "keep.txt", "x");
    gf_removeFilesFromDirectory(folder.path());
    EXPECT_TRUE(fs::exists(folder / "sub" / "keep.txt"));
    EXPECT_TRUE(log.contains("==> gf_removeFilesFromDirectory exception: "));
}

TEST(XmlListing, ListsTheStemsOfXmlFilesInMyThirdparty)
{
    TempFolder folder;
    tavtest::CurrentFolder here(folder.path());
    std::vector<std::string> files;
    EXPECT_TRUE(gf_listXmlFiles(files).empty());
    fs::create_directories(gf_paths().myThirdparty / "X.xml");
    for (const char* name : {"EDDF.xml", "EHAM.XML", "EDDF.xml1", "LOWW.txt"})
        writeFile(gf_paths().myThirdparty / name, "<root/>");
    gf_listXmlFiles(files);
    std::sort(files.begin(), files.end());
    EXPECT_EQ(files, (std::vector<std::string>{"EDDF", "EHAM"}));
}
