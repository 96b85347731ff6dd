#include "foundation/settings_migration.h"

#include <array>
#include <exception>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/folders.h"
#include "foundation/log.h"
#include "foundation/parameters_file.h"
#include "foundation/settings_catalogue.h"
#include "foundation/text.h"
#include "foundation/version.h"
#include "ui/window_bridge.h"

namespace fs = std::filesystem;

namespace {

constexpr VersionData kOldestMigratable{11, 0, 2};

constexpr std::array<std::string_view, 14> kObsoleteSettings{
    "CALLSIGN_OBJECTIDS",   "PARK_FAKE",      "SUPPRESS_STUB",           "LOG",
    "LEARN_SOFT",           "PROGRAM_INSTALL_PATH", "LATERAL_RANGE",   "CUSTOM_MAX_PARK",
    "MAX_LIVE",             "AIRPORT_RANGE",  "AUTO_RANGE_ABOVE_HEIGHT", "AIRPORT_HEIGHT",
    "MSFS_2020",            "AI_PACKAGE_ORDER",
};

bool lf_tooOld(const VersionData& v)
{
    return gf_isNewerVersion(kOldestMigratable, v);
}

size_t lf_codePoints(std::string_view utf8)
{
    size_t n = 0;
    for (const char c : utf8) {
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80)
            ++n;
    }
    return n;
}

// Throws std::filesystem::filesystem_error on the first failure.
void lf_removeObsoleteFiles()
{
    const fs::path learnOffline{"TO_BE_LEARNED_OFFLINE"};
    if (fs::exists(learnOffline))
        fs::remove_all(learnOffline);
    const fs::path versionsJson{"versions.json"};
    if (fs::exists(versionsJson))
        fs::remove(versionsJson);

    // Park-position files of old versions lay in the program's folder, named by the
    // airport's four-letter code.
    const fs::path current = fs::current_path();
    gf_logLine(gf_pathToUtf8(current));
    std::vector<fs::path> airportFiles;
    for (const fs::directory_entry& entry : fs::directory_iterator(current)) {
        if (entry.is_regular_file() && gf_pathToUtf8(entry.path().extension()) == ".xml" &&
            lf_codePoints(gf_pathToUtf8(entry.path().stem())) == 4)
            airportFiles.push_back(entry.path());
    }
    for (const fs::path& file : airportFiles)
        fs::remove(file);

    if (fs::exists(gf_paths().airportsP3dXml))
        fs::remove(gf_paths().airportsP3dXml);
    if (fs::exists(gf_paths().newVersion))
        fs::remove_all(gf_paths().newVersion);
}

// Removes the first element of that name from parameters.xml; throws when the changed
// file cannot be saved, so that the migration is tried again at the next start.
void lf_removeParameter(std::string_view name)
{
    if (!gf_removeParameterElement(name))
        throw std::runtime_error("saving " + gf_parametersPathText() + " failed");
}

// True when the stored version is too old to migrate: the caller resets the file.
bool lf_migrateParameters()
{
    const std::string own = gf_versionText(g_ownVersion);
    const std::string stored = PROGRAM_VERSION.value();
    if (stored == PROGRAM_VERSION.defaultValue) {
        gf_setParameterValue(PROGRAM_VERSION, own);
        return false;
    }
    const auto parsed = VersionData::parse(stored);
    // Reading it as 0.0.0 would throw every setting away, and taking it as the running
    // version would keep what older versions left behind for ever: it is migrated as the
    // oldest version that can be.
    const VersionData version = parsed.value_or(kOldestMigratable);
    if (version == g_ownVersion)
        return false;
    if (!gf_isNewerVersion(g_ownVersion, version)) {
        gf_setParameterValue(PROGRAM_VERSION, own);
        return false;
    }
    if (parsed) {
        gf_logLine("This is a version update from {} -> {}", gf_versionText(version), own);
    } else {
        gf_logLine("The stored program version '{}' cannot be read: migrated as from {}", stored,
                   gf_versionText(kOldestMigratable));
    }
    if (lf_tooOld(version)) {
        PROGRAM_VERSION.setValue(own); // the defaults written next record it
        return true;
    }
    // The new version is recorded only after everything obsolete is gone, so that a
    // failure here is tried again at the next start.
    try {
        for (const std::string_view key : kObsoleteSettings)
            lf_removeParameter(key);
        lf_removeObsoleteFiles();
    } catch (const std::exception& e) {
        gf_logErrorLine("{} exception: {}", "lf_migrateParameters", e.what());
        return false;
    }
    gf_setParameterValue(PROGRAM_VERSION, own);
    return false;
}

} // namespace

void gf_loadParameters()
{
    if (gf_readParameters()) {
        for (CheckBoxParameter* p : {&SCAN_LIVERIES, &SCAN_AIRPORTS}) {
            p->value = true;
            gf_storeBoolParameter(*p);
            gf_controlSetCheckMark(*p, true);
        }
        return;
    }
    if (lf_migrateParameters()) {
        gf_logLine("\nYour previous version was too old to convert the old text box parameters to the newdropbox "
                   "values.");
        gf_logLine("{} re-starts with default parameter values ...\n", g_programName);
        gf_replaceParametersByDefaults();
    }
}
