#include "foundation/file_helpers.h"

#include <system_error>

#include <windows.h>
#include <shellapi.h>

#include "foundation/folders.h"

namespace fs = std::filesystem;

namespace {

bool lf_showFolderOf(const fs::path& file, const wchar_t* failure)
{
    if (gf_openInExplorer(file))
        return true;
    MessageBoxW(nullptr, failure, L"Tavelorium", MB_ICONWARNING | MB_OK);
    return false;
}

} // namespace

bool gf_openInExplorer(const fs::path& path)
{
    std::error_code ec;
    if (!fs::exists(path, ec))
        return false;
    const fs::path folder = fs::absolute(path, ec).parent_path();
    if (ec)
        return false;
    const auto rc = reinterpret_cast<INT_PTR>(
        ShellExecuteW(nullptr, L"open", folder.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    return rc > 32;
}

bool gf_openManual()
{
    return lf_showFolderOf(gf_paths().manual, L"Could not open local folder with Manual");
}

bool gf_openParametersFolder()
{
    return lf_showFolderOf(gf_parametersPath(), L"Could not open folder with parameters.xml");
}
