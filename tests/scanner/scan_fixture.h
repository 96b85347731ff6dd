#pragma once
// The scan tests' world: a program folder as the current folder, private settings, the
// database's publisher lists, the airports table, a recording window and shell.
#include <algorithm>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include <zip.h>

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

// An archive's entries by name, read back with libzip.
inline std::map<std::string, std::string> zipEntries(const std::filesystem::path& archive)
{
    std::map<std::string, std::string> entries;
    int error = 0;
    zip_t* zip = zip_open(gf_pathToUtf8(archive).c_str(), ZIP_RDONLY, &error);
    for (zip_int64_t i = 0; zip && i < zip_get_num_entries(zip, 0); ++i) {
        zip_stat_t st;
        zip_stat_index(zip, static_cast<zip_uint64_t>(i), 0, &st);
        std::string& bytes = entries[st.name] = std::string(st.size, '\0');
        zip_file_t* file = zip_fopen_index(zip, static_cast<zip_uint64_t>(i), 0);
        zip_fread(file, bytes.data(), st.size);
        zip_fclose(file);
    }
    if (zip)
        zip_close(zip);
    return entries;
}

// The names in a folder, sorted.
inline std::vector<std::string> names(const std::filesystem::path& folder)
{
    std::vector<std::string> names;
    for (const std::filesystem::directory_entry& e : std::filesystem::directory_iterator(folder))
        names.push_back(gf_pathToUtf8(e.path().filename()));
    std::sort(names.begin(), names.end());
    return names;
}

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
