#pragma once
// The BGL builder: writes BGL scenery files, in exactly the layout the add-on airport scan
// reads, from a plain description (bgl_builder.md), with faults on purpose where asked.
// Test code: the scanner's tests, its fuzz test and the benchmark use it.
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace bglbuild {

uint32_t packIdent(std::string_view ident);

// The bytes of a description's first file (a description of one file needs no "file").
// Throws std::runtime_error naming the line of a description that cannot be read.
std::string renderDescription(std::string_view text);
// Writes every file and link of the description below root, making the folders on the way.
void writeTree(const std::filesystem::path& root, std::string_view description);

} // namespace bglbuild
