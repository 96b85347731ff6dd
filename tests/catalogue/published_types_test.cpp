#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include <pugixml.hpp>

#include "catalogue/dbase.h"
#include "databuild/hand_tables.h"
#include "databuild/site.h"
#include "foundation/text_files.h"
#include "support/data_file_fixture.h"
#include "update/data_file_decrypt.h"

namespace fs = std::filesystem;

// The aircraft types of the database the builder publishes, taken as the program gets
// them: the site's dbase.enc, decrypted by the program's own decryptor and read by its
// reader. The tests check the rules the table keeps (tools/README.md), not its figures:
// a wrong figure typed into the table and into a test alike would pass.
namespace {

struct SpanRange {
    double low;
    double high;
};

// What a wing (or rotor) of each category can measure: a span outside its category's
// range is a typing slip or a type put in the wrong category.
const std::map<std::string, SpanRange> kPlausibleSpans = {
    {"light", {5.0, 23.0}},            // Pitts S-1 5.3 m .. PZL M28 22.1 m
    {"buzjet", {10.0, 33.0}},          // Learjet 24 10.8 m .. Global 7500 31.7 m
    {"large", {17.0, 45.0}},           // Beech 1900 17.7 m .. Tupolev Tu-204 41.8 m
    {"heavy", {38.0, 90.0}},           // KC-135 39.9 m .. An-225 88.4 m
    {"high_performance", {6.0, 32.0}}, // T-38 7.7 m .. the U-2's glider wing 31.4 m
    {"rotorcraft", {5.0, 33.0}},       // Cabri G2 7.2 m .. Mi-26 32 m
};

// The category sections and their entry elements.
const std::vector<std::pair<std::string, std::string>> kCategorySections = {
    {"buzjet", "bzj"}, {"large", "lar"}, {"heavy", "hvy"}, {"high_performance", "hpf"}, {"rotorcraft", "rot"}};

std::vector<std::string> lf_codes(const pugi::xml_node& root, const char* section, const char* element,
                                  const char* attribute = "types")
{
    std::vector<std::string> codes;
    for (const pugi::xml_node entry : root.child(section).children(element)) {
        for (std::string& code : gf_splitTrim(entry.attribute(attribute).as_string()))
            codes.push_back(std::move(code));
    }
    return codes;
}

double lf_metres(const std::string& type)
{
    return gf_halfWingspan(type) * 2.0 * 1852.0;
}

class PublishedTypes : public ::testing::Test {
protected:
    void SetUp() override
    {
        databuild::writeSite({tavtest::toolsFolder(), fs::absolute("site")});
        fs::copy_file(fs::absolute("site") / "11" / "dbase.enc", program_.input("dbase.enc"));
        ASSERT_TRUE(gf_streamDecrypt(program_.input("dbase.enc"), fs::absolute("published.xml")));
        ASSERT_TRUE(document_.load_file(fs::absolute("published.xml").c_str()));
        root_ = document_.child("root");
        known_ = lf_codes(root_, "aircrafts", "aircraft");
    }

    // The index of the similar group each type of a group is in, as the program holds them.
    static std::map<std::string, size_t> groupOfType()
    {
        std::map<std::string, size_t> groupOf;
        for (size_t i = 0; i < g_similarTypeGroups.size(); ++i) {
            for (const std::string& member : g_similarTypeGroups[i])
                groupOf.emplace(member, i);
        }
        return groupOf;
    }

    tavtest::ProgramFolder program_;
    pugi::xml_document document_;
    pugi::xml_node root_;
    std::vector<std::string> known_;
};

} // namespace

TEST_F(PublishedTypes, EveryDesignatorOfTheIcaoFormOnceInOneCategoryWithOneSpanInItsCategorysRange)
{
    EXPECT_GE(known_.size(), 500u);
    std::map<std::string, std::string> categoryOf;
    for (const std::string& code : known_) {
        // ICAO Doc 8643: at most four characters, letters and digits, the first a letter.
        EXPECT_TRUE(code.size() >= 2 && code.size() <= 4 && code.front() >= 'A' && code.front() <= 'Z' &&
                    code.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789") == std::string::npos)
            << "'" << code << "' is no ICAO designator";
        EXPECT_TRUE(categoryOf.emplace(code, "light").second) << code << " twice in aircrafts";
    }
    for (const auto& [section, element] : kCategorySections) {
        for (const std::string& code : lf_codes(root_, section.c_str(), element.c_str())) {
            const auto it = categoryOf.find(code);
            ASSERT_NE(it, categoryOf.end()) << code << " of " << section << " is no known type";
            EXPECT_EQ(it->second, "light") << code << " in " << it->second << " and " << section;
            it->second = section;
        }
    }
    std::set<std::string> spanned;
    for (const pugi::xml_node span : root_.child("wingspans").children("wingspan")) {
        const std::string type = span.attribute("type").as_string();
        const double metres = span.attribute("meters").as_double();
        const auto it = categoryOf.find(type);
        ASSERT_NE(it, categoryOf.end()) << "span of " << type << ", no known type";
        EXPECT_TRUE(spanned.insert(type).second) << type << " has two spans";
        const SpanRange range = kPlausibleSpans.at(it->second);
        EXPECT_TRUE(metres >= range.low && metres <= range.high)
            << type << " (" << it->second << "): " << metres << " m, outside " << range.low << " .. " << range.high;
    }
    EXPECT_EQ(spanned.size(), categoryOf.size()) << "types without a span";
    for (const std::string& code : lf_codes(root_, "cargo_types", "cargo_type"))
        EXPECT_TRUE(categoryOf.contains(code)) << "cargo type " << code << " is no known type";

    // The program's reader takes them all, as they are, without an error line.
    tavtest::LogCapture log;
    ASSERT_TRUE(gf_readDbase());
    EXPECT_FALSE(log.contains("==> ")) << log.text();
    EXPECT_EQ(gf_typeSet(TypeSet::Known).size(), known_.size());
    EXPECT_EQ(g_halfWingspans.size(), known_.size());
    const std::map<std::string, TypeCategory> byName = {
        {"light", TypeCategory::Other},   {"buzjet", TypeCategory::Buzjet},
        {"large", TypeCategory::Large},   {"heavy", TypeCategory::Heavy},
        {"high_performance", TypeCategory::HighPerformance}, {"rotorcraft", TypeCategory::Rotorcraft}};
    for (const auto& [code, category] : categoryOf)
        EXPECT_EQ(gf_typeCategory(code), byName.at(category)) << code;
}

// A stand-in of another size would park and move as another aircraft: in every group the
// largest span is at most 1.5 times the smallest.
TEST_F(PublishedTypes, EverySimilarGroupIsClosedOfOneCategoryAndOfAboutOneSize)
{
    const std::set<std::string> known(known_.begin(), known_.end());
    std::set<std::string> grouped;
    size_t groups = 0;
    for (const pugi::xml_node entry : root_.child("similar_types").children("similar")) {
        const std::vector<std::string> members = gf_splitTrim(entry.attribute("types").as_string());
        ++groups;
        EXPECT_GE(members.size(), 2u) << "a group of one stands in for nothing: " << entry.attribute("types").value();
        for (const std::string& member : members) {
            EXPECT_TRUE(known.contains(member)) << member << " of a similar group is no known type";
            EXPECT_TRUE(grouped.insert(member).second) << member << " is in two similar groups";
        }
    }
    EXPECT_GT(groups, 0u);

    ASSERT_TRUE(gf_readDbase());
    ASSERT_EQ(g_similarTypeGroups.size(), groups);
    for (const std::vector<std::string>& group : g_similarTypeGroups) {
        ASSERT_FALSE(group.empty());
        const auto [smallest, largest] = std::minmax_element(
            group.begin(), group.end(), [](const std::string& a, const std::string& b) {
                return gf_halfWingspan(a) < gf_halfWingspan(b);
            });
        EXPECT_LE(lf_metres(*largest), 1.5 * lf_metres(*smallest))
            << *largest << " (" << lf_metres(*largest) << " m) and " << *smallest << " (" << lf_metres(*smallest)
            << " m) in one group";
        for (const std::string& member : group) {
            EXPECT_TRUE(gf_isKnownType(member)) << member;
            EXPECT_EQ(gf_typeCategory(member), gf_typeCategory(group.front())) << member << " and " << group.front();
        }
    }
}

// The types of one airframe family (stretches, shrinks, re-engined and military
// versions of one design, as their makers built them) stand in for each other: each
// family below is one group.
TEST_F(PublishedTypes, TheTypesOfOneAirframeFamilyAreOneGroup)
{
    const std::vector<std::vector<std::string>> families = {
        {"B741", "B742", "B743", "B744", "B748", "B74S"},                 // the 747, the short 747SP too
        {"DC10", "MD11"},                                                 // the MD-11 is a stretched DC-10
        {"B712", "DC93", "MD81", "MD82", "MD83", "MD87", "MD88", "MD90"}, // DC-9, MD-80, MD-90, 717
        {"B732", "B733", "B734", "B735", "B736", "B737", "B738", "B739", "B37M", "B38M", "B39M", "P8"},
        {"A318", "A319", "A320", "A321", "A19N", "A20N", "A21N"},
        {"A332", "A333", "A338", "A339", "A342", "A343", "A345", "A346"}, // one wing and fuselage
        {"A306", "A30B", "A310", "A3ST"},                                 // the Beluga is an A300-600
        {"B703", "E3CF", "E3TF", "E6"},                                   // the E-3 and E-6 are 707-320s
        {"C135", "K35E", "K35R", "R135"},
        {"B762", "B763", "B764"},
        {"B772", "B773", "B77L", "B77W"},
        {"B461", "B462", "B463", "RJ70", "RJ85", "RJ1H"},
        {"CRJ1", "CRJ2", "CRJ7", "CRJ9", "CRJX"},
        {"E170", "E75S", "E75L", "E190", "E195", "E290", "E295"},
        {"E135", "E145", "E45X"},
        {"DH8A", "DH8B", "DH8C", "DH8D"},
        {"AT43", "AT45", "AT46", "AT72", "AT73", "AT75", "AT76"},
        {"F28", "F70", "F100"},
        {"AN24", "AN26", "AN32", "MA60"}, // the MA60 is Xian's An-24
        {"C130", "C30J"},
        {"L188", "P3"},          // the P-3 is the Electra's patrol version
        {"GALX", "G250", "G280"}, // the G280 (first named G250) grew out of the G200
        {"F18H", "F18S"},
        {"T38", "F5"},
        {"UH1", "B212", "B412", "UH1Y"},
    };
    ASSERT_TRUE(gf_readDbase());
    const std::map<std::string, size_t> groupOf = groupOfType();
    for (const std::vector<std::string>& family : families) {
        const auto first = groupOf.find(family.front());
        for (const std::string& member : family) {
            EXPECT_TRUE(gf_isKnownType(member)) << member;
            const auto it = groupOf.find(member);
            EXPECT_TRUE(it != groupOf.end() && first != groupOf.end() && it->second == first->second)
                << member << " is not in one group with " << family.front();
        }
    }
}

// The categories follow the ICAO wake turbulence categories as tools/README.md states
// them: heavy is wake H (and the A380's J) and nothing else is; large is wake M.
TEST_F(PublishedTypes, TheCategoriesFollowTheWakeCategories)
{
    const databuild::HandTables tables = databuild::readHandTables(tavtest::toolsFolder() / "data");
    ASSERT_TRUE(gf_readDbase());
    ASSERT_EQ(tables.types.size(), known_.size());
    for (const databuild::HandType& t : tables.types) {
        const TypeCategory category = gf_typeCategory(t.type);
        const bool heavyWake = t.wake == "H" || t.wake == "J";
        EXPECT_EQ(category == TypeCategory::Heavy, heavyWake) << t.type << " of wake " << t.wake;
        if (category == TypeCategory::Large) {
            EXPECT_EQ(t.wake, "M") << t.type << " is large";
        }
    }
}

// A few figures as their makers publish them (the documents are named in tools/README.md).
TEST_F(PublishedTypes, TheAnchorTypesHaveTheirMakersSpans)
{
    struct Anchor {
        const char* type;
        TypeCategory category;
        double metres;
    };
    const Anchor anchors[] = {
        {"B737", TypeCategory::Large, 35.79},       // 117 ft 5 in with the production winglets
        {"B738", TypeCategory::Large, 35.79},
        {"B733", TypeCategory::Large, 28.88},       // 94 ft 9 in
        {"B744", TypeCategory::Heavy, 64.44},       // 213 ft 0 in
        {"A320", TypeCategory::Large, 35.80},       // with sharklets
        {"A388", TypeCategory::Heavy, 79.75},
        {"E75L", TypeCategory::Large, 28.65},
        {"DH8D", TypeCategory::Large, 28.42},       // 93 ft 3 in
        {"FA7X", TypeCategory::Buzjet, 26.21},      // 86 ft 0 in
        {"C680", TypeCategory::Buzjet, 22.05},      // Sovereign+, 72 ft 4 in
        {"C172", TypeCategory::Other, 11.00},       // 36 ft 1 in
        {"R44", TypeCategory::Rotorcraft, 10.06},   // 33 ft 0 in
    };
    ASSERT_TRUE(gf_readDbase());
    for (const Anchor& a : anchors) {
        EXPECT_TRUE(gf_isKnownType(a.type)) << a.type;
        EXPECT_EQ(gf_typeCategory(a.type), a.category) << a.type;
        EXPECT_NEAR(lf_metres(a.type), a.metres, 1e-9) << a.type;
    }
}

// The reader keeps the first entry of a type and drops a second one without a word, so
// the builder refuses a designator listed twice, naming the file and both lines.
TEST(TypesTable, TheBuilderRefusesADesignatorListedTwiceWithTheFileAndLine)
{
    const tavtest::TempFolder tools("tools");
    fs::copy(tavtest::toolsFolder() / "data", tools.path() / "data", fs::copy_options::recursive);
    const fs::path table = tools.path() / "data" / "types.csv";
    std::vector<std::string> lines = gf_readFile(table);
    const auto original = std::find_if(lines.begin(), lines.end(),
                                       [](const std::string& line) { return line.starts_with("B738,"); });
    ASSERT_NE(original, lines.end());
    const size_t firstLine = static_cast<size_t>(original - lines.begin()) + 1;
    std::string text;
    for (const std::string& line : lines)
        text += line + "\n";
    text += "\n# a second row for the same designator\nB738,large,M,no,34.32,b737\n";
    tavtest::writeFile(table, text);
    const size_t secondLine = lines.size() + 3;

    try {
        databuild::readHandTables(tools.path() / "data");
        FAIL() << "a designator listed twice was taken";
    } catch (const std::runtime_error& e) {
        EXPECT_EQ(std::string(e.what()), gf_pathToUtf8(table) + ":" + std::to_string(secondLine) +
                                             ": B738 is listed twice (first at line " + std::to_string(firstLine) + ")");
    }
}
