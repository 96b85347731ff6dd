#pragma once
// Every folder and file name of the program in one place. Program-folder names are
// relative to the current folder, which the entry sets to the folder of the .exe; the
// data folder lies under the user's Roaming AppData folder.
#include <filesystem>
#include <string>
#include <string_view>

struct ProgramPaths {
    std::filesystem::path docs{"docs"};
    std::filesystem::path manual = docs / "Manual.pdf";
    std::filesystem::path input{"input"};
    std::filesystem::path myRegcodes = input / "my_regcodes";
    std::filesystem::path output{"output"};
    std::filesystem::path outputInfo = output / "info";
    std::filesystem::path outputErrors = output / "errors";
    std::filesystem::path airports{"airports"};
    std::filesystem::path learned = airports / "learned";
    std::filesystem::path learnedStock = learned / "stock";
    std::filesystem::path learnedSimaddon = learned / "simaddon";
    std::filesystem::path learnedThirdparty = learned / "thirdparty";
    std::filesystem::path myOrbx = airports / "my_ORBX";
    std::filesystem::path myThirdparty = airports / "my_thirdparty";
    std::filesystem::path tblo{"tblo"};
    std::filesystem::path newVersion{"new_version"};

    std::filesystem::path dbaseEnc = input / "dbase.enc";
    std::filesystem::path dbaseXml = input / "dbase.xml";
    std::filesystem::path aigRegcodesEnc = input / "AIG-regcodes.enc";
    std::filesystem::path aigRegcodesXml = input / "AIG-regcodes.xml";
    std::filesystem::path airportsEnc = input / "airports.enc";
    std::filesystem::path airportsXml = input / "airports.xml";
    std::filesystem::path airportsP3dXml = input / "airports_p3d.xml";
    std::filesystem::path liveriesScanned = output / "LiveriesScanned.xml";
    std::filesystem::path airportsScanLog = outputInfo / "AirportsScanLog.txt";
    std::filesystem::path aircraftCfgWithNoFltsimSection = outputInfo / "AircraftCfgWithNoFltsimSection.txt";
    std::filesystem::path airlineModelConversions = outputInfo / "AirlineModelConversions.txt";
    std::filesystem::path inlineRegcodes = outputErrors / "InlineRegcodes.txt";
    std::filesystem::path offlineRegcodes = outputInfo / "OfflineRegcodes.txt";
    std::filesystem::path invalidAirlineCodes = outputErrors / "InvalidAirlineCodes.txt";
    std::filesystem::path invalidAircraftCodes = outputErrors / "InvalidAircraftCodes.txt";
    std::filesystem::path fixes = outputErrors / "Fixes.txt";
    std::filesystem::path invalidAircraftCfgFiles = outputErrors / "InvalidAircraftCfgFiles.txt";
    std::filesystem::path incompleFltsimSections = outputErrors / "IncompleFltsimSections.txt";
    std::filesystem::path myParkAirports = airports / "my_park_airports.txt";
    std::filesystem::path tbloZip{"tblo.zip"};
    std::filesystem::path installNewVersionName{"install_new_version.exe"};
    std::filesystem::path releaseNotesName{"ReleaseNotes.pdf"};
    std::filesystem::path readmeName{"README.txt"};
    std::filesystem::path versionsJson{"versions.json"};

};

inline constexpr std::string_view g_dataFolderName = "Tavelorium_P3D";
inline constexpr std::string_view g_parametersFileName = "parameters.xml";
// The AI flight plans of a run, in the data folder.
inline constexpr std::string_view g_flightPlanFolderName = "orig_dest";
// RealTraffic's installation folder under Roaming AppData, and the file that marks it.
inline constexpr std::string_view g_realTrafficFolderName = "InsideSystems";
inline constexpr std::string_view g_realTrafficJarName = "RealTraffic.jar";

const ProgramPaths& gf_paths();

// The user's Roaming AppData folder; empty, and "Could not find the AppData path" logged,
// when the shell cannot tell.
std::filesystem::path gf_appDataPath();
// "Tavelorium_P3D" under Roaming AppData (relative to the current folder when empty).
std::filesystem::path gf_dataFolder();
std::filesystem::path gf_parametersPath();
std::string gf_parametersPathText();
// Points the data folder elsewhere; for tests, which must not touch the user's settings.
void gf_overrideDataFolder(const std::filesystem::path& folder);
