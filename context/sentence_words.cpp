// What the detector knows of the words of a clause as written: which units a vocabulary word
// holds, the user's shield words, the correct dictionaries' words, and runs of one-character words
// that a replacement could make a word of.
#include <algorithm>

#include "context/sentence_checker.h"

namespace kjf {

namespace {

// Least unigram log10 probability of a character that a replacement making a word of no words
// may replace: a pinyin input method offers common characters first, so a rare one was mostly
// chosen (a name's, classical text's).
constexpr float kMistypedMinUnigram = -5.0F;
// Longest dictionary word looked for around a replacement that makes a word of one-character words.
constexpr std::int32_t kMaxMadeWordLength = 4;
// Longest shield word looked for around a flagged replacement.
constexpr int kMaxShieldLength = 12;

}  // namespace

bool SentenceChecker::shielded(std::int32_t changeBegin, std::int32_t changeEnd) const {
    if (!m_input.isShieldWord) {
        return false;
    }
    for (std::int32_t b = std::max(m_sentence.begin, changeEnd - kMaxShieldLength);
         b <= changeBegin; ++b) {
        for (std::int32_t e = std::max(changeEnd, b + 1);
             e <= std::min(m_sentence.end, b + kMaxShieldLength); ++e) {
            const auto word =
                m_input.text.substr(static_cast<std::size_t>(b), static_cast<std::size_t>(e - b));
            if (m_input.isShieldWord(word)) {
                return true;
            }
        }
    }
    return false;
}

void SentenceChecker::markWords() {
    const auto n = static_cast<std::size_t>(m_end - m_begin);
    m_inWord.assign(n, 0);
    for (std::size_t x = 0; x < n; ++x) {
        for (auto t = m_tokenStart[x]; t < m_tokenStart[x + 1]; ++t) {
            const Token token = m_tokens[static_cast<std::size_t>(t)];
            if (token.length >= 2 && token.word != m_lm.unknown()) {
                for (std::size_t k = x; k < x + static_cast<std::size_t>(token.length); ++k) {
                    m_inWord[k] = 1;
                }
            }
        }
    }
}

bool SentenceChecker::makesWordOfNoWords(std::int32_t begin, std::int32_t end,
                                         std::int32_t at) const {
    const std::u16string_view text = m_input.text;
    if (m_model.unigram(m_model.wordIndex(text.substr(static_cast<std::size_t>(at), 1))) <
        kMistypedMinUnigram) {
        return false;
    }
    for (auto x = begin; x < end; ++x) {
        if (m_inWord[static_cast<std::size_t>(x - m_begin)] != 0 ||
            m_model.isNameCharacter(text[static_cast<std::size_t>(x)])) {
            return false;
        }
    }
    return true;
}

bool SentenceChecker::inKnownWord(std::int32_t at) const {
    if (!m_input.isKnownWord) {
        return false;
    }
    const std::u16string_view text = m_input.text;
    for (std::int32_t b = std::max(m_begin, at - kMaxMadeWordLength + 1); b <= at; ++b) {
        for (std::int32_t e = std::max(at + 1, b + 2); e <= std::min(m_end, b + kMaxMadeWordLength);
             ++e) {
            if (m_input.isKnownWord(
                    text.substr(static_cast<std::size_t>(b), static_cast<std::size_t>(e - b)))) {
                return true;
            }
        }
    }
    return false;
}

bool SentenceChecker::takesFromWrittenWord(std::int32_t begin, std::int32_t end,
                                           std::int32_t at) const {
    for (std::int32_t x = std::max(m_begin, begin - ContextModel::kMaxWordLength + 1); x < end;
         ++x) {
        const auto slot = static_cast<std::size_t>(x - m_begin);
        for (auto t = m_tokenStart[slot]; t < m_tokenStart[slot + 1]; ++t) {
            const Token token = m_tokens[static_cast<std::size_t>(t)];
            const std::int32_t tokenEnd = x + token.length;
            if (token.length >= 2 && token.word != m_lm.unknown() && tokenEnd > begin &&
                (at < x || at >= tokenEnd) && (x < begin || tokenEnd > end)) {
                return true;
            }
        }
    }
    return false;
}

}  // namespace kjf
