// The .dict file format: raw UTF-16LE, one entry per line; error entries are "错词$=$正词".
#pragma once

#include <string>
#include <string_view>

#include "engine/word_table.h"

namespace kjf {

// The bytes of a .dict file as code units: little-endian pairs, an odd last byte as one more
// unit with a zero high byte, ending at the first U+0000.
std::u16string decodeDictionaryBytes(std::string_view bytes);

// The code units of text as .dict bytes (UTF-16LE, no byte-order mark, no terminator).
std::string encodeDictionaryText(std::u16string_view text);

// Parses a dictionary's text into entries, in file order. Lines end at every CR and every LF and
// are trimmed of code units <= U+0020; empty lines are skipped. One leading U+FEFF (a byte-order
// mark that editors add) is skipped. A correct dictionary takes each line as a word with tag as
// its value; an error dictionary cuts each line at every '$' and '=' and takes it only when
// exactly two non-empty pieces remain (wrong word, suggestion).
void parseDictionaryText(std::u16string_view text, bool errorDictionary, std::u16string_view tag,
                         WordBatch& batch);

}  // namespace kjf
