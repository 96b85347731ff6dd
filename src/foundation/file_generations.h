#pragma once
// Backup generations of a file before it is rewritten: a "0", "00" or "000" is inserted
// before the last dot of the path text (Log.txt -> Log0.txt, Log00.txt, Log000.txt).
#include <filesystem>

// True when every copy that was tried succeeded; false on a failure or a path without dot.
bool gf_saveUpto3GenerationsOf(const std::filesystem::path& file);
void gf_save1GenerationOf(const std::filesystem::path& file);
