#include "foundation/installer_rights.h"

namespace fs = std::filesystem;

namespace {

bool lf_isSeparator(wchar_t c)
{
    return c == L'\\' || c == L'/';
}

wchar_t lf_foldAscii(wchar_t c)
{
    return (c >= L'a' && c <= L'z') ? static_cast<wchar_t>(c - L'a' + L'A') : c;
}

} // namespace

bool gf_isInsideFolder(std::wstring_view path, std::wstring_view folder)
{
    while (!folder.empty() && lf_isSeparator(folder.back()))
        folder.remove_suffix(1);
    if (folder.empty() || path.size() < folder.size())
        return false;
    for (size_t i = 0; i < folder.size(); ++i) {
        const wchar_t a = path[i];
        const wchar_t b = folder[i];
        if (lf_isSeparator(a) && lf_isSeparator(b))
            continue;
        if (lf_foldAscii(a) != lf_foldAscii(b))
            return false;
    }
    return path.size() == folder.size() || lf_isSeparator(path[folder.size()]);
}

std::string_view gf_installerRightsText(bool protectedFolder, bool writable, bool elevated)
{
    if (protectedFolder && !writable && !elevated)
        return g_installerNeedsAdminText;
    return g_installerRunsNormallyText;
}

bool gf_folderIsProtected(const fs::path& folder)
{
    const std::vector<std::wstring> programFolders = gf_protectedProgramFolders();
    if (programFolders.empty())
        return false;
    std::error_code ec;
    fs::path absolute = fs::absolute(folder, ec);
    if (ec)
        absolute = folder;
    const std::wstring text = absolute.wstring();
    for (const std::wstring& programFolder : programFolders) {
        if (gf_isInsideFolder(text, programFolder))
            return true;
    }
    return false;
}

std::string gf_checkInstallerRights(const fs::path& folder)
{
    // The write test and the elevation only matter for a protected folder.
    if (!gf_folderIsProtected(folder))
        return std::string(g_installerRunsNormallyText);
    const bool writable = gf_folderPassesWriteTest(folder);
    const bool elevated = !writable && gf_processIsElevated();
    return std::string(gf_installerRightsText(true, writable, elevated));
}
