#include "context/sentence_checker.h"

#include <algorithm>
#include <limits>

namespace kjf {

namespace {

using sentence_checking::isHan;
using sentence_checking::WordIndex;

// Boundaries after a replacement that may still differ from the text as written.
constexpr int kRightContext = 4;
// How much rarer (log10 of unigram probability) a same-sound word may be than the word written
// and still be tried in its place.
constexpr float kSwapRarityLimit = 1.0F;
// Least unigram log10 probability of a word tried over two neighbouring characters: a rare word
// almost never wins there, and there are many.
constexpr float kNeighbourMinUnigram = -4.5F;
// Characters this common as words of their own (的, 是, 在) are what they seem: two neighbours are
// not tried together when one of them is, which saves most of the work at no measured cost.
constexpr float kNeighbourMaxCommon = -2.5F;
// What two characters changed together need beyond a whole word swapped.
constexpr double kNeighbourOffset = 3.0;
constexpr WordIndex kNoHistory = std::numeric_limits<WordIndex>::max();
// A sentence with at least this many traditional characters, and at least one in
// kTraditionalShare of its Chinese characters traditional, is written in traditional characters
// (《星島日報》, 整合異業種智慧的新企業): the writer chose them, and none is replaced by its
// Simplified form. A stray one in Simplified text (那麽) still is.
constexpr int kTraditionalMin = 3;
constexpr int kTraditionalShare = 5;

// The evidence each kind of confusion needs, from the one threshold the user sets.
double thresholdFor(Confusion kind, const ContextOptions& options) {
    switch (kind) {
        case Confusion::Variant:
            return options.threshold + options.variantOffset;
        case Confusion::SameSound:
            return options.threshold;
        case Confusion::NearSound:
            return options.threshold + options.nearSoundOffset;
        case Confusion::Shape:
            return options.threshold + options.shapeOffset;
        case Confusion::None:
            break;
    }
    return std::numeric_limits<double>::infinity();
}

}  // namespace

void SentenceChecker::prepareClause(std::int32_t begin, std::int32_t end) {
    m_begin = begin;
    m_end = end;
    const std::u16string_view text = m_input.text;
    const auto n = static_cast<std::size_t>(end - begin);
    m_tokens.clear();
    m_tokenStart.assign(n + 1, 0);
    m_prefixNodes.assign(n * ContextModel::kMaxWordLength, ContextModel::kNoNode);
    for (std::int32_t x = begin; x < end; ++x) {
        m_tokenStart[static_cast<std::size_t>(x - begin)] =
            static_cast<std::int32_t>(m_tokens.size());
        std::uint32_t* nodes = m_prefixNodes.data() +
                               static_cast<std::size_t>(x - begin) * ContextModel::kMaxWordLength;
        std::uint32_t node = ContextModel::kRoot;
        bool single = false;
        for (std::int32_t y = x; y < end && y - x < ContextModel::kMaxWordLength; ++y) {
            node = m_model.child(node, text[static_cast<std::size_t>(y)]);
            if (node == ContextModel::kNoNode) {
                break;
            }
            nodes[y - x] = node;
            const WordIndex w = m_model.wordAt(node);
            if (w != m_lm.unknown()) {
                m_tokens.push_back({y + 1 - x, w});
                single = single || y == x;
            }
        }
        if (!single) {
            m_tokens.push_back({1, m_lm.unknown()});
        }
    }
    m_tokenStart[n] = static_cast<std::int32_t>(m_tokens.size());

    m_beams.assign(n + 1, Beam{});
    m_beams[0].add(m_lm.beginState(), 0.0, kNoHistory, kNoHistory);
    LanguageModelState out;
    for (std::size_t x = 0; x < n; ++x) {
        const Beam& from = m_beams[x];
        for (auto t = m_tokenStart[x]; t < m_tokenStart[x + 1]; ++t) {
            const Token token = m_tokens[static_cast<std::size_t>(t)];
            Beam& to = m_beams[x + static_cast<std::size_t>(token.length)];
            for (int h = 0; h < from.count; ++h) {
                const Hypothesis& hyp = from.items[h];
                if (!to.admits(hyp.score, token.word, hyp.last)) {
                    continue;
                }
                const double s = hyp.score + m_lm.score(hyp.state, token.word, out);
                to.add(out, s, token.word, hyp.last);
            }
        }
    }
}

double SentenceChecker::gain(std::int32_t changeBegin, std::int32_t changeEnd,
                             std::u16string_view replacement) {
    const std::int32_t from = std::max(m_begin, changeBegin - ContextModel::kMaxWordLength + 1);
    const std::int32_t limit = std::min(m_end, changeEnd + kRightContext);
    const std::int32_t textEnd = std::min(m_end, limit + ContextModel::kMaxWordLength);
    const std::u16string_view text = m_input.text;
    m_changedText.assign(
        text.substr(static_cast<std::size_t>(from), static_cast<std::size_t>(textEnd - from)));
    std::copy(replacement.begin(), replacement.end(), m_changedText.begin() + (changeBegin - from));
    const auto at = [&](std::int32_t x) {
        return m_changedText[static_cast<std::size_t>(x - from)];
    };

    m_changed.assign(static_cast<std::size_t>(limit - changeBegin + 1), Beam{});
    const auto changedBeam = [&](std::int32_t x) -> Beam& {
        return m_changed[static_cast<std::size_t>(x - changeBegin)];
    };
    const auto beamAt = [&](std::int32_t x) -> const Beam& {
        return x <= changeBegin ? m_beams[static_cast<std::size_t>(x - m_begin)] : changedBeam(x);
    };
    LanguageModelState out;
    const auto extend = [&](const Beam& source, std::int32_t y, WordIndex word) {
        Beam& to = changedBeam(y);
        for (int h = 0; h < source.count; ++h) {
            const Hypothesis& hyp = source.items[h];
            if (!to.admits(hyp.score, word, hyp.last)) {
                continue;
            }
            const double s = hyp.score + m_lm.score(hyp.state, word, out);
            to.add(out, s, word, hyp.last);
        }
    };

    for (std::int32_t x = from; x < limit; ++x) {
        const Beam& source = beamAt(x);
        if (x > changeBegin && x >= changeEnd) {
            const Hypothesis& a = source.best();
            const Hypothesis& b = m_beams[static_cast<std::size_t>(x - m_begin)].best();
            if (a.last == b.last && a.beforeLast == b.beforeLast) {
                return a.score - b.score;  // the rest reads alike
            }
        }
        if (x >= changeEnd) {
            const auto first = m_tokenStart[static_cast<std::size_t>(x - m_begin)];
            const auto last = m_tokenStart[static_cast<std::size_t>(x - m_begin) + 1];
            for (auto t = first; t < last; ++t) {
                const Token token = m_tokens[static_cast<std::size_t>(t)];
                if (x + token.length <= limit) {
                    extend(source, x + token.length, token.word);
                }
            }
            continue;
        }
        if (source.count == 0) {
            continue;
        }
        // Words that start at x and reach into the change: the unchanged text before the change
        // was walked once for the clause.
        std::uint32_t node = ContextModel::kRoot;
        std::int32_t y = x;
        if (x < changeBegin) {
            node =
                m_prefixNodes[static_cast<std::size_t>(x - m_begin) * ContextModel::kMaxWordLength +
                              static_cast<std::size_t>(changeBegin - 1 - x)];
            if (node == ContextModel::kNoNode) {
                continue;
            }
            y = changeBegin;
        }
        bool single = false;
        for (; y < textEnd && y - x < ContextModel::kMaxWordLength; ++y) {
            node = m_model.child(node, at(y));
            if (node == ContextModel::kNoNode) {
                break;
            }
            const WordIndex w = m_model.wordAt(node);
            if (w == m_lm.unknown()) {
                continue;
            }
            single = single || y == x;
            if (y + 1 <= limit) {
                extend(source, y + 1, w);
            }
        }
        if (!single && x >= changeBegin) {
            extend(source, x + 1, m_lm.unknown());
        }
    }
    return changedBeam(limit).best().score -
           m_beams[static_cast<std::size_t>(limit - m_begin)].best().score;
}

double SentenceChecker::bestUnigramPath(std::u16string_view window) {
    const auto n = window.size();
    m_unigramBest.assign(n + 1, -std::numeric_limits<double>::infinity());
    m_unigramBest[0] = 0;
    for (std::size_t x = 0; x < n; ++x) {
        std::uint32_t node = ContextModel::kRoot;
        bool single = false;
        for (std::size_t y = x; y < n && y - x < ContextModel::kMaxWordLength; ++y) {
            node = m_model.child(node, window[y]);
            if (node == ContextModel::kNoNode) {
                break;
            }
            const WordIndex w = m_model.wordAt(node);
            if (w != m_lm.unknown()) {
                single = single || y == x;
                m_unigramBest[y + 1] =
                    std::max(m_unigramBest[y + 1], m_unigramBest[x] + m_model.unigram(w));
            }
        }
        if (!single) {
            m_unigramBest[x + 1] =
                std::max(m_unigramBest[x + 1], m_unigramBest[x] + m_model.unigram(m_lm.unknown()));
        }
    }
    return m_unigramBest[n];
}

double SentenceChecker::wordGain(std::int32_t changeBegin, std::int32_t changeEnd,
                                 std::u16string_view replacement) {
    const std::int32_t from = std::max(m_begin, changeBegin - ContextModel::kMaxWordLength + 1);
    const std::int32_t to = std::min(m_end, changeEnd + ContextModel::kMaxWordLength - 1);
    const auto window =
        m_input.text.substr(static_cast<std::size_t>(from), static_cast<std::size_t>(to - from));
    const double written = bestUnigramPath(window);
    m_window.assign(window);
    std::copy(replacement.begin(), replacement.end(), m_window.begin() + (changeBegin - from));
    return bestUnigramPath(m_window) - written;
}

bool SentenceChecker::accepted(double g, double threshold, std::int32_t changeBegin,
                               std::int32_t changeEnd, std::u16string_view replacement) {
    if (g < threshold) {
        return false;
    }
    if (g >= threshold + m_options.frequencyOnlyExtra) {
        return true;
    }
    return g - wordGain(changeBegin, changeEnd, replacement) >= m_options.contextMargin;
}

void SentenceChecker::detect(std::vector<Detection>& detections) {
    markWords();
    const std::u16string_view text = m_input.text;
    const auto covered = [&](std::int32_t x) {
        return m_covered[static_cast<std::size_t>(x - m_sentence.begin)] != 0;
    };
    struct Candidate {
        char16_t character;
        Confusion kind;
        std::int32_t spanBegin, spanEnd;
    };
    std::vector<Candidate> candidates;
    for (std::int32_t i = m_begin; i < m_end; ++i) {
        const char16_t written = text[static_cast<std::size_t>(i)];
        if (!isHan(written) || covered(i)) {
            continue;
        }
        const auto confusables = m_model.confusables(written);
        if (confusables.empty()) {
            continue;
        }
        candidates.clear();
        for (const auto& c : confusables) {
            m_candidateSlot[c.character] = static_cast<std::uint32_t>(c.kind);
        }
        const auto consider = [&](char16_t character, std::int32_t s, std::int32_t length) {
            const std::uint32_t slot = m_candidateSlot[character];
            if ((slot & 7U) == 0) {
                return;
            }
            if (slot >> 3 == 0) {
                candidates.push_back({character, static_cast<Confusion>(slot & 7U), s, s + length});
                m_candidateSlot[character] =
                    slot | static_cast<std::uint32_t>(candidates.size() << 3);
            } else if (Candidate& same = candidates[(slot >> 3) - 1U];
                       length > same.spanEnd - same.spanBegin) {
                same.spanBegin = s;
                same.spanEnd = s + length;
            }
        };
        for (std::int32_t length = 2; length <= 4; ++length) {
            for (std::int32_t s = std::max(m_begin, i - length + 1); s <= i && s + length <= m_end;
                 ++s) {
                const auto key = ContextModel::maskedKey(
                    text.substr(static_cast<std::size_t>(s), static_cast<std::size_t>(length)),
                    static_cast<std::size_t>(i - s));
                const auto fills = m_model.fills(key);
                // Both lists ascend by character. A short fill list is checked against the
                // confusables' slots; a long one is searched for each confusable.
                if (fills.size() <= 8 * confusables.size()) {
                    for (const char16_t fill : fills) {
                        consider(fill, s, length);
                    }
                } else {
                    for (const auto& c : confusables) {
                        if (std::binary_search(fills.begin(), fills.end(), c.character)) {
                            consider(c.character, s, length);
                        }
                    }
                }
            }
        }
        for (const auto& c : confusables) {
            m_candidateSlot[c.character] = 0;
        }
        for (const auto& c : candidates) {
            if (m_writtenTraditional && c.kind == Confusion::Variant) {
                continue;
            }
            const std::u16string_view replacement(&c.character, 1);
            const double g = gain(i, i + 1, replacement);
            const double threshold = thresholdFor(c.kind, m_options);
            if (g < threshold) {
                continue;  // what every way below asks at least
            }
            std::u16string suggestion(
                text.substr(static_cast<std::size_t>(c.spanBegin),
                            static_cast<std::size_t>(c.spanEnd - c.spanBegin)));
            suggestion[static_cast<std::size_t>(i - c.spanBegin)] = c.character;
            const double madeExtra =
                c.kind == Confusion::Shape ? m_options.madeShapeWordExtra : m_options.madeWordExtra;
            // One of the commonest words made needs less, unless the dictionaries know the
            // characters as written (行尾 is no 行为).
            const bool common =
                g >= threshold + madeExtra - m_options.commonMadeWordRelief &&
                g < threshold + madeExtra &&
                m_model.unigram(m_model.wordIndex(suggestion)) >= m_options.commonWordUnigram &&
                !inKnownWord(i);
            const double taken =
                m_options.takenWordExtra > 0 && takesFromWrittenWord(c.spanBegin, c.spanEnd, i)
                    ? m_options.takenWordExtra
                    : 0.0;
            if (accepted(g - taken, threshold, i, i + 1, replacement) ||
                ((g >= threshold + madeExtra || common) &&
                 makesWordOfNoWords(c.spanBegin, c.spanEnd, i))) {
                detections.push_back({c.spanBegin, c.spanEnd, i, i + 1, std::move(suggestion), g});
            }
        }
    }

    // Whole words swapped for a word of the same sound: 神迹 written for 审计.
    for (std::int32_t x = m_begin; x < m_end; ++x) {
        const auto first = m_tokenStart[static_cast<std::size_t>(x - m_begin)];
        const auto last = m_tokenStart[static_cast<std::size_t>(x - m_begin) + 1];
        for (auto t = first; t < last; ++t) {
            const Token token = m_tokens[static_cast<std::size_t>(t)];
            if (token.length < 2 || token.length > 4 || token.word == m_lm.unknown()) {
                continue;
            }
            const auto word =
                text.substr(static_cast<std::size_t>(x), static_cast<std::size_t>(token.length));
            bool blocked = false;
            for (std::int32_t k = x; k < x + token.length; ++k) {
                blocked = blocked || covered(k);
            }
            if (blocked) {
                continue;
            }
            // A word much rarer than the one written almost never wins on context alone, and
            // trying every one of them cost half of the pass.
            m_model.sameSoundWords(word, m_sameSound,
                                   m_model.unigram(token.word) - kSwapRarityLimit);
            for (const auto other : m_sameSound) {
                std::int32_t b = 0;
                while (other[static_cast<std::size_t>(b)] == word[static_cast<std::size_t>(b)]) {
                    ++b;
                }
                std::int32_t e = token.length;
                while (other[static_cast<std::size_t>(e - 1)] ==
                       word[static_cast<std::size_t>(e - 1)]) {
                    --e;
                }
                const double g = gain(
                    x + b, x + e,
                    other.substr(static_cast<std::size_t>(b), static_cast<std::size_t>(e - b)));
                const auto replacement =
                    other.substr(static_cast<std::size_t>(b), static_cast<std::size_t>(e - b));
                if (accepted(g, m_options.threshold + m_options.wordSwapOffset, x + b, x + e,
                             replacement)) {
                    detections.push_back(
                        {x, x + token.length, x + b, x + e, std::u16string(other), g});
                }
            }
        }
    }

    detectNeighbours(detections);
}

void SentenceChecker::detectNeighbours(std::vector<Detection>& detections) {
    // Two neighbouring characters that no vocabulary word holds, replaced together: a word of the
    // same sound typed over a non-word (按装 for 安装 reads as 按 + 装), or two wrong characters
    // side by side. One candidate at a time cannot repair them: neither change alone makes a word.
    const std::u16string_view text = m_input.text;
    const auto covered = [&](std::int32_t x) {
        return m_covered[static_cast<std::size_t>(x - m_sentence.begin)] != 0;
    };
    for (std::int32_t x = m_begin; x + 1 < m_end; ++x) {
        const auto at = static_cast<std::size_t>(x - m_begin);
        if (m_inWord[at] != 0 || m_inWord[at + 1] != 0 || covered(x) || covered(x + 1)) {
            continue;
        }
        const auto written = text.substr(static_cast<std::size_t>(x), 2);
        if (m_model.unigram(m_model.wordIndex(written.substr(0, 1))) > kNeighbourMaxCommon ||
            m_model.unigram(m_model.wordIndex(written.substr(1, 1))) > kNeighbourMaxCommon) {
            continue;
        }
        m_pairs.clear();
        // Words of the same sound (both characters differ).
        m_model.sameSoundWords(written, m_sameSound, kNeighbourMinUnigram);
        for (const auto other : m_sameSound) {
            m_pairs.emplace_back(std::u16string(other), Confusion::SameSound);
        }
        // Words whose characters each sound like the one written (shapes: too many pairs for what
        // they find).
        for (const auto& first : m_model.confusables(written[0])) {
            if (first.kind != Confusion::SameSound && first.kind != Confusion::NearSound) {
                continue;
            }
            const char16_t key[2] = {first.character, 0};
            for (const char16_t fill :
                 m_model.fills(ContextModel::maskedKey(std::u16string_view(key, 2), 1))) {
                const Confusion second = m_model.confusion(written[1], fill);
                if ((second != Confusion::SameSound && second != Confusion::NearSound) ||
                    (first.kind == Confusion::SameSound && second == Confusion::SameSound)) {
                    continue;  // same-sound pairs came above
                }
                m_pairs.emplace_back(std::u16string{first.character, fill},
                                     std::max(first.kind, second));
            }
        }
        for (const auto& [word, kind] : m_pairs) {
            if (m_model.unigram(m_model.wordIndex(word)) < kNeighbourMinUnigram) {
                continue;
            }
            const double g = gain(x, x + 2, word);
            if (accepted(
                    g, thresholdFor(kind, m_options) + m_options.wordSwapOffset + kNeighbourOffset,
                    x, x + 2, word)) {
                detections.push_back({x, x + 2, x, x + 2, word, g});
            }
        }
    }
}

void SentenceChecker::check(SentenceRange sentence, std::span<const std::size_t> findings,
                            std::vector<std::uint8_t>& keep, std::vector<rg_BiaoJiCiYuLei>& out) {
    m_sentence = sentence;
    const std::u16string_view text = m_input.text;
    int han = 0;
    int traditional = 0;
    for (auto x = sentence.begin; x < sentence.end; ++x) {
        const char16_t u = text[static_cast<std::size_t>(x)];
        if (isHan(u)) {
            ++han;
            const auto confusables = m_model.confusables(u);
            traditional += std::any_of(confusables.begin(), confusables.end(),
                                       [](const auto& c) { return c.kind == Confusion::Variant; });
        }
    }
    m_writtenTraditional = traditional >= kTraditionalMin && traditional * kTraditionalShare >= han;
    m_covered.assign(static_cast<std::size_t>(sentence.end - sentence.begin), 0);

    std::vector<std::size_t> toVerify;
    for (const auto i : findings) {
        const auto& f = m_input.findings[i];
        const bool verifiable = i < m_input.verifiable.size() && m_input.verifiable[i] &&
                                f.type == FindingType::Error &&
                                f.suggestion.size() == f.word.size() && f.length > 0 &&
                                f.suggestion != f.word;
        if (verifiable) {
            toVerify.push_back(i);
        } else if (i < m_input.verifiable.size() && m_input.verifiable[i] &&
                   f.type == FindingType::Suspected) {
            keep[i] = 0;  // the detector below judges its character like any other
        }
    }

    // Each finding is judged in the clause that holds it; findings and clauses are walked once,
    // in text order, so that a sentence of many clauses costs no more than its parts.
    std::sort(toVerify.begin(), toVerify.end(), [&](std::size_t a, std::size_t b) {
        return m_input.findings[a].position < m_input.findings[b].position;
    });
    std::size_t nextToVerify = 0;
    std::vector<Detection> detections;
    forEachClause(sentence, [&](std::int32_t begin, std::int32_t end) {
        for (; nextToVerify < toVerify.size(); ++nextToVerify) {
            const std::size_t i = toVerify[nextToVerify];
            const auto& f = m_input.findings[i];
            if (f.position >= end) {
                break;
            }
            if (f.position < begin || f.position + f.length > end ||
                std::u16string_view(f.word) != text.substr(static_cast<std::size_t>(f.position),
                                                           static_cast<std::size_t>(f.length))) {
                continue;
            }
            std::int32_t b = 0;
            while (f.word[static_cast<std::size_t>(b)] ==
                   f.suggestion[static_cast<std::size_t>(b)]) {
                ++b;
            }
            std::int32_t e = f.length;
            while (f.word[static_cast<std::size_t>(e - 1)] ==
                   f.suggestion[static_cast<std::size_t>(e - 1)]) {
                --e;
            }
            const double g =
                gain(f.position + b, f.position + e,
                     std::u16string_view(f.suggestion)
                         .substr(static_cast<std::size_t>(b), static_cast<std::size_t>(e - b)));
            double margin = m_options.keepMargin;
            bool generated = true;
            if (i < m_input.unscanned.size() && m_input.unscanned[i]) {
                margin = f.length >= 4 ? m_options.unscannedIdiomMargin : m_options.unscannedMargin;
                generated = false;
            } else if (i < m_input.crossed.size() && m_input.crossed[i]) {
                margin = m_options.crossedMargin;
                generated = false;
            }
            bool kept = g >= margin;
            // A generated wrong word whose suggestion wins mostly by how common its words are,
            // rather than by how it fits its neighbours, needs more: names and brands read as
            // common words (林晓雨 as 小雨, 逸动 as 移动).
            if (kept && generated && g < margin + m_options.keepFrequencyExtra) {
                const auto changed =
                    std::u16string_view(f.suggestion)
                        .substr(static_cast<std::size_t>(b), static_cast<std::size_t>(e - b));
                kept = g - wordGain(f.position + b, f.position + e, changed) >=
                       m_options.contextMargin;
            }
            keep[i] = kept ? 1 : 0;
        }
    });
    for (const auto i : findings) {
        const auto& f = m_input.findings[i];
        if (keep[i] == 0) {
            continue;
        }
        const auto b = std::max(f.position, sentence.begin);
        const auto e = std::min(f.position + f.length, sentence.end);
        for (auto x = b; x < e; ++x) {
            m_covered[static_cast<std::size_t>(x - sentence.begin)] = 1;
        }
    }
    forEachClause(sentence, [&](std::int32_t, std::int32_t) { detect(detections); });

    // The strongest replacements win where they overlap.
    std::stable_sort(detections.begin(), detections.end(),
                     [](const Detection& a, const Detection& b) {
                         if (a.gain != b.gain) {
                             return a.gain > b.gain;
                         }
                         return a.spanBegin < b.spanBegin;
                     });
    // A unit under a kept finding or a chosen replacement is taken: a replacement that touches
    // one is dropped.
    std::vector<const Detection*> chosen;
    for (const auto& d : detections) {
        bool taken = false;
        for (auto x = d.spanBegin; x < d.spanEnd; ++x) {
            taken = taken || m_covered[static_cast<std::size_t>(x - sentence.begin)] != 0;
        }
        if (!taken && !shielded(d.changeBegin, d.changeEnd)) {
            chosen.push_back(&d);
            for (auto x = d.spanBegin; x < d.spanEnd; ++x) {
                m_covered[static_cast<std::size_t>(x - sentence.begin)] = 1;
            }
        }
    }
    std::sort(chosen.begin(), chosen.end(),
              [](const Detection* a, const Detection* b) { return a->spanBegin < b->spanBegin; });
    for (const Detection* d : chosen) {
        rg_BiaoJiCiYuLei f;
        f.type = FindingType::Error;
        f.position = d->spanBegin;
        f.length = d->spanEnd - d->spanBegin;
        f.word = std::u16string(text.substr(static_cast<std::size_t>(d->spanBegin),
                                            static_cast<std::size_t>(f.length)));
        f.suggestion = d->suggestion;
        f.source = FindingSource::Context;
        out.push_back(std::move(f));
    }
}

}  // namespace kjf
