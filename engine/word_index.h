// The index over both word tables that lets a scan find, in one walk over the characters at a
// position, every key that starts (or ends) there.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "engine/word_table.h"

namespace kjf {

// A trie over UTF-16 code units, stored breadth first so that the children of a node are one
// sorted, contiguous block. Built once from finalized tables; read-only afterwards, so any number
// of threads may walk it.
class WordTrie {
  public:
    using Node = std::uint32_t;
    static constexpr Node kNone = 0;  // the root is node 0 and is never a child

    // Bits of a node's mark.
    static constexpr std::uint32_t kCorrectBit = 0x80000000u;
    static constexpr std::uint32_t kErrorMask = 0x7FFFFFFFu;  // error entry + 1, or 0

    // keys: ascending, distinct; marks: the mark of each key's node.
    void build(const std::vector<std::u16string_view>& keys,
               const std::vector<std::uint32_t>& marks);
    void clear();

    Node root() const { return 0; }
    Node child(Node node, char16_t unit) const {
        if (node == 0) {
            return m_rootChildren.empty() ? kNone : m_rootChildren[unit];
        }
        const std::uint32_t begin = m_nodes[node].firstChild;
        std::uint32_t count = m_nodes[node + 1].firstChild - begin;
        const char16_t* base = m_unit.data() + begin;
        if (node < m_bucketIndex.size() && m_bucketIndex[node] != kNoBuckets) {
            // A node with many children: narrow the search to the children whose unit shares
            // the high byte.
            const std::uint16_t* starts = m_buckets.data() + m_bucketIndex[node];
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
        return *base == unit ? static_cast<Node>(base - m_unit.data()) : kNone;
    }
    bool hasChildren(Node node) const {
        return m_nodes[node + 1].firstChild > m_nodes[node].firstChild;
    }
    std::uint32_t mark(Node node) const { return m_nodes[node].mark; }
    std::size_t nodeCount() const { return m_unit.size(); }
    std::size_t memoryUsage() const;

  private:
    struct NodeData {
        std::uint32_t firstChild;  // children of n: [nodes[n].firstChild, nodes[n + 1].firstChild)
        std::uint32_t mark;
    };
    std::vector<char16_t> m_unit;      // unit on the edge into each node
    std::vector<NodeData> m_nodes;     // one more than there are nodes
    std::vector<Node> m_rootChildren;  // 65536 entries: direct lookup of the first unit
    // Children of the first level with many children, grouped by the high byte of their unit:
    // 257 offsets each (relative to the node's first child) in m_buckets.
    static constexpr std::uint32_t kNoBuckets = 0xFFFFFFFFu;
    static constexpr std::uint32_t kBucketThreshold = 48;
    std::vector<std::uint32_t> m_bucketIndex;  // by node, for the root's children
    std::vector<std::uint16_t> m_buckets;
};

// Both tables, indexed forward (keys as written) and backward (keys reversed).
class WordIndex {
  public:
    void build(const WordTable& correctWords, const WordTable& errorWords);
    void clear();

    const WordTrie& forward() const { return m_forward; }
    const WordTrie& backward() const { return m_backward; }
    std::size_t memoryUsage() const { return m_forward.memoryUsage() + m_backward.memoryUsage(); }

  private:
    WordTrie m_forward;
    WordTrie m_backward;
};

}  // namespace kjf
