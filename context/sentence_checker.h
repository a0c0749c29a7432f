// Checks one sentence of the context check: the trigram model's best readings of each clause,
// the replacements that raise them past their threshold, and the verdicts on the dictionary
// findings inside it. Private to the context check.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "context/context_check.h"
#include "context/context_model.h"

namespace kjf {

// Hypotheses kept at each boundary of a clause: enough for the trigram model's histories to
// compete, few enough that a changed character costs tens of model calls, not hundreds.
inline constexpr int kContextBeam = 2;

// One per worker thread; check sentences one at a time.
namespace sentence_checking {

using WordIndex = LanguageModel::WordIndex;

// The characters a clause is made of: the CJK Unified Ideographs and Extension A.
inline bool isHan(char16_t u) {
    return (u >= 0x4E00 && u <= 0x9FFF) || (u >= 0x3400 && u <= 0x4DBF);
}

struct Hypothesis {
    LanguageModelState state;
    double score;  // summed in double: a long clause's sums would lose a float's precision
    WordIndex last;
    WordIndex beforeLast;
};

// The best hypotheses that end at one boundary, one per history of two words.
struct Beam {
    std::array<Hypothesis, kContextBeam> items;
    int count = 0;

    void add(const LanguageModelState& state, double score, WordIndex last, WordIndex beforeLast) {
        int worst = 0;
        for (int i = 0; i < count; ++i) {
            if (items[i].last == last && items[i].beforeLast == beforeLast) {
                if (score > items[i].score) {
                    items[i].state = state;
                    items[i].score = score;
                }
                return;
            }
            if (items[i].score < items[worst].score) {
                worst = i;
            }
        }
        if (count < kContextBeam) {
            items[count++] = {state, score, last, beforeLast};
        } else if (score > items[worst].score) {
            items[worst] = {state, score, last, beforeLast};
        }
    }

    // Whether a hypothesis of this history scoring at most bound could still enter. Log
    // probabilities are never positive, so a hypothesis's score before its next word bounds it
    // after, and the model need not be asked when the beam would turn it away.
    bool admits(double bound, WordIndex last, WordIndex beforeLast) const {
        if (count < kContextBeam) {
            for (int i = 0; i < count; ++i) {
                if (items[i].last == last && items[i].beforeLast == beforeLast) {
                    return bound > items[i].score;
                }
            }
            return true;
        }
        bool aboveWorst = false;
        for (int i = 0; i < count; ++i) {
            if (items[i].last == last && items[i].beforeLast == beforeLast) {
                return bound > items[i].score;
            }
            aboveWorst = aboveWorst || bound > items[i].score;
        }
        return aboveWorst;
    }

    const Hypothesis& best() const {
        int b = 0;
        for (int i = 1; i < count; ++i) {
            if (items[i].score > items[b].score) {
                b = i;
            }
        }
        return items[b];
    }
};

struct Token {
    std::int32_t length;
    WordIndex word;
};

// A replacement that raised the clause's probability past its threshold.
struct Detection {
    std::int32_t spanBegin, spanEnd;  // the word reported
    std::int32_t changeBegin, changeEnd;
    std::u16string suggestion;  // the span as it would read
    double gain;
};

}  // namespace sentence_checking

class SentenceChecker {
  public:
    using Hypothesis = sentence_checking::Hypothesis;
    using Beam = sentence_checking::Beam;
    using Token = sentence_checking::Token;
    using Detection = sentence_checking::Detection;

    SentenceChecker(const ContextModel& model, const ContextInput& input,
                    const ContextOptions& options)
        : m_model(model), m_lm(model.languageModel()), m_input(input), m_options(options) {}

    // Checks input.text[sentence) whose dictionary findings are `findings` (indices into the
    // input's findings); sets their verdicts in keep and appends contextual findings to out.
    void check(SentenceRange sentence, std::span<const std::size_t> findings,
               std::vector<std::uint8_t>& keep, std::vector<rg_BiaoJiCiYuLei>& out);

  private:
    void prepareClause(std::int32_t begin, std::int32_t end);
    // Prepares every clause (a run of Han characters) of sentence in turn and calls
    // each(begin, end) on it.
    template <typename Each>
    void forEachClause(SentenceRange sentence, Each each) {
        const std::u16string_view text = m_input.text;
        for (std::int32_t begin = sentence.begin; begin < sentence.end;) {
            if (!sentence_checking::isHan(text[static_cast<std::size_t>(begin)])) {
                ++begin;
                continue;
            }
            std::int32_t end = begin;
            while (end < sentence.end &&
                   sentence_checking::isHan(text[static_cast<std::size_t>(end)])) {
                ++end;
            }
            prepareClause(begin, end);
            each(begin, end);
            begin = end;
        }
    }
    double gain(std::int32_t changeBegin, std::int32_t changeEnd, std::u16string_view replacement);
    double wordGain(std::int32_t changeBegin, std::int32_t changeEnd,
                    std::u16string_view replacement);
    double bestUnigramPath(std::u16string_view text);
    void detect(std::vector<Detection>& detections);
    void detectNeighbours(std::vector<Detection>& detections);
    bool shielded(std::int32_t changeBegin, std::int32_t changeEnd) const;
    bool accepted(double gain, double threshold, std::int32_t changeBegin, std::int32_t changeEnd,
                  std::u16string_view replacement);
    // Marks the clause's units that a vocabulary word of two or more units holds.
    void markWords();
    // Whether replacing the character at `at` makes one word of [begin, end), whose characters
    // are each a word of their own as written, none of them mostly a name's, the replaced one
    // common: what a pinyin input method gets wrong (目绿 for 目录), where how common the word is
    // counts as evidence too.
    bool makesWordOfNoWords(std::int32_t begin, std::int32_t end, std::int32_t at) const;
    // Whether a word of the correct dictionaries of two to four units covers `at` as written.
    bool inKnownWord(std::int32_t at) const;
    // Whether a replacement at `at` that makes a word of [begin, end) takes a character from
    // another word of the text as written (最高行 read as 最 + 高兴).
    bool takesFromWrittenWord(std::int32_t begin, std::int32_t end, std::int32_t at) const;

    const ContextModel& m_model;
    const LanguageModel& m_lm;
    const ContextInput& m_input;
    const ContextOptions& m_options;

    SentenceRange m_sentence;
    bool m_writtenTraditional = false;    // the sentence is written in traditional characters
    std::int32_t m_begin = 0, m_end = 0;  // the clause being checked
    // Per sentence unit: under a kept dictionary finding (and, once they are chosen, under a
    // chosen replacement).
    std::vector<std::uint8_t> m_covered;
    std::vector<Token> m_tokens;
    std::vector<std::int32_t> m_tokenStart;  // per clause unit, plus one
    // Per clause unit x and depth k < kMaxWordLength: the trie node of the text [x, x + k], or
    // kNoNode. A replacement's words then start from the node just before the change.
    std::vector<std::uint32_t> m_prefixNodes;
    // Per character: the kind of confusion with the character being checked (low 3 bits) and
    // 1 + its index among the candidates (the rest); all zero between positions.
    std::vector<std::uint32_t> m_candidateSlot = std::vector<std::uint32_t>(0x10000, 0);
    std::vector<std::u16string_view> m_sameSound;
    std::vector<std::uint8_t> m_inWord;  // per clause unit: inside a vocabulary word of 2+ units
    std::vector<std::pair<std::u16string, Confusion>> m_pairs;
    std::vector<Beam> m_beams;  // per clause boundary
    std::vector<Beam> m_changed;
    std::u16string m_changedText;
    std::u16string m_window;
    std::vector<double> m_unigramBest;
};

}  // namespace kjf
