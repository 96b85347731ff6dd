// The process entry of Tavelorium_P3D.
#include <windows.h>

#include <exception>
#include <filesystem>

#include "foundation/log.h"

namespace {

// Log.txt and the program's folders are relative names: a start through a shortcut
// with another working folder must not touch another folder's files.
void lf_enterProgramFolder()
{
    wchar_t buffer[MAX_PATH * 4];
    const DWORD n = GetModuleFileNameW(nullptr, buffer, static_cast<DWORD>(std::size(buffer)));
    if (n == 0 || n >= std::size(buffer))
        return;
    const std::filesystem::path folder = std::filesystem::path(buffer).parent_path();
    SetCurrentDirectoryW(folder.c_str());
}

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    lf_enterProgramFolder();
    try {
        gf_openLog();
    } catch (const std::exception&) {
        return 1;
    }
    gf_flushLog();
    gf_closeLog();
    return 0;
}
