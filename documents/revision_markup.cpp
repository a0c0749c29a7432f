// Escaped text, the time, free ids and appended children for the revision writer's markup.
#include "documents/revision_markup.h"

#include <algorithm>
#include <cstdio>
#include <ctime>

#include "documents/xml_bytes.h"
#include "text/utf.h"

namespace kjf::revision {

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
                // A CR written as it is would be read back as LF.
                if (static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\n') {
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

std::u16string xmlCharacters(std::u16string_view text) {
    std::u16string out(text);
    for (char16_t& unit : out) {
        if ((unit < 0x20 && unit != u'\t' && unit != u'\n' && unit != u'\r') || unit == 0xFFFE ||
            unit == 0xFFFF) {
            unit = 0xFFFD;
        }
    }
    return out;
}

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

}  // namespace kjf::revision
