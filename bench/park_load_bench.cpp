// Loading one park airport (500 stands with 10,000 flights, a learned file of 2,000: read,
// overlay, numbering, overlap lists, quality) against a bare XML parse of the same two
// files, the work the load cannot avoid.
//   park_load_bench [rounds=20]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include <fmt/format.h>
#include <pugixml.hpp>

#include "foundation/folders.h"
#include "foundation/log.h"
#include "foundation/xml_helpers.h"
#include "parking/airports.h"
#include "parking/park_airport_file.h"
#include "parking/park_airports.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kStands = 500;
constexpr int kFlightsPerStand = 20;
constexpr int kLearnedPerStand = 4;

const char* const kMeta = R"(  <meta>
    <info name="author" value="Tavelorium_P3D" />
    <info name="version" value="11.10.3" />
    <info name="date" value="Nov 02, 2025" />
    <info name="copyright" value="Copyright (c) the Tavelorium_P3D authors" />
    <info name="sim" value="3" />
    <info name="P3D" value="v56" />
  </meta>
)";

std::string lf_opt(std::mt19937& rng, int day, int n)
{
    const int from = static_cast<int>(rng() % 40);
    return fmt::format(R"(      <opt reg="D-A{:03}{}" airl="DLH" type="A320" day="{}" hh="{}:{}" cs="DLH{}:DLH{}" />)"
                       "\n",
                       n % 1000, static_cast<char>('A' + n % 26), day, from, from + static_cast<int>(rng() % 8),
                       n, n + 1);
}

std::string lf_parkFile(std::mt19937& rng, bool learned)
{
    std::string xml = std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<root>\n") + kMeta + "  <parameters>\n";
    xml += R"(    <parameter name="airport_name" value="Bench" />)" "\n";
    xml += R"(    <parameter name="publisher" value="" />)" "\n";
    if (!learned)
        xml += R"(    <parameter name="altitude" value="364" />)" "\n";
    xml += "  </parameters>\n  <parkpositions>\n";
    for (int s = 0; s < kStands; ++s) {
        // A grid with 40 m between stands and 25 m radii: each overlaps its row neighbours.
        const double lat = 50.0 + (s / 25) * 0.00036;
        const double lon = 8.5 + (s % 25) * 0.00056;
        if (learned) {
            xml += fmt::format(R"(    <parkpos id="S{}">)" "\n", s);
            for (int f = 0; f < kLearnedPerStand; ++f)
                xml += lf_opt(rng, 1 + (f + 3) % 7, 100000 + s * kLearnedPerStand + f);
        } else {
            xml += fmt::format(R"(    <parkpos id="S{}" latitude="{:.6f}" longitude="{:.6f}" heading="90.0" radius="25.0" )"
                               R"(cargo="false" ramp="false">)" "\n",
                               s, lat, lon);
            for (int f = 0; f < kFlightsPerStand; ++f)
                xml += lf_opt(rng, 1 + f % 7, s * kFlightsPerStand + f);
        }
        xml += "    </parkpos>\n";
    }
    return xml + "  </parkpositions>\n</root>\n";
}

void lf_write(const fs::path& file, const std::string& bytes)
{
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary | std::ios::trunc).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

template <typename F>
double lf_bestMs(int rounds, F&& run)
{
    double best = 1e300;
    for (int i = 0; i < rounds; ++i) {
        const auto start = Clock::now();
        run();
        best = std::min(best, std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    return best;
}

} // namespace

int main(int argc, char** argv)
{
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
    const fs::path work = fs::temp_directory_path() / ("park_load_bench-" + std::to_string(std::random_device{}()));
    fs::create_directories(work);
    fs::current_path(work);
    gf_overrideDataFolder(work);
    gf_openLogAt(work / "Log.txt");

    std::mt19937 rng(7);
    const fs::path parkFile = gf_paths().myOrbx / "BNCH.xml";
    const fs::path learnedFile = gf_paths().learned / "my_ORBX" / "BNCH.xml";
    lf_write(parkFile, lf_parkFile(rng, false));
    lf_write(learnedFile, lf_parkFile(rng, true));
    g_airports = {{"BNCH", "", 50.0, 8.5, 364, 500}};
    g_parkAirport.code = "BNCH";

    const double parseMs = lf_bestMs(rounds, [&] {
        for (const fs::path& file : {parkFile, learnedFile}) {
            pugi::xml_document doc;
            if (!gf_loadXmlFile(doc, file))
                std::abort();
        }
    });
    size_t flights = 0;
    const double loadMs = lf_bestMs(rounds, [&] {
        gf_clearParkStands();
        ParkFileDetails details;
        if (!gf_readApf("airports/my_ORBX/BNCH.xml", details).empty())
            std::abort();
    });
    for (const ParkStand& s : g_parkStands)
        flights += s.flights.size();
    std::printf("park airport load: %zu stands, %zu flights, files %.1f + %.1f KB\n", g_parkStands.size(), flights,
                static_cast<double>(fs::file_size(parkFile)) / 1e3, static_cast<double>(fs::file_size(learnedFile)) / 1e3);
    std::printf("bare pugixml parse %8.2f ms  gf_readApf %8.2f ms  ratio %.2f\n", parseMs, loadMs, loadMs / parseMs);
    gf_closeLog();
    fs::current_path(fs::temp_directory_path());
    std::error_code ec;
    fs::remove_all(work, ec);
    return 0;
}
