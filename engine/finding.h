// Findings of a proofreading run.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kjf {

// What a report of the engine means.
enum class FindingType : std::int32_t {
    Correct = 0,    // a known correct word; reported, never stored
    Error = 1,      // a known wrong word; marked red, may carry a suggestion
    Suspected = 2,  // a character that belongs to no known word; marked pink
};

// Who found a finding: the engine's dictionaries, the context check with its language model, or
// the context check's grammar rules.
enum class FindingSource : std::int32_t { Dictionary = 0, Context = 1, Rule = 2 };

// Whether findings of this type are stored, marked and listed.
constexpr bool isStoredFinding(FindingType type) {
    return type == FindingType::Error || type == FindingType::Suspected;
}

// The finding record: one Error or Suspected finding of a run.
struct rg_BiaoJiCiYuLei {
    FindingType type = FindingType::Correct;  // Error or Suspected in a stored finding
    std::int32_t position = 0;  // first position of word in the checked text (UTF-16 units)
    std::int32_t length = 0;    // number of positions the finding covers
    std::u16string word;        // the text found at position
    std::u16string suggestion;  // the correction of an Error; empty for Suspected
    FindingSource source = FindingSource::Dictionary;

    friend bool operator==(const rg_BiaoJiCiYuLei&, const rg_BiaoJiCiYuLei&) = default;
};

// The error list's 类型 cell, also in the exported workbook and the command-line tool's TSV:
// "错误" for a dictionary Error, "语境" for one of the context check, "语法" for one of its
// grammar rules, nothing for a Suspected finding.
constexpr std::u16string_view findingTypeText(FindingType type, FindingSource source) {
    if (type != FindingType::Error) {
        return u"";
    }
    switch (source) {
        case FindingSource::Context:
            return u"语境";
        case FindingSource::Rule:
            return u"语法";
        case FindingSource::Dictionary:
            break;
    }
    return u"错误";
}

}  // namespace kjf
