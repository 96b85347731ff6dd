#include "databuild/encrypt.h"

#include <stdexcept>

#include <sodium.h>

namespace databuild {

DataFileKey productKey()
{
    DataFileKey key{};
    gf_copyDataFileKey(key);
    return key;
}

std::string encryptDataFile(std::string_view plain, const DataFileKey& key, bool emptyFinalChunk)
{
    if (sodium_init() < 0)
        throw std::runtime_error("encryptDataFile: sodium_init failed");
    crypto_secretstream_xchacha20poly1305_state state;
    std::string result(crypto_secretstream_xchacha20poly1305_HEADERBYTES, '\0');
    crypto_secretstream_xchacha20poly1305_init_push(&state, reinterpret_cast<unsigned char*>(result.data()),
                                                    key.data());
    const auto push = [&](std::string_view chunk, unsigned char tag) {
        std::string cipher(chunk.size() + crypto_secretstream_xchacha20poly1305_ABYTES, '\0');
        crypto_secretstream_xchacha20poly1305_push(
            &state, reinterpret_cast<unsigned char*>(cipher.data()), nullptr,
            reinterpret_cast<const unsigned char*>(chunk.data()), chunk.size(), nullptr, 0, tag);
        result += cipher;
    };
    constexpr size_t kChunk = 4096;
    size_t offset = 0;
    while (plain.size() - offset > kChunk || (plain.size() - offset == kChunk && emptyFinalChunk)) {
        push(plain.substr(offset, kChunk), crypto_secretstream_xchacha20poly1305_TAG_MESSAGE);
        offset += kChunk;
    }
    push(plain.substr(offset), crypto_secretstream_xchacha20poly1305_TAG_FINAL);
    sodium_memzero(&state, sizeof state);
    return result;
}

} // namespace databuild
