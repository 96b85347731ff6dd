#include <algorithm>
#include <set>

#include <fmt/format.h>

#include "control/setting_controls.h"
#include "feed/traffic_reader.h"
#include "foundation/file_meta.h"
#include "foundation/folders.h"
#include "foundation/log.h"
#include "foundation/parameters_file.h"
#include "foundation/settings_catalogue.h"
#include "foundation/text.h"
#include "foundation/user_error.h"
#include "foundation/xml_helpers.h"
#include "parking/airports.h"
#include "parking/park_airports.h"
#include "parking/park_file_internal.h"
#include "parking/park_settings.h"
#include "ui/control_ops.h"
#include "ui/messages.h"
#include "ui/window_bridge.h"
#include "ui/window_state.h"

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kName = "gf_readApf";

// Park files that the program fetched or the add-on scan wrote: their faults are the
// file's, not the user's, and must not end the service.
bool lf_isProgramMadeSource(std::string_view source)
{
    std::string s(source);
    std::replace(s.begin(), s.end(), '/', '\\');
    return !s.starts_with("airports") || s.starts_with("airports\\my_thirdparty") ||
           s.starts_with("airports\\my_ORBX");
}

int32_t lf_intParameter(const pugi::xml_document& doc, std::string_view name)
{
    return gf_findIntParameter(doc, name).value_or(0);
}

// No learned file: settings that suit the quality of the park file's data.
void lf_setDefaults()
{
    const auto [real, soft] = g_parkQuality;
    if (real < 3 && soft >= 1) {
        for (CheckBoxParameter* box : {&PARK_SOFT, &WEEK}) {
            box->value = true;
            gf_controlSetCheckMark(*box, true);
        }
        MAX_FIT.value = MAX_FIT.maxValue;
        gf_selectComboFloat();
    } else if (real >= 46) {
        for (CheckBoxParameter* box : {&PARK_SOFT, &WEEK}) {
            box->value = false;
            gf_controlSetCheckMark(*box, false);
        }
    }
    const Airport* airport = gf_findAirport(g_parkAirport.code);
    const int32_t stands = airport != nullptr ? airport->stands : 0;
    parking_percentage.value = stands == 1 ? 100 : stands == 2 ? 50 : 30;
    gf_setIntControlText(parking_percentage);
    gf_logContinuation("{:24}: {}%", "parking_percentage", parking_percentage.value.load());
}

// Learning at an airport whose learned file is never replaced is lost at every close:
// the user is told once per airport and run of the program, so that the file can be
// mended or removed.
void lf_tellLearningIsNotSaved(const std::string& code)
{
    static std::set<std::string> told;
    if (told.insert(code).second)
        gf_showMessage(fmt::format("The learned file of {} cannot be updated: what is learned there is not saved, "
                                   "see Log.txt",
                                   code),
                       true);
}

std::string lf_readApf(std::string_view source, ParkFileDetails& details)
{
    if (source.empty())
        return fmt::format("{}: xml is empty", kName);
    if (g_parkAirport.code.empty()) {
        g_trafficReader.setReferenceElevation(std::nullopt);
        return fmt::format("{}: no park airport set", kName);
    }
    // Factors of the previous airport must not steer this one's defaults.
    g_parkQuality = {0, 0};
    fs::path file = lf_sourcePath(source);
    if (!source.starts_with("airports")) {
        file = gf_paths().airports / "park_airport.xml";
        if (std::string error = lf_downloadApf(source, file, ApfFetchFor::Load); !error.empty())
            return error;
    }
    g_parkFileHandmade = false;
    pugi::xml_document doc;
    if (!gf_loadXmlFile(doc, file))
        return fmt::format("{}: could not load file: {}", source, gf_pathToUtf8(file));
    if (!gf_readMeta(doc, false))
        return fmt::format("{}: refused to load", source);

    g_rtTrafficWeek = lf_intParameter(doc, "RT_traffic_week");
    details.publisher = gf_findTextParameter(doc, "publisher").value_or(std::string());
    if (!gf_findTextParameter(doc, "altitude"))
        throw tav::UserErrorException(65, "Parameter altitude not found");
    details.altitude = lf_intParameter(doc, "altitude");
    g_parkAirport.elevationFt = details.altitude;
    g_trafficReader.setReferenceElevation(static_cast<double>(details.altitude));
    details.airportName = gf_findTextParameter(doc, "airport_name").value_or(std::string());

    std::vector<ParkStand> table;
    lf_readParkpositions(doc, table);
    const std::optional<int32_t> qfReal = gf_findIntParameter(doc, "Qf_real");
    const std::optional<int32_t> qfSoft = gf_findIntParameter(doc, "Qf_soft");
    if (qfReal && qfSoft)
        g_parkQuality = {*qfReal, *qfSoft};
    gf_takeParkSettingsSnapshot();

    ParkFileRead& read = gf_lastParkFileRead();
    read.kept.reset();
    read.saveAllowed = true;
    const fs::path learned = lf_learnedApfPath(source, details.publisher);
    if (!learned.empty() && fs::exists(learned)) {
        read.saveAllowed = lf_readLearned(learned, details, table, read.kept);
        if (!read.saveAllowed)
            lf_tellLearningIsNotSaved(g_parkAirport.code);
        g_parkQuality = gf_qualityFactors(table);
        if (g_parkFileHandmade)
            gf_logLine("A handmade airport file overruled the archived file!");
    } else {
        gf_logLine("learned does not exist");
        lf_setDefaults();
    }

    WindowState& ws = gf_windowState();
    ws.parkStands = table.size();
    gf_invalidateBand(g_statusPanelBand);
    gf_numberAndLinkStands(table);

    gf_logLine("Airport file read from '{}' for {}", g_parkFileHandmade ? gf_pathToUtf8(learned) : std::string(source),
               details.airportName);
    gf_setWindowText(WindowText::ParkDetail1, details.publisher, g_statusPanelBand);
    ws.handmadeParkFile = g_parkFileHandmade;
    ws.parkFileWeek = g_rtTrafficWeek;
    gf_invalidateBand(g_statusPanelBand);
    gf_logContinuation("{:24}: {}", "publisher", details.publisher);
    gf_logContinuation("{:24}: {} ft", "altitude", details.altitude);
    gf_logContinuation("{:24}: {}", "num_parkpos", table.size());
    gf_logContinuation("{:24}: {}", "quality factor", gf_qualityText());
    gf_logContinuation("{:24}: {}", "RT traffic week", g_rtTrafficWeek);
    gf_setWindowText(WindowText::Quality, gf_qualityText(), g_statusPanelBand);

    read.code = g_parkAirport.code;
    read.source = source;
    read.details = details;
    read.learnedPath = learned;
    if (table.empty())
        return "no stands found";
    gf_setParkStands(std::move(table));
    g_parkFileLoaded = true;
    gf_controlEnable(g_flushStaticButton, true);
    return {};
}

} // namespace

std::string gf_readApf(std::string_view source, ParkFileDetails& details)
{
    try {
        return lf_readApf(source, details);
    } catch (const tav::UserErrorException& e) {
        if (!lf_isProgramMadeSource(source))
            throw;
        return fmt::format("{}: {}", source, e.what());
    } catch (const std::exception& e) {
        return fmt::format("{}: {}", kName, e.what());
    }
}

void gf_resetParkAirport()
{
    if (g_parkFileLoaded)
        gf_saveUpdatedApfs();
    g_parkFileHandmade = false;
    g_parkFileLoaded = false;
    if (!INITIAL_LOAD_ONLY.value)
        gf_controlEnable(g_nowButton, false);
    g_nowButtonAllowed = true;
    g_rtTrafficWeek = 0;
    gf_controlEnable(g_flushStaticButton, false);
    gf_restoreParkSettingsSnapshot();
    ParkFileRead& read = gf_lastParkFileRead();
    read.kept.reset();
    read.learnedPath.clear();
    read.saveAllowed = false;
}
