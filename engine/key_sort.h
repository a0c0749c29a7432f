// Sorting many short keys quickly. Keys are ordered by their first four code units packed into
// one integer (a radix sort, linear time), then by the rest where those are equal; dictionary
// words rarely need the second step.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string_view>
#include <utility>
#include <vector>

namespace kjf {

namespace detail {

// The first four units; a shorter key is padded with 0, which sorts before every unit a key can
// hold (keys never contain U+0000).
inline std::uint64_t keyPrefix(std::u16string_view k) {
    std::uint64_t p = 0;
    for (std::size_t i = 0; i < 4; ++i) {
        p = (p << 16) | (i < k.size() ? k[i] : 0u);
    }
    return p;
}

}  // namespace detail

// Sorts items ascending by keyOf(item) (a std::u16string_view, code unit order). Stable: items
// with equal keys keep their order.
template <typename Item, typename KeyOf>
void sortByKey(std::vector<Item>& items, KeyOf keyOf) {
    const std::size_t n = items.size();
    using Slot = std::pair<std::uint64_t, std::uint32_t>;
    std::vector<Slot> a(n);
    std::vector<Slot> b(n);
    for (std::size_t i = 0; i < n; ++i) {
        a[i] = {detail::keyPrefix(keyOf(items[i])), static_cast<std::uint32_t>(i)};
    }
    // Least significant digit first, 16 bits at a time; each pass is stable.
    std::vector<std::uint32_t> count(0x10000);
    for (int shift = 0; shift < 64; shift += 16) {
        std::fill(count.begin(), count.end(), 0u);
        for (const auto& s : a) {
            ++count[(s.first >> shift) & 0xFFFF];
        }
        if (count[(a.empty() ? 0 : (a[0].first >> shift) & 0xFFFF)] == n) {
            continue;  // every key has the same digit here
        }
        std::uint32_t sum = 0;
        for (auto& c : count) {
            const std::uint32_t here = c;
            c = sum;
            sum += here;
        }
        for (const auto& s : a) {
            b[count[(s.first >> shift) & 0xFFFF]++] = s;
        }
        a.swap(b);
    }
    // Keys that share their first four units and are longer: order them by the rest.
    for (std::size_t i = 0; i < n;) {
        std::size_t j = i + 1;
        while (j < n && a[j].first == a[i].first) {
            ++j;
        }
        if (j - i > 1 && (a[i].first & 0xFFFF) != 0) {
            std::stable_sort(
                a.begin() + static_cast<std::ptrdiff_t>(i),
                a.begin() + static_cast<std::ptrdiff_t>(j), [&](const Slot& x, const Slot& y) {
                    return keyOf(items[x.second]).substr(4) < keyOf(items[y.second]).substr(4);
                });
        }
        i = j;
    }
    std::vector<Item> sorted;
    sorted.reserve(n);
    for (const auto& s : a) {
        sorted.push_back(std::move(items[s.second]));
    }
    items = std::move(sorted);
}

}  // namespace kjf
