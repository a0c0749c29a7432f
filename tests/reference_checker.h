// The checking algorithm window by window, exactly as the product defines it, with plain map
// lookups and one text request per window. Lives only in the tests, to cross-check the engine.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "engine/finding.h"

namespace kjf::test {

struct Report {
    FindingType type;
    std::int32_t position, length;
    std::u16string word, suggestion;
    friend bool operator==(const Report&, const Report&) = default;
};

struct ReferenceResult {
    std::vector<Report> reports;  // every onWordReported call, Correct included
    std::vector<rg_BiaoJiCiYuLei> findings;
    std::int32_t quantization = 0;
    bool completed = false;  // onCheckCompleted was called
};

struct ReferenceTables {
    std::map<std::u16string, std::u16string> errorWords;
    std::map<std::u16string, std::u16string> correctWords;
};

// text is the source; totalLength may differ from its size (the source then answers short).
ReferenceResult referenceCheck(const ReferenceTables& tables, const std::u16string& text,
                               std::int32_t totalLength, std::int32_t quantization,
                               std::int32_t engineType, std::int32_t accuracyBoost);

}  // namespace kjf::test
