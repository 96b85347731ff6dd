#include "foundation/known_folders_win.h"

std::filesystem::path gf_knownFolderPath(REFKNOWNFOLDERID id)
{
    PWSTR raw = nullptr;
    std::filesystem::path result;
    if (SUCCEEDED(SHGetKnownFolderPath(id, 0, nullptr, &raw)) && raw != nullptr)
        result = std::filesystem::path(raw);
    CoTaskMemFree(raw);
    return result;
}
