#include "databuild/registrations.h"

#include <algorithm>
#include <map>
#include <random>
#include <set>
#include <stdexcept>

#include <fmt/format.h>

namespace databuild {
namespace {

constexpr std::string_view kPrivateOwner = "ZZZ";
constexpr uint32_t kDrawsPerPattern = 200;
constexpr uint32_t kMaxFillerWeight = 40;
constexpr uint32_t kOtherOperatorOneIn = 25;

// mt19937's outputs are fixed by the standard, unlike the library's distributions: the
// same seed gives the same table on every platform.
class Draw {
public:
    explicit Draw(uint32_t seed) : engine_(seed) {}
    uint32_t below(size_t n) { return static_cast<uint32_t>(engine_() % n); }

private:
    std::mt19937 engine_;
};

bool lf_isWildcard(char c)
{
    return c == '@' || c == '#' || c == '%';
}

bool lf_matches(char formChar, char c)
{
    switch (formChar) {
    case '@': return c >= 'A' && c <= 'Z';
    case '#': return c >= '0' && c <= '9';
    case '%': return c >= '1' && c <= '9';
    default: return formChar == c;
    }
}

char lf_drawChar(char formChar, Draw& draw)
{
    switch (formChar) {
    case '@': return static_cast<char>('A' + draw.below(26));
    case '#': return static_cast<char>('0' + draw.below(10));
    case '%': return static_cast<char>('1' + draw.below(9));
    default: return formChar;
    }
}

std::string lf_drawFrom(std::string_view pattern, Draw& draw)
{
    std::string reg(pattern);
    for (char& c : reg)
        c = lf_drawChar(c, draw);
    return reg;
}

struct FleetPlan {
    std::string airline;
    std::string country;
    std::string pattern;     // the fleet's own block followed by the rest of its form
    std::string countryForm; // when the block is full
    std::vector<std::string> types;
    size_t size = 0;
};

class Generator {
public:
    Generator(const HandTables& tables, uint32_t seed) : tables_(tables), draw_(seed)
    {
        cargoOperators_.insert(tables.cargoOperators.begin(), tables.cargoOperators.end());
    }

    Draw& draw() { return draw_; }
    size_t size() const { return registrations_.size(); }

    const std::vector<std::string>* formsOf(const std::string& country) const
    {
        const auto it = tables_.registrationForms.find(country);
        return it == tables_.registrationForms.end() || it->second.empty() ? nullptr : &it->second;
    }

    // A fleet's pattern: its block on the first form it fits, else the first form with
    // its first free character drawn, so that an airline's registrations look alike.
    FleetPlan plan(std::string airline, std::string country, std::string_view block, std::vector<std::string> types,
                   size_t size)
    {
        const std::vector<std::string>* forms = formsOf(country);
        if (!forms)
            throw std::runtime_error(fmt::format("fleet {}: no registration form for country '{}'", airline, country));
        FleetPlan plan{std::move(airline), std::move(country), {}, forms->front(), std::move(types), size};
        if (!block.empty()) {
            for (const std::string& form : *forms) {
                if (block.size() <= form.size() &&
                    std::equal(block.begin(), block.end(), form.begin(), [](char b, char f) { return lf_matches(f, b); })) {
                    plan.pattern = std::string(block) + form.substr(block.size());
                    plan.countryForm = form;
                    return plan;
                }
            }
            throw std::runtime_error(fmt::format("fleet {}: block '{}' fits no registration form of {}", plan.airline,
                                                 block, plan.country));
        }
        plan.pattern = plan.countryForm;
        const auto first = std::find_if(plan.pattern.begin(), plan.pattern.end(), lf_isWildcard);
        if (first != plan.pattern.end())
            *first = lf_drawChar(*first, draw_);
        return plan;
    }

    void noteOperator(const FleetPlan& plan)
    {
        if (plan.airline != kPrivateOwner)
            airlinesByCountry_[plan.country].insert(plan.airline);
    }

    // One more aircraft of the fleet; false when no free registration was drawn.
    bool add(const FleetPlan& plan)
    {
        std::string reg;
        for (uint32_t i = 0; i < 2 * kDrawsPerPattern && reg.empty(); ++i) {
            std::string candidate = lf_drawFrom(i < kDrawsPerPattern ? plan.pattern : plan.countryForm, draw_);
            if (!used_.contains(candidate))
                reg = std::move(candidate);
        }
        if (reg.empty())
            return false;
        used_.insert(reg);
        Registration r{reg, plan.airline, plan.types[draw_.below(plan.types.size())], {},
                       cargoOperators_.contains(plan.airline)};
        if (plan.airline != kPrivateOwner && draw_.below(kOtherOperatorOneIn) == 0)
            r.opr = otherOperator(plan);
        registrations_.push_back(std::move(r));
        return true;
    }

    std::vector<Registration> take()
    {
        std::sort(registrations_.begin(), registrations_.end(),
                  [](const Registration& a, const Registration& b) { return a.reg < b.reg; });
        return std::move(registrations_);
    }

private:
    std::string otherOperator(const FleetPlan& plan)
    {
        const std::set<std::string>& airlines = airlinesByCountry_[plan.country];
        std::vector<std::string> others;
        std::copy_if(airlines.begin(), airlines.end(), std::back_inserter(others),
                     [&plan](const std::string& a) { return a != plan.airline; });
        return others.empty() ? std::string() : others[draw_.below(others.size())];
    }

    const HandTables& tables_;
    Draw draw_;
    std::set<std::string> cargoOperators_;
    std::set<std::string> used_;
    std::map<std::string, std::set<std::string>> airlinesByCountry_;
    std::vector<Registration> registrations_;
};

// A fleet of one size category: mostly airliners.
std::vector<std::string> lf_drawFillerTypes(const HandTables& tables, Draw& draw)
{
    static constexpr TypeCategory kByDraw[10] = {
        TypeCategory::Large,  TypeCategory::Large, TypeCategory::Large, TypeCategory::Large,
        TypeCategory::Large,  TypeCategory::Large, TypeCategory::Heavy, TypeCategory::Buzjet,
        TypeCategory::Other,  TypeCategory::Rotorcraft};
    const TypeCategory category = kByDraw[draw.below(10)];
    std::vector<std::string> pool;
    for (const HandType& t : tables.types) {
        if (t.category == category)
            pool.push_back(t.type);
    }
    if (pool.empty())
        throw std::runtime_error(fmt::format("no type of category {} for the drawn fleets", categoryName(category)));
    std::vector<std::string> types;
    const uint32_t wanted = 1 + draw.below(3);
    for (uint32_t i = 0; i < wanted; ++i) {
        std::string type = pool[draw.below(pool.size())];
        if (std::find(types.begin(), types.end(), type) == types.end())
            types.push_back(std::move(type));
    }
    return types;
}

} // namespace

std::vector<Registration> generateRegistrations(const HandTables& tables, const std::vector<OpenAirline>& airlines,
                                                uint32_t seed, size_t count)
{
    Generator generator(tables, seed);
    std::map<std::string, std::string> countryOf;
    for (const OpenAirline& a : airlines) {
        if (a.active || !countryOf.contains(a.icao))
            countryOf.emplace(a.icao, a.country);
    }
    std::vector<FleetPlan> plans;
    std::set<std::string> handAirlines;
    size_t handTotal = 0;
    for (const Fleet& fleet : tables.fleets) {
        const std::string country = !fleet.country.empty() ? fleet.country : countryOf[fleet.airline];
        plans.push_back(generator.plan(fleet.airline, country, fleet.block, fleet.types, static_cast<size_t>(fleet.size)));
        handAirlines.insert(fleet.airline);
        handTotal += static_cast<size_t>(fleet.size);
    }
    std::vector<FleetPlan> fillers;
    std::set<std::string> seen;
    for (const OpenAirline& a : airlines) {
        if (a.active && !handAirlines.contains(a.icao) && a.icao != kPrivateOwner && seen.insert(a.icao).second &&
            generator.formsOf(countryOf[a.icao]))
            fillers.push_back(generator.plan(a.icao, countryOf[a.icao], {}, lf_drawFillerTypes(tables, generator.draw()), 0));
    }
    const size_t remaining = count > handTotal ? count - handTotal : 0;
    std::vector<uint32_t> weights;
    uint64_t weightSum = 0;
    for (size_t i = 0; i < fillers.size(); ++i)
        weightSum += weights.emplace_back(1 + generator.draw().below(kMaxFillerWeight));
    for (size_t i = 0; i < fillers.size(); ++i)
        fillers[i].size = static_cast<size_t>(remaining * weights[i] / weightSum);
    for (const FleetPlan& plan : plans)
        generator.noteOperator(plan);
    for (const FleetPlan& plan : fillers)
        generator.noteOperator(plan);
    for (const auto* list : {&plans, &fillers}) {
        for (const FleetPlan& plan : *list) {
            for (size_t i = 0; i < plan.size; ++i)
                generator.add(plan);
        }
    }
    // Rounding and full forms leave a few short: any drawn fleet takes them.
    for (size_t misses = 0; generator.size() < count && !fillers.empty();) {
        if (!generator.add(fillers[generator.draw().below(fillers.size())]) && ++misses > 100000)
            throw std::runtime_error("the registration forms are too full for the wanted table size");
    }
    return generator.take();
}

std::string registrationsCsv(const std::vector<Registration>& registrations)
{
    std::string csv = "registration,airline,type,operator,cargo\n";
    for (const Registration& r : registrations)
        csv += fmt::format("{},{},{},{},{}\n", r.reg, r.airl, r.type, r.opr, r.cargo ? 1 : 0);
    return csv;
}

} // namespace databuild
