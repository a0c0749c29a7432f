// Reading the text of word/document.xml with pugixml, and with it where each character came from.
#include "documents/docx_text.h"

#include <pugixml.hpp>

#include <algorithm>

#include "documents/xml_bytes.h"
#include "text/utf.h"

namespace kjf {

namespace {

// Walks the parsed document in order and keeps what a reader of the document sees as text;
// with a map, also where every unit came from.
class DocxWalker {
  public:
    DocxWalker(std::string_view xml, DocxTextMap* map) : m_xml(xml), m_map(map) {}

    std::u16string run(const pugi::xml_document& document) {
        pugi::xml_node node = document.first_child();
        while (node) {
            if (enter(node) && node.first_child()) {
                node = node.first_child();
                continue;
            }
            while (node) {
                leave(node);
                if (node.next_sibling()) {
                    node = node.next_sibling();
                    break;
                }
                node = node.parent();
                if (node.type() == pugi::node_document) {
                    node = pugi::xml_node();
                }
            }
        }
        if (!m_out.empty() && m_out.back() == u'\n') {
            m_out.pop_back();
            if (m_map != nullptr) {
                m_map->origins.pop_back();
            }
        }
        if (m_map != nullptr) {
            m_map->wordPrefix = m_wordPrefix;
            m_map->wordNamespace = m_wordNamespace;
            for (DocxRun& run : m_map->runs) {
                for (DocxRunChild& child : run.children) {
                    if (child.kind == DocxRunChild::Kind::Character && child.text.empty()) {
                        child.kind = DocxRunChild::Kind::Other;
                    }
                }
            }
        }
        return std::move(m_out);
    }

  private:
    struct Table {
        bool inCell = false;
        bool rowHasCell = false;
        int cellParagraphs = 0;
    };

    // A run being walked: its index in the map (-1 when it cannot be edited).
    struct OpenRun {
        pugi::xml_node node;
        std::int32_t index = -1;
        std::vector<pugi::xml_node> children;  // those of the map's entry, in order
        std::size_t nextChild = 0;
    };

    bool word(std::string_view name, std::string_view local) const {
        return isNamed(name, m_wordPrefix, local);
    }

    void readNamespaces(pugi::xml_node element) {
        for (const pugi::xml_attribute attribute : element.attributes()) {
            const std::string_view key = attribute.name();
            std::string_view prefix;
            if (key == "xmlns") {
                prefix = "";
            } else if (key.starts_with("xmlns:")) {
                prefix = key.substr(6);
            } else {
                continue;
            }
            const std::string_view value = attribute.value();
            if (value == "http://schemas.openxmlformats.org/wordprocessingml/2006/main" ||
                value == "http://purl.oclc.org/ooxml/wordprocessingml/main") {
                m_wordPrefix.assign(prefix);
                m_wordNamespace.assign(value);
            } else if (value == "http://schemas.openxmlformats.org/markup-compatibility/2006") {
                m_compatibilityPrefix.assign(prefix);
            }
        }
    }

    // Returns whether the walk goes into the node's children.
    bool enter(pugi::xml_node node) {
        switch (node.type()) {
            case pugi::node_pcdata:
                if (m_inText > 0) {
                    appendCharacterData(node.value());
                }
                return false;
            case pugi::node_cdata:
                if (m_inText > 0) {
                    appendText(utf8ToUtf16(node.value()));
                }
                return false;
            case pugi::node_element:
                break;
            default:
                return false;
        }
        readNamespaces(node);
        const std::string_view name = node.name();
        std::int32_t child = -1;  // the node's index among an editable run's children
        if (!m_runs.empty() && m_runs.back().index >= 0 && node.parent() == m_runs.back().node) {
            OpenRun& open = m_runs.back();
            if (open.nextChild < open.children.size() && open.children[open.nextChild] == node) {
                child = static_cast<std::int32_t>(open.nextChild++);
            }
        }
        // Alternate content carries the same text twice; the fallback copy is for older readers.
        if (isNamed(name, m_compatibilityPrefix, "Fallback")) {
            return false;
        }
        if (isNamed(name, m_compatibilityPrefix, "AlternateContent")) {
            ++m_alternateContent;
        }
        if (word(name, "del") || word(name, "moveFrom")) {
            ++m_deleted;
        }
        if (m_deleted > 0 && (word(name, "tab") || word(name, "br") || word(name, "cr") ||
                              word(name, "noBreakHyphen") || word(name, "t"))) {
            // Tabs and breaks of deleted text are deleted too, like its w:delText; so is the text
            // of a tracked move's source, which keeps w:t (its copy stands at w:moveTo).
        } else if (word(name, "t")) {
            if (m_inText++ == 0) {
                m_textRun = child >= 0 ? m_runs.back().index : -1;
                m_textChild = child;
            }
        } else if (word(name, "tab")) {
            if (m_tabStops == 0) {
                appendCharacter(child, u'\t');
            }
        } else if (word(name, "tabs")) {
            ++m_tabStops;
        } else if (word(name, "br") || word(name, "cr")) {
            appendCharacter(child, u'\n');
        } else if (word(name, "noBreakHyphen")) {
            appendCharacter(child, u'-');
        } else if (word(name, "p")) {
            if (!m_tables.empty() && m_tables.back().inCell) {
                if (m_tables.back().cellParagraphs++ > 0) {
                    emit(u'\n', {});
                }
            }
            openParagraph(node);
        } else if (word(name, "r")) {
            openRun(node);
        } else if (word(name, "tbl")) {
            m_tables.emplace_back();
        } else if (word(name, "tr")) {
            if (!m_tables.empty()) {
                m_tables.back().rowHasCell = false;
            }
        } else if (word(name, "tc")) {
            if (!m_tables.empty()) {
                Table& table = m_tables.back();
                if (table.rowHasCell) {
                    emit(u'\t', {});
                }
                table.rowHasCell = true;
                table.inCell = true;
                table.cellParagraphs = 0;
            }
        }
        return true;
    }

    void leave(pugi::xml_node node) {
        if (node.type() != pugi::node_element) {
            return;
        }
        const std::string_view name = node.name();
        if (isNamed(name, m_compatibilityPrefix, "Fallback")) {
            return;
        }
        if (isNamed(name, m_compatibilityPrefix, "AlternateContent")) {
            --m_alternateContent;
        }
        if (word(name, "del") || word(name, "moveFrom")) {
            --m_deleted;
        }
        if (word(name, "t")) {
            m_inText = std::max(0, m_inText - 1);
        } else if (word(name, "tabs")) {
            m_tabStops = std::max(0, m_tabStops - 1);
        } else if (word(name, "p")) {
            const std::int32_t paragraph = m_paragraphs.empty() ? -1 : m_paragraphs.back();
            if (m_tables.empty() || !m_tables.back().inCell) {
                DocxUnitOrigin origin;
                origin.paragraph = paragraph;
                emit(u'\n', origin);
            }
            if (!m_paragraphs.empty()) {
                m_paragraphs.pop_back();
            }
        } else if (word(name, "r")) {
            if (!m_runs.empty()) {
                m_runs.pop_back();
            }
        } else if (word(name, "tc")) {
            if (!m_tables.empty()) {
                m_tables.back().inCell = false;
            }
        } else if (word(name, "tr")) {
            if (!m_tables.empty() && m_tables.back().rowHasCell) {
                emit(u'\n', {});
                m_tables.back().rowHasCell = false;
            }
        } else if (word(name, "tbl")) {
            if (!m_tables.empty()) {
                m_tables.pop_back();
            }
        }
    }

    void openParagraph(pugi::xml_node node) {
        if (m_map == nullptr) {
            return;
        }
        std::int32_t index = -1;
        if (m_paragraphs.empty() && m_alternateContent == 0) {
            DocxParagraph paragraph;
            if (elementRange(m_xml, node, paragraph.begin, paragraph.end)) {
                paragraph.selfClosing = !node.first_child() && m_xml[paragraph.end - 2] == '/';
                paragraph.contentBegin = startTagEnd(m_xml, node, paragraph.end);
                pugi::xml_node first = node.first_child();
                while (first && first.type() == pugi::node_pcdata && isBlank(first.value())) {
                    first = first.next_sibling();
                }
                std::size_t propertiesBegin = 0;
                if (first && first.type() == pugi::node_element && word(first.name(), "pPr") &&
                    !elementRange(m_xml, first, propertiesBegin, paragraph.contentBegin)) {
                    paragraph.contentBegin = kNoPosition;
                }
                paragraph.textBegin = m_out.size();
                if (paragraph.contentBegin != kNoPosition) {
                    index = static_cast<std::int32_t>(m_map->paragraphs.size());
                    m_map->paragraphs.push_back(paragraph);
                }
            }
        }
        m_paragraphs.push_back(index);
    }

    bool editableRunParent(pugi::xml_node parent) const {
        const std::string_view name = parent.name();
        return word(name, "p") || word(name, "hyperlink") || word(name, "smartTag") ||
               word(name, "customXml") || word(name, "sdtContent");
    }

    void openRun(pugi::xml_node node) {
        OpenRun open;
        open.node = node;
        if (m_map != nullptr && !m_paragraphs.empty() && m_paragraphs.back() >= 0 &&
            m_runs.empty() && editableRunParent(node.parent())) {
            open.index = describeRun(node, open.children);
        }
        m_runs.push_back(open);
    }

    // Adds the run to the map when it can be edited; its index, or -1.
    std::int32_t describeRun(pugi::xml_node node, std::vector<pugi::xml_node>& nodes) {
        DocxRun run;
        if (!elementRange(m_xml, node, run.begin, run.end)) {
            return -1;
        }
        run.startTagEnd = startTagEnd(m_xml, node, run.end);
        if (run.startTagEnd == kNoPosition) {
            return -1;
        }
        run.propertiesBegin = run.propertiesEnd = run.startTagEnd;
        bool first = true;
        for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling()) {
            if (child.type() == pugi::node_pcdata && isBlank(child.value())) {
                continue;
            }
            if (child.type() != pugi::node_element) {
                return -1;
            }
            const std::string_view name = child.name();
            if (first && word(name, "rPr")) {
                first = false;
                if (!elementRange(m_xml, child, run.propertiesBegin, run.propertiesEnd)) {
                    return -1;
                }
                continue;
            }
            first = false;
            DocxRunChild entry;
            if (word(name, "t")) {
                for (pugi::xml_node inner = child.first_child(); inner;
                     inner = inner.next_sibling()) {
                    if (inner.type() != pugi::node_pcdata && inner.type() != pugi::node_cdata) {
                        return -1;
                    }
                }
                entry.kind = DocxRunChild::Kind::Text;
            } else if (word(name, "tab") || word(name, "br") || word(name, "cr") ||
                       word(name, "noBreakHyphen")) {
                entry.kind = DocxRunChild::Kind::Character;
            }
            if (!elementRange(m_xml, child, entry.begin, entry.end)) {
                return -1;
            }
            run.children.push_back(std::move(entry));
            nodes.push_back(child);
        }
        m_map->runs.push_back(std::move(run));
        return static_cast<std::int32_t>(m_map->runs.size() - 1);
    }

    // A character that an element stands for (a tab, a break): part of a run's text when the
    // element is a child of an editable run.
    void appendCharacter(std::int32_t childIndex, char16_t character) {
        DocxUnitOrigin origin;
        if (m_map != nullptr && childIndex >= 0) {
            origin.run = m_runs.back().index;
            origin.child = childIndex;
            DocxRunChild& child = m_map->runs[static_cast<std::size_t>(origin.run)]
                                      .children[static_cast<std::size_t>(origin.child)];
            origin.unit = static_cast<std::int32_t>(child.text.size());
            child.text.push_back(character);
        }
        emit(character, origin);
    }

    void emit(char16_t unit, const DocxUnitOrigin& origin) {
        m_out.push_back(unit);
        if (m_map != nullptr) {
            m_map->origins.push_back(origin);
            if (origin.run >= 0) {
                m_map->paragraphs[static_cast<std::size_t>(m_paragraphs.back())].hasText = true;
            }
        }
    }

    // Characters of a w:t: they belong to its child entry when the run can be edited.
    void appendText(std::u16string_view text) {
        for (const char16_t unit : text) {
            if (unit == u'\0') {
                continue;
            }
            DocxUnitOrigin origin;
            if (m_map != nullptr && m_textRun >= 0) {
                DocxRunChild& child = m_map->runs[static_cast<std::size_t>(m_textRun)]
                                          .children[static_cast<std::size_t>(m_textChild)];
                origin.run = m_textRun;
                origin.child = m_textChild;
                origin.unit = static_cast<std::int32_t>(child.text.size());
                child.text.push_back(unit);
            }
            emit(unit, origin);
        }
    }

    // Characters of a w:t as written, entity references decoded.
    void appendCharacterData(std::string_view data) { appendText(decodeCharacterData(data)); }

    std::string_view m_xml;
    DocxTextMap* m_map;
    std::u16string m_out;
    std::string m_wordPrefix = "w";
    std::string m_wordNamespace = "http://schemas.openxmlformats.org/wordprocessingml/2006/main";
    std::string m_compatibilityPrefix = "mc";
    int m_inText = 0;
    int m_tabStops = 0;
    int m_alternateContent = 0;
    int m_deleted = 0;  // depth of tracked deletions (w:del, w:moveFrom)
    std::vector<Table> m_tables;
    std::vector<std::int32_t> m_paragraphs;
    std::vector<OpenRun> m_runs;
    std::int32_t m_textRun = -1;
    std::int32_t m_textChild = -1;
};

}  // namespace

bool docxXmlIsUtf16(std::string_view xml) {
    // UTF-16 announces itself in its first bytes: a mark, or the '<' that every part begins with.
    return xml.starts_with("\xFF\xFE") || xml.starts_with("\xFE\xFF") ||
           xml.starts_with(std::string_view("<\0", 2)) ||
           xml.starts_with(std::string_view("\0<", 2));
}

DocxXmlText readDocxXml(std::string_view xml) {
    pugi::xml_document document;
    pugi::xml_parse_result parsed;
    std::string copy;
    if (docxXmlIsUtf16(xml)) {
        parsed =
            document.load_buffer(xml.data(), xml.size(), kXmlParseOptions, pugi::encoding_auto);
    } else {
        // pugixml ends its input at a zero byte, which is never text anyway, nor part of
        // well-formed markup.
        const bool zero = xml.find('\0') != std::string_view::npos;
        if (zero) {
            copy.assign(xml);
            std::erase(copy, '\0');
        }
        const std::string_view input = zero ? std::string_view(copy) : xml;
        parsed =
            document.load_buffer(input.data(), input.size(), kXmlParseOptions, pugi::encoding_utf8);
        if (zero) {
            parsed.status = pugi::status_bad_pcdata;
        }
    }
    DocxXmlText read;
    read.text = DocxWalker(xml, nullptr).run(document);
    read.complete = static_cast<bool>(parsed);
    return read;
}

std::u16string docxXmlText(std::string_view xml) {
    return readDocxXml(xml).text;
}

std::optional<MappedDocxText> mapDocxXml(std::string_view xml) {
    if (xml.find('\0') != std::string_view::npos) {
        return std::nullopt;
    }
    pugi::xml_document document;
    if (!document.load_buffer(xml.data(), xml.size(), kXmlParseOptions, pugi::encoding_utf8)) {
        return std::nullopt;
    }
    MappedDocxText mapped;
    mapped.text = DocxWalker(xml, &mapped.map).run(document);
    return mapped;
}

}  // namespace kjf
