#pragma once
// The message line and the error line of the main window, usable from every thread.
#include <string_view>

// Shows a text on the message line (an empty text clears it), logged when asked and no
// stop is pending. Refused while an error is shown.
void gf_showMessage(std::string_view text, bool log);
void gf_clearMessage();
// Replaces the message line by the error line; logs "Error {}" unless a stop is pending.
void gf_showError(std::string_view text);
// Empties the error line, so that messages show again.
void gf_clearError();
// Called by every cycle after the cycle counter advanced: clears a message 25 cycles old.
void gf_expireMessage();
