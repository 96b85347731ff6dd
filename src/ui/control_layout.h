#pragma once
// The controls of the main window in creation order: which setting or button each one
// shows, its kind and its place. Ids and rows come from the settings' GuiControl.
#include <cstdint>
#include <vector>

#include "foundation/settings_model.h"

enum class ControlKind : uint8_t { CheckBox, Edit, Button, List };

struct ControlSpec {
    GuiControl* control;
    ControlKind kind;
    int x;
    int width = 0;      // edits, buttons and lists
    int dropHeight = 0; // lists: the height of the dropped list
};

struct ControlPlace {
    int x, y, width, height;
};

const std::vector<ControlSpec>& gf_controlLayout();
// Check boxes 12 x 12 two pixels below their row; edits 16 high at the row; buttons 20
// high at their own row; lists 5 pixels above the row with the dropped list's height.
ControlPlace gf_controlPlace(const ControlSpec& spec);
