#include <fmt/format.h>

#include "foundation/file_generations.h"
#include "foundation/file_meta.h"
#include "foundation/log.h"
#include "foundation/text.h"
#include "foundation/time_text.h"
#include "parking/park_file_internal.h"
#include "parking/stand_learning.h"

namespace fs = std::filesystem;

namespace {

// The stands as the learned file keeps them: what came from the park file itself is
// left out, unless the learned file is the whole (handmade) file.
std::vector<ParkStand> lf_learnedStands(bool handmade)
{
    std::vector<ParkStand> stands;
    for (const ParkStand& s : g_parkStands) {
        std::vector<StandFlight> flights;
        for (const StandFlight& f : s.flights) {
            if (handmade || f.origin != 1)
                flights.push_back(f);
        }
        if (!handmade && flights.empty() && !s.manual && !s.radiusChange && !s.cargoChange)
            continue;
        ParkStand& copy = stands.emplace_back(s.id, std::move(flights), StandPlace{s.lat, s.lon, s.heading}, 0.0,
                                              !s.cargo, !s.ramp, !s.heli);
        copy.radius = s.radius;
        copy.manual = s.manual;
        copy.radiusChange = s.radiusChange;
        copy.cargoChange = s.cargoChange;
    }
    return stands;
}

bool lf_save(const ParkFileRead& read, const fs::path& path)
{
    const bool handmade = g_parkFileHandmade;
    ApfContent content;
    content.code = read.code;
    content.airportName = read.details.airportName;
    content.publisher = read.details.publisher;
    content.altitude = read.details.altitude;
    content.stands = lf_learnedStands(handmade);
    if (handmade)
        std::tie(content.qfReal, content.qfSoft) = gf_qualityFactors();
    content.keptParkpos = read.kept.child("root");
    if (fs::exists(path))
        gf_save1GenerationOf(path);
    return gf_writeApf(content, path, ApfMode::Learned, 3);
}

} // namespace

void gf_saveUpdatedApfs()
{
    const ParkFileRead& read = gf_lastParkFileRead();
    const std::string pathText = gf_pathToUtf8(read.learnedPath);
    if (read.learnedPath.empty()) {
        gf_logLine("{}: the park file '{}' has no learned file", "gf_saveUpdatedApfs", read.source);
        return;
    }
    if (!read.saveAllowed) {
        gf_logErrorLine("{}: '{}' was not read whole and is left as it is", "gf_saveUpdatedApfs", pathText);
        return;
    }
    bool saved = false;
    try {
        saved = lf_save(read, read.learnedPath);
    } catch (const std::exception& e) {
        gf_logErrorLine("{}: {}", "gf_saveUpdatedApfs", e.what());
    }
    if (saved)
        gf_logLine("{}{} '{}' saved with {} update{}", gf_simHms(), g_parkFileHandmade ? " handmade" : "", pathText,
                   g_standUpdates, gf_plural(g_standUpdates));
    else
        gf_logLine("{} saving '{}' did not succeed", gf_simHms(), pathText);
    gf_setStandUpdates(0);
}
