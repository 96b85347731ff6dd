#pragma once
// The scan tests' world: a program folder as the current folder, private settings, the
// database's publisher lists, the airports table, a recording window and shell.
#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "bgl/bgl_builder.h"
#include "catalogue/dbase.h"
#include "control/service_state.h"
#include "foundation/file_helpers.h"
#include "foundation/folders.h"
#include "foundation/text_files.h"
#include "foundation/scan_tasks.h"
#include "foundation/settings_fixture.h"
#include "scanner/addon_scan.h"
#include "scanner/scanner_internal.h"
#include "support/data_file_fixture.h"
#include "support/scan_fixture.h"
#include "ui/messages.h"

namespace scantest {

// The folders shown in File Explorer.
inline std::vector<std::filesystem::path> g_explorerPaths;

class ScanTest : public settingstest::SettingsTest {
protected:
    ScanTest()
    {
        // As the start-up leaves the program folder.
        for (const std::filesystem::path& folder : {gf_paths().outputInfo, gf_paths().myOrbx, gf_paths().myThirdparty})
            std::filesystem::create_directories(folder);
        gf_setControlBridge(&bridge_);
        g_explorerPaths.clear();
        gf_setShellSeamsForTests(
            [](const std::filesystem::path& path) {
                g_explorerPaths.push_back(path);
                return true;
            },
            [](std::string_view) {});
        g_publisherGroups = {{"Fly Tampa", "FTX2"}, {"Aerosoft", ""}};
        g_simAddonAirports = {"EDDM"};
        g_thirdPartySceneries = {{"Fly Tampa", {"EHAM", "LOWW2"}}};
        g_stockAirportsPath.clear();
        g_scanHandledAirport = false;
        g_tbloWritten = false;
        gf_setScanTasksMax(4);
        gf_clearError();
        lf_clearScanLog();
    }
    ~ScanTest() override
    {
        gf_setBglFileTaskForTests(nullptr);
        gf_setShellSeamsForTests(nullptr, nullptr);
        gf_setBglTaskWaitForTests(std::chrono::seconds(10));
        g_publisherGroups.clear();
        g_simAddonAirports.clear();
        g_thirdPartySceneries.clear();
        g_stockAirportsPath.clear();
        g_tbloWritten = false;
        gf_clearError();
    }

    // The tree below the folder "addons" of the program folder, as afolder0.
    std::filesystem::path tree(std::string_view description)
    {
        const std::filesystem::path root = std::filesystem::absolute("addons");
        bglbuild::writeTree(root, description);
        afolder[0].setValue(gf_pathToUtf8(root));
        return root;
    }

    static std::vector<std::string> sorted(std::vector<std::string> lines)
    {
        std::sort(lines.begin(), lines.end());
        return lines;
    }

    bool called(std::string_view call) const
    {
        const auto calls = bridge_.calls();
        return std::find(calls.begin(), calls.end(), call) != calls.end();
    }

    tavtest::ProgramFolder program_;
    tavtest::LogCapture log_;
    settingstest::RecordingBridge bridge_;
    KnownAirports known_{{"EDDF", "EDDM", "EHAM", "LOWW", "LOWI", "LOWS", "LOWG", "LOWK"}};
};

} // namespace scantest
