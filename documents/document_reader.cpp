#include "documents/document_reader.h"

#include <zip.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <vector>

#include "text/files.h"
#include "text/text_file.h"
#include "text/utf.h"

namespace kjf {

namespace {

const char16_t kCannotOpen[] = u"无法打开该文件：文件不存在。";
const char16_t kCannotRead[] = u"无法读取该文件。";
const char16_t kNotText[] = u"该文件不是文本文件，无法作为文本读取。";
const char16_t kOldOffice[] =
    u"该文件是旧版 Office 文档（.doc），无法作为文本读取。请在 Word 中另存为 .docx "
    u"后再导入，或复制其中的文字粘贴到编辑框。";
const char16_t kBrokenDocx[] = u"该 Word 文档（.docx）已损坏，无法读取。";
const char16_t kDocxTooLarge[] = u"该 Word 文档（.docx）过大，无法读取。";

DocumentReadResult failure(std::u16string_view message) {
    DocumentReadResult result;
    result.message.assign(message);
    return result;
}

DocumentReadResult success(std::u16string text) {
    DocumentReadResult result;
    result.ok = true;
    result.text = std::move(text);
    return result;
}

bool startsWith(std::string_view bytes, std::string_view prefix) {
    return bytes.size() >= prefix.size() && bytes.substr(0, prefix.size()) == prefix;
}

// GB18030 to UTF-16 through iconv; nullopt unless every byte belongs to a valid sequence.
std::optional<std::u16string> decodeGb18030Strict(std::string_view bytes) {
    // Every sequence of one, two or four bytes gives at most two UTF-16 units.
    const auto out = convertEncoding("UTF-16LE", "GB18030", bytes, bytes.size() * 2 + 4);
    if (!out) {
        return std::nullopt;
    }
    std::u16string text;
    text.reserve(out->size() / 2);
    for (std::size_t i = 0; i + 1 < out->size(); i += 2) {
        text.push_back(static_cast<char16_t>(static_cast<unsigned char>((*out)[i]) |
                                             (static_cast<unsigned char>((*out)[i + 1]) << 8)));
    }
    return text;
}

enum class DocxStatus { Ok, BrokenArchive, NoDocument, TooLarge, BrokenEntry };

constexpr char kDocumentPart[] = "word/document.xml";

DocxStatus readDocumentPart(std::string_view bytes, std::size_t maxXmlSize, std::string& xml) {
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* source = zip_source_buffer_create(bytes.data(), bytes.size(), 0, &error);
    if (source == nullptr) {
        zip_error_fini(&error);
        return DocxStatus::BrokenArchive;
    }
    zip_t* archive = zip_open_from_source(source, ZIP_RDONLY, &error);
    zip_error_fini(&error);
    if (archive == nullptr) {
        zip_source_free(source);
        return DocxStatus::BrokenArchive;
    }
    DocxStatus status = DocxStatus::Ok;
    const zip_int64_t index = zip_name_locate(archive, kDocumentPart, 0);
    zip_stat_t stat;
    zip_stat_init(&stat);
    zip_file_t* file = nullptr;
    if (index < 0) {
        status = DocxStatus::NoDocument;
    } else if (zip_stat_index(archive, static_cast<zip_uint64_t>(index), 0, &stat) == 0 &&
               (stat.valid & ZIP_STAT_SIZE) != 0 && stat.size > maxXmlSize) {
        status = DocxStatus::TooLarge;
    } else if ((file = zip_fopen_index(archive, static_cast<zip_uint64_t>(index), 0)) == nullptr) {
        status = DocxStatus::BrokenEntry;
    } else {
        // The stored size may lie: count what actually comes out.
        std::vector<char> chunk(64 * 1024);
        while (true) {
            const zip_int64_t n = zip_fread(file, chunk.data(), chunk.size());
            if (n < 0) {
                status = DocxStatus::BrokenEntry;
                break;
            }
            if (n == 0) {
                break;
            }
            if (xml.size() + static_cast<std::size_t>(n) > maxXmlSize) {
                status = DocxStatus::TooLarge;
                break;
            }
            xml.append(chunk.data(), static_cast<std::size_t>(n));
        }
        zip_fclose(file);
    }
    zip_discard(archive);
    if (status != DocxStatus::Ok) {
        xml.clear();
    }
    return status;
}

// A small pull reader over the markup of word/document.xml that keeps only what a reader of the
// document sees as text.
class DocumentXmlText {
  public:
    explicit DocumentXmlText(std::string_view xml) : m_xml(xml) {}

    std::u16string run() {
        if (startsWith(m_xml, "\xEF\xBB\xBF")) {
            m_pos = 3;
        }
        while (m_pos < m_xml.size()) {
            if (m_xml[m_pos] != '<') {
                auto next = m_xml.find('<', m_pos);
                if (next == std::string_view::npos) {
                    next = m_xml.size();
                }
                if (collecting()) {
                    appendCharacterData(m_xml.substr(m_pos, next - m_pos));
                }
                m_pos = next;
                continue;
            }
            const std::string_view rest = m_xml.substr(m_pos);
            if (startsWith(rest, "<!--")) {
                skipPast("-->");
            } else if (startsWith(rest, "<![CDATA[")) {
                const std::size_t begin = m_pos + 9;
                auto end = m_xml.find("]]>", begin);
                if (end == std::string_view::npos) {
                    end = m_xml.size();
                }
                if (collecting()) {
                    appendUtf8(m_xml.substr(begin, end - begin));
                }
                m_pos = std::min(end + 3, m_xml.size());
            } else if (startsWith(rest, "<?")) {
                skipPast("?>");
            } else if (startsWith(rest, "<!")) {
                // A document type declaration: skipped whole, its entities are never expanded.
                skipPast(">");
            } else {
                tag();
            }
        }
        std::u16string text = std::move(m_out);
        if (!text.empty() && text.back() == u'\n') {
            text.pop_back();
        }
        std::erase(text, u'\0');
        return text;
    }

  private:
    struct Table {
        bool inCell = false;
        bool rowHasCell = false;
        int cellParagraphs = 0;
    };

    bool collecting() const { return m_inText > 0 && m_skipDepth == 0; }

    void skipPast(std::string_view end) {
        const auto found = m_xml.find(end, m_pos);
        m_pos = found == std::string_view::npos ? m_xml.size() : found + end.size();
    }

    // Reads one tag from '<' through its '>', honouring quoted attribute values.
    void tag() {
        std::size_t i = m_pos + 1;
        char quote = 0;
        while (i < m_xml.size() && (quote != 0 || m_xml[i] != '>')) {
            const char c = m_xml[i];
            if (quote != 0) {
                quote = c == quote ? 0 : quote;
            } else if (c == '"' || c == '\'') {
                quote = c;
            }
            ++i;
        }
        const std::string_view inner = m_xml.substr(m_pos + 1, i - m_pos - 1);
        m_pos = i < m_xml.size() ? i + 1 : i;
        if (inner.empty()) {
            return;
        }
        const bool closing = inner.front() == '/';
        const bool empty = !closing && inner.back() == '/';
        std::string_view body = inner.substr(closing ? 1 : 0);
        if (empty) {
            body.remove_suffix(1);
        }
        const auto nameEnd = body.find_first_of(" \t\r\n/");
        const std::string_view name = body.substr(0, nameEnd);
        if (!closing) {
            if (body.find("xmlns") != std::string_view::npos) {
                readNamespaces(body.substr(name.size()));
            }
            start(name, empty);
            if (empty) {
                end(name);
            }
        } else {
            end(name);
        }
    }

    void readNamespaces(std::string_view attributes) {
        std::size_t i = 0;
        while (i < attributes.size()) {
            const auto eq = attributes.find('=', i);
            if (eq == std::string_view::npos) {
                return;
            }
            std::string_view key = attributes.substr(i, eq - i);
            while (!key.empty() && static_cast<unsigned char>(key.front()) <= 0x20) {
                key.remove_prefix(1);
            }
            while (!key.empty() && static_cast<unsigned char>(key.back()) <= 0x20) {
                key.remove_suffix(1);
            }
            auto open = attributes.find_first_of("\"'", eq);
            if (open == std::string_view::npos) {
                return;
            }
            const auto close = attributes.find(attributes[open], open + 1);
            if (close == std::string_view::npos) {
                return;
            }
            const std::string_view value = attributes.substr(open + 1, close - open - 1);
            std::string_view prefix;
            if (key == "xmlns") {
                prefix = "";
            } else if (startsWith(key, "xmlns:")) {
                prefix = key.substr(6);
            } else {
                i = close + 1;
                continue;
            }
            if (value == "http://schemas.openxmlformats.org/wordprocessingml/2006/main" ||
                value == "http://purl.oclc.org/ooxml/wordprocessingml/main") {
                m_wordPrefix.assign(prefix);
            } else if (value == "http://schemas.openxmlformats.org/markup-compatibility/2006") {
                m_compatibilityPrefix.assign(prefix);
            }
            i = close + 1;
        }
    }

    static bool named(std::string_view name, std::string_view prefix, std::string_view local) {
        if (prefix.empty()) {
            return name == local;
        }
        return name.size() == prefix.size() + 1 + local.size() && startsWith(name, prefix) &&
               name[prefix.size()] == ':' && name.substr(prefix.size() + 1) == local;
    }

    bool word(std::string_view name, std::string_view local) const {
        return named(name, m_wordPrefix, local);
    }

    void start(std::string_view name, bool empty) {
        if (m_skipDepth > 0) {
            m_skipDepth += empty ? 0 : 1;
            return;
        }
        // Alternate content carries the same text twice; the fallback copy is for older readers.
        if (named(name, m_compatibilityPrefix, "Fallback")) {
            m_skipDepth = empty ? 0 : 1;
            return;
        }
        if (word(name, "t")) {
            ++m_inText;
        } else if (word(name, "tab")) {
            if (m_tabStops == 0) {
                m_out.push_back(u'\t');
            }
        } else if (word(name, "tabs")) {
            ++m_tabStops;
        } else if (word(name, "br") || word(name, "cr")) {
            m_out.push_back(u'\n');
        } else if (word(name, "noBreakHyphen")) {
            m_out.push_back(u'-');
        } else if (word(name, "p")) {
            if (!m_tables.empty() && m_tables.back().inCell) {
                if (m_tables.back().cellParagraphs++ > 0) {
                    m_out.push_back(u'\n');
                }
            }
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
                    m_out.push_back(u'\t');
                }
                table.rowHasCell = true;
                table.inCell = true;
                table.cellParagraphs = 0;
            }
        }
    }

    void end(std::string_view name) {
        if (m_skipDepth > 0) {
            --m_skipDepth;
            return;
        }
        if (word(name, "t")) {
            m_inText = std::max(0, m_inText - 1);
        } else if (word(name, "tabs")) {
            m_tabStops = std::max(0, m_tabStops - 1);
        } else if (word(name, "p")) {
            if (m_tables.empty() || !m_tables.back().inCell) {
                m_out.push_back(u'\n');
            }
        } else if (word(name, "tc")) {
            if (!m_tables.empty()) {
                m_tables.back().inCell = false;
            }
        } else if (word(name, "tr")) {
            if (!m_tables.empty() && m_tables.back().rowHasCell) {
                m_out.push_back(u'\n');
                m_tables.back().rowHasCell = false;
            }
        } else if (word(name, "tbl")) {
            if (!m_tables.empty()) {
                m_tables.pop_back();
            }
        }
    }

    void appendUtf8(std::string_view bytes) { m_out += utf8ToUtf16(bytes); }

    void appendCodePoint(std::uint32_t value) {
        if (value == 0 || value > 0x10FFFF) {
            return;
        }
        if (value <= 0xFFFF) {
            m_out.push_back(static_cast<char16_t>(value));
        } else {
            const std::uint32_t v = value - 0x10000;
            m_out.push_back(static_cast<char16_t>(0xD800 | (v >> 10)));
            m_out.push_back(static_cast<char16_t>(0xDC00 | (v & 0x3FF)));
        }
    }

    void appendCharacterData(std::string_view data) {
        std::size_t i = 0;
        while (i < data.size()) {
            const auto amp = data.find('&', i);
            if (amp == std::string_view::npos) {
                appendUtf8(data.substr(i));
                return;
            }
            appendUtf8(data.substr(i, amp - i));
            const auto semicolon = data.find(';', amp);
            if (semicolon == std::string_view::npos || semicolon - amp > 12) {
                m_out.push_back(u'&');
                i = amp + 1;
                continue;
            }
            const std::string_view entity = data.substr(amp + 1, semicolon - amp - 1);
            if (entity == "lt") {
                m_out.push_back(u'<');
            } else if (entity == "gt") {
                m_out.push_back(u'>');
            } else if (entity == "amp") {
                m_out.push_back(u'&');
            } else if (entity == "quot") {
                m_out.push_back(u'"');
            } else if (entity == "apos") {
                m_out.push_back(u'\'');
            } else if (entity.size() >= 2 && entity[0] == '#') {
                const bool hex = entity[1] == 'x' || entity[1] == 'X';
                std::uint32_t value = 0;
                bool valid = entity.size() > (hex ? 2u : 1u);
                for (std::size_t k = hex ? 2 : 1; k < entity.size() && valid; ++k) {
                    const char c = entity[k];
                    int digit = -1;
                    if (c >= '0' && c <= '9') {
                        digit = c - '0';
                    } else if (hex && c >= 'a' && c <= 'f') {
                        digit = c - 'a' + 10;
                    } else if (hex && c >= 'A' && c <= 'F') {
                        digit = c - 'A' + 10;
                    }
                    valid = digit >= 0 && value <= 0x10FFFF;
                    value = value * (hex ? 16 : 10) + static_cast<std::uint32_t>(digit);
                }
                if (valid) {
                    appendCodePoint(value);
                }
            } else {
                // An entity the format does not define: kept as written.
                appendUtf8(data.substr(amp, semicolon - amp + 1));
            }
            i = semicolon + 1;
        }
    }

    std::string_view m_xml;
    std::size_t m_pos = 0;
    std::u16string m_out;
    std::string m_wordPrefix = "w";
    std::string m_compatibilityPrefix = "mc";
    int m_inText = 0;
    int m_tabStops = 0;
    int m_skipDepth = 0;
    std::vector<Table> m_tables;
};

}  // namespace

bool looksLikeZip(std::string_view bytes) {
    return startsWith(bytes, std::string_view("PK\x03\x04", 4)) ||
           startsWith(bytes, std::string_view("PK\x05\x06", 4));
}

std::u16string docxXmlToText(std::string_view xml) {
    return DocumentXmlText(xml).run();
}

std::optional<std::u16string> readDocxText(std::string_view bytes, std::size_t maxXmlSize) {
    std::string xml;
    if (readDocumentPart(bytes, maxXmlSize, xml) != DocxStatus::Ok) {
        return std::nullopt;
    }
    return docxXmlToText(xml);
}

DocumentReadResult decodeDocumentBytes(std::string_view bytes) {
    if (startsWith(bytes, "\xFF\xFE")) {
        return success(decodeTextFileBytes(bytes).text);
    }
    if (startsWith(bytes, "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1")) {
        return failure(kOldOffice);
    }
    if (looksLikeZip(bytes)) {
        std::string xml;
        switch (readDocumentPart(bytes, kMaxDocxXmlSize, xml)) {
            case DocxStatus::Ok:
                return success(docxXmlToText(xml));
            case DocxStatus::TooLarge:
                return failure(kDocxTooLarge);
            case DocxStatus::BrokenEntry:
                return failure(kBrokenDocx);
            case DocxStatus::BrokenArchive:
            case DocxStatus::NoDocument:
                return failure(kNotText);
        }
    }
    // Text never holds a zero byte outside UTF-16, which only the mark above announces.
    if (bytes.find('\0') != std::string_view::npos) {
        return failure(kNotText);
    }
    TextFileContent content = decodeTextFileBytes(bytes);
    if (content.complete) {
        return success(std::move(content.text));
    }
    if (auto text = decodeGb18030Strict(bytes)) {
        return success(std::move(*text));
    }
    return success(std::move(content.text));
}

DocumentReadResult readDocument(const std::string& path) {
    if (path.empty() || !pathExists(path)) {
        return failure(kCannotOpen);
    }
    const auto bytes = readWholeFile(path);
    if (!bytes) {
        return failure(kCannotRead);
    }
    return decodeDocumentBytes(*bytes);
}

}  // namespace kjf
