// The character differences between two texts, found with dtl (a line pass first, then the
// characters of the lines that differ), for writing the changes back as revisions.
#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

namespace kjf {

// One difference: the units [oldBegin, oldEnd) of the old text became [newBegin, newEnd) of the
// new text. Either range may be empty.
struct TextChange {
    std::size_t oldBegin = 0;
    std::size_t oldEnd = 0;
    std::size_t newBegin = 0;
    std::size_t newEnd = 0;

    friend bool operator==(const TextChange&, const TextChange&) = default;
};

// The changes that turn oldText into newText, in order and never touching one another: applying
// every change to oldText gives newText. Lines (ending in LF) that differ are compared character
// by character, so a change never reaches over an unchanged line. Any thread.
std::vector<TextChange> diffTexts(std::u16string_view oldText, std::u16string_view newText);

}  // namespace kjf
