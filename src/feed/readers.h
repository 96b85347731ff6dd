#pragma once
// What the worker thread does with both readers: the liveness check and the reset.
#include <atomic>
#include <cstdint>

// The readers' indicators (1 receiving, 2 no data, 3 stopped) and the QNH shown: fields of
// the window state, which paints them; each change is followed by a repaint request.
extern std::atomic<int32_t>& g_trafficIndicator;
extern std::atomic<int32_t>& g_qnhIndicator;
extern std::atomic<int32_t>& g_qnhShown;

// The liveness check has shown "receiving" since the last silence.
extern std::atomic<bool> g_trafficReceivingShown;
extern std::atomic<bool> g_qnhReceivingShown;

// While RealTraffic is ready (the window's rtLinkUp): a reader that received nothing since
// the last check shows "silent"; the first check that finds data again shows "receiving".
void gf_checkReadersAlive();

// Puts both readers back to their starting state for a new run: the last timestamp 0, no
// callsigns seen, stop flags cleared, the QNH 1013 and the QNH reader's counters 0.
void gf_resetReaders();

// Raises both readers' stop flags (the close-down); each ends within one receive wait.
void gf_stopReaders();
