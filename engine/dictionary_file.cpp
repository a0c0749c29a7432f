#include "engine/dictionary_file.h"

#include <algorithm>

#include "text/text_file.h"
#include "text/utf.h"

namespace kjf {

std::u16string decodeDictionaryBytes(std::string_view bytes) {
    // The format is UTF-16LE without a mark; a big-endian file announces itself with FE FF,
    // which stays in front as U+FEFF just as a little-endian mark does.
    const bool bigEndian = startsWithUtf16BigEndianMark(bytes);
    return decodeUtf16Units(bytes, bigEndian);
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
        std::u16string_view pieces[2];
        int count = 0;
        std::size_t pieceStart = 0;
        for (std::size_t j = 0; j <= line.size() && count <= 2; ++j) {
            if (j < line.size() && line[j] != u'$' && line[j] != u'=') {
                continue;
            }
            const auto piece = trimControlAndSpace(line.substr(pieceStart, j - pieceStart));
            pieceStart = j + 1;
            if (!piece.empty()) {
                if (count < 2) {
                    pieces[count] = piece;
                }
                ++count;
            }
        }
        if (count == 2) {
            if (pieces[0].size() > kMaxEntryLength) {
                ++tooLong;
            } else {
                batch.add(pieces[0], pieces[1]);
            }
        }
    }
    return tooLong;
}

std::int32_t lineCutShortAt(std::string_view bytes, std::u16string_view decoded) {
    const std::size_t used = std::min(bytes.size(), decoded.size() * 2);
    if (std::all_of(bytes.begin() + static_cast<std::ptrdiff_t>(used), bytes.end(),
                    [](char c) { return c == '\0'; })) {
        return 0;
    }
    std::int32_t line = 1;
    for (std::size_t i = 0; i < decoded.size(); ++i) {
        if (decoded[i] == u'\n' ||
            (decoded[i] == u'\r' && (i + 1 == decoded.size() || decoded[i + 1] != u'\n'))) {
            ++line;
        }
    }
    return line;
}

}  // namespace kjf
