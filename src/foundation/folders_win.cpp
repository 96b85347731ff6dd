#include "foundation/folders.h"

#include <windows.h>
#include <shlobj.h>
#include <knownfolders.h>

std::filesystem::path gf_appDataPath()
{
    PWSTR raw = nullptr;
    std::filesystem::path result;
    if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_RoamingAppData, 0, nullptr, &raw)) && raw != nullptr)
        result = std::filesystem::path(raw);
    CoTaskMemFree(raw);
    return result;
}
