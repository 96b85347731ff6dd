#pragma once
// How the window reads the selection of a drop-down list.
#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <utility>

// The selected index and its text (UTF-8), only when the notification is CBN_SELCHANGE of
// the control with that id and an entry is selected.
std::optional<std::pair<int32_t, std::string>> gf_comboSelectionText(HWND window, uint16_t controlId,
                                                                   WPARAM notification);
