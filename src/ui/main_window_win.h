#pragma once
// The main window: one fixed-size top-level window whose class and title are the
// program's name. Windows code only.
#include <windows.h>

#include <atomic>
#include <string>

#include "ui/paint_plan.h"

inline constexpr UINT g_msgStartService = WM_APP + 1;
inline constexpr UINT g_msgEndApplication = WM_APP + 2;

// Set when the window is created, cleared when it is destroyed; other threads only
// invalidate it and post to it.
extern std::atomic<HWND> g_mainWindow;
// The window the window procedure was last called for: the parent in which controls are
// looked up by their id.
extern std::atomic<HWND> g_currentWindow;

// Class style, icon 100, arrow cursor, black background; the class name is the title.
bool gf_registerMainWindowClass(HINSTANCE instance, const std::wstring& className);
// Creates the window at its remembered position (the default one when that lies on no
// monitor), shows and updates it; false when that fails.
bool gf_initInstance(HINSTANCE instance, const std::wstring& title);

// Writes a UTF-8 text in a colour with the background mode the paint set, clipped to its
// field; a text that cannot be converted is logged (unless a stop is pending) and not
// written.
void gf_textOut(HDC dc, const std::string& text, int x, int y, Colour colour, const ScreenRect& field);

// The font of the window's texts and controls: the system's dialog font, small enough that
// every label fits its field at the fixed layout.
HFONT gf_windowFont();
