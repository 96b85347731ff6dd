#pragma once
// The one key of the data files (dbase.enc, airports.enc, AIG-regcodes.enc), built into
// the program. Whoever copies it wipes the copy after use (sodium_memzero).
#include <array>
#include <cstddef>

#include <sodium.h>

using DataFileKey = std::array<unsigned char, crypto_secretstream_xchacha20poly1305_KEYBYTES>;

void gf_copyDataFileKey(DataFileKey& key);
