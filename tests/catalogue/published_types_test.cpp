#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include <fmt/format.h>
#include <fmt/ranges.h>
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

// What a wing (or rotor) of each category and ICAO wake category can measure; a pair not
// listed does not exist (heavy is wake H and the A380's J, and nothing else is; large is
// wake M). A span outside its pair's range, or a pair not listed, is a typing slip: a
// type put in the wrong category or given the wrong wake.
const std::map<std::pair<std::string, std::string>, SpanRange> kCategoryWakeSpans = {
    {{"light", "L"}, {5.0, 21.0}},              // Pitts S-1 5.3 m .. L 410 20.0 m
    {{"light", "L/M"}, {15.0, 23.0}},           // the commuters and King Airs either side of 7 t:
    {{"light", "M"}, {15.0, 23.0}},             // Jetstream 31 and 32 15.9 m .. PZL M28 22.1 m
    {{"buzjet", "L"}, {10.0, 17.0}},            // Learjet 24 10.8 m .. Citation CJ3 16.3 m
    {{"buzjet", "M"}, {11.5, 33.0}},            // Learjet 35 12.0 m .. Global 7500 31.7 m
    {{"large", "M"}, {17.0, 45.0}},             // Beech 1900 17.7 m .. Tupolev Tu-204 41.8 m
    {{"heavy", "H"}, {38.0, 90.0}},             // KC-135 39.9 m .. An-225 88.4 m
    {{"heavy", "J"}, {79.0, 81.0}},             // the A380, 79.75 m
    {{"high_performance", "L"}, {7.0, 10.0}},   // T-38 7.7 m .. K-8 9.6 m
    {{"high_performance", "M"}, {8.0, 32.0}},   // F-5 8.1 m .. the U-2's glider wing 31.4 m
    {{"rotorcraft", "L"}, {7.0, 16.0}},         // Cabri G2 7.2 m .. W-3 Sokół 15.7 m
    {{"rotorcraft", "M"}, {14.0, 33.0}},        // Ka-52 14.5 m .. Mi-26 32 m
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

TEST_F(PublishedTypes, EveryDesignatorOfTheIcaoFormOnceInOneCategoryWithOneSpan)
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
        ASSERT_TRUE(categoryOf.contains(type)) << "span of " << type << ", no known type";
        EXPECT_TRUE(spanned.insert(type).second) << type << " has two spans";
        EXPECT_GT(metres, 0.0) << type;
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

// Every similar group is one of these families, and every family one group: the types of
// one airframe (stretches, shrinks, re-engined and military versions of one design, as
// their makers built them) or one maker's line of one kind, of one category, cut only
// where the size rule makes it. A type taken out of its group, or put into another,
// fails here.
TEST_F(PublishedTypes, EverySimilarGroupIsOneListedFamily)
{
    const std::vector<std::vector<std::string>> families = {
        // heavy
        {"A306", "A30B", "A310", "A3ST"}, // the Beluga is an A300-600
        {"A332", "A333", "A338", "A339", "A342", "A343", "A345", "A346"}, // one wing and fuselage
        {"A359", "A35K"},
        {"B703", "E3CF", "E3TF", "E6"}, // the E-3 and E-6 are 707-320s
        {"B741", "B742", "B743", "B744", "B748", "B74S"}, // the 747, the short 747SP too
        {"B762", "B763", "B764"},
        {"B772", "B773", "B77L", "B77W"},
        {"B788", "B789", "B78X"},
        {"C5", "C5M"},
        {"DC10", "MD11"}, // the MD-11 is a stretched DC-10
        {"DC86", "DC87"},
        {"C135", "K35E", "K35R", "R135"},
        // large
        {"BCS1", "BCS3"},
        {"A318", "A319", "A320", "A321", "A19N", "A20N", "A21N"},
        {"AN24", "AN26", "AN32", "MA60"}, // the MA60 is Xian's An-24
        {"AT43", "AT45", "AT46", "AT72", "AT73", "AT75", "AT76"},
        {"B721", "B722"},
        {"B732", "B733", "B734", "B735", "B736", "B737", "B738", "B739", "B37M", "B38M", "B39M", "P8"},
        {"B752", "B753"},
        {"B461", "B462", "B463", "RJ70", "RJ85", "RJ1H"},
        {"C130", "C30J"},
        {"C295", "CN35"},
        {"CRJ1", "CRJ2", "CRJ7", "CRJ9", "CRJX"},
        {"DH8A", "DH8B", "DH8C", "DH8D"},
        {"D328", "J328"},
        {"E170", "E75S", "E75L", "E190", "E195", "E290", "E295"},
        {"L188", "P3"}, // the P-3 is the Electra's patrol version
        {"E135", "E145", "E45X"},
        {"F27", "F50"},
        {"F28", "F70", "F100"},
        {"B712", "DC93", "MD81", "MD82", "MD83", "MD87", "MD88", "MD90"}, // DC-9, MD-80, MD-90, 717
        {"C27J", "G222"},
        // business jets
        {"WW24", "ASTR", "G150"}, // the Astra and the G150: the Westwind's fuselage on a new wing
        {"CL30", "CL35", "CL60"},
        {"C500", "C501", "C510", "C525", "C25A", "C25B", "C25C", "C25M", "C550", "C551", "C55B", "C560",
         "C650"}, // the straight-wing Citations, the CitationJets and the Citation III
        {"C56X", "C680", "C68A", "C700", "C750"}, // the Sovereign and Latitude grew from the Excel
        {"FA50", "F900", "F2TH", "FA6X", "FA7X", "FA8X"}, // the Falcon 50's line: 18.9 to 26.3 m
        {"FA10", "FA20"},                                 // the small Falcons: 13.1 and 16.3 m
        {"GALX", "G250", "G280"}, // the G280 (first named G250) grew out of the G200
        {"GLEX", "GL5T", "GL7T"},
        {"GLF2", "GLF3", "GLF4", "GLF5", "GLF6", "GA5C", "GA6C", "GA7C"},
        {"BE40", "H25A", "H25B", "H25C", "HA4T"}, // the Hawker line, the Hawker 400 and 4000 in it
        {"LJ24", "LJ31", "LJ35", "LJ40", "LJ45", "LJ55", "LJ60", "LJ70", "LJ75"},
        {"E50P", "E55P"},
        {"E35L", "E545", "E550"}, // Embraer's Legacy 600/650 and the Praetors
        // light
        {"AT5T", "AT8T"},
        {"PA23", "PA27"},
        {"B58T", "BE55", "BE58"},
        {"DH2T", "DHC2"},
        {"BE33", "BE35", "BE36", "BT36"},
        {"C150", "C152", "C162", "C172", "C175", "C177", "C182", "C206", "C207", "C210", "C72R", "C77R", "C82R",
         "C82S", "C82T", "P210", "T206", "T210"}, // the light Cessna singles
        {"C120", "C140", "C170", "C180", "C185", "C195", "O1"},
        {"C303", "C310", "C340", "C402", "C414", "C421"},
        {"CH7A", "CH7B"},
        {"P28A", "P28B", "P28R", "P28S", "P28T", "P28U"},
        {"PAY1", "PAY2", "PAY3", "PAY4"},
        {"SR20", "SR22", "S22T"},
        {"COL3", "COL4"},
        {"C425", "C441"},
        {"J3", "PA11", "PA12", "PA18"},
        {"G120", "G12T"},
        {"AA1", "AA5"},
        {"BN2P", "BN2T"},
        {"JS31", "JS32"},
        {"D11", "DR10", "DR40"},
        {"BE10", "BE20", "BE30", "B350", "BE9L", "BE9T"}, // the King Airs
        {"LA4", "LA25"},
        {"PA46", "P46T", "M600"},
        {"T34P", "T34T"},
        {"M20P", "M20T"},
        {"BE19", "BE23", "BE24"},
        {"DH3T", "DHC3"},
        {"PA20", "PA22"},
        {"PC7", "PC9"},
        {"PA32", "P32R", "P32T"},
        {"PTS1", "PTS2"},
        {"TAMP", "TB20", "TB21", "TOBA", "TRIN"},
        {"TBM7", "TBM8", "TBM9"},
        {"E314", "TUCA"},
        {"RV4", "RV6", "RV7", "RV8", "RV9", "RV14"},
        // rotorcraft
        {"A109", "A119"},
        {"AS50", "AS55", "B105", "BK17", "EC20", "EC30", "EC35", "EC45"},
        {"CDUS", "CLON", "MT"},
        {"A139", "A169", "A189"},
        {"B06", "B407", "B427", "B429", "B505"},
        {"H53", "H53S"},
        {"HUCO", "SUCO"},
        {"AS65", "EC55"},
        {"EN28", "EN48"},
        {"UH1", "B212", "B412", "UH1Y"},
        {"H500", "MD52", "MD60"},
        {"AS32", "AS3B", "EC25", "PUMA"},
        {"R22", "R44", "R66"},
        // military jets
        {"F35", "VF35"},
        {"F18H", "F18S"},
        {"T38", "F5"},
    };
    ASSERT_TRUE(gf_readDbase());
    std::set<std::vector<std::string>> groups(g_similarTypeGroups.begin(), g_similarTypeGroups.end());
    for (std::vector<std::string> family : families) {
        std::sort(family.begin(), family.end());
        EXPECT_EQ(groups.erase(family), 1u) << fmt::format("{} is not one group", fmt::join(family, ","));
    }
    for (const std::vector<std::string>& group : groups)
        ADD_FAILURE() << fmt::format("{} is no listed family", fmt::join(group, ","));
}

// Types of one airframe that share a wing have one span; a wing grown from another (tips
// added, extended) is at least as long. Each line lists sets of types sharing a wing, each
// set's wing the one before it grown.
TEST_F(PublishedTypes, TypesSharingAWingShareItsSpanAndAGrownWingIsNoShorter)
{
    const std::vector<std::vector<std::vector<std::string>>> wings = {
        {{"A332", "A333", "A342", "A343"}, {"A345", "A346"}},
        {{"A332", "A333", "A342", "A343"}, {"A338", "A339"}},
        {{"A359", "A35K"}},
        {{"A319", "A320", "A321", "A19N", "A20N", "A21N"}},
        {{"B741", "B742", "B743", "B74S"}, {"B744"}, {"B748"}}, // winglets, then the -8's new tips
        {{"B762", "B763"}, {"B764"}},                           // the 767-400's raked tips
        {{"B772", "B773"}, {"B77L", "B77W"}},                   // the 777-200LR/-300ER's raked tips
        {{"B788", "B789", "B78X"}},
        {{"B737", "B738", "B739"}, {"B37M", "B38M", "B39M"}}, // the MAX's wing with its own winglets
        {{"B721", "B722"}},
        {{"B752", "B753"}},
        {{"DC10"}, {"MD11"}}, // the DC-10-30's wing with winglets
        {{"DC86", "DC87"}},
        {{"MD81", "MD82", "MD83", "MD87", "MD88", "MD90"}},
        {{"B703", "E3CF", "E3TF"}},
        {{"C135", "K35E", "K35R", "R135"}},
        {{"C5", "C5M"}},
        {{"BCS1", "BCS3"}},
        {{"AT43", "AT45", "AT46"}},
        {{"AT72", "AT73", "AT75", "AT76"}},
        {{"B461", "B462", "B463", "RJ70", "RJ85", "RJ1H"}},
        {{"C130", "C30J"}},
        {{"AN24", "AN26", "AN32", "MA60"}},
        {{"E135", "E145", "E45X"}},
        {{"E170", "E75S"}, {"E75L"}}, // the E175's long wing
        {{"E190", "E195"}},
        {{"F28"}, {"F70", "F100"}}, // the Fokker 100's wing extended
        {{"F27", "F50"}},
        {{"DH8A", "DH8B"}, {"DH8C"}},
        {{"CRJ1", "CRJ2"}, {"CRJ7"}, {"CRJ9"}, {"CRJX"}},
        {{"D328", "J328"}},
        {{"C295", "CN35"}},
        {{"F2TH", "F900"}},   // the Falcon 2000 flies the Falcon 900's wing
        {{"CL30"}, {"CL35"}}, // the Challenger 350's canted winglets
        {{"C500", "C501"}},
        {{"C551"}, {"C550"}}, // C550 also covers the S550 Citation S/II, whose new wing is longer
        {{"C680", "C68A"}},
        {{"GLF2", "GLF3", "GLF4"}}, // the GII-B flies the GIII's wing
        {{"GLEX", "GL5T"}},
        {{"G250", "G280"}},
        {{"LJ40", "LJ45"}},
        {{"LJ55", "LJ60"}},
        {{"LJ70", "LJ75"}},
        {{"E545", "E550"}},
        {{"SR20", "SR22", "S22T"}},
        {{"TBM7", "TBM8"}, {"TBM9"}}, // the TBM 900's winglets
        {{"BN2P", "BN2T"}},
        {{"JS31", "JS32"}},
        {{"DH2T", "DHC2"}},
        {{"DH3T", "DHC3"}},
        {{"AS50", "AS55", "EC30"}}, // one main rotor
        {{"R44", "R66"}},
        {{"H500", "MD52"}},
    };
    ASSERT_TRUE(gf_readDbase());
    for (const auto& line : wings) {
        for (size_t step = 0; step < line.size(); ++step) {
            const std::string& first = line[step].front();
            for (const std::string& type : line[step]) {
                EXPECT_TRUE(gf_isKnownType(type)) << type;
                EXPECT_DOUBLE_EQ(lf_metres(type), lf_metres(first)) << type << " and " << first << " share a wing";
            }
            if (step > 0) {
                const std::string& before = line[step - 1].front();
                EXPECT_GE(lf_metres(first), lf_metres(before)) << first << "'s wing grew from " << before << "'s";
            }
        }
    }
}

// Every type's category, ICAO wake category and span fit together (kCategoryWakeSpans).
TEST_F(PublishedTypes, EveryTypesCategoryWakeAndSpanFitTogether)
{
    const databuild::HandTables tables = databuild::readHandTables(tavtest::toolsFolder() / "data");
    ASSERT_TRUE(gf_readDbase());
    ASSERT_EQ(tables.types.size(), known_.size());
    for (const databuild::HandType& t : tables.types) {
        const std::string category(databuild::categoryName(gf_typeCategory(t.type)));
        const auto it = kCategoryWakeSpans.find({category, t.wake});
        if (it == kCategoryWakeSpans.end()) {
            ADD_FAILURE() << t.type << ": no type is " << category << " of wake " << t.wake;
            continue;
        }
        const double metres = lf_metres(t.type);
        EXPECT_TRUE(metres >= it->second.low && metres <= it->second.high)
            << t.type << " (" << category << ", wake " << t.wake << "): " << metres << " m, outside "
            << it->second.low << " .. " << it->second.high;
    }
}

// ICAO's wake category L is a maximum take-off mass of 7,000 kg or less, M more (up to
// 136 t): the small business jets either side of the line, with their makers' masses of
// the heaviest variant each designator covers.
TEST_F(PublishedTypes, TheSmallJetsWakeFollowsTheirMakersTakeOffMass)
{
    const std::vector<std::pair<const char*, double>> massKg = {
        {"C510", 3930}, // Citation Mustang, 8,645 lb
        {"C525", 4853}, // CJ1+, 10,700 lb
        {"C25M", 4853}, // M2, 10,700 lb
        {"C25A", 5670}, // CJ2+, 12,500 lb
        {"C25B", 6291}, // CJ3+, 13,870 lb
        {"C25C", 7761}, // CJ4, 17,110 lb
        {"C500", 5375}, // Citation I, 11,850 lb
        {"C501", 5375}, // Citation I/SP
        {"C550", 6849}, // Citation S/II, 15,100 lb
        {"C551", 5670}, // Citation II/SP, 12,500 lb
        {"C55B", 6713}, // Citation Bravo, 14,800 lb
        {"C560", 7634}, // Citation Encore+, 16,830 lb
        {"C56X", 9163}, // Citation XLS+, 20,200 lb
        {"E50P", 4800}, // Phenom 100EV, 10,582 lb
        {"E55P", 8415}, // Phenom 300E, 18,552 lb
        {"HDJT", 4853}, // HondaJet Elite, 10,700 lb
        {"SF50", 2727}, // Vision Jet G2, 6,000 lb
        {"EA50", 2722}, // Eclipse 500/550, 6,000 lb
        {"PRM1", 5670}, // Premier IA, 12,500 lb
        {"BE40", 7394}, // Hawker 400XP, 16,300 lb
        {"LJ24", 6123}, // Learjet 24, 13,500 lb
        {"LJ31", 7711}, // Learjet 31A, 17,000 lb
        {"LJ35", 8301}, // Learjet 35A, 18,300 lb
        {"PC24", 8300}, // PC-24, 18,300 lb
        {"FA10", 8500}, // Falcon 10, 18,740 lb
    };
    const databuild::HandTables tables = databuild::readHandTables(tavtest::toolsFolder() / "data");
    std::map<std::string, std::string> wakeOf;
    for (const databuild::HandType& t : tables.types)
        wakeOf[t.type] = t.wake;
    for (const auto& [type, kg] : massKg) {
        ASSERT_TRUE(wakeOf.contains(type)) << type;
        EXPECT_EQ(wakeOf[type], kg <= 7000 ? "L" : "M") << type << " of " << kg << " kg";
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
