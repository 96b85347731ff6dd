#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include <fmt/format.h>

#include "foundation/atomic_file.h"
#include "foundation/file_generations.h"
#include "support/test_support.h"

namespace fs = std::filesystem;
using tavtest::readFile;
using tavtest::TempFolder;
using tavtest::writeFile;

// A crash before the replace is proven by the writers of parameters.xml and of line files.
TEST(AtomicFile, EverySaveHasATemporaryNameOfItsOwnAndOnlyOtherProcessesLeftoversAreRemoved)
{
    TempFolder folder;
    const fs::path target = folder / "parameters.xml";
    const fs::path first = gf_tempPathBeside(target);
    EXPECT_EQ(first.parent_path(), folder.path());
    EXPECT_NE(first, gf_tempPathBeside(target));
    const std::string mine = fmt::format("parameters.xml.{}-7.tavtmp", gf_processId());
    const std::string other = fmt::format("parameters.xml.{}-7.tavtmp", gf_processId() + 1);
    for (const std::string& name : {mine, other, std::string("parameters.xml.tavtmp"), std::string("notes.txt")})
        writeFile(folder / name, "x");
    fs::create_directory(folder / "folder.tavtmp");
    gf_removeStaleTempFiles(folder.path());
    gf_removeStaleTempFiles(folder / "missing");
    EXPECT_EQ(tavtest::namesIn(folder.path()), (std::vector<std::string>{"folder.tavtmp", "notes.txt", mine}));

    // Two writers of one file: every save succeeds and the file is always one of them whole.
    const std::string contents[] = {std::string(20000, 'a'), std::string(30000, 'b')};
    std::atomic<int> failures{0};
    std::vector<std::thread> writers;
    for (const std::string& content : contents)
        writers.emplace_back([&] {
            for (int i = 0; i < 100; ++i)
                failures += !gf_writeFileAtomically(target, content);
        });
    for (std::thread& t : writers)
        t.join();
    EXPECT_EQ(failures.load(), 0);
    EXPECT_TRUE(readFile(target) == contents[0] || readFile(target) == contents[1]);
}

// Three generations of Log.txt and parameters.xml are proven where those files are written.
TEST(Generations, ANameWithoutDotIsRefused)
{
    tavtest::TempFolder folder;
    tavtest::LogCapture log;
    writeFile(folder / "nodot", "x");
    // The folder's own name may hold a dot in a temporary path; use a relative one.
    tavtest::CurrentFolder here(folder.path());
    EXPECT_FALSE(gf_saveUpto3GenerationsOf("nodot"));
    EXPECT_TRUE(log.contains("==> gf_saveUpto3GenerationsOf: no dot in filename: nodot"));
    gf_save1GenerationOf("nodot");
    EXPECT_TRUE(log.contains("==> gf_save1GenerationOf: no dot in filename: nodot"));
    EXPECT_EQ(std::distance(fs::directory_iterator(folder.path()), fs::directory_iterator()), 1);
}
