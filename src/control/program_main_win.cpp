// The process entry of Tavelorium_P3D.
#include <windows.h>

#include <exception>
#include <filesystem>
#include <string>

#include "control/application_win.h"
#include "control/service_control.h"
#include "foundation/log.h"
#include "foundation/text.h"

namespace {

// Log.txt and the program's folders are relative names: a start through a shortcut
// with another working folder must not touch another folder's files.
std::filesystem::path lf_enterProgramFolder()
{
    wchar_t buffer[MAX_PATH * 4];
    const DWORD n = GetModuleFileNameW(nullptr, buffer, static_cast<DWORD>(std::size(buffer)));
    if (n == 0 || n >= std::size(buffer))
        return std::filesystem::current_path();
    const std::filesystem::path folder = std::filesystem::path(buffer).parent_path();
    SetCurrentDirectoryW(folder.c_str());
    return folder;
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int)
{
    // One instance per logon; the handle stays open until the process ends.
    CreateMutexW(nullptr, FALSE, L"Local\\$Tavelorium_P3D$");
    if (GetLastError() == ERROR_ALREADY_EXISTS)
        return -1;
    const std::filesystem::path folder = lf_enterProgramFolder();
    try {
        gf_openLog();
    } catch (const std::exception& e) {
        std::wstring reason;
        try {
            reason = utf8_to_wide(e.what());
        } catch (const std::exception&) {
            reason = L"unknown reason";
        }
        const std::wstring text = L"Tavelorium_P3D cannot write its log Log.txt in " + folder.wstring() + L" (" +
                                  reason + L").\nPlease unpack the program into a folder you can write to.";
        MessageBoxW(nullptr, text.c_str(), L"Tavelorium_P3D", MB_ICONERROR);
        return 1;
    }
    int code = 0;
    try {
        code = gf_runApplication(instance);
    } catch (const std::exception& e) {
        gf_logErrorLine("{} exception {}", "wWinMain", e.what());
        gf_stopServiceAtExit();
    }
    gf_flushLog();
    gf_closeLog();
    return code;
}
