#pragma once
// The folder identity's Windows side that the Windows tests reach directly.
#include <filesystem>
#include <string>

// The folder's path with links and junctions resolved, as GetFinalPathNameByHandleW gives
// it ("\\?\C:\..."); empty when it cannot be opened.
std::string gf_resolvedFolderPath(const std::filesystem::path& folder);
