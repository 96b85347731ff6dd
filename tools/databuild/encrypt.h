#pragma once
// The push side of the data files' cipher: libsodium's secretstream (XChaCha20-Poly1305),
// a 24-byte header, then chunks of 4096 plain bytes plus 17, FINAL on the last.
#include <string>
#include <string_view>

#include "update/data_file_key.h"

namespace databuild {

// The program's own key.
DataFileKey productKey();

// With emptyFinalChunk a plain length that is a multiple of 4096 ends with an extra empty
// FINAL chunk instead of a FINAL tag on the last full one. An empty text always gives one
// empty FINAL chunk.
std::string encryptDataFile(std::string_view plain, const DataFileKey& key, bool emptyFinalChunk = false);

} // namespace databuild
