#include "catalogue/registration_table.h"

#include <array>
#include <bit>
#include <functional>
#include <stdexcept>

namespace {

constexpr size_t kMinSlots = 16;

size_t lf_hash(std::string_view reg)
{
    return std::hash<std::string_view>{}(reg);
}

uint32_t lf_tag(size_t hash)
{
    return static_cast<uint32_t>(static_cast<uint64_t>(hash) >> 32);
}

} // namespace

void RegistrationTable::clear()
{
    entries_.clear();
    slots_.clear();
}

void RegistrationTable::reserve(size_t count)
{
    entries_.reserve(count);
    const size_t wanted = std::bit_ceil(std::max(kMinSlots, 2 * count));
    if (wanted > slots_.size())
        rebuildIndex(wanted);
}

// The slot that holds the registration, or the free slot where it belongs.
size_t RegistrationTable::findSlot(std::string_view reg, size_t hash) const
{
    const size_t mask = slots_.size() - 1;
    const uint32_t tag = lf_tag(hash);
    for (size_t i = hash & mask;; i = (i + 1) & mask) {
        const Slot& slot = slots_[i];
        if (slot.entry == 0 || (slot.tag == tag && entries_[slot.entry - 1].reg == reg))
            return i;
    }
}

void RegistrationTable::rebuildIndex(size_t slotCount)
{
    slots_.assign(slotCount, Slot{});
    for (size_t e = 0; e < entries_.size(); ++e) {
        const size_t hash = lf_hash(entries_[e].reg);
        slots_[findSlot(entries_[e].reg, hash)] = {static_cast<uint32_t>(e + 1), lf_tag(hash)};
    }
}

std::pair<DbaseRecord*, bool> RegistrationTable::tryEmplace(std::string_view reg)
{
    if (2 * (entries_.size() + 1) > slots_.size())
        rebuildIndex(std::max(kMinSlots, 2 * slots_.size()));
    const size_t hash = lf_hash(reg);
    Slot& slot = slots_[findSlot(reg, hash)];
    if (slot.entry != 0)
        return {&entries_[slot.entry - 1].record, false};
    if (entries_.size() >= UINT32_MAX - 1)
        throw std::length_error("RegistrationTable: too many registrations");
    entries_.push_back({std::string(reg), {}});
    slot = {static_cast<uint32_t>(entries_.size()), lf_tag(hash)};
    return {&entries_.back().record, true};
}

const DbaseRecord* RegistrationTable::find(std::string_view reg) const
{
    if (slots_.empty())
        return nullptr;
    const Slot& slot = slots_[findSlot(reg, lf_hash(reg))];
    return slot.entry != 0 ? &entries_[slot.entry - 1].record : nullptr;
}

void RegistrationTable::prefetch(std::string_view reg) const
{
    if (!slots_.empty())
        __builtin_prefetch(&slots_[lf_hash(reg) & (slots_.size() - 1)]);
}

const DbaseRecord* RegistrationTable::findFirstOf(const std::string* keys, size_t count) const
{
    if (slots_.empty())
        return nullptr;
    if (count > kMaxKeysAtOnce) {
        for (size_t k = 0; k < count; ++k) {
            if (const DbaseRecord* record = find(keys[k]))
                return record;
        }
        return nullptr;
    }
    std::array<size_t, kMaxKeysAtOnce> hashes{};
    for (size_t k = 0; k < count; ++k) {
        hashes[k] = lf_hash(keys[k]);
        __builtin_prefetch(&slots_[hashes[k] & (slots_.size() - 1)]);
    }
    for (size_t k = 0; k < count; ++k) {
        const Slot& slot = slots_[findSlot(keys[k], hashes[k])];
        if (slot.entry != 0)
            return &entries_[slot.entry - 1].record;
    }
    return nullptr;
}

const DbaseRecord& RegistrationTable::at(std::string_view reg) const
{
    if (const DbaseRecord* record = find(reg))
        return *record;
    throw std::out_of_range("RegistrationTable::at: unknown registration");
}
