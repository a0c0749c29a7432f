#include "context/language_model.h"

#include <libime/core/languagemodel.h>
#include <libime/core/lattice.h>

#include <cstring>
#include <exception>
#include <fstream>

namespace kjf {

static_assert(libime::StateSize == LanguageModelState::kSize);
static_assert(std::is_same_v<libime::WordIndex, LanguageModel::WordIndex>);

namespace {

// Every KenLM binary file starts with this line; anything else would be parsed as ARPA text, which
// is slow, noisy on standard error and never what a user meant to pick.
constexpr std::string_view kBinaryMagic = "mmap lm http://kheafield.com/code";

bool validUtf8(std::string_view s) {
    std::size_t i = 0;
    while (i < s.size()) {
        const auto c = static_cast<unsigned char>(s[i]);
        std::size_t n = c < 0x80         ? 1
                        : (c >> 5) == 6  ? 2
                        : (c >> 4) == 14 ? 3
                        : (c >> 3) == 30 ? 4
                                         : 0;
        if (n == 0 || i + n > s.size()) {
            return false;
        }
        for (std::size_t k = 1; k < n; ++k) {
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) {
                return false;
            }
        }
        i += n;
    }
    return !s.empty();
}

}  // namespace

struct LanguageModel::Impl {
    explicit Impl(const std::string& path) : model(path.c_str()) {}
    libime::LanguageModel model;
};

LanguageModel::LanguageModel() = default;
LanguageModel::~LanguageModel() = default;

bool LanguageModel::isOpen() const {
    return m_impl != nullptr;
}

bool LanguageModel::open(const std::string& path, std::string& message) {
    m_impl.reset();
    m_words.clear();
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        message = "cannot open the language model " + path;
        return false;
    }
    std::string head(kBinaryMagic.size(), '\0');
    in.read(head.data(), static_cast<std::streamsize>(head.size()));
    if (!in || head != kBinaryMagic) {
        message = "not a binary language model (KenLM format): " + path;
        return false;
    }
    in.seekg(0, std::ios::end);
    const auto size = static_cast<std::int64_t>(in.tellg());
    try {
        m_impl = std::make_unique<Impl>(path);
        m_begin.bytes = m_impl->model.beginState();
        m_unknown = m_impl->model.unknown();
    } catch (const std::exception& e) {
        m_impl.reset();
        message = "damaged language model " + path + ": " + e.what();
        return false;
    } catch (...) {
        m_impl.reset();
        message = "damaged language model " + path;
        return false;
    }

    // The vocabulary follows the model as NUL-terminated strings, the last one ending the file.
    // Read back from the end, growing the tail, until a string is not one of the model's words.
    std::string tail;
    for (std::int64_t want = std::int64_t{1} << 22;; want *= 2) {
        const std::int64_t take = std::min(want, size);
        tail.assign(static_cast<std::size_t>(take), '\0');
        in.clear();
        in.seekg(size - take);
        in.read(tail.data(), take);
        if (!in) {
            break;
        }
        m_words.clear();
        std::size_t end = tail.size();
        bool reachedStart = false;
        while (end > 0 && tail[end - 1] == '\0') {
            const std::size_t nul = end >= 2 ? tail.rfind('\0', end - 2) : std::string::npos;
            if (nul == std::string::npos) {
                break;  // the string may begin before this tail
            }
            std::string word = tail.substr(nul + 1, end - 2 - nul);
            if (!validUtf8(word)) {
                reachedStart = true;
                break;
            }
            const WordIndex id = index(word);
            if (id == m_unknown) {
                reachedStart = true;  // "<unk>" comes first, or the model's data begins
                break;
            }
            m_words.emplace_back(std::move(word), id);
            end = nul + 1;
        }
        if (reachedStart || take == size) {
            break;
        }
    }
    if (m_words.empty()) {
        m_impl.reset();
        message = "the language model holds no vocabulary: " + path;
        return false;
    }
    return true;
}

float LanguageModel::score(const LanguageModelState& state, WordIndex word,
                           LanguageModelState& out) const {
    const libime::WordNode node(std::string_view(), word);
    return m_impl->model.score(state.bytes, node, out.bytes);
}

LanguageModel::WordIndex LanguageModel::index(const std::string& utf8) const {
    return m_impl->model.index(utf8);
}

void LanguageModel::releaseWords() {
    std::vector<std::pair<std::string, WordIndex>>().swap(m_words);
}

}  // namespace kjf
