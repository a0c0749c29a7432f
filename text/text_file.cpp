#include "text/text_file.h"

#include <unistd.h>

#include <algorithm>
#include <limits>

#include "text/files.h"
#include "text/utf.h"

namespace kjf {

std::u16string_view trimControlAndSpace(std::u16string_view text) {
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && text[begin] <= 0x20) {
        ++begin;
    }
    while (end > begin && text[end - 1] <= 0x20) {
        --end;
    }
    return text.substr(begin, end - begin);
}

std::vector<std::u16string> splitText(std::u16string_view text, std::u16string_view separators) {
    std::vector<std::u16string> pieces;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= text.size(); ++i) {
        if (i == text.size() || separators.find(text[i]) != std::u16string_view::npos) {
            const auto piece = trimControlAndSpace(text.substr(start, i - start));
            if (!piece.empty()) {
                pieces.emplace_back(piece);
            }
            start = i + 1;
        }
    }
    return pieces;
}

TextFileContent decodeTextFileBytes(std::string_view bytes) {
    TextFileContent content;
    content.exists = true;
    content.readable = true;
    const bool littleEndian = bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
                              static_cast<unsigned char>(bytes[1]) == 0xFE;
    if (littleEndian || startsWithUtf16BigEndianMark(bytes)) {
        content.text = decodeUtf16Units(bytes.substr(2), !littleEndian, &content.complete);
        return content;
    }
    auto decoded = decodeUtf8LenientChecked(bytes);
    content.text = std::move(decoded.text);
    content.complete = decoded.complete;
    return content;
}

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

TextFileContent readTextFileChecked(const std::string& path) {
    TextFileContent content;
    if (path.empty()) {
        return content;
    }
    auto bytes = readWholeFile(path, &content.failure);
    content.exists = content.failure != ReadFailure::Missing;
    if (!bytes) {
        return content;
    }
    return decodeTextFileBytes(*bytes);
}

std::u16string readTextFile(const std::string& path) {
    return readTextFileChecked(path).text;
}

std::string programDirectory() {
    std::string buffer(4096, '\0');
    const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (n <= 0 || static_cast<std::size_t>(n) >= buffer.size()) {
        return "./";
    }
    buffer.resize(static_cast<std::size_t>(n));
    const auto slash = buffer.find_last_of('/');
    if (slash == std::string::npos) {
        return "./";
    }
    return buffer.substr(0, slash + 1);
}

std::int32_t parseDecimal(std::u16string_view text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == u' ' || (text[i] >= u'\t' && text[i] <= u'\r'))) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
        negative = text[i] == u'-';
        ++i;
    }
    std::int64_t value = 0;
    for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
        value = std::min<std::int64_t>(value * 10 + (text[i] - u'0'),
                                       std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1);
    }
    value = negative ? -value : value;
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(
        value, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

}  // namespace kjf
