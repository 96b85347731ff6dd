#include "ui/window_bridge.h"

#include <atomic>

#include "ui/window_state.h"

namespace {
std::atomic<ControlBridge*> g_controlBridge{nullptr};
} // namespace

void gf_setControlBridge(ControlBridge* bridge)
{
    g_controlBridge = bridge;
}

void gf_controlSetCheckMark(const GuiControl& control, bool checked)
{
    if (ControlBridge* b = g_controlBridge.load())
        b->setCheckMark(control, checked);
    gf_invalidateBand(g_controlsBand);
}

void gf_controlSetText(const GuiControl& control, std::string_view text)
{
    if (ControlBridge* b = g_controlBridge.load())
        b->setControlText(control, text);
}

void gf_controlEnable(const GuiControl& control, bool enabled)
{
    if (ControlBridge* b = g_controlBridge.load())
        b->enableControl(control, enabled);
    gf_invalidateBand(g_controlsBand);
}

void gf_controlFillCombo(const GuiControl& control, const std::vector<std::string>& texts)
{
    if (ControlBridge* b = g_controlBridge.load())
        b->fillCombo(control, texts);
}

void gf_controlSelectComboIndex(const GuiControl& control, int32_t index)
{
    if (ControlBridge* b = g_controlBridge.load())
        b->selectComboIndex(control, index);
}

void gf_controlSelectComboText(const GuiControl& control, std::string_view text)
{
    if (ControlBridge* b = g_controlBridge.load())
        b->selectComboText(control, text);
}
