// Folder identity and the walk's loop guard.
#include <gtest/gtest.h>

#include <map>
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
        // An index that may repeat, with no path to tell two folders of it apart: no id,
        // rather than one that could make two folders one.
        {42, false, "", "none"}};
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

namespace {

// The files a walk meets, by their path below the root, each with the times it was met.
std::map<std::string, int> lf_filesMet(const fs::path& root)
{
    std::map<std::string, int> met;
    FolderWalk walk(root, "test walk");
    while (const std::optional<fs::directory_entry> entry = walk.next()) {
        if (entry->is_regular_file())
            ++met[entry->path().lexically_relative(root).generic_string()];
    }
    return met;
}

struct FaultsOff {
    ~FaultsOff() { gf_setFolderIdFaultsForTests({}); }
};

} // namespace

// Neither a file index nor a resolved path: three links back up to the root and one to its
// own parent end where they lead back, so every file is met once, by its own path; a file
// 16 folders down and one below a chain of like folders X\X\X are met too. With the ids
// the same.
TEST(FolderWalk, WithoutFolderIdsALoopOfLinksEndsAtTheLinkAndEveryFileIsMetOnceAtAnyDepth)
{
    tavtest::TempFolder tree;
    const fs::path root = tree.path();
    std::string deep = "d1";
    for (int level = 2; level <= 16; ++level)
        deep += fmt::format("/d{}", level);
    const std::vector<std::string> files = {"a/aircraft.cfg", "a/b/EDDF.bgl", "c/LOWW.bgl", deep + "/DEEP.bgl",
                                            "x/x/x/x/CHAIN.bgl"};
    for (const std::string& file : files) {
        fs::create_directories((root / file).parent_path());
        tavtest::writeFile(root / file, "x");
    }
    std::error_code ec;
    const std::pair<const char*, const char*> links[] = {
        {"a/b/up", "../.."}, {"c/home", ".."}, {"a/root", ".."}, {"a/again", "../a"}};
    for (const auto& [link, target] : links) {
        fs::create_directory_symlink(target, root / link, ec);
        if (ec)
            GTEST_SKIP() << "no folder links here: " << ec.message();
    }
    std::map<std::string, int> once;
    for (const std::string& file : files)
        once[file] = 1;
    FaultsOff faultsOff;
    for (const bool withoutIds : {true, false}) {
        gf_setFolderIdFaultsForTests({.indexZero = withoutIds, .noResolvedPath = withoutIds});
        tavtest::LogCapture log;
        EXPECT_EQ(lf_filesMet(root), once) << withoutIds;
        const std::string text = log.text();
        EXPECT_NE(text.find("Folder " + (root / "a" / "b" / "up").string() + " skipped: " +
                            (withoutIds ? "it holds just what a folder above it holds, a link led back up"
                                        : "it was entered before through another path")),
                  std::string::npos)
            << text;
        EXPECT_EQ(text.find("does not enter"), std::string::npos) << text;
    }
}

// A chain of single folders tells nothing by what they hold: without ids it is walked 64
// folders deep, the bound logged once, and no deeper.
TEST(FolderWalk, WithoutFolderIdsAChainOfSingleFoldersEndsAtTheDepthBoundLoggedOnce)
{
    tavtest::TempFolder tree;
    fs::path chain = tree.path();
    for (int level = 1; level <= 65; ++level)
        chain /= "s";
    fs::create_directories(chain);
    tavtest::writeFile(chain.parent_path() / "IN.bgl", "x");
    tavtest::writeFile(chain / "OUT.bgl", "x");
    FaultsOff faultsOff;
    gf_setFolderIdFaultsForTests({.indexZero = true, .noResolvedPath = true});
    tavtest::LogCapture log;
    std::vector<std::string> met;
    for (const auto& [path, times] : lf_filesMet(tree.path()))
        met.push_back(fmt::format("{} {}", fs::path(path).filename().string(), times));
    EXPECT_EQ(met, std::vector<std::string>{"IN.bgl 1"});
    const std::string text = log.text();
    EXPECT_NE(text.find("test walk does not enter " + chain.string() +
                        ": its file id cannot be read and it lies 65 folders deep"),
              std::string::npos)
        << text;
    EXPECT_EQ(text.find("does not enter"), text.rfind("does not enter")) << text;
    EXPECT_EQ(text.find("skip"), std::string::npos) << text;
}
