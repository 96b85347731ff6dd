#pragma once
// The painted labels beside the controls, coloured by the settings they describe.
#include <vector>

#include "ui/paint_plan.h"

// What only the window knows: whether these check boxes are enabled.
struct LabelInputs {
    bool lightAircraftEnabled = true;
    bool helicoptersEnabled = true;
    bool highPerfEnabled = true;
};

// The text of the label that asks the user to mail tblo.zip, shown once it is written.
inline constexpr const char* g_tbloMailRequest = "Please mail tblo\\tblo.zip to support@tavelorium.org";

// Reads the settings and the window state.
std::vector<PaintOp> gf_planLabels(const LabelInputs& inputs);
