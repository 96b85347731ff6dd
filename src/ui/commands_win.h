#pragma once
// How the main window turns WM_COMMAND and Enter in its edits into commands. Windows
// code only.
#include <windows.h>

#include <cstdint>
#include <string>

#include "foundation/settings_model.h"

// True when a command was handled (the window procedure returns 0); otherwise the
// controls band is repainted and the message goes to DefWindowProcW. An exception of a
// handler is logged and counts as not handled.
bool lf_HandleWMCOMMAND(HWND window, WPARAM wParam);
// Enter in one of the three edits: its command with the edit's text.
void lf_onEditEnter(const EditParameter& edit);
// The text (UTF-8) of the control with that id in g_currentWindow; empty when there is no
// such control or its text cannot be converted (both logged).
std::string lf_getTextFromId(uint32_t id);
