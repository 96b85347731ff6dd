// The choice of a live aircraft's livery title: a cascade of steps from the registration's
// own livery down to a generic livery of a similar type, cut by MATCHING_DEPTH, with the
// titles the simulator failed to create skipped, and the count of matches per step.
#include <algorithm>

#include "catalogue/liveries.h"
#include "foundation/log.h"
#include "foundation/text.h"

std::array<uint32_t, g_liveryMatchSteps> g_liveryMatchCounts{};
std::vector<std::string> g_failedLiveryTitles;
std::unordered_map<uint32_t, std::string> g_liveryIdTitles;
std::set<std::string> g_notCreatedLiveries;

namespace {

constexpr std::string_view kSimName = "P3D";

} // namespace

void gf_logLiveryMatchingSummary()
{
    if (std::all_of(g_liveryMatchCounts.begin(), g_liveryMatchCounts.end(), [](uint32_t n) { return n == 0; }))
        return;
    gf_logLine(gf_bannerLine(64, 0, true, false, "live traffic livery matching summary"));
    gf_logLine("Matches at step: ");
    for (size_t step = 0; step < g_liveryMatchCounts.size(); ++step)
        gf_logLine("  {}: {}", step, g_liveryMatchCounts[step]);
    if (!g_notCreatedLiveries.empty()) {
        gf_logLine("\nCould not be created by {}:", kSimName);
        for (const std::string& text : g_notCreatedLiveries)
            gf_logLine("  {}", text);
    }
    gf_logLine(gf_bannerLine(100, 0, false, true));
}
