// Folder identity and the walk's loop guard.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <system_error>
#include <tuple>
#include <vector>

#include <fmt/format.h>

#include "foundation/folder_walk.h"
#include "support/test_support.h"

namespace fs = std::filesystem;

TEST(FolderId, TheFileIndexTellsFoldersApartOnNtfsAndFatOrWhenNoResolvedPathIsToBeHad)
{
    const std::vector<std::pair<std::string, bool>> systems = {
        {"NTFS", true},  {"ntfs", true},  {"FAT", true},   {"FAT32", true}, {"exFAT", true},
        {"ReFS", false}, {"", false},     {"NFS", false},  {"CSVFS", false}, {"NTFS ", false}};
    for (const auto& [name, unique] : systems)
        EXPECT_EQ(gf_fileIndexIsUnique(name), unique) << name;

    const auto text = [](const std::optional<FolderId>& id) {
        return id ? fmt::format("{}/{}/{}", id->volume, id->index, id->resolvedPath) : std::string("none");
    };
    const std::vector<std::tuple<uint64_t, bool, std::string, std::string>> rows = {
        {42, true, "C:\\Addons\\A", "7/42/"},
        {0, true, "C:\\Addons\\A", "7/0/C:\\Addons\\A"},
        {42, false, "C:\\Addons\\A", "7/0/C:\\Addons\\A"},
        {0, true, "", "none"},
        {42, false, "", "7/42/"}};
    for (const auto& [index, unique, path, expected] : rows)
        EXPECT_EQ(text(gf_folderIdOf(7, index, unique, path)), expected) << index << unique << path;
    // Two folders of one index on a file system that may repeat it stay apart by path.
    EXPECT_NE(gf_folderIdOf(7, 42, false, "C:\\A"), gf_folderIdOf(7, 42, false, "C:\\B"));
    EXPECT_EQ(gf_folderIdOf(7, 0, true, "C:\\A"), gf_folderIdOf(7, 0, true, "C:\\A"));
}

TEST(FolderWalk, AFolderReachedAgainThroughALinkIsWalkedOnceAndTheSkipIsLogged)
{
    tavtest::TempFolder tree;
    fs::create_directories(tree / "a" / "b");
    tavtest::writeFile(tree / "a" / "b" / "file.txt", "x");
    std::error_code ec;
    fs::create_directory_symlink("../..", tree / "a" / "b" / "up", ec);
    if (ec)
        GTEST_SKIP() << "no folder links here: " << ec.message();
    tavtest::LogCapture log;
    FolderWalk walk(tree.path(), "test walk");
    int files = 0;
    while (const std::optional<fs::directory_entry> entry = walk.next()) {
        if (entry->path().filename() == "file.txt")
            ++files;
    }
    EXPECT_EQ(files, 1);
    EXPECT_TRUE(log.contains("Folder " + (tree / "a" / "b" / "up").string() +
                             " skipped: it was entered before through another path"))
        << log.text();
}

// Neither a file index nor a resolved path: the folder is walked all the same, and a loop
// of links through such folders ends at the walk's depth bound, logged once.
TEST(FolderWalk, AFolderWithoutAnIdIsWalkedAndALoopThroughItEndsAtTheDepthBound)
{
    tavtest::TempFolder tree;
    fs::create_directories(tree / "a" / "b");
    tavtest::writeFile(tree / "a" / "b" / "file.txt", "x");
    std::error_code ec;
    fs::create_directory_symlink("../..", tree / "a" / "b" / "up", ec);
    if (ec)
        GTEST_SKIP() << "no folder links here: " << ec.message();
    struct FaultsOff {
        ~FaultsOff() { gf_setFolderIdFaultsForTests({}); }
    } faultsOff;
    gf_setFolderIdFaultsForTests({.indexZero = true, .noResolvedPath = true});
    tavtest::LogCapture log;
    FolderWalk walk(tree.path(), "test walk");
    int files = 0;
    while (const std::optional<fs::directory_entry> entry = walk.next()) {
        if (entry->path().filename() == "file.txt")
            ++files;
    }
    EXPECT_GE(files, 1);
    const std::string text = log.text();
    const std::string bound = "its file id cannot be read and it lies";
    EXPECT_EQ(text.find(bound), text.rfind(bound));
    EXPECT_NE(text.find("test walk does not enter " + tree.path().string()), std::string::npos) << text;
    EXPECT_EQ(text.find("skips"), std::string::npos) << text;
}
