// A random setup.ini followed by random writes: no crash; a refused write leaves the file as it
// was; after an accepted write, reading the same section and key returns the written value.
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "settings/settings_file.h"
#include "text/files.h"
#include "text/text_file.h"
#include "text/utf.h"

namespace {

const std::string& directory() {
    static const std::string dir = [] {
        char pattern[] = "/tmp/kjf-fuzz-settings-XXXXXX";
        const char* made = ::mkdtemp(pattern);
        if (made == nullptr) {
            std::abort();
        }
        return std::string(made) + "/";
    }();
    return dir;
}

// Texts the format can hold: no U+0000, CR or LF, no blanks at either end.
bool holdable(std::u16string_view text, bool isKey) {
    if (text.empty() && isKey) {
        return false;
    }
    for (char16_t u : text) {
        if (u == 0 || u == u'\r' || u == u'\n' || (isKey && u == u'=')) {
            return false;
        }
    }
    return kjf::trimControlAndSpace(text).size() == text.size();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    // Pieces are separated by 0xFF: the file's bytes, then section, key, value triples.
    std::vector<std::string_view> pieces;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= input.size(); ++i) {
        if (i == input.size() || static_cast<unsigned char>(input[i]) == 0xFF) {
            pieces.push_back(input.substr(start, i - start));
            start = i + 1;
        }
    }
    const std::string path = directory() + "setup.ini";
    if (!kjf::writeFileAtomically(path, pieces[0])) {
        std::abort();
    }
    for (std::size_t i = 1; i + 2 < pieces.size(); i += 3) {
        const auto section = kjf::utf8ToUtf16(pieces[i]);
        const auto key = kjf::utf8ToUtf16(pieces[i + 1]);
        const auto value = kjf::utf8ToUtf16(pieces[i + 2]);
        if (!holdable(section, true) || !holdable(key, true) || !holdable(value, false)) {
            continue;
        }
        // A key line that looks like a header is read as one; the format cannot hold it.
        if (key.front() == u'[' && !value.empty() && value.back() == u']') {
            continue;
        }
        const auto before = kjf::readWholeFile(path);
        if (!kjf::writeSetting(directory(), section, key, value)) {
            if (kjf::readWholeFile(path) != before) {
                std::abort();
            }
            continue;
        }
        if (kjf::readSetting(directory(), section, key, u"\uFFFF-default") != value) {
            std::abort();
        }
    }
    ::unlink(path.c_str());
    return 0;
}
