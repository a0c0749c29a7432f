// The text-to-text tables of the dictionary store (correct words or error words): built from the
// files of a load, then read as flat arrays.
#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kjf {

// Entries parsed from one file, in file order, before they reach a table.
struct WordBatch {
    struct Entry {
        std::uint32_t keyOffset, keyLength, valueOffset, valueLength;
    };
    std::u16string pool;  // keys and values, back to back
    std::vector<Entry> entries;

    void add(std::u16string_view key, std::u16string_view value);
};

// Collects the batches of one table during a load. Keys compare by UTF-16 code unit, exactly;
// the first value inserted for a key stays.
//
// Life cycle: insert() from any number of threads (each call takes the builder's own lock, once
// per batch), then finalize() on one thread, after which the sorted entries may be read.
class WordTableBuilder {
  public:
    void insert(WordBatch&& batch);
    void finalize();

    std::size_t size() const { return m_sorted.size(); }
    // Entries in ascending key order, each key once.
    std::u16string_view keyAt(std::size_t i) const { return m_sorted[i].key(); }
    std::u16string_view valueAt(std::size_t i) const { return m_sorted[i].value(); }

  private:
    struct Ref {
        const char16_t* keyData;
        std::uint32_t keyLength;
        std::uint32_t valueLength;
        const char16_t* valueData;
        std::u16string_view key() const { return {keyData, keyLength}; }
        std::u16string_view value() const { return {valueData, valueLength}; }
    };

    std::mutex m_insertLock;
    std::vector<WordBatch> m_batches;  // in the order they were inserted
    std::vector<Ref> m_sorted;
};

// A finished table, read in place from arrays that the table does not own (a dictionary image).
// Values are either texts (valueOffsets into values) or one of a few tags (a byte per key naming
// one of tagNames). Read-only: any number of threads.
class WordTable {
  public:
    struct Arrays {
        std::span<const std::uint32_t> keyOffsets;  // size() + 1, into keys
        std::span<const char16_t> keys;
        std::span<const std::uint32_t> valueOffsets;  // size() + 1 into values, or empty
        std::span<const char16_t> values;
        std::span<const std::uint8_t> tags;  // size() entries when valueOffsets is empty
        std::span<const std::u16string_view> tagNames;
        std::int32_t longestKey = 0;
    };

    WordTable() = default;
    explicit WordTable(const Arrays& arrays) : m_a(arrays) {}

    std::size_t size() const { return m_a.keyOffsets.empty() ? 0 : m_a.keyOffsets.size() - 1; }
    bool contains(std::u16string_view key) const { return find(key) >= 0; }
    std::optional<std::u16string_view> value(std::u16string_view key) const;
    // Entries in ascending key order.
    std::u16string_view keyAt(std::size_t i) const {
        return {m_a.keys.data() + m_a.keyOffsets[i], m_a.keyOffsets[i + 1] - m_a.keyOffsets[i]};
    }
    std::u16string_view valueAt(std::size_t i) const;
    // Index of key in ascending order, or -1.
    std::ptrdiff_t find(std::u16string_view key) const;
    // Length of the longest key, in code units; 0 when empty.
    std::int32_t longestKeyLength() const { return m_a.longestKey; }
    // Bytes of the arrays, for measurements.
    std::size_t memoryUsage() const;

  private:
    Arrays m_a;
};

}  // namespace kjf
