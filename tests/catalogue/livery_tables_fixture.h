#pragma once
// The livery tables' tests: the catalogue's database, the hand-written collection
// data/LiveriesScanned.xml in a program folder of its own, and clean tables before and
// after every test.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include <fmt/format.h>

#include "catalogue/liveries.h"
#include "catalogue/livery_tables.h"
#include "catalogue/regcodes.h"
#include "databuild/xml_content.h"
#include "dbase_fixture.h"
#include "foundation/folders.h"
#include "foundation/settings_catalogue.h"
#include "foundation/text.h"

namespace liverytables {

namespace fs = std::filesystem;

inline fs::path fixtureFile()
{
    return tavtest::toolsFolder().parent_path() / "tests" / "catalogue" / "data" / "LiveriesScanned.xml";
}

// An AIG-regcodes.xml of these liveries (title, reg, special), encrypted into input.
inline void writeAigRegcodes(const std::vector<std::vector<std::pair<std::string, std::string>>>& liveries)
{
    databuild::XmlFileContent content;
    content.section("meta").elements = {{"info", {{"name", "copyright"}, {"value", "c"}}}};
    content.section("AIG-regcodes");
    for (const auto& attributes : liveries)
        content.section("AIG-regcodes").elements.push_back({"livery", attributes});
    tavtest::writeEncryptedInput("AIG-regcodes.enc", databuild::renderXml(content));
}

inline void writeMyRegcodes(std::string_view name, std::string_view bytes)
{
    fs::create_directories(gf_paths().myRegcodes);
    tavtest::writeFile(gf_paths().myRegcodes / gf_pathFromUtf8(name), bytes);
}

inline void resetSettings()
{
    RANDOM.value = false;
    MATCHING_DEPTH.value = 4;
    for (CheckBoxParameter* p : {&LIGHT_AIRCRAFT, &HIGH_PERF_AIRCRAFT, &HELICOPTERS})
        p->value = true;
}

class LiveryTables : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(dbasetest::readDbase(dbasetest::catalogueDbase()), "ok");
        gf_clearLiveryTables();
        resetSettings();
        fs::create_directories(gf_paths().outputInfo);
        fs::copy_file(fixtureFile(), gf_paths().liveriesScanned);
    }
    void TearDown() override
    {
        gf_clearLiveryTables();
        resetSettings();
        RANDOM.value = true;
    }
    // The tables of the golden collection; the log from here on.
    void process()
    {
        gf_processScannedLiveries();
        ASSERT_TRUE(g_liveriesProcessed);
    }

    tavtest::ProgramFolder program_;
    tavtest::LogCapture log_;
};

} // namespace liverytables
