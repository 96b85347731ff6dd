#include "support/fictional_fleet.h"

#include <algorithm>
#include <map>
#include <random>
#include <set>
#include <stdexcept>

#include <fmt/format.h>

namespace tavtest {
namespace {

using databuild::Registration;

constexpr std::string_view kPrivateOwner = "ZZZ";
constexpr uint32_t kMaxWeight = 40;
constexpr uint32_t kOtherOperatorOneIn = 25;
constexpr size_t kPrivateShareOneIn = 50;
constexpr size_t kBlocks = 26 * 26 * 26;
// The fleet table's airlines fly larger fleets, so that a small table holds their aircraft too.
constexpr uint32_t kTableFleetWeight = 10;

// mt19937's outputs are fixed by the standard, unlike the library's distributions: the
// same seed gives the same table on every platform.
class Draw {
public:
    explicit Draw(uint32_t seed) : engine_(seed) {}
    uint32_t below(size_t n) { return static_cast<uint32_t>(engine_() % n); }
    char letter() { return static_cast<char>('A' + below(26)); }

private:
    std::mt19937 engine_;
};

struct Fleet {
    std::string airline;
    std::string country;
    std::string block; // "QX-YZ"; empty for the private owners
    std::vector<std::string> types;
    size_t size = 0;
    bool real = false; // the types are the airline's own (the fleet table's), not drawn
};

// Airline -> its types, from the fleet table; a type the types table does not know is a
// slip in one of the two tables and stops the build.
std::map<std::string, std::vector<std::string>> lf_airlineFleets(const std::filesystem::path& file,
                                                                 const databuild::HandTables& tables)
{
    std::set<std::string> known;
    for (const databuild::HandType& t : tables.types)
        known.insert(t.type);
    std::map<std::string, std::vector<std::string>> fleets;
    for (const std::vector<std::string>& row : databuild::readTableRows(file, "airline,types")) {
        std::vector<std::string> types = databuild::listItems(row[1]);
        for (const std::string& type : types) {
            if (!known.contains(type))
                throw std::runtime_error(fmt::format("lf_airlineFleets: {} of {} is no known type", type, row[0]));
        }
        if (types.empty() || !fleets.emplace(row[0], std::move(types)).second)
            throw std::runtime_error(fmt::format("lf_airlineFleets: {} listed twice or without types", row[0]));
    }
    return fleets;
}

// Whether the aircraft of one fleet may be operated by another: an airline of the fleet
// table operates only types it flies, and a table airline's aircraft only such an airline.
bool lf_mayOperate(const Fleet& owner, const Fleet& other, const std::string& type)
{
    if (other.real)
        return std::find(other.types.begin(), other.types.end(), type) != other.types.end();
    return !owner.real;
}

std::vector<std::string> lf_typesOf(const databuild::HandTables& tables, std::initializer_list<TypeCategory> categories)
{
    std::vector<std::string> pool;
    for (const databuild::HandType& t : tables.types) {
        if (std::find(categories.begin(), categories.end(), t.category) != categories.end())
            pool.push_back(t.type);
    }
    if (pool.empty())
        throw std::runtime_error("lf_fictionalRegistrations: the hand tables have no type of a wanted category");
    return pool;
}

// One to three types of one category, mostly airliners.
std::vector<std::string> lf_drawTypes(const databuild::HandTables& tables, Draw& draw)
{
    static constexpr TypeCategory kByDraw[10] = {
        TypeCategory::Large, TypeCategory::Large, TypeCategory::Large, TypeCategory::Large,  TypeCategory::Large,
        TypeCategory::Large, TypeCategory::Heavy, TypeCategory::Buzjet, TypeCategory::Other, TypeCategory::Rotorcraft};
    const std::vector<std::string> pool = lf_typesOf(tables, {kByDraw[draw.below(10)]});
    std::vector<std::string> types;
    for (uint32_t i = 0, wanted = 1 + draw.below(3); i < wanted; ++i) {
        std::string type = pool[draw.below(pool.size())];
        if (std::find(types.begin(), types.end(), type) == types.end())
            types.push_back(std::move(type));
    }
    return types;
}

std::string lf_block(size_t index)
{
    return fmt::format("Q{}-{}{}", static_cast<char>('A' + index / 676), static_cast<char>('A' + index / 26 % 26),
                       static_cast<char>('A' + index % 26));
}

std::vector<Registration> lf_fictionalRegistrations(const databuild::DataInputs& in,
                                                   const std::map<std::string, std::vector<std::string>>& airlineFleets,
                                                   uint32_t seed, size_t count)
{
    Draw draw(seed);
    std::set<std::string> cargoOperators(in.tables.cargoOperators.begin(), in.tables.cargoOperators.end());
    std::vector<Fleet> fleets;
    std::set<std::string> seen;
    std::vector<size_t> blocks(kBlocks);
    for (size_t i = 0; i < kBlocks; ++i)
        blocks[i] = i;
    for (const databuild::OpenAirline& a : in.airlines) {
        // A table airline flies even where the open data mark its code inactive.
        if ((!a.active && !airlineFleets.contains(a.icao)) || a.icao == kPrivateOwner || !seen.insert(a.icao).second)
            continue;
        if (fleets.size() == kBlocks)
            break;
        std::swap(blocks[fleets.size()], blocks[fleets.size() + draw.below(kBlocks - fleets.size())]);
        const auto own = airlineFleets.find(a.icao);
        const bool real = own != airlineFleets.end();
        fleets.push_back({a.icao, a.country, lf_block(blocks[fleets.size()]),
                          real ? own->second : lf_drawTypes(in.tables, draw), 0, real});
    }
    const size_t privateSize = std::min(count / kPrivateShareOneIn, kBlocks);
    const size_t airlinesSize = count - privateSize;
    std::vector<uint32_t> weights;
    uint64_t weightSum = 0;
    for (const Fleet& f : fleets)
        weightSum += weights.emplace_back((1 + draw.below(kMaxWeight)) * (f.real ? kTableFleetWeight : 1));
    for (size_t i = 0; i < fleets.size(); ++i)
        fleets[i].size = std::min<size_t>(676, airlinesSize * weights[i] / weightSum);

    std::map<std::string, std::vector<const Fleet*>> byCountry;
    for (const Fleet& f : fleets)
        byCountry[f.country].push_back(&f);
    std::set<std::string> used;
    std::vector<Registration> out;
    const auto add = [&](const Fleet& f, const std::string& reg) {
        if (!used.insert(reg).second)
            return false;
        Registration r{reg, f.airline, f.types[draw.below(f.types.size())], {}, cargoOperators.contains(f.airline)};
        const std::vector<const Fleet*>& neighbours = byCountry[f.country];
        if (neighbours.size() > 1 && draw.below(kOtherOperatorOneIn) == 0) {
            const Fleet* other = neighbours[draw.below(neighbours.size())];
            if (other->airline != f.airline && lf_mayOperate(f, *other, r.type))
                r.opr = other->airline;
        }
        out.push_back(std::move(r));
        return true;
    };
    const auto airlineReg = [&draw](const Fleet& f) { return f.block + draw.letter() + draw.letter(); };
    for (const Fleet& f : fleets) {
        for (size_t i = 0; i < f.size; ++i) {
            while (!add(f, airlineReg(f))) {
            }
        }
    }
    // Rounding and full blocks leave some short: fleets with room take them.
    for (size_t misses = 0; out.size() < airlinesSize && !fleets.empty();) {
        const Fleet& f = fleets[draw.below(fleets.size())];
        misses = add(f, airlineReg(f)) ? 0 : misses + 1;
        if (misses > 100000)
            throw std::runtime_error("lf_fictionalRegistrations: the blocks are too full for the wanted table size");
    }
    const Fleet privateOwners{std::string(kPrivateOwner), {}, {},
                              lf_typesOf(in.tables, {TypeCategory::Other, TypeCategory::Buzjet, TypeCategory::Rotorcraft}),
                              privateSize};
    while (out.size() < count) {
        while (!add(privateOwners, fmt::format("Q-{}{}{}", draw.letter(), draw.letter(), draw.letter()))) {
        }
    }
    std::sort(out.begin(), out.end(), [](const Registration& a, const Registration& b) { return a.reg < b.reg; });
    return out;
}

std::string lf_registrationsCsv(const std::vector<Registration>& registrations)
{
    std::string csv = "registration,airline,type,operator,cargo\n";
    for (const Registration& r : registrations)
        csv += fmt::format("{},{},{},{},{}\n", r.reg, r.airl, r.type, r.opr, r.cargo ? 1 : 0);
    return csv;
}

} // namespace

FictionalData fictionalDataFiles(const std::filesystem::path& toolsFolder, size_t count, uint32_t seed)
{
    const databuild::DataInputs inputs = databuild::readDataInputs(toolsFolder);
    const auto airlineFleets = lf_airlineFleets(toolsFolder.parent_path() / "demo" / "airline_fleets.csv", inputs.tables);
    const std::vector<Registration> registrations = lf_fictionalRegistrations(inputs, airlineFleets, seed, count);
    return {databuild::makeDataFiles(inputs, registrations), lf_registrationsCsv(registrations)};
}

} // namespace tavtest
