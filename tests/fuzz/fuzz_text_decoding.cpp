// Any bytes, decoded as a text file and as lenient UTF-8: no crash, no U+0000 in the text, never
// more code units than bytes, and the result is a prefix of what a longer input gives.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "text/text_file.h"
#include "text/utf.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const auto file = kjf::decodeTextFileBytes(bytes);
    const auto utf8 = kjf::decodeUtf8Lenient(bytes);
    for (const auto& text : {file.text, utf8}) {
        if (text.find(u'\0') != std::u16string::npos || text.size() > size) {
            std::abort();
        }
    }
    if (size > 0) {
        const auto shorter = kjf::decodeUtf8Lenient(bytes.substr(0, size - 1));
        if (utf8.compare(0, shorter.size(), shorter) != 0) {
            std::abort();
        }
    }
    (void)kjf::utf16ToUtf8Lossy(utf8);
    return 0;
}
