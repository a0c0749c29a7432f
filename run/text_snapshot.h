// Answers the engine's text requests from a text held in memory.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kjf {

class rg_ChaCuoYinQing;

// The text of [position, position + length) clipped to text: fewer units at the end, nothing
// for an empty or negative range; a negative length means the whole text from position.
void copyTextRange(std::u16string_view text, std::int32_t position, std::int32_t length,
                   std::u16string& out);

// Binds the engine's onTextRequested to *text, which must outlive every run and not change
// during one.
void bindTextSnapshot(rg_ChaCuoYinQing& engine, const std::u16string* text);

// Every CR LF, lone CR and lone LF becomes one LF, as the editor holds line breaks.
std::u16string normalizeLineBreaks(std::u16string_view text);

}  // namespace kjf
