// Sorting many short keys quickly: one counting pass on the first code unit, then a comparison
// sort inside each bucket, which stays small and in cache for dictionary words.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string_view>
#include <vector>

namespace kjf {

// Sorts items ascending by key(item) (a std::u16string_view), keeping the order of equal keys
// when stable is true. Items with an empty key come first.
template <typename Item, typename KeyOf>
void sortByKey(std::vector<Item>& items, KeyOf keyOf, bool stable) {
    std::vector<std::uint32_t> start(0x10000 + 2, 0);
    for (const auto& item : items) {
        const std::u16string_view k = keyOf(item);
        ++start[k.empty() ? 0 : std::size_t{k[0]} + 1];
    }
    std::uint32_t sum = 0;
    for (auto& s : start) {
        const std::uint32_t count = s;
        s = sum;
        sum += count;
    }
    std::vector<Item> sorted(items.size());
    std::vector<std::uint32_t> next(start.begin(), start.end() - 1);
    for (auto& item : items) {
        const std::u16string_view k = keyOf(item);
        sorted[next[k.empty() ? 0 : std::size_t{k[0]} + 1]++] = std::move(item);
    }
    const auto rest = [&](const Item& a, const Item& b) {
        return keyOf(a).substr(1) < keyOf(b).substr(1);
    };
    for (std::size_t bucket = 1; bucket + 1 < start.size(); ++bucket) {
        const auto first = sorted.begin() + start[bucket];
        const auto last = sorted.begin() + start[bucket + 1];
        if (last - first > 1) {
            if (stable) {
                std::stable_sort(first, last, rest);
            } else {
                std::sort(first, last, rest);
            }
        }
    }
    items = std::move(sorted);
}

}  // namespace kjf
