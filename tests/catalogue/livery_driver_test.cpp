#include "livery_fixture.h"

#include <algorithm>
#include <atomic>
#include <future>
#include <thread>

#include "catalogue/liveries.h"
#include "catalogue/livery_tables.h"
#include "foundation/folders.h"
#include "foundation/scan_tasks.h"
#include "foundation/settings_catalogue.h"
#include "foundation/stop_state.h"
#include "support/test_support.h"

using namespace liverytest;
using namespace std::chrono_literals;

namespace {

std::string cfgOf(std::string_view airline, std::string_view title, std::string_view reg)
{
    return "[General]\natc_model=B738\n" +
           fmt::format("[fltsim.0]\ntitle={}\nsim=B738\nmodel=\ntexture=KLM\natc_parking_codes={}\natc_id={}\n",
                       title, airline, reg);
}

// A file task that can hold tasks back.
struct TaskSpy {
    std::atomic<int> calls{0};
    std::atomic<int> held{0};
    std::promise<void> release;
    std::shared_future<void> go = release.get_future().share();
    bool (*holds)(int call, const fs::path& file) = nullptr;
};
TaskSpy* g_spy = nullptr;

std::vector<LiveryData> spyTask(uint32_t lfolder, const fs::path& file)
{
    const int call = ++g_spy->calls;
    if (g_spy->holds && g_spy->holds(call, file)) {
        ++g_spy->held;
        g_spy->go.wait();
        lf_addIncompleteSection("late " + gf_pathToUtf8(file.parent_path().filename()));
        return {gf_makeLiveryData(lfolder, "KLM", "B738", true, "late " + std::to_string(call), "")};
    }
    return lf_searchLiveriesinFile(lfolder, file);
}

class LiveryDriver : public LiveryScan {
protected:
    void SetUp() override
    {
        LiveryScan::SetUp();
        gf_overrideDataFolder(fs::current_path());
        fs::create_directories(gf_paths().outputInfo);
        for (StringParameter& p : lfolder)
            p.setValue("");
        SCAN_LIVERIES.value = true;
        LIG_PRIORITIZE.value = true;
        gf_setLiveryFileTaskForTests(&spyTask);
        g_spy = &spy_;
    }
    void TearDown() override
    {
        spy_.release.set_value();
        while (g_scanTasksRunning.load() > 0)
            std::this_thread::sleep_for(1ms);
        gf_setLiveryFileTaskForTests(nullptr);
        gf_setLiveryTaskWaitForTests(10s);
        gf_setScanTasksMax(std::thread::hardware_concurrency());
        gf_resetStopState();
        for (StringParameter& p : lfolder)
            p.setValue("");
        SCAN_LIVERIES.value = true;
        LIG_PRIORITIZE.value = true;
        g_spy = nullptr;
        LiveryScan::TearDown();
    }

    // The scan's records as LiveriesScanned.xml gives them back.
    std::string savedRecords()
    {
        gf_readLiveriesScanned();
        return recordsText(g_scannedLiveries);
    }

    std::string scanError()
    {
        try {
            gf_scanLiveries();
            return "";
        } catch (const std::exception& e) {
            return e.what();
        }
    }

    TaskSpy spy_;
    tavtest::TempFolder liveries_{"liveries"};
};

} // namespace

TEST_F(LiveryDriver, SetFoldersAreNumberedInOrderAndTheFirstKeepsItsAirlineAndType)
{
    writeLiveryFolder(liveries_ / "A/a", "aircraft.cfg", cfgOf("KLM", "KLM A", "PH-QQA"));
    writeLiveryFolder(liveries_ / "B/b1", "aircraft.cfg", cfgOf("KLM", "KLM B", "PH-QQB"));
    writeLiveryFolder(liveries_ / "B/b2", "aircraft.cfg", cfgOf("DLH", "DLH B", "D-QQQB"));
    lfolder[3].setValue(gf_pathToUtf8(liveries_ / "A"));
    lfolder[7].setValue(gf_pathToUtf8(liveries_ / "B"));

    EXPECT_EQ(scanError(), "");
    EXPECT_EQ(savedRecords(), "DLH B738 'DLH B' D-QQQB 0 pax\nKLM B738 'KLM A' PH-QQA 0 pax");
    EXPECT_FALSE(SCAN_LIVERIES.value);
    EXPECT_NE(tavtest::readFile(gf_parametersPath()).find("name=\"SCAN_LIVERIES\" value=\"false\""), std::string::npos);
    for (const std::string& line : {fmt::format("\n1 liverie found in {}\n", gf_pathToUtf8(liveries_ / "A")),
                                    fmt::format("\n2 liveries found in {}\n", gf_pathToUtf8(liveries_ / "B")),
                                    std::string("\n3 in total\n"), std::string("\n2 liveries in ")})
        EXPECT_TRUE(log_.contains(line)) << line;

    LIG_PRIORITIZE.value = false;
    EXPECT_EQ(scanError(), "");
    EXPECT_EQ(savedRecords(),
              "DLH B738 'DLH B' D-QQQB 0 pax\nKLM B738 'KLM A' PH-QQA 0 pax\nKLM B738 'KLM B' PH-QQB 0 pax");
}

TEST_F(LiveryDriver, FolderSettingsEmptyFoldersAndAFailedSaveLeaveTheScanAskedFor)
{
#ifndef _WIN32 // the shell would show the manual or a message box
    EXPECT_EQ(scanError(), "48: Exit Tavelorium_P3D first!   Then set one or more lfolder parameters to your "
                           "liveries, see Manual 5.3");
    EXPECT_TRUE(log_.contains("==> Could not open local folder with Manual\n"));
#endif
    lfolder[2].setValue(gf_pathToUtf8(liveries_ / "missing"));
    EXPECT_EQ(scanError(), "243: the path pointed to by parameter 'lfolder2' does not exist, see Log.txt!");
    EXPECT_TRUE(log_.contains(fmt::format("==> lfolder2: '{}' does not exist\n", gf_pathToUtf8(liveries_ / "missing"))));

    tavtest::writeFile(gf_paths().liveriesScanned, "old");
    lfolder[2].setValue(gf_pathToUtf8(liveries_.path()));
    EXPECT_EQ(scanError(), "53: no liveries found");
    EXPECT_EQ(tavtest::readFile(gf_paths().liveriesScanned), "old");

    writeLiveryFolder(liveries_ / "a", "aircraft.cfg", cfgOf("KLM", "KLM A", "PH-QQA"));
    fs::remove(gf_paths().liveriesScanned);
    fs::create_directories(gf_paths().liveriesScanned / "blocker");
    EXPECT_EQ(scanError(), "");
    EXPECT_TRUE(log_.contains("==> gf_writeLiveriesScanned: could not write output"));
    EXPECT_TRUE(SCAN_LIVERIES.value);
}

TEST_F(LiveryDriver, AStopMidScanKeepsTheLastResultAndTheNextScanFindsEveryTitle)
{
    for (int i = 0; i < 6; ++i)
        writeLiveryFolder(liveries_ / std::to_string(i), "aircraft.cfg", cfgOf("KLM", fmt::format("KLM {}", i), "PH-QQA"));
    lfolder[0].setValue(gf_pathToUtf8(liveries_.path()));
    tavtest::writeFile(gf_paths().liveriesScanned, "old");
    spy_.holds = [](int call, const fs::path&) { return call == 3; };
    gf_setScanTasksMax(2);
    std::thread closer([this] {
        while (spy_.held.load() == 0)
            std::this_thread::sleep_for(1ms);
        gf_requestClosingDown(CloseReason::UserClosedSim, 0);
    });
    EXPECT_EQ(scanError(), "");
    closer.join();
    EXPECT_EQ(tavtest::readFile(gf_paths().liveriesScanned), "old");
    EXPECT_TRUE(SCAN_LIVERIES.value);
    EXPECT_FALSE(log_.contains("liveries in"));

    // The next scan waits for the task the stopped one left behind, then finds every title.
    gf_resetStopState();
    spy_.holds = nullptr;
    std::string rescan = "not run";
    std::thread scanner([&] { rescan = scanError(); });
    spy_.release.set_value();
    scanner.join();
    spy_.release = {};
    EXPECT_EQ(rescan, "");
    EXPECT_FALSE(fs::exists(gf_paths().incompleFltsimSections)); // the left task's "late" line went with the old lists
    gf_readLiveriesScanned();
    EXPECT_EQ(g_scannedLiveries.size(), 6u);
    EXPECT_FALSE(SCAN_LIVERIES.value);
}

TEST_F(LiveryDriver, ATaskSlowerThanTheWaitIsLeftOutAndWhatItStillReportsIsDropped)
{
    // Folder A: the first task started is held, so that later files make it the oldest
    // pending one; folder B: its only task is held until the walk ends.
    for (int i = 0; i < 5; ++i)
        writeLiveryFolder(liveries_ / "A" / std::to_string(i), "aircraft.cfg", cfgOf("KLM", fmt::format("A {}", i), "PH-QQA"));
    writeLiveryFolder(liveries_ / "B" / "slow", "aircraft.cfg", cfgOf("KLM", "B slow", "PH-QQA"));
    lfolder[0].setValue(gf_pathToUtf8(liveries_ / "A"));
    lfolder[1].setValue(gf_pathToUtf8(liveries_ / "B"));
    spy_.holds = [](int call, const fs::path& file) { return call == 1 || file.parent_path().filename() == "slow"; };
    gf_setScanTasksMax(2);
    gf_setLiveryTaskWaitForTests(50ms);
    std::thread releaser([this] {
        for (int i = 0; i < 400 && !log_.contains("==> liveries search abandons 2 file tasks"); ++i)
            std::this_thread::sleep_for(5ms);
        spy_.release.set_value();
    });
    EXPECT_EQ(scanError(), "");
    releaser.join();
    while (g_scanTasksAlive.load() > 0)
        std::this_thread::sleep_for(1ms);
    spy_.release = {};
    EXPECT_TRUE(log_.contains("==> liveries inner search aborted: Future wait timed out after 10 seconds\n"));
    EXPECT_TRUE(log_.contains("==> liveries search aborted, futs outer, Future wait timed out after 10 seconds\n"));
    gf_readLiveriesScanned();
    EXPECT_EQ(g_scannedLiveries.size(), 4u); // A 0..4 but the held one
    EXPECT_FALSE(fs::exists(gf_paths().incompleFltsimSections)); // the held tasks' "late" lines are dropped
    EXPECT_TRUE(g_incompleteSections.copy().empty());
}

TEST_F(LiveryDriver, LiveriesScannedReadsBackWhatWasWrittenAndNamesWhatIsMissing)
{
    g_scannedLiveries = {{"KLM", "B738", "b title", "PH-BXA", 2, true},
                         {"", "C172", "a title", "", 1, false},
                         {"KLM", "B738", "a title", "", 1, false}};
    ASSERT_TRUE(gf_writeLiveriesScanned());
    EXPECT_EQ(savedRecords(), " C172 'a title' - 0 pax\nKLM B738 'a title' - 0 pax\nKLM B738 'b title' PH-BXA 0 cargo");
    const std::string xml = tavtest::readFile(gf_paths().liveriesScanned);
    EXPECT_NE(xml.find("<liv airl=\"KLM\" type=\"B738\" cargo=\"true\" title=\"b title\" atcid=\"PH-BXA\" />"),
              std::string::npos);
    EXPECT_TRUE(log_.contains("\n3 liveries read from output"));

    const std::string path = gf_pathToUtf8(gf_paths().liveriesScanned);
    const std::vector<std::pair<std::string, std::string>> files = {
        {"", "51: File " + path + " not found"},
        {"<root><liveries>", "51: File " + path + " not found"},
        {"<root><other/></root>", "52: " + path + " does not contain a <liveries> section"},
        {"<liveries><liv airl='A' type='B' title='C'/></liveries>", "52: " + path + " does not contain a <liveries> section"},
        {"<root><liveries><x airl='' type='B'/></liveries></root>", "999: Missing required attribute 'title' in <x>"},
        {"<root><liveries><liv type='B' title='C'/></liveries></root>", "999: Missing required attribute 'airl' in <liv>"},
        {"<root><liveries><!-- none --></liveries></root>", "533: " + path + " does not contain liveries"},
        {"<root><liveries><a airl='' type='B' title='C' cargo='yes'/><b airl='A' type='B' title='C' cargo='1'/>"
         "<c airl='A' type='B' title='D' cargo='True'/></liveries></root>",
         " B 'C' - 0 cargo\nA B 'C' - 0 cargo\nA B 'D' - 0 cargo"},
    };
    for (const auto& [content, expected] : files) {
        tavtest::writeFile(gf_paths().liveriesScanned, content);
        try {
            EXPECT_EQ(savedRecords(), expected) << content;
        } catch (const std::exception& e) {
            EXPECT_EQ(e.what(), expected) << content;
        }
    }
}

TEST_F(LiveryDriver, ReportsSortTheirLinesAndLogHowManyThereWere)
{
    gf_writeLiveryScanReport();
    EXPECT_TRUE(log_.contains("\n\nNo errors\n\nInformation:\n"));

    lf_addInvalidAirline("XYZ", "f", "[fltsim.0]");
    for (int i = 0; i < 3; ++i)
        lf_addIncompleteSection("same section");
    lf_addIncompleteSection("a section");
    lf_addInvalidAircraft("B7", "f");
    lf_addInvalidAircraft("A3", "f");
    g_noSectionFiles.add("empty.cfg");
    fs::remove(gf_paths().outputInfo);
    gf_writeLiveryScanReport();
    for (const std::string& line :
         {std::string("\nErrors:\n"), fmt::format("\n1 invalid airline code, see {}\n", gf_pathToUtf8(gf_paths().invalidAirlineCodes)),
          fmt::format("\n2 invalid model codes, see {}\n", gf_pathToUtf8(gf_paths().invalidAircraftCodes)),
          fmt::format("\n4 incomplete [fltsim.x] sections, see {}\n", gf_pathToUtf8(gf_paths().incompleFltsimSections)),
          fmt::format("==> gf_writeLiveryScanReport: could not write {}\n",
                      gf_pathToUtf8(gf_paths().aircraftCfgWithNoFltsimSection))})
        EXPECT_TRUE(log_.contains(line)) << line;
    EXPECT_EQ(tavtest::readFile(gf_paths().incompleFltsimSections), "a section\nsame section\n");
    EXPECT_EQ(tavtest::readFile(gf_paths().invalidAircraftCodes),
              "A3               in f\nB7               in f\n");
    EXPECT_EQ(tavtest::readFile(gf_paths().invalidAirlineCodes), "XYZ          in f [fltsim.0]\n");
}

TEST_F(LiveryDriver, TheDatabaseCorrectsAirlineCargoAndTypeButNeverWithAnEmptyValue)
{
    g_dbaseRecords.tryEmplace("PH-EMP").first->cargo = true;
    g_scannedLiveries = {{"KLM", "A320", "t1", "N12345", 1, false},
                         {"KLM", "B738", "t2", "PH-BXA", 1, false},
                         {"KLM", "B738", "t3", "PH-EMP", 1, false},
                         {"KLM", "B738", "t4", "", 1, false}};
    lf_listLiveryConversions();
    EXPECT_EQ(recordsText(g_scannedLiveries),
              "ABC B77L 't1' N12345 1 cargo\nKLM B738 't2' PH-BXA 1 pax\nKLM B738 't3' PH-EMP 1 cargo\n"
              "KLM B738 't4' - 1 pax");
    const std::string pad(78, ' ');
    EXPECT_EQ(g_liveryConversions.copy(),
              (std::vector<std::string>{"t1" + pad + " N12345 cargo false => true", "t1" + pad + " N12345 airl KLM => ABC",
                                        "t1" + pad + " N12345 model A320 => B77L",
                                        "t3" + pad + " PH-EMP cargo false => true"}));
}

TEST_F(LiveryDriver, ARescanWritesEveryReportAnewKeepsTheOldConversionsAndRebuildsTheTables)
{
    const auto cfg = [](std::string_view title) {
        return with(cfgOf("KLM", title, "PH-QQA"), "atc_model=B738", "atc_model=B737-800");
    };
    writeLiveryFolder(liveries_ / "a", "aircraft.cfg", cfg("KLM A"));
    lfolder[0].setValue(gf_pathToUtf8(liveries_.path()));
    tavtest::writeFile(gf_paths().airlineModelConversions, "earlier\n");
    EXPECT_EQ(scanError(), "");
    gf_processScannedLiveries();
    fs::remove_all(liveries_ / "a");
    writeLiveryFolder(liveries_ / "b", "aircraft.cfg", cfg("KLM B"));
    SCAN_LIVERIES.value = true;
    EXPECT_EQ(scanError(), "");
    gf_processScannedLiveries();
    EXPECT_EQ(tavtest::readFile(gf_paths().fixes),
              fmt::format("Model fix: B737-800 found in {} changed into B738\n",
                          gf_pathToUtf8(liveries_ / "b" / "aircraft.cfg")));
    EXPECT_EQ(tavtest::readFile(gf_paths().airlineModelConversions), "earlier\n");
    // Tables built from the older file are built anew after the next scan.
    EXPECT_EQ(gf_findLiveryTitle("KLM B"), "KLM B");
    EXPECT_TRUE(gf_findLiveryTitle("KLM A").empty());
    gf_clearLiveryTables();
}
