#include "cli/json_output.h"

#include "text/utf.h"

namespace kjf::cli {

namespace {

// nlohmann-json never writes a U+FFFF of its own, so every one in its output came from jsonText.
constexpr std::string_view kMarker = "\xEF\xBF\xBF";

bool isHighSurrogate(char16_t u) {
    return u >= 0xD800 && u <= 0xDBFF;
}
bool isLowSurrogate(char16_t u) {
    return u >= 0xDC00 && u <= 0xDFFF;
}

}  // namespace

Json jsonText(std::u16string_view text) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string out;
    out.reserve(text.size() * 3);
    std::size_t plain = 0;  // start of the units not yet converted
    const auto flush = [&](std::size_t end) {
        out += utf16ToUtf8Lossy(text.substr(plain, end - plain));
    };
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t u = text[i];
        if (isHighSurrogate(u) && i + 1 < text.size() && isLowSurrogate(text[i + 1])) {
            ++i;
            continue;
        }
        if (!isHighSurrogate(u) && !isLowSurrogate(u) && u != 0xFFFF) {
            continue;
        }
        flush(i);
        out += kMarker;
        for (int shift = 12; shift >= 0; shift -= 4) {
            out += kHex[(u >> shift) & 0xF];
        }
        plain = i + 1;
    }
    flush(text.size());
    return Json(std::move(out));
}

std::string dumpJson(const Json& value) {
    const std::string dumped = value.dump();
    std::string out;
    out.reserve(dumped.size());
    for (std::size_t i = 0; i < dumped.size(); ++i) {
        // Every backslash in the output starts an escape; nlohmann-json's short forms for U+0008
        // and U+000C are written as the \u escapes the tool has always used.
        if (dumped[i] == '\\' && i + 1 < dumped.size()) {
            const char next = dumped[++i];
            out += next == 'b' ? "\\u0008" : next == 'f' ? "\\u000c" : std::string{'\\', next};
        } else if (dumped.compare(i, kMarker.size(), kMarker) == 0 &&
                   i + kMarker.size() + 4 <= dumped.size()) {
            const std::string_view hex = std::string_view(dumped).substr(i + kMarker.size(), 4);
            if (hex == "ffff") {
                out += kMarker;
            } else {
                out += "\\u";
                out += hex;
            }
            i += kMarker.size() + 3;
        } else {
            out += dumped[i];
        }
    }
    return out;
}

std::string jsonMembers(const Json& object) {
    const std::string all = dumpJson(object);
    return all.substr(1, all.size() - 2);
}

}  // namespace kjf::cli
