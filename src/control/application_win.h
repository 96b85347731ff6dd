#pragma once
#include <windows.h>

// Everything after the single-instance test and the log: command line, window class,
// data folder, main window, first start of the traffic service, message loop. Returns
// the exit code of the message loop, or 0 when the start fails.
int gf_runApplication(HINSTANCE instance);
