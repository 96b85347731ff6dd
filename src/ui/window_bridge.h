#pragma once
// How code outside the main window changes the window's controls (check marks, texts,
// enabled state, drop-down lists). The window registers its implementation once its
// controls exist; until then, and in tests without a window, every call does nothing.
//
// The window applies a change on the user-interface thread and the caller waits for it
// (SendMessage). A caller must therefore hold no lock that the user-interface thread may
// wait for, above all not the parameters.xml lock.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct GuiControl;

class ControlBridge {
public:
    virtual ~ControlBridge() = default;
    // BM_SETCHECK with 1 or 0.
    virtual void setCheckMark(const GuiControl& control, bool checked) = 0;
    // The control's text (UTF-8); in a drop-down list this selects the matching entry.
    virtual void setControlText(const GuiControl& control, std::string_view text) = 0;
    virtual void enableControl(const GuiControl& control, bool enabled) = 0;
    // Empties a drop-down list and adds the texts in order (CB_RESETCONTENT, CB_ADDSTRING).
    virtual void fillCombo(const GuiControl& control, const std::vector<std::string>& texts) = 0;
    // Selects the entry at the index (CB_SETCURSEL).
    virtual void selectComboIndex(const GuiControl& control, int32_t index) = 0;
    // Selects the first entry that begins with the text, searching the whole list
    // (CB_SELECTSTRING with start index -1).
    virtual void selectComboText(const GuiControl& control, std::string_view text) = 0;
};

// The bridge must outlive every call: register a static object, nullptr withdraws it.
void gf_setControlBridge(ControlBridge* bridge);

// Labels beside the controls take their colours from the settings behind the check
// boxes and from enabled states: a new check mark or enabled state repaints the controls
// band, so a setting changed before its mark is shown with it (also where the program
// changes it itself, not only the user).
void gf_controlSetCheckMark(const GuiControl& control, bool checked);
void gf_controlSetText(const GuiControl& control, std::string_view text);
void gf_controlEnable(const GuiControl& control, bool enabled);
void gf_controlFillCombo(const GuiControl& control, const std::vector<std::string>& texts);
void gf_controlSelectComboIndex(const GuiControl& control, int32_t index);
void gf_controlSelectComboText(const GuiControl& control, std::string_view text);
