// Any bytes as a dictionary file of either kind: no crash, and every entry is one the format can
// produce: non-empty, trimmed, without line breaks; error entries without '$' or '='.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "engine/dictionary_file.h"
#include "text/text_file.h"

namespace {

void check(std::u16string_view piece, bool noSeparators) {
    if (piece.empty() || kjf::trimControlAndSpace(piece).size() != piece.size() ||
        piece.find_first_of(u"\r\n") != std::u16string_view::npos ||
        piece.find(u'\0') != std::u16string_view::npos ||
        (noSeparators && piece.find_first_of(u"$=") != std::u16string_view::npos)) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto text =
        kjf::decodeDictionaryBytes(std::string_view(reinterpret_cast<const char*>(data), size));
    for (const bool errorKind : {false, true}) {
        kjf::WordBatch batch;
        kjf::parseDictionaryText(text, errorKind, u"sys", batch);
        for (const auto& e : batch.entries) {
            const std::u16string_view pool(batch.pool);
            check(pool.substr(e.keyOffset, e.keyLength), errorKind);
            if (errorKind) {
                check(pool.substr(e.valueOffset, e.valueLength), true);
            }
        }
    }
    return 0;
}
