#include "foundation/folders.h"

#include "foundation/known_folders_win.h"

std::filesystem::path gf_appDataPath()
{
    return gf_knownFolderPath(FOLDERID_RoamingAppData);
}
