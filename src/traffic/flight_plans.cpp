#include "traffic/flight_plans.h"

#include <fstream>
#include <mutex>
#include <system_error>

#include <fmt/format.h>

#include "foundation/folders.h"
#include "foundation/log.h"
#include "foundation/text.h"
#include "foundation/text_files.h"
#include "simlink/sim_ids.h"
#include "traffic/traffic_internal.h"
#include "traffic/traffic_service.h"

std::filesystem::path g_flightPlanFolder;

namespace {

bool lf_existsOrThrow(const std::filesystem::path& folder)
{
    std::error_code ec;
    const bool exists = std::filesystem::exists(folder, ec);
    if (ec)
        throw std::filesystem::filesystem_error("exists", folder, ec);
    return exists;
}

void lf_createFolder(const std::filesystem::path& folder)
{
    std::error_code ec;
    if (!lf_existsOrThrow(folder))
        std::filesystem::create_directory(folder, ec);
}

// Texts from the feed go into XML: markup characters escaped, control characters dropped.
std::string lf_xmlText(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&apos;";
            break;
        default:
            if (static_cast<unsigned char>(c) >= 0x20 && c != 0x7F)
                out += c;
        }
    }
    return out;
}

std::string_view lf_flightRule(TypeCategory category)
{
    switch (category) {
    case TypeCategory::Buzjet:
    case TypeCategory::Large:
    case TypeCategory::Heavy:
        return "IFR";
    default:
        return "VFR";
    }
}

} // namespace

bool gf_createFlightPlanFolder()
{
    const std::filesystem::path data = gf_dataFolder();
    g_flightPlanFolder = data / gf_pathFromUtf8(g_flightPlanFolderName);
    lf_createFolder(data);
    lf_createFolder(g_flightPlanFolder);
    return lf_existsOrThrow(g_flightPlanFolder);
}

bool gf_removeFlightPlanFolder()
{
    if (g_flightPlanFolder.empty())
        return true;
    std::error_code ec;
    if (std::filesystem::exists(g_flightPlanFolder, ec)) {
        std::filesystem::remove_all(g_flightPlanFolder, ec);
        if (ec)
            gf_logLine("gf_removeFlightPlanFolder: {}", ec.message());
    }
    return !std::filesystem::exists(g_flightPlanFolder, ec) && !ec;
}

std::filesystem::path gf_flightPlanFileName(uint32_t objectId)
{
    return gf_pathFromUtf8(fmt::format("{}.pln", objectId));
}

std::string gf_flightPlanText(const StaticAc& ac)
{
    return fmt::format("{}\n{}\n{}\n{}{}{}\n{}{}{}\n{}{}{}\n{}\n{}", "<?xml version=\"1.0\" encoding=\"UTF-8\"?>",
                       "<SimBase.Document Type=\"AceXML\" version=\"4,3\">\"", "<FlightPlan.FlightPlan>", "<FPType>",
                       lf_flightRule(ac.category), "</FPType>", "<DepartureID>", lf_xmlText(ac.origin),
                       "</DepartureID>", "<DestinationID>", lf_xmlText(ac.destination), "</DestinationID>",
                       "</FlightPlan.FlightPlan>", "</SimBase.Document>") +
           "\n";
}

// Written in place: the file lives as long as its object, and the worker cannot wait for a
// flush to the disk within its tick.
bool gf_writeFlightPlan(const std::filesystem::path& path, const StaticAc& ac)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out)
        return false;
    const std::string text = gf_flightPlanText(ac);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    return static_cast<bool>(out.flush());
}

void lf_createAiFlightPlan(LiveAc& ac)
{
    if (ac.origin.empty() || ac.destination.empty())
        return;
    const std::filesystem::path path = g_flightPlanFolder / gf_flightPlanFileName(ac.objectId);
    bool ok = !g_flightPlanFolder.empty() && gf_writeFlightPlan(path, ac);
    if (ok) {
        const std::string narrow = gf_pathToAnsi(path);
        std::lock_guard lock(g_simConnectMutex);
        const ScHandle handle = g_simConnect.load();
        ok = handle != nullptr && !g_simConnectFailed &&
             SimConnect_AISetAircraftFlightPlan(handle, ac.objectId, narrow.c_str(), gf_id(SimRequest::AiFlightPlan)) ==
                 g_scOk;
    }
    ac.flightPlanSet = ok;
    if (!ok)
        gf_logErrorLine("{} creating a flight plan failed", gf_flightText3(ac));
}
