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
        const std::uint32_t begin = m_firstChild[node];
        const std::uint32_t end = m_firstChild[node + 1];
        const char16_t* units = m_unit.data();
        if (end - begin <= 8) {
            for (std::uint32_t i = begin; i < end; ++i) {
                if (units[i] == unit) {
                    return i;
                }
            }
            return kNone;
        }
        std::uint32_t lo = begin;
        std::uint32_t hi = end;
        while (lo < hi) {
            const std::uint32_t mid = lo + (hi - lo) / 2;
            if (units[mid] < unit) {
                lo = mid + 1;
            } else {
                hi = mid;
            }
        }
        return lo < end && units[lo] == unit ? lo : kNone;
    }
    bool hasChildren(Node node) const { return m_firstChild[node + 1] > m_firstChild[node]; }
    std::uint32_t mark(Node node) const { return m_mark[node]; }
    std::size_t nodeCount() const { return m_unit.size(); }
    std::size_t memoryUsage() const;

  private:
    std::vector<char16_t> m_unit;  // unit on the edge into each node
    std::vector<std::uint32_t>
        m_firstChild;  // one more than nodes: children of n are [f[n], f[n+1])
    std::vector<std::uint32_t> m_mark;
    std::vector<Node> m_rootChildren;  // 65536 entries: direct lookup of the first unit
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
