#include "ui/messages.h"

#include <algorithm>

#include "foundation/log.h"
#include "foundation/stop_state.h"
#include "ui/window_state.h"

void gf_showMessage(std::string_view text, bool log)
{
    WindowState& ws = gf_windowState();
    {
        std::lock_guard lock(ws.uiMutex);
        if (!ws.errorText.empty())
            return;
        ws.messageText = std::string(text);
        ws.messageCycle = text.empty() ? 0 : std::max(ws.cycleCounter.load(), 1);
        if (log && !text.empty() && !gf_stopPending())
            gf_logLine(text);
    }
    // Only WM_PAINT paints; other threads invalidate.
    gf_invalidateBand(g_messageBand);
}

void gf_clearMessage()
{
    gf_showMessage("", true);
}

void gf_showError(std::string_view text)
{
    WindowState& ws = gf_windowState();
    {
        std::lock_guard lock(ws.uiMutex);
        ws.messageText.clear();
        ws.messageCycle = 0;
        ws.errorText = std::string(text);
        if (!gf_stopPending())
            gf_logLine("Error {}", text);
    }
    gf_invalidateBand(g_messageBand);
}

void gf_clearError()
{
    WindowState& ws = gf_windowState();
    {
        std::lock_guard lock(ws.uiMutex);
        ws.errorText.clear();
    }
    gf_invalidateBand(g_messageBand);
}

void gf_expireMessage()
{
    WindowState& ws = gf_windowState();
    {
        // Decided and cleared in one step: a message set in between stays for its cycles.
        std::lock_guard lock(ws.uiMutex);
        if (ws.messageCycle < 1 || ws.cycleCounter.load() - ws.messageCycle < 25)
            return;
        ws.messageText.clear();
        ws.messageCycle = 0;
    }
    gf_invalidateBand(g_messageBand);
}
