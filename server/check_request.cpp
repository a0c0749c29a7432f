#include "server/check_request.h"

#include <algorithm>
#include <array>
#include <nlohmann/json.hpp>

#include "text/utf.h"

namespace kjf::server {

namespace {

// The protocol's fields other than text and data, each one short: what a raw body may end (or
// start) with.
constexpr std::array<std::string_view, 24> kShortFields = {
    "language",
    "motherTongue",
    "preferredVariants",
    "preferredLanguages",
    "enabledRules",
    "disabledRules",
    "enabledCategories",
    "disabledCategories",
    "enabledOnly",
    "level",
    "username",
    "apiKey",
    "tokenV2",
    "ruleValues",
    "useragent",
    "noopLanguages",
    "mode",
    "allowIncompleteResults",
    "textSessionId",
    "abtest",
    "instanceId",
    "dicts",
    "callback",
    "sourceLanguage",
};

bool isShortField(std::string_view name) {
    return std::find(kShortFields.begin(), kShortFields.end(), name) != kShortFields.end();
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

// Characters an encoder writes as they are. Many leave the separators of a list, an address or a
// path unescaped (disabledRules=A,B, username=me@example.org): one of them in a short field must
// not turn the whole body, and with it an encoded text, into raw text.
bool isEncoderCharacter(char c) {
    const bool alnum = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    return alnum || std::string_view("-_.~*!'()+,@:/;$?").find(c) != std::string_view::npos;
}

// Whether every piece between '&' is "name=value" (or empty) in characters an encoder writes.
bool looksEncoded(std::string_view body) {
    int equalSigns = 0;
    for (std::size_t i = 0; i <= body.size(); ++i) {
        if (i == body.size() || body[i] == '&') {
            if (equalSigns > 1) {
                return false;
            }
            equalSigns = 0;
        } else if (body[i] == '=') {
            if (++equalSigns > 1) {
                return false;
            }
        } else if (body[i] == '%') {
            if (i + 2 >= body.size() || hexValue(body[i + 1]) < 0 || hexValue(body[i + 2]) < 0) {
                return false;
            }
            i += 2;
        } else if (!isEncoderCharacter(body[i])) {
            return false;
        }
    }
    // A piece without '=' is no field an encoder writes either, except an empty one.
    std::size_t start = 0;
    while (start <= body.size()) {
        const std::size_t end = std::min(body.find('&', start), body.size());
        const std::string_view piece = body.substr(start, end - start);
        if (!piece.empty() && piece.find('=') == std::string_view::npos) {
            return false;
        }
        start = end + 1;
    }
    return true;
}

std::string percentDecode(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '+') {
            out += ' ';
        } else if (text[i] == '%' && i + 2 < text.size() && hexValue(text[i + 1]) >= 0 &&
                   hexValue(text[i + 2]) >= 0) {
            out += static_cast<char>(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2]));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

// A "name=value" piece whose name is a short field not seen yet.
bool takeShortField(std::string_view piece, std::vector<FormField>& fields) {
    const std::size_t equals = piece.find('=');
    if (equals == std::string_view::npos) {
        return false;
    }
    const std::string_view name = piece.substr(0, equals);
    if (!isShortField(name) || std::any_of(fields.begin(), fields.end(),
                                           [&](const FormField& f) { return f.name == name; })) {
        return false;
    }
    fields.push_back({std::string(name), std::string(piece.substr(equals + 1))});
    return true;
}

std::vector<FormField> readRawForm(std::string_view body) {
    std::vector<FormField> fields;
    // Short fields before the text: each ends at the first '&'.
    while (true) {
        const std::size_t amp = body.find('&');
        if (amp == std::string_view::npos || !takeShortField(body.substr(0, amp), fields)) {
            break;
        }
        body.remove_prefix(amp + 1);
    }
    const bool longField = body.starts_with("text=") || body.starts_with("data=");
    if (!longField) {
        // No text to protect: every piece is a field of its own.
        std::size_t start = 0;
        while (start <= body.size()) {
            const std::size_t end = std::min(body.find('&', start), body.size());
            const std::string_view piece = body.substr(start, end - start);
            if (!piece.empty()) {
                const std::size_t equals = std::min(piece.find('='), piece.size());
                fields.push_back({std::string(piece.substr(0, equals)),
                                  std::string(piece.substr(std::min(equals + 1, piece.size())))});
            }
            start = end + 1;
        }
        return fields;
    }
    // Short fields after the text, from the end; a name seen before ends the search, since the
    // text may itself hold "&language=…".
    const std::size_t leading = fields.size();
    std::vector<FormField> trailing = fields;
    std::size_t textEnd = body.size();
    while (true) {
        const std::size_t amp = body.rfind('&', textEnd == 0 ? 0 : textEnd - 1);
        if (amp == std::string_view::npos || amp < 5 ||
            !takeShortField(body.substr(amp + 1, textEnd - amp - 1), trailing)) {
            break;
        }
        textEnd = amp;
    }
    fields.push_back({std::string(body.substr(0, 4)), std::string(body.substr(5, textEnd - 5))});
    // The trailing fields were found last first.
    for (std::size_t i = trailing.size(); i-- > leading;) {
        fields.push_back(std::move(trailing[i]));
    }
    return fields;
}

const FormField* findField(const std::vector<FormField>& fields, std::string_view name) {
    for (const auto& f : fields) {
        if (f.name == name) {
            return &f;
        }
    }
    return nullptr;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c; };
               return lower(x) == lower(y);
           });
}

// The text of UTF-8 bytes; false when they are not UTF-8.
bool decodeStrict(std::string_view bytes, std::u16string& text) {
    text = utf8ToUtf16(bytes);
    return utf16ToUtf8Lossy(text) == bytes;
}

// Builds checked and its map from posted pieces: kept pieces are checked as they stand, markup
// stands in checked as its interpretAs.
class CheckedTextBuilder {
  public:
    explicit CheckedTextBuilder(CheckRequest& request) : m_request(request) {}

    void addText(std::u16string_view text) {
        const auto base = static_cast<std::int32_t>(m_request.posted.size());
        m_request.posted += text;
        for (std::size_t i = 0; i < text.size(); ++i) {
            const auto at = base + static_cast<std::int32_t>(i);
            if (text[i] == u'\r') {
                const bool pair = i + 1 < text.size() && text[i + 1] == u'\n';
                push(u'\n', at, at + (pair ? 2 : 1));
                i += pair ? 1 : 0;
            } else {
                push(text[i], at, at + 1);
            }
        }
    }

    void addMarkup(std::u16string_view markup, std::u16string_view interpretAs) {
        const auto begin = static_cast<std::int32_t>(m_request.posted.size());
        m_request.posted += markup;
        const auto end = static_cast<std::int32_t>(m_request.posted.size());
        for (std::size_t i = 0; i < interpretAs.size(); ++i) {
            push(interpretAs[i] == u'\r' ? u'\n' : interpretAs[i], begin, end);
        }
    }

    void finish() {
        if (m_identity) {
            m_request.begins.clear();
            m_request.ends.clear();
        }
    }

  private:
    void push(char16_t unit, std::int32_t begin, std::int32_t end) {
        m_identity = m_identity && unit == m_request.posted[static_cast<std::size_t>(begin)] &&
                     end == begin + 1 &&
                     static_cast<std::size_t>(begin) == m_request.checked.size();
        m_request.checked.push_back(unit);
        m_request.begins.push_back(begin);
        m_request.ends.push_back(end);
    }

    CheckRequest& m_request;
    bool m_identity = true;
};

RequestError badRequest(std::string message) {
    return {400, std::move(message)};
}

// Reads the data field's annotation into request; false with error when it is malformed.
bool readAnnotation(std::string_view data, CheckRequest& request, RequestError& error) {
    const auto json = nlohmann::json::parse(data, nullptr, false);
    if (json.is_discarded()) {
        error = badRequest("data 字段不是有效的 JSON");
        return false;
    }
    if (!json.is_object() || !json.contains("annotation") || !json["annotation"].is_array()) {
        error = badRequest("data 字段须为 {\"annotation\":[…]}");
        return false;
    }
    CheckedTextBuilder builder(request);
    for (const auto& part : json["annotation"]) {
        const bool isText = part.is_object() && part.contains("text");
        const bool isMarkup = part.is_object() && part.contains("markup");
        const auto stringAt = [&](const char* key) -> const std::string* {
            const auto it = part.find(key);
            return it != part.end() && it->is_string() ? it->get_ptr<const std::string*>()
                                                       : nullptr;
        };
        if (isText == isMarkup || (isText && stringAt("text") == nullptr) ||
            (isMarkup && stringAt("markup") == nullptr) ||
            (part.contains("interpretAs") && stringAt("interpretAs") == nullptr)) {
            error = badRequest("annotation 的每一项须有且只有一个字符串 text 或 markup");
            return false;
        }
        // nlohmann-json has checked that the strings are UTF-8.
        if (isText) {
            builder.addText(utf8ToUtf16(*stringAt("text")));
        } else {
            const std::string* interpretAs = stringAt("interpretAs");
            builder.addMarkup(utf8ToUtf16(*stringAt("markup")),
                              interpretAs != nullptr ? utf8ToUtf16(*interpretAs) : u"");
        }
    }
    builder.finish();
    return true;
}

std::vector<std::string> commaList(std::string_view value) {
    std::vector<std::string> items;
    std::size_t start = 0;
    while (start <= value.size()) {
        const std::size_t end = std::min(value.find(',', start), value.size());
        if (end > start) {
            items.emplace_back(value.substr(start, end - start));
        }
        start = end + 1;
    }
    return items;
}

}  // namespace

std::vector<FormField> readForm(std::string_view body) {
    if (!looksEncoded(body)) {
        return readRawForm(body);
    }
    std::vector<FormField> fields;
    std::size_t start = 0;
    while (start <= body.size()) {
        const std::size_t end = std::min(body.find('&', start), body.size());
        const std::string_view piece = body.substr(start, end - start);
        if (!piece.empty()) {
            const std::size_t equals = piece.find('=');
            fields.push_back(
                {percentDecode(piece.substr(0, equals)), percentDecode(piece.substr(equals + 1))});
        }
        start = end + 1;
    }
    return fields;
}

std::int32_t CheckRequest::postedBegin(std::int32_t checkedBegin) const {
    return begins.empty() ? checkedBegin : begins[static_cast<std::size_t>(checkedBegin)];
}

std::int32_t CheckRequest::postedEnd(std::int32_t checkedEnd) const {
    return ends.empty() ? checkedEnd : ends[static_cast<std::size_t>(checkedEnd - 1)];
}

ParsedRequest parseCheckRequest(const std::vector<FormField>& fields) {
    ParsedRequest parsed;
    const auto fail = [&](std::string message) {
        parsed.error = badRequest(std::move(message));
        return parsed;
    };
    const auto count = [&](std::string_view name) {
        return std::count_if(fields.begin(), fields.end(),
                             [&](const FormField& f) { return f.name == name; });
    };
    const auto texts = count("text");
    const auto data = count("data");
    if (texts + data == 0) {
        return fail("缺少 text 或 data 字段");
    }
    if (texts + data > 1) {
        return fail("text 与 data 字段只能有一个");
    }
    const FormField* language = findField(fields, "language");
    if (language == nullptr) {
        return fail("缺少 language 字段（可用 zh-CN、zh 或 auto）");
    }
    const bool chinese =
        equalsIgnoringCase(language->value, "zh-CN") || equalsIgnoringCase(language->value, "zh");
    const bool detect = equalsIgnoringCase(language->value, "auto");
    if (!chinese && !detect) {
        const std::u16string shown = utf8ToUtf16(language->value).substr(0, 32);
        return fail("不支持的语言“" + utf16ToUtf8Lossy(shown) +
                    "”：本服务只校对中文（zh-CN、zh 或 auto）");
    }

    CheckRequest& request = parsed.request;
    request.detectLanguage = detect;
    if (texts == 1) {
        std::u16string text;
        if (!decodeStrict(findField(fields, "text")->value, text)) {
            return fail("text 字段不是有效的 UTF-8 文本");
        }
        CheckedTextBuilder builder(request);
        builder.addText(text);
        builder.finish();
    } else if (!readAnnotation(findField(fields, "data")->value, request, parsed.error)) {
        return parsed;
    }
    if (const FormField* disabled = findField(fields, "disabledRules")) {
        request.disabledRules = commaList(disabled->value);
    }
    parsed.ok = true;
    return parsed;
}

}  // namespace kjf::server
