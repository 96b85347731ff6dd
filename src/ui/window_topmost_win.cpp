#include "ui/main_window_win.h"
#include "ui/window_services.h"

void gf_setWindowTopmost(bool topmost)
{
    // Asynchronous: the worker must not wait for the window's thread.
    if (const HWND window = g_mainWindow.load())
        SetWindowPos(window, topmost ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_ASYNCWINDOWPOS);
}
