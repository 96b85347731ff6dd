#include "control/service_calls.h"

#include "catalogue/dbase.h"
#include "catalogue/liveries.h"
#include "feed/udp_reader.h"
#include "foundation/folders.h"
#include "foundation/registry.h"
#include "foundation/text.h"
#include "parking/airports.h"
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
    return ServiceCalls{&gf_checkForUpdates, &gf_readDbase, &gf_readAirports, &lf_p3dInstalled, &gf_p3dSetupPath,
                        &lf_realTrafficInstalled, &gf_scanLiveries, &gf_processScannedLiveries,
                        &gf_scanAddonAirports, &gf_takeOutLiveAircraft, g_qnhPort, g_trafficPort, {}, 1000};
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
