// Any bytes as a dictionary file for "优化" and for dict verify: no crash; optimising gives
// distinct, sorted, trimmed lines each ended by CR LF, is idempotent and keeps every entry the
// loader would find; verification numbers its lines in order and, for a file without U+0000 or a
// byte that is no UTF-8,
// agrees with the editor's check of the decoded text.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "dictionaries/dictionary_operations.h"
#include "engine/dictionary_file.h"
#include "text/text_file.h"
#include "text/utf.h"

namespace {

void require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

std::vector<std::u16string> entries(std::u16string_view text) {
    kjf::WordBatch batch;
    kjf::parseDictionaryText(text, false, u"", batch);
    std::vector<std::u16string> keys;
    for (const auto& e : batch.entries) {
        keys.emplace_back(std::u16string_view(batch.pool).substr(e.keyOffset, e.keyLength));
    }
    std::sort(keys.begin(), keys.end());
    keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
    return keys;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::u16string text = kjf::decodeDictionaryBytes(bytes);

    const std::u16string optimised = kjf::optimiseDictionaryText(text);
    // A word that itself starts with U+FEFF cannot stand first in a file, where U+FEFF is taken
    // as a byte-order mark; such words are outside the checks of the optimised text.
    if (optimised.starts_with(u'\uFEFF')) {
        return 0;
    }
    require(kjf::optimiseDictionaryText(optimised) == optimised);
    const auto lines = kjf::splitText(optimised, u"\r\n");
    require(std::is_sorted(lines.begin(), lines.end()));
    require(std::adjacent_find(lines.begin(), lines.end()) == lines.end());
    std::size_t length = 0;
    for (const auto& line : lines) {
        length += line.size() + 2;
    }
    require(length == optimised.size());
    require(entries(optimised) == entries(text));

    const auto bad = kjf::malformedErrorLinesOfFile(bytes);
    for (std::size_t i = 1; i < bad.size(); ++i) {
        require(bad[i - 1].number < bad[i].number);
    }
    // Without a U+0000 or a byte that is no UTF-8, the file's lines are the decoded text's.
    if (const auto whole = kjf::decodeDictionaryFile(bytes, false);
        whole.complete && whole.text.find(u'\0') == std::u16string::npos) {
        require(whole.text == text);
        require(kjf::malformedErrorLines(text).size() == bad.size());
    }
    return 0;
}
