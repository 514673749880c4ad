// An open-addressing hash index from names to positions in an ordered
// sequence, kept beside the sequence in a plain vector of slots.
//
// The index stores only hashes and positions; the names stay in the sequence,
// so copying the sequence and the slot vector together keeps them consistent.
// Short sequences are searched linearly and carry no slots at all.
#ifndef KRTOOLS_CONFIG_NAME_INDEX_H
#define KRTOOLS_CONFIG_NAME_INDEX_H

#include <cstddef>
#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string_view>
#include <vector>

namespace krconfig {

using IndexSlots = std::vector<uint64_t>;

// Sequences up to this length have no slots and are searched linearly.
inline constexpr size_t kLinearSearchLimit = 8;

inline uint32_t NameHash(std::string_view name) {
    const uint64_t h = std::hash<std::string_view>{}(name);
    return static_cast<uint32_t>(h ^ (h >> 32));
}

namespace detail {

// Each slot: high 32 bits the hash, low 32 bits position + 1; 0 is empty.
inline void InsertSlot(IndexSlots& slots, uint32_t hash, size_t pos) {
    const size_t mask = slots.size() - 1;
    size_t i = hash & mask;
    while (slots[i] != 0) i = (i + 1) & mask;
    slots[i] = (static_cast<uint64_t>(hash) << 32) | static_cast<uint64_t>(pos + 1);
}

inline size_t CapacityFor(size_t count) {
    size_t capacity = 16;
    while (capacity < count * 2) capacity *= 2;
    return capacity;
}

// Doubles the table, moving the slots by their stored hashes.
inline void Grow(IndexSlots& slots) {
    IndexSlots bigger(slots.size() * 2, 0);
    for (uint64_t slot : slots) {
        if (slot != 0) {
            InsertSlot(bigger, static_cast<uint32_t>(slot >> 32),
                       static_cast<size_t>(slot & 0xFFFFFFFFu) - 1);
        }
    }
    slots.swap(bigger);
}

}  // namespace detail

// The position of `name` in a sequence of `count` names, or -1.
// `nameAt(pos)` returns the name at a position as something comparable with
// a std::string_view.
template <typename NameAt>
long FindName(const IndexSlots& slots, std::string_view name, size_t count, NameAt nameAt) {
    if (slots.empty()) {
        for (size_t pos = 0; pos < count; ++pos) {
            if (nameAt(pos) == name) return static_cast<long>(pos);
        }
        return -1;
    }
    const uint32_t hash = NameHash(name);
    const size_t mask = slots.size() - 1;
    for (size_t i = hash & mask;; i = (i + 1) & mask) {
        const uint64_t slot = slots[i];
        if (slot == 0) return -1;
        if (static_cast<uint32_t>(slot >> 32) == hash) {
            const size_t pos = static_cast<size_t>(slot & 0xFFFFFFFFu) - 1;
            if (nameAt(pos) == name) return static_cast<long>(pos);
        }
    }
}

// Records that the name at the last position of a sequence that now holds
// `count` names was appended. Builds the slots when the sequence outgrows the
// linear limit.
template <typename NameAt>
void AddName(IndexSlots& slots, size_t count, NameAt nameAt) {
    if (count >= 0xFFFFFFFFu) throw std::length_error("name index full");
    if (slots.empty()) {
        if (count <= kLinearSearchLimit) return;
        slots.assign(detail::CapacityFor(count), 0);
        for (size_t pos = 0; pos < count; ++pos) {
            detail::InsertSlot(slots, NameHash(nameAt(pos)), pos);
        }
        return;
    }
    if (count * 2 > slots.size()) detail::Grow(slots);
    detail::InsertSlot(slots, NameHash(nameAt(count - 1)), count - 1);
}

}  // namespace krconfig

#endif  // KRTOOLS_CONFIG_NAME_INDEX_H
