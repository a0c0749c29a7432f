// Writing the work back into a .docx document: every difference between the imported text and
// the current text becomes a tracked change (修订) in the runs that held those characters, and
// every finding still open becomes a comment (批注) over its characters.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kjf {

// A finding that is still open, in positions of the current text (every line break one
// position, as the editor counts).
struct OpenFinding {
    std::int64_t position = 0;
    std::int64_t length = 0;
    std::u16string word;
    std::u16string suggestion;  // empty when there is none
    std::u16string note;  // what a finding without a suggestion says instead of "疑似错误"
};

// What a finding's comment says: "建议：" and the suggestion, otherwise the note, otherwise
// "疑似错误".
std::u16string commentText(const OpenFinding& finding);

struct RevisionSettings {
    std::u16string author = u"勘鉴坊";
    std::string date;  // "YYYY-MM-DDTHH:MM:SSZ"; empty: now
};

struct RevisionResult {
    bool ok = false;
    std::string docx;                      // the written document
    std::u16string message;                // why there is none, in words the user can be shown
    std::vector<std::u16string> warnings;  // findings that could not become comments
    std::size_t insertions = 0;
    std::size_t deletions = 0;
    std::size_t comments = 0;
};

// A copy of the .docx in source where the text imported from it (exactly as readDocument gave it)
// becomes current: deleted characters are wrapped in w:del (as w:delText), new ones in w:ins,
// both in runs with the run properties of the characters they replace or follow, with the
// author, the date and w:ids unused in the document; every finding becomes a comment in
// word/comments.xml (added with its relationship and content type when missing).
//
// What is written: a changed run is split around its changes; every other byte of
// word/document.xml, and every other part of the package, stays as it was. Characters can be
// changed only in runs of paragraphs of the document's body and its tables; a difference
// elsewhere (a paragraph or a table cell made or removed, a text box, a field, text of an
// earlier revision) refuses the whole document with a message and no bytes. A finding whose
// characters lie only there becomes a warning instead of a comment.
//
// Refused too: source that is no readable .docx, whose text is not imported (it changed since),
// or whose document part is not well-formed XML. Any thread.
RevisionResult writeDocxRevisions(std::string_view source, std::u16string_view imported,
                                  std::u16string_view current,
                                  const std::vector<OpenFinding>& findings,
                                  const RevisionSettings& settings = {});

}  // namespace kjf
