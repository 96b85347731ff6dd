#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "catalogue/livery_match_internal.h"
#include "catalogue/livery_scan.h"
#include "catalogue/similar_types.h"
#include "databuild/data_files.h"
#include "livery_tables_fixture.h"
#include "traffic/aircraft_records.h"

using namespace liverytables;

namespace {

// A small collection as a user may have it: a few airlines' airliners, NetJets' Latitude,
// and private liveries of light aircraft, a helicopter and business jets of every size.
const std::vector<std::pair<std::string, std::string>> kCollection = {
    {"KLM", "B738"}, {"KLM", "B77W"}, {"KLM", "E190"}, {"EZY", "A320"}, {"BAW", "A320"}, {"DLH", "A321"},
    {"ZZZ", "C172"}, {"ZZZ", "SR22"}, {"ZZZ", "EC35"}, {"ZZZ", "C25A"}, {"ZZZ", "C510"}, {"ZZZ", "CL60"},
    {"ZZZ", "E50P"}, {"ZZZ", "F2TH"}, {"ZZZ", "F900"}, {"ZZZ", "GLF5"}, {"ZZZ", "LJ45"}, {"NJE", "C68A"}};

// The published types table as the program reads it, and the collection above scanned.
class PublishedStandIns : public LiveryTables {
protected:
    void SetUp() override
    {
        LiveryTables::SetUp();
        tavtest::writeEncryptedInput("dbase.enc", databuild::buildDataFiles(tavtest::toolsFolder()).dbaseXml);
        ASSERT_EQ(dbasetest::readWrittenDbase(), "ok");
        gf_overrideDataFolder(fs::current_path());
        for (const auto& [airline, type] : kCollection)
            g_scannedLiveries.push_back({airline, type, airline + " " + type, "", 0, false});
        ASSERT_TRUE(gf_writeLiveriesScanned());
        g_scannedLiveries.clear();
        process();
    }
    // The type of the livery the live cascade gives such a flight ("" for none).
    static std::string standIn(std::string_view airline, std::string_view type)
    {
        AcIdentity id;
        id.airline = airline;
        id.aircraftType = type;
        id.callsign = "TST123";
        id.category = gf_typeCategory(type);
        LiveAc ac(PosSample{}, std::move(id), 0.0);
        gf_matchLiveLivery(ac);
        const std::string title(ac.liveryTitle);
        return title.empty() ? "" : title.substr(title.find(' ') + 1);
    }
    static double ratio(std::string_view a, std::string_view b)
    {
        const double x = gf_halfWingspan(a), y = gf_halfWingspan(b);
        return std::max(x, y) / std::min(x, y);
    }
};

} // namespace

// An aircraft without a livery of its own takes one of its family where the collection has
// one, its operator's own where that operator flies its family, else a type near its size.
TEST_F(PublishedStandIns, AFamilyKeepsItsStandInsAndAnOperatorItsLivery)
{
    const std::vector<std::tuple<std::string, std::string, std::string>> cases = {
        {"XXX", "FA7X", "F2TH"}, // a Falcon, not a Citation CJ2
        {"XXX", "FA8X", "F2TH"},
        {"XXX", "E55P", "E50P"}, // a Phenom
        {"NJE", "C56X", "C68A"}, // NetJets' own Latitude livery for its Excel
        {"XXX", "C56X", "C68A"},
        {"XXX", "C750", "C68A"},
        {"XXX", "C25C", "C25A"},
        // No family livery: the type nearest in span, never one of another size.
        {"XXX", "FA10", "C510"}, // 13.1 m: the Mustang's 13.2 m
        {"XXX", "SF50", "E50P"}, // 11.8 m: the Phenom 100's 12.3 m, not a Gulfstream
        {"XXX", "GLF6", "GLF5"},
        {"XXX", "GL7T", "GLF5"},
        {"XXX", "PC12", "SR22"}, // 16.3 m: the Cirrus's 11.7 m, nearer than the C172's 11.0 m
        {"XXX", "DHC6", "C172"}, // 19.8 m: no light type of the collection within 1.5:1, the list's first
        {"XXX", "R44", "EC35"},
    };
    for (const auto& [airline, type, expected] : cases) {
        EXPECT_EQ(standIn(airline, type), expected) << airline << " " << type;
        EXPECT_EQ(standIn(airline, type), expected) << airline << " " << type << " again";
    }
}

// While RANDOM is on, a stand-in from the category's list is drawn among the types within
// 1.5:1 of the aircraft's span whenever there is one, over every light, business jet and
// rotorcraft type of the table; the Falcon 7X always gets a Falcon.
TEST_F(PublishedStandIns, RandomStandInsStayNearInSizeWhereAnyIs)
{
    RANDOM.value = true;
    std::map<std::string, int> falcons;
    for (int i = 0; i < 400; ++i)
        ++falcons[standIn("XXX", "FA7X")];
    EXPECT_EQ(falcons.size(), 2u);
    EXPECT_GT(falcons["F2TH"], 150);
    EXPECT_GT(falcons["F900"], 150);

    size_t picks = 0, near = 0, outside = 0;
    for (const std::string& type : gf_typeSet(TypeSet::Known)) {
        const TypeCategory category = gf_typeCategory(type);
        if (category != TypeCategory::Other && category != TypeCategory::Buzjet && category != TypeCategory::Rotorcraft)
            continue;
        const bool anyNear = std::any_of(kCollection.begin(), kCollection.end(), [&](const auto& livery) {
            return livery.second != type && gf_typeCategory(livery.second) == category &&
                   ratio(livery.second, type) <= 1.5;
        });
        for (int i = 0; i < 20; ++i) {
            const std::string picked = standIn("XXX", type);
            if (picked.empty() || picked == type)
                continue;
            ++picks;
            EXPECT_EQ(gf_typeCategory(picked), category) << type << " -> " << picked;
            if (ratio(picked, type) <= 1.5)
                ++near;
            else if (anyNear)
                ++outside;
        }
    }
    std::printf("%zu stand-ins, %zu within 1.5:1 in span, %zu outside where one within was at hand\n",
                picks, near, outside);
    EXPECT_GT(picks, 4000u);
    EXPECT_GT(near, picks * 3 / 4);
    EXPECT_EQ(outside, 0u) << "stand-ins outside 1.5:1 where one within was at hand";
}
