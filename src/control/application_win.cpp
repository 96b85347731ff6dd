#include "control/application_win.h"

#include <shellapi.h>

#include <chrono>
#include <exception>
#include <filesystem>
#include <string>
#include <vector>

#include "control/application.h"
#include "control/command_line.h"
#include "control/service_control.h"
#include "foundation/atomic_file.h"
#include "foundation/folders.h"
#include "foundation/log.h"
#include "foundation/scan_tasks.h"
#include "foundation/text.h"
#include "ui/main_window_win.h"

namespace {

constexpr UINT g_titleResource = 101;
// As long as one scanned file may take.
constexpr std::chrono::seconds kScanTasksExitLimit{10};

ProductionSwitches lf_readCommandLine()
{
    int count = 0;
    LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    if (arguments == nullptr)
        return {};
    std::vector<std::string> texts;
    for (int i = 1; i < count; ++i) {
        try {
            texts.push_back(wide_to_utf8(arguments[i]));
        } catch (const std::exception&) {
            // Not a switch of ours: those are plain ASCII.
        }
    }
    LocalFree(arguments);
    return gf_readProductionSwitches(texts);
}

bool lf_createDataFolder()
{
    const std::filesystem::path folder = gf_dataFolder();
    try {
        if (!std::filesystem::exists(folder))
            std::filesystem::create_directories(folder);
    } catch (const std::filesystem::filesystem_error& e) {
        gf_logLine("Failed to create directory: {}", e.what());
        return false;
    }
    return true;
}

// Lets a worker's SendMessage to the window through while the window's thread waits.
void lf_handleSentMessages()
{
    MSG msg;
    PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
}

int lf_messageLoop()
{
    MSG msg;
    // Only 0 (WM_QUIT) ends the loop; the error return -1 is taken as a message.
    while (GetMessageW(&msg, nullptr, 0, 0) != 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return static_cast<int>(msg.wParam);
}

} // namespace

int gf_runApplication(HINSTANCE instance)
{
    const ProductionSwitches switches = lf_readCommandLine();
    wchar_t title[100] = {};
    if (LoadStringW(instance, g_titleResource, title, 100) <= 0) {
        gf_logLine("Failed to load application title");
        return 0;
    }
    if (!gf_registerMainWindowClass(instance, title)) {
        gf_logLine("Failed to register window class");
        return 0;
    }
    if (!lf_createDataFolder())
        return 0;
    gf_removeStaleTempFiles();
    if (!gf_initInstance(instance, title)) {
        gf_logErrorLine("initInstance failed");
        return 0;
    }
    if (switches.given && switches.production)
        g_productionMode = true;
    gf_postStartServiceRequest();
    const int code = lf_messageLoop();
    gf_stopServiceAtExit(lf_handleSentMessages);
    // A file task that a stopped scan left behind uses globals: none may run while they are
    // destroyed. One that never ends (a dead network share) must not keep the program.
    if (!gf_waitForScanTasksAtExit(kScanTasksExitLimit)) {
        gf_logErrorLine("{} scan task{} still running at exit", g_scanTasksAlive.load(),
                        gf_plural(g_scanTasksAlive.load()));
        gf_flushLog();
        ExitProcess(static_cast<UINT>(code));
    }
    return code;
}
