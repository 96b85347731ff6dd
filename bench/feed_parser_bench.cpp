// Traffic lines per second on one core: a bare comma split of the same lines (the
// reference: no parser can be faster), the parser alone, and the whole datagram handling
// of the traffic reader (context, parse, queueing under the received-flights mutex).
// Usage: feed_parser_bench [seconds per measurement, default 2]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include <fmt/format.h>

#include "feed/received_flights.h"
#include "feed/traffic_line.h"
#include "feed/traffic_reader.h"
#include "foundation/time_text.h"

namespace {

using Clock = std::chrono::steady_clock;

// A realistic mix: airborne traffic of several kinds, some on the ground near the park
// airport, some out of range, some refused.
std::vector<std::string> lf_lines(int64_t now)
{
    std::vector<std::string> lines;
    for (int i = 0; i < 1024; ++i) {
        const double lat = 52.0 + (i % 97) * 0.01;
        const double lon = 4.3 + (i % 89) * 0.01;
        const bool ground = i % 10 == 0;
        const bool far = i % 17 == 0;
        const bool bad = i % 50 == 7;
        lines.push_back(fmt::format(
            "RTTFC,{},{:.5f},{:.5f},{},{},0,{:.1f},{},{}{},{},{},{},{},{:.2f},adsb,XX{},{},{},{},{},0.52,0,{},{},{:.1f},"
            "0,none,{}",
            4000000 + i, far ? lat + 3.0 : lat, lon, ground ? 0 : 2000 + i * 31,
            bad ? std::string("nan") : std::to_string(ground ? 0 : -640 + i % 7 * 200),
            (i * 7) % 360 + 0.5, ground ? 12 : 140 + i % 300, "KLM", 1000 + i, i % 3 ? "B738" : "A20N",
            i % 5 ? fmt::format("PH-B{:02}", i % 100) : std::string("null"), "AMS", i % 4 ? "LHR" : "null",
            static_cast<double>(now) - 30.0 + (i % 20) * 0.5, i, i % 3 ? "X_adsb_icao" : "adsb_icao",
            "3600", "250", i % 6 ? "-1" : "280", i % 4 ? "2.5" : "0", "88", (i * 7) % 360 + 0.5,
            i % 9 ? "A3" : "null"));
    }
    return lines;
}

template <typename F>
double lf_linesPerSecond(double seconds, const std::vector<std::string>& lines, F&& handle)
{
    uint64_t count = 0;
    const auto start = Clock::now();
    const auto end = start + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
    auto now = start;
    while (now < end) {
        for (const std::string& line : lines)
            handle(line);
        count += lines.size();
        now = Clock::now();
    }
    return static_cast<double>(count) / std::chrono::duration<double>(now - start).count();
}

} // namespace

int main(int argc, char** argv)
{
    const double seconds = argc > 1 ? std::atof(argv[1]) : 2.0;
    const int64_t now = gf_nowSeconds();
    const std::vector<std::string> lines = lf_lines(now);

    TrafficLineContext context;
    context.referencePosition = {52.3086, 4.7639};
    context.rangeNm = 100.0;
    context.parkAirport = {true, {52.3086, 4.7639}, -11.0};

    LiveFlightRecord record;
    std::string error;
    uint64_t outcomes[4] = {};
    for (const std::string& line : lines)
        ++outcomes[static_cast<int>(gf_parseTrafficLine(line, context, nullptr, record, error))];
    std::printf("mix of %zu lines: %llu accepted, %llu dropped, %llu refused, %llu ignored\n", lines.size(),
                static_cast<unsigned long long>(outcomes[0]), static_cast<unsigned long long>(outcomes[1]),
                static_cast<unsigned long long>(outcomes[2]), static_cast<unsigned long long>(outcomes[3]));

    std::vector<std::string_view> fields;
    fields.reserve(64);
    const double splitRate = lf_linesPerSecond(seconds, lines, [&](const std::string& line) {
        fields.clear();
        size_t start = 0;
        for (size_t comma = line.find(','); comma != std::string::npos; comma = line.find(',', start)) {
            fields.emplace_back(line.data() + start, comma - start);
            start = comma + 1;
        }
        fields.emplace_back(line.data() + start, line.size() - start);
    });
    std::printf("reference, bare comma split: %.2f million lines/s (%.0f ns a line, %zu fields)\n", splitRate / 1e6,
                1e9 / splitRate, fields.size());

    const double parseRate = lf_linesPerSecond(seconds, lines, [&](const std::string& line) {
        gf_parseTrafficLine(line, context, nullptr, record, error);
    });
    std::printf("parser alone:                %.2f million lines/s (%.0f ns a line)\n", parseRate / 1e6,
                1e9 / parseRate);

    // The reader as it runs, except that the log of refused lines goes nowhere (no log is
    // open) and the queue is emptied as the engine would empty it.
    TrafficReader reader;
    reader.setReferencePosition({52.3086, 4.7639});
    {
        std::lock_guard lock(g_liveFlightsMutex);
        g_serviceRunning = true;
    }
    const double readerRate = lf_linesPerSecond(seconds, lines, [&](const std::string& line) {
        reader.datagram = line;
        reader.onDatagram();
        std::lock_guard lock(g_liveFlightsMutex);
        if (g_liveFlights.size() >= 4096)
            g_liveFlights.clear();
    });
    std::printf("reader datagram handling:    %.2f million lines/s (%.0f ns a line)\n", readerRate / 1e6,
                1e9 / readerRate);
    return 0;
}
