#include "parking/stand_learning.h"

#include <optional>
#include <string>

#include "foundation/log.h"
#include "parking/half_hours.h"
#include "ui/window_state.h"

int32_t g_standUpdates = 0;

namespace {

std::string_view lf_withoutUnderscore(std::string_view text)
{
    if (text.ends_with('_'))
        text.remove_suffix(1);
    return text;
}

StandFlight* lf_flightNumbered(std::vector<StandFlight>& flights, uint32_t number)
{
    if (number == 0)
        return nullptr;
    for (StandFlight& f : flights) {
        if (f.number == number)
            return &f;
    }
    return nullptr;
}

uint32_t lf_gapLimit(const LearningAircraft& aircraft)
{
    if (aircraft.cargo)
        return 12;
    return aircraft.category == TypeCategory::Heavy ? 8 : 6;
}

} // namespace

void gf_setStandUpdates(int32_t count)
{
    g_standUpdates = count;
    WindowState& ws = gf_windowState();
    if (ws.parkFileUpdates.exchange(count) != count)
        gf_invalidateBand(g_statusPanelBand);
}

StandOptionResult gf_addStandOption(std::vector<StandFlight>& flights, const LearningAircraft& aircraft,
                                    int64_t timeOfWeek, std::string_view callsign, std::string_view registration,
                                    bool coupled)
{
    if (registration.empty())
        return {};
    const uint32_t day = gf_weekdayOf(timeOfWeek);
    HalfHours hours;
    gf_setSlot(hours, gf_slotOf(timeOfWeek));
    for (const StandFlight& f : flights) {
        if (f.reg == registration && f.day == day && f.hours == hours)
            return {};
    }
    StandFlight flight;
    if (const std::optional<DbaseRecord> record = gf_lookupDbase(registration)) {
        flight.airl = record->opr.empty() ? record->airl : record->opr;
        flight.type = record->type;
    } else {
        flight.airl = aircraft.airl;
        flight.type = aircraft.type;
    }
    flight.reg = registration;
    flight.cs1 = lf_withoutUnderscore(callsign);
    flight.hours = hours;
    flight.number = static_cast<uint32_t>(flights.size() + 1);
    flight.day = day;
    flight.origin = 0;
    flight.real = 1;
    flight.cpl = coupled;
    flights.push_back(std::move(flight));
    gf_setStandUpdates(g_standUpdates + 1);
    return {flights.back().number, true};
}

bool lf_learnStandOccupancy(int64_t now, std::vector<StandFlight>& flights, uint32_t number, StandLearning& learning,
                            const LearningAircraft& aircraft, std::string_view registration, bool coupled)
{
    if (number == 0 || now == learning.lastTimeOfWeek)
        return true;
    const int64_t nowDay = gf_weekdayOf(now);
    const int64_t lastDay = gf_weekdayOf(learning.lastTimeOfWeek);
    int64_t gap = (nowDay - lastDay) * g_slotsPerDay + gf_slotOf(now) - gf_slotOf(learning.lastTimeOfWeek);
    if (gap < 0)
        gap += 7 * g_slotsPerDay;
    if (gap < 1 || gap >= lf_gapLimit(aircraft))
        return false;
    const std::vector<uint32_t> slots = gf_recentSlots(now, static_cast<uint32_t>(gap));
    if (nowDay == lastDay) {
        if (updateOptions(flights, slots, number))
            gf_findStandOption(flights, number, aircraft.callsign);
        learning.lastTimeOfWeek = now;
        return true;
    }
    const StandOptionResult added = gf_addStandOption(flights, aircraft, now, aircraft.callsign, registration, coupled);
    if (!added.added)
        return false;
    updateOptionsWrapped(flights, slots, number, added.number);
    gf_findStandOption(flights, number, aircraft.callsign);
    gf_findStandOption(flights, added.number, aircraft.callsign);
    learning.number = added.number;
    learning.lastTimeOfWeek = now;
    return true;
}

void gf_findStandOption(std::vector<StandFlight>& flights, uint32_t number, std::string_view callsign)
{
    callsign = lf_withoutUnderscore(callsign);
    if (callsign.empty())
        return;
    StandFlight* f = lf_flightNumbered(flights, number);
    if (f == nullptr)
        return;
    if (f->cs1.empty())
        f->cs1 = callsign;
    else if (callsign != f->cs1 && callsign != f->cs2)
        f->cs2 = callsign;
}

bool updateOptions(std::vector<StandFlight>& flights, const std::vector<uint32_t>& slots, uint32_t number)
{
    StandFlight* f = lf_flightNumbered(flights, number);
    if (f == nullptr)
        return false;
    try {
        for (auto it = slots.rbegin(); it != slots.rend(); ++it)
            gf_setSlot(f->hours, *it);
    } catch (const std::exception& e) {
        gf_logErrorLine("{} exception:{}", "updateOptions", e.what());
        return false;
    }
    return true;
}

bool updateOptionsWrapped(std::vector<StandFlight>& flights, const std::vector<uint32_t>& slots, uint32_t oldNumber,
                          uint32_t newNumber)
{
    try {
        StandFlight* before = lf_flightNumbered(flights, oldNumber);
        size_t remaining = slots.size();
        if (before != nullptr && !slots.empty() && slots.back() != 0) {
            while (remaining > 0) {
                const uint32_t slot = slots[--remaining];
                gf_setSlot(before->hours, slot);
                if (slot == g_slotsPerDay - 1)
                    break;
            }
        }
        if (before == nullptr)
            return false;
        StandFlight* after = lf_flightNumbered(flights, newNumber);
        if (after == nullptr)
            return false;
        for (; remaining > 1; --remaining)
            gf_setSlot(after->hours, slots[remaining - 1]);
        return true;
    } catch (const std::exception& e) {
        gf_logErrorLine("{} exception:{}", "updateOptionsWrapped", e.what());
        return false;
    }
}
