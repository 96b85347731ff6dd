#pragma once
// The commands of the main window's controls as its thread runs them, reached by the
// window's message handling (commands_win.cpp) and by tests. Each stores its setting at
// once and shows what it did; work on the traffic waits for the worker's next cycle (a
// request flag) or for a restart of the service ("NEW SETTINGS").
#include <cstdint>
#include <string>
#include <string_view>

// A push button, by its control id: false when no button has the id, and when "tblo"
// could not show its archive.
bool lf_onButton(uint16_t id);
// A check box, by its control id: flips it; false when no check box has the id, and
// after NAV_LIGHTS_WHILE_PARKED (its repaint is the unhandled command's).
bool lf_onCheckBox(uint16_t id);
// A drop-down list's new selection; false when no list has the id.
bool lf_onListSelection(uint16_t id, int32_t index, std::string_view text);

// Enter in the edits, with the edit's text.
void lf_onInstallPathEntered(std::string_view text);
void lf_onBlockCallsignEntered(std::string_view text);
void lf_onDestinationEntered(std::string_view text);

void lf_blockCallsign(std::string callsign);
void lf_unblockCallsign();
