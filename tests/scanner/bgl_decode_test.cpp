#include <gtest/gtest.h>

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
using scantest::decodeDescription;
using scantest::KnownAirports;

namespace {

// "EDDF 363 'Main': r1 p2 | EDDM 0", then every scan-log line after a line break.
std::string lf_summary(const scantest::Decoded& d)
{
    std::string text;
    for (const ApfContent& a : d.airports) {
        text += fmt::format("{}{} {}", text.empty() ? "" : " | ", a.code, a.altitude);
        if (!a.airportName.empty())
            text += " '" + a.airportName + "'";
        for (size_t i = 0; i < a.stands.size(); ++i)
            text += (i == 0 ? ": " : " ") + a.stands[i].id;
    }
    for (const std::string& line : d.scanLog)
        text += "\n" + line;
    return text;
}

// One stand as "id lat,lon heading-degrees radius-metres flags".
std::string lf_stand(const ParkStand& s)
{
    return fmt::format("{} {:.6f},{:.6f} {:.6g} {:.6g}{}{}{}", s.id, s.lat, s.lon, s.heading * 180 / std::numbers::pi,
                       s.radius * 1852, s.cargo ? " cargo" : "", s.ramp ? " ramp" : "", s.heli ? " heli" : "");
}

} // namespace

TEST(BglDecode, AirportsOfBothRecordFormsDecodeToTheBuildersInput)
{
    const KnownAirports known({"EDDF", "EDDM"});
    // Headings are kept in (0, 360]: 0 and 720 are north, -90 is west.
    std::vector<std::string> expected = {"helipad1 50.030100,8.570100 90 10 heli",
                                         "helipad2 -33.950000,-151.180000 360 8 heli",
                                         "helipad3 50.040000,8.580000 270 10 heli"};
    std::string parkings, summary = "EDDF 363 'Frankfurt Main': helipad1 helipad2 helipad3";
    // Codes 1..12 with every type 1..11 and one number each; airline codes after some.
    const char* prefixes[] = {"r", "p", "np", "ep", "sep", "sp", "swp", "wp", "nwp", "g", "", "A"};
    for (uint32_t i = 0; i < 12; ++i) {
        const uint32_t type = 1 + i % 11;
        const double lat = 50.02 + 0.001 * i, lon = -0.45 - 0.002 * i;
        parkings += fmt::format("parking {} {} {} {} {} {} {} airlines={}\n", i + 1, type, 100 + i, 10.5 + i,
                                15.0 * i, lat, lon, i % 3);
        expected.push_back(fmt::format("{}{} {:.6f},{:.6f} {} {}{}{}", prefixes[i], 100 + i, lat, lon,
                                       i == 0 ? 360.0 : 15.0 * i, 10.5 + i, type == 5 ? " cargo" : "",
                                       type < 8 ? " ramp" : ""));
        summary += fmt::format(" {}{}", prefixes[i], 100 + i);
    }
    for (const bool ab : {false, true}) {
        SCOPED_TRACE(ab ? "0xAB" : "0x3C");
        const scantest::Decoded d = decodeDescription(
            fmt::format("section\nrecord 0x22 3\nairport {} {} alt=110.5\nname \"Frankfurt Main\"\nsub 0x14 4\n"
                        "helipad 50.0301 8.5701 20 90\nhelipad -33.95 -151.18 16 720\nhelipad 50.04 8.58 20 -90\n"
                        "{}airport eddm {}\n",
                        ab ? "EDDF" : "eddf", ab ? "ab" : "", parkings, ab ? "ab" : ""));
        EXPECT_EQ(lf_summary(d), summary + " | EDDM 0");
        ASSERT_EQ(d.airports.size(), 2u);
        std::vector<std::string> stands;
        for (const ParkStand& s : d.airports[0].stands)
            stands.push_back(lf_stand(s));
        EXPECT_EQ(stands, expected);
        EXPECT_EQ(d.helipads[0], 3u);
    }
}

TEST(BglDecode, EveryFaultCostsOnlyItsEntryOrItsRecordAndIsTold)
{
    const KnownAirports known({"EDDF", "EDDM"});
    tavtest::LogCapture log;
    std::string manyRecords = "section\n", duplicates;
    for (int i = 0; i < 5001; ++i)
        manyRecords += "record 0x22 0\n";
    for (int i = 0; i < 12; ++i)
        duplicates += "parking 1 1 12 10 0 50.1 8.1\n";
    const std::string eddm = "airport EDDM\nparking 10 9 9 10 0 48.3 11.7\n";
    const std::string radius1 = "Skipped position with radius 1.0 m in C:/X/a.bgl";
    const std::string radius200 = "Skipped position with radius 200.0 m in C:/X/a.bgl";
    const struct {
        std::string description, expected;
    } rows[] = {
        // Idents, altitudes and sections decide which airports are read.
        {"section\nairport EDDF altraw=150000", "EDDF 492"},
        {"section\nairport EDDF altraw=3100000", "EDDF 0"},
        {"section\nairport EDDF altraw=0xFFFFFC18", "EDDF 0"},
        {"section\nairport X identvalue=31", ""},
        {"section\nairport ED?F", ""},
        {"section\nairport \"E DF\"", ""},
        {"section\nairport EDF", ""},
        {"section\nairport ZZZZ", "\nZZZZ is not an airport supported by RealTraffic "},
        {"section\nairport EDDF size=0", ""},
        {"section flags=0x10000\nairport EDDF", ""},
        {"section flags=0x40000\nairport EDDF", "EDDF 0"},
        {"header size=52\nsection\nairport EDDF", ""},
        // Parkings get prefixed ids, made unique up to ten times, within plausible radii.
        {"section\nairport EDDF\nparking 1 1 12 1.0 0 50.1 8.1\nparking 1 1 12 200.0 0 50.1 8.1\n"
         "parking 1 1 13 1.1 0 50.1 8.1\nparking 12 1 3 10 0 50.1 8.1\nparking 0 1 7 10 0 50.1 8.1\n"
         "parking 37 1 1 10 0 50.1 8.1\nparking 2 0 1 10 0 50.1 8.1\nparking 2 12 2 10 0 50.1 8.1\n"
         "parking 2 1 3 10 0 0.00005 -0.00005\n" + duplicates,
         "EDDF 0: r13 A3 7 Z1 r12 r12a r12b r12c r12d r12e r12f r12g r12h r12i r12j\n" + radius1 + "\n" + radius200 +
             "\nLatLon 0.000050,-0.000050 invalid (skipped)\n===> Warning: more than 10 duplicate IDs r12 in C:/X/a.bgl"},
        // Helipads are numbered per airport; doubles, bad places and radii are skipped.
        {"section\nairport EDDF\nname \"Main\"\nhelipad 50.1 8.1 20 0\nhelipad 50.1 8.1 20 45\nhelipad 0 0 20 45\n"
         "helipad 50.2 8.2 2 45\nhelipad 50.3 8.3 400 45\nhelipad 50.4 8.4 20 -90\nairport EDDM\nhelipad 48.3 11.7 20 0",
         "EDDF 0 'Main': helipad1 helipad2 | EDDM 0: helipad1\ndouble helipad Main (skipped) 50.100000,8.100000\n"
         "lat/lon helipad incorrect (skipped): 0.000000,0.000000\n" + radius1 + "\n" + radius200},
        // Names: cut to 45 bytes, read as Windows-1252, ended by NUL; two differing ones give none.
        {"section\nairport EDDF\nname \"" + std::string(50, 'N') + "\"", "EDDF 0 '" + std::string(45, 'N') + "'"},
        {"section\nairport EDDF\nname \"Z\\xE9rich \\x80\"", "EDDF 0 'Z\xC3\xA9rich \xE2\x82\xAC'"},
        {"section\nairport EDDF\nname \"A\\x00B\"", "EDDF 0 'A'"},
        {"section\nairport EDDF\nname \"One\"\nname \"Two\"", "EDDF 0"},
        {"section\nairport EDDF\nname \"One\"\nname \"One\"", "EDDF 0 'One'"},
        {"section\nairport EDDF\nname \"Short\" size=6", "EDDF 0"},
        // Bad floats and overlong counts cost only their entries: EDDM after them is read.
        {"section\nairport EDDF\nparking 1 1 1 10 nan 50.1 8.1\nparking 1 1 2 10 inf 50.1 8.1\n"
         "parking 1 1 3 10 0 50.1 8.1\n" + eddm,
         "EDDF 0: r3 | EDDM 0: g9\nSkipped position r1 with a heading that is not a number in C:/X/a.bgl\n"
         "Skipped position r2 with a heading that is not a number in C:/X/a.bgl"},
        {"section\nairport EDDF\nparking 1 1 1 nan 0 50.1 8.1\n" + eddm,
         "EDDF 0 | EDDM 0: g9\nSkipped position with radius NAN m in C:/X/a.bgl"},
        {"section\nairport EDDF\nhelipad 50.1 8.1 20 nan\n" + eddm,
         "EDDF 0 | EDDM 0: g9\nSkipped helipad at 50.100000,8.100000 with a heading that is not a number in "
         "C:/X/a.bgl"},
        {"section\nairport EDDF\nparkinglist count=500\nparking 1 1 1 10 0 50.1 8.1\n" + eddm, "EDDF 0: r1 | EDDM 0: g9"},
        {"section\nairport EDDF\nparkinglist size=100000\nparking 1 1 1 10 0 50.1 8.1\n" + eddm,
         "EDDF 0: r1 | EDDM 0: g9"},
        {"section\nairport EDDF\nhelipad 50.1 8.1 20 0 size=20\n" + eddm, "EDDF 0 | EDDM 0: g9"},
        // Broken chains end their section: a size of 0, a loop, a section count that would
        // wrap in 32 bits (14 + 5 x count), a cut file.
        {"section\nrecord 0x22 2 size=0\nairport EDDF\nsection\nairport EDDF size=0", ""},
        {manyRecords + "airport EDDF", ""},
        {"header sections=0x33333334\nsection\nairport EDDF", ""},
        {"header truncate=180\nsection\nairport EDDF\nparking 1 1 1 10 0 50.1 8.1\nparking 1 1 2 10 0 50.1 8.1",
         "EDDF 0"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(lf_summary(decodeDescription(row.description + "\n")), row.expected) << row.description;
    for (const char* line : {"Warning: parking 2 of 500 at o3 = ", "==>    Warning: decodeSizeAtBoundary returned 0 at o2 = ",
                             "==>    Error: Maximum loop iterations reached \xE2\x80\x94 possible corrupt BGL or "
                             "malformed input.\n"})
        EXPECT_TRUE(log.contains(line)) << line;
    EXPECT_EQ(lf_decodeBglIdent(31), std::make_pair(std::string(" "), false));
    EXPECT_EQ(lf_decodeBglIdent(bglbuild::packIdent("K2B")), std::make_pair(std::string("K2B"), true));
    EXPECT_EQ(gf_bglParkingPrefix(3) + gf_bglParkingPrefix(11) + gf_bglParkingPrefix(38), "np[");
}

TEST(BglDecode, ThePreCheckWantsASectionTableThatFitsAndAnAirportSectionAndHugeFilesAreNotRead)
{
    tavtest::TempFolder folder;
    const auto file = [](uint32_t count, uint32_t type, size_t size) {
        std::string bytes(size, '\0');
        for (const auto& [at, v] : {std::pair<size_t, uint32_t>{4, 56}, {20, count}, {56, type}})
            if (at + 4 <= bytes.size())
                std::memcpy(bytes.data() + at, &v, 4);
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
        {"built", bglbuild::renderDescription("section type=0x22\nsection\n"), true},
    };
    for (const auto& c : cases) {
        if (!c.bytes.empty())
            tavtest::writeFile(folder / c.name, c.bytes);
        EXPECT_EQ(lf_isAirportBgl(folder / c.name), c.expected) << c.name;
    }

    std::istringstream in(std::string("\x01\x02\x03\x04\x05\x06", 6));
    EXPECT_EQ(lf_readBglWords(in), (std::vector<uint32_t>{0x04030201u, 0x0605u}));
    const KnownAirports known({"EDDF"});
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
