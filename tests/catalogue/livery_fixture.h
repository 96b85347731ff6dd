#pragma once
// The livery scan's tests: the catalogue's database, a clean scan state, and livery
// folders written as users have them.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include <fmt/format.h>

#include "catalogue/livery_scan_internal.h"
#include "catalogue/regcodes.h"
#include "dbase_fixture.h"
#include "foundation/text.h"

namespace liverytest {

namespace fs = std::filesystem;

class LiveryScan : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(dbasetest::readDbase(dbasetest::catalogueDbase()), "ok");
        clearScan();
    }
    void TearDown() override { clearScan(); }
    static void clearScan()
    {
        gf_resetLiveryScanLists();
        g_scannedLiveries.clear();
    }

    tavtest::ProgramFolder program_;
    tavtest::LogCapture log_;
};

// "KLM B738 'KLM 1' PH-BXA 1 pax"; "-" for an empty registration.
inline std::string recordText(const LiveryData& l)
{
    return fmt::format("{} {} '{}' {} {} {}", l.airl, l.type, l.title, l.atcid.empty() ? "-" : l.atcid, l.lfolder,
                       l.cargo ? "cargo" : "pax");
}

inline std::string recordsText(const std::vector<LiveryData>& records)
{
    std::string text;
    for (const LiveryData& l : records)
        text += fmt::format("{}{}", text.empty() ? "" : "\n", recordText(l));
    return text;
}

// The lines of every report list, each tagged with its list, the folder's path written
// "<F>" and '/' for every separator.
inline std::string reportsText(const fs::path& folder)
{
    const std::vector<std::pair<const char*, const ScanReportList*>> lists = {
        {"airline", &g_invalidAirlines},  {"aircraft", &g_invalidAircraft},     {"fix", &g_modelFixes},
        {"file", &g_invalidCfgFiles},     {"section", &g_incompleteSections},  {"nosection", &g_noSectionFiles}};
    std::string text;
    const std::string folderText = gf_pathToUtf8(folder);
    for (const auto& [tag, list] : lists) {
        for (std::string line : list->copy()) {
            for (size_t at = line.find(folderText); at != std::string::npos; at = line.find(folderText, at))
                line.replace(at, folderText.size(), "<F>");
            std::replace(line.begin(), line.end(), '\\', '/');
            text += fmt::format("{}{}: {}", text.empty() ? "" : "\n", tag, line);
        }
    }
    return text;
}

// A livery folder: the configuration file and what its sections name (folders end in
// '/', other names are files).
inline void writeLiveryFolder(const fs::path& folder, std::string_view cfgName, std::string_view bytes,
                              const std::vector<std::string>& items = {"model/", "texture.KLM/", "B738.air"})
{
    fs::create_directories(folder);
    tavtest::writeFile(folder / gf_pathFromUtf8(cfgName), bytes);
    for (const std::string& item : items) {
        if (item.ends_with('/'))
            fs::create_directories(folder / gf_pathFromUtf8(item.substr(0, item.size() - 1)));
        else
            tavtest::writeFile(folder / gf_pathFromUtf8(item), "");
    }
}

// The text with the first occurrence of `from` replaced.
inline std::string with(std::string text, std::string_view from, std::string_view to)
{
    const size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

// One aircraft.cfg section with the usual keys of a KLM B738 livery.
inline std::string klmSection(std::string_view header = "[fltsim.0]", std::string_view title = "KLM 1",
                              std::string_view more = "")
{
    return fmt::format("{}\ntitle={}\nsim=B738\nmodel=\ntexture=KLM\natc_parking_codes=KLM\n"
                       "atc_parking_types=GATE\natc_id=PH-BXA\nui_type=Boeing 737-800\n{}",
                       header, title, more);
}

} // namespace liverytest
