#include "control/service_calls.h"

#include "catalogue/dbase.h"
#include "catalogue/liveries.h"
#include "feed/udp_reader.h"
#include "foundation/folders.h"
#include "foundation/registry.h"
#include "foundation/text.h"
#include "parking/airports.h"
#include "parking/park_airports.h"
#include "scanner/addon_scan.h"
#include "traffic/traffic_service.h"
#include "update/update_check.h"

namespace {

bool lf_p3dInstalled(int32_t version)
{
    return version == 5 ? static_cast<bool>(g_p3dV5Installed) : static_cast<bool>(g_p3dV6Installed);
}

bool lf_realTrafficInstalled()
{
    return std::filesystem::exists(gf_appDataPath() / gf_pathFromUtf8(g_realTrafficFolderName) /
                                   gf_pathFromUtf8(g_realTrafficJarName));
}

ServiceCalls lf_productCalls()
{
    ServiceCalls c{};
    c.checkForUpdates = &gf_checkForUpdates;
    c.readDbase = &gf_readDbase;
    c.readAirports = &gf_readAirports;
    c.p3dInstalled = &lf_p3dInstalled;
    c.p3dSetupPath = &gf_p3dSetupPath;
    c.realTrafficInstalled = &lf_realTrafficInstalled;
    c.scanLiveries = &gf_scanLiveries;
    c.processScannedLiveries = &gf_processScannedLiveries;
    c.scanAddonAirports = &gf_scanAddonAirports;
    c.takeOutLiveAircraft = &gf_takeOutLiveAircraft;
    c.countActiveLive = &gf_countActiveLive;
    c.removeFarthestLiveAc = &gf_removeFarthestLiveAc;
    c.setParkedNavLights = &gf_setParkedNavLights;
    c.liveInSimCallsigns = &gf_liveInSimCallsigns;
    c.addParkAirport = &gf_addParkAirport;
    c.clearLiveryTables = &gf_clearLiveryTables;
    c.qnhPort = g_qnhPort;
    c.trafficPort = g_trafficPort;
    c.countdownSecondMs = 1000;
    return c;
}

ServiceCalls& lf_current()
{
    static ServiceCalls calls = lf_productCalls();
    return calls;
}

} // namespace

const ServiceCalls& gf_serviceCalls()
{
    return lf_current();
}

void gf_setServiceCalls(const ServiceCalls& calls)
{
    lf_current() = calls;
}

void gf_resetServiceCalls()
{
    lf_current() = lf_productCalls();
}
