#pragma once
// The steps of one run of the traffic service, shared by its files and reached by tests.
#include <chrono>
#include <cstdint>
#include <stop_token>

// Start-up work of a run; throws on fatal errors.
void lf_startUp();
void lf_prepareDataFolder();
// Fills the install path from the registry when it is empty; user errors 151 and 153.
void lf_detectSim();
void lf_setStockAirportsPath();
// The end of a production run: exit code 0, the hard stop.
void lf_requestExit();

// The main part of a run up to the end of the main loop.
void lf_serviceMain();
// Waits for a running flight and the user position; false when a stop came.
bool lf_requestUserOnGround();

// The 10 ms loop, from its time base to the first tick that ends it.
void lf_mainLoop();
bool lf_tick();
void lf_cycle();
void lf_flightNotRunning();
void lf_rereadParkAirports();
// The window's requests for the engine and the park airports: the surplus live aircraft
// removed, the parked aircraft's nav lights switched, new destinations added.
void lf_applyWindowRequests();

// What runs at cycle n besides the once-a-second duties: n divisible by 15 runs only the
// 15-group (with the rules of 30, 60, 1200 and 86400 inside it); other cycles run the
// static-parking pass (every 16th, not while an update is half done), the reader check
// (59th) and the static-twin check (61st), in that order.
struct CycleDuties {
    bool fifteenGroup = false;
    bool autoRange = false;        // 30
    bool renewalMinute = false;    // 60
    bool unmatchedFlights = false; // 1200
    bool daySummary = false;       // 86400
    bool staticParking = false;    // 16
    bool readerCheck = false;      // 59
    bool staticTwin = false;       // 61
};
CycleDuties gf_cycleDuties(int32_t n, bool staticUpdateFirstStepDone);
void lf_periodicDuties(const CycleDuties& duties);

// The close-down at the end of every run; ends with the window's restart or end request.
void lf_closingDown(const std::stop_token& stop);
// False when the user closed the program during the countdown.
bool lf_restartCountdown(const std::stop_token& stop);
void lf_resetService();

// Sleeps, woken at once by a stop; false when a stop is pending.
bool lf_sleepUnlessStopped(std::chrono::milliseconds duration);
// The same for the close-down, which only the hard stop (or the window's join) ends.
bool lf_sleepUnlessHardStop(std::chrono::milliseconds duration, const std::stop_token& stop);

// The "SimClient" thread of the current run: started (after the previous one was
// joined), and asked to stop and joined within a limit (false when it had not ended).
void gf_startSimClient();
bool gf_stopSimClient(std::chrono::milliseconds limit);
// Asks it to stop and waits for its end, however long that takes.
void gf_joinSimClient();
bool gf_simClientRunning();
// The reader threads (detached): started on a port, and the wait for their end.
void gf_startReaderThread(void (*procedure)(uint16_t), uint16_t port);
int32_t gf_readersRunning();
bool gf_waitForReadersToEnd(std::chrono::milliseconds limit);

