#include "documents/text_diff.h"

#include <dtl/dtl.hpp>

#include <algorithm>
#include <string>
#include <unordered_map>

namespace kjf {

namespace {

// Appends the changes of one stretch, character by character; offsets place it in the whole
// texts.
void diffStretch(std::u16string_view a, std::u16string_view b, std::size_t oldOffset,
                 std::size_t newOffset, std::vector<TextChange>& out) {
    if (a.empty() || b.empty()) {
        out.push_back({oldOffset, oldOffset + a.size(), newOffset, newOffset + b.size()});
        return;
    }
    dtl::Diff<char16_t, std::u16string> diff(std::u16string(a), std::u16string(b), true);
    diff.compose();
    std::size_t i = 0;  // next unit of a
    std::size_t j = 0;  // next unit of b
    bool open = false;
    TextChange change;
    for (const auto& [unit, info] : diff.getSes().getSequence()) {
        if (info.type == dtl::SES_COMMON) {
            if (open) {
                change.oldEnd = oldOffset + i;
                change.newEnd = newOffset + j;
                out.push_back(change);
                open = false;
            }
            ++i;
            ++j;
            continue;
        }
        if (!open) {
            change = {oldOffset + i, 0, newOffset + j, 0};
            open = true;
        }
        if (info.type == dtl::SES_DELETE) {
            ++i;
        } else {
            ++j;
        }
    }
    if (open) {
        change.oldEnd = oldOffset + i;
        change.newEnd = newOffset + j;
        out.push_back(change);
    }
}

// Appends the changes of one differing block. When both sides hold as many line breaks, line i
// is compared with line i: a line break never moves, though another alignment of the same cost
// might move one (and a moved paragraph break is a much larger change to a document).
void diffCharacters(std::u16string_view a, std::u16string_view b, std::size_t oldOffset,
                    std::size_t newOffset, std::vector<TextChange>& out) {
    if (std::count(a.begin(), a.end(), u'\n') != std::count(b.begin(), b.end(), u'\n')) {
        diffStretch(a, b, oldOffset, newOffset, out);
        return;
    }
    std::size_t i = 0;
    std::size_t j = 0;
    while (i <= a.size() && j <= b.size()) {
        const std::size_t aEnd = std::min(a.find(u'\n', i), a.size());
        const std::size_t bEnd = std::min(b.find(u'\n', j), b.size());
        const auto lineA = a.substr(i, aEnd - i);
        const auto lineB = b.substr(j, bEnd - j);
        if (lineA != lineB) {
            diffStretch(lineA, lineB, oldOffset + i, newOffset + j, out);
        }
        i = aEnd + 1;
        j = bEnd + 1;
    }
}

// The text cut after every LF; the last line may have none.
std::vector<std::u16string_view> linesOf(std::u16string_view text) {
    std::vector<std::u16string_view> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const auto lf = text.find(u'\n', start);
        const std::size_t end = lf == std::u16string_view::npos ? text.size() : lf + 1;
        lines.push_back(text.substr(start, end - start));
        start = end;
    }
    return lines;
}

}  // namespace

std::vector<TextChange> diffTexts(std::u16string_view oldText, std::u16string_view newText) {
    std::vector<TextChange> out;
    // The same start and end are common to both without a search.
    std::size_t prefix = 0;
    while (prefix < oldText.size() && prefix < newText.size() &&
           oldText[prefix] == newText[prefix]) {
        ++prefix;
    }
    std::size_t suffix = 0;
    while (suffix < oldText.size() - prefix && suffix < newText.size() - prefix &&
           oldText[oldText.size() - 1 - suffix] == newText[newText.size() - 1 - suffix]) {
        ++suffix;
    }
    // Whole lines, so that the line pass compares complete lines.
    while (prefix > 0 && oldText[prefix - 1] != u'\n') {
        --prefix;
    }
    const std::u16string_view a = oldText.substr(prefix, oldText.size() - prefix - suffix);
    const std::u16string_view b = newText.substr(prefix, newText.size() - prefix - suffix);
    if (a.empty() && b.empty()) {
        return out;
    }

    // Every distinct line becomes a number; the line pass compares the numbers.
    const auto aLines = linesOf(a);
    const auto bLines = linesOf(b);
    std::unordered_map<std::u16string_view, std::uint32_t> ids;
    std::vector<std::uint32_t> aIds;
    std::vector<std::uint32_t> bIds;
    for (const auto& line : aLines) {
        aIds.push_back(ids.emplace(line, static_cast<std::uint32_t>(ids.size())).first->second);
    }
    for (const auto& line : bLines) {
        bIds.push_back(ids.emplace(line, static_cast<std::uint32_t>(ids.size())).first->second);
    }
    dtl::Diff<std::uint32_t, std::vector<std::uint32_t>> lineDiff(aIds, bIds, true);
    lineDiff.compose();

    std::size_t aLine = 0;
    std::size_t bLine = 0;
    std::size_t aPos = prefix;  // where line aLine starts in oldText
    std::size_t bPos = prefix;
    std::size_t blockA = 0;  // the differing block: lines [blockALine, aLine) and
    std::size_t blockB = 0;  // [blockBLine, bLine), starting at blockA and blockB
    bool inBlock = false;
    const auto closeBlock = [&] {
        if (inBlock) {
            diffCharacters(oldText.substr(blockA, aPos - blockA),
                           newText.substr(blockB, bPos - blockB), blockA, blockB, out);
            inBlock = false;
        }
    };
    for (const auto& [id, info] : lineDiff.getSes().getSequence()) {
        if (info.type == dtl::SES_COMMON) {
            closeBlock();
            aPos += aLines[aLine++].size();
            bPos += bLines[bLine++].size();
            continue;
        }
        if (!inBlock) {
            blockA = aPos;
            blockB = bPos;
            inBlock = true;
        }
        if (info.type == dtl::SES_DELETE) {
            aPos += aLines[aLine++].size();
        } else {
            bPos += bLines[bLine++].size();
        }
    }
    closeBlock();
    return out;
}

}  // namespace kjf
