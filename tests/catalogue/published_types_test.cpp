#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include <pugixml.hpp>

#include "catalogue/dbase.h"
#include "databuild/site.h"
#include "support/data_file_fixture.h"
#include "update/data_file_decrypt.h"

namespace fs = std::filesystem;

// The aircraft types of the database the builder publishes, taken as the program gets
// them: the site's dbase.enc, decrypted by the program's own decryptor and read by its
// reader.
namespace {

struct SpanRange {
    double low;
    double high;
};

// What a wing (or rotor) of each category can measure: a span outside its category's
// range is a typing slip or a type put in the wrong category.
const std::map<std::string, SpanRange> kPlausibleSpans = {
    {"light", {5.0, 22.0}},            // Pitts S-1 5.3 m .. Let L 410 20.0 m
    {"buzjet", {10.0, 33.0}},          // Learjet 24 10.8 m .. Global 7500 31.7 m
    {"large", {17.0, 45.0}},           // Beech 1900 17.7 m .. Tupolev Tu-204 41.8 m
    {"heavy", {38.0, 90.0}},           // KC-135 39.9 m .. An-225 88.4 m
    {"high_performance", {6.0, 32.0}}, // T-38 7.7 m .. the U-2's glider wing 31.4 m
    {"rotorcraft", {5.0, 25.0}},       // Cabri G2 7.2 m .. S-61 18.9 m
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

    tavtest::ProgramFolder program_;
    pugi::xml_document document_;
    pugi::xml_node root_;
    std::vector<std::string> known_;
};

} // namespace

TEST_F(PublishedTypes, EveryDesignatorOnceInOneCategoryWithOneSpanInItsCategorysRange)
{
    ASSERT_GE(known_.size(), 370u);
    std::map<std::string, std::string> categoryOf;
    for (const std::string& code : known_) {
        EXPECT_TRUE(code.size() >= 2 && code.size() <= 4 &&
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

TEST_F(PublishedTypes, EverySimilarGroupIsClosedAndOfOneCategory)
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
        for (const std::string& member : group) {
            EXPECT_TRUE(gf_isKnownType(member)) << member;
            // A stand-in of another size category would park and move as another aircraft.
            EXPECT_EQ(gf_typeCategory(member), gf_typeCategory(group.front())) << member << " and " << group.front();
        }
    }
}

// The common types that went unknown before, each with its category and the span its
// maker publishes (in metres, rotor diameter for the helicopters).
TEST_F(PublishedTypes, TheCommonTypesAreKnownWithTheirMakersFigures)
{
    struct Expected {
        const char* type;
        TypeCategory category;
        double metres;
    };
    const TypeCategory light = TypeCategory::Other, buzjet = TypeCategory::Buzjet, large = TypeCategory::Large,
                       heavy = TypeCategory::Heavy, rotor = TypeCategory::Rotorcraft;
    const Expected table[] = {
        {"GLF4", buzjet, 23.72}, // Gulfstream IV, 77 ft 10 in
        {"F900", buzjet, 19.33}, // Falcon 900, 63 ft 5 in
        {"H25B", buzjet, 15.66}, // Hawker 800, 51 ft 4.5 in
        {"B733", large, 28.88},  // Boeing 737-300, 94 ft 9 in
        {"B734", large, 28.88},  {"B735", large, 28.88},
        {"E135", large, 20.04},  // ERJ-135, 65 ft 9 in
        {"E145", large, 20.04},
        {"K35R", heavy, 39.88},  // KC-135R, 130 ft 10 in
        {"C130", large, 40.41},  // C-130 Hercules, 132 ft 7 in
        {"C30J", large, 40.41},
        {"C17", heavy, 51.75},   // C-17, 169 ft 10 in
        {"C5", heavy, 67.89},    // C-5 Galaxy, 222 ft 9 in
        {"CL30", buzjet, 19.46}, // Challenger 300, 63 ft 10 in
        {"C510", buzjet, 13.16}, // Citation Mustang, 43 ft 2 in
        {"C750", buzjet, 19.48}, // Citation X, 63 ft 11 in
        {"LJ35", buzjet, 12.04}, // Learjet 35, 39 ft 6 in
        {"GALX", buzjet, 17.7},  // Gulfstream G200, 58 ft 1 in
        {"BE9L", light, 15.32},  // King Air C90, 50 ft 3 in
        {"PA34", light, 11.86},  // Seneca, 38 ft 11 in
        {"P28R", light, 10.8},   // Arrow, 35 ft 5 in
        {"TBM7", light, 12.68},
        {"B742", heavy, 59.64},  // Boeing 747-200, 195 ft 8 in
        {"B773", heavy, 60.93},  // Boeing 777-300, 199 ft 11 in
        {"A30B", heavy, 44.84},  // A300B4, 147 ft 1 in
        {"RJ1H", large, 26.34},  // Avro RJ100, 86 ft 5 in
        {"B462", large, 26.34},
        {"SF34", large, 21.44},  // Saab 340, 70 ft 4 in
        {"AT75", large, 27.05},  // ATR 72-500, 88 ft 9 in
        {"A109", rotor, 11.0},
        {"AS55", rotor, 10.69},
        {"H64", rotor, 14.63},   // AH-64 Apache, 48 ft
        {"H47", rotor, 18.29},   // CH-47 Chinook, 60 ft
        {"G115", light, 10.0},
        {"DR40", light, 8.72},
    };
    ASSERT_TRUE(gf_readDbase());
    for (const Expected& e : table) {
        EXPECT_TRUE(gf_isKnownType(e.type)) << e.type;
        EXPECT_EQ(gf_typeCategory(e.type), e.category) << e.type;
        EXPECT_DOUBLE_EQ(gf_halfWingspan(e.type), e.metres * 0.5 / 1852) << e.type;
    }
    for (const char* named : {"FA50", "FA20", "C550", "LJ60", "BE40", "BE30", "PA31", "P32R", "P46T", "TBM8", "PRM1",
                              "E50P", "AS55", "P180", "TRIN", "AA5"})
        EXPECT_TRUE(gf_isKnownType(named)) << named;
}
