#include "update/data_file_decrypt.h"

#include <array>
#include <fstream>
#include <stdexcept>
#include <string>

#include <sodium.h>

#include "foundation/log.h"
#include "foundation/text.h"
#include "update/data_file_key.h"

namespace fs = std::filesystem;

namespace {

constexpr size_t kHeaderBytes = crypto_secretstream_xchacha20poly1305_HEADERBYTES;
constexpr size_t kPlainChunkBytes = 4096;
constexpr size_t kCipherChunkBytes = kPlainChunkBytes + crypto_secretstream_xchacha20poly1305_ABYTES;
static_assert(kHeaderBytes == 24);
static_assert(kCipherChunkBytes == 4113);

// Wipes a buffer that held the key, key material or plain text when the call ends.
template <typename T>
struct WipeOnExit {
    T& wiped;
    ~WipeOnExit() { sodium_memzero(&wiped, sizeof wiped); }
};

size_t lf_read(std::ifstream& input, unsigned char* buffer, size_t size, const fs::path& path)
{
    input.read(reinterpret_cast<char*>(buffer), static_cast<std::streamsize>(size));
    if (input.bad())
        throw std::runtime_error("Could not read input file: " + gf_pathToUtf8(path));
    return static_cast<size_t>(input.gcount());
}

// Chunks carry no length, so bytes appended after a last chunk shorter than 4113 bytes
// are read together with it. Only the last chunk may be shorter: look for the length at
// which it authenticates as FINAL. A failed pull leaves the state untouched.
bool lf_pullShortFinalChunk(crypto_secretstream_xchacha20poly1305_state& state, const unsigned char* cipher,
                            size_t n, unsigned char* plain, unsigned long long& plainLength, unsigned char& tag)
{
    for (size_t m = n - 1; m >= crypto_secretstream_xchacha20poly1305_ABYTES && m < n; --m) {
        crypto_secretstream_xchacha20poly1305_state trial = state;
        if (crypto_secretstream_xchacha20poly1305_pull(&trial, plain, &plainLength, &tag, cipher, m, nullptr, 0) == 0) {
            const bool final = tag == crypto_secretstream_xchacha20poly1305_TAG_FINAL;
            if (final)
                state = trial;
            sodium_memzero(&trial, sizeof trial);
            return final;
        }
    }
    return false;
}

void lf_streamDecryptFile(const DataFileKey& key, const fs::path& inputPath, const fs::path& outputPath)
{
    std::ifstream input(inputPath, std::ios::binary);
    if (!input)
        throw std::runtime_error("Could not open input file: " + gf_pathToUtf8(inputPath));
    std::ofstream output(outputPath, std::ios::binary | std::ios::trunc);
    if (!output)
        throw std::runtime_error("Could not open output file: " + gf_pathToUtf8(outputPath));

    std::array<unsigned char, kHeaderBytes> header{};
    std::array<unsigned char, kCipherChunkBytes> cipher{};
    std::array<unsigned char, kPlainChunkBytes> plain{};
    crypto_secretstream_xchacha20poly1305_state state{};
    const WipeOnExit<decltype(plain)> wipePlain{plain};
    const WipeOnExit<decltype(state)> wipeState{state};

    if (lf_read(input, header.data(), header.size(), inputPath) != header.size())
        throw std::runtime_error("Truncated file");
    if (crypto_secretstream_xchacha20poly1305_init_pull(&state, header.data(), key.data()) != 0)
        throw std::runtime_error("Invalid header or key");
    for (;;) {
        const size_t n = lf_read(input, cipher.data(), cipher.size(), inputPath);
        // Every file ends with a FINAL chunk; running out before it means a cut file.
        if (n == 0)
            throw std::runtime_error("Truncated file");
        unsigned long long plainLength = 0;
        unsigned char tag = 0;
        if (crypto_secretstream_xchacha20poly1305_pull(&state, plain.data(), &plainLength, &tag, cipher.data(), n,
                                                       nullptr, 0) != 0 &&
            !lf_pullShortFinalChunk(state, cipher.data(), n, plain.data(), plainLength, tag))
            throw std::runtime_error("Decryption failed");
        output.write(reinterpret_cast<const char*>(plain.data()), static_cast<std::streamsize>(plainLength));
        if (!output)
            throw std::runtime_error("Could not write output file: " + gf_pathToUtf8(outputPath));
        if (tag == crypto_secretstream_xchacha20poly1305_TAG_FINAL)
            break;
    }
    output.close();
    if (!output)
        throw std::runtime_error("Could not write output file: " + gf_pathToUtf8(outputPath));
}

} // namespace

bool gf_streamDecrypt(const fs::path& input, const fs::path& output)
{
    DataFileKey key{};
    const WipeOnExit<DataFileKey> wipeKey{key};
    try {
        if (sodium_init() < 0)
            throw std::runtime_error("libsodium could not be initialised");
        gf_copyDataFileKey(key);
        lf_streamDecryptFile(key, input, output);
        return true;
    } catch (const std::exception& e) {
        gf_logLine("{} exception: {}", "gf_streamDecrypt", e.what());
        gf_removeWithWarning(output);
        return false;
    }
}

void gf_removeWithWarning(const fs::path& path)
{
    std::error_code ec;
    if (!fs::exists(fs::symlink_status(path, ec)))
        return;
    if (!fs::remove(path, ec) && ec)
        gf_logErrorLine("Warning: could not remove {}, errorcode: {}", gf_pathToUtf8(path), ec.message());
}
