#pragma once
// What other subsystems do to the main window's controls. Every change goes through the
// control bridge, so it does nothing until the window exists and works from any thread.
#include <cstdint>

#include "foundation/settings_model.h"

void gf_enableControl(const GuiControl& control);
// Sets the setting, stores it in parameters.xml and sets the check mark.
void gf_setCheckBox(CheckBoxParameter& setting, bool value);
// Show the value (an int as decimal text; a list selects the matching entry) and repaint
// the controls band.
void gf_setIntControlText(const ListParameter& setting);
void gf_setControlText(const EditParameter& setting);
// RANGE becomes the range clamped to its limits and its entry is selected (none when the
// clamped value is not in the list); the traffic range in nautical miles and metres
// takes the range as given. Returns the metres. RANGE is not stored.
int32_t gf_selectComboInt(int32_t rangeNm);
// MAX_FIT_FL := the hours of the fit step MAX_FIT, its equal entry selected (none equal:
// the selection stays).
void gf_selectComboFloat();
// The callsign list back to one empty text, its control and the "Block" button disabled.
void gf_setCallsignList();
