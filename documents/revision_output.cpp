// The markup the revision writer writes: changed runs split around w:del and w:ins, comment
// ranges and references, the new document part and the comments' entries.
#include <algorithm>

#include "documents/revision_builder.h"
#include "documents/revision_markup.h"

namespace kjf::revision {

std::string_view RevisionBuilder::bytes(std::size_t begin, std::size_t end) const {
    return std::string_view(m_xml).substr(begin, end - begin);
}

std::string RevisionBuilder::revisionAttributes(std::size_t id) const {
    return " " + m_w + "id=\"" + std::to_string(id) + "\" " + m_w + "author=\"" + m_author + "\" " +
           m_w + "date=\"" + m_date + "\"";
}

std::string RevisionBuilder::textElement(std::u16string_view text, bool deleted) const {
    const std::string name = m_w + (deleted ? "delText" : "t");
    return "<" + name + " xml:space=\"preserve\">" + escapeXml(text) + "</" + name + ">";
}

std::string RevisionBuilder::runStart(std::int32_t run) {
    if (run < 0) {
        return "<" + m_w + "r>";
    }
    const DocxRun& r = m_map.runs[static_cast<std::size_t>(run)];
    std::string start(bytes(r.begin, r.startTagEnd));
    const std::string_view properties = bytes(r.propertiesBegin, r.propertiesEnd);
    // A tracked change of the run's formatting (w:rPrChange) carries a w:id, which must stay
    // unique: the first copy of the properties keeps it, every further copy takes a new one.
    if (m_propertiesCopied.insert(run).second) {
        return start.append(properties);
    }
    const std::string id = m_w + "id=\"";
    std::size_t done = 0;
    for (auto at = properties.find(id); at != std::string_view::npos;
         at = properties.find(id, done)) {
        const std::size_t digits = at + id.size();
        const std::size_t end = properties.find('"', digits);
        if (end == std::string_view::npos) {
            break;
        }
        start.append(properties.substr(done, digits - done)).append(std::to_string(m_nextId++));
        done = end;
    }
    return start.append(properties.substr(done));
}

std::string RevisionBuilder::runEnd(std::int32_t run) const {
    if (run < 0) {
        return "</" + m_w + "r>";
    }
    const DocxRun& r = m_map.runs[static_cast<std::size_t>(run)];
    const std::size_t closeTag = m_xml.rfind('<', r.end - 1);
    return std::string(bytes(closeTag, r.end));
}

void RevisionBuilder::writeAttachment(const Attachment& a, std::string& out) {
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
            out += "<" + m_w + "commentRangeStart " + m_w + "id=\"" + std::to_string(a.id) + "\"/>";
            break;
        case Attachment::Kind::CommentEnd:
            out += "<" + m_w + "commentRangeEnd " + m_w + "id=\"" + std::to_string(a.id) + "\"/><" +
                   m_w + "r><" + m_w + "commentReference " + m_w + "id=\"" + std::to_string(a.id) +
                   "\"/></" + m_w + "r>";
            break;
    }
}

void RevisionBuilder::writePiece(std::int32_t run, std::size_t from, std::size_t to, bool deleted,
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
                std::u16string_view(child.text).substr(begin - starts[c], end - begin), deleted);
        } else {
            out += bytes(child.begin, child.end);
        }
    }
    out += runEnd(run);
    if (deleted) {
        out += "</" + m_w + "del>";
    }
}

std::string RevisionBuilder::rewriteRun(std::int32_t run, const RunEdit& edit) {
    std::string out;
    const std::size_t tokens = edit.deleted.size();
    std::size_t groupStart = 0;
    for (std::size_t t = 0; t <= tokens; ++t) {
        const auto found = edit.attachments.find(t);
        const bool boundary = found != edit.attachments.end();
        if (t == tokens || boundary || (t > groupStart && edit.deleted[t] != edit.deleted[t - 1])) {
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

void RevisionBuilder::writeDocument() {
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

void RevisionBuilder::writeComments(const std::vector<OpenFinding>& findings,
                                    const std::vector<std::size_t>& ids) {
    for (const std::size_t c : m_commentOrder) {
        m_comments += "<w:comment w:id=\"" + std::to_string(ids[c]) + "\" w:author=\"" + m_author +
                      "\" w:date=\"" + m_date + "\" w:initials=\"" + escapeXml(u"勘") +
                      "\"><w:p><w:r>" + "<w:t xml:space=\"preserve\">" +
                      escapeXml(xmlCharacters(commentText(findings[c]))) +
                      "</w:t></w:r></w:p></w:comment>";
    }
}

}  // namespace kjf::revision
