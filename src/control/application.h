#pragma once
// Process-wide values of the application and the one way other threads reach the main
// window's thread: a posted request, never a call into the window.
#include <atomic>
#include <cstdint>

// Production mode: the traffic service does its start-up work and then ends the program.
extern std::atomic<bool> g_productionMode;
// The code the program ends with after the window's end request.
extern std::atomic<int32_t> g_exitCode;

enum class WindowRequest {
    StartService,   // start a new run of the traffic service, join the previous one
    EndApplication, // store the window position and quit
};

// The window registers how it posts a request to itself (nullptr when it goes).
using WindowRequestFunction = bool (*)(WindowRequest request);
void gf_setWindowRequestFunction(WindowRequestFunction function);
// False when no window is registered or the post failed.
bool gf_postWindowRequest(WindowRequest request);
