// Reading a file for import into the editor: text files of the usual encodings and .docx
// documents; everything else is refused with a message instead of being turned into junk.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "documents/document_source.h"

namespace kjf {

// What an import read. On failure text is empty and message says why, in words the user can be
// shown; the caller keeps the editor's text as it was. source tells what an export needs to hand
// the work back (its path is set by readDocument only).
struct [[nodiscard]] DocumentReadResult {
    bool ok = false;
    std::u16string text;
    std::u16string message;
    DocumentSource source;
};

// Most bytes of word/document.xml that a .docx may inflate to; larger documents are refused, so
// a hostile archive cannot make the reader take unbounded memory.
inline constexpr std::size_t kMaxDocxXmlSize = 256u << 20;

// Reads the file at path (UTF-8) for import:
// - UTF-16LE after an FF FE mark, and text that the lenient UTF-8 decoder reads to its end, are
//   decoded exactly as readTextFile decodes them;
// - a ZIP archive holding word/document.xml is read as a .docx document (readDocxText); when that
//   part is not well-formed, what comes before its fault is read and the source is incomplete;
// - other text that is valid GB18030 is decoded as GB18030;
// - anything else without zero bytes is read by the readTextFile rule (up to the first
//   undecodable byte);
// - an OLE2 compound file (.doc, .xls), another ZIP archive, and data with zero bytes are refused
//   as not text; a file that cannot be opened or read is refused with its own message.
// An empty file reads as an empty text. Any thread.
DocumentReadResult readDocument(const std::string& path);

// The same decision over a file's bytes.
DocumentReadResult decodeDocumentBytes(std::string_view bytes);

// True when bytes start like a ZIP archive (a local file header or an empty archive's end
// record).
bool looksLikeZip(std::string_view bytes);

// The text of a .docx held in bytes: word/document.xml read by docxXmlText (docx_text.h). nullopt
// when bytes are not a readable ZIP archive, hold no word/document.xml, or that part inflates to
// more than maxXmlSize bytes. Never crashes on corrupt or hostile input. Any thread.
std::optional<std::u16string> readDocxText(std::string_view bytes,
                                           std::size_t maxXmlSize = kMaxDocxXmlSize);

// The text of word/document.xml itself: docxXmlText. Markup that is not well-formed is read up
// to its first fault. The result holds no U+0000.
std::u16string docxXmlToText(std::string_view xml);

}  // namespace kjf
