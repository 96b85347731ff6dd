#pragma once
// Saving so that a crash or power cut cannot leave a file broken: the new content goes
// to a temporary file beside the target, is flushed to disk, and then replaces the
// target in one step. Until the replace the old file stays as it was.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <system_error>

// A temporary name of this save alone in the target's folder, "<name>.<pid>-<n>.tavtmp":
// two saves of one file, in this process or another, never share one.
std::filesystem::path gf_tempPathBeside(const std::filesystem::path& target);

// Removes the temporary files that saves of other (earlier) processes left in a folder,
// as a crash between the write and the replace does; ours stay. Failures are ignored.
void gf_removeStaleTempFiles(const std::filesystem::path& folder);
// The same for the data folder and every folder of the program that it saves into.
void gf_removeStaleTempFiles();

uint32_t gf_processId();

// Replaces target by source in one step (MoveFileExW with replace and write-through on
// Windows, rename natively); source is gone afterwards.
bool gf_replaceFile(const std::filesystem::path& source, const std::filesystem::path& target,
                    std::error_code& ec);

// Copies a file over an existing one (CopyFileW on Windows: libstdc++'s copy_file with
// overwrite_existing fails there whenever the target exists).
bool gf_copyFile(const std::filesystem::path& source, const std::filesystem::path& target,
                 std::error_code& ec);

// Flushes a file's data to the disk (FlushFileBuffers / fsync) before it replaces another.
bool gf_syncFile(const std::filesystem::path& file);

// Writes the bytes through a temporary file; false (with the reason in *error) when any
// step failed, the target then unchanged.
bool gf_writeFileAtomically(const std::filesystem::path& target, std::string_view bytes,
                            std::string* error = nullptr);

// Moves an already written temporary file into place: sync, then replace; removes the
// temporary file on failure.
bool gf_commitTempFile(const std::filesystem::path& temp, const std::filesystem::path& target,
                       std::string* error = nullptr);

// Test seam: called after the temporary file is complete and before the replace; a hook
// that returns false stands for a crash at that moment (nothing is replaced).
void gf_setBeforeReplaceHook(std::function<bool(const std::filesystem::path& temp)> hook);
