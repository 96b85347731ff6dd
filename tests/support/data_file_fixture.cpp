#include "support/data_file_fixture.h"

#include <cstdlib>
#include <random>
#include <stdexcept>

#include "databuild/encrypt.h"
#include "foundation/text.h"

namespace fs = std::filesystem;

namespace tavtest {

ProgramFolder::ProgramFolder() : folder_("program"), current_(folder_.path())
{
    fs::create_directories(folder_.path() / "input");
}

fs::path ProgramFolder::input(std::string_view name) const
{
    return folder_.path() / "input" / gf_pathFromUtf8(name);
}

databuild::HandTables smallHandTables()
{
    using databuild::HandType;
    databuild::HandTables t;
    t.types = {
        HandType{"A320", TypeCategory::Large, false, 35.8, "a320"},
        HandType{"A321", TypeCategory::Large, false, 35.8, "a320"},
        HandType{"B738", TypeCategory::Large, false, 35.8, "b737"},
        HandType{"B737", TypeCategory::Large, false, 34.3, "b737"},
        HandType{"B77W", TypeCategory::Heavy, false, 64.8, ""},
        HandType{"B77L", TypeCategory::Heavy, true, 64.8, ""},
        HandType{"C25A", TypeCategory::Buzjet, false, 15.5, ""},
        HandType{"C172", TypeCategory::Other, false, 11.0, ""},
        HandType{"EC35", TypeCategory::Rotorcraft, false, 10.2, ""},
        HandType{"F16", TypeCategory::HighPerformance, false, 9.96, ""},
    };
    t.fixes = {{"B737-800", "B738"}};
    t.cargoOperators = {"DEF"};
    t.publishers = {{{"FlyTampa", "Fly Tampa"}, {"EHAM", "KBOS"}}};
    t.simAddonAirports = {"KSEA"};
    return t;
}

std::vector<databuild::OpenAirline> smallAirlines()
{
    return {{"ABC", "Germany", true}, {"DEF", "United States", false}};
}

databuild::XmlFileContent smallDbase(const std::vector<databuild::Registration>& records)
{
    return databuild::dbaseContent(smallHandTables(), smallAirlines(), records);
}

void writeEncryptedInput(std::string_view name, std::string_view plain)
{
    writeFile(fs::path("input") / gf_pathFromUtf8(name), databuild::encryptDataFile(plain, databuild::productKey()));
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

fs::path toolsFolder()
{
    const char* source = std::getenv("TAV_SOURCE_DIR");
    if (!source)
        throw std::runtime_error("TAV_SOURCE_DIR is not set (ctest sets it)");
    return gf_pathFromUtf8(source) / "tools";
}

} // namespace tavtest
