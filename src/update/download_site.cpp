#include "update/download_site.h"

#include <fmt/format.h>

#include "foundation/download.h"

std::string gf_versionsJsonUrl()
{
    return gf_downloadSiteBase() + "versions.json";
}

std::string gf_dataFileUrl(std::string_view name)
{
    return gf_siteFileUrl(name);
}

std::string gf_installerArchiveName(const VersionData& version)
{
    return fmt::format("setup_{}_d_v{}.zip", g_programName, gf_versionText(version));
}

std::string gf_installerArchiveUrl(const VersionData& version)
{
    return gf_downloadSiteBase() + "release/" + gf_installerArchiveName(version);
}

std::string gf_releaseNotesUrl()
{
    return gf_downloadSiteBase() + "docs/" + std::string(g_siteReleaseNotesName);
}

std::string gf_parkFileUrl(std::string_view source)
{
    return gf_downloadSiteBase() + "P3D/" + std::string(source);
}
