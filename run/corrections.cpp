#include "run/corrections.h"

#include <algorithm>

namespace kjf {

std::u16string applyCorrections(std::u16string_view original, std::vector<Correction> corrections) {
    // Where each checked position starts in original (one more entry for the end).
    std::vector<std::size_t> start;
    start.reserve(original.size() + 1);
    for (std::size_t i = 0; i < original.size(); ++i) {
        start.push_back(i);
        if (original[i] == u'\r' && i + 1 < original.size() && original[i + 1] == u'\n') {
            ++i;
        }
    }
    start.push_back(original.size());
    const auto positions = static_cast<std::int64_t>(start.size()) - 1;

    std::stable_sort(
        corrections.begin(), corrections.end(),
        [](const Correction& a, const Correction& b) { return a.position < b.position; });
    std::u16string out;
    out.reserve(original.size());
    std::int64_t done = 0;  // checked positions copied or replaced so far
    for (const Correction& c : corrections) {
        if (c.position < done || c.length < 0 || c.position + c.length > positions) {
            continue;
        }
        out.append(original.substr(
            start[static_cast<std::size_t>(done)],
            start[static_cast<std::size_t>(c.position)] - start[static_cast<std::size_t>(done)]));
        out += c.replacement;
        done = c.position + c.length;
    }
    out.append(original.substr(start[static_cast<std::size_t>(done)]));
    return out;
}

}  // namespace kjf
