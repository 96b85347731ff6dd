#include "foundation/folders.h"

#include <optional>

#include "foundation/known_folders_win.h"
#include "foundation/log.h"

namespace {

std::optional<std::filesystem::path> lf_roamingAppDataFolder()
{
    std::filesystem::path folder = gf_knownFolderPath(FOLDERID_RoamingAppData);
    if (folder.empty())
        return std::nullopt;
    return folder;
}

} // namespace

std::filesystem::path gf_appDataPath()
{
    if (std::optional<std::filesystem::path> folder = lf_roamingAppDataFolder())
        return *folder;
    gf_logErrorLine("Could not find the AppData path");
    return {};
}
