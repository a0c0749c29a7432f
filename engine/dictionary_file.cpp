#include "engine/dictionary_file.h"

#include <algorithm>

#include "text/text_file.h"
#include "text/utf.h"

namespace kjf {

namespace {

// Decodes valid UTF-8 from the start of bytes into out, up to the end, a byte that is no part of
// a valid sequence, or (untilZero) a zero byte. Returns how many bytes it decoded; multiByte is
// set when a sequence of two or more bytes was among them.
std::size_t decodeStrictUtf8(std::string_view bytes, bool untilZero, std::u16string& out,
                             bool& multiByte) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const std::size_t n = bytes.size();
    std::size_t i = 0;
    while (i < n) {
        const unsigned lead = p[i];
        if (lead < 0x80) {
            if (lead == 0 && untilZero) {
                break;
            }
            out.push_back(static_cast<char16_t>(lead));
            ++i;
            continue;
        }
        // The second byte's range rules out overlong forms, surrogates and values past
        // U+10FFFF.
        std::size_t length = 0;
        std::uint32_t value = 0;
        unsigned low = 0x80;
        unsigned high = 0xBF;
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
            value = lead & 0x1F;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            value = lead & 0x0F;
            low = lead == 0xE0 ? 0xA0 : low;
            high = lead == 0xED ? 0x9F : high;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            value = lead & 0x07;
            low = lead == 0xF0 ? 0x90 : low;
            high = lead == 0xF4 ? 0x8F : high;
        } else {
            break;
        }
        if (n - i < length || p[i + 1] < low || p[i + 1] > high) {
            break;
        }
        std::size_t k = 1;
        for (; k < length && (p[i + k] & 0xC0) == 0x80; ++k) {
            value = (value << 6) | (p[i + k] & 0x3F);
        }
        if (k < length) {
            break;
        }
        appendCodePoint(value, out);
        multiByte = true;
        i += length;
    }
    return i;
}

// Whether bytes read as UTF-16LE are Chinese characters and nothing else: a one-word file without a
// line end, which holds no zero byte and may happen to be ASCII too (中 is 2D 4E, "-N").
bool readsAsChineseUtf16(std::string_view bytes) {
    if (bytes.empty() || bytes.size() % 2 != 0) {
        return false;
    }
    for (std::size_t i = 0; i < bytes.size(); i += 2) {
        const auto unit = static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                                static_cast<unsigned char>(bytes[i + 1]) << 8);
        if (!((unit >= 0x3400 && unit <= 0x9FFF) || (unit >= 0xF900 && unit <= 0xFAFF) ||
              (unit >= 0x3000 && unit <= 0x303F))) {
            return false;
        }
    }
    return true;
}

}  // namespace

DecodedDictionary decodeDictionaryFile(std::string_view bytes, bool untilZero) {
    DecodedDictionary decoded;
    std::size_t used = 0;
    const bool utf8Mark = bytes.starts_with("\xEF\xBB\xBF");
    // A UTF-16 file of more than one line always holds zero bytes (those of its line ends).
    if (utf8Mark || bytes.find('\0') == std::string_view::npos) {
        std::u16string text;
        bool multiByte = false;
        used = decodeStrictUtf8(bytes, untilZero, text, multiByte);
        // Plain ASCII is UTF-8 too, unless it reads as Chinese in UTF-16LE.
        if (utf8Mark || (used == bytes.size() && (multiByte || !readsAsChineseUtf16(bytes)))) {
            decoded.text = std::move(text);
            decoded.encoding = DictionaryEncoding::Utf8;
        }
    }
    if (decoded.encoding != DictionaryEncoding::Utf8) {
        // The format is UTF-16LE without a mark; a big-endian file announces itself with FE FF,
        // which stays in front as U+FEFF just as a little-endian mark does.
        const bool bigEndian = startsWithUtf16BigEndianMark(bytes);
        decoded.encoding =
            bigEndian ? DictionaryEncoding::Utf16BigEndian : DictionaryEncoding::Utf16LittleEndian;
        decoded.text = decodeUtf16Units(bytes, bigEndian, nullptr, untilZero);
        used = std::min(bytes.size(), decoded.text.size() * 2);
    }
    // Only zeros may follow where the text ends for it to be the whole file: a rewrite would
    // drop whatever else is there.
    decoded.complete = std::all_of(bytes.begin() + static_cast<std::ptrdiff_t>(used), bytes.end(),
                                   [](char c) { return c == '\0'; });
    return decoded;
}

std::u16string decodeDictionaryBytes(std::string_view bytes) {
    return decodeDictionaryFile(bytes).text;
}

std::string encodeDictionaryText(std::u16string_view text) {
    std::string bytes;
    bytes.reserve(text.size() * 2);
    for (char16_t u : text) {
        bytes.push_back(static_cast<char>(u & 0xFF));
        bytes.push_back(static_cast<char>(u >> 8));
    }
    return bytes;
}

std::size_t parseDictionaryText(std::u16string_view text, bool errorDictionary,
                                std::u16string_view tag, WordBatch& batch) {
    std::size_t tooLong = 0;
    // Files saved by common editors start with a byte-order mark; without this its first entry
    // would never match.
    if (!text.empty() && text.front() == u'\uFEFF') {
        text.remove_prefix(1);
    }
    batch.pool.reserve(batch.pool.size() + text.size() + (errorDictionary ? 0 : text.size() / 3));
    std::size_t start = 0;
    for (std::size_t i = 0; i <= text.size(); ++i) {
        if (i < text.size() && text[i] != u'\r' && text[i] != u'\n') {
            continue;
        }
        const auto line = trimControlAndSpace(text.substr(start, i - start));
        start = i + 1;
        if (line.empty()) {
            continue;
        }
        if (!errorDictionary) {
            if (line.size() > kMaxEntryLength) {
                ++tooLong;
            } else {
                batch.add(line, tag);
            }
            continue;
        }
        if (const auto entry = errorEntryOfLine(line)) {
            if (entry->first.size() > kMaxEntryLength) {
                ++tooLong;
            } else {
                batch.add(entry->first, entry->second);
            }
        }
    }
    return tooLong;
}

std::optional<std::pair<std::u16string_view, std::u16string_view>> errorEntryOfLine(
    std::u16string_view line) {
    std::u16string_view pieces[2];
    int count = 0;
    std::size_t pieceStart = 0;
    for (std::size_t j = 0; j <= line.size(); ++j) {
        if (j < line.size() && line[j] != u'$' && line[j] != u'=') {
            continue;
        }
        const auto piece = trimControlAndSpace(line.substr(pieceStart, j - pieceStart));
        pieceStart = j + 1;
        if (!piece.empty()) {
            if (count == 2) {
                return std::nullopt;
            }
            pieces[count++] = piece;
        }
    }
    if (count != 2) {
        return std::nullopt;
    }
    return std::pair{pieces[0], pieces[1]};
}

std::int32_t lineCutShortAt(const DecodedDictionary& decoded) {
    if (decoded.complete) {
        return 0;
    }
    std::int32_t line = 1;
    const std::u16string& text = decoded.text;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == u'\n' ||
            (text[i] == u'\r' && (i + 1 == text.size() || text[i + 1] != u'\n'))) {
            ++line;
        }
    }
    return line;
}

}  // namespace kjf
