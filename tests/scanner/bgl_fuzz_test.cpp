#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <tuple>

#include <fmt/format.h>

#include "bgl/bgl_builder.h"
#include "support/scan_fixture.h"
#include "support/test_support.h"

namespace {

// Well-formed files the mutations start from: both airport forms, every sub-record kind.
std::vector<std::string> lf_seeds()
{
    std::string parkings;
    for (int i = 0; i < 12; ++i)
        parkings += fmt::format("parking {} {} {} 12 {} 50.0{} 8.5{} airlines={}\n", i * 5 % 64, i % 13, i, i * 30,
                                i, i, i % 3);
    return {
        bglbuild::renderDescription("section type=0x22\nrecord 0x22 3\nsection\nrecord 0x99 2\nairport EDDF alt=100\n"
                                    "name \"Frankfurt\"\nhelipad 50.03 8.57 20 90\nhelipad 50.04 8.57 20 0\n" +
                                    parkings + "airport EHAM ab\nname \"Schiphol\"\nsub 0x14 3\n" + parkings),
        bglbuild::renderDescription("section\nairport EDDM ab alt=450\nhelipad 48.35 11.78 30 180\n" + parkings +
                                    "parkinglist\nparking 1 1 1 10 0 48.3 11.7\n"),
    };
}

// One mutation of the seed: bit flips, extreme words (counts, sizes, offsets), 16-bit
// values (a record's size at its byte 2, a count), a cut.
std::string lf_mutate(const std::string& seed, std::mt19937& random)
{
    static constexpr uint32_t extremes[] = {0, 1, 3, 4, 0xFFFF, 0x10000, 0x7FFFFFFF, 0xFFFFFFFF, 0x40000, 0xFFFFFFFC};
    std::string bytes = seed;
    const int mutations = 1 + static_cast<int>(random() % 6);
    for (int m = 0; m < mutations && !bytes.empty(); ++m) {
        const size_t at = random() % bytes.size(), kind = random() % 4;
        const uint32_t word = kind == 1 ? extremes[random() % std::size(extremes)] : static_cast<uint32_t>(random());
        const size_t width = kind == 1 ? 4 : 2, place = kind == 1 ? at & ~size_t{3} : at;
        if (kind == 0)
            bytes[at] ^= static_cast<char>(1 << (random() % 8));
        else if (kind == 3)
            bytes.resize(at);
        else if (place + width <= bytes.size())
            std::memcpy(bytes.data() + place, &word, width);
    }
    return bytes;
}

} // namespace

TEST(BglFuzz, MutatedFilesNeverCrashHangOrGrowWithoutBound)
{
    const scantest::KnownAirports known({"EDDF", "EHAM", "EDDM"});
    tavtest::TempFolder folder;
    const std::vector<std::string> seeds = lf_seeds();
    std::mt19937 random(20240611);
    constexpr int kFiles = 100000;
    uint64_t airports = 0;
    for (int i = 0; i < kFiles; ++i) {
        const std::string bytes = lf_mutate(seeds[static_cast<size_t>(i) % seeds.size()], random);
        scantest::Decoded d;
        try {
            d = scantest::decode(bytes);
        } catch (const std::out_of_range&) {
            // A read past the words ends only this file's task.
        }
        if (i % 50 == 0) { // the pre-check reads from disk: a share of the files is written out
            tavtest::writeFile(folder / "f.bgl", bytes);
            lf_isAirportBgl(folder / "f.bgl");
        }
        size_t stands = 0;
        for (const ApfContent& a : d.airports)
            stands += a.stands.size();
        ASSERT_LE(stands, bytes.size() / 36 + 1) << "file " << i;
        ASSERT_LE(d.scanLog.size(), bytes.size()) << "file " << i;
        ASSERT_LE(d.steps, bytes.size() + 4) << "file " << i; // no hang: four steps a word at most
        airports += d.airports.size();
    }
    // The mutations leave many files decodable: the walks were exercised, not only refused.
    EXPECT_GT(airports, static_cast<uint64_t>(kFiles / 4));
}

TEST(BglFuzz, ManySectionHeadersOverOneRecordChainCostWorkInProportionToTheFile)
{
    const scantest::KnownAirports known({"EDDF"});
    // Every further section's sub-section header is the first one's: all lead into the
    // first section's chain of 1000 airports. Unsupported ones each want a scan-log line.
    for (const auto& [code, airports, lines] : {std::tuple{"EDDF", 1000u, 0u}, {"ZZZZ", 0u, 51u}}) {
        std::string description = "section\n";
        for (int i = 0; i < 1000; ++i)
            description += fmt::format("airport {}\n", code);
        for (int i = 1; i < 2000; ++i)
            description += fmt::format("section offset={}\n", 56 + 20 * 2000);
        const std::string bytes = bglbuild::renderDescription(description);
        const scantest::Decoded d = scantest::decode(bytes);
        EXPECT_EQ(d.airports.size(), airports) << code;
        EXPECT_LE(d.steps, bytes.size() + 4) << code; // four steps a word at most
        ASSERT_EQ(d.scanLog.size(), lines) << code;
        EXPECT_EQ(lines == 0 ? "" : d.scanLog.back(), lines == 0 ? "" : "950 more lines about C:/X/a.bgl left out");
    }
}
