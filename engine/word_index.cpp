#include "engine/word_index.h"

#include <algorithm>
#include <string>
#include <thread>

#include "engine/key_sort.h"
#include "engine/side_by_side.h"

namespace kjf {

namespace {

// A first-level node with at least this many children gets buckets by high byte.
constexpr std::uint32_t kFirstLevelBucketThreshold = 48;

}  // namespace

TrieArrays WordTrie::build(const std::vector<std::u16string_view>& keys,
                           const std::vector<std::uint32_t>& marks) {
    TrieArrays t;
    // Breadth first: node n covers the keys [lo[n], hi[n]) that share its prefix of depth[n]
    // units. Nodes are handled in index order and their children appended at the end, so the
    // children of consecutive nodes form consecutive blocks.
    std::size_t units = 0;
    for (auto k : keys) {
        units += k.size();
    }
    t.units.reserve(units / 2 + 1);
    t.nodes.reserve(units / 2 + 2);
    std::vector<std::uint32_t> lo{0};
    std::vector<std::uint32_t> hi{static_cast<std::uint32_t>(keys.size())};
    std::vector<std::uint32_t> depth{0};
    lo.reserve(units / 2 + 1);
    hi.reserve(units / 2 + 1);
    depth.reserve(units / 2 + 1);
    t.units.push_back(0);
    t.nodes.push_back({0, 0});
    for (std::uint32_t n = 0; n < t.units.size(); ++n) {
        t.nodes[n].firstChild = static_cast<std::uint32_t>(t.units.size());
        std::uint32_t i = lo[n];
        const std::uint32_t end = hi[n];
        const std::uint32_t d = depth[n];
        if (i < end && keys[i].size() == d) {
            t.nodes[n].mark = marks[i];  // the key that ends here sorts first
            ++i;
        }
        while (i < end) {
            const char16_t unit = keys[i][d];
            std::uint32_t j = i + 1;
            while (j < end && keys[j][d] == unit) {
                ++j;
            }
            t.units.push_back(unit);
            t.nodes.push_back({0, 0});
            lo.push_back(i);
            hi.push_back(j);
            depth.push_back(d + 1);
            i = j;
        }
    }
    t.nodes.push_back({static_cast<std::uint32_t>(t.units.size()), 0});
    t.rootChildren.assign(0x10000, WordTrie::kNone);
    for (std::uint32_t c = t.nodes[0].firstChild; c < t.nodes[1].firstChild; ++c) {
        t.rootChildren[t.units[c]] = c;
    }
    const std::uint32_t firstLevelEnd = t.nodes[1].firstChild;
    t.bucketIndex.assign(firstLevelEnd, WordTrie::kNoBuckets);
    for (std::uint32_t n = 1; n < firstLevelEnd; ++n) {
        const std::uint32_t begin = t.nodes[n].firstChild;
        const std::uint32_t count = t.nodes[n + 1].firstChild - begin;
        if (count < kFirstLevelBucketThreshold || count > 0xFFFF) {
            continue;
        }
        t.bucketIndex[n] = static_cast<std::uint32_t>(t.buckets.size());
        std::uint32_t i = 0;
        for (unsigned high = 0; high <= 0x100; ++high) {
            while (i < count && (t.units[begin + i] >> 8) < high) {
                ++i;
            }
            t.buckets.push_back(static_cast<std::uint16_t>(i));
        }
    }
    t.units.shrink_to_fit();
    t.nodes.shrink_to_fit();
    t.buckets.shrink_to_fit();
    return t;
}

namespace {

// Merges the two tables' sorted keys into one ascending list of distinct keys with marks.
void mergeKeys(const WordTableBuilder& correctWords, const WordTableBuilder& errorWords,
               std::vector<std::u16string_view>& keys, std::vector<std::uint32_t>& marks) {
    keys.reserve(correctWords.size() + errorWords.size());
    marks.reserve(correctWords.size() + errorWords.size());
    std::size_t c = 0;
    std::size_t e = 0;
    while (c < correctWords.size() || e < errorWords.size()) {
        const bool takeCorrect =
            e == errorWords.size() ||
            (c < correctWords.size() && correctWords.keyAt(c) <= errorWords.keyAt(e));
        const bool takeError =
            c == correctWords.size() ||
            (e < errorWords.size() && errorWords.keyAt(e) <= correctWords.keyAt(c));
        std::uint32_t mark = 0;
        std::u16string_view key;
        if (takeCorrect) {
            key = correctWords.keyAt(c++);
            mark |= WordTrie::kCorrectBit;
        }
        if (takeError) {
            key = errorWords.keyAt(e);
            mark |= static_cast<std::uint32_t>(e + 1);
            ++e;
        }
        keys.push_back(key);
        marks.push_back(mark);
    }
}

}  // namespace

IndexArrays buildIndex(const WordTableBuilder& correctWords, const WordTableBuilder& errorWords) {
    IndexArrays index;
    std::vector<std::u16string_view> keys;
    std::vector<std::uint32_t> marks;
    mergeKeys(correctWords, errorWords, keys, marks);

    // The backward trie needs the reversed keys in their own order; build it on a second thread.
    runSideBySide(
        [&] {
            std::u16string pool;
            std::size_t total = 0;
            for (auto k : keys) {
                total += k.size();
            }
            pool.reserve(total);
            std::vector<std::uint32_t> offsets;
            offsets.reserve(keys.size());
            for (auto k : keys) {
                offsets.push_back(static_cast<std::uint32_t>(pool.size()));
                pool.append(k.rbegin(), k.rend());
            }
            std::vector<std::pair<std::u16string_view, std::uint32_t>> reversed(keys.size());
            for (std::size_t i = 0; i < keys.size(); ++i) {
                reversed[i] = {std::u16string_view(pool).substr(offsets[i], keys[i].size()),
                               marks[i]};
            }
            sortByKey(reversed, [](const auto& item) { return item.first; });
            // Copy the keys in their sorted order, so that building walks memory front to back.
            std::u16string sortedPool;
            sortedPool.reserve(total);
            std::vector<std::uint32_t> marksInOrder;
            marksInOrder.reserve(keys.size());
            for (const auto& [key, mark] : reversed) {
                sortedPool += key;
                marksInOrder.push_back(mark);
            }
            std::vector<std::u16string_view> sortedKeys;
            sortedKeys.reserve(keys.size());
            std::size_t at = 0;
            for (const auto& item : reversed) {
                sortedKeys.push_back(std::u16string_view(sortedPool).substr(at, item.first.size()));
                at += item.first.size();
            }
            index.backward = WordTrie::build(sortedKeys, marksInOrder);
        },
        [&] { index.forward = WordTrie::build(keys, marks); });
    return index;
}

}  // namespace kjf
