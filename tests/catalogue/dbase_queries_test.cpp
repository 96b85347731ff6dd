#include <gtest/gtest.h>

#include <fmt/format.h>

#include "dbase_fixture.h"

using databuild::Registration;
using databuild::XmlFileContent;
using dbasetest::setSection;

namespace {

// A database of a few registrations in several written forms and types in two sets.
class DbaseQueries : public ::testing::Test {
protected:
    void SetUp() override
    {
        XmlFileContent content = tavtest::smallDbase({
            {"D-ABCD", "ABC", "A320", "", false},
            {"DXYZW", "ABC", "B738", "", false},
            {"N12345", "DEF", "B77L", "ABC", true},
            {"G-EZAB", "ABC", "A321", "", false},
            {"B-HKA", "ABC", "A320", "", false},
            {"B-HKZ", "ABC", "A320", "", false},
            {"N1ZZ", "ZZZ", "C172", "", false},
            {"JA01", "ABC", "A320", "", false},
        });
        // B77W is both large and heavy; A321 has no span of its own.
        content.section("large").elements.push_back({"lar", {{"types", "B77W"}}});
        setSection(content, "wingspans", {{"wingspan", {{"type", "A320"}, {"meters", "35.8"}}},
                                          {"wingspan", {{"type", "B738"}, {"meters", "40.0"}}},
                                          {"wingspan", {{"type", "B77W"}, {"meters", "64.8"}}}});
        ASSERT_EQ(dbasetest::readDbase(content), "ok");
    }

    tavtest::ProgramFolder program_;
};

std::string lf_record(std::string_view reg)
{
    const std::optional<DbaseRecord> r = gf_lookupDbase(reg);
    return r ? fmt::format("{} {} [{}] {}", r->airl, r->type, r->opr, r->cargo) : "none";
}

} // namespace

TEST_F(DbaseQueries, RegistrationsAreFoundInEveryWrittenForm)
{
    const std::vector<std::pair<std::string, std::string>> variants = {
        {"DABCD", "DA-BCD D-ABCD DABCD"}, {"N12345", "N12345"}, {"G-EZAB", "G-EZAB"},
        {"JA01", "JA01"},                 {"", ""},             {"DXYZW", "DX-YZW D-XYZW DXYZW"},
    };
    for (const auto& [reg, expected] : variants)
        EXPECT_EQ(fmt::format("{}", fmt::join(gf_regKeyVariants(reg), " ")), expected) << reg;

    const std::vector<std::pair<std::string, std::string>> lookups = {
        {"DABCD", "ABC A320 [] false"},   {"D-ABCD", "ABC A320 [] false"}, {"DXYZW", "ABC B738 [] false"},
        {"N12345", "DEF B77L [ABC] true"}, {"n12345", "none"},             {"G-EZAB", "ABC A321 [] false"},
        {"GEZAB", "ABC A321 [] false"},    {"", "none"},                   {"DABC", "none"},
    };
    for (const auto& [reg, expected] : lookups)
        EXPECT_EQ(lf_record(reg), expected) << reg;
    EXPECT_EQ(gf_operatorOfReg("N12345"), "ABC");
    EXPECT_EQ(gf_airlineOfReg("N12345"), "DEF");
    EXPECT_EQ(gf_operatorOfReg("D-ABCD") + gf_operatorOfReg("") + gf_airlineOfReg("") + gf_airlineOfReg("X"), "");
}

TEST_F(DbaseQueries, TypesAndAirlinesAnswerFromTheirSets)
{
    struct Case {
        std::string type;
        TypeCategory category;
        std::string_view text;
        bool known;
        double halfSpanMetres; // the type's own, else its category's mean
    };
    const std::vector<Case> cases = {
        {"B77W", TypeCategory::Large, "Large", true, 64.8},
        {"B77L", TypeCategory::Heavy, "Heavy", true, (35.8 + 40.0 + 64.8) / 3},
        {"A321", TypeCategory::Large, "Large", true, (35.8 + 40.0 + 64.8) / 3},
        {"A320", TypeCategory::Large, "Large", true, 35.8},
        {"C25A", TypeCategory::Buzjet, "Buzjets", true, (35.8 + 40.0 + 64.8) / 3},
        {"EC35", TypeCategory::Rotorcraft, "Rotorcraft", true, (35.8 + 40.0 + 64.8) / 3},
        {"F16", TypeCategory::HighPerformance, "HighPerf", true, (35.8 + 40.0 + 64.8) / 3},
        {"C172", TypeCategory::Other, "Light", true, (35.8 + 40.0 + 64.8) / 3},
        {"X999", TypeCategory::Other, "Light", false, (35.8 + 40.0 + 64.8) / 3},
        {"", TypeCategory::Other, "Light", false, (35.8 + 40.0 + 64.8) / 3},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(gf_typeCategory(c.type), c.category) << c.type;
        EXPECT_EQ(gf_typeCategoryText(gf_typeCategory(c.type)), c.text) << c.type;
        EXPECT_EQ(gf_isKnownType(c.type), c.known) << c.type;
        EXPECT_NEAR(gf_halfWingspan(c.type), c.halfSpanMetres * 0.5 / 1852, 1e-15) << c.type;
    }
    EXPECT_TRUE(gf_isIcaoAirline("ZZZ"));
    EXPECT_FALSE(gf_isIcaoAirline("abc"));
    EXPECT_FALSE(gf_isIcaoAirline(""));
}

TEST_F(DbaseQueries, ShortKeysInATitleGiveTheLongestThenTheFirstInByteOrder)
{
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"Private Cessna N1ZZ", "N1ZZ"},
        {"Dragon B-HKZ and B-HKA", "B-HKA"},
        {"B-HKZ with N1ZZ", "B-HKZ"},
        {"Long D-ABCD N12345 G-EZAB only", "none"},
        {"JA01 JA01", "JA01"},
        {"", "none"},
        {"nothing here", "none"},
    };
    for (const auto& [title, expected] : cases)
        EXPECT_EQ(gf_findShortRegKeyIn(title).value_or("none"), expected) << title;
}
