#include <gtest/gtest.h>

#include "foundation/atomic_file.h"
#include "foundation/file_generations.h"
#include "support/test_support.h"

namespace fs = std::filesystem;
using tavtest::readFile;
using tavtest::TempFolder;
using tavtest::writeFile;

TEST(AtomicFile, WritesNewAndReplacesExistingContent)
{
    TempFolder folder;
    const fs::path target = folder / "parameters.xml";
    ASSERT_TRUE(gf_writeFileAtomically(target, "first"));
    EXPECT_EQ(readFile(target), "first");
    ASSERT_TRUE(gf_writeFileAtomically(target, "second, longer"));
    EXPECT_EQ(readFile(target), "second, longer");
    EXPECT_FALSE(fs::exists(gf_tempPathBeside(target)));
}

TEST(AtomicFile, ACrashBeforeTheReplaceLeavesTheOldFileWhole)
{
    TempFolder folder;
    const fs::path target = folder / "data.xml";
    writeFile(target, "old and good");
    gf_setBeforeReplaceHook([](const fs::path& temp) {
        EXPECT_EQ(readFile(temp), "new");
        return false;
    });
    std::string error;
    EXPECT_FALSE(gf_writeFileAtomically(target, "new", &error));
    gf_setBeforeReplaceHook(nullptr);
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(readFile(target), "old and good");
}

TEST(AtomicFile, AMissingFolderFailsWithoutCreatingAnything)
{
    TempFolder folder;
    std::string error;
    EXPECT_FALSE(gf_writeFileAtomically(folder / "no" / "file.txt", "x", &error));
    EXPECT_NE(error.find("cannot create"), std::string::npos);
    EXPECT_TRUE(fs::is_empty(folder.path()));
}

TEST(Generations, ThreeSavesRotateThePreviousContents)
{
    TempFolder folder;
    const fs::path file = folder / "Log.txt";
    writeFile(file, "A");
    ASSERT_TRUE(gf_saveUpto3GenerationsOf(file));
    EXPECT_EQ(readFile(folder / "Log0.txt"), "A");
    EXPECT_FALSE(fs::exists(folder / "Log00.txt"));
    writeFile(file, "B");
    ASSERT_TRUE(gf_saveUpto3GenerationsOf(file));
    writeFile(file, "C");
    ASSERT_TRUE(gf_saveUpto3GenerationsOf(file));
    writeFile(file, "D");
    EXPECT_EQ(readFile(file), "D");
    EXPECT_EQ(readFile(folder / "Log0.txt"), "C");
    EXPECT_EQ(readFile(folder / "Log00.txt"), "B");
    EXPECT_EQ(readFile(folder / "Log000.txt"), "A");
}

TEST(Generations, ANameWithoutDotIsRefusedAndLogged)
{
    tavtest::LogCapture log;
    TempFolder folder;
    writeFile(folder / "nodot", "x");
    // The folder's own name may hold a dot in a temporary path; use a relative one.
    tavtest::CurrentFolder here(folder.path());
    EXPECT_FALSE(gf_saveUpto3GenerationsOf("nodot"));
    EXPECT_TRUE(log.contains("==> gf_saveUpto3GenerationsOf: no dot in filename: nodot"));
    gf_save1GenerationOf("nodot");
    EXPECT_TRUE(log.contains("==> gf_save1GenerationOf: no dot in filename: nodot"));
    EXPECT_EQ(std::distance(fs::directory_iterator(folder.path()), fs::directory_iterator()), 1);
}

TEST(Generations, OneGenerationCopiesToTheZeroName)
{
    TempFolder folder;
    writeFile(folder / "parameters.xml", "<broken");
    gf_save1GenerationOf(folder / "parameters.xml");
    EXPECT_EQ(readFile(folder / "parameters0.xml"), "<broken");
}
