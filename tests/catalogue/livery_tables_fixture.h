#pragma once
// The livery tables' tests: a database of a few types of every category in similar
// groups, the hand-written collection data/LiveriesScanned.xml in a program folder of its
// own, and clean tables before and after every test.
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

// Large A319 A320 A321 (a320), B737 B738 B739 (b737), E145 (emb); heavy B744 B748 (b747),
// B77W, B77L; buzjet C25A C525 (cj), E135 (emb); light C172 C182 C208 (cessna), PA28,
// DV20; rotorcraft EC35 EC45 (ec); high performance F16. Cargo operators DEF and FDX.
inline databuild::XmlFileContent tablesDbase()
{
    using databuild::HandType;
    databuild::HandTables t = tavtest::smallHandTables();
    const TypeCategory large = TypeCategory::Large, heavy = TypeCategory::Heavy, buzjet = TypeCategory::Buzjet,
                       light = TypeCategory::Other, rotor = TypeCategory::Rotorcraft;
    t.types = {{"A319", large, false, 34.1, "a320"},  {"A320", large, false, 35.8, "a320"},
               {"A321", large, false, 35.8, "a320"},  {"B737", large, false, 34.3, "b737"},
               {"B738", large, false, 35.8, "b737"},  {"B739", large, false, 35.8, "b737"},
               {"E145", large, false, 20.0, "emb"},   {"B744", heavy, false, 64.4, "b747"},
               {"B748", heavy, false, 68.4, "b747"},  {"B77W", heavy, false, 64.8, ""},
               {"B77L", heavy, true, 64.8, ""},       {"C25A", buzjet, false, 15.5, "cj"},
               {"C525", buzjet, false, 14.4, "cj"},   {"E135", buzjet, false, 20.0, "emb"},
               {"C172", light, false, 11.0, "cessna"}, {"C182", light, false, 11.0, "cessna"},
               {"C208", light, false, 15.9, "cessna"}, {"PA28", light, false, 10.7, ""},
               {"DV20", light, false, 10.8, ""},       {"EC35", rotor, false, 10.2, "ec"},
               {"EC45", rotor, false, 11.0, "ec"},     {"F16", TypeCategory::HighPerformance, false, 9.96, ""}};
    t.cargoOperators = {"DEF", "FDX"};
    std::vector<databuild::OpenAirline> airlines;
    for (const char* code : {"ABC", "ADA", "DEF", "DLH", "FDX", "KLM", "MPH", "NJE"})
        airlines.push_back({code, "Germany", true});
    return databuild::dbaseContent(t, airlines,
                                   {{"PH-BXA", "KLM", "B738", "", false},
                                    {"PH-BXB", "KLM", "B738", "", false},
                                    {"PH-MPA", "KLM", "B744", "MPH", false},
                                    {"D-AIAB", "DLH", "A320", "", false},
                                    {"D-AIAC", "DLH", "A321", "", false},
                                    {"D-AIAD", "DLH", "A321", "", false},
                                    {"N12345", "DEF", "B77L", "ABC", true},
                                    {"N182ZZ", "ZZZ", "C182", "", false}});
}

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
        ASSERT_EQ(dbasetest::readDbase(tablesDbase()), "ok");
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
