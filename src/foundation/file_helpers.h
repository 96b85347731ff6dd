#pragma once
// Helpers for the program's files and folders: line-list writers, emptying folders,
// listing the user's park files, and showing the manual's or the settings' folder.
#include <filesystem>
#include <list>
#include <string>
#include <string_view>
#include <vector>

// Makes the texts, each followed by LF, the whole content of the file (saved through a
// temporary file, so a failed write leaves the old file); false when it cannot be written.
bool gf_writeLinesToFile(const std::vector<std::string>& lines, const std::filesystem::path& path);
bool gf_writeLinesToFile(const std::list<std::string>& lines, const std::filesystem::path& path);

// Removes every entry of the folder in directory order (an empty sub-folder too; a
// non-empty one fails). The first failure ends the removal and is logged; the rest stays.
void gf_removeFilesFromDirectory(const std::filesystem::path& folder);
// The same for the entries with the extension ".XML" (any case) of the folder "tblo".
void gf_removeXMLFilesFromDirectory();

// Appends the names without extension of the *.xml files in airports\my_thirdparty, in
// directory order; nothing when the folder does not exist. File-system errors throw
// std::filesystem::filesystem_error.
std::vector<std::string>& gf_listXmlFiles(std::vector<std::string>& files);

// Opens the folder that holds the path in File Explorer; false when nothing exists at the
// path or the shell fails (always natively, which has no shell).
bool gf_openInExplorer(const std::filesystem::path& path);
// A warning box without owner window, captioned "Tavelorium", that waits for its OK
// (natively: an error line).
void gf_showWarningBox(std::string_view text);

// What the shell does behind the two calls above (the _win and _posix files).
bool gf_shellOpenInExplorer(const std::filesystem::path& path);
void gf_shellWarningBox(std::string_view text);

// Test seams, not reachable by users: stand-ins for File Explorer and the warning box;
// nullptr gives the shell's own back.
using OpenInExplorerSeam = bool (*)(const std::filesystem::path& path);
using WarningBoxSeam = void (*)(std::string_view text);
void gf_setShellSeamsForTests(OpenInExplorerSeam explorer, WarningBoxSeam box);

// Show docs\Manual.pdf's folder or the data folder in File Explorer; when the file is
// missing or the shell fails, a warning box says so and the result is false.
bool gf_openManual();
bool gf_openParametersFolder();
