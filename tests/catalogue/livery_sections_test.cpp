#include "livery_fixture.h"

#include <optional>

#include "support/test_support.h"

using namespace liverytest;

namespace {

const std::string kGeneral = "[General]\natc_model=B738\n";

struct CfgCase {
    std::string name;
    std::string cfg;
    std::string records;
    std::string reports;
    std::vector<std::string> items = {"model/", "texture.KLM/", "B738.air"};
    std::string notToUse;
    std::string logged;
};

std::vector<CfgCase> cfgCases()
{
    const std::string s0 = kGeneral + klmSection();
    const std::string klm1 = "KLM B738 'KLM 1' PH-BXA 1 pax";
    const std::string noAirline = "section: <F>/aircraft.cfg [fltsim.0] icao_airline is missing, or it has invalid info ";
    const std::string noCodes = with(s0, "atc_parking_codes=KLM\n", "");
    return {
        {"plain", s0, klm1, ""},
        {"DLHX,DLH", with(s0, "codes=KLM", "codes=DLHX,DLH"), "DLH B738 'KLM 1' PH-BXA 1 pax", ""},
        {"DLHC", with(s0, "codes=KLM", "codes=DLHC"), "DLH B738 'KLM 1' PH-BXA 1 pax", ""},
        {"four letters, not X or C", with(s0, "codes=KLM", "codes=DLHA"), klm1,
         "airline: DLHA         in <F>/aircraft.cfg [fltsim.0]\n" + noAirline},
        {"RFO drops silently", with(s0, "codes=KLM", "codes=RFO"), "", ""},
        {"ZZZ has no registration", with(s0, "codes=KLM", "codes=ZZZ"), "ZZZ B738 'KLM 1' - 1 pax", ""},
        {"cargo in lower case", with(s0, "=GATE", "=gate, cargo"), "KLM B738 'KLM 1' PH-BXA 1 cargo", ""},
        {"atc_id comment cut", with(s0, "PH-BXA", "PH-BXA ; note"), klm1, ""},
        {"two registrations", with(s0, "PH-BXA", "PH-BXA, PH-BXB"), "KLM B738 'KLM 1' - 1 pax", ""},
        {"atc_id with a star", with(s0, "PH-BXA", "PH*BXA"), "KLM B738 'KLM 1' - 1 pax",
         "section: invalid atc_id=PH*BXA in: KLM 1"},
        {"atc_id of 13 bytes", with(s0, "PH-BXA", "PH-BXAAAAAAAA"), "KLM B738 'KLM 1' - 1 pax",
         "section: invalid atc_id=PH-BXAAAAAAAA in: KLM 1"},
        {"trailing commented atc_id", s0 + "//atc_id=PH-BXB\n\n", klm1, ""},
        {"middle commented atc_id", with(s0, "ui_type", "//atc_id=PH-BXB\nui_type"), "",
         "section: <F>, [fltsim.0], has more than one atc_id key"},
        {"two titles", s0 + "title=KLM 2\n", "", "section: <F> [fltsim.0] has more than one title key"},
        {"two titles before the airline", with(s0, "sim=", "title=KLM 2\nsim="), "",
         "section: <F> [fltsim.0] has more than one title key\n" + noAirline},
        {"two parking codes", s0 + "atc_parking_codes=DLH\n", "",
         "section: <F> [fltsim.0] has more than one atc_parking_codes key"},
        {"two parking types", s0 + "atc_parking_types=RAMP\n", "",
         "section: <F> [fltsim.0] has more than one atc_parking_types key"},
        {"commented header", s0 + ";[fltsim.3]\n;title=KLM old\n", klm1, ""},
        {"second sim and texture ignored", s0 + "texture=AFR\nsim=X\n", klm1, ""},
        {"an empty model= is no model key", s0 + "model=Y\n", "", "section: <F>/model.Y or related path does not exist: [fltsim.0]"},
        {"number 10000", kGeneral + klmSection("[fltsim.10000]"), klm1, ""},
        {"number 10001", kGeneral + klmSection("[fltsim.10001]"), "",
         "file: <F>/aircraft.cfg contains a [fltsim.x] section with a number < 0 or > 10000"},
        {"number -1 passes as 10000", kGeneral + klmSection("[fltsim.-1]"), klm1, ""},
        {"number x passes as 10000", kGeneral + klmSection("[fltsim.x]"), klm1, ""},
        {"number beyond 32 bits", kGeneral + klmSection("[fltsim.99999999999]"), "", "", {}, "",
         "==> fltsim num 99999999999 incorrect"},
        {"header in mixed case", kGeneral + klmSection(" [FltSim.2] "), klm1, ""},
        {"no section", kGeneral, "", "nosection: <F>/aircraft.cfg"},
        {"no atc_model", klmSection(), "", "file: Line atc_model= is missing in [General] section of <F>/aircraft.cfg"},
        {"atc_model inside the section", klmSection("[fltsim.0]", "KLM 1", "atc_model=B738\n"), klm1, ""},
        {"unknown type", with(s0, "=B738\n[", "=XXXX\n["), "", "aircraft: XXXX             in <F>/aircraft.cfg"},
        {"fixed type", with(s0, "=B738\n[", "=B737-800\n["), klm1,
         "fix: Model fix: B737-800 found in <F>/aircraft.cfg changed into B738"},
        {"heavy without airline and atc_id", with(with(noCodes, "=B738\n[", "=B77L\n["), "atc_id=PH-BXA\n", ""), "",
         noAirline + "\nsection: '<F>' '[fltsim.0]' has no airline and no regcode info"},
        {"light without airline and atc_id",
         with(with(with(noCodes, "=B738\n[", "=C172\n["), "atc_id=PH-BXA\n", ""), "KLM 1", "Cessna N1ZZ"),
         "PVT C172 'Cessna N1ZZ' N1ZZ 1 pax", noAirline},
        {"airline from the database", noCodes, klm1, noAirline},
        {"heavy with an unknown registration", with(with(noCodes, "=B738\n[", "=B77L\n["), "PH-BXA", "PH-QQQ"), "",
         noAirline + "\nsection: '<F>' '[fltsim.0]' has no airline and regcode not in dbase"},
        {"light with an unknown registration", with(noCodes, "PH-BXA", "PH-QQQ"), "PVT B738 'KLM 1' PH-QQQ 1 pax",
         noAirline},
        {"texture folder missing", with(s0, "texture=KLM", "texture=AFR"), "",
         "section: <F>/model. or related path does not exist: [fltsim.0]"},
        {"flight model missing", with(s0, "sim=B738", "sim=B739"), "",
         "section: <F>/model. or related path does not exist: [fltsim.0]"},
        {"model folder missing", with(s0, "model=\n", "model=X\n"), "",
         "section: <F>/model.X or related path does not exist: [fltsim.0]"},
        {"no title", with(s0, "title=KLM 1", "title=   "), "", "section: <F> [fltsim.0] misses title"},
        {"title in capitals with blanks", with(s0, "title=KLM 1", "  TITLE  =  KLM 1  "), klm1, ""},
        {"title not to use", s0, "", "", {"model/", "texture.KLM/", "B738.air"}, "KLM 1"},
        {"title repeated in the file", s0 + klmSection("[fltsim.1]"), klm1,
         "section: <F> [fltsim.1] title 'KLM 1' already exists"},
        {"[General] ends the section", with(s0, "title=KLM 1\n", "") + "[General]\ntitle=KLM 1\n", "",
         "section: <F> [fltsim.0] misses title"},
        {"a commented header ends the section before it",
         s0 + "//[fltsim.1]\ntitle=KLM 2\natc_id=PH-BXB\n" + klmSection("[fltsim.2]", "KLM 3"),
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
        if (!c.notToUse.empty())
            g_titlesNotToUse.push_back(c.notToUse);
        const fs::path folder = root / std::to_string(n++);
        writeLiveryFolder(folder, "aircraft.cfg", c.cfg, c.items);
        EXPECT_EQ(recordsText(lf_searchLiveriesinFile(1, folder / "aircraft.cfg")), c.records) << c.name;
        EXPECT_EQ(reportsText(folder), c.reports) << c.name;
        EXPECT_TRUE(c.logged.empty() || log_.contains(c.logged)) << c.name;
    }
}

TEST_F(LiveryScan, IvaoPackagesTakeTheTypeFromTheFolderAndTheAirlineFromTheTitle)
{
    struct Case {
        std::string name, package, title, more, records, reports;
    };
    const std::vector<Case> cases = {
        {"airline in the title", "IVAO_B738w", "B738KLM Boeing KLM", "", "KLM B738 'B738KLM Boeing KLM' PH-BXA 1 pax", ""},
        {"blanks after the type", "IVAO_B738w", "b738  KLM x", "", "KLM B738 'b738  KLM x' PH-BXA 1 pax", ""},
        {"glider, private", "IVAO_GLID_KA8", "GLID ZZZ Ka 8", "", "ZZZ GLID 'GLID ZZZ Ka 8' - 1 pax", ""},
        {"unknown airline", "IVAO_B738w", "B738XYZ", "", "", "airline: XYZ          in <F>/aircraft.cfg [fltsim.0]"},
        {"airline from the registration", "IVAO_B738w", "Boeing KLM", "", "KLM B738 'Boeing KLM' PH-BXA 1 pax", ""},
        {"unknown registration", "IVAO_B738w", "Boeing KLM", "atc_id=PH-QQQ\n", "",
         "section: <F> [fltsim.0] misses airlinecode in title: Boeing KLM, and regcode unknown PH-QQQ"},
        {"a later '[' ends the section", "IVAO_B738w", "B738KLM", "descr=[x]\ntitle=B738KLM\n", "",
         "section: <F> [fltsim.0] misses title"},
    };
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

TEST_F(LiveryScan, OneContentInFiveCharsetsGivesEqualRecords)
{
    // é ü ø in Windows-1252, with line ends of both kinds and a character across byte 4096.
    // 77 bytes of UTF-8 come before the x's, so that the é after them takes bytes 4095 and 4096.
    const std::string cp1252 = kGeneral + "[fltsim.0]\r\ntitle=KLM caf\xE9 M\xFCller \xF8\r\n" +
                               "description=" + std::string(4018, 'x') + "\xE9\r\nsim=B738\nmodel=\ntexture=KLM\n" +
                               "atc_parking_codes=KLM\natc_id=PH-BXA\n";
    std::string utf8;
    for (const char c : cp1252) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x80) {
            utf8 += c;
        } else {
            utf8 += static_cast<char>(0xC0 | (b >> 6));
            utf8 += static_cast<char>(0x80 | (b & 0x3F));
        }
    }
    const std::u16string units = gf_utf8ToUtf16(utf8);
    std::string le = "\xFF\xFE", be = "\xFE\xFF";
    for (const char16_t u : units) {
        le += {static_cast<char>(u & 0xFF), static_cast<char>(u >> 8)};
        be += {static_cast<char>(u >> 8), static_cast<char>(u & 0xFF)};
    }
    const std::vector<std::string> contents = {cp1252, utf8, "\xEF\xBB\xBF" + utf8, le, be};
    tavtest::TempFolder root("charsets");
    for (size_t i = 0; i < contents.size(); ++i) {
        clearScan();
        const fs::path folder = root / std::to_string(i);
        writeLiveryFolder(folder, "aircraft.cfg", contents[i]);
        EXPECT_EQ(recordsText(lf_searchLiveriesinFile(1, folder / "aircraft.cfg")),
                  "KLM B738 'KLM caf\xC3\xA9 M\xC3\xBCller \xC3\xB8' PH-BXA 1 pax")
            << i;
        EXPECT_EQ(reportsText(folder), "") << i;
    }
}

TEST_F(LiveryScan, AHugeTitleAndALineOfBlanksAreReadLikeAnyOther)
{
    const std::string title(100'000, 'T');
    const std::string cfg = with(kGeneral + klmSection("[fltsim.0]", title), "sim=",
                                 std::string(100'000, ' ') + "\ndescription=" + std::string(8000, 'd') + " \nsim=");
    tavtest::TempFolder root("huge");
    writeLiveryFolder(root.path(), "aircraft.cfg", cfg);
    const std::vector<LiveryData> records = lf_searchLiveriesinFile(1, root / "aircraft.cfg");
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].title, title);
}

TEST(LiveryKeys, KeysMatchTheWholeLineInAnyCase)
{
    struct Case {
        std::string line;
        std::optional<std::string> title;
    };
    const std::vector<Case> cases = {
        {"title=A", "A"},         {" \tTitle = A b \t", "A b"}, {"title=", {}},      {"title=   ", {}},
        {"titles=A", {}},         {"x title=A", {}},             {"title A", {}},     {";title=A", {}},
        {"title=a\rb", {}},       {"title=a\r", "a"},            {"title==A", "=A"}, {"TITLE=\xC3\xA9", "\xC3\xA9"},
    };
    for (const Case& c : cases) {
        std::string value = "unchanged";
        const bool matched = lf_matchTitleKey(c.line, value);
        EXPECT_EQ(matched, c.title.has_value()) << c.line;
        EXPECT_EQ(value, c.title.value_or("unchanged")) << c.line;
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
