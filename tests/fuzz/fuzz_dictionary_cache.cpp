// Any bytes as the compiled dictionary cache: refused, or read back exactly as written, never an
// image that gives other findings. Modes (by the first byte): the input itself; a real image with
// the input's bytes flipped in; the same with its checksum mended, so that the structural checks
// behind the checksum are tried too (an accepted image must then be safe to read, and ASan and
// UBSan watch every read).
#include <xxhash.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "engine/dictionary_file.h"
#include "engine/dictionary_image.h"
#include "engine/word_table.h"

namespace {

constexpr std::uint64_t kFingerprint = 0x5eed;
// Where the header keeps its checksum: after the magic, format, header size and fingerprint.
constexpr std::size_t kChecksumOffset = 24;

const std::vector<std::u16string> kProbes = {
    u"文章", u"写完", u"之后", u"再接再励", u"再接", u"检查", u"一遍", u"章", u"", u"长长长", u"x",
};

struct Reference {
    std::string bytes;
    std::vector<std::string> answers;
};

std::string answersOf(const kjf::DictionaryImage& image, const std::u16string& probe) {
    std::string out;
    const auto add = [&out](std::u16string_view text) {
        out.append(reinterpret_cast<const char*>(text.data()), text.size() * 2);
        out += '|';
    };
    if (const auto v = image.correctWords().value(probe)) {
        add(*v);
    }
    if (const auto v = image.errorWords().value(probe)) {
        add(*v);
    }
    for (const kjf::WordTrie* trie : {&image.forward(), &image.backward()}) {
        kjf::WordTrie::Node node = trie->root();
        for (std::size_t i = 0; i < probe.size(); ++i) {
            const char16_t unit = trie == &image.forward() ? probe[i] : probe[probe.size() - 1 - i];
            node = trie->child(node, unit);
            if (node == kjf::WordTrie::kNone) {
                break;
            }
            const std::uint32_t mark = trie->mark(node);
            out += std::to_string(mark) + (trie->hasChildren(node) ? "+" : "-");
            if ((mark & kjf::WordTrie::kErrorMask) != 0) {
                add(image.errorWords().valueAt((mark & kjf::WordTrie::kErrorMask) - 1));
            }
        }
    }
    return out;
}

const Reference& reference() {
    static const Reference ref = [] {
        kjf::WordTableBuilder correct;
        kjf::WordTableBuilder errors;
        kjf::WordBatch right;
        kjf::parseDictionaryText(u"文章\r\n写完\r\n之后\r\n检查\r\n一遍\r\n", false, u"sys", right);
        correct.insert(std::move(right));
        kjf::WordBatch wrong;
        kjf::parseDictionaryText(u"再接再励$=$再接再厉\r\n长长长$=$短\r\n", true, u"", wrong);
        errors.insert(std::move(wrong));
        correct.finalize();
        errors.finalize();
        const auto image = kjf::DictionaryImage::build(correct, errors, {}, kFingerprint);
        Reference r;
        r.bytes = std::string(image->bytes());
        for (const auto& probe : kProbes) {
            r.answers.push_back(answersOf(*image, probe));
        }
        return r;
    }();
    return ref;
}

void mendChecksum(std::string& bytes) {
    std::string zeroed = bytes;
    std::memset(zeroed.data() + kChecksumOffset, 0, 8);
    const std::uint64_t sum = XXH3_64bits(zeroed.data(), zeroed.size());
    std::memcpy(bytes.data() + kChecksumOffset, &sum, 8);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const Reference& ref = reference();
    const int mode = data[0] % 3;
    std::string candidate;
    if (mode == 0) {
        candidate.assign(reinterpret_cast<const char*>(data + 1), size - 1);
    } else {
        candidate = ref.bytes;
        // Pairs of (where, what): two bytes of offset, one byte to flip in.
        for (std::size_t i = 1; i + 3 <= size; i += 3) {
            const std::size_t at =
                (static_cast<std::size_t>(data[i]) << 8 | data[i + 1]) % candidate.size();
            candidate[at] = static_cast<char>(candidate[at] ^ (data[i + 2] | 1));
        }
        if (mode == 2 && candidate.size() > kChecksumOffset + 8) {
            mendChecksum(candidate);
        }
    }
    const auto image = kjf::DictionaryImage::read(candidate, kFingerprint);
    if (!image) {
        return 0;
    }
    for (std::size_t i = 0; i < kProbes.size(); ++i) {
        const std::string answers = answersOf(*image, kProbes[i]);
        // Past an unmended checksum only the very image that was written gets through.
        if (mode != 2 && answers != ref.answers[i]) {
            std::abort();
        }
    }
    for (std::size_t i = 0; i < image->correctWords().size(); ++i) {
        (void)image->correctWords().keyAt(i);
    }
    for (std::size_t i = 0; i < image->errorWords().size(); ++i) {
        (void)image->errorWords().keyAt(i);
        (void)image->errorWords().valueAt(i);
    }
    return 0;
}
