#include "engine/dictionary_file.h"

#include "text/text_file.h"

namespace kjf {

std::u16string decodeDictionaryBytes(std::string_view bytes) {
    std::u16string text;
    text.reserve((bytes.size() + 1) / 2);
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    for (std::size_t i = 0; i < bytes.size(); i += 2) {
        const unsigned hi = i + 1 < bytes.size() ? p[i + 1] : 0u;
        const auto unit = static_cast<char16_t>(p[i] | (hi << 8));
        if (unit == 0) {
            break;
        }
        text.push_back(unit);
    }
    return text;
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

void parseDictionaryText(std::u16string_view text, bool errorDictionary, std::u16string_view tag,
                         WordBatch& batch) {
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
            batch.add(line, tag);
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
            batch.add(pieces[0], pieces[1]);
        }
    }
}

}  // namespace kjf
