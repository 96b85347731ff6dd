#include <gtest/gtest.h>

#include <map>
#include <set>

#include <fmt/format.h>

#include "catalogue/dbase.h"
#include "catalogue/liveries.h"
#include "foundation/folders.h"
#include "foundation/settings_catalogue.h"
#include "livery_tables_fixture.h"
#include "support/data_file_fixture.h"
#include "support/fictional_fleet.h"
#include "traffic/aircraft_records.h"

namespace {

struct Livery {
    std::string airline, type, title, reg;
    bool cargo = false;
};

// Liveries of the fixture's fictional registrations: every fourth one of its own registration,
// every fourth of its airline and type (half of these cargo), some ZZZ and airline-less
// ones; a quarter of the pairs have none.
std::vector<Livery> lf_collection()
{
    std::vector<Livery> liveries;
    size_t i = 0;
    for (const auto& entry : g_dbaseRecords) {
        const DbaseRecord& r = entry.record;
        if (i % 4 == 0)
            liveries.push_back({r.airl, r.type, fmt::format("R{} {} {}", i, r.airl, r.type), entry.reg});
        else if (i % 4 == 1)
            liveries.push_back({r.airl, r.type, fmt::format("T{} {} {}", i, r.airl, r.type), "", i % 8 == 1});
        else if (i % 12 == 3)
            liveries.push_back({"ZZZ", r.type, fmt::format("Z{} {}", i, r.type), "", i % 24 == 3});
        else if (i % 12 == 7)
            liveries.push_back({"", r.type, fmt::format("G{} {}", i, r.type)});
        ++i;
    }
    return liveries;
}

void lf_writeCollection(const std::vector<Livery>& liveries)
{
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<root>\n<meta>\n"
                      "<info name=\"author\" value=\"Tavelorium_P3D\" />\n<info name=\"version\" value=\"11.10.3\" />\n"
                      "<info name=\"date\" value=\"2026-12-01\" />\n<info name=\"copyright\" value=\"Tavelorium_P3D\" />\n"
                      "<info name=\"sim\" value=\"3\" />\n<info name=\"P3D\" value=\"v56\" />\n</meta>\n<liveries>\n";
    for (const Livery& l : liveries)
        xml += fmt::format("<liv airl=\"{}\" type=\"{}\" title=\"{}\"{}{} />\n", l.airline, l.type, l.title,
                           l.reg.empty() ? "" : fmt::format(" atcid=\"{}\"", l.reg), l.cargo ? " cargo=\"true\"" : "");
    tavtest::writeFile(gf_paths().liveriesScanned, xml + "</liveries>\n</root>\n");
}

// What the flights may wear, worked out from the collection alone.
class Oracle {
public:
    explicit Oracle(const std::vector<Livery>& liveries)
    {
        for (const Livery& l : liveries) {
            cargoTitles_[l.title] = l.cargo;
            byPair_[{l.airline, l.type}].push_back(&l);
            byType_[l.type].push_back(&l);
            if (!l.reg.empty())
                byReg_[l.reg] = l.title;
        }
        for (const std::vector<std::string>& group : g_similarTypeGroups)
            for (const std::string& type : group)
                groups_[type].push_back(&group);
    }

    // An empty text when the title is one the flight may wear, else why not.
    std::string judge(const AcIdentity& f, std::string_view title, const DbaseRecord* record) const
    {
        if (const auto it = byReg_.find(f.registration); it != byReg_.end())
            return title == it->second ? "" : "not the registration's livery";
        if (!title.empty() && !f.cargo && cargoTitles_.at(std::string(title)))
            return "a cargo livery on a passenger flight";
        const bool operated = record && !record->opr.empty();
        std::vector<std::set<std::string>> firstChoices;
        if (f.airline == "PVT")
            firstChoices.push_back(wearable("ZZZ", f.aircraftType, f.cargo));
        firstChoices.push_back(wearable(f.airline, f.aircraftType, f.cargo));
        if (operated)
            firstChoices.push_back(wearable(record->airl, f.aircraftType, f.cargo));
        for (const std::set<std::string>& choice : firstChoices) {
            if (!choice.empty())
                return choice.contains(std::string(title)) ? "" : "not of its airline and type";
        }
        if (!title.empty())
            return "";
        if (!wearable("ZZZ", f.aircraftType, f.cargo).empty())
            return "none, though a private livery of the type exists";
        const bool small = f.category == TypeCategory::Other || f.category == TypeCategory::Buzjet ||
                           f.category == TypeCategory::Rotorcraft;
        if (small && !generic(f.aircraftType, f.cargo).empty())
            return "none, though a livery of the type exists";
        for (const std::string& airline : {f.airline, operated ? record->airl : f.airline}) {
            if (!byPair_.contains({airline, f.aircraftType}) && hasAlternative(airline, f))
                return "none, though the airline has a similar type";
        }
        return "";
    }

private:
    std::set<std::string> wearable(const std::string& airline, const std::string& type, bool cargo) const
    {
        std::set<std::string> pax, freight;
        if (const auto it = byPair_.find({airline, type}); it != byPair_.end())
            for (const Livery* l : it->second)
                (l->cargo ? freight : pax).insert(l->title);
        return cargo && !freight.empty() ? freight : pax;
    }
    std::set<std::string> generic(const std::string& type, bool cargo) const
    {
        std::set<std::string> titles;
        if (const auto it = byType_.find(type); it != byType_.end())
            for (const Livery* l : it->second)
                if (l->cargo == cargo)
                    titles.insert(l->title);
        return titles;
    }
    // Only types of one group: a type of several takes one of them.
    bool hasAlternative(const std::string& airline, const AcIdentity& f) const
    {
        const auto it = groups_.find(f.aircraftType);
        if (it == groups_.end() || it->second.size() != 1)
            return false;
        for (const std::string& other : *it->second.front())
            if (other != f.aircraftType && gf_typeCategory(other) == f.category &&
                !wearable(airline, other, f.cargo).empty())
                return true;
        return false;
    }

    std::map<std::string, bool> cargoTitles_;
    std::map<std::pair<std::string, std::string>, std::vector<const Livery*>> byPair_;
    std::map<std::string, std::vector<const Livery*>> byType_;
    std::map<std::string, std::string> byReg_;
    std::map<std::string, std::vector<const std::vector<std::string>*>> groups_;
};

} // namespace

TEST(LiveryQuality, EveryFlightWearsTheBestLiveryTheCollectionCarries)
{
    const tavtest::FictionalData data = tavtest::fictionalDataFiles(tavtest::toolsFolder(), 6000);
    tavtest::ProgramFolder program;
    tavtest::writeEncryptedInput("dbase.enc", data.files.dbaseXml);
    tavtest::LogCapture log;
    ASSERT_TRUE(gf_readDbase());
    std::filesystem::create_directories(gf_paths().outputInfo);
    const std::vector<Livery> liveries = lf_collection();
    lf_writeCollection(liveries);
    gf_clearLiveryTables();
    liverytables::resetSettings();
    gf_processScannedLiveries();
    ASSERT_TRUE(g_liveriesProcessed);
    const Oracle oracle(liveries);

    for (const bool random : {false, true}) {
        RANDOM.value = random;
        g_liveryMatchCounts = {};
        size_t i = 0, faults = 0;
        for (const auto& entry : g_dbaseRecords) {
            if (i == 6000)
                break;
            AcIdentity id;
            id.airline = i % 10 == 9 ? "PVT" : entry.record.opr.empty() ? entry.record.airl : entry.record.opr;
            id.aircraftType = entry.record.type;
            id.registration = i++ % 7 == 6 ? "" : entry.reg;
            id.callsign = "TST1";
            id.cargo = entry.record.cargo;
            id.category = gf_typeCategory(id.aircraftType);
            LiveAc ac(PosSample{}, std::move(id), 0.0);
            gf_matchLiveLivery(ac);
            const std::string fault = oracle.judge(ac, ac.liveryTitle, gf_findDbaseRecord(ac.registration));
            if (!fault.empty() && ++faults <= 5)
                ADD_FAILURE() << gf_airlineTypeRegText(ac) << " cargo " << ac.cargo << ": '" << ac.liveryTitle
                              << "' " << fault;
        }
        EXPECT_EQ(faults, 0u) << "RANDOM " << random;
        std::printf("RANDOM %s, %zu flights over %zu liveries, matches per step: %s\n", random ? "on" : "off", i,
                    liveries.size(), fmt::format("{}", fmt::join(g_liveryMatchCounts, " ")).c_str());
    }
    gf_clearLiveryTables();
    RANDOM.value = true;
}
