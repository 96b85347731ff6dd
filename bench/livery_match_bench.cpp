// The livery matching of the fictional registrations (as flights) over 20,000 generated
// liveries at MATCHING_DEPTH 4, RANDOM on: mean and 99th percentile of one match, and the
// allocations the matches made; then the processing of 40,000 liveries and 40,000
// AIG records against pugixml parsing both files alone. One run each.
//   livery_match_bench
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <new>
#include <string>
#include <vector>

#include <fmt/format.h>
#include <pugixml.hpp>

#include "counting_allocator.h"
#include "catalogue/dbase.h"
#include "catalogue/liveries.h"
#include "databuild/encrypt.h"
#include "foundation/folders.h"
#include "foundation/log.h"
#include "foundation/settings_catalogue.h"
#include "traffic/aircraft_records.h"
#include "catalogue_bench_support.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

double lf_ms(Clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

void lf_writeFile(const fs::path& file, std::string_view bytes)
{
    std::ofstream(file, std::ios::binary) << bytes;
}

// `count` liveries cycling over the database's airline and type pairs, every third one of
// a pair with the registration it was made for, every tenth a cargo one; a ZZZ and an
// airline-less livery of every tenth pair.
std::string lf_liveriesXml(size_t count, std::vector<std::string>& titles)
{
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<root>\n  <meta>\n"
                      "    <info name=\"author\" value=\"Tavelorium_P3D\" />\n"
                      "    <info name=\"version\" value=\"11.10.3\" />\n"
                      "    <info name=\"date\" value=\"2026-12-01\" />\n"
                      "    <info name=\"copyright\" value=\"Tavelorium_P3D\" />\n"
                      "    <info name=\"sim\" value=\"3\" />\n    <info name=\"P3D\" value=\"v56\" />\n"
                      "  </meta>\n  <liveries>\n";
    titles.clear();
    size_t i = 0;
    while (titles.size() < count) {
        for (const auto& entry : g_dbaseRecords) {
            if (titles.size() >= count)
                break;
            const DbaseRecord& r = entry.record;
            std::string airline = i % 10 == 7 ? "ZZZ" : i % 10 == 8 ? "" : r.airl;
            titles.push_back(fmt::format("{} {} livery {}", airline, r.type, i));
            xml += fmt::format("    <liv airl=\"{}\" type=\"{}\" title=\"{}\"{}{} />\n", airline, r.type, titles.back(),
                               i % 3 == 0 ? fmt::format(" atcid=\"{}\"", entry.reg) : "",
                               i % 10 == 4 ? " cargo=\"true\"" : "");
            ++i;
        }
    }
    return xml + "  </liveries>\n</root>\n";
}

// `count` records over the titles, every 50th a special of two registrations.
std::string lf_aigXml(size_t count, const std::vector<std::string>& titles)
{
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<root>\n  <meta>\n"
                      "    <info name=\"copyright\" value=\"c\" />\n  </meta>\n  <AIG-regcodes>\n";
    for (size_t i = 0; i < count; ++i) {
        const std::string reg = fmt::format("X-{:05}", i);
        xml += i % 50 == 0 ? fmt::format("    <livery title=\"{}\" reg=\"{},{}B\" special=\"true\" />\n",
                                         titles[(i * 7) % titles.size()], reg, reg)
                           : fmt::format("    <livery title=\"{}\" reg=\"{}\" />\n", titles[(i * 7) % titles.size()], reg);
    }
    return xml + "  </AIG-regcodes>\n</root>\n";
}

void lf_prepare(size_t liveries, size_t aigRecords, std::string& aigPlain)
{
    std::vector<std::string> titles;
    lf_writeFile(gf_paths().liveriesScanned, lf_liveriesXml(liveries, titles));
    aigPlain = lf_aigXml(aigRecords, titles);
    lf_writeFile(gf_paths().aigRegcodesEnc, databuild::encryptDataFile(aigPlain, databuild::productKey()));
}

} // namespace

int main()
{
    const fs::path program = fs::temp_directory_path() / "tav-livery-match-bench";
    if (!gf_openBenchProgram(program))
        return 1;
    MATCHING_DEPTH.value = 4;
    RANDOM.value = true;

    std::string aigPlain;
    lf_prepare(20000, 20000, aigPlain);
    gf_processScannedLiveries();
    std::vector<LiveAc> flights;
    for (const auto& entry : g_dbaseRecords) {
        AcIdentity id;
        id.airline = entry.record.opr.empty() ? entry.record.airl : entry.record.opr;
        id.aircraftType = entry.record.type;
        id.registration = entry.reg;
        id.callsign = id.airline + "123";
        id.cargo = entry.record.cargo;
        id.category = gf_typeCategory(id.aircraftType);
        flights.emplace_back(PosSample{}, std::move(id), 0.0);
    }
    // The log lines of the matches are left out: the file's writes are not the matching's.
    gf_closeLog();
    for (LiveAc& ac : flights)
        gf_matchLiveLivery(ac);
    std::vector<double> micros;
    micros.reserve(flights.size());
    size_t matched = 0;
    const uint64_t allocationsBefore = g_allocations;
    for (LiveAc& ac : flights) {
        const auto start = Clock::now();
        gf_matchLiveLivery(ac);
        micros.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
        matched += ac.liveryTitle.empty() ? 0 : 1;
    }
    const uint64_t allocations = g_allocations - allocationsBefore;
    std::printf("matches per step:");
    for (const uint32_t n : g_liveryMatchCounts)
        std::printf(" %u", n / 2);
    std::printf(" (of one pass)\n");
    std::sort(micros.begin(), micros.end());
    double sum = 0.0;
    for (const double m : micros)
        sum += m;
    std::printf("%zu flights over 20000 liveries, depth 4, RANDOM on: %zu matched, mean %.2f us, p99 %.2f us, "
                "max %.1f us, %llu allocations (log off)\n",
                flights.size(), matched, sum / static_cast<double>(micros.size()),
                micros[micros.size() * 99 / 100], micros.back(), static_cast<unsigned long long>(allocations));
    // Flights that walk every step and find nothing write no log line: what the look-ups
    // alone allocate.
    const uint32_t countsBefore = g_liveryMatchCounts[4] + g_liveryMatchCounts[6];
    const uint64_t missesBefore = g_allocations;
    for (LiveAc& ac : flights) {
        ac.registration.insert(0, "Q");
        ac.aircraftType.assign("Q");
        ac.category = TypeCategory::Heavy;
        gf_matchLiveLivery(ac);
    }
    std::printf("the same flights, heavy, with a type and registration no livery has (%zu matched): %llu allocations\n",
                static_cast<size_t>(g_liveryMatchCounts[4] + g_liveryMatchCounts[6] - countsBefore),
                static_cast<unsigned long long>(g_allocations - missesBefore));

    gf_openLogAt(program / "Log.txt");
    gf_clearLiveryTables();
    lf_prepare(40000, 40000, aigPlain);
    auto start = Clock::now();
    pugi::xml_document liveriesDoc;
    pugi::xml_document aigDoc;
    liveriesDoc.load_file(gf_paths().liveriesScanned.c_str());
    aigDoc.load_buffer(aigPlain.data(), aigPlain.size());
    const double parseMs = lf_ms(Clock::now() - start);
    start = Clock::now();
    gf_processScannedLiveries();
    const double processMs = lf_ms(Clock::now() - start);
    gf_closeLog();
    std::printf("40000 liveries and 40000 AIG records: processing %.0f ms, pugixml parsing both alone %.0f ms, "
                "ratio %.1f\n",
                processMs, parseMs, processMs / parseMs);
    fs::current_path(fs::temp_directory_path());
    fs::remove_all(program);
    return 0;
}
