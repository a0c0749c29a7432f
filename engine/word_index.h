// The index over both word tables that lets a scan find, in one walk over the characters at a
// position, every key that starts (or ends) there.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "engine/word_table.h"

namespace kjf {

// A node of a trie: its children are the nodes [firstChild, firstChild of the next node).
struct TrieNode {
    std::uint32_t firstChild;
    std::uint32_t mark;
};

// The arrays of one trie as a build makes them; a WordTrie reads them in place.
struct TrieArrays {
    std::vector<char16_t> units;              // the unit on the edge into each node
    std::vector<TrieNode> nodes;              // one more than there are nodes
    std::vector<std::uint32_t> rootChildren;  // 65536 entries: direct lookup of the first unit
    // Children of the first level with many children, grouped by the high byte of their unit:
    // 257 offsets each (relative to the node's first child) in buckets.
    std::vector<std::uint32_t> bucketIndex;  // by node, for the root's children
    std::vector<std::uint16_t> buckets;
};

// A trie over UTF-16 code units, stored breadth first so that the children of a node are one
// sorted, contiguous block; read in place from arrays it does not own (a dictionary image).
// Read-only, so any number of threads may walk it.
class WordTrie {
  public:
    using Node = std::uint32_t;
    static constexpr Node kNone = 0;  // the root is node 0 and is never a child

    // Bits of a node's mark.
    static constexpr std::uint32_t kCorrectBit = 0x80000000u;
    static constexpr std::uint32_t kErrorMask = 0x7FFFFFFFu;  // error entry + 1, or 0
    static constexpr std::uint32_t kNoBuckets = 0xFFFFFFFFu;

    struct Arrays {
        std::span<const char16_t> units;
        std::span<const TrieNode> nodes;
        std::span<const std::uint32_t> rootChildren;
        std::span<const std::uint32_t> bucketIndex;
        std::span<const std::uint16_t> buckets;
    };

    WordTrie() = default;
    explicit WordTrie(const Arrays& arrays) : m_a(arrays) {}

    // The arrays of a trie over keys (ascending, distinct), each key's node marked with its mark.
    static TrieArrays build(const std::vector<std::u16string_view>& keys,
                            const std::vector<std::uint32_t>& marks);

    Node root() const { return 0; }
    Node child(Node node, char16_t unit) const {
        if (node == 0) {
            return m_a.rootChildren.empty() ? kNone : m_a.rootChildren[unit];
        }
        const std::uint32_t begin = m_a.nodes[node].firstChild;
        std::uint32_t count = m_a.nodes[node + 1].firstChild - begin;
        const char16_t* base = m_a.units.data() + begin;
        if (node < m_a.bucketIndex.size() && m_a.bucketIndex[node] != kNoBuckets) {
            // A node with many children: narrow the search to the children whose unit shares
            // the high byte.
            const std::uint16_t* starts = m_a.buckets.data() + m_a.bucketIndex[node];
            const unsigned high = unit >> 8;
            base += starts[high];
            count = static_cast<std::uint32_t>(starts[high + 1] - starts[high]);
        }
        if (count == 0) {
            return kNone;
        }
        // Branch-free binary search: the children's units are sorted.
        while (count > 1) {
            const std::uint32_t half = count / 2;
            base = base[half] <= unit ? base + half : base;
            count -= half;
        }
        return *base == unit ? static_cast<Node>(base - m_a.units.data()) : kNone;
    }
    // Asks the processor to fetch what a walk that starts with first, second needs at its first
    // two steps, so that it arrives while other work goes on. Changes nothing.
    void prefetchStart(char16_t first, char16_t second) const {
        if (m_a.rootChildren.empty()) {
            return;
        }
        const Node node = m_a.rootChildren[first];
        if (node == kNone) {
            return;
        }
        __builtin_prefetch(&m_a.nodes[node]);
        std::uint32_t begin = m_a.nodes[node].firstChild;
        if (node < m_a.bucketIndex.size() && m_a.bucketIndex[node] != kNoBuckets) {
            begin += m_a.buckets[m_a.bucketIndex[node] + (second >> 8)];
        }
        __builtin_prefetch(m_a.units.data() + begin);
    }
    bool hasChildren(Node node) const {
        return node + 1 < m_a.nodes.size() &&
               m_a.nodes[node + 1].firstChild > m_a.nodes[node].firstChild;
    }
    std::uint32_t mark(Node node) const { return m_a.nodes.empty() ? 0 : m_a.nodes[node].mark; }
    std::size_t nodeCount() const { return m_a.units.size(); }
    std::size_t memoryUsage() const {
        return m_a.units.size_bytes() + m_a.nodes.size_bytes() + m_a.rootChildren.size_bytes() +
               m_a.bucketIndex.size_bytes() + m_a.buckets.size_bytes();
    }

  private:
    Arrays m_a;
};

// Both tries over the keys of both tables: forward (keys as written) and backward (reversed). A
// key's mark has kCorrectBit when it is a correct word and its error entry's index + 1 when it is
// a wrong word. Builds the two on two threads.
struct IndexArrays {
    TrieArrays forward;
    TrieArrays backward;
};
IndexArrays buildIndex(const WordTableBuilder& correctWords, const WordTableBuilder& errorWords);

}  // namespace kjf
