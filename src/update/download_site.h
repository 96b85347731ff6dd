#pragma once
// Where each file lies on the maker's download site. All addresses start with the site's
// base address, whose path ends in "downloads/".
#include <string>
#include <string_view>

#include "foundation/version.h"

// The encrypted data files, kept in the site's folder of our major version.
inline constexpr std::string_view g_siteDbaseName = "dbase.enc";
inline constexpr std::string_view g_siteAirportsName = "airports.enc";
inline constexpr std::string_view g_siteAigRegcodesName = "AIG-regcodes.enc";
inline constexpr std::string_view g_siteReleaseNotesName = "ReleaseNotes.pdf";

// "<base>versions.json"
std::string gf_versionsJsonUrl();
// "<base>11/<name>", one of the data files above.
std::string gf_dataFileUrl(std::string_view name);
// "setup_Tavelorium_P3D_d_v11.10.4.zip" for version 11.10.4.
std::string gf_installerArchiveName(const VersionData& version);
// "<base>release/<archive name>"
std::string gf_installerArchiveUrl(const VersionData& version);
// "<base>docs/ReleaseNotes.pdf"
std::string gf_releaseNotesUrl();
// "<base>P3D/<source>", where the source is a park-file path such as "archive/stock/EDDF.xml".
std::string gf_parkFileUrl(std::string_view source);
