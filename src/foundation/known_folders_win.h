#pragma once
// Windows only: the shell's known folders (Roaming AppData, Documents, Program Files).
#include <windows.h>
#include <knownfolders.h>
#include <shlobj.h>

#include <filesystem>

// The folder's path; empty when the shell cannot tell.
std::filesystem::path gf_knownFolderPath(REFKNOWNFOLDERID id);
