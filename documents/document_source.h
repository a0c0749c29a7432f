// What an import remembers about the file it read, so that the work can be handed back in the
// source's own form: a .docx with tracked changes, or text in its encoding and line ends.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "documents/revision_writer.h"

namespace kjf {

enum class SourceKind { Text, Docx };

// How a text source was encoded. UTF-8 keeps whether it started with the mark EF BB BF (the
// import keeps that mark as a U+FEFF first character).
enum class TextEncoding { Utf8, Utf8WithMark, Utf16LeWithMark, Gb18030 };

// A text source's line breaks: the kind it holds most (the first of equals); LF without any.
enum class LineEnd { CrLf, Lf, Cr };

struct DocumentSource {
    SourceKind kind = SourceKind::Text;
    TextEncoding encoding = TextEncoding::Utf8;
    LineEnd lineEnd = LineEnd::Lf;
    std::u16string importedText;    // the text exactly as the import gave it
    bool complete = true;           // the whole file was decoded (not cut at an undecodable byte)
    std::size_t byteSize = 0;       // of the file read
    std::uint64_t contentHash = 0;  // of the bytes read, to tell a file changed since
    std::string path;               // UTF-8; empty when read from bytes
};

// The line-break kind text holds most.
LineEnd detectLineEnd(std::u16string_view text);

// "NAME-校对.EXT" beside the source: .docx for a document, the source's own extension (or .txt)
// for text. path is UTF-8.
std::string revisedFileName(const std::string& path, SourceKind kind);

// The current text (line breaks as LF, one position each, as the editor holds them) as the bytes
// of a text source: its encoding and mark, its line breaks kept where the text around them is
// unchanged and new ones written as the source's line-end kind. nullopt with message when a
// character cannot be written in that encoding (a lone surrogate outside UTF-16, a character
// GB18030 lacks). Any thread.
std::optional<std::string> encodeRevisedText(const DocumentSource& source,
                                             std::u16string_view current, std::u16string& message);

struct ExportResult {
    bool ok = false;
    std::u16string message;  // why nothing was written
    std::u16string reason;   // for a failed write: the system's reason (WriteResult::reason())
    std::vector<std::u16string> warnings;  // written, but these findings got no comment
};

// Hands the work back: reads the source file again (refusing one that changed or vanished since
// the import), makes the revised document (writeDocxRevisions with findings) or text
// (encodeRevisedText) and writes it to outPath through a temporary file renamed into place, so a
// failure leaves an existing file whole. A source without a path (text that was never imported)
// is written as it is, with no file to compare. Refuses an outPath that is the source file itself.
// Any thread; the files are the caller's to keep still.
ExportResult exportRevised(const DocumentSource& source, std::u16string_view current,
                           const std::vector<OpenFinding>& findings, const std::string& outPath,
                           const RevisionSettings& settings = {});

// Whether two paths name the same existing file (the same device and inode, through links too).
bool sameFile(const std::string& a, const std::string& b);

}  // namespace kjf
