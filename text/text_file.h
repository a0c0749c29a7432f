// Shared text helpers: the split rule, the one rule for reading text files, the program directory.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "text/files.h"

namespace kjf {

// Cuts text at every code unit that occurs in separators (each one separates on its own), trims
// every piece of leading and trailing code units <= U+0020 and drops pieces that end up empty.
std::vector<std::u16string> splitText(std::u16string_view text, std::u16string_view separators);

// Trims leading and trailing code units <= U+0020.
std::u16string_view trimControlAndSpace(std::u16string_view text);

// The result of reading a text file, with what a caller that rewrites the file needs to know.
struct [[nodiscard]] TextFileContent {
    std::u16string text;
    bool exists = false;                      // something (file or directory) exists at the path
    bool readable = false;                    // the whole file was read
    bool complete = false;                    // readable, and decoding reached the end of the bytes
    ReadFailure failure = ReadFailure::None;  // why it was not readable
};

// Reads a text file whole: UTF-16LE after an FF FE mark and UTF-16BE after an FE FF mark (up to
// the first U+0000), otherwise lenient UTF-8 that stops at the first zero byte or undecodable
// sequence. A missing, unreadable or empty file, anything that is not a regular file, and a file
// of 2 GiB or more, read as empty text. Never fails otherwise; any
// thread. path is UTF-8.
std::u16string readTextFile(const std::string& path);
TextFileContent readTextFileChecked(const std::string& path);

// Decodes the bytes of a whole text file by the rule above.
TextFileContent decodeTextFileBytes(std::string_view bytes);

// GB18030 (and so GBK and GB 2312) to UTF-16 through iconv; nullopt unless every byte belongs to
// a valid sequence. Any thread.
std::optional<std::u16string> decodeGb18030Strict(std::string_view bytes);

// The directory of the running executable, ending in '/'; "./" when it cannot be found.
std::string programDirectory();

// Reads a decimal integer as the settings are read: optional blanks, an optional sign, the leading
// digits; text without digits reads as 0. Values beyond int32 saturate.
std::int32_t parseDecimal(std::u16string_view text);

}  // namespace kjf
