#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include <fmt/format.h>

#include "databuild/encrypt.h"
#include "dbase_fixture.h"

namespace fs = std::filesystem;
using databuild::Registration;
using databuild::XmlElement;
using databuild::XmlFileContent;
using dbasetest::readDbase;
using dbasetest::setSection;
using tavtest::LogCapture;
using tavtest::ProgramFolder;

namespace {

template <typename C>
std::string lf_joined(const C& items)
{
    return fmt::format("{}", fmt::join(items, "|"));
}

std::vector<std::string> lf_errorLines(const LogCapture& log)
{
    std::vector<std::string> lines = log.lines();
    std::erase_if(lines, [](const std::string& l) { return !l.starts_with("==> "); });
    return lines;
}

} // namespace

TEST(DbaseReader, EverySectionFillsItsTableWithAndWithoutRoot)
{
    for (const bool withRoot : {true, false}) {
        ProgramFolder program;
        XmlFileContent content = tavtest::smallDbase({{"D-ABCD", "ABC", "A320", "", false}});
        content.withRoot = withRoot;
        setSection(content, "aircrafts", {{"aircraft", {{"types", " A320 , A321,A20N "}}},
                                          {"aircraft", {{"types", "B738,B737,B77W,B77L,C25A,C172,EC35,F16"}}},
                                          {"other", {{"types", "X999"}}}});
        setSection(content, "similar_types", {{"similar", {{"types", "B738, A320, B737"}}}});
        setSection(content, "publishers", {{"pub", {{"names", "FlyTampa, Fly Tampa"}}},
                                           {"pub", {{"names", " Aerosoft,"}}},
                                           {"pub", {{"names", "FlyTampa, Fly Tampa"}}}});
        setSection(content, "wingspans", {{"wingspan", {{"type", "A320"}, {"meters", "35.8"}}},
                                          {"wingspan", {{"type", "A320"}, {"meters", "80"}}},
                                          {"wingspan", {{"type", "X999"}, {"meters", "20"}}},
                                          {"wingspan", {{"type", "B738"}}},
                                          {"wingspan", {{"type", "B737"}, {"meters", "nan"}}}});
        setSection(content, "fixes", {{"fx", {{"wro", "B737-800"}, {"cor", "B738"}}},
                                      {"fx", {{"wro", "B737-800"}, {"cor", "B737"}}},
                                      {"fx", {{"wro", "B7378"}, {"cor", "B7X8"}}}});
        setSection(content, "thirdpartiesP3D", {{"thirdpartieP3D", {{"pub", "FlyTampa"}, {"arpts", "EHAM, KBOS"}}}});
        LogCapture log;
        ASSERT_EQ(readDbase(content), "ok") << log.text();
        EXPECT_EQ(lf_joined(gf_typeSet(TypeSet::Known)), "A20N|A320|A321|B737|B738|B77L|B77W|C172|C25A|EC35|F16");
        EXPECT_EQ(lf_joined(gf_typeSet(TypeSet::Cargo)), "B77L");
        ASSERT_EQ(g_similarTypeGroups.size(), 1u);
        EXPECT_EQ(lf_joined(g_similarTypeGroups[0]), "A320|B737|B738");
        EXPECT_EQ(gf_publisherGroupCount(), 2u);
        EXPECT_EQ(lf_joined(g_publisherGroups[0]) + "|" + lf_joined(g_publisherGroups[1]), "Aerosoft||FlyTampa|Fly Tampa");
        EXPECT_EQ(lf_joined(g_icaoAirlines), "ABC|DEF|ZZZ");
        EXPECT_EQ(lf_joined(g_cargoOperators), "DEF");
        EXPECT_EQ(lf_joined(g_simAddonAirports), "KSEA");
        ASSERT_EQ(g_thirdPartySceneries.size(), 1u);
        EXPECT_EQ(g_thirdPartySceneries[0].publisher + ":" + lf_joined(g_thirdPartySceneries[0].airports),
                  "FlyTampa:EHAM|KBOS");
        // The first span of a type stays, a later one may still raise the largest.
        ASSERT_EQ(g_halfWingspans.size(), 1u);
        EXPECT_DOUBLE_EQ(g_halfWingspans.at("A320"), 0.009665226781857451);
        EXPECT_DOUBLE_EQ(g_maxHalfWingspan, 80 * 0.5 / 1852);
        ASSERT_EQ(g_typeFixes.size(), 1u);
        EXPECT_EQ(g_typeFixes.at("B737-800"), "B738");
        ASSERT_EQ(g_dbaseRecords.size(), 1u);
        EXPECT_TRUE(log.contains("2 publishers read\n"));
        EXPECT_TRUE(log.contains("1 dbase records read\n"));
        EXPECT_EQ(lf_joined(lf_errorLines(log)),
                  "==> wingspan model X999 is not valid, skipped|"
                  "==> wingspan of model B738 is not a positive number of meters: '', skipped|"
                  "==> wingspan of model B737 is not a positive number of meters: 'nan', skipped|"
                  "==> wrong part of fix: 'B737-800', already exists, skipped|"
                  "==> wrong fix B7378 -> B7X8, the latter is not valid");
        EXPECT_FALSE(fs::exists(program.input("dbase.xml")));
    }
}

TEST(DbaseReader, CategoryMeansTakeTheMeanOfAllSpansForACategoryWithout)
{
    ProgramFolder program;
    XmlFileContent content = tavtest::smallDbase();
    setSection(content, "wingspans", {{"wingspan", {{"type", "A320"}, {"meters", "30"}}},
                                      {"wingspan", {{"type", "B738"}, {"meters", "40"}}},
                                      {"wingspan", {{"type", "B77W"}, {"meters", "65"}}}});
    ASSERT_EQ(readDbase(content), "ok");
    const double large = 35.0 * 0.5 / 1852;
    const double all = 45.0 * 0.5 / 1852;
    const std::array<double, 6> expected = {all, all, large, 65.0 * 0.5 / 1852, all, all};
    for (size_t c = 0; c < expected.size(); ++c)
        EXPECT_NEAR(g_categoryHalfSpans[c], expected[c], 1e-15) << c;

    setSection(content, "wingspans", {});
    ASSERT_EQ(readDbase(content), "ok");
    EXPECT_EQ(lf_joined(g_categoryHalfSpans), "0|0|0|0|0|0");
    EXPECT_EQ(g_maxHalfWingspan, 0.0);
}

TEST(DbaseReader, EveryFailureNamesItsCauseAndLeavesNoPlainFile)
{
    const auto without = [](std::string_view section) {
        XmlFileContent content = tavtest::smallDbase();
        content.removeSection(section);
        return databuild::renderXml(content);
    };
    XmlFileContent emptyTypes = tavtest::smallDbase();
    setSection(emptyTypes, "aircrafts", {{"aircraft", {{"types", ""}}}});
    XmlFileContent emptyTypesNoRoot = emptyTypes;
    emptyTypesNoRoot.withRoot = false;
    std::string flipped = databuild::encryptDataFile(databuild::renderXml(tavtest::smallDbase()), databuild::productKey());
    flipped[100] ^= 1;

    struct Case {
        std::string name;
        std::string plain;     // encrypted into dbase.enc unless empty
        std::string encrypted; // written as it is
        std::string expected;
    };
    const std::vector<Case> cases = {
        {"no cargo operators", without("cargo_operators"), "",
         "61: In XML file section [cargo_operators], element [ICAO], attribute [codes] is empty."},
        {"empty known types", databuild::renderXml(emptyTypes), "",
         "61: In XML file section [aircrafts], element [aircraft], attribute [types] is empty."},
        {"empty known types without root", databuild::renderXml(emptyTypesNoRoot), "",
         "61: In XML file section [aircrafts], element [aircraft], attribute [types] is empty."},
        {"no add-on airports", without("simaddonsP3D"), "",
         "61: In XML file section [simaddonsP3D], element [simaddonP3D], attribute [arpts] is empty."},
        {"garbage", "<root><aircrafts>", "", "false"},
        {"flipped byte", "", flipped, "input/dbase.enc stream decrypt failed"},
    };
    for (const Case& c : cases) {
        ProgramFolder program;
        if (c.encrypted.empty())
            tavtest::writeEncryptedInput("dbase.enc", c.plain);
        else
            tavtest::writeFile(program.input("dbase.enc"), c.encrypted);
        LogCapture log;
        EXPECT_EQ(fs::path(dbasetest::readWrittenDbase()).generic_string(), c.expected) << c.name;
        EXPECT_FALSE(fs::exists(program.input("dbase.xml"))) << c.name;
        if (c.expected == "false") {
            EXPECT_TRUE(log.contains(fmt::format("'{}' not read because of ", gf_pathToUtf8(fs::path("input") / "dbase.xml"))))
                << log.text();
        }
    }
    ProgramFolder program;
    EXPECT_EQ(fs::path(dbasetest::readWrittenDbase()).generic_string(), "input/dbase.enc not available");
}

TEST(DbaseReader, AFailedReadLeavesNothingForTheNextReadToAppendTo)
{
    ProgramFolder program;
    XmlFileContent broken = tavtest::smallDbase();
    broken.removeSection("simaddonsP3D");
    ASSERT_NE(readDbase(broken), "ok");
    // The sections before the fault are read, as the start-up reports them.
    EXPECT_EQ(lf_joined(g_cargoOperators), "DEF");
    EXPECT_EQ(gf_publisherGroupCount(), 1u);
    ASSERT_EQ(readDbase(tavtest::smallDbase()), "ok");
    EXPECT_EQ(g_similarTypeGroups.size(), 2u);
    EXPECT_EQ(gf_publisherGroupCount(), 1u);
    EXPECT_EQ(g_thirdPartySceneries.size(), 1u);
}

TEST(DbaseReader, ABuilderMadeFileOf50000RecordsKeepsTheFirstOfEachRepeat)
{
    ProgramFolder program;
    std::vector<Registration> records;
    for (int i = 0; i < 49990; ++i)
        records.push_back({fmt::format("D-{:04}", i), "ABC", "A320", i % 7 == 0 ? "DEF" : "", i % 2 == 0});
    for (int i = 0; i < 10; ++i)
        records.push_back({fmt::format("D-{:04}", i * 1000), "XYZ", "B77W", "", false});
    XmlFileContent content = tavtest::smallDbase(records);
    content.section("dbase").elements.push_back({"db", {{"airl", "ABC"}, {"type", "A320"}}});
    LogCapture log;
    ASSERT_EQ(readDbase(content), "ok");
    EXPECT_EQ(g_dbaseRecords.size(), 49990u);
    EXPECT_TRUE(log.contains("\n49990 dbase records read\n")) << log.text();
    std::vector<std::string> errors = lf_errorLines(log);
    ASSERT_EQ(errors.size(), 11u);
    EXPECT_EQ(errors[0], "==> regcode D-0000 already exists");
    EXPECT_EQ(errors[9], "==> regcode D-9000 already exists");
    EXPECT_EQ(errors[10], "==> regcode of a dbase record is empty, skipped: airl 'ABC', type 'A320'");
    const DbaseRecord& first = g_dbaseRecords.at("D-7000");
    EXPECT_EQ(fmt::format("{} {} {} {}", first.airl, first.type, first.opr, first.cargo), "ABC A320 DEF true");
    const DbaseRecord& plain = g_dbaseRecords.at("D-0001");
    EXPECT_EQ(fmt::format("{} {} [{}] {}", plain.airl, plain.type, plain.opr, plain.cargo), "ABC A320 [] false");
    EXPECT_FALSE(fs::exists(program.input("dbase.xml")));
}
