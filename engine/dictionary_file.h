// The .dict file format: raw UTF-16LE, one entry per line; error entries are "错词$=$正词".
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "engine/word_table.h"

namespace kjf {

// The bytes of a .dict file as code units: little-endian pairs (big-endian ones when the file
// starts with the mark FE FF), an odd last byte as one more unit with a zero high byte, ending at
// the first U+0000.
std::u16string decodeDictionaryBytes(std::string_view bytes);

// The code units of text as .dict bytes (UTF-16LE, no byte-order mark, no terminator).
std::string encodeDictionaryText(std::u16string_view text);

// The longest word an entry may have, in code units. Longer ones are not loaded: the scan's
// window is the longest word, and a line of half a million characters would make every position
// cost as much.
inline constexpr std::size_t kMaxEntryLength = 256;

// The revision of the rules above. Raise it with every change to how a file's bytes become
// entries: compiled dictionaries are named by it, so those made under older rules are rebuilt
// instead of being read back within one version of the program.
inline constexpr std::uint32_t kDictionaryReadingRevision = 2;

// Parses a dictionary's text into entries, in file order. Lines end at every CR and every LF and
// are trimmed of code units <= U+0020; empty lines are skipped. One leading U+FEFF (a byte-order
// mark that editors add) is skipped. A correct dictionary takes each line as a word with tag as
// its value; an error dictionary cuts each line at every '$' and '=' and takes it only when
// exactly two non-empty pieces remain (wrong word, suggestion). An entry whose word is longer
// than kMaxEntryLength is skipped; returns how many were.
std::size_t parseDictionaryText(std::u16string_view text, bool errorDictionary,
                                std::u16string_view tag, WordBatch& batch);

// Where the text of a .dict file's bytes ends early: the 1-based number of the line that holds
// the first U+0000 when anything but zero bytes follows it (the entries behind it are lost), or
// 0 when the text runs to the end of the bytes.
std::int32_t lineCutShortAt(std::string_view bytes, std::u16string_view decoded);

}  // namespace kjf
