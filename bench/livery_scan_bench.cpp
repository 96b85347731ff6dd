// The livery scan of a generated collection (demo/standins/livery_collection.py) against
// what it cannot avoid: listing the folders and reading every aircraft.cfg and sim.cfg
// whole on as many threads. Warm cache, one run each; then every file alone, for the
// slowest one.
//   livery_scan_bench <collection folder (lf0, lf1, ... below it)>
// The database is the builder's default one (seed and size), as the generator's data.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "catalogue/dbase.h"
#include "catalogue/livery_scan_internal.h"
#include "foundation/folders.h"
#include "foundation/log.h"
#include "foundation/scan_tasks.h"
#include "foundation/settings_catalogue.h"
#include "foundation/text.h"
#include "catalogue_bench_support.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

double lf_ms(Clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

bool lf_isCfg(const fs::path& path)
{
    const std::string ext = gf_toUpperAscii(gf_pathToUtf8(path.extension()));
    const std::string stem = gf_toUpperAscii(gf_pathToUtf8(path.stem()));
    return ext == ".CFG" && (stem == "AIRCRAFT" || stem == "SIM");
}

// The folders listed as the scan lists them, without its rules.
std::vector<fs::path> lf_listCfgFiles(const std::vector<fs::path>& roots)
{
    std::vector<fs::path> files;
    for (const fs::path& root : roots) {
        std::vector<fs::directory_iterator> stack;
        std::error_code ec;
        stack.emplace_back(root, ec);
        while (!stack.empty()) {
            fs::directory_iterator& it = stack.back();
            if (ec || it == fs::directory_iterator()) {
                stack.pop_back();
                ec.clear();
                continue;
            }
            const fs::directory_entry entry = *it;
            it.increment(ec);
            if (entry.is_directory(ec))
                stack.emplace_back(entry.path(), ec);
            else if (entry.is_regular_file(ec) && lf_isCfg(entry.path()))
                files.push_back(entry.path());
        }
    }
    return files;
}

// Lists the folders, then reads every file whole on `threads` threads; the bytes read.
uint64_t lf_bareWalk(const std::vector<fs::path>& roots, unsigned threads)
{
    const std::vector<fs::path> files = lf_listCfgFiles(roots);
    std::atomic<size_t> next{0};
    std::atomic<uint64_t> bytes{0};
    std::vector<std::thread> pool;
    for (unsigned t = 0; t < threads; ++t)
        pool.emplace_back([&] {
            std::string data;
            for (size_t i = next++; i < files.size(); i = next++) {
                std::ifstream in(files[i], std::ios::binary | std::ios::ate);
                data.resize(static_cast<size_t>(in.tellg()));
                in.seekg(0).read(data.data(), static_cast<std::streamsize>(data.size()));
                bytes += static_cast<uint64_t>(in.gcount());
            }
        });
    for (std::thread& t : pool)
        t.join();
    return bytes;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fputs("usage: livery_scan_bench <collection folder>\n", stderr);
        return 2;
    }
    const fs::path collection = fs::absolute(gf_pathFromUtf8(argv[1]));
    const fs::path program = fs::temp_directory_path() / "tav-livery-bench";
    if (!gf_openBenchProgram(program))
        return 1;
    // The titles not to use, as the generator wrote them.
    if (fs::is_directory(collection / "my_regcodes"))
        fs::copy(collection / "my_regcodes", gf_paths().myRegcodes);
    std::vector<fs::path> roots;
    for (size_t i = 0; i < lfolder.size() && fs::is_directory(collection / fmt::format("lf{}", i)); ++i) {
        roots.push_back(collection / fmt::format("lf{}", i));
        lfolder[i].setValue(gf_pathToUtf8(roots.back()));
    }
    const unsigned threads = std::max(1u, std::thread::hardware_concurrency());
    lf_bareWalk(roots, threads); // warms the cache

    auto start = Clock::now();
    const uint64_t bytes = lf_bareWalk(roots, threads);
    const double bareMs = lf_ms(Clock::now() - start);

    gf_setScanTasksMax(threads);
    start = Clock::now();
    gf_scanLiveries();
    const double scanMs = lf_ms(Clock::now() - start);
    gf_readLiveriesScanned();
    const size_t liveries = g_scannedLiveries.size();

    double slowestMs = 0.0;
    fs::path slowest;
    const std::vector<fs::path> files = lf_listCfgFiles(roots);
    for (const fs::path& file : files) {
        const std::string text = gf_pathToUtf8(file);
        const bool ivao = text.find("IVAO_MTL") != std::string::npos || text.find("ivao_x-csl") != std::string::npos;
        start = Clock::now();
        ivao ? lf_searchLiveriesinIVAOFile(1, file) : lf_searchLiveriesinFile(1, file);
        if (const double ms = lf_ms(Clock::now() - start); ms > slowestMs) {
            slowestMs = ms;
            slowest = file;
        }
    }
    gf_closeLog();
    std::printf("%zu files, %.1f MB, %u threads: bare walk and read %.0f ms, scan to LiveriesScanned.xml %.0f ms "
                "(%zu liveries), ratio %.2f\n",
                files.size(), static_cast<double>(bytes) / 1e6, threads, bareMs, scanMs, liveries, scanMs / bareMs);
    std::printf("slowest file alone: %.1f ms (%s)\n", slowestMs, gf_pathToUtf8(slowest).c_str());
    fs::current_path(fs::temp_directory_path());
    fs::remove_all(program);
    return 0;
}
