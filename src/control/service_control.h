#pragma once
// The window thread's side of the traffic service: runs of the worker thread start on the
// window's start request, and the program ends on its end request. All of these run on
// the window's thread.

// Posts the start request (WM_APP+1) to the window and marks it as the program's own:
// the program's entry and the close-down's restart post it only this way. False when no
// window took it.
bool gf_postStartServiceRequest();
// Start request (WM_APP+1), only one that gf_postStartServiceRequest posted (any other is
// ignored, the first one logged): a new run on a new worker thread, then the previous worker
// (which posted this request as its last step) joined. While the hard stop is set the
// program ends instead: the user closed it while a restart was on its way.
void gf_onStartServiceRequest();
// The window's close button: asks for the close-down "USER CLOSED SIM". When no worker
// is running any more (a close-down that failed) the end is requested here.
void gf_onUserClose();
// End request (WM_APP+2): true the first time, when the window is to store its position
// and quit; later duplicates give false.
bool gf_onEndApplicationRequest();
// After the message loop: stops and joins a worker that may still run. The worker may be
// waiting for the window's thread to handle a control change: whileWaiting (on the
// window's thread) lets it through until the worker has returned.
using WaitFunction = void (*)();
void gf_stopServiceAtExit(WaitFunction whileWaiting = nullptr);
// Runs of the traffic service started and not yet returned.
int gf_activeServiceRuns();
// Back to the state of a new process (for tests that run several programs in one).
void gf_resetServiceControl(WaitFunction whileWaiting = nullptr);
