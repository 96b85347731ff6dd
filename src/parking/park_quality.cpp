#include <algorithm>
#include <array>
#include <cmath>

#include <fmt/format.h>

#include "parking/park_airport_file.h"

namespace {

struct KindScore {
    int64_t entries = 0;
    int64_t bits = 0;
    std::array<bool, 7> days{};
};

double lf_weight(double radiusNm)
{
    if (radiusNm <= 7.0)
        return 0.3;
    return radiusNm <= 10.0 ? 1.5 : 1.0;
}

int32_t lf_factor(double sum, double weights)
{
    const double q = std::round(sum / weights * 0.00625);
    return static_cast<int32_t>(std::clamp(q, 0.0, 100.0));
}

} // namespace

std::pair<int32_t, int32_t> gf_qualityFactors(const std::vector<ParkStand>& table)
{
    if (std::none_of(table.begin(), table.end(), [](const ParkStand& s) { return !s.flights.empty(); }))
        return {-1, -1};
    double weights = 0.0;
    std::array<double, 2> sums{}; // soft, real
    for (const ParkStand& stand : table) {
        const double w = lf_weight(stand.radius);
        weights += w;
        std::array<KindScore, 2> kinds;
        for (const StandFlight& f : stand.flights) {
            if (f.number == 0)
                continue;
            KindScore& k = kinds[f.real != 0 ? 1 : 0];
            ++k.entries;
            if (f.day >= 1 && f.day <= 7)
                k.days[f.day - 1] = true;
            k.bits += static_cast<int64_t>(f.hours.count());
        }
        for (size_t i = 0; i < kinds.size(); ++i) {
            const KindScore& k = kinds[i];
            if (k.entries == 0)
                continue;
            const auto d = std::count(k.days.begin(), k.days.end(), true);
            sums[i] += w * static_cast<double>(std::min<int64_t>(20 * k.entries, 4000) + 10000 + 100 * d +
                                               2 * std::min<int64_t>(k.bits, 600));
        }
    }
    return {lf_factor(sums[1], weights), lf_factor(sums[0], weights)};
}

std::pair<int32_t, int32_t> gf_qualityFactors()
{
    return gf_qualityFactors(g_parkStands);
}

std::string gf_qualityText()
{
    const auto [real, soft] = g_parkQuality;
    if (real < 0 && soft < 0)
        return "  ";
    if (real < 45)
        return fmt::format("{:2}/{:2}", real, soft);
    return fmt::format("{:2}", real);
}
