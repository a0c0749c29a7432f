#include "engine/scan.h"

#include <algorithm>

namespace kjf {

namespace {

bool isHighSurrogate(char16_t u) {
    return u >= 0xD800 && u <= 0xDBFF;
}
bool isLowSurrogate(char16_t u) {
    return u >= 0xDC00 && u <= 0xDFFF;
}

// An unmatched line break or blank is never a finding: a blank can be no dictionary entry of its
// own (lines are trimmed), so flagging it would drown every real finding in a text with spaces.
bool isPassedOver(char16_t unit) {
    return unit == u'\r' || unit == u'\n' || unit == u'\t' || unit == u' ' || unit == 0x00A0 ||
           unit == 0x3000;
}

// A lone CR, a lone LF and the empty text are never reported as matches.
bool isUnreportable(std::u16string_view t) {
    return t.empty() || t == u"\r" || t == u"\n";
}

constexpr std::int64_t kFirstRequest = 16;

}  // namespace

void rg_ChaCuoYinQing::Scan::walkForward(std::int64_t anchor, std::int64_t maxLength, Walk& walk) {
    walk.marks.clear();
    walk.requested = std::min(maxLength, kFirstRequest);
    request(anchor, walk.requested, walk.text);
    // The next walk starts one, two or three units on, mostly: start fetching its first steps.
    for (std::size_t ahead = 1; ahead + 1 < walk.text.size() && ahead <= 3; ++ahead) {
        m_forward.prefetchStart(walk.text[ahead], walk.text[ahead + 1]);
    }
    WordTrie::Node node = m_forward.root();
    std::int64_t depth = 0;
    for (;;) {
        while (depth < static_cast<std::int64_t>(walk.text.size())) {
            node = m_forward.child(node, walk.text[static_cast<std::size_t>(depth)]);
            if (node == WordTrie::kNone) {
                return;
            }
            ++depth;
            if (const auto mark = m_forward.mark(node); mark != 0) {
                walk.marks.push_back({depth, mark});
            }
        }
        if (walk.shortAnswer() || walk.requested >= maxLength || !m_forward.hasChildren(node)) {
            return;
        }
        // A longer key may still match: ask again for a longer window (the text is unchanged,
        // so the units seen so far are its prefix).
        walk.requested = std::min(maxLength, walk.requested * 4);
        request(anchor, walk.requested, walk.text);
        if (static_cast<std::int64_t>(walk.text.size()) < depth) {
            return;
        }
    }
}

// Walks the backward trie over the window that ends at anchor. Returns false when the source
// answered with fewer units than asked, so the window does not end at the anchor.
bool rg_ChaCuoYinQing::Scan::walkBackward(std::int64_t anchor, std::int64_t maxLength, Walk& walk) {
    walk.marks.clear();
    walk.requested = std::min(maxLength, kFirstRequest);
    WordTrie::Node node = m_backward.root();
    std::int64_t depth = 0;
    for (;;) {
        request(anchor - walk.requested + 1, walk.requested, walk.text);
        if (walk.shortAnswer()) {
            return false;
        }
        const auto size = static_cast<std::int64_t>(walk.text.size());
        while (depth < size) {
            node = m_backward.child(node, walk.text[static_cast<std::size_t>(size - 1 - depth)]);
            if (node == WordTrie::kNone) {
                return true;
            }
            ++depth;
            if (const auto mark = m_backward.mark(node); mark != 0) {
                walk.marks.push_back({depth, mark});
            }
        }
        if (walk.requested >= maxLength || !m_backward.hasChildren(node)) {
            return true;
        }
        walk.requested = std::min(maxLength, walk.requested * 4);
    }
}

void rg_ChaCuoYinQing::Scan::progress(std::int64_t processed) {
    // Reading the clock costs more than a step; every few steps is often enough to report once
    // a second has passed.
    if (--m_clockCountdown > 0) {
        return;
    }
    m_clockCountdown = m_engine.m_stepsPerClockReading;
    const std::int64_t now = m_engine.m_clock();
    if (m_startTime == 0) {
        m_startTime = now;
    }
    const std::int64_t elapsed = now - m_startTime;
    if (elapsed < 1) {
        return;
    }
    const std::int64_t speed = ((processed / elapsed) * 3600) / 10000;
    const std::int64_t percent = m_total > 0 ? processed * 100 / m_total : 0;
    m_engine.onProgress.call(m_engine, static_cast<double>(speed),
                             static_cast<std::int32_t>(percent), std::int32_t{100});
}

void rg_ChaCuoYinQing::Scan::report(FindingType type, std::int64_t position, std::int64_t length,
                                    std::u16string_view word, std::u16string_view suggestion) {
    if (isUnreportable(word)) {
        return;
    }
    const auto p = static_cast<std::int32_t>(position);
    const auto n = static_cast<std::int32_t>(length);
    m_engine.onWordReported.call(m_engine, type, p, n, word, suggestion);
    if (type != FindingType::Correct) {
        ++m_engine.m_findingCount;
        if (m_engine.m_keepFindings) {
            m_engine.m_findings.push_back(
                {type, p, n, std::u16string(word), std::u16string(suggestion)});
        }
    }
}

void rg_ChaCuoYinQing::Scan::unmatched(std::int64_t x, std::u16string_view character) {
    if (m_boost) {
        contextCheck(x, character);
    } else {
        report(FindingType::Suspected, x, static_cast<std::int64_t>(character.size()), character,
               u"");
    }
}

void rg_ChaCuoYinQing::Scan::contextCheck(std::int64_t x, std::u16string_view character) {
    const std::int64_t longest = m_n - 1;
    if (longest >= 2) {
        // Passes 1 and 2: the windows of k = 2 .. N - 1 positions that end with the character.
        const std::int64_t reach = std::min(longest, x + 1);
        if (reach >= 2) {
            if (!walkBackward(x, reach, m_contextWalk)) {
                if (literalWindowsEndingAt(x)) {
                    return;
                }
            } else {
                const auto& w = m_contextWalk;
                const auto size = static_cast<std::int64_t>(w.text.size());
                for (const bool errorPass : {true, false}) {
                    for (const auto& m : w.marks) {
                        if (m.depth < 2) {
                            continue;
                        }
                        const bool hit = errorPass ? (m.mark & WordTrie::kErrorMask) != 0
                                                   : (m.mark & WordTrie::kCorrectBit) != 0;
                        if (hit) {
                            const auto word = std::u16string_view(w.text).substr(
                                static_cast<std::size_t>(size - m.depth));
                            report(errorPass ? FindingType::Error : FindingType::Correct,
                                   x - m.depth + 1, m.depth, word, u"");
                            return;
                        }
                    }
                }
            }
        }
        // Passes 3 and 4: the windows that start with the character. Near the end of the text
        // the source returns fewer units; a window k longer than what is left reads the same
        // text as the first window that reached the end, so it cannot hit where that one did not.
        walkForward(x, longest, m_contextWalk);
        const auto& w = m_contextWalk;
        const auto available = static_cast<std::int64_t>(w.text.size());
        for (const bool errorPass : {true, false}) {
            for (const auto& m : w.marks) {
                // The window k reads min(k, available) units; k starts at 2.
                const std::int64_t k = m.depth >= 2 ? m.depth : (m.depth == available ? 2 : 0);
                if (k == 0 || k > longest) {
                    continue;
                }
                const bool hit = errorPass ? (m.mark & WordTrie::kErrorMask) != 0
                                           : (m.mark & WordTrie::kCorrectBit) != 0;
                if (hit) {
                    const auto word =
                        std::u16string_view(w.text).substr(0, static_cast<std::size_t>(m.depth));
                    report(errorPass ? FindingType::Error : FindingType::Correct, x, k, word, u"");
                    return;
                }
            }
        }
    }
    report(FindingType::Suspected, x, static_cast<std::int64_t>(character.size()), character, u"");
}

// The context check's first two passes window by window, for a source that answers short.
bool rg_ChaCuoYinQing::Scan::literalWindowsEndingAt(std::int64_t x) {
    const auto& errors = m_engine.errorWords();
    const auto& corrects = m_engine.correctWords();
    for (const bool errorPass : {true, false}) {
        for (std::int64_t k = 2; k <= m_n - 1; ++k) {
            const std::int64_t b = x - k + 1;
            if (b < 0) {
                continue;
            }
            request(b, k, m_scratch);
            if (m_scratch.empty()) {
                continue;
            }
            if (errorPass ? errors.contains(m_scratch) : corrects.contains(m_scratch)) {
                report(errorPass ? FindingType::Error : FindingType::Correct, b, k, m_scratch, u"");
                return true;
            }
        }
    }
    return false;
}

void rg_ChaCuoYinQing::Scan::forwardScan() {
    std::int64_t p = 0;
    while (m_engine.running.load(std::memory_order_relaxed) != 0 && p < m_total) {
        progress(p);
        const std::int64_t length = std::min(m_n, m_total - p);
        if (length <= 0) {
            ++p;  // no window at all (N is 0): nothing can match
            continue;
        }
        walkForward(p, length, m_walk);
        const auto& w = m_walk;
        if (!w.marks.empty()) {
            const Mark best = w.marks.back();
            // When the source answered short, every window from N down to what it gave reads the
            // same text; the first of them, of the full length, is the one that matches.
            const bool wholeShortAnswer =
                w.shortAnswer() && best.depth == static_cast<std::int64_t>(w.text.size());
            const auto word =
                std::u16string_view(w.text).substr(0, static_cast<std::size_t>(best.depth));
            const std::int64_t reported = wholeShortAnswer ? length : best.depth;
            if ((best.mark & WordTrie::kErrorMask) != 0) {
                report(FindingType::Error, p, reported, word, suggestionOf(best.mark));
            } else {
                report(FindingType::Correct, p, reported, word, u"");
            }
            p += wholeShortAnswer ? m_n : best.depth;
            continue;
        }
        if (w.text.empty()) {
            ++p;
            continue;
        }
        const char16_t unit = w.text[0];
        if (isPassedOver(unit)) {
            ++p;
            continue;
        }
        // A character outside the Basic Multilingual Plane is one unmatched character, not two.
        m_character.assign(1, unit);
        if (isHighSurrogate(unit) && p + 1 < m_total) {
            char16_t next = 0;
            if (w.text.size() >= 2) {
                next = w.text[1];
            } else {
                request(p + 1, 1, m_scratch);
                next = m_scratch.empty() ? 0 : m_scratch[0];
            }
            if (isLowSurrogate(next)) {
                m_character.push_back(next);
            }
        }
        unmatched(p, m_character);
        p += static_cast<std::int64_t>(m_character.size());
    }
}

// One reverse step window by window, for a source that answers short.
bool rg_ChaCuoYinQing::Scan::literalStepReverse(std::int64_t& e) {
    const auto& errors = m_engine.errorWords();
    const auto& corrects = m_engine.correctWords();
    for (std::int64_t w = m_n; w >= 1; --w) {
        std::int64_t s = e - w + 1;
        std::int64_t length = w;
        if (s < 0) {
            s = 0;
            length = e + 1;
        }
        request(s, length, m_scratch);
        if (const auto i = errors.find(m_scratch); i >= 0) {
            report(FindingType::Error, s, length, m_scratch,
                   errors.valueAt(static_cast<std::size_t>(i)));
            e -= w;
            return true;
        }
        if (corrects.contains(m_scratch)) {
            report(FindingType::Correct, s, length, m_scratch, u"");
            e -= w;
            return true;
        }
    }
    return false;
}

void rg_ChaCuoYinQing::Scan::reverseScan() {
    std::int64_t e = m_total - 1;
    while (m_engine.running.load(std::memory_order_relaxed) != 0 && e >= 0) {
        progress(m_total - e);
        const std::int64_t length = std::min(m_n, e + 1);
        if (length <= 0) {
            --e;
            continue;
        }
        char16_t unit = 0;
        bool previousFetched = false;
        if (!walkBackward(e, length, m_walk)) {
            if (literalStepReverse(e)) {
                continue;
            }
            // No window matched; the character is what the window of one position reads.
            request(e, 1, m_scratch);
            if (m_scratch.empty()) {
                --e;
                continue;
            }
            unit = m_scratch[0];
        } else if (!m_walk.marks.empty()) {
            const Mark best = m_walk.marks.back();
            const auto size = m_walk.text.size();
            const auto word = std::u16string_view(m_walk.text)
                                  .substr(size - static_cast<std::size_t>(best.depth));
            if ((best.mark & WordTrie::kErrorMask) != 0) {
                report(FindingType::Error, e - best.depth + 1, best.depth, word,
                       suggestionOf(best.mark));
            } else {
                report(FindingType::Correct, e - best.depth + 1, best.depth, word, u"");
            }
            e -= best.depth;
            continue;
        } else {
            unit = m_walk.text.back();
            previousFetched = m_walk.text.size() >= 2;
        }
        if (isPassedOver(unit)) {
            --e;
            continue;
        }
        // A character outside the Basic Multilingual Plane is one unmatched character, not two.
        if (isLowSurrogate(unit) && e >= 1) {
            char16_t previous = 0;
            if (previousFetched) {
                previous = m_walk.text[m_walk.text.size() - 2];
            } else {
                request(e - 1, 1, m_scratch);
                previous = m_scratch.empty() ? 0 : m_scratch[0];
            }
            if (isHighSurrogate(previous)) {
                m_character = {previous, unit};
                unmatched(e - 1, m_character);
                e -= 2;
                continue;
            }
        }
        m_character.assign(1, unit);
        unmatched(e, m_character);
        --e;
    }
}

}  // namespace kjf
