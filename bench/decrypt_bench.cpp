// Throughput of the data-file decryption against a bare libsodium pull loop (plain stdio)
// over the same encrypted file.
//   decrypt_bench [megabytes=50] [rounds=5]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include <sodium.h>

#include "update/data_file_decrypt.h"
#include "update/data_file_key.h"

#ifndef _WIN32
#include <sys/resource.h>
#endif

namespace fs = std::filesystem;

namespace {

constexpr size_t kPlain = 4096;
constexpr size_t kCipher = kPlain + crypto_secretstream_xchacha20poly1305_ABYTES;

FILE* lf_open(const fs::path& path, bool write)
{
#ifdef _WIN32
    return _wfopen(path.c_str(), write ? L"wb" : L"rb");
#else
    return std::fopen(path.c_str(), write ? "wb" : "rb");
#endif
}

// Writes an encrypted file of the given plain size chunk by chunk (memory stays small).
void lf_makeEncryptedFile(const fs::path& path, size_t plainBytes, const DataFileKey& key)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    crypto_secretstream_xchacha20poly1305_state state;
    unsigned char header[crypto_secretstream_xchacha20poly1305_HEADERBYTES];
    crypto_secretstream_xchacha20poly1305_init_push(&state, header, key.data());
    out.write(reinterpret_cast<const char*>(header), sizeof header);
    std::mt19937 engine(7);
    std::vector<unsigned char> plain(kPlain), cipher(kCipher);
    size_t left = plainBytes;
    do {
        const size_t n = std::min(left, kPlain);
        for (size_t i = 0; i < n; ++i)
            plain[i] = static_cast<unsigned char>("<airport icao=\"EDDF\"/>\n"[engine() % 24]);
        left -= n;
        const unsigned char tag =
            left == 0 ? crypto_secretstream_xchacha20poly1305_TAG_FINAL : crypto_secretstream_xchacha20poly1305_TAG_MESSAGE;
        unsigned long long clen = 0;
        crypto_secretstream_xchacha20poly1305_push(&state, cipher.data(), &clen, plain.data(), n, nullptr, 0, tag);
        out.write(reinterpret_cast<const char*>(cipher.data()), static_cast<std::streamsize>(clen));
    } while (left > 0);
    if (!out.flush())
        throw std::runtime_error("cannot write the encrypted file");
}

bool lf_bareDecrypt(const fs::path& input, const fs::path& output, const DataFileKey& key)
{
    FILE* in = lf_open(input, false);
    FILE* out = lf_open(output, true);
    bool ok = in != nullptr && out != nullptr;
    crypto_secretstream_xchacha20poly1305_state state;
    unsigned char header[crypto_secretstream_xchacha20poly1305_HEADERBYTES];
    unsigned char cipher[kCipher];
    unsigned char plain[kPlain];
    ok = ok && std::fread(header, 1, sizeof header, in) == sizeof header &&
         crypto_secretstream_xchacha20poly1305_init_pull(&state, header, key.data()) == 0;
    while (ok) {
        const size_t n = std::fread(cipher, 1, sizeof cipher, in);
        unsigned long long plainLength = 0;
        unsigned char tag = 0;
        ok = n > 0 && crypto_secretstream_xchacha20poly1305_pull(&state, plain, &plainLength, &tag, cipher, n,
                                                                 nullptr, 0) == 0;
        ok = ok && std::fwrite(plain, 1, plainLength, out) == plainLength;
        if (tag == crypto_secretstream_xchacha20poly1305_TAG_FINAL)
            break;
    }
    if (in != nullptr)
        std::fclose(in);
    if (out != nullptr)
        ok = std::fclose(out) == 0 && ok;
    return ok;
}

long lf_peakRssKb()
{
#ifdef _WIN32
    return -1;
#else
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
#endif
}

// One timed run into a fresh output file (the removal of the previous one is not timed:
// truncating a freshly written file costs the kernel more than creating one).
template <typename F>
double lf_seconds(const fs::path& output, F run)
{
    std::error_code ec;
    fs::remove(output, ec);
    const auto start = std::chrono::steady_clock::now();
    if (!run())
        throw std::runtime_error("a decryption failed");
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    return took.count();
}

} // namespace

int main(int argc, char** argv)
{
    const size_t megabytes = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 50;
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 5;
    if (sodium_init() < 0)
        return 1;
    const fs::path folder = fs::temp_directory_path() / "tav_decrypt_bench";
    fs::create_directories(folder);
    const fs::path encrypted = folder / "dbase.enc";
    const fs::path plainOurs = folder / "ours.xml";
    const fs::path plainBare = folder / "bare.xml";
    DataFileKey key{};
    gf_copyDataFileKey(key);
    lf_makeEncryptedFile(encrypted, megabytes * 1000 * 1000, key);
    const long rssBefore = lf_peakRssKb();

    // Alternate so that neither side gets a warmer cache; keep the best of each.
    double ours = 1e9;
    double bare = 1e9;
    for (int i = 0; i < rounds; ++i) {
        bare = std::min(bare, lf_seconds(plainBare, [&] { return lf_bareDecrypt(encrypted, plainBare, key); }));
        ours = std::min(ours, lf_seconds(plainOurs, [&] { return gf_streamDecrypt(encrypted, plainOurs); }));
    }
    const long rssAfter = lf_peakRssKb();
    sodium_memzero(key.data(), key.size());

    const double mb = static_cast<double>(fs::file_size(encrypted)) / 1e6;
    std::printf("file: %.1f MB encrypted, best of %d rounds\n", mb, rounds);
    std::printf("bare libsodium pull loop: %.3f s  %.0f MB/s\n", bare, mb / bare);
    std::printf("gf_streamDecrypt:         %.3f s  %.0f MB/s\n", ours, mb / ours);
    std::printf("ratio ours/bare: %.3f\n", ours / bare);
    if (rssBefore >= 0)
        std::printf("peak RSS: %ld KB before decrypting, %ld KB after\n", rssBefore, rssAfter);
    std::error_code ec;
    fs::remove_all(folder, ec);
    return 0;
}
