// An open-addressing hash map from 64-bit keys to 32-bit values, built once and then only read.
#pragma once

#include <cstdint>
#include <vector>

namespace kjf {

// Keys must not be kEmpty. Reads are safe from any number of threads once building has ended.
class FlatMap {
  public:
    static constexpr std::uint64_t kEmpty = ~std::uint64_t{0};

    // Sizes the table for about `expected` keys; clears it.
    void reserve(std::size_t expected) {
        std::size_t capacity = 16;
        while (capacity < expected * 2) {
            capacity *= 2;
        }
        m_keys.assign(capacity, kEmpty);
        m_values.assign(capacity, 0);
        m_mask = capacity - 1;
        m_size = 0;
    }

    // Inserts key with value, or returns the value already stored for key.
    std::uint32_t insert(std::uint64_t key, std::uint32_t value) {
        if ((m_size + 1) * 2 > m_keys.size()) {
            grow();
        }
        std::size_t slot = hash(key) & m_mask;
        while (m_keys[slot] != kEmpty) {
            if (m_keys[slot] == key) {
                return m_values[slot];
            }
            slot = (slot + 1) & m_mask;
        }
        m_keys[slot] = key;
        m_values[slot] = value;
        ++m_size;
        return value;
    }

    // The value of key, or `missing`.
    std::uint32_t find(std::uint64_t key, std::uint32_t missing) const {
        if (m_keys.empty()) {
            return missing;
        }
        std::size_t slot = hash(key) & m_mask;
        while (m_keys[slot] != kEmpty) {
            if (m_keys[slot] == key) {
                return m_values[slot];
            }
            slot = (slot + 1) & m_mask;
        }
        return missing;
    }

    std::size_t size() const { return m_size; }
    std::size_t memoryUsage() const {
        return m_keys.capacity() * sizeof(std::uint64_t) +
               m_values.capacity() * sizeof(std::uint32_t);
    }

  private:
    static std::uint64_t hash(std::uint64_t key) {
        key ^= key >> 33;
        key *= 0xff51afd7ed558ccdULL;
        key ^= key >> 33;
        return key;
    }

    void grow() {
        std::vector<std::uint64_t> keys;
        std::vector<std::uint32_t> values;
        keys.swap(m_keys);
        values.swap(m_values);
        reserve(keys.empty() ? 8 : keys.size());
        for (std::size_t i = 0; i < keys.size(); ++i) {
            if (keys[i] != kEmpty) {
                insert(keys[i], values[i]);
            }
        }
    }

    std::vector<std::uint64_t> m_keys;
    std::vector<std::uint32_t> m_values;
    std::size_t m_mask = 0;
    std::size_t m_size = 0;
};

}  // namespace kjf
