// The .dict file format: raw UTF-16LE, one entry per line; error entries are "错词$=$正词".
// Word lists made in a text editor are UTF-8, and are read as such.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "engine/word_table.h"

namespace kjf {

enum class DictionaryEncoding { Utf16LittleEndian, Utf16BigEndian, Utf8 };

// A .dict file's text. complete: the text holds every character of the bytes; only zero bytes
// follow where it ends.
struct DecodedDictionary {
    std::u16string text;
    DictionaryEncoding encoding = DictionaryEncoding::Utf16LittleEndian;
    bool complete = true;
};

// The bytes of a .dict file as text. They are UTF-8 when they start with the mark EF BB BF, or
// when they hold no zero byte, are valid UTF-8 throughout and hold at least one multi-byte
// sequence (a UTF-16LE file of one line can be all ASCII bytes: 中 is 2D 4E); UTF-16BE after the
// mark FE FF; UTF-16LE otherwise. A mark stays in front of the text as U+FEFF. UTF-16 is taken
// as pairs of bytes, an odd last byte as one more unit with a zero high byte; UTF-8 strictly
// (no overlong form, surrogate or value past U+10FFFF). The text ends at the first U+0000 (with
// untilZero false it goes on through them) and, in UTF-8, at the first byte that is no part of a
// valid sequence.
DecodedDictionary decodeDictionaryFile(std::string_view bytes, bool untilZero = true);

// decodeDictionaryFile's text.
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
inline constexpr std::uint32_t kDictionaryReadingRevision = 3;

// The wrong word and the suggestion of an error dictionary's line: the line cut at every '$' and
// '=' must leave exactly two pieces that are not empty once trimmed of code units <= U+0020.
// nullopt for any other line. The one rule of what an error entry is, for loading and for every
// check of a file.
std::optional<std::pair<std::u16string_view, std::u16string_view>> errorEntryOfLine(
    std::u16string_view line);

// Parses a dictionary's text into entries, in file order. Lines end at every CR and every LF and
// are trimmed of code units <= U+0020; empty lines are skipped. One leading U+FEFF (a byte-order
// mark that editors add) is skipped. A correct dictionary takes each line as a word with tag as
// its value; an error dictionary cuts each line at every '$' and '=' and takes it only when
// exactly two non-empty pieces remain (wrong word, suggestion). An entry whose word is longer
// than kMaxEntryLength is skipped; returns how many were.
std::size_t parseDictionaryText(std::u16string_view text, bool errorDictionary,
                                std::u16string_view tag, WordBatch& batch);

// Where the text of a .dict file ends early: the 1-based number of the line that holds the first
// U+0000 or the first byte that is no UTF-8 when anything but zero bytes follows it (the entries
// behind it are lost), or 0 when the text is complete.
std::int32_t lineCutShortAt(const DecodedDictionary& decoded);

}  // namespace kjf
