#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <numbers>
#include <sstream>

#include <fmt/format.h>

#include "bgl/bgl_builder.h"
#include "foundation/text.h"
#include "scanner/addon_scan.h"
#include "support/scan_fixture.h"
#include "support/test_support.h"

namespace fs = std::filesystem;
using bglbuild::Parking;
using scantest::decodeDescription;
using scantest::KnownAirports;

namespace {

constexpr double kDeg = std::numbers::pi / 180.0;

struct ExpectedStand {
    std::string id;
    double lat, lon, headingDeg, radiusM;
    bool cargo, ramp, heli;
};

void lf_expectStands(const ApfContent& airport, const std::vector<ExpectedStand>& expected)
{
    ASSERT_EQ(airport.stands.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        const ParkStand& s = airport.stands[i];
        const ExpectedStand& e = expected[i];
        SCOPED_TRACE(e.id);
        EXPECT_EQ(s.id, e.id);
        EXPECT_NEAR(s.lat, e.lat, 1e-6);
        EXPECT_NEAR(s.lon, e.lon, 1e-6);
        EXPECT_NEAR(s.heading, e.headingDeg * kDeg, 1e-6);
        EXPECT_NEAR(s.radius, e.radiusM / 1852.0, 1e-9);
        EXPECT_EQ(s.cargo, e.cargo);
        EXPECT_EQ(s.ramp, e.ramp);
        EXPECT_EQ(s.heli, e.heli);
    }
}

} // namespace

TEST(BglDecode, AirportsOfBothRecordFormsDecodeToTheBuildersInput)
{
    const KnownAirports known({"EDDF", "EDDM"});
    std::vector<ExpectedStand> expected = {
        {"helipad1", 50.0301, 8.5701, 90.0, 10.0, false, false, true},
        {"helipad2", -33.95, -151.18, 360.0, 8.0, false, false, true},
    };
    std::string parkings;
    // Codes 1..12 with every type 1..11 and one number each; airline codes after some.
    const char* prefixes[] = {"r", "p", "np", "ep", "sep", "sp", "swp", "wp", "nwp", "g", "", "A"};
    for (uint32_t i = 0; i < 12; ++i) {
        const uint32_t type = 1 + i % 11;
        const double lat = 50.02 + 0.001 * i;
        const double lon = -0.45 - 0.002 * i;
        parkings += fmt::format("parking {} {} {} {} {} {} {} airlines={}\n", i + 1, type, 100 + i, 10.5 + i,
                                15.0 * i, lat, lon, i % 3);
        expected.push_back({fmt::format("{}{}", prefixes[i], 100 + i), lat, lon, i == 0 ? 360.0 : 15.0 * i,
                            10.5 + i, type == 5, type < 8, false});
    }
    for (const bool ab : {false, true}) {
        SCOPED_TRACE(ab ? "0xAB" : "0x3C");
        const std::string description = fmt::format("section\n"
                                                    "record 0x22 3\n"
                                                    "airport {} {} alt=110.5\n"
                                                    "name \"Frankfurt Main\"\n"
                                                    "sub 0x14 4\n"
                                                    "helipad 50.0301 8.5701 20 90\n"
                                                    "helipad -33.95 -151.18 16 0\n{}"
                                                    "airport eddm {}\n",
                                                    ab ? "EDDF" : "eddf", ab ? "ab" : "", parkings, ab ? "ab" : "");
        const scantest::Decoded d = decodeDescription(description);
        ASSERT_EQ(d.airports.size(), 2u);
        const ApfContent& a = d.airports[0];
        EXPECT_EQ(a.code, "EDDF");
        EXPECT_EQ(a.airportName, "Frankfurt Main");
        EXPECT_EQ(a.altitude, 363);
        EXPECT_EQ(d.helipads[0], 2u);
        lf_expectStands(a, expected);
        EXPECT_EQ(d.airports[1].code, "EDDM");
        EXPECT_TRUE(d.airports[1].stands.empty());
        EXPECT_EQ(d.scanLog, std::vector<std::string>{});
    }
}

TEST(BglDecode, ThePreCheckWantsASectionTableThatFitsAndAnAirportSection)
{
    tavtest::TempFolder folder;
    const auto file = [](uint32_t count, uint32_t type, size_t size) {
        std::string bytes(size, '\0');
        const auto put = [&](size_t at, uint32_t v) {
            if (at + 4 <= bytes.size())
                std::memcpy(bytes.data() + at, &v, 4);
        };
        put(4, 56);
        put(20, count);
        put(56, type);
        return bytes;
    };
    const struct {
        const char* name;
        std::string bytes;
        bool expected;
    } cases[] = {
        {"56 bytes", file(1, 3, 56), false},
        {"76 bytes, one airport section", file(1, 3, 76), true},
        {"75 bytes", file(1, 3, 75), false},
        {"no section", file(0, 3, 76), false},
        {"more sections than fit", file(2, 3, 76), false},
        {"no airport section", file(1, 0x22, 76), false},
        {"missing file", {}, false},
    };
    for (const auto& c : cases) {
        const fs::path path = folder / c.name;
        if (!c.bytes.empty())
            tavtest::writeFile(path, c.bytes);
        EXPECT_EQ(lf_isAirportBgl(path), c.expected) << c.name;
    }
    tavtest::writeFile(folder / "built.bgl", bglbuild::renderDescription("section type=0x22\nsection\n"));
    EXPECT_TRUE(lf_isAirportBgl(folder / "built.bgl"));
}

TEST(BglDecode, ReadingWordsPadsTheLastOneAndHugeFilesAreNotRead)
{
    std::istringstream in(std::string("\x01\x02\x03\x04\x05\x06", 6));
    EXPECT_EQ(lf_readBglWords(in), (std::vector<uint32_t>{0x04030201u, 0x0605u}));

    const KnownAirports known({"EDDF"});
    tavtest::TempFolder folder;
    const fs::path huge = folder / "huge.bgl";
    tavtest::writeFile(huge, bglbuild::renderDescription("section\nairport EDDF\n"));
    fs::resize_file(huge, (256u << 20) + 1); // sparse: nothing is written
    bool generated = false;
    lf_clearScanLog();
    lf_processBGLfile(huge, {[](ApfContent&, const fs::path&) { return false; },
                             [&](ApfContent&, uint32_t) { generated = true; }});
    EXPECT_FALSE(generated);
    EXPECT_EQ(lf_scanLogLines(), std::vector<std::string>{gf_pathToUtf8(huge) +
                                                           " skipped: 268435457 bytes, more than a BGL file of "
                                                           "airports holds"});
}

TEST(BglDecode, IdentsAltitudesAndSectionsDecideWhichAirportsAreRead)
{
    const KnownAirports known({"EDDF"});
    const struct {
        const char* airportLine;
        std::string expected; // code and altitude, or nothing
        std::vector<std::string> scanLog;
    } cases[] = {
        {"airport EDDF altraw=150000", "EDDF 492", {}},
        {"airport EDDF altraw=3100000", "EDDF 0", {}},
        {"airport EDDF altraw=0xFFFFFC18", "EDDF 0", {}},
        {"airport X identvalue=31", "", {}},
        {"airport ED?F", "", {}},
        {"airport \"E DF\"", "", {}},
        {"airport EDF", "", {}},
        {"airport ZZZZ", "", {"ZZZZ is not an airport supported by RealTraffic "}},
        {"airport EDDF size=0", "", {}},
    };
    for (const auto& c : cases) {
        const scantest::Decoded d = decodeDescription(std::string("section\n") + c.airportLine + "\n");
        std::string got;
        for (const ApfContent& a : d.airports)
            got += fmt::format("{} {}", a.code, a.altitude);
        EXPECT_EQ(got, c.expected) << c.airportLine;
        EXPECT_EQ(d.scanLog, c.scanLog) << c.airportLine;
    }
    EXPECT_TRUE(decodeDescription("section flags=0x10000\nairport EDDF\n").airports.empty());
    EXPECT_EQ(decodeDescription("section flags=0x40000\nairport EDDF\n").airports.size(), 1u);
    EXPECT_TRUE(decodeDescription("header size=52\nsection\nairport EDDF\n").airports.empty());
    EXPECT_EQ(lf_decodeBglIdent(31), std::make_pair(std::string(" "), false));
    EXPECT_EQ(lf_decodeBglIdent(bglbuild::packIdent("K2B")), std::make_pair(std::string("K2B"), true));
}

TEST(BglDecode, ParkingsGetPrefixedUniqueIdsWithinPlausibleRadii)
{
    const KnownAirports known({"EDDF"});
    std::string description = "section\nairport EDDF\n"
                              "parking 1 1 12 1.0 0 50.1 8.1\n"
                              "parking 1 1 12 200.0 0 50.1 8.1\n"
                              "parking 1 1 13 1.1 0 50.1 8.1\n"
                              "parking 12 1 3 10 0 50.1 8.1\n"
                              "parking 0 1 7 10 0 50.1 8.1\n"
                              "parking 37 1 1 10 0 50.1 8.1\n"
                              "parking 2 0 1 10 0 50.1 8.1\n"
                              "parking 2 12 2 10 0 50.1 8.1\n"
                              "parking 2 1 3 10 0 0.00005 -0.00005\n";
    for (int i = 0; i < 12; ++i)
        description += "parking 1 1 12 10 0 50.1 8.1\n";
    const scantest::Decoded d = decodeDescription(description);
    ASSERT_EQ(d.airports.size(), 1u);
    std::string ids;
    for (const ParkStand& s : d.airports[0].stands)
        ids += s.id + " ";
    EXPECT_EQ(ids, "r13 A3 7 Z1 r12 r12a r12b r12c r12d r12e r12f r12g r12h r12i r12j ");
    EXPECT_EQ(d.scanLog, (std::vector<std::string>{
                             "Skipped position with radius 1.0 m in C:/X/a.bgl",
                             "Skipped position with radius 200.0 m in C:/X/a.bgl",
                             "LatLon 0.000050,-0.000050 invalid (skipped)",
                             "===> Warning: more than 10 duplicate IDs r12 in C:/X/a.bgl",
                         }));
    EXPECT_EQ(gf_bglParkingPrefix(1), "r");
    EXPECT_EQ(gf_bglParkingPrefix(2), "p");
    EXPECT_EQ(gf_bglParkingPrefix(3), "np");
    EXPECT_EQ(gf_bglParkingPrefix(11), "");
    EXPECT_EQ(gf_bglParkingPrefix(38), "[");
}

TEST(BglDecode, HelipadsAreNumberedPerAirportAndDoublesAndBadOnesSkipped)
{
    const KnownAirports known({"EDDF", "EDDM"});
    const scantest::Decoded d = decodeDescription("section\nairport EDDF\nname \"Main\"\n"
                                                  "helipad 50.1 8.1 20 0\n"
                                                  "helipad 50.1 8.1 20 45\n"
                                                  "helipad 0 0 20 45\n"
                                                  "helipad 50.2 8.2 2 45\n"
                                                  "helipad 50.3 8.3 400 45\n"
                                                  "helipad 50.4 8.4 20 -90\n"
                                                  "airport EDDM\nhelipad 48.3 11.7 20 720\n");
    ASSERT_EQ(d.airports.size(), 2u);
    lf_expectStands(d.airports[0], {{"helipad1", 50.1, 8.1, 360.0, 10.0, false, false, true},
                                    {"helipad2", 50.4, 8.4, 270.0, 10.0, false, false, true}});
    lf_expectStands(d.airports[1], {{"helipad1", 48.3, 11.7, 360.0, 10.0, false, false, true}});
    EXPECT_EQ(d.scanLog, (std::vector<std::string>{
                             "double helipad Main (skipped) 50.100000,8.100000",
                             "lat/lon helipad incorrect (skipped): 0.000000,0.000000",
                             "Skipped position with radius 1.0 m in C:/X/a.bgl",
                             "Skipped position with radius 200.0 m in C:/X/a.bgl",
                         }));
}

TEST(BglDecode, NamesAreCutTo45BytesAndReadAsWindows1252)
{
    const KnownAirports known({"EDDF"});
    const std::string fifty(50, 'N');
    const struct {
        std::string nameLines;
        std::string expected;
    } cases[] = {
        {"name \"" + fifty + "\"\n", std::string(45, 'N')},
        {"name \"Z\\xE9rich \\x80\"\n", "Z\xC3\xA9rich \xE2\x82\xAC"},
        {"name \"A\\x00B\"\n", "A"},
        {"name \"One\"\nname \"Two\"\n", ""},
        {"name \"One\"\nname \"One\"\n", "One"},
        {"name \"Short\" size=6\n", ""},
    };
    for (const auto& c : cases) {
        const scantest::Decoded d = decodeDescription("section\nairport EDDF\n" + c.nameLines);
        ASSERT_EQ(d.airports.size(), 1u);
        EXPECT_EQ(d.airports[0].airportName, c.expected) << c.nameLines;
    }
}

TEST(BglDecode, BadFloatsAndOverlongCountsCostOnlyTheirEntries)
{
    const KnownAirports known({"EDDF", "EDDM"});
    tavtest::LogCapture log;
    const struct {
        const char* name;
        std::string eddf;  // the sub-records of EDDF, followed by EDDM with one parking
        std::string ids;   // of EDDF, then "|" and those of EDDM
        std::vector<std::string> scanLog;
    } cases[] = {
        {"NaN heading", "parking 1 1 1 10 nan 50.1 8.1\nparking 1 1 2 10 inf 50.1 8.1\nparking 1 1 3 10 0 50.1 8.1\n",
         "r3|g9",
         {"Skipped position r1 with a heading that is not a number in C:/X/a.bgl",
          "Skipped position r2 with a heading that is not a number in C:/X/a.bgl"}},
        {"NaN radius", "parking 1 1 1 nan 0 50.1 8.1\n", "|g9", {"Skipped position with radius NAN m in C:/X/a.bgl"}},
        {"NaN helipad heading", "helipad 50.1 8.1 20 nan\n", "|g9",
         {"Skipped helipad at 50.100000,8.100000 with a heading that is not a number in C:/X/a.bgl"}},
        {"count beyond its list", "parkinglist count=500\nparking 1 1 1 10 0 50.1 8.1\n", "r1|g9", {}},
        {"list beyond its airport", "parkinglist size=100000\nparking 1 1 1 10 0 50.1 8.1\n", "r1|g9", {}},
        {"helipad cut short", "helipad 50.1 8.1 20 0 size=20\n", "|g9", {}},
    };
    for (const auto& c : cases) {
        const scantest::Decoded d =
            decodeDescription("section\nairport EDDF\n" + c.eddf + "airport EDDM\nparking 10 9 9 10 0 48.3 11.7\n");
        std::string ids;
        for (const ApfContent& a : d.airports) {
            if (a.code == "EDDM")
                ids += "|";
            for (const ParkStand& s : a.stands)
                ids += s.id;
        }
        EXPECT_EQ(ids, c.ids) << c.name;
        EXPECT_EQ(d.scanLog, c.scanLog) << c.name;
    }
    EXPECT_TRUE(log.contains("Warning: parking 2 of 500 at o3 = "));
}

TEST(BglDecode, BrokenChainsEndTheirSectionWithALogLine)
{
    const KnownAirports known({"EDDF"});
    tavtest::LogCapture log;
    const scantest::Decoded zero = decodeDescription("section\nrecord 0x22 2 size=0\nairport EDDF\n"
                                                     "section\nairport EDDF size=0\n");
    EXPECT_TRUE(zero.airports.empty());
    EXPECT_TRUE(log.contains("==>    Warning: decodeSizeAtBoundary returned 0 at o2 = "));
    std::string many = "section\n";
    for (int i = 0; i < 5001; ++i)
        many += "record 0x22 0\n";
    many += "airport EDDF\n";
    EXPECT_TRUE(decodeDescription(many).airports.empty());
    EXPECT_TRUE(log.contains("==>    Error: Maximum loop iterations reached \xE2\x80\x94 possible corrupt BGL or "
                             "malformed input.\n"));
    // 14 + 5 x count passes 2^32 here: in 32 bits it would wrap to a small number.
    EXPECT_TRUE(decodeDescription("header sections=0x33333334\nsection\nairport EDDF\n").airports.empty());
    const scantest::Decoded cut = decodeDescription("header truncate=180\nsection\nairport EDDF\n"
                                                    "parking 1 1 1 10 0 50.1 8.1\nparking 1 1 2 10 0 50.1 8.1\n");
    ASSERT_EQ(cut.airports.size(), 1u);
    EXPECT_TRUE(cut.airports[0].stands.empty());
}
