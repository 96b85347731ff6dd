#include "foundation/folders.h"

#include <cstdlib>

#include "foundation/log.h"

// The native build only tests the portable core; it keeps its data under the user's
// configuration folder.
std::filesystem::path gf_appDataPath()
{
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg != nullptr && *xdg != '\0')
        return xdg;
    if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0')
        return std::filesystem::path(home) / ".config";
    gf_logErrorLine("Could not find the AppData path");
    return {};
}
