#pragma once
// The child controls of the main window. Windows code only.
#include <windows.h>

#include "ui/labels.h"

// On WM_CREATE: every control of the layout, each bound to its setting or button;
// registers the control bridge through which the rest of the program changes them.
void gf_createControls(HWND parent, HINSTANCE instance);
// On WM_DESTROY: withdraws the bridge and forgets the controls' handles.
void gf_forgetControls();
// What the labels need to know of the controls.
LabelInputs gf_labelInputs();
