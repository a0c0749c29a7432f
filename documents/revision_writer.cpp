#include "documents/revision_writer.h"

#include <pugixml.hpp>

#include <algorithm>
#include <ctime>
#include <map>
#include <optional>

#include "documents/document_reader.h"
#include "documents/docx_package.h"
#include "documents/docx_text.h"
#include "documents/text_diff.h"
#include "text/utf.h"

namespace kjf {

namespace {

const char16_t kNotDocx[] = u"源文件不是可读的 Word 文档（.docx），无法写入修订。";
const char16_t kTooLarge[] = u"源文件中的 Word 文档过大，无法写入修订。";
const char16_t kNotWellFormed[] =
    u"源文件的正文（word/document.xml）不是格式正确的 XML，无法写入修订。";
const char16_t kSourceChanged[] = u"源文件自导入以来已改变，与导入的文字不一致，无法写入修订。";
const char16_t kNoPrefix[] = u"源文件的正文未用命名空间前缀书写，无法写入修订。";
const char16_t kBrokenPart[] = u"源文件中的部件已损坏，无法写入修订：";
const char16_t kCannotPack[] = u"无法生成修订后的文档。";

constexpr char kDocumentPart[] = "word/document.xml";
constexpr char kDocumentRelationships[] = "word/_rels/document.xml.rels";
constexpr char kContentTypes[] = "[Content_Types].xml";
constexpr char kCommentsType[] =
    "application/vnd.openxmlformats-officedocument.wordprocessingml.comments+xml";
constexpr std::size_t kMaxPartSize = 64u << 20;

RevisionResult refusal(std::u16string message) {
    RevisionResult result;
    result.message = std::move(message);
    return result;
}

std::u16string number(std::size_t value) {
    return utf8ToUtf16(std::to_string(value));
}

std::string nowText() {
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    gmtime_r(&now, &utc);
    char buffer[32];
    std::strftime(buffer, sizeof buffer, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return buffer;
}

// Text for XML character data or an attribute value. Characters that XML 1.0 cannot hold are
// written as character references, as a document that held them wrote them; a lone surrogate
// becomes U+FFFD.
std::string escapeXml(std::u16string_view text) {
    std::string out;
    std::string utf8 = utf16ToUtf8Lossy(text);
    out.reserve(utf8.size());
    for (const char c : utf8) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            default:
                if (static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\n' && c != '\r') {
                    char reference[8];
                    std::snprintf(reference, sizeof reference, "&#x%X;",
                                  static_cast<unsigned>(static_cast<unsigned char>(c)));
                    out += reference;
                } else {
                    out += c;
                }
        }
    }
    return out;
}

// Whether a character can be written into a run's text as a tracked insertion.
bool insertable(std::u16string_view text, std::size_t i) {
    const char16_t u = text[i];
    if (u == u'\t') {
        return true;
    }
    if (u < 0x20 || u == 0xFFFE || u == 0xFFFF) {
        return false;
    }
    if (u >= 0xD800 && u <= 0xDBFF) {
        return i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF;
    }
    if (u >= 0xDC00 && u <= 0xDFFF) {
        return i > 0 && text[i - 1] >= 0xD800 && text[i - 1] <= 0xDBFF;
    }
    return true;
}

// The largest number in a w:id (of any prefix) of an XML part.
std::size_t largestId(std::string_view xml) {
    std::size_t largest = 0;
    for (auto at = xml.find(":id=\""); at != std::string_view::npos;
         at = xml.find(":id=\"", at + 1)) {
        std::size_t value = 0;
        std::size_t i = at + 5;
        bool digits = false;
        while (i < xml.size() && xml[i] >= '0' && xml[i] <= '9' && value < (1u << 30)) {
            value = value * 10 + static_cast<std::size_t>(xml[i] - '0');
            digits = true;
            ++i;
        }
        if (digits && i < xml.size() && xml[i] == '"') {
            largest = std::max(largest, value);
        }
    }
    return largest;
}

// xml with insertion added as the last children of its root element; nullopt when xml is not
// well-formed.
std::optional<std::string> appendToRoot(const std::string& xml, std::string_view insertion) {
    const auto root = xmlRootEnd(xml);
    if (!root) {
        return std::nullopt;
    }
    std::string out = xml.substr(0, root->at);
    if (root->selfClosing) {
        out += ">";
        out += insertion;
        out += "</" + root->name + ">";
        out += xml.substr(root->end);
    } else {
        out += insertion;
        out += xml.substr(root->at);
    }
    return out;
}

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

struct RunEdit {
    std::vector<bool> deleted;                                   // per token
    std::map<std::size_t, std::vector<Attachment>> attachments;  // by token boundary
};

class RevisionBuilder {
  public:
    RevisionBuilder(const std::string& xml, const MappedDocxText& mapped,
                    const RevisionSettings& settings, std::size_t firstId)
        : m_xml(xml), m_map(mapped.map), m_text(mapped.text), m_nextId(firstId) {
        m_author = escapeXml(settings.author);
        m_date = settings.date.empty() ? nowText() : settings.date;
        m_w = m_map.wordPrefix + ":";
        // Tokens of a run: the units of its text children, one for every other child.
        m_tokenStart.resize(m_map.runs.size());
        for (std::size_t r = 0; r < m_map.runs.size(); ++r) {
            std::size_t token = 0;
            for (const DocxRunChild& child : m_map.runs[r].children) {
                m_tokenStart[r].push_back(token);
                token += child.kind == DocxRunChild::Kind::Text ? child.text.size() : 1;
            }
            m_tokenStart[r].push_back(token);
        }
        for (std::uint32_t i = 0; i < m_text.size(); ++i) {
            Atom atom{i, 1};
            if (m_text[i] == u'\r') {
                if (i + 1 < m_text.size() && m_text[i + 1] == u'\n') {
                    atom.count = 2;
                    ++i;
                }
                m_editorText.push_back(u'\n');
            } else {
                m_editorText.push_back(m_text[i]);
            }
            m_atoms.push_back(atom);
        }
    }

    const std::u16string& editorText() const { return m_editorText; }

    // Builds the new document part; false with message when a change cannot be placed.
    bool build(std::u16string_view current, const std::vector<TextChange>& changes,
               const std::vector<OpenFinding>& findings, RevisionResult& result) {
        m_current = current;
        std::vector<Event> events;
        if (!collectEvents(changes, findings, events, result)) {
            return false;
        }
        if (!placeEvents(events, findings, result)) {
            return false;
        }
        writeDocument();
        return true;
    }

    const std::string& document() const { return m_out; }
    const std::string& commentsXml() const { return m_comments; }
    std::size_t nextId() const { return m_nextId; }

  private:
    const DocxUnitOrigin& origin(std::size_t atom) const {
        return m_map.origins[m_atoms[atom].first];
    }

    // Whether an atom's characters lie in an editable run (a CR LF pair in one text).
    bool editable(std::size_t atom) const {
        const DocxUnitOrigin& first = origin(atom);
        if (first.run < 0) {
            return false;
        }
        if (m_atoms[atom].count == 2) {
            const DocxUnitOrigin& second = m_map.origins[m_atoms[atom].first + 1];
            return second.run == first.run && second.child == first.child;
        }
        return true;
    }

    std::size_t token(std::size_t atom) const {
        const DocxUnitOrigin& o = origin(atom);
        return m_tokenStart[static_cast<std::size_t>(o.run)][static_cast<std::size_t>(o.child)] +
               static_cast<std::size_t>(o.unit);
    }

    std::u16string where(std::size_t atom) const {
        return u"第 " + number(atom + 1) + u" 个字符处";
    }

    bool collectEvents(const std::vector<TextChange>& changes,
                       const std::vector<OpenFinding>& findings, std::vector<Event>& events,
                       RevisionResult& result) {
        // The comments' ends and starts, by position of the current text.
        std::vector<std::pair<std::size_t, std::size_t>> starts;
        std::vector<std::pair<std::size_t, std::size_t>> ends;
        for (std::size_t i = 0; i < findings.size(); ++i) {
            const OpenFinding& f = findings[i];
            if (f.length <= 0 || f.position < 0 ||
                f.position + f.length > static_cast<std::int64_t>(m_current.size())) {
                result.warnings.push_back(
                    u"位置 " +
                    number(static_cast<std::size_t>(std::max<std::int64_t>(0, f.position))) +
                    u" 的问题“" + f.word + u"”不在文字范围内，未加批注。");
                continue;
            }
            starts.emplace_back(static_cast<std::size_t>(f.position), i);
            ends.emplace_back(static_cast<std::size_t>(f.position + f.length), i);
        }
        std::stable_sort(starts.begin(), starts.end());
        std::stable_sort(ends.begin(), ends.end());
        std::size_t nextStart = 0;
        std::size_t nextEnd = 0;
        std::size_t position = 0;  // in the current text
        const auto before = [&] {
            while (nextStart < starts.size() && starts[nextStart].first == position) {
                events.push_back({Event::Kind::CommentStart, 0, 0, 0, starts[nextStart++].second});
            }
        };
        const auto after = [&] {
            ++position;
            // A comment that ends here closes before one that starts here opens.
            while (nextEnd < ends.size() && ends[nextEnd].first == position) {
                events.push_back({Event::Kind::CommentEnd, 0, 0, 0, ends[nextEnd++].second});
            }
        };
        const auto keep = [&](std::size_t from, std::size_t to) {
            for (std::size_t a = from; a < to; ++a) {
                before();
                events.push_back({Event::Kind::Keep, a, 0, 0, 0});
                after();
            }
        };
        std::size_t atom = 0;
        for (const TextChange& change : changes) {
            keep(atom, change.oldBegin);
            for (std::size_t a = change.oldBegin; a < change.oldEnd; ++a) {
                if (!editable(a)) {
                    result.message =
                        where(a) +
                        u"的删改落在段落、表格结构或文本框、域、已有修订之中，无法写成修订。";
                    return false;
                }
                events.push_back({Event::Kind::Delete, a, 0, 0, 0});
            }
            for (std::size_t i = change.newBegin; i < change.newEnd; ++i) {
                if (m_current[i] == u'\n' || m_current[i] == u'\r') {
                    result.message = where(change.oldEnd) + u"新增了分段或换行，无法写成修订。";
                    return false;
                }
                if (!insertable(m_current, i)) {
                    result.message = where(change.oldEnd) + u"新增的文字含有无法写入文档的字符。";
                    return false;
                }
                // An insertion is cut where a comment starts or ends inside it.
                before();
                if (events.empty() || events.back().kind != Event::Kind::Insert ||
                    events.back().end != i) {
                    events.push_back({Event::Kind::Insert, change.oldEnd, i, i, 0});
                }
                events.back().end = i + 1;
                after();
            }
            atom = change.oldEnd;
        }
        keep(atom, m_atoms.size());
        return true;
    }

    // Where an insertion before atom `boundary` goes: after the atom before it, before the
    // atom after it, or into the empty paragraph that starts there.
    std::optional<Place> insertionPlace(std::size_t boundary, std::int32_t& propertiesRun) const {
        if (boundary > 0 && editable(boundary - 1)) {
            propertiesRun = origin(boundary - 1).run;
            return Place{propertiesRun, token(boundary - 1) + 1, -1};
        }
        if (boundary < m_atoms.size() && editable(boundary)) {
            propertiesRun = origin(boundary).run;
            return Place{propertiesRun, token(boundary), -1};
        }
        const std::size_t unit =
            boundary < m_atoms.size() ? m_atoms[boundary].first : m_text.size();
        for (std::size_t p = 0; p < m_map.paragraphs.size(); ++p) {
            const DocxParagraph& paragraph = m_map.paragraphs[p];
            if (paragraph.textBegin == unit && !paragraph.hasText) {
                propertiesRun = -1;
                return Place{-1, 0, static_cast<std::int32_t>(p)};
            }
        }
        return std::nullopt;
    }

    std::vector<Attachment>& attachmentsAt(const Place& place) {
        if (place.run >= 0) {
            return m_runEdits[place.run].attachments[place.token];
        }
        return m_paragraphInserts[place.paragraph];
    }

    RunEdit& runEdit(std::int32_t run) {
        RunEdit& edit = m_runEdits[run];
        if (edit.deleted.empty()) {
            edit.deleted.assign(m_tokenStart[static_cast<std::size_t>(run)].back(), false);
        }
        return edit;
    }

    bool placeEvents(const std::vector<Event>& events, const std::vector<OpenFinding>& findings,
                     RevisionResult& result) {
        // For each event that writes characters: the place before it and the place after it.
        std::vector<std::optional<Place>> placeBefore(events.size());
        std::vector<std::optional<Place>> placeAfter(events.size());
        std::vector<std::int32_t> insertRun(events.size(), -1);
        for (std::size_t e = 0; e < events.size(); ++e) {
            const Event& event = events[e];
            if (event.kind == Event::Kind::Keep || event.kind == Event::Kind::Delete) {
                if (editable(event.atom)) {
                    const std::int32_t run = origin(event.atom).run;
                    placeBefore[e] = Place{run, token(event.atom), -1};
                    placeAfter[e] = Place{run, token(event.atom) + 1, -1};
                }
            } else if (event.kind == Event::Kind::Insert) {
                placeBefore[e] = insertionPlace(event.atom, insertRun[e]);
                if (!placeBefore[e]) {
                    result.message =
                        where(event.atom) +
                        u"新增的文字不在可写成修订的段落之中（如表格结构、文本框或域）。";
                    return false;
                }
                placeAfter[e] = placeBefore[e];
            }
        }
        // Each comment from the first place of its characters to the last one.
        std::vector<std::optional<std::size_t>> firstEvent(findings.size());
        std::vector<std::optional<std::size_t>> lastEvent(findings.size());
        std::vector<std::size_t> open;
        for (std::size_t e = 0; e < events.size(); ++e) {
            const Event& event = events[e];
            if (event.kind == Event::Kind::CommentStart) {
                open.push_back(event.comment);
            } else if (event.kind == Event::Kind::CommentEnd) {
                std::erase(open, event.comment);
            } else if (event.kind != Event::Kind::Delete && placeBefore[e]) {
                for (const std::size_t c : open) {
                    if (!firstEvent[c]) {
                        firstEvent[c] = e;
                    }
                    lastEvent[c] = e;
                }
            }
        }
        std::vector<std::size_t> commentId(findings.size(), 0);
        for (std::size_t e = 0; e < events.size(); ++e) {
            const Event& event = events[e];
            switch (event.kind) {
                case Event::Kind::Keep:
                    break;
                case Event::Kind::Delete: {
                    const std::int32_t run = origin(event.atom).run;
                    RunEdit& edit = runEdit(run);
                    for (std::uint32_t u = 0; u < m_atoms[event.atom].count; ++u) {
                        edit.deleted[token(event.atom) + u] = true;
                    }
                    ++m_deletions;
                    break;
                }
                case Event::Kind::Insert: {
                    Attachment insert;
                    insert.kind = Attachment::Kind::Insert;
                    insert.text.assign(m_current.substr(event.begin, event.end - event.begin));
                    insert.run = insertRun[e];
                    insert.id = m_nextId++;
                    if (placeBefore[e]->run >= 0) {
                        runEdit(placeBefore[e]->run);
                    }
                    attachmentsAt(*placeBefore[e]).push_back(std::move(insert));
                    ++m_insertions;
                    break;
                }
                case Event::Kind::CommentStart: {
                    const std::size_t c = event.comment;
                    if (!firstEvent[c]) {
                        const OpenFinding& f = findings[c];
                        result.warnings.push_back(
                            u"位置 " + number(static_cast<std::size_t>(f.position)) + u" 的问题“" +
                            f.word +
                            u"”落在无法加批注的位置（如表格结构、文本框或域），未加批注。");
                        break;
                    }
                    commentId[c] = m_nextId++;
                    const Place& place = *placeBefore[*firstEvent[c]];
                    if (place.run >= 0) {
                        runEdit(place.run);
                    }
                    attachmentsAt(place).push_back(
                        {Attachment::Kind::CommentStart, {}, -1, commentId[c]});
                    m_commentOrder.push_back(c);
                    break;
                }
                case Event::Kind::CommentEnd: {
                    const std::size_t c = event.comment;
                    if (!firstEvent[c]) {
                        break;
                    }
                    const Place& place = *placeAfter[*lastEvent[c]];
                    if (place.run >= 0) {
                        runEdit(place.run);
                    }
                    attachmentsAt(place).push_back(
                        {Attachment::Kind::CommentEnd, {}, -1, commentId[c]});
                    break;
                }
            }
        }
        result.insertions = m_insertions;
        result.deletions = m_deletions;
        writeComments(findings, commentId);
        result.comments = m_commentOrder.size();
        return true;
    }

    std::string_view bytes(std::size_t begin, std::size_t end) const {
        return std::string_view(m_xml).substr(begin, end - begin);
    }

    std::string revisionAttributes(std::size_t id) const {
        return " " + m_w + "id=\"" + std::to_string(id) + "\" " + m_w + "author=\"" + m_author +
               "\" " + m_w + "date=\"" + m_date + "\"";
    }

    std::string textElement(std::u16string_view text, bool deleted) const {
        const std::string name = m_w + (deleted ? "delText" : "t");
        return "<" + name + " xml:space=\"preserve\">" + escapeXml(text) + "</" + name + ">";
    }

    std::string runStart(std::int32_t run) const {
        if (run < 0) {
            return "<" + m_w + "r>";
        }
        const DocxRun& r = m_map.runs[static_cast<std::size_t>(run)];
        return std::string(bytes(r.begin, r.startTagEnd)) +
               std::string(bytes(r.propertiesBegin, r.propertiesEnd));
    }

    std::string runEnd(std::int32_t run) const {
        if (run < 0) {
            return "</" + m_w + "r>";
        }
        const DocxRun& r = m_map.runs[static_cast<std::size_t>(run)];
        const std::size_t closeTag = m_xml.rfind('<', r.end - 1);
        return std::string(bytes(closeTag, r.end));
    }

    void writeAttachment(const Attachment& a, std::string& out) const {
        switch (a.kind) {
            case Attachment::Kind::Insert: {
                out += "<" + m_w + "ins" + revisionAttributes(a.id) + ">" + runStart(a.run);
                std::size_t start = 0;
                for (std::size_t i = 0; i <= a.text.size(); ++i) {
                    if (i == a.text.size() || a.text[i] == u'\t') {
                        if (i > start) {
                            out += textElement(std::u16string_view(a.text).substr(start, i - start),
                                               false);
                        }
                        if (i < a.text.size()) {
                            out += "<" + m_w + "tab/>";
                        }
                        start = i + 1;
                    }
                }
                out += runEnd(a.run) + "</" + m_w + "ins>";
                break;
            }
            case Attachment::Kind::CommentStart:
                out += "<" + m_w + "commentRangeStart " + m_w + "id=\"" + std::to_string(a.id) +
                       "\"/>";
                break;
            case Attachment::Kind::CommentEnd:
                out += "<" + m_w + "commentRangeEnd " + m_w + "id=\"" + std::to_string(a.id) +
                       "\"/><" + m_w + "r><" + m_w + "commentReference " + m_w + "id=\"" +
                       std::to_string(a.id) + "\"/></" + m_w + "r>";
                break;
        }
    }

    // The tokens [from, to) of a run as one run of their own, wrapped in w:del when deleted.
    void writePiece(std::int32_t run, std::size_t from, std::size_t to, bool deleted,
                    std::string& out) {
        if (from >= to) {
            return;
        }
        const DocxRun& r = m_map.runs[static_cast<std::size_t>(run)];
        const auto& starts = m_tokenStart[static_cast<std::size_t>(run)];
        if (deleted) {
            out += "<" + m_w + "del" + revisionAttributes(m_nextId++) + ">";
        }
        out += runStart(run);
        for (std::size_t c = 0; c < r.children.size(); ++c) {
            const std::size_t begin = std::max(from, starts[c]);
            const std::size_t end = std::min(to, starts[c + 1]);
            if (begin >= end) {
                continue;
            }
            const DocxRunChild& child = r.children[c];
            const bool whole = begin == starts[c] && end == starts[c + 1];
            if (child.kind == DocxRunChild::Kind::Text && (deleted || !whole)) {
                out += textElement(
                    std::u16string_view(child.text).substr(begin - starts[c], end - begin),
                    deleted);
            } else {
                out += bytes(child.begin, child.end);
            }
        }
        out += runEnd(run);
        if (deleted) {
            out += "</" + m_w + "del>";
        }
    }

    std::string rewriteRun(std::int32_t run, const RunEdit& edit) {
        std::string out;
        const std::size_t tokens = edit.deleted.size();
        std::size_t groupStart = 0;
        for (std::size_t t = 0; t <= tokens; ++t) {
            const auto found = edit.attachments.find(t);
            const bool boundary = found != edit.attachments.end();
            if (t == tokens || boundary ||
                (t > groupStart && edit.deleted[t] != edit.deleted[t - 1])) {
                if (t > groupStart) {
                    writePiece(run, groupStart, t, edit.deleted[groupStart], out);
                }
                groupStart = t;
            }
            if (boundary) {
                for (const Attachment& a : found->second) {
                    writeAttachment(a, out);
                }
            }
        }
        return out;
    }

    void writeDocument() {
        struct Splice {
            std::size_t begin;
            std::size_t end;
            std::string text;
        };
        std::vector<Splice> splices;
        for (const auto& [run, edit] : m_runEdits) {
            const DocxRun& r = m_map.runs[static_cast<std::size_t>(run)];
            splices.push_back({r.begin, r.end, rewriteRun(run, edit)});
        }
        for (const auto& [paragraph, attachments] : m_paragraphInserts) {
            const DocxParagraph& p = m_map.paragraphs[static_cast<std::size_t>(paragraph)];
            std::string text;
            for (const Attachment& a : attachments) {
                writeAttachment(a, text);
            }
            if (p.selfClosing) {
                // <w:p .../> becomes <w:p ...>…</w:p>.
                const std::string_view element = bytes(p.begin, p.end);
                const std::string name(element.substr(1, element.find_first_of(" \t\r\n/>") - 1));
                splices.push_back({p.begin, p.end,
                                   std::string(element.substr(0, element.size() - 2)) + ">" + text +
                                       "</" + name + ">"});
            } else {
                splices.push_back({p.contentBegin, p.contentBegin, std::move(text)});
            }
        }
        std::stable_sort(splices.begin(), splices.end(),
                         [](const Splice& a, const Splice& b) { return a.begin < b.begin; });
        std::size_t done = 0;
        m_out.reserve(m_xml.size() + m_xml.size() / 8);
        for (const Splice& s : splices) {
            m_out.append(m_xml, done, s.begin - done);
            m_out += s.text;
            done = s.end;
        }
        m_out.append(m_xml, done);
    }

    void writeComments(const std::vector<OpenFinding>& findings,
                       const std::vector<std::size_t>& ids) {
        for (const std::size_t c : m_commentOrder) {
            m_comments += "<w:comment w:id=\"" + std::to_string(ids[c]) + "\" w:author=\"" +
                          m_author + "\" w:date=\"" + m_date + "\" w:initials=\"" +
                          escapeXml(u"勘") + "\"><w:p><w:r>" + "<w:t xml:space=\"preserve\">" +
                          escapeXml(commentText(findings[c])) + "</w:t></w:r></w:p></w:comment>";
        }
    }

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
    std::size_t m_insertions = 0;
    std::size_t m_deletions = 0;
    std::string m_author;
    std::string m_date;
    std::string m_w;
    std::string m_out;
    std::string m_comments;
};

bool endsWith(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

// The comments part and the parts that must name it. Adds to parts; false with message when a
// part that must change cannot be read.
bool addComments(const PackageReader& package, const std::string& comments,
                 const std::string& wordNamespace, std::vector<PackagePart>& parts,
                 std::u16string& message) {
    const bool strict = wordNamespace == "http://purl.oclc.org/ooxml/wordprocessingml/main";
    const std::string relationshipType =
        strict ? "http://purl.oclc.org/ooxml/officeDocument/relationships/comments"
               : "http://schemas.openxmlformats.org/officeDocument/2006/relationships/comments";
    std::string relationships;
    const PackageStatus relationshipsStatus =
        package.read(kDocumentRelationships, kMaxPartSize, relationships);
    if (relationshipsStatus != PackageStatus::Ok && relationshipsStatus != PackageStatus::Missing) {
        message = kBrokenPart + utf8ToUtf16(kDocumentRelationships);
        return false;
    }
    std::string partName;
    std::vector<std::string> ids;
    if (relationshipsStatus == PackageStatus::Ok) {
        pugi::xml_document document;
        if (!document.load_buffer(relationships.data(), relationships.size())) {
            message = kBrokenPart + utf8ToUtf16(kDocumentRelationships);
            return false;
        }
        for (const pugi::xml_node r : document.document_element().children()) {
            ids.emplace_back(r.attribute("Id").value());
            if (endsWith(r.attribute("Type").value(), "/relationships/comments") &&
                std::string_view(r.attribute("TargetMode").value()) != "External") {
                const std::string target = r.attribute("Target").value();
                partName = target.starts_with('/') ? target.substr(1) : "word/" + target;
            }
        }
    }
    if (!partName.empty()) {
        // Comments of the document already: the new ones follow them.
        std::string existing;
        if (package.read(partName, kMaxPartSize, existing) != PackageStatus::Ok) {
            message = kBrokenPart + utf8ToUtf16(partName);
            return false;
        }
        const auto root = xmlRootEnd(existing);
        const auto colon = root ? root->name.find(':') : std::string::npos;
        if (!root || colon == std::string::npos) {
            message = kBrokenPart + utf8ToUtf16(partName);
            return false;
        }
        std::string prefixed = comments;
        const std::string prefix = root->name.substr(0, colon + 1);
        if (prefix != "w:") {
            for (std::size_t at = 0; (at = prefixed.find("w:", at)) != std::string::npos;) {
                // Only element and attribute names hold "w:" in the comments written here.
                if (at > 0 && (prefixed[at - 1] == '<' || prefixed[at - 1] == '/' ||
                               prefixed[at - 1] == ' ')) {
                    prefixed.replace(at, 2, prefix);
                    at += prefix.size();
                } else {
                    at += 2;
                }
            }
        }
        auto appended = appendToRoot(existing, prefixed);
        if (!appended) {
            message = kBrokenPart + utf8ToUtf16(partName);
            return false;
        }
        parts.push_back({partName, std::move(*appended)});
        return true;
    }

    partName = "word/comments.xml";
    for (int n = 1; package.contains(partName); ++n) {
        partName = "word/comments" + std::to_string(n) + ".xml";
    }
    parts.push_back({partName,
                     "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n"
                     "<w:comments xmlns:w=\"" +
                         wordNamespace + "\">" + comments + "</w:comments>"});

    std::string id = "rId1";
    for (int n = 1; std::find(ids.begin(), ids.end(), id) != ids.end(); ++n) {
        id = "rIdKjf" + std::to_string(n);
    }
    const std::string relationship = "<Relationship Id=\"" + id + "\" Type=\"" + relationshipType +
                                     "\" Target=\"" + partName.substr(5) + "\"/>";
    if (relationshipsStatus == PackageStatus::Missing) {
        parts.push_back({kDocumentRelationships,
                         "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n"
                         "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/"
                         "relationships\">" +
                             relationship + "</Relationships>"});
    } else if (auto appended = appendToRoot(relationships, relationship)) {
        parts.push_back({kDocumentRelationships, std::move(*appended)});
    } else {
        message = kBrokenPart + utf8ToUtf16(kDocumentRelationships);
        return false;
    }

    std::string types;
    pugi::xml_document typesDocument;
    if (package.read(kContentTypes, kMaxPartSize, types) != PackageStatus::Ok ||
        !typesDocument.load_buffer(types.data(), types.size()) || !xmlRootEnd(types)) {
        message = kBrokenPart + utf8ToUtf16(kContentTypes);
        return false;
    }
    const std::string typedName = "/" + partName;
    bool typed = false;
    for (const pugi::xml_node entry : typesDocument.document_element().children("Override")) {
        typed = typed || typedName == entry.attribute("PartName").value();
    }
    if (!typed) {
        parts.push_back({kContentTypes,
                         *appendToRoot(types, "<Override PartName=\"" + typedName +
                                                  "\" ContentType=\"" + kCommentsType + "\"/>")});
    }
    return true;
}

}  // namespace

std::u16string commentText(const OpenFinding& finding) {
    if (!finding.suggestion.empty()) {
        return u"建议：" + finding.suggestion;
    }
    if (!finding.note.empty()) {
        return finding.note;
    }
    return u"疑似错误";
}

RevisionResult writeDocxRevisions(std::string_view source, std::u16string_view imported,
                                  std::u16string_view current,
                                  const std::vector<OpenFinding>& findings,
                                  const RevisionSettings& settings) {
    const PackageReader package(source);
    if (!package.ok()) {
        return refusal(kNotDocx);
    }
    std::string xml;
    switch (package.read(kDocumentPart, kMaxDocxXmlSize, xml)) {
        case PackageStatus::Ok:
            break;
        case PackageStatus::TooLarge:
            return refusal(kTooLarge);
        default:
            return refusal(kNotDocx);
    }
    const auto mapped = mapDocxXml(xml);
    if (!mapped) {
        return refusal(kNotWellFormed);
    }
    if (mapped->text != imported) {
        return refusal(kSourceChanged);
    }
    if (mapped->map.wordPrefix.empty()) {
        return refusal(kNoPrefix);
    }
    // New w:ids follow every id of the document's parts.
    std::size_t largest = 0;
    for (const std::string& name : package.names()) {
        if (name.starts_with("word/") && endsWith(name, ".xml")) {
            std::string part;
            if (name == kDocumentPart) {
                largest = std::max(largest, largestId(xml));
            } else if (package.read(name, kMaxPartSize, part) == PackageStatus::Ok) {
                largest = std::max(largest, largestId(part));
            }
        }
    }

    RevisionBuilder builder(xml, *mapped, settings, largest + 1);
    const auto changes = diffTexts(builder.editorText(), current);
    RevisionResult result;
    if (!builder.build(current, changes, findings, result)) {
        result.warnings.clear();
        return result;
    }
    std::vector<PackagePart> parts;
    parts.push_back({kDocumentPart, builder.document()});
    if (!builder.commentsXml().empty() &&
        !addComments(package, builder.commentsXml(), mapped->map.wordNamespace, parts,
                     result.message)) {
        result.warnings.clear();
        return result;
    }
    auto written = rewritePackage(source, parts);
    if (!written) {
        return refusal(kCannotPack);
    }
    result.ok = true;
    result.docx = std::move(*written);
    return result;
}

}  // namespace kjf
