#include "text/utf.h"

#include <iconv.h>

#include <cerrno>
#include <cstdint>

namespace kjf {

LenientDecoding decodeUtf8LenientChecked(std::string_view bytes) {
    LenientDecoding out;
    std::u16string& text = out.text;
    text.reserve(bytes.size());
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const std::size_t n = bytes.size();
    std::size_t i = 0;
    while (i < n) {
        const unsigned char b = p[i];
        if (b == 0) {
            return out;
        }
        if (b < 0x80) {
            text.push_back(b);
            ++i;
            continue;
        }
        int extra;
        std::uint32_t value;
        if ((b & 0xE0) == 0xC0) {
            extra = 1;
            value = b & 0x1F;
        } else if ((b & 0xF0) == 0xE0) {
            extra = 2;
            value = b & 0x0F;
        } else if ((b & 0xF8) == 0xF0) {
            extra = 3;
            value = b & 0x07;
        } else if ((b & 0xFC) == 0xF8) {
            extra = 4;
            value = b & 0x03;
        } else if ((b & 0xFE) == 0xFC) {
            extra = 5;
            value = b & 0x01;
        } else {
            return out;
        }
        if (n - i - 1 < static_cast<std::size_t>(extra)) {
            return out;
        }
        for (int k = 1; k <= extra; ++k) {
            const unsigned char c = p[i + k];
            if ((c & 0xC0) != 0x80) {
                return out;
            }
            value = (value << 6) | (c & 0x3F);
        }
        if (value == 0) {
            // An overlong form of U+0000 ends the text like a zero byte: decoded text never
            // holds U+0000.
            return out;
        }
        i += 1 + extra;
        if (value <= 0xFFFF) {
            text.push_back(static_cast<char16_t>(value));
        } else {
            // A 6-byte form carries up to 31 bits; the pair keeps the low 20 bits of v - 0x10000,
            // exactly as the masks say.
            const std::uint32_t v = value - 0x10000;
            text.push_back(static_cast<char16_t>(0xD800 | ((v >> 10) & 0x3FF)));
            text.push_back(static_cast<char16_t>(0xDC00 | (v & 0x3FF)));
        }
    }
    out.complete = true;
    return out;
}

std::u16string decodeUtf8Lenient(std::string_view bytes) {
    return decodeUtf8LenientChecked(bytes).text;
}

namespace {

bool isHighSurrogate(char16_t u) {
    return u >= 0xD800 && u <= 0xDBFF;
}
bool isLowSurrogate(char16_t u) {
    return u >= 0xDC00 && u <= 0xDFFF;
}

}  // namespace

std::optional<std::string> convertEncoding(const char* to, const char* from, std::string_view bytes,
                                           std::size_t outCapacity) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        return std::nullopt;
    }
    std::string in(bytes);
    std::string out(outCapacity, '\0');
    char* inPtr = in.data();
    std::size_t inLeft = in.size();
    char* outPtr = out.data();
    std::size_t outLeft = out.size();
    const std::size_t rc = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
    iconv_close(cd);
    if (rc == static_cast<std::size_t>(-1) || inLeft != 0) {
        return std::nullopt;
    }
    out.resize(out.size() - outLeft);
    return out;
}

std::optional<std::string> utf16ToUtf8(std::u16string_view text) {
    if (text.empty()) {
        return std::string();
    }
    std::string in;
    in.reserve(text.size() * 2);
    for (char16_t u : text) {
        in.push_back(static_cast<char>(u & 0xFF));
        in.push_back(static_cast<char>(u >> 8));
    }
    return convertEncoding("UTF-8", "UTF-16LE", in, text.size() * 3 + 4);
}

std::string utf16ToUtf8Lossy(std::u16string_view text) {
    std::u16string clean;
    clean.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t u = text[i];
        if (isHighSurrogate(u) && i + 1 < text.size() && isLowSurrogate(text[i + 1])) {
            clean.push_back(u);
            clean.push_back(text[++i]);
        } else if (isHighSurrogate(u) || isLowSurrogate(u)) {
            clean.push_back(u'\uFFFD');
        } else {
            clean.push_back(u);
        }
    }
    auto converted = utf16ToUtf8(clean);
    return converted ? std::move(*converted) : std::string();
}

std::u16string utf8ToUtf16(std::string_view bytes) {
    std::u16string out;
    out.reserve(bytes.size());
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const std::size_t n = bytes.size();
    std::size_t i = 0;
    while (i < n) {
        const unsigned char b = p[i];
        std::uint32_t value = 0;
        int extra = 0;
        std::uint32_t minimum = 0;
        if (b < 0x80) {
            out.push_back(b);
            ++i;
            continue;
        } else if ((b & 0xE0) == 0xC0) {
            extra = 1;
            value = b & 0x1F;
            minimum = 0x80;
        } else if ((b & 0xF0) == 0xE0) {
            extra = 2;
            value = b & 0x0F;
            minimum = 0x800;
        } else if ((b & 0xF8) == 0xF0) {
            extra = 3;
            value = b & 0x07;
            minimum = 0x10000;
        } else {
            out.push_back(u'\uFFFD');
            ++i;
            continue;
        }
        int k = 1;
        for (; k <= extra && i + k < n; ++k) {
            const unsigned char c = p[i + k];
            if ((c & 0xC0) != 0x80) {
                break;
            }
            value = (value << 6) | (c & 0x3F);
        }
        if (k <= extra || value < minimum || value > 0x10FFFF ||
            (value >= 0xD800 && value <= 0xDFFF)) {
            out.push_back(u'\uFFFD');
            i += static_cast<std::size_t>(k);
            continue;
        }
        i += 1 + static_cast<std::size_t>(extra);
        appendCodePoint(value, out);
    }
    return out;
}

std::u16string decodeUtf16Units(std::string_view bytes, bool bigEndian, bool* complete,
                                bool untilZero) {
    std::u16string text;
    text.reserve((bytes.size() + 1) / 2);
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    std::size_t i = 0;
    for (; i < bytes.size(); i += 2) {
        const unsigned first = p[i];
        const unsigned second = i + 1 < bytes.size() ? p[i + 1] : 0u;
        const auto unit =
            static_cast<char16_t>(bigEndian ? (first << 8) | second : first | (second << 8));
        if (unit == 0 && untilZero) {
            break;
        }
        text.push_back(unit);
    }
    if (complete != nullptr) {
        *complete = i >= bytes.size();
    }
    return text;
}

bool startsWithUtf16BigEndianMark(std::string_view bytes) {
    return bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFE &&
           static_cast<unsigned char>(bytes[1]) == 0xFF;
}

void appendCodePoint(std::uint32_t value, std::u16string& out) {
    if (value <= 0xFFFF) {
        out.push_back(static_cast<char16_t>(value));
    } else {
        const std::uint32_t v = value - 0x10000;
        out.push_back(static_cast<char16_t>(0xD800 | (v >> 10)));
        out.push_back(static_cast<char16_t>(0xDC00 | (v & 0x3FF)));
    }
}

}  // namespace kjf
