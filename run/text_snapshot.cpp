#include "run/text_snapshot.h"

#include "engine/checking_engine.h"

namespace kjf {

void copyTextRange(std::u16string_view text, std::int32_t position, std::int32_t length,
                   std::u16string& out) {
    out.clear();
    if (position < 0 || static_cast<std::size_t>(position) >= text.size() || length == 0) {
        return;
    }
    const auto start = static_cast<std::size_t>(position);
    const std::size_t count = length < 0 ? text.size() - start : static_cast<std::size_t>(length);
    out.assign(text.substr(start, count));
}

void bindTextSnapshot(rg_ChaCuoYinQing& engine, const std::u16string* text) {
    engine.onTextRequested.bind(
        [](void* owner, rg_ChaCuoYinQing&, std::int32_t, std::int32_t position, std::int32_t length,
           std::u16string& out) {
            copyTextRange(*static_cast<const std::u16string*>(owner), position, length, out);
        },
        const_cast<std::u16string*>(text), 0);
}

std::u16string normalizeLineBreaks(std::u16string_view text) {
    std::u16string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == u'\r') {
            out.push_back(u'\n');
            if (i + 1 < text.size() && text[i + 1] == u'\n') {
                ++i;
            }
        } else {
            out.push_back(text[i]);
        }
    }
    return out;
}

}  // namespace kjf
