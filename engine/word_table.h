// A text-to-text table of the dictionary store (correct words or error words).
#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
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

// Keys compare by UTF-16 code unit, exactly; the first value inserted for a key stays.
//
// Life cycle: clear(), then insert() from any number of threads (each call takes the table's own
// lock, once per batch), then finalize() on one thread, after which the read operations may be
// used from any number of threads until the next clear().
class WordTable {
  public:
    void clear();
    void insert(WordBatch&& batch);
    void finalize();

    std::size_t size() const { return m_sorted.size(); }
    bool contains(std::u16string_view key) const { return find(key) >= 0; }
    std::optional<std::u16string_view> value(std::u16string_view key) const;
    // Entries in ascending key order.
    std::u16string_view keyAt(std::size_t i) const { return m_sorted[i].key(); }
    std::u16string_view valueAt(std::size_t i) const { return m_sorted[i].value(); }
    // Index of key in ascending order, or -1.
    std::ptrdiff_t find(std::u16string_view key) const;
    // Length of the longest key, in code units; 0 when empty.
    std::int32_t longestKeyLength() const { return m_longestKey; }
    // Bytes held by the table, for measurements.
    std::size_t memoryUsage() const;

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
    std::int32_t m_longestKey = 0;
};

}  // namespace kjf
