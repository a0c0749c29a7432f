// Showing text whose characters may not be visible on their own.
#pragma once

#include <string>
#include <string_view>

namespace kjf {

// True for a code point that draws nothing on its own: control and format characters, zero-width
// characters, variation selectors, fillers and the spaces other than U+0020, U+00A0 and U+3000.
bool isInvisibleCodePoint(char32_t c);

// The text with every invisible code point, and every lone surrogate, written as a token such as
// "<U+200B>"; when what is left holds nothing but blanks, they become tokens too, so the result
// is never blank unless the text is empty. For display only: the text itself stays as it was
// found. Any thread.
std::u16string visibleText(std::u16string_view text);

}  // namespace kjf
