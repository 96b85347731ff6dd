#pragma once
// Encrypted data files for tests, made with the data-file builder's push side of the
// cipher the program decrypts: a header, then chunks of 4096 plain bytes, FINAL on the last.
#include <cstddef>
#include <string>

#include "databuild/encrypt.h"

namespace tavtest {

DataFileKey productDataFileKey();
DataFileKey otherDataFileKey();

using databuild::encryptDataFile;

// Offsets in such a file: the header is 24 bytes, every chunk but the last 4113.
inline constexpr size_t kEncryptedHeaderBytes = 24;
inline constexpr size_t kEncryptedChunkBytes = 4113;

// Reproducible bytes of every value.
std::string patternBytes(size_t size, unsigned seed = 1);

} // namespace tavtest
