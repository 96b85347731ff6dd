#pragma once
// What a line of the window holds now (message, error), read under the window's lock.
#include <mutex>
#include <string>

#include "ui/window_state.h"

namespace uitest {

inline std::string shown(std::string WindowState::*line)
{
    std::lock_guard lock(gf_windowState().uiMutex);
    return gf_windowState().*line;
}

} // namespace uitest
