// Where the revision writer puts each tracked change and each comment: the differences and the
// findings become events in the document's order, and the events places in its runs.
#include "documents/revision_builder.h"

#include <algorithm>

#include "documents/revision_markup.h"

namespace kjf::revision {

RevisionBuilder::RevisionBuilder(const std::string& xml, const MappedDocxText& mapped,
                                 const RevisionSettings& settings, std::size_t firstId)
    : m_xml(xml), m_map(mapped.map), m_text(mapped.text), m_nextId(firstId) {
    m_author = escapeXml(xmlCharacters(settings.author));
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

bool RevisionBuilder::build(std::u16string_view current, const std::vector<TextChange>& changes,
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

const DocxUnitOrigin& RevisionBuilder::origin(std::size_t atom) const {
    return m_map.origins[m_atoms[atom].first];
}

bool RevisionBuilder::editable(std::size_t atom) const {
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

std::size_t RevisionBuilder::token(std::size_t atom) const {
    const DocxUnitOrigin& o = origin(atom);
    return m_tokenStart[static_cast<std::size_t>(o.run)][static_cast<std::size_t>(o.child)] +
           static_cast<std::size_t>(o.unit);
}

std::size_t RevisionBuilder::tokenAfter(std::size_t atom) const {
    // A CR LF is one atom of two units in one child (editable sees to that).
    return token(atom) + m_atoms[atom].count;
}

std::u16string RevisionBuilder::where(std::size_t atom) const {
    return u"第 " + number(atom + 1) + u" 个字符处";
}

bool RevisionBuilder::collectEvents(const std::vector<TextChange>& changes,
                                    const std::vector<OpenFinding>& findings,
                                    std::vector<Event>& events, RevisionResult& result) {
    // The comments' ends and starts, by position of the current text.
    std::vector<std::pair<std::size_t, std::size_t>> starts;
    std::vector<std::pair<std::size_t, std::size_t>> ends;
    for (std::size_t i = 0; i < findings.size(); ++i) {
        const OpenFinding& f = findings[i];
        if (f.length <= 0 || f.position < 0 ||
            f.position + f.length > static_cast<std::int64_t>(m_current.size())) {
            result.warnings.push_back(
                u"位置 " + number(static_cast<std::size_t>(std::max<std::int64_t>(0, f.position))) +
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

std::optional<Place> RevisionBuilder::insertionPlace(std::size_t boundary,
                                                     std::int32_t& propertiesRun) const {
    if (boundary > 0 && editable(boundary - 1)) {
        propertiesRun = origin(boundary - 1).run;
        return Place{propertiesRun, tokenAfter(boundary - 1), -1};
    }
    if (boundary < m_atoms.size() && editable(boundary)) {
        propertiesRun = origin(boundary).run;
        return Place{propertiesRun, token(boundary), -1};
    }
    const std::size_t unit = boundary < m_atoms.size() ? m_atoms[boundary].first : m_text.size();
    for (std::size_t p = 0; p < m_map.paragraphs.size(); ++p) {
        const DocxParagraph& paragraph = m_map.paragraphs[p];
        if (paragraph.textBegin == unit && !paragraph.hasText) {
            propertiesRun = -1;
            return Place{-1, 0, static_cast<std::int32_t>(p)};
        }
    }
    return std::nullopt;
}

std::vector<Attachment>& RevisionBuilder::attachmentsAt(const Place& place) {
    if (place.run >= 0) {
        return m_runEdits[place.run].attachments[place.token];
    }
    return m_paragraphInserts[place.paragraph];
}

RunEdit& RevisionBuilder::runEdit(std::int32_t run) {
    RunEdit& edit = m_runEdits[run];
    if (edit.deleted.empty()) {
        edit.deleted.assign(m_tokenStart[static_cast<std::size_t>(run)].back(), false);
    }
    return edit;
}

bool RevisionBuilder::placeEvents(const std::vector<Event>& events,
                                  const std::vector<OpenFinding>& findings,
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
                placeAfter[e] = Place{run, tokenAfter(event.atom), -1};
            }
        } else if (event.kind == Event::Kind::Insert) {
            placeBefore[e] = insertionPlace(event.atom, insertRun[e]);
            if (!placeBefore[e]) {
                result.message = where(event.atom) +
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
                        f.word + u"”落在无法加批注的位置（如表格结构、文本框或域），未加批注。");
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

}  // namespace kjf::revision
