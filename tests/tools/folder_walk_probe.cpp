// Walks a folder as the two scans walk theirs, for the link-loop tests (under Wine the
// tree's links are made outside the program).
//   folder_walk_probe <folder>
// Prints airports=<files the add-on scan's walk met> and liveries=<configuration files
// the livery walk handed to a task>.
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <optional>

#include "catalogue/livery_scan_internal.h"
#include "foundation/folder_walk.h"
#include "foundation/text.h"

namespace fs = std::filesystem;

namespace {

std::atomic<int> g_cfgFiles{0};

std::vector<LiveryData> lf_countCfg(uint32_t, const fs::path&)
{
    ++g_cfgFiles;
    return {};
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fputs("usage: folder_walk_probe <folder>\n", stderr);
        return 2;
    }
    const fs::path root = gf_pathFromUtf8(argv[1]);
    int files = 0;
    FolderWalk walk(root, "probe");
    for (std::optional<fs::directory_entry> entry = walk.next(); entry; entry = walk.next())
        files += entry->is_regular_file() ? 1 : 0;
    gf_setLiveryFileTaskForTests(&lf_countCfg);
    lf_scanLiveriesFolder(1, root);
    std::printf("airports=%d\nliveries=%d\n", files, g_cfgFiles.load());
    return 0;
}
