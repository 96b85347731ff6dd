#include <gtest/gtest.h>

#include "foundation/atomic_file.h"
#include "foundation/file_generations.h"
#include "support/test_support.h"

namespace fs = std::filesystem;
using tavtest::readFile;
using tavtest::TempFolder;
using tavtest::writeFile;

TEST(AtomicFile, ReplacesWholeLeavesTheOldFileOnACrashBeforeTheReplaceAndNothingInAMissingFolder)
{
    TempFolder folder;
    const fs::path target = folder / "data.xml";
    ASSERT_TRUE(gf_writeFileAtomically(target, "old and longer"));
    ASSERT_TRUE(gf_writeFileAtomically(target, "good"));
    EXPECT_EQ(readFile(target), "good");
    EXPECT_FALSE(fs::exists(gf_tempPathBeside(target)));

    gf_setBeforeReplaceHook([](const fs::path& temp) {
        EXPECT_EQ(readFile(temp), "new");
        return false;
    });
    std::string error;
    EXPECT_FALSE(gf_writeFileAtomically(target, "new", &error));
    gf_setBeforeReplaceHook(nullptr);
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(readFile(target), "good");

    EXPECT_FALSE(gf_writeFileAtomically(folder / "no" / "file.txt", "x", &error));
    EXPECT_NE(error.find("cannot create"), std::string::npos);
    EXPECT_FALSE(fs::exists(folder / "no"));
}

TEST(Generations, ThreeSavesRotateThePreviousContentsAndANameWithoutDotIsRefused)
{
    TempFolder folder;
    const fs::path file = folder / "Log.txt";
    for (const char* content : {"A", "B", "C"}) {
        writeFile(file, content);
        ASSERT_TRUE(gf_saveUpto3GenerationsOf(file));
        EXPECT_EQ(readFile(folder / "Log0.txt"), content);
    }
    EXPECT_EQ(readFile(folder / "Log00.txt"), "B");
    EXPECT_EQ(readFile(folder / "Log000.txt"), "A");
    gf_save1GenerationOf(folder / "Log000.txt");
    EXPECT_EQ(readFile(folder / "Log0000.txt"), "A");

    tavtest::LogCapture log;
    writeFile(folder / "nodot", "x");
    // The folder's own name may hold a dot in a temporary path; use a relative one.
    tavtest::CurrentFolder here(folder.path());
    EXPECT_FALSE(gf_saveUpto3GenerationsOf("nodot"));
    EXPECT_TRUE(log.contains("==> gf_saveUpto3GenerationsOf: no dot in filename: nodot"));
    gf_save1GenerationOf("nodot");
    EXPECT_TRUE(log.contains("==> gf_save1GenerationOf: no dot in filename: nodot"));
    EXPECT_EQ(std::distance(fs::directory_iterator(folder.path()), fs::directory_iterator()), 6);
}
