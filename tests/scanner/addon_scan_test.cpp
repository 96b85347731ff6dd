#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <thread>

#include <fmt/format.h>
#include <pugixml.hpp>

#include "control/service_internal.h"
#include "foundation/folder_walk.h"
#include "foundation/user_error.h"
#include "scanner/scan_fixture.h"

namespace fs = std::filesystem;
using scantest::ScanTest;

namespace {

// One airport with one parking.
std::string lf_airportFile(std::string_view path, std::string_view code)
{
    return fmt::format("file \"{}\"\nsection\nairport {}\nparking 1 1 1 10 0 47.2 11.3\n", path, code);
}

std::string lf_userError(const std::function<void()>& call)
{
    try {
        call();
    } catch (const tav::UserErrorException& e) {
        return e.what();
    }
    return "no user error";
}

std::vector<std::string> lf_parkposIds(const fs::path& file)
{
    pugi::xml_document doc;
    EXPECT_TRUE(doc.load_file(file.c_str())) << file;
    std::vector<std::string> ids;
    for (const pugi::xml_node p : doc.child("root").child("parkpositions").children("parkpos"))
        ids.push_back(p.attribute("id").as_string());
    return ids;
}

} // namespace

TEST_F(ScanTest, AFixtureTreeIsLinkedOrGeneratedByPublisherWithItsScanLogAndTheStockFolderSkipped)
{
    std::string eddf = "file Orbx/EDDF/scenery/ADE_EDDF.bgl\nsection\nairport EDDF\n"
                       "helipad 50.03 8.57 20 0\nhelipad 50.04 8.57 20 0\n"
                       "parking 1 1 10 10 0 50.01 8.51\nparking 12 1 1 10 0 50.02 8.52\nparking 10 8 2 10 0 50.03 8.53\n";
    for (int i = 3; i < 12; ++i)
        eddf += fmt::format("parking 2 1 {} 10 0 50.0{} 8.5{}\n", i, i + 10, i + 10);
    const fs::path root = tree(eddf + "file orbx_lib/EDDM.BGL\nsection\nairport EDDM\nparking 1 1 1 10 0 48.3 11.7\n" +
                               lf_airportFile("Sceneries FTX2/EHAM/a.bgl", "EHAM") +
                               lf_airportFile("Other/LOWW/AF2_LOWW.bgl", "LOWW") +
                               lf_airportFile("Other/Statics/LOWI.bgl", "LOWI") +
                               lf_airportFile("More/statics/LOWS.bgl", "LOWS") +
                               lf_airportFile("Other/_heliports/LOWK.bgl", "LOWK") +
                               lf_airportFile("Other/LOWG.bgl.bak", "LOWG") +
                               lf_airportFile("Other/ZZZZ.bgl", "ZZZZ") + "file Other/objects.bgl\nsection type=0x22\n" +
                               lf_airportFile("stock/LOWG.bgl", "LOWG") + lf_airportFile("Stock2/LOWG.bgl", "LOWG"));
    // The stock folder is not entered, whatever the case of its name; "Stock2" is no part of it.
    g_stockAirportsPath = root / "Stock";
    gf_scanAddonAirports();

    const std::string rootText = gf_pathToUtf8(root);
    EXPECT_EQ(sorted(gf_readFile(gf_paths().airportsScanLog)),
              sorted({
                  "Scanning for addon  airports in " + rootText,
                  "from filename => publisher simaddon",
                  "EDDF does not exist as simaddon",
                  "Generated EDDF.xml: 14 positions, of which 2 helipads",
                  "from filename => publisher simaddon",
                  "simaddon airport EDDM linked to archive/simaddon/EDDM.xml",
                  "thirdparty airport EHAM linked to archive/thirdparty/Fly%20Tampa/EHAM.xml",
                  "Generated LOWW.xml: 1 position",
                  "Generated LOWI.xml: 1 position",
                  "Generated LOWG.xml: 1 position",
                  "ZZZZ is not an airport supported by RealTraffic ",
              }));
    const ProgramPaths& p = gf_paths();
    EXPECT_EQ(lf_parkposIds(p.myOrbx / "EDDF.xml"),
              (std::vector<std::string>{"A1", "g2", "helipad1", "helipad2", "p10", "p11", "p3", "p4", "p5", "p6",
                                        "p7", "p8", "p9", "r10"}));
    EXPECT_EQ(tavtest::readFile(p.myOrbx / "EDDM.txt"), "archive/simaddon/EDDM.xml\n");
    EXPECT_EQ(tavtest::readFile(p.myThirdparty / "EHAM.txt"), "archive/thirdparty/Fly%20Tampa/EHAM.xml\n");
    EXPECT_NE(tavtest::readFile(p.myThirdparty / "LOWW.xml").find(
                  fmt::format("name=\"BGLpath\" value=\"{}\"", gf_pathToUtf8(root / "Other" / "LOWW" / "AF2_LOWW.bgl"))),
              std::string::npos);
    EXPECT_TRUE(log_.contains("==> Fly Tampa EHAM EHAM invalid number\n"));
    // LOWW, LOWI and LOWG are known third-party airports: they wait in tblo.zip to be mailed.
    EXPECT_TRUE(g_tbloWritten);
    EXPECT_EQ(scantest::zipEntries(p.tblo / "tblo.zip"),
              (std::map<std::string, std::string>{{"LOWG.xml", tavtest::readFile(p.myThirdparty / "LOWG.xml")},
                                                  {"LOWI.xml", tavtest::readFile(p.myThirdparty / "LOWI.xml")},
                                                  {"LOWW.xml", tavtest::readFile(p.myThirdparty / "LOWW.xml")}}));
    EXPECT_EQ(scantest::names(p.tblo), std::vector<std::string>{"tblo.zip"});
    EXPECT_TRUE(log_.contains("\n! Mail tblo\\tblo.zip to support@tavelorium.org\n"));
    EXPECT_TRUE(called("enable 32804 1"));
    EXPECT_TRUE(log_.contains("Airports scan successful\n"));
    EXPECT_FALSE(SCAN_AIRPORTS.value);
    EXPECT_EQ(storedValue("SCAN_AIRPORTS"), "false");
    EXPECT_TRUE(called("check 32802 0"));
}

TEST_F(ScanTest, FolderSettingsGiveTheUserErrorsOrTheFoldersToScan)
{
    tavtest::writeFile(gf_paths().myOrbx / "EDDF.xml", "old");
    EXPECT_EQ(lf_userError(gf_scanAddonAirports), "49: Exit Tavelorium_P3D first!   Then set one or more afolder "
                                                  "parameters to your add-on airports, see Manual 6.2");
    EXPECT_EQ(scantest::g_explorerPaths, (std::vector<fs::path>{gf_paths().manual, gf_parametersPath()}));
    EXPECT_TRUE(fs::exists(gf_paths().myOrbx / "EDDF.xml"));
    EXPECT_TRUE(fs::is_directory(gf_paths().tblo));

    // Without an install path nothing is stock: a bare "Scenery" would exclude too much.
    SIM_INSTALL_PATH.setValue("");
    lf_setStockAirportsPath();
    EXPECT_TRUE(g_stockAirportsPath.empty());
    const fs::path sim = fs::absolute("P3D");
    SIM_INSTALL_PATH.setValue(gf_pathToUtf8(sim));
    lf_setStockAirportsPath();
    EXPECT_EQ(g_stockAirportsPath, sim / "Scenery");
    const std::string stock = "42: parameter afolder3 points to stock airports instead of add-on airports!";
    for (const auto& [folder, expected] : {std::pair{sim / "scenery" / "World", stock}, {sim / "Scenery", stock},
                                           {sim / "Scenery2", ""}, {sim, ""}}) {
        afolder[3].setValue(gf_pathToUtf8(folder));
        std::vector<fs::path> folders;
        EXPECT_EQ(lf_userError([&] { lf_readAfolderParams(folders); }), expected.empty() ? "no user error" : expected)
            << folder;
    }
    g_stockAirportsPath.clear();
    std::vector<fs::path> folders;
    afolder[3].setValue(gf_pathToUtf8(sim / "Scenery" / "addons"));
    EXPECT_EQ(lf_userError([&] { lf_readAfolderParams(folders); }), "no user error");
}

TEST_F(ScanTest, TwoFilesOfOneAirportKeepTheMoreStandsAndAnUnwritableLinkGivesAGeneratedFile)
{
    std::string big = "file b/EDDF.bgl\nsection\nairport EDDF\n";
    for (int i = 1; i <= 3; ++i)
        big += fmt::format("parking 1 1 {} 10 0 50.0{} 8.5\n", i, i);
    tree(big + lf_airportFile("a/EDDF.bgl", "EDDF") + lf_airportFile("c/EDDF.bgl", "EDDF") +
         lf_airportFile("orbx/EDDM.bgl", "EDDM"));
    // A folder in the link file's place, which the scan's clean-up cannot remove either.
    fs::create_directories(gf_paths().myOrbx / "EDDM.txt");
    tavtest::writeFile(gf_paths().myOrbx / "EDDM.txt" / "x", "x");
    gf_scanAddonAirports();
    EXPECT_EQ(lf_parkposIds(gf_paths().myThirdparty / "EDDF.xml"), (std::vector<std::string>{"r1", "r2", "r3"}));
    EXPECT_TRUE(fs::exists(gf_paths().myOrbx / "EDDM.xml"));
    EXPECT_TRUE(log_.contains("lf_processBglAirport: could not write "));
    std::vector<std::string> eddm = gf_readFile(gf_paths().airportsScanLog);
    std::erase_if(eddm, [](const std::string& line) { return line.find("EDDM") == std::string::npos; });
    EXPECT_EQ(eddm, std::vector<std::string>{"Generated EDDM.xml: 1 position"});
}

namespace {

fs::path g_heldPath;
std::atomic<int32_t> g_running{0}, g_mostRunning{0}, g_started{0};
std::atomic<bool> g_heldEnded{false};
std::promise<void> g_release;

// The task of the walk's first file is held until the whole scan has given up on it (2 s
// at most), then decodes its file; every task counts how many run at once.
void lf_countingTask(const fs::path& path)
{
    const int32_t now = ++g_running;
    for (int32_t most = g_mostRunning; now > most && !g_mostRunning.compare_exchange_weak(most, now);) {
    }
    ++g_started;
    if (path == g_heldPath) {
        --g_running;
        g_release.get_future().wait_for(std::chrono::seconds(2));
        lf_processBGLfile(path);
        g_heldEnded = true;
        return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    --g_running;
}

} // namespace

TEST_F(ScanTest, TasksStayWithinTheLimitAndATaskPastItLeavesNoTrace)
{
    std::string files;
    for (int i = 0; i < 12; ++i)
        files += lf_airportFile(fmt::format("f{}/EDDF.bgl", i), "EDDF");
    const fs::path root = tree(files);
    g_heldPath.clear();
    g_running = g_mostRunning = g_started = 0;
    g_heldEnded = false;
    // The walk meets the files in the order of an unchanged folder's listing.
    FolderWalk walk(root, "test");
    for (auto entry = walk.next(); entry && g_heldPath.empty(); entry = walk.next()) {
        if (entry->is_regular_file())
            g_heldPath = entry->path();
    }
    // Long enough that no other task, even on a loaded machine, outlasts it.
    gf_setBglTaskWaitForTests(std::chrono::milliseconds(250));
    gf_setBglFileTaskForTests(&lf_countingTask);
    g_release = {};
    gf_scanAddonAirports();
    g_release.set_value();
    while (!g_heldEnded)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_EQ(g_started, 12);
    EXPECT_LE(g_mostRunning, 4);
    EXPECT_TRUE(log_.contains("==> airports search abandons 1 file task still running after 250 ms"));
    EXPECT_FALSE(fs::exists(gf_paths().myThirdparty / "EDDF.xml"));
    const std::vector<std::string> lines = gf_readFile(gf_paths().airportsScanLog);
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(std::vector<std::string>(lines.begin() + 1, lines.begin() + 4),
              (std::vector<std::string>{"===>  airports search aborted, futs inner,",
                                        "Future wait timed out after 10 seconds", "5"}));
    EXPECT_EQ(storedValue("SCAN_AIRPORTS"), "false");
    EXPECT_TRUE(log_.contains("Warning: Scan has not found any add-on airports\n"));
}

TEST_F(ScanTest, AStoppedScanStaysAskedFor)
{
    tree(lf_airportFile("a/EDDF.bgl", "EDDF") + lf_airportFile("b/EDDM.bgl", "EDDM"));
    gf_setBglFileTaskForTests([](const fs::path&) { gf_requestClosingDown(CloseReason::NewSettings, 0); });
    SCAN_AIRPORTS.value = true;
    gf_scanAddonAirports();
    EXPECT_TRUE(SCAN_AIRPORTS.value);
    EXPECT_FALSE(fs::exists(file()));
    EXPECT_TRUE(log_.contains("Airports scan incomplete: it runs again at the next start\n"));
    EXPECT_FALSE(log_.contains("Warning: Scan has not found"));
}

// Some network redirectors and FUSE mounts give no folder id. Three links back up to the
// root turned two airports into 728 decoding tasks, and one 16 folders down was not found;
// each is decoded once, with ids or without. A folder that a second folder setting names
// again within the first is not walked again.
TEST_F(ScanTest, EveryAirportFileIsDecodedOnceHoweverManyWaysLeadToIt)
{
    std::string deep = "Deep";
    for (int level = 2; level <= 16; ++level)
        deep += fmt::format("/d{}", level);
    const fs::path root =
        tree(lf_airportFile("Other/LOWW/AF2_LOWW.bgl", "LOWW") + lf_airportFile(deep + "/LOWG.bgl", "LOWG"));
    std::error_code ec;
    const std::pair<const char*, const char*> links[] = {
        {"Other/LOWW/up", "../.."}, {"Other/home", ".."}, {"Deep/back", ".."}};
    for (const auto& [link, target] : links) {
        fs::create_directory_symlink(target, root / link, ec);
        if (ec)
            GTEST_SKIP() << "no folder links here: " << ec.message();
    }
    struct FaultsOff {
        ~FaultsOff() { gf_setFolderIdFaultsForTests({}); }
    } faultsOff;
    const std::string rootText = gf_pathToUtf8(root);
    for (const bool withoutIds : {true, false}) {
        gf_setFolderIdFaultsForTests({.indexZero = withoutIds, .noResolvedPath = withoutIds});
        std::vector<std::string> expected = {"Scanning for addon  airports in " + rootText,
                                             "Generated LOWW.xml: 1 position", "Generated LOWG.xml: 1 position"};
        if (!withoutIds) {
            afolder[1].setValue(gf_pathToUtf8(root / "Other"));
            expected.push_back("Scanning for addon  airports in " + gf_pathToUtf8(root / "Other"));
        }
        gf_scanAddonAirports();
        EXPECT_EQ(sorted(gf_readFile(gf_paths().airportsScanLog)), sorted(expected)) << withoutIds;
    }
}
