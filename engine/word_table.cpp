#include "engine/word_table.h"

#include <algorithm>

#include "engine/key_sort.h"

namespace kjf {

void WordBatch::add(std::u16string_view key, std::u16string_view value) {
    const auto keyOffset = static_cast<std::uint32_t>(pool.size());
    pool += key;
    const auto valueOffset = static_cast<std::uint32_t>(pool.size());
    pool += value;
    entries.push_back({keyOffset, static_cast<std::uint32_t>(key.size()), valueOffset,
                       static_cast<std::uint32_t>(value.size())});
}

void WordTableBuilder::insert(WordBatch&& batch) {
    if (batch.entries.empty()) {
        return;
    }
    std::lock_guard lock(m_insertLock);
    m_batches.push_back(std::move(batch));
}

void WordTableBuilder::finalize() {
    std::lock_guard lock(m_insertLock);
    std::size_t total = 0;
    for (const auto& b : m_batches) {
        total += b.entries.size();
    }
    std::vector<Ref> refs;
    refs.reserve(total);
    // Shipped and optimised dictionaries are sorted already: then merging the files in the order
    // they were inserted is enough, and keeps the first of equal keys first.
    bool runsSorted = true;
    std::vector<std::size_t> runEnds;
    const auto less = [](const Ref& a, const Ref& b) { return a.key() < b.key(); };
    for (const auto& b : m_batches) {
        const std::size_t runStart = refs.size();
        for (const auto& e : b.entries) {
            refs.push_back({b.pool.data() + e.keyOffset, e.keyLength, e.valueLength,
                            b.pool.data() + e.valueOffset});
        }
        runsSorted =
            runsSorted &&
            std::is_sorted(refs.begin() + static_cast<std::ptrdiff_t>(runStart), refs.end(), less);
        runEnds.push_back(refs.size());
    }
    if (runsSorted) {
        for (std::size_t r = 1; r < runEnds.size(); ++r) {
            std::inplace_merge(refs.begin(),
                               refs.begin() + static_cast<std::ptrdiff_t>(runEnds[r - 1]),
                               refs.begin() + static_cast<std::ptrdiff_t>(runEnds[r]), less);
        }
    } else {
        // Stable, so that among equal keys the one inserted first comes first and stays.
        sortByKey(refs, [](const Ref& r) { return r.key(); });
    }
    refs.erase(std::unique(refs.begin(), refs.end(),
                           [](const Ref& a, const Ref& b) { return a.key() == b.key(); }),
               refs.end());
    refs.shrink_to_fit();
    for (auto& b : m_batches) {
        b.entries.clear();
        b.entries.shrink_to_fit();
    }
    m_sorted = std::move(refs);
}

std::u16string_view WordTable::valueAt(std::size_t i) const {
    if (m_a.valueOffsets.empty()) {
        return i < m_a.tags.size() && m_a.tags[i] < m_a.tagNames.size() ? m_a.tagNames[m_a.tags[i]]
                                                                        : std::u16string_view();
    }
    return {m_a.values.data() + m_a.valueOffsets[i], m_a.valueOffsets[i + 1] - m_a.valueOffsets[i]};
}

std::ptrdiff_t WordTable::find(std::u16string_view key) const {
    std::size_t lo = 0;
    std::size_t hi = size();
    while (lo < hi) {
        const std::size_t mid = lo + (hi - lo) / 2;
        if (keyAt(mid) < key) {
            lo = mid + 1;
        } else {
            hi = mid;
        }
    }
    return lo < size() && keyAt(lo) == key ? static_cast<std::ptrdiff_t>(lo) : -1;
}

std::optional<std::u16string_view> WordTable::value(std::u16string_view key) const {
    const auto i = find(key);
    if (i < 0) {
        return std::nullopt;
    }
    return valueAt(static_cast<std::size_t>(i));
}

std::size_t WordTable::memoryUsage() const {
    return m_a.keyOffsets.size_bytes() + m_a.keys.size_bytes() + m_a.valueOffsets.size_bytes() +
           m_a.values.size_bytes() + m_a.tags.size_bytes();
}

}  // namespace kjf
