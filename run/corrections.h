// A text with the suggestions of its findings applied.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kjf {

// One replacement: position and length in positions of the checked text, where every line break
// (CR LF, CR or LF) is one position, as the editor and the engine count them.
struct Correction {
    std::int64_t position = 0;
    std::int64_t length = 0;
    std::u16string replacement;
};

// original with every correction applied, its own line breaks kept. A correction that overlaps
// one before it (by position), or reaches beyond the text, is left out. Any thread.
std::u16string applyCorrections(std::u16string_view original, std::vector<Correction> corrections);

}  // namespace kjf
