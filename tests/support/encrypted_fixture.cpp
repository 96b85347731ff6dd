#include "support/encrypted_fixture.h"

#include <random>

namespace tavtest {

DataFileKey productDataFileKey()
{
    return databuild::productKey();
}

DataFileKey otherDataFileKey()
{
    DataFileKey key = productDataFileKey();
    key[7] ^= 0x5a;
    return key;
}

std::string patternBytes(size_t size, unsigned seed)
{
    std::mt19937 engine(seed);
    std::string bytes(size, '\0');
    for (char& c : bytes)
        c = static_cast<char>(engine() & 0xff);
    return bytes;
}

} // namespace tavtest
