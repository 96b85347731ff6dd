// The add-on airport scan over a BGL builder tree (airport files among many scenery files
// without airports, nested folders) against a bare read of the same files: the same walk,
// every file opened and read whole on as many threads as the scan's tasks. Warm cache; the
// best of the rounds. The scan's tasks decode every airport and hand it on as the scan
// does, without writing park files (their saves to disk are measured once at the end).
//   bgl_scan_bench [airport files=5000] [other files=50000] [rounds=3] [file size scale=1]
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

#include <fmt/format.h>

#include "bgl/bgl_builder.h"
#include "foundation/folder_walk.h"
#include "foundation/folders.h"
#include "foundation/log.h"
#include "foundation/scan_tasks.h"
#include "foundation/settings_catalogue.h"
#include "parking/airports.h"
#include "scanner/addon_scan.h"
#include "scanner/scanner_internal.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

std::atomic<uint64_t> g_stands{0};
std::atomic<uint64_t> g_decoded{0};

void lf_decodeOnly(const fs::path& path)
{
    static const BglAirportSteps steps{[](ApfContent&, const fs::path&) { return false; },
                                       [](ApfContent& airport, uint32_t) {
                                           ++g_decoded;
                                           g_stands += airport.stands.size();
                                       }};
    lf_processBGLfile(path, steps);
}

// The bare work: list the tree, then read every file whole, the files shared out among
// the threads.
uint64_t lf_bareRead(const fs::path& root, unsigned threads)
{
    std::vector<fs::path> files;
    FolderWalk walk(root, "bench");
    for (auto entry = walk.next(); entry; entry = walk.next()) {
        std::error_code ec;
        if (entry->is_regular_file(ec))
            files.push_back(entry->path());
    }
    std::atomic<size_t> next{0};
    std::atomic<uint64_t> bytes{0};
    std::vector<std::thread> pool;
    for (unsigned t = 0; t < threads; ++t) {
        pool.emplace_back([&] {
            std::vector<char> buffer;
            for (size_t i = next++; i < files.size(); i = next++) {
                std::ifstream in(files[i], std::ios::binary | std::ios::ate);
                buffer.resize(static_cast<size_t>(in.tellg()));
                in.seekg(0);
                in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
                bytes += static_cast<uint64_t>(in.gcount());
            }
        });
    }
    for (std::thread& t : pool)
        t.join();
    return bytes;
}

double lf_seconds(Clock::duration d)
{
    return std::chrono::duration<double>(d).count();
}

} // namespace

int main(int argc, char** argv)
{
    const auto airports = static_cast<uint32_t>(argc > 1 ? std::atoi(argv[1]) : 5000);
    const auto others = static_cast<uint32_t>(argc > 2 ? std::atoi(argv[2]) : 50000);
    const int rounds = argc > 3 ? std::atoi(argv[3]) : 3;
    const auto scale = static_cast<uint32_t>(argc > 4 ? std::atoi(argv[4]) : 1);
    const fs::path work = fs::temp_directory_path() / fmt::format("tav-bgl-bench-{}", Clock::now().time_since_epoch().count());
    const fs::path root = work / "addons";
    std::vector<std::string> codes;
    for (char a = 'A'; a <= 'Z'; ++a)
        for (char b = 'A'; b <= 'Z'; ++b)
            codes.push_back(std::string("B") + a + b + "X");
    const bglbuild::BenchTree tree = bglbuild::writeBenchTree(root, codes, airports, others, 100, 1, scale);
    for (const std::string& code : codes)
        g_airportCodes.insert(code);
    const unsigned threads = std::max(1u, std::thread::hardware_concurrency());
    gf_setScanTasksMax(threads);
    const double mb = static_cast<double>(tree.bytes) / 1e6;
    std::printf("tree: %llu files (%u with an airport), %.1f MB, %u threads\n",
                static_cast<unsigned long long>(tree.files), airports, mb, threads);

    lf_bareRead(root, threads); // warms the cache
    auto bare = Clock::duration::max();
    auto scan = Clock::duration::max();
    gf_setBglFileTaskForTests(&lf_decodeOnly);
    for (int r = 0; r < rounds; ++r) {
        auto start = Clock::now();
        lf_bareRead(root, threads);
        bare = std::min(bare, Clock::now() - start);
        g_decoded = 0;
        start = Clock::now();
        lf_scanAirportsFolder(root);
        gf_waitForScanTasksToEnd(std::chrono::seconds(10), "bench");
        scan = std::min(scan, Clock::now() - start);
    }
    gf_setBglFileTaskForTests(nullptr);
    const auto files = static_cast<double>(tree.files);
    std::printf("bare read: %8.3f s %10.0f files/s %8.1f MB/s\n", lf_seconds(bare), files / lf_seconds(bare),
                mb / lf_seconds(bare));
    std::printf("BGL scan : %8.3f s %10.0f files/s %8.1f MB/s (%llu airports decoded)\n", lf_seconds(scan),
                files / lf_seconds(scan), mb / lf_seconds(scan), static_cast<unsigned long long>(g_decoded.load()));
    std::printf("scan / bare read: %.2f\n", lf_seconds(scan) / lf_seconds(bare));

    // The whole scan once, with a park file written for every airport, as the start-up runs it.
    fs::create_directories(work / "program" / "output" / "info");
    const fs::path previous = fs::current_path();
    fs::current_path(work / "program");
    gf_overrideDataFolder(work / "data");
    afolder[0].setValue(root.string());
    const auto start = Clock::now();
    gf_scanAddonAirports();
    const auto full = Clock::now() - start;
    std::printf("whole scan with %u park files written: %.3f s\n", airports, lf_seconds(full));
    fs::current_path(previous);
    std::error_code ec;
    fs::remove_all(work, ec);
    return 0;
}
