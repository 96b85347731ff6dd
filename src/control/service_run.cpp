#include "control/service_run.h"

#include <filesystem>
#include <iterator>
#include <new>
#include <string>
#include <thread>

#include <fmt/format.h>

#include "control/application.h"
#include "control/service_calls.h"
#include "control/service_internal.h"
#include "control/service_state.h"
#include "control/setting_controls.h"
#include "feed/feed_inputs.h"
#include "foundation/folders.h"
#include "foundation/log.h"
#include "foundation/scan_tasks.h"
#include "foundation/settings_catalogue.h"
#include "foundation/settings_migration.h"
#include "foundation/parameters_file.h"
#include "foundation/stop_state.h"
#include "foundation/text.h"
#include "foundation/time_text.h"
#include "foundation/user_error.h"
#include "foundation/version.h"
#include "parking/airports.h"
#include "parking/park_airports.h"
#include "parking/static_parking.h"
#include "traffic/traffic_service.h"
#include "ui/control_ops.h"
#include "ui/messages.h"
#include "ui/window_bridge.h"
#include "ui/window_services.h"
#include "ui/window_state.h"

std::atomic<bool> g_restartPending{false};

namespace {

bool lf_realTrafficLocal()
{
    return g_realTrafficLocal.load();
}

void lf_checkProgramFolder()
{
    const std::filesystem::path& docs = gf_paths().docs;
    std::error_code ec;
    const std::filesystem::file_status status = std::filesystem::status(docs, ec);
    if (ec && status.type() != std::filesystem::file_type::not_found)
        throw std::filesystem::filesystem_error("status", docs, ec);
    if (!std::filesystem::is_directory(status))
        throw tav::UserErrorException(41, fmt::format("{} must be run from the {} folder!", g_programName,
                                                      g_programName));
}

bool lf_anyFolderSet()
{
    for (const auto* folders : {&lfolder, &afolder}) {
        for (const StringParameter& folder : *folders) {
            if (!folder.value().empty())
                return true;
        }
    }
    return false;
}

[[noreturn]] void lf_noInstallPath()
{
    ALL_INSTALL_PATH.setValue({});
    gf_setControlText(ALL_INSTALL_PATH);
    throw tav::UserErrorException(151, "No P3D install path detected, type full Install Path above, and press Enter");
}

// Entries of a folder; 0 when it is missing or unreadable.
uint64_t lf_entryCount(const std::filesystem::path& folder)
{
    std::error_code ec;
    uint64_t n = 0;
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
        ++n;
    return n;
}

void lf_scansAndParkAirports()
{
    WindowState& ws = gf_windowState();
    if (SCAN_AIRPORTS.value) {
        ws.simAddonAirports = 0;
        ws.thirdPartyAirports = 0;
        gf_invalidateBand(g_connectionBand);
        gf_serviceCalls().scanAddonAirports();
    }
    ws.simAddonAirports = lf_entryCount(gf_paths().myOrbx);
    ws.thirdPartyAirports = lf_entryCount(gf_paths().myThirdparty);
    gf_invalidateBand(g_connectionBand);
    // A stop asked for during the scans keeps its own reason: the user's close ends the
    // program, a ticked scan box or a new install path restarts it.
    if (gf_stopPending())
        return;
    gf_createFlightPlanFolder();
    lf_readMyParkAirports();
    gf_controlEnable(g_rereadButton, true);
    const std::string destination = DESTINATION.value();
    if (!destination.empty()) {
        if (const Airport* airport = gf_findAirport(destination)) {
            gf_setDestination(destination, GeoPos{airport->lat, airport->lon});
            lf_applyWindowRequests();
        }
    }
    gf_setWindowTopmost(ALWAYS_ON_TOP.value);
    lf_serviceMain();
}

void lf_runService()
{
    lf_checkProgramFolder();
    lf_startUp();
    gf_flushLog();
    // A newer program was placed for the user: this run ends before reading anything.
    if (gf_stopPending())
        return;
    lf_setStockAirportsPath();
    gf_setScanTasksMax(std::thread::hardware_concurrency());
    if (g_liveryRebuildRequested.exchange(false))
        gf_serviceCalls().clearLiveryTables();
    if (SCAN_LIVERIES.value)
        gf_serviceCalls().scanLiveries();
    // A scan that a stop cut short wrote no file (the first scan leaves none at all): the
    // tables wait for the next start-up, and the stop keeps its own reason.
    if (!gf_stopPending())
        gf_serviceCalls().processScannedLiveries();
    // Production mode ends here, after the livery tables were built.
    if (g_productionMode)
        lf_requestExit();
    if (!gf_stopPending())
        lf_scansAndParkAirports();
}

std::string lf_errorText(const std::exception& e)
{
    const std::string text = e.what();
    return text.empty() ? std::string("Unknown exception") : text;
}

void lf_systemError()
{
    gf_requestClosingDown(CloseReason::SystemError, 0);
}

} // namespace

void lf_prepareDataFolder()
{
    const ProgramPaths& p = gf_paths();
    for (const std::filesystem::path* folder :
         {&p.output, &p.outputInfo, &p.outputErrors, &p.airports, &p.learned, &p.learnedStock, &p.learnedSimaddon,
          &p.learnedThirdparty, &p.myOrbx, &p.myThirdparty, &p.myRegcodes}) {
        std::error_code ec;
        const std::filesystem::file_status status = std::filesystem::status(*folder, ec);
        if (ec && status.type() != std::filesystem::file_type::not_found)
            throw std::filesystem::filesystem_error("status", *folder, ec);
        if (!std::filesystem::is_directory(status))
            std::filesystem::create_directories(*folder);
    }
    for (const char* name : {"AIG-regcodes0.xml", "AIG-regcodes00.xml"})
        std::filesystem::remove(p.input / name);
}

void lf_detectSim()
{
    const ServiceCalls& calls = gf_serviceCalls();
    const bool v5 = calls.p3dInstalled(5);
    const bool v6 = calls.p3dInstalled(6);
    if (v5 && v6)
        throw tav::UserErrorException(
            153, "More than one P3D version detected, type full Install Path to wanted version above and press Enter");
    if (!v5 && !v6) {
        gf_showMessage("P3D not detected?", true);
        if (lf_anyFolderSet())
            return;
        lf_noInstallPath();
    }
    const int32_t version = v5 ? 5 : 6;
    gf_logLine("P3Dv{}detected", version);
    const std::string path = gf_pathToUtf8(calls.p3dSetupPath(version));
    if (path.empty())
        lf_noInstallPath();
    ALL_INSTALL_PATH.setValue(path);
    gf_setControlText(ALL_INSTALL_PATH);
    SIM_INSTALL_PATH.setValue(path);
    gf_saveParameter(SIM_INSTALL_PATH);
}

void lf_setStockAirportsPath()
{
    // Without an install path there is no stock folder: a bare "Scenery" would exclude
    // every add-on folder whose path holds that word.
    const std::string install = SIM_INSTALL_PATH.value();
    if (install.empty()) {
        g_stockAirportsPath.clear();
        return;
    }
    g_stockAirportsPath = gf_pathFromUtf8(install) / "Scenery";
    std::error_code ec;
    if (!std::filesystem::exists(g_stockAirportsPath, ec))
        gf_showMessage(fmt::format("Stock airports path does not exist: {}", gf_pathToUtf8(g_stockAirportsPath)),
                       true);
}

void lf_requestExit()
{
    g_exitCode = 0;
    gf_requestClosingDown(CloseReason::UserClosedSim, 0);
}

void lf_startUp()
{
    const ServiceCalls& calls = gf_serviceCalls();
    gf_loadParameters();
    gf_invalidateBand(g_wholeWindow);
    gf_flushLog();
    lf_fillComboBoxes();
    lf_prepareDataFolder();
    if (!g_restartPending && !calls.checkForUpdates())
        return;
    g_timeOfWeek = gf_weekdayAndSlot();
    if (!g_dataFilesRead) {
        const bool read = calls.readDbase();
        g_dataFilesRead = true;
        if (!read)
            throw std::runtime_error("reading data files failed!");
    }
    if (!calls.readAirports())
        throw std::runtime_error("reading airports failed!");
    ALL_INSTALL_PATH.setValue(SIM_INSTALL_PATH.value());
    gf_enableControl(ALL_INSTALL_PATH);
    gf_setControlText(ALL_INSTALL_PATH);
    if (ALL_INSTALL_PATH.value().empty())
        lf_detectSim();
    gf_invalidateBand(g_wholeWindow);
    if (g_productionMode)
        return;
    g_realTrafficLocal = calls.realTrafficInstalled();
    gf_showMessage(fmt::format("RealTraffic {}detected at this PC", g_realTrafficLocal ? "" : "not "), true);
}

void lf_serviceThread(std::stop_token stop)
{
    // The feed reads the run's values through these.
    gf_setRealTrafficLocalSource(&lf_realTrafficLocal);
    gf_setTrafficTickSource(&gf_trafficTickNow);
    gf_setParkAirportSource(&gf_parkAirportForFeed);
    try {
        lf_runService();
    } catch (const tav::UserErrorException& e) {
        gf_showError(lf_errorText(e));
        gf_setCloseReason(CloseReason::SystemError);
    } catch (const fmt::format_error& e) {
        gf_showError(fmt::format("std::format error: {}", e.what()));
        gf_showError(lf_errorText(e));
        lf_systemError();
    } catch (const std::exception& e) {
        gf_showError(lf_errorText(e));
        lf_systemError();
    } catch (...) {
        gf_showError("Unknown exception");
        gf_setCloseReason(CloseReason::SystemError);
    }
    gf_flushLog();
    lf_closingDown(stop);
}
