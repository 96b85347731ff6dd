#include "foundation/installer_rights.h"

#include "foundation/known_folders_win.h"

std::vector<std::wstring> gf_protectedProgramFolders()
{
    std::vector<std::wstring> folders;
    for (const KNOWNFOLDERID* id : {&FOLDERID_ProgramFiles, &FOLDERID_ProgramFilesX86}) {
        std::wstring folder = gf_knownFolderPath(*id).wstring();
        if (!folder.empty())
            folders.push_back(std::move(folder));
    }
    return folders;
}

bool gf_folderPassesWriteTest(const std::filesystem::path& folder)
{
    const std::filesystem::path testFile = folder / L".write_test.tmp";
    // Deleted by the system when the handle closes, whatever happens in between.
    HANDLE h = CreateFileW(testFile.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    const char zero = 0;
    DWORD written = 0;
    const BOOL ok = WriteFile(h, &zero, 1, &written, nullptr);
    CloseHandle(h);
    return ok && written == 1;
}

bool gf_processIsElevated()
{
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return false;
    TOKEN_ELEVATION elevation{};
    DWORD size = 0;
    const BOOL ok = GetTokenInformation(token, TokenElevation, &elevation, sizeof elevation, &size);
    CloseHandle(token);
    return ok && elevation.TokenIsElevated != 0;
}
