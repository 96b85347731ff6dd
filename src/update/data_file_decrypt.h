#pragma once
// The data files come encrypted with libsodium's secretstream (XChaCha20-Poly1305): a
// 24-byte header, then chunks of at most 4096 plain bytes plus 17 bytes of
// authentication, the last one tagged FINAL. Their readers decrypt a file into a plain
// one just before reading and remove the plain file right after.
#include <filesystem>
#include <utility>

// Decrypts input into output with the data-file key. False after any failure (already
// logged as "gf_streamDecrypt exception: ..."); the output file then no longer exists.
// A file that ends before its FINAL chunk is a failure. Throws nothing.
bool gf_streamDecrypt(const std::filesystem::path& input, const std::filesystem::path& output);

// Removes a file when it exists; a failed removal is logged as a warning and otherwise
// ignored.
void gf_removeWithWarning(const std::filesystem::path& path);

// Removes the plain file of a data file when its reader ends, whichever way it ends.
struct PlainFileRemover {
    std::filesystem::path path;
    explicit PlainFileRemover(std::filesystem::path plain) : path(std::move(plain)) {}
    PlainFileRemover(const PlainFileRemover&) = delete;
    PlainFileRemover& operator=(const PlainFileRemover&) = delete;
    ~PlainFileRemover() { gf_removeWithWarning(path); }
};
