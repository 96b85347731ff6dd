#pragma once
// How the rest of the program reaches the main window's child controls. Windows code only.
#include <windows.h>

#include "ui/paint_plan.h"

// Once the controls exist: registers the control bridge through which the rest of the
// program changes them.
void gf_attachControlBridge();
// On WM_DESTROY: withdraws the bridge and forgets the controls' handles.
void gf_forgetControls();
// What the labels need to know of the controls.
LabelInputs gf_labelInputs();
