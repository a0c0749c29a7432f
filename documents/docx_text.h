// The text of a .docx document's word/document.xml, read with pugixml, and where each of its
// characters came from: the run and the element of the markup that hold it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kjf {

// One element inside a run (w:r), after its properties (w:rPr).
struct DocxRunChild {
    enum class Kind {
        Text,       // w:t: its characters are text
        Character,  // w:tab, w:br, w:cr or w:noBreakHyphen: one character of text
        Other,      // anything else (a drawing, a field character, a footnote reference…)
    };
    Kind kind = Kind::Other;
    std::size_t begin = 0;  // the element's bytes in the XML: [begin, end)
    std::size_t end = 0;
    std::u16string text;  // Text: the decoded characters; Character: the one character
};

// A run whose characters can be changed: directly inside a paragraph (or a hyperlink, smart
// tag, custom XML or content control within it), holding only elements.
struct DocxRun {
    std::size_t begin = 0;            // bytes of the whole w:r element
    std::size_t end = 0;              //
    std::size_t startTagEnd = 0;      // bytes [begin, startTagEnd) are its start tag
    std::size_t propertiesBegin = 0;  // bytes of its w:rPr; both equal when it has none
    std::size_t propertiesEnd = 0;
    std::vector<DocxRunChild> children;
};

// A paragraph (w:p) that is neither inside another paragraph nor inside alternate content.
struct DocxParagraph {
    std::size_t begin = 0;  // bytes of the whole w:p element
    std::size_t end = 0;
    std::size_t contentBegin = 0;  // after its w:pPr, or after its start tag
    bool selfClosing = false;      // written <w:p/>
    std::size_t textBegin = 0;     // where its characters start in the text
    bool hasText = false;          // it holds characters of editable runs
};

// Where one UTF-16 unit of the text came from.
struct DocxUnitOrigin {
    std::int32_t run = -1;        // index in DocxTextMap::runs; -1: not in an editable run
    std::int32_t child = -1;      // index in that run's children
    std::int32_t unit = 0;        // index in that child's text
    std::int32_t paragraph = -1;  // for the line feed that ends a paragraph: that paragraph
};

struct DocxTextMap {
    std::string wordPrefix;     // the prefix of the WordprocessingML namespace ("w")
    std::string wordNamespace;  // its URI
    std::vector<DocxRun> runs;
    std::vector<DocxParagraph> paragraphs;
    std::vector<DocxUnitOrigin> origins;  // one for every unit of the text
};

// The text of word/document.xml: each paragraph becomes a line (lines are separated by LF), the
// cells of a table row are separated by tabs and the row ends its line, tabs stay tabs and
// breaks become LF; the fallback copy of alternate content, deleted text (with its tabs and
// breaks) and field codes are not text. Markup that is not well-formed is read up to its first
// fault. The result holds no U+0000. Any thread.
std::u16string docxXmlText(std::string_view xml);

// The same text, and whether it is the whole document: false when the markup is not well-formed
// (a truncated or damaged part), so that only what comes before the fault was read. The part may
// be stored as UTF-8 or, after its byte-order mark or as its XML declaration says, UTF-16.
struct DocxXmlText {
    std::u16string text;
    bool complete = true;
};
DocxXmlText readDocxXml(std::string_view xml);
// True when the part is stored as UTF-16 (which mapDocxXml does not map).
bool docxXmlIsUtf16(std::string_view xml);

// The same text with its map, for writing changes back. nullopt when xml is not well-formed
// (or holds U+0000), so that byte positions can be trusted. Any thread.
struct MappedDocxText {
    std::u16string text;
    DocxTextMap map;
};
std::optional<MappedDocxText> mapDocxXml(std::string_view xml);

}  // namespace kjf
