#pragma once
// The calls the traffic service makes into its neighbours at start-up (updates, data
// files, installed simulators, scans), the take-out of the live aircraft when RealTraffic
// is lost, the work the window's requests ask of the engine, the park airports and the
// livery tables, and the ports of the RealTraffic side. The product's table holds the
// neighbours themselves and the real ports; tests replace entries with gf_setServiceCalls.
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/geo.h"

struct ServiceCalls {
    bool (*checkForUpdates)();
    bool (*readDbase)();
    bool (*readAirports)();
    // Whether Prepar3D of that major version is installed, and where.
    bool (*p3dInstalled)(int32_t version);
    std::filesystem::path (*p3dSetupPath)(int32_t version);
    // RealTraffic.jar under the Roaming AppData folder's InsideSystems; a file-system
    // error throws.
    bool (*realTrafficInstalled)();
    void (*scanLiveries)();
    void (*processScannedLiveries)();
    void (*scanAddonAirports)();
    void (*takeOutLiveAircraft)();
    // On the worker thread, for the window's requests (traffic/traffic_service.h,
    // parking/park_airports.h, catalogue/liveries.h).
    int32_t (*countActiveLive)();
    bool (*removeFarthestLiveAc)(double startNm);
    void (*setParkedNavLights)(bool on);
    std::vector<std::string> (*liveInSimCallsigns)();
    void (*addParkAirport)(std::string_view code, GeoPos position);
    void (*clearLiveryTables)();
    uint16_t qnhPort;
    uint16_t trafficPort;
    // Empty: the port of PORT_NUMBER.
    std::string linkPort;
    // The length of one second of the restart countdown.
    int32_t countdownSecondMs;
};

const ServiceCalls& gf_serviceCalls();
void gf_setServiceCalls(const ServiceCalls& calls);
void gf_resetServiceCalls();
