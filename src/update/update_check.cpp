#include "update/update_check.h"

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

#include <curl/curl.h>
#include <fmt/format.h>
#include <nlohmann/json.hpp>

#include "foundation/atomic_file.h"
#include "foundation/download.h"
#include "foundation/folders.h"
#include "foundation/log.h"
#include "foundation/settings_catalogue.h"
#include "foundation/text.h"
#include "foundation/version.h"
#include "ui/control_ops.h"
#include "update/data_file_decrypt.h"
#include "update/download_site.h"
#include "update/new_version.h"

namespace fs = std::filesystem;
using nlohmann::json;

namespace {

constexpr std::chrono::seconds kVersionsTimeLimit{60};

void lf_logUpdated(std::string_view key, const VersionData& version)
{
    gf_logLine("{} updated to {}", key, gf_versionText(version));
}

void lf_logUpToDate(std::string_view key)
{
    gf_logLine("{} version up-to-date", key);
}

void lf_logVersionNotFound(std::string_view key)
{
    gf_logErrorLine("{} version not found", key);
}

// A key's entry: absent, present but not a version (logged; the key is skipped), or read.
struct SiteVersion {
    enum class Found { Missing, Malformed, Present } found = Found::Missing;
    VersionData version;
};

std::optional<int32_t> lf_versionNumber(const json& entry, const char* member)
{
    const auto it = entry.find(member);
    if (it == entry.end() || !it->is_number_integer())
        return std::nullopt;
    const bool fits = it->is_number_unsigned() ? it->get<uint64_t>() <= uint64_t{INT32_MAX}
                                                : it->get<int64_t>() >= 0 && it->get<int64_t>() <= INT32_MAX;
    if (!fits)
        return std::nullopt;
    return static_cast<int32_t>(it->get<int64_t>());
}

SiteVersion lf_siteVersion(const json& doc, const char* key)
{
    SiteVersion site;
    const auto it = doc.is_object() ? doc.find(key) : doc.end();
    if (!doc.is_object() || it == doc.end())
        return site;
    site.found = SiteVersion::Found::Malformed;
    int32_t* parts[] = {&site.version.major, &site.version.minor, &site.version.patch};
    const char* members[] = {"major", "minor", "patch"};
    for (size_t i = 0; i < 3; ++i) {
        const std::optional<int32_t> number = it->is_object() ? lf_versionNumber(*it, members[i]) : std::nullopt;
        if (!number) {
            gf_logErrorLine("{} version in {} is not valid: no whole number \"{}\"", key,
                            gf_pathToUtf8(gf_paths().versionsJson), members[i]);
            return site;
        }
        *parts[i] = *number;
    }
    site.found = SiteVersion::Found::Present;
    return site;
}

// The site's entry when it can be compared; a missing one is logged.
std::optional<VersionData> lf_comparable(const json& doc, const char* key)
{
    const SiteVersion site = lf_siteVersion(doc, key);
    if (site.found == SiteVersion::Found::Missing)
        lf_logVersionNotFound(key);
    if (site.found != SiteVersion::Found::Present)
        return std::nullopt;
    return site.version;
}

bool lf_exists(const fs::path& file)
{
    std::error_code ec;
    return fs::exists(file, ec);
}

// A body that does not decrypt to its FINAL chunk (an error page, a cut file) must never
// replace a data file that works.
std::string lf_refuseUndecryptable(const fs::path& body)
{
    const fs::path plain = gf_tempPathBeside(body);
    if (!gf_streamDecrypt(body, plain))
        return "not a complete data file";
    gf_removeWithWarning(plain);
    return {};
}

// versions.json fetched, read and removed; empty (logged) when there is nothing to compare.
std::optional<json> lf_readVersionsJson()
{
    const fs::path& file = gf_paths().versionsJson;
    {
        const std::unique_ptr<CURL, decltype(&curl_easy_cleanup)> handle(curl_easy_init(), &curl_easy_cleanup);
        if (!gf_downloadFile(handle.get(), gf_versionsJsonUrl(), file, false, kVersionsTimeLimit)) {
            gf_logErrorLine("Downloading version info from my web site failed!");
            return std::nullopt;
        }
    }
    std::string text;
    {
        std::ifstream in(file, std::ios::binary);
        if (!in) {
            gf_logErrorLine("Cannot open versions.json");
            return std::nullopt;
        }
        text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    std::optional<json> doc;
    try {
        doc = json::parse(text);
    } catch (const json::exception& e) {
        gf_logErrorLine("{} exception: {}", "gf_checkForUpdates", e.what());
    }
    std::error_code ec;
    if (!fs::remove(file, ec) && ec)
        gf_logErrorLine("Warning: could not remove {}: {}", gf_pathToUtf8(file), ec.message());
    return doc;
}

// True when a newer program was placed and the close-down requested.
bool lf_checkProgram(const json& doc)
{
    const std::optional<VersionData> site = lf_comparable(doc, "p3d");
    if (!site)
        return false;
    gf_logLine("{} program version at web = {}", "p3d", gf_versionText(*site));
    if (!gf_isNewerVersion(*site, g_ownVersion)) {
        lf_logUpToDate("p3d");
        return false;
    }
    return gf_fetchNewVersion(*site);
}

// The stored version changes only with a data file that decrypts.
void lf_checkDataFile(const json& doc, const char* key, StringParameter& setting, std::string_view siteName,
                      const fs::path& local)
{
    const std::optional<VersionData> site = lf_comparable(doc, key);
    if (!site)
        return;
    if (!gf_isNewerVersion(*site, VersionData(gf_parameterValue(setting))) && lf_exists(local)) {
        lf_logUpToDate(key);
        return;
    }
    if (!gf_downloadFromSite(siteName, local, g_largestFileTimeLimit, &lf_refuseUndecryptable))
        return;
    gf_setParameterValue(setting, gf_versionText(*site));
    lf_logUpdated(key, *site);
}

// A newer catalogue on the site, or none on disk (marker), asks for a rescan at this start-up.
void lf_checkRescan(const json& doc, const char* key, StringParameter& setting, CheckBoxParameter& scan,
                    const fs::path* marker)
{
    const std::optional<VersionData> site = lf_comparable(doc, key);
    if (!site)
        return;
    if (!gf_isNewerVersion(*site, VersionData(gf_parameterValue(setting))) &&
        (marker == nullptr || lf_exists(*marker))) {
        lf_logUpToDate(key);
        return;
    }
    gf_setCheckBox(scan, true);
    gf_setParameterValue(setting, gf_versionText(*site));
    lf_logUpdated(key, *site);
}

} // namespace

bool gf_checkForUpdates()
{
    const std::optional<json> doc = lf_readVersionsJson();
    if (!doc)
        return true;
    if (lf_checkProgram(*doc))
        return false;
    const ProgramPaths& paths = gf_paths();
    lf_checkDataFile(*doc, "airports", AIRPORTS_VERSION, g_siteAirportsName, paths.airportsEnc);
    lf_checkDataFile(*doc, "aig", AIG_VERSION, g_siteAigRegcodesName, paths.aigRegcodesEnc);
    lf_checkRescan(*doc, "liveries", LIV_SCAN_VERSION, SCAN_LIVERIES, &paths.liveriesScanned);
    lf_checkRescan(*doc, "addons", ADDONS_SCAN_VERSION, SCAN_AIRPORTS, nullptr);
    lf_checkDataFile(*doc, "dbase", DBASE_VERSION, g_siteDbaseName, paths.dbaseEnc);
    return true;
}
