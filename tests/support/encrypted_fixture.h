#pragma once
// Encrypted data files for tests, made with the push side of the cipher the program
// decrypts: a header, then chunks of 4096 plain bytes, FINAL on the last.
#include <cstddef>
#include <string>
#include <string_view>

#include "update/data_file_key.h"

namespace tavtest {

DataFileKey productDataFileKey();
DataFileKey otherDataFileKey();

// With emptyFinalChunk a plain length that is a multiple of 4096 ends with an extra empty
// FINAL chunk instead of a FINAL tag on the last full one. An empty text always gives one
// empty FINAL chunk.
std::string encryptDataFile(std::string_view plain, const DataFileKey& key, bool emptyFinalChunk = false);

// Offsets in such a file: the header is 24 bytes, every chunk but the last 4113.
inline constexpr size_t kEncryptedHeaderBytes = 24;
inline constexpr size_t kEncryptedChunkBytes = 4113;

// Reproducible bytes of every value.
std::string patternBytes(size_t size, unsigned seed = 1);

} // namespace tavtest
