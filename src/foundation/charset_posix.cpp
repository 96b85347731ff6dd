#include "foundation/text_files.h"

// Natively the active code page is taken to be Windows-1252.
std::string gf_ansiToUtf8(std::string_view text)
{
    return gf_cp1252ToUtf8(text);
}

std::string gf_pathToAnsi(const std::filesystem::path& path)
{
    return path.string();
}
