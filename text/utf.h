// Conversions between the core's UTF-16 text and UTF-8 bytes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kjf {

// Decodes UTF-8 leniently: 1- to 6-byte forms are accepted, overlong forms and surrogate values
// are taken as they stand, values above U+FFFF become surrogate pairs. Decoding ends quietly at a
// zero byte, at the end of the input, at a byte that cannot start a sequence or inside a sequence
// that is cut short; everything decoded so far is the result. Any thread.
std::u16string decodeUtf8Lenient(std::string_view bytes);

// Appends the UTF-16 units of code point value (a surrogate pair above U+FFFF). The caller makes
// sure that value is a scalar value (not a surrogate, at most U+10FFFF).
void appendCodePoint(std::uint32_t value, std::u16string& out);

// Like decodeUtf8Lenient, and tells whether decoding consumed every byte of the input.
struct LenientDecoding {
    std::u16string text;
    bool complete = false;
};
LenientDecoding decodeUtf8LenientChecked(std::string_view bytes);

// Takes bytes as UTF-16 code units, little- or big-endian, up to the first U+0000 (or through
// every unit, zeros included, with untilZero false); an odd last byte pairs with a zero byte into
// one last unit. complete tells whether the text runs to the end of the bytes. Any thread.
std::u16string decodeUtf16Units(std::string_view bytes, bool bigEndian, bool* complete = nullptr,
                                bool untilZero = true);

// Whether bytes start with the big-endian byte-order mark FE FF.
bool startsWithUtf16BigEndianMark(std::string_view bytes);

// Converts bytes from one encoding to another through iconv, into at most outCapacity bytes.
// nullopt when the encodings are unknown, a sequence is invalid or incomplete, or the output
// does not fit. Any thread.
std::optional<std::string> convertEncoding(const char* to, const char* from, std::string_view bytes,
                                           std::size_t outCapacity);

// Converts UTF-16 text to UTF-8 through iconv. Fails (nullopt) on a lone surrogate. Any thread.
std::optional<std::string> utf16ToUtf8(std::u16string_view text);

// As utf16ToUtf8, but a lone surrogate becomes U+FFFD, so the conversion never fails.
std::string utf16ToUtf8Lossy(std::u16string_view text);

// Strict UTF-8 to UTF-16 for text that comes from the system (arguments, paths); invalid
// sequences become U+FFFD.
std::u16string utf8ToUtf16(std::string_view bytes);

}  // namespace kjf
