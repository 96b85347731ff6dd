#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <random>

#include <fmt/format.h>

#include "bgl/bgl_builder.h"
#include "support/scan_fixture.h"
#include "support/test_support.h"

namespace fs = std::filesystem;

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

// One mutation of the seed: bit flips, extreme words (counts, sizes, offsets), a cut.
std::string lf_mutate(const std::string& seed, std::mt19937& random)
{
    std::string bytes = seed;
    std::uniform_int_distribution<int> kind(0, 3);
    const int mutations = 1 + static_cast<int>(random() % 6);
    for (int m = 0; m < mutations && !bytes.empty(); ++m) {
        std::uniform_int_distribution<size_t> at(0, bytes.size() - 1);
        switch (kind(random)) {
        case 0:
            bytes[at(random)] ^= static_cast<char>(1 << (random() % 8));
            break;
        case 1: {
            static constexpr uint32_t extremes[] = {0, 1, 3, 4, 0xFFFF, 0x10000, 0x7FFFFFFF, 0xFFFFFFFF, 0x40000,
                                                    0xFFFFFFFC};
            const size_t word = at(random) & ~size_t{3};
            const uint32_t v = extremes[random() % std::size(extremes)];
            if (word + 4 <= bytes.size())
                std::memcpy(bytes.data() + word, &v, 4);
            break;
        }
        case 2: {
            // A size field (byte 2 of a record) or a 16-bit count.
            const size_t pos = at(random);
            const uint16_t v = static_cast<uint16_t>(random());
            if (pos + 2 <= bytes.size())
                std::memcpy(bytes.data() + pos, &v, 2);
            break;
        }
        default:
            bytes.resize(at(random));
            break;
        }
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
    // Pre-checks read from disk: a share of the files is written out for them.
    constexpr int kPreCheckEvery = 50;
    auto slowest = std::chrono::steady_clock::duration::zero();
    uint64_t airports = 0;
    for (int i = 0; i < kFiles; ++i) {
        const std::string bytes = lf_mutate(seeds[static_cast<size_t>(i) % seeds.size()], random);
        const auto start = std::chrono::steady_clock::now();
        scantest::Decoded d;
        try {
            d = scantest::decode(bytes);
        } catch (const std::out_of_range&) {
            // A read past the words ends only this file's task.
        }
        if (i % kPreCheckEvery == 0) {
            const fs::path file = folder / "f.bgl";
            tavtest::writeFile(file, bytes);
            lf_isAirportBgl(file);
        }
        slowest = std::max(slowest, std::chrono::steady_clock::now() - start);
        size_t stands = 0;
        for (const ApfContent& a : d.airports)
            stands += a.stands.size();
        ASSERT_LE(stands, bytes.size() / 36 + 1) << "file " << i;
        ASSERT_LE(d.scanLog.size(), bytes.size()) << "file " << i;
        airports += d.airports.size();
    }
    EXPECT_LT(slowest, std::chrono::seconds(1));
    // The mutations leave many files decodable: the walks were exercised, not only refused.
    EXPECT_GT(airports, static_cast<uint64_t>(kFiles / 4));
}

TEST(BglFuzz, ManySectionHeadersOverOneRecordChainCostWorkInProportionToTheFile)
{
    const scantest::KnownAirports known({"EDDF"});
    struct Row {
        std::string code;
        size_t airports;
        size_t lines;
        std::string lastLine;
    };
    const std::vector<Row> rows = {
        {"EDDF", 1000, 0, ""},
        {"ZZZZ", 0, 51, "950 more lines about C:/X/a.bgl left out"},
    };
    constexpr int kSections = 2000;
    constexpr int kRecords = 1000;
    for (const Row& row : rows) {
        // Every further section's sub-section header is the first one's: all lead into
        // the first section's chain.
        std::string description = "section\n";
        for (int i = 0; i < kRecords; ++i)
            description += "airport " + row.code + "\n";
        for (int i = 1; i < kSections; ++i)
            description += fmt::format("section offset={}\n", 56 + 20 * kSections);
        const std::string bytes = bglbuild::renderDescription(description);
        const auto start = std::chrono::steady_clock::now();
        const scantest::Decoded d = scantest::decode(bytes);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20)) << row.code;
        EXPECT_EQ(d.airports.size(), row.airports) << row.code;
        EXPECT_LE(d.steps, bytes.size() + 4) << row.code; // four steps a word at most
        ASSERT_EQ(d.scanLog.size(), row.lines) << row.code;
        if (row.lines > 0) {
            EXPECT_EQ(d.scanLog.back(), row.lastLine);
        }
    }
}
