#include "livery_fixture.h"

#include "support/test_support.h"

using namespace liverytest;

namespace {

const std::string kGeneral = "[General]\natc_model=B738\n";

struct CfgCase {
    std::string name, cfg, records, reports;
};

// The faults a generated collection plants in every scan (test_livery_collection.py) are
// not repeated here.
std::vector<CfgCase> cfgCases()
{
    const std::string s0 = kGeneral + klmSection();
    const std::string klm1 = "KLM B738 'KLM 1' PH-BXA 1 pax";
    const std::string noAirline = "section: <F>/aircraft.cfg [fltsim.0] icao_airline is missing, or it has invalid info ";
    const std::string noCodes = with(s0, "atc_parking_codes=KLM\n", "");
    return {
        {"plain", s0, klm1, ""},
        {"DLHX,DLH", with(s0, "codes=KLM", "codes=DLHX,DLH"), "DLH B738 'KLM 1' PH-BXA 1 pax", ""},
        {"two registrations", with(s0, "PH-BXA", "PH-BXA, PH-BXB"), "KLM B738 'KLM 1' - 1 pax", ""},
        {"two titles before the airline", with(s0, "sim=", "title=KLM 2\nsim="), "",
         "section: <F> [fltsim.0] has more than one title key\n" + noAirline},
        {"second sim and texture ignored", s0 + "texture=AFR\nsim=X\n", klm1, ""},
        {"an empty model= is no model key", s0 + "model=Y\n", "", "section: <F>/model.Y or related path does not exist: [fltsim.0]"},
        {"number 10000", kGeneral + klmSection("[fltsim.10000]"), klm1, ""},
        {"number -1 passes as 10000", kGeneral + klmSection("[fltsim.-1]"), klm1, ""},
        {"number x passes as 10000", kGeneral + klmSection("[fltsim.x]"), klm1, ""},
        {"header in mixed case", kGeneral + klmSection(" [FltSim.2] "), klm1, ""},
        {"atc_model inside the section", klmSection("[fltsim.0]", "KLM 1", "atc_model=B738\n"), klm1, ""},
        {"fixed type", with(s0, "=B738\n[", "=B737-800\n["), klm1,
         "fix: Model fix: B737-800 found in <F>/aircraft.cfg changed into B738"},
        {"heavy without airline and atc_id", with(with(noCodes, "=B738\n[", "=B77L\n["), "atc_id=PH-BXA\n", ""), "",
         noAirline + "\nsection: '<F>' '[fltsim.0]' has no airline and no regcode info"},
        {"heavy with an unknown registration", with(with(noCodes, "=B738\n[", "=B77L\n["), "PH-BXA", "PH-QQQ"), "",
         noAirline + "\nsection: '<F>' '[fltsim.0]' has no airline and regcode not in dbase"},
        {"flight model missing", with(s0, "sim=B738", "sim=B739"), "",
         "section: <F>/model. or related path does not exist: [fltsim.0]"},
        {"title in capitals with blanks", with(s0, "title=KLM 1", "  TITLE  =  KLM 1  "), klm1, ""},
        {"[General] ends the section", with(s0, "title=KLM 1\n", "") + "[General]\ntitle=KLM 1\n", "",
         "section: <F> [fltsim.0] misses title"},
        {"a commented header ends the section before it",
         s0 + "//[fltsim.1]\ntitle=KLM 2\natc_id=PH-BXB\n" + klmSection("[fltsim.2]", "KLM 3"),
         klm1 + "\nKLM B738 'KLM 3' PH-BXA 1 pax", ""},
        {"a header commented with ';' too", s0 + ";[fltsim.1]\ntitle=KLM 2\n" + klmSection("[fltsim.2]", "KLM 3"),
         klm1 + "\nKLM B738 'KLM 3' PH-BXA 1 pax", ""},
        {"a later '[' ends nothing", with(s0, "title=KLM 1\n", "") + "descr=[blue] x\ntitle=KLM 1\n", klm1, ""},
    };
}

} // namespace

TEST_F(LiveryScan, EachSectionGivesItsRecordAndReportLines)
{
    tavtest::TempFolder root("cfg");
    int n = 0;
    for (const CfgCase& c : cfgCases()) {
        clearScan();
        const fs::path folder = root / std::to_string(n++);
        writeLiveryFolder(folder, "aircraft.cfg", c.cfg);
        EXPECT_EQ(recordsText(lf_searchLiveriesinFile(1, folder / "aircraft.cfg")), c.records) << c.name;
        EXPECT_EQ(reportsText(folder), c.reports) << c.name;
    }
}

TEST_F(LiveryScan, IvaoPackagesTakeTheTypeFromTheFolderAndTheAirlineFromTheTitle)
{
    // The common cases and faults come in every generated collection (test_livery_collection.py).
    struct Case {
        std::string name, package, title, more, records, reports;
    };
    std::vector<Case> cases = {
        {"blanks after the type", "IVAO_B738w", "b738  KLM x", "", "KLM B738 'b738  KLM x' PH-BXA 1 pax", ""},
        {"glider, private", "IVAO_GLID_KA8", "GLID ZZZ Ka 8", "", "ZZZ GLID 'GLID ZZZ Ka 8' - 1 pax", ""},
        {"unknown registration", "IVAO_B738w", "Boeing KLM", "atc_id=PH-QQQ\n", "",
         "section: <F> [fltsim.0] misses airlinecode in title: Boeing KLM, and regcode unknown PH-QQQ"},
        {"a later '[' ends the section", "IVAO_B738w", "B738KLM", "descr=[x]\ntitle=B738KLM\n", "",
         "section: <F> [fltsim.0] misses title"},
    };
    // A commented header ends the section before it and opens none: its keys are nobody's.
    const std::string third = "[fltsim.2]\nsim=B738\nmodel=\ntexture=KLM\ntitle=B738KLM three\n";
    for (const std::string comment : {"//[fltsim.1]", ";[fltsim.1]", "  ; [fltsim.1]"})
        cases.push_back({"commented header " + comment, "IVAO_B738w", "",
                         "title=B738KLM one\n" + comment + "\ntitle=B738KLM two\natc_id=PH-BXB\n" + third,
                         "KLM B738 'B738KLM one' - 1 pax\nKLM B738 'B738KLM three' - 1 pax", ""});
    tavtest::TempFolder root("ivao");
    int n = 0;
    for (const Case& c : cases) {
        clearScan();
        const fs::path folder = root / std::to_string(n++) / "IVAO_MTL" / c.package;
        std::string cfg = "[fltsim.0]\nsim=B738\nmodel=\ntexture=KLM\natc_parking_types=CARGO\n";
        if (c.more.find("atc_id") == std::string::npos)
            cfg += "atc_id=PH-BXA\n";
        if (c.more.find("title") == std::string::npos)
            cfg += "title=" + c.title + "\n";
        cfg += c.more;
        writeLiveryFolder(folder, "aircraft.cfg", cfg);
        EXPECT_EQ(recordsText(lf_searchLiveriesinIVAOFile(1, folder / "aircraft.cfg")), c.records) << c.name;
        EXPECT_EQ(reportsText(folder), c.reports) << c.name;
    }
}

TEST_F(LiveryScan, IvaoTypeCodesComeOnlyFromTheWholePackagePath)
{
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"pkg/IVAO_MTL/IVAO_B738w/aircraft.cfg", "B738"},   {"pkg/ivao_mtl/ivao_A320/AIRCRAFT.CFG", "A320"},
        {"pkg/IVAO_MTL/IVAO_GLID_KA8/aircraft.cfg", "GLID"}, {"pkg/IVAO_MTL/IVAO_GLID_SH/aircraft.cfg", "GLID"},
        {"pkg/IVAO_MTL/IVAO_B737-800/aircraft.cfg", ""},     {"pkg/IVAO_MTL/IVAO_B738w/sim.cfg", ""},
        {"pkg/ivao_x-csl/B738/aircraft.cfg", ""},             {"IVAO_MTL/IVAO_B738/aircraft.cfg", ""},
        {"pkg/IVAO_MTL/IVAO_XXXX/aircraft.cfg", ""},
    };
    for (const auto& [path, type] : cases)
        EXPECT_EQ(lf_fixIVAOModel(gf_pathFromUtf8(path)), type) << path;
    EXPECT_EQ(reportsText("pkg"), "aircraft: XXXX             in <F>/IVAO_MTL/IVAO_XXXX/aircraft.cfg");
    // A file that the path rules out is not opened: a missing one logs nothing.
    EXPECT_TRUE(lf_searchLiveriesinIVAOFile(1, "missing/IVAO_MTL/IVAO_B738w/sim.cfg").empty());
    EXPECT_TRUE(lf_searchLiveriesinIVAOFile(1, "missing/ivao_x-csl/B738/aircraft.cfg").empty());
    EXPECT_FALSE(log_.contains("No text encoding"));
}

TEST(LiveryKeys, KeysMatchTheWholeLineInAnyCase)
{
    // A title key, or "-"; a header's number ("" when the line is none).
    const std::vector<std::pair<std::string, std::string>> titles = {
        {"title=A", "A"},   {" \tTitle = A b \t", "A b"}, {"title=", "-"},     {"title=   ", "-"},
        {"titles=A", "-"},  {"x title=A", "-"},           {"title A", "-"},    {";title=A", "-"},
        {"title=a\rb", "-"}, {"title=a\r", "a"},           {"title==A", "=A"}, {"TITLE=\xC3\xA9", "\xC3\xA9"},
    };
    for (const auto& [line, title] : titles) {
        std::string value = "-";
        EXPECT_EQ(lf_matchTitleKey(line, value), title != "-") << line;
        EXPECT_EQ(value, title) << line;
    }
    const std::vector<std::pair<std::string, std::string>> headers = {
        {"[fltsim.12]", "12"}, {"  [FLTSIM.0]  ", "0"}, {"[fltsim.x]", "10000"}, {"x[FLTSIM.1", "10000"},
        {"[Fltsim.x]", ""},    {"//[fltsim.1]", ""},    {"  ;[fltsim.3]", ""},   {"[fltsim.1] x", "10000"},
        {"[General]", ""},     {"[fltsim.]", "10000"},
    };
    for (const auto& [line, number] : headers)
        EXPECT_EQ(lf_matchFltSimHeader(line), number) << line;
    std::string code;
    EXPECT_TRUE(lf_matchParkingCodesKey("atc_parking_codes = DLHX , DLH", code));
    EXPECT_EQ(code, "DLHX");
}
