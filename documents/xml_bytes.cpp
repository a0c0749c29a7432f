// Byte positions of parsed XML nodes, and character data decoded as written.
#include "documents/xml_bytes.h"

#include <cstdint>
#include <cstring>

#include "text/utf.h"

namespace kjf {

namespace {

// A character reference's code point, when the document may hold it (no U+0000, none past
// U+10FFFF).
void appendReference(std::uint32_t value, std::u16string& out) {
    if (value != 0 && value <= 0x10FFFF) {
        appendCodePoint(value, out);
    }
}

// Where the element whose start tag begins at begin ends, found by reading its tags (quoted
// attribute values, comments, character data sections and instructions skipped); kNoPosition
// when the bytes end first.
std::size_t scannedElementEnd(std::string_view xml, std::size_t begin) {
    int depth = 0;
    std::size_t i = begin;
    while (i < xml.size()) {
        if (xml[i] != '<') {
            ++i;
            continue;
        }
        const std::string_view rest = xml.substr(i);
        const auto skip = [&](std::string_view open, std::string_view close) {
            if (!rest.starts_with(open)) {
                return false;
            }
            const std::size_t at = xml.find(close, i + open.size());
            i = at == std::string_view::npos ? xml.size() : at + close.size();
            return true;
        };
        if (skip("<!--", "-->") || skip("<![CDATA[", "]]>") || skip("<?", "?>") ||
            skip("<!", ">")) {
            continue;
        }
        const bool closing = xml.size() > i + 1 && xml[i + 1] == '/';
        char quote = 0;
        std::size_t j = i + 1;
        for (; j < xml.size(); ++j) {
            const char c = xml[j];
            if (quote != 0) {
                quote = c == quote ? 0 : quote;
            } else if (c == '"' || c == '\'') {
                quote = c;
            } else if (c == '>') {
                break;
            }
        }
        if (j >= xml.size()) {
            return kNoPosition;
        }
        if (closing) {
            --depth;
        } else if (xml[j - 1] != '/') {
            ++depth;
        }
        i = j + 1;
        if (depth <= 0) {
            return i;
        }
    }
    return kNoPosition;
}

}  // namespace

bool isNamed(std::string_view name, std::string_view prefix, std::string_view local) {
    if (prefix.empty()) {
        return name == local;
    }
    return name.size() == prefix.size() + 1 + local.size() && name.starts_with(prefix) &&
           name[prefix.size()] == ':' && name.substr(prefix.size() + 1) == local;
}

bool isBlank(const char* text) {
    for (; *text != '\0'; ++text) {
        if (*text != ' ' && *text != '\t' && *text != '\r' && *text != '\n') {
            return false;
        }
    }
    return true;
}

std::size_t nodeStart(std::string_view xml, pugi::xml_node node) {
    const std::ptrdiff_t offset = node.offset_debug();
    if (offset < 0 || static_cast<std::size_t>(offset) > xml.size()) {
        return kNoPosition;
    }
    if (node.type() == pugi::node_pcdata) {
        return static_cast<std::size_t>(offset);
    }
    return xml.rfind('<', static_cast<std::size_t>(offset));
}

// Between an element's end and the node that follows it in the document there is only whitespace
// and one closing tag for every ancestor that ends there, since comments, declarations and all
// character data are nodes of their own.
bool elementRange(std::string_view xml, pugi::xml_node element, std::size_t& begin,
                  std::size_t& end) {
    begin = nodeStart(xml, element);
    if (begin == kNoPosition) {
        return false;
    }
    pugi::xml_node next = element;
    int closers = 0;
    while (next.type() != pugi::node_document && !next.next_sibling()) {
        next = next.parent();
        ++closers;
    }
    std::size_t position = xml.size();
    const bool last = next.type() == pugi::node_document;
    if (last) {
        --closers;
    } else {
        position = nodeStart(xml, next.next_sibling());
        if (position == kNoPosition) {
            return false;
        }
    }
    // When the element ends the document, the first closing tag found from the end is the root's.
    std::size_t rootClose = kNoPosition;
    for (int i = 0; i < closers && position != kNoPosition && position > 0; ++i) {
        position = xml.rfind('<', position - 1);
        if (i == 0) {
            rootClose = position;
        }
    }
    if (position == kNoPosition || position == 0) {
        return false;
    }
    const std::size_t close = xml.rfind('>', position - 1);
    if (close == kNoPosition || close < begin) {
        return false;
    }
    end = close + 1;
    // After the root element only whitespace may follow: the parser drops any other text there,
    // so the bytes up to the last '>' would no longer be the element's alone.
    if (last) {
        std::size_t rootEnd = kNoPosition;
        if (closers == 0) {
            rootEnd = scannedElementEnd(xml, begin);
            if (rootEnd != end) {
                return false;
            }
        } else if (const std::size_t closeOfRoot = xml.find('>', rootClose);
                   rootClose != kNoPosition && closeOfRoot != kNoPosition) {
            rootEnd = closeOfRoot + 1;
        }
        if (rootEnd == kNoPosition ||
            xml.find_first_not_of(" \t\r\n", rootEnd) != std::string_view::npos) {
            return false;
        }
    }
    // The bytes must be exactly this element: its name after '<', and either its own
    // closing tag or "/>" with nothing inside.
    const std::string_view name = element.name();
    const auto nameAt = [&](std::size_t at) {
        return at + name.size() < end && xml.compare(at, name.size(), name) == 0 &&
               std::strchr(" \t\r\n/>", xml[at + name.size()]) != nullptr;
    };
    if (!nameAt(begin + 1)) {
        return false;
    }
    if (xml[end - 2] == '/' && xml.find('<', begin + 1) >= end) {
        return !element.first_child();
    }
    const std::size_t closeTag = xml.rfind('<', end - 1);
    return closeTag != kNoPosition && closeTag > begin && xml[closeTag + 1] == '/' &&
           nameAt(closeTag + 2);
}

std::size_t startTagEnd(std::string_view xml, pugi::xml_node element, std::size_t end) {
    if (const pugi::xml_node first = element.first_child()) {
        const std::size_t child = nodeStart(xml, first);
        return child == kNoPosition || child == 0 ? kNoPosition : xml.rfind('>', child - 1) + 1;
    }
    if (xml[end - 2] == '/') {
        return end;
    }
    const std::size_t closeTag = xml.rfind('<', end - 1);
    return xml.rfind('>', closeTag - 1) + 1;
}

std::u16string decodeCharacterData(std::string_view data) {
    std::u16string out;
    std::size_t i = 0;
    while (i < data.size()) {
        const auto amp = data.find('&', i);
        if (amp == std::string_view::npos) {
            out += utf8ToUtf16(data.substr(i));
            break;
        }
        out += utf8ToUtf16(data.substr(i, amp - i));
        const auto semicolon = data.find(';', amp);
        if (semicolon == std::string_view::npos || semicolon - amp > 12) {
            out.push_back(u'&');
            i = amp + 1;
            continue;
        }
        const std::string_view entity = data.substr(amp + 1, semicolon - amp - 1);
        if (entity == "lt") {
            out.push_back(u'<');
        } else if (entity == "gt") {
            out.push_back(u'>');
        } else if (entity == "amp") {
            out.push_back(u'&');
        } else if (entity == "quot") {
            out.push_back(u'"');
        } else if (entity == "apos") {
            out.push_back(u'\'');
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
                appendReference(value, out);
            }
        } else {
            // An entity the format does not define: kept as written.
            out += utf8ToUtf16(data.substr(amp, semicolon - amp + 1));
        }
        i = semicolon + 1;
    }
    return out;
}

std::optional<XmlRootEnd> xmlRootEnd(std::string_view xml) {
    pugi::xml_document document;
    if (xml.find('\0') != std::string_view::npos ||
        !document.load_buffer(xml.data(), xml.size(), kXmlParseOptions, pugi::encoding_utf8)) {
        return std::nullopt;
    }
    const pugi::xml_node root = document.document_element();
    std::size_t begin = 0;
    std::size_t end = 0;
    if (!root || !elementRange(xml, root, begin, end)) {
        return std::nullopt;
    }
    XmlRootEnd out;
    out.name = root.name();
    out.end = end;
    out.selfClosing = !root.first_child() && xml[end - 2] == '/';
    out.at = out.selfClosing ? end - 2 : xml.rfind('<', end - 1);
    return out;
}

}  // namespace kjf
