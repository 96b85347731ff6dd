#pragma once
// Whether the installer of a newer version, placed in the program's folder, must be run
// as Administrator: only when that folder lies under a Program Files folder, cannot be
// written, and the program itself does not run elevated.
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

inline constexpr std::string_view g_installerNeedsAdminText =
    "A new version is available. Run the installer as Administrator";
inline constexpr std::string_view g_installerRunsNormallyText =
    "A new version is available.\nThe installer can be executed normally (no Administrator rights required).";

// The text to show for the folder. Logs and shows nothing itself.
std::string gf_checkInstallerRights(const std::filesystem::path& folder);

// The decision itself.
std::string_view gf_installerRightsText(bool protectedFolder, bool writable, bool elevated);

// True when path is folder or lies below it: compared without regard to ASCII case, with
// '\\' and '/' alike, and only at a path-component boundary ("C:\Program Files Extra" is
// not under "C:\Program Files"). An empty folder contains nothing.
bool gf_isInsideFolder(std::wstring_view path, std::wstring_view folder);

// Whether the folder lies under one of the Program Files folders.
bool gf_folderIsProtected(const std::filesystem::path& folder);

// What the platform tells (Win32 in the _win file): the Program Files folders that could
// be read; whether ".write_test.tmp" can be created and written in the folder (the test
// file is gone afterwards); whether the process runs elevated (false when unknown).
std::vector<std::wstring> gf_protectedProgramFolders();
bool gf_folderPassesWriteTest(const std::filesystem::path& folder);
bool gf_processIsElevated();
