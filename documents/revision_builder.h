// The revision writer's builder: turns the differences between the imported and the current text
// of word/document.xml, and the open findings, into the new document part and its comments.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "documents/docx_text.h"
#include "documents/revision_writer.h"
#include "documents/text_diff.h"

namespace kjf::revision {

// One position of the text as the editor counts it: one unit, or a CR LF pair.
struct Atom {
    std::uint32_t first = 0;  // its first unit in the imported text
    std::uint32_t count = 1;
};

// What the output holds, in the document's order.
struct Event {
    enum class Kind { Keep, Delete, Insert, CommentStart, CommentEnd };
    Kind kind = Kind::Keep;
    std::size_t atom = 0;     // Keep, Delete: the atom; Insert: the boundary before atom
    std::size_t begin = 0;    // Insert: the current text's units [begin, end)
    std::size_t end = 0;      //
    std::size_t comment = 0;  // CommentStart, CommentEnd: index in the comments
};

// A place between two tokens of a run, or at the start of an empty paragraph.
struct Place {
    std::int32_t run = -1;        // >= 0: before token `token` of this run
    std::size_t token = 0;        //
    std::int32_t paragraph = -1;  // run < 0: at the content start of this paragraph
};

// Something written at a place, in the order of the events.
struct Attachment {
    enum class Kind { Insert, CommentStart, CommentEnd };
    Kind kind = Kind::Insert;
    std::u16string text;    // Insert
    std::int32_t run = -1;  // Insert: the run whose properties it takes, -1 for none
    std::size_t id = 0;     // the w:id
};

// What changes in one run.
struct RunEdit {
    std::vector<bool> deleted;                                   // per token
    std::map<std::size_t, std::vector<Attachment>> attachments;  // by token boundary
};

// Builds one document part from the map of its text. One object per document; any thread.
class RevisionBuilder {
  public:
    RevisionBuilder(const std::string& xml, const MappedDocxText& mapped,
                    const RevisionSettings& settings, std::size_t firstId);

    // The imported text as the editor counts it (a CR LF pair one position, read as LF).
    const std::u16string& editorText() const { return m_editorText; }

    // Builds the new document part; false with message when a change cannot be placed.
    bool build(std::u16string_view current, const std::vector<TextChange>& changes,
               const std::vector<OpenFinding>& findings, RevisionResult& result);

    const std::string& document() const { return m_out; }
    const std::string& commentsXml() const { return m_comments; }
    std::size_t nextId() const { return m_nextId; }

  private:
    // Deciding where each change and comment goes (revision_builder.cpp).
    const DocxUnitOrigin& origin(std::size_t atom) const;
    // Whether an atom's characters lie in an editable run (a CR LF pair in one text).
    bool editable(std::size_t atom) const;
    // The token of its run that holds an atom's first unit.
    std::size_t token(std::size_t atom) const;
    // The token just after an editable atom.
    std::size_t tokenAfter(std::size_t atom) const;
    // Where an atom is, in words for a message.
    std::u16string where(std::size_t atom) const;

    // The changes and the comments' edges as events in the document's order; false with
    // message when a change falls where characters cannot be changed.
    bool collectEvents(const std::vector<TextChange>& changes,
                       const std::vector<OpenFinding>& findings, std::vector<Event>& events,
                       RevisionResult& result);

    // Where an insertion before atom `boundary` goes: after the atom before it, before the
    // atom after it, or into the empty paragraph that starts there.
    std::optional<Place> insertionPlace(std::size_t boundary, std::int32_t& propertiesRun) const;

    std::vector<Attachment>& attachmentsAt(const Place& place);
    RunEdit& runEdit(std::int32_t run);

    // Records every event at its place in the runs and writes the comments' entries; false with
    // message when an insertion has no place.
    bool placeEvents(const std::vector<Event>& events, const std::vector<OpenFinding>& findings,
                     RevisionResult& result);

    // Writing the markup (revision_output.cpp).
    std::string_view bytes(std::size_t begin, std::size_t end) const;
    // w:id, w:author and w:date of a change.
    std::string revisionAttributes(std::size_t id) const;
    // A w:t (or w:delText) holding text.
    std::string textElement(std::u16string_view text, bool deleted) const;
    // A run's start tag and properties as written (run < 0: a bare w:r), and its end tag.
    std::string runStart(std::int32_t run);
    std::string runEnd(std::int32_t run) const;
    void writeAttachment(const Attachment& a, std::string& out);

    // The tokens [from, to) of a run as one run of their own, wrapped in w:del when deleted.
    void writePiece(std::int32_t run, std::size_t from, std::size_t to, bool deleted,
                    std::string& out);

    // The markup that replaces a changed run.
    std::string rewriteRun(std::int32_t run, const RunEdit& edit);
    // The document part: the source's bytes with every changed run and paragraph replaced.
    void writeDocument();
    // The w:comment entries, in the order of their ranges.
    void writeComments(const std::vector<OpenFinding>& findings,
                       const std::vector<std::size_t>& ids);

    const std::string& m_xml;
    const DocxTextMap& m_map;
    const std::u16string& m_text;
    std::u16string m_editorText;
    std::vector<Atom> m_atoms;
    std::vector<std::vector<std::size_t>> m_tokenStart;
    std::u16string_view m_current;
    std::map<std::int32_t, RunEdit> m_runEdits;
    std::map<std::int32_t, std::vector<Attachment>> m_paragraphInserts;
    std::vector<std::size_t> m_commentOrder;
    std::size_t m_nextId;
    std::set<std::int32_t> m_propertiesCopied;  // runs whose properties were written once
    std::size_t m_insertions = 0;
    std::size_t m_deletions = 0;
    std::string m_author;
    std::string m_date;
    std::string m_w;
    std::string m_out;
    std::string m_comments;
};

}  // namespace kjf::revision
