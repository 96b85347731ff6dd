#include "livery_fixture.h"

#include <algorithm>
#include <atomic>
#include <set>
#include <thread>

#include "foundation/scan_tasks.h"
#include "foundation/stop_state.h"
#include "support/test_support.h"

using namespace liverytest;

namespace {

std::string minimalCfg(std::string_view title)
{
    return "[General]\natc_model=B738\n" + klmSection("[fltsim.0]", title);
}

std::vector<std::string> scannedTitles()
{
    std::vector<std::string> titles;
    for (const LiveryData& l : g_scannedLiveries)
        titles.push_back(l.title);
    return titles;
}

struct LiveryWalk : LiveryScan {
    ~LiveryWalk() override { gf_setScanTasksMax(std::thread::hardware_concurrency()); }
};

} // namespace

// A folder that cannot be read, and titles that several files carry, come in every
// generated collection (test_livery_collection.py).
TEST_F(LiveryWalk, ReadsConfigurationFilesByNameAndSkipsAirportFoldersBelowTheLiveryFolder)
{
    tavtest::TempFolder temp("walk");
    const fs::path root = temp / "airports_and_planes";
    const std::vector<std::pair<std::string, std::string>> files = {
        {"a/Aircraft.Cfg", "read A"},          {"b/sim.CFG", "read B"},     {"c/aircraft.cfg.bak", "bak"},
        {"d/aircraft_old.cfg", "old"},         {"stock airport/x/aircraft.cfg", "airport"},
        {"My Airport/aircraft.cfg", "read C"},
    };
    for (const auto& [file, title] : files) {
        const fs::path path = root / gf_pathFromUtf8(file);
        writeLiveryFolder(path.parent_path(), gf_pathToUtf8(path.filename()), minimalCfg(title));
    }
    // The folder of a 249-byte path is entered, one of 250 bytes is not.
    const size_t rootBytes = gf_pathToUtf8(root).size();
    for (const size_t bytes : {249u, 250u}) {
        const fs::path folder = root / std::string(bytes - rootBytes - 1, static_cast<char>('a' + bytes % 10));
        ASSERT_EQ(gf_pathToUtf8(folder).size(), bytes);
        writeLiveryFolder(folder, "aircraft.cfg", minimalCfg(fmt::format("long {}", bytes)));
    }
    // IVAO_MTL in exactly this spelling goes to the IVAO task.
    // (in folders of their own: Windows takes the two spellings for one name)
    for (const auto& [parent, mtl] : {std::pair{"x", "IVAO_MTL"}, std::pair{"y", "Ivao_Mtl"}})
        writeLiveryFolder(root / parent / mtl / "IVAO_B738w", "aircraft.cfg",
                          "[fltsim.0]\ntitle=B738KLM " + std::string(mtl) + "\nsim=B738\nmodel=\ntexture=KLM\n");

    lf_scanLiveriesFolder(3, root);
    std::vector<std::string> titles = scannedTitles();
    std::sort(titles.begin(), titles.end());
    EXPECT_EQ(titles, (std::vector<std::string>{"B738KLM IVAO_MTL", "long 249", "read A", "read B", "read C"}));
    EXPECT_TRUE(std::all_of(g_scannedLiveries.begin(), g_scannedLiveries.end(),
                            [](const LiveryData& l) { return l.lfolder == 3; }));
    EXPECT_EQ(reportsText(root), "file: Line atc_model= is missing in [General] section of <F>/y/Ivao_Mtl/IVAO_B738w/aircraft.cfg");
}

TEST_F(LiveryWalk, NeverRunsMoreTasksThanTheLimitAndKeepsTheStartOrder)
{
    tavtest::TempFolder root("order");
    for (int i = 0; i < 120; ++i)
        writeLiveryFolder(root / fmt::format("f{}", i), "aircraft.cfg", minimalCfg(fmt::format("t{}", i)));
    std::vector<std::string> listed;
    for (const fs::directory_entry& e : fs::recursive_directory_iterator(root.path())) {
        if (e.path().filename() == "aircraft.cfg")
            listed.push_back(fmt::format("t{}", gf_pathToUtf8(e.path().parent_path().filename()).substr(1)));
    }
    gf_setScanTasksMax(4);
    std::atomic<bool> done{false};
    std::atomic<int32_t> most{0};
    std::thread watcher([&] {
        while (!done) {
            most = std::max(most.load(), g_scanTasksRunning.load());
            std::this_thread::yield();
        }
    });
    lf_scanLiveriesFolder(1, root.path());
    done = true;
    watcher.join();
    EXPECT_LE(most.load(), 4);
    EXPECT_EQ(scannedTitles(), listed);
}
