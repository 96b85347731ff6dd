#pragma once
// The registrations of the database: a hash map from the registration as written to its
// record. The entries lie in one array in file order and an open-addressing index points
// into it, so that reading 300,000 records fills a few large blocks instead of allocating
// a node each, and a lookup that misses reads one cache line of the index.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// One registration of the database.
struct DbaseRecord {
    std::string airl;
    std::string type;
    std::string opr;
    bool cargo = false;
};

class RegistrationTable {
public:
    struct Entry {
        std::string reg;
        DbaseRecord record;
    };

    void clear();
    void reserve(size_t count);
    // The record of the registration, added empty when missing; false when it was there.
    // The pointer holds until the next insertion.
    std::pair<DbaseRecord*, bool> tryEmplace(std::string_view reg);
    const DbaseRecord* find(std::string_view reg) const;
    // Starts fetching the index line of a registration about to be added or looked up.
    void prefetch(std::string_view reg) const;
    // The record of the first of the keys that is in the table. The index lines of all keys
    // are fetched at once, so that the misses of several written forms overlap.
    const DbaseRecord* findFirstOf(const std::string* keys, size_t count) const;
    // Throws std::out_of_range for a registration not in the table.
    const DbaseRecord& at(std::string_view reg) const;
    bool contains(std::string_view reg) const { return find(reg) != nullptr; }
    size_t size() const { return entries_.size(); }
    bool empty() const { return entries_.empty(); }
    // In file order.
    std::vector<Entry>::const_iterator begin() const { return entries_.begin(); }
    std::vector<Entry>::const_iterator end() const { return entries_.end(); }

private:
    struct Slot {
        uint32_t entry = 0; // index + 1; 0: free
        uint32_t tag = 0;   // high bits of the hash, so that most other keys are passed over unread
    };

    static constexpr size_t kMaxKeysAtOnce = 4;
    size_t findSlot(std::string_view reg, size_t hash) const;
    void rebuildIndex(size_t slotCount);

    std::vector<Entry> entries_;
    std::vector<Slot> slots_; // a power of two, at most half full
};
