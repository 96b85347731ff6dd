#pragma once
// One run of the traffic service on the worker thread.
#include <atomic>
#include <stop_token>

// The current run was started by a restart.
extern std::atomic<bool> g_restartPending;

// The worker thread's procedure: start-up, main part and main loop under one exception
// guard, then the close-down, which ends by asking the window for a new run or for the
// end of the program. Never throws.
void lf_serviceThread(std::stop_token stop);
