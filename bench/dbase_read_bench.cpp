// Reading the aircraft database against the decryption and XML load it cannot avoid,
// the registration lookup and the closest-airport search, on the builder's real files with
// the tests' fictional registrations.
//   dbase_read_bench [rounds=5]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include <pugixml.hpp>

#include "catalogue/dbase.h"
#include "databuild/data_files.h"
#include "databuild/encrypt.h"
#include "foundation/folders.h"
#include "foundation/log.h"
#include "support/fictional_fleet.h"
#include "foundation/xml_helpers.h"
#include "parking/airports.h"
#include "update/data_file_decrypt.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

double lf_ms(Clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

void lf_write(const fs::path& file, const std::string& bytes)
{
    std::ofstream(file, std::ios::binary | std::ios::trunc).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// The program reads into empty tables: the previous round's are freed before the clock starts.
template <typename F>
double lf_bestMs(int rounds, F&& run)
{
    double best = 1e300;
    for (int i = 0; i < rounds; ++i) {
        g_dbaseRecords = RegistrationTable();
        const auto start = Clock::now();
        run();
        best = std::min(best, lf_ms(Clock::now() - start));
    }
    return best;
}

void lf_benchRead(const char* name, const std::string& plain, int rounds)
{
    const ProgramPaths& paths = gf_paths();
    lf_write(paths.dbaseEnc, databuild::encryptDataFile(plain, databuild::productKey()));
    const double floorMs = lf_bestMs(rounds, [&] {
        gf_streamDecrypt(paths.dbaseEnc, paths.dbaseXml);
        pugi::xml_document doc;
        gf_loadXmlFile(doc, paths.dbaseXml);
        gf_removeWithWarning(paths.dbaseXml);
    });
    const double readMs = lf_bestMs(rounds, [] {
        if (!gf_readDbase())
            std::abort();
    });
    std::printf("%-28s %7.1f MB  decrypt+load %8.1f ms  gf_readDbase %8.1f ms  ratio %.2f  (%zu records)\n", name,
                static_cast<double>(plain.size()) / 1e6, floorMs, readMs, readMs / floorMs, g_dbaseRecords.size());
}

std::string lf_withoutHyphen(std::string reg)
{
    std::erase(reg, '-');
    return reg;
}

} // namespace

int main(int argc, char** argv)
{
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    const fs::path tools = fs::path(TAV_SOURCE_DIR) / "tools";
    const fs::path work = fs::temp_directory_path() / ("dbase_read_bench-" + std::to_string(std::random_device{}()));
    fs::create_directories(work / "input");
    fs::current_path(work);
    gf_openLogAt(work / "Log.txt");

    const tavtest::FictionalData typical = tavtest::fictionalDataFiles(tools, 60000);
    const tavtest::FictionalData large = tavtest::fictionalDataFiles(tools, 300000);
    lf_benchRead("60,000 records", typical.files.dbaseXml, rounds);
    lf_benchRead("300,000 records", large.files.dbaseXml, rounds);

    // Mixed forms of the large table's registrations: as written, without the hyphen,
    // and unknown ones.
    std::vector<std::string> queries;
    std::istringstream csv(large.registrationsCsv);
    std::string line;
    std::getline(csv, line);
    for (size_t i = 0; std::getline(csv, line) && queries.size() < 1000000; ++i) {
        const std::string reg = line.substr(0, line.find(','));
        queries.push_back(i % 3 == 0 ? reg : i % 3 == 1 ? lf_withoutHyphen(reg) : lf_withoutHyphen(reg).append("Q"));
    }
    while (queries.size() < 1000000)
        queries.push_back(queries[queries.size() % 300000]);
    size_t found = 0;
    const auto lookupStart = Clock::now();
    for (const std::string& q : queries)
        found += gf_lookupDbase(q).has_value();
    const double lookupMs = lf_ms(Clock::now() - lookupStart);
    std::printf("gf_lookupDbase: %zu mixed forms, %zu found, %.0f ns each\n", queries.size(), found,
                lookupMs * 1e6 / static_cast<double>(queries.size()));

    lf_write(gf_paths().airportsEnc, databuild::encryptDataFile(typical.files.airportsXml, databuild::productKey()));
    if (!gf_readAirports())
        return 1;
    std::mt19937 engine(5);
    std::vector<GeoPos> positions;
    for (int i = 0; i < 20000; ++i) {
        const Airport& a = g_airports[engine() % g_airports.size()];
        const double d = (static_cast<double>(engine() % 2000) - 1000.0) / 10000.0;
        positions.push_back(i % 2 == 0 ? GeoPos{a.lat + d, a.lon - d}
                                       : GeoPos{static_cast<double>(engine() % 180) - 90.0,
                                                static_cast<double>(engine() % 360) - 180.0});
    }
    size_t hits = 0;
    const auto closestStart = Clock::now();
    for (const GeoPos& p : positions)
        hits += gf_closestAirport(p) != nullptr;
    const double closestMs = lf_ms(Clock::now() - closestStart);
    std::printf("gf_closestAirport: %zu positions over %zu airports, %zu within reach, %.1f us each\n",
                positions.size(), g_airports.size(), hits, closestMs * 1000.0 / static_cast<double>(positions.size()));

    gf_closeLog();
    fs::current_path(fs::temp_directory_path());
    std::error_code ec;
    fs::remove_all(work, ec);
    return 0;
}
