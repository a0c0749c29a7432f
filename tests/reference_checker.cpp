#include "reference_checker.h"

#include <algorithm>

namespace kjf::test {

namespace {

class Reference {
  public:
    Reference(const ReferenceTables& tables, const std::u16string& text, std::int64_t n,
              std::int32_t boost)
        : m_tables(tables), m_text(text), m_n(n), m_boost(boost) {}

    std::u16string request(std::int64_t position, std::int64_t length) const {
        if (position < 0 || length <= 0 || position >= static_cast<std::int64_t>(m_text.size())) {
            return u"";
        }
        return m_text.substr(static_cast<std::size_t>(position), static_cast<std::size_t>(length));
    }
    bool isError(const std::u16string& t) const { return m_tables.errorWords.count(t) != 0; }
    bool isCorrect(const std::u16string& t) const { return m_tables.correctWords.count(t) != 0; }
    static bool lone(const std::u16string& t) { return t.empty() || t == u"\r" || t == u"\n"; }
    // An unmatched line break or blank (tab, space, no-break space, ideographic space).
    static bool passedOver(const std::u16string& t) {
        return lone(t) || t == u"\r\n" || t == u"\t" || t == u" " || t == u"\u00A0" ||
               t == u"\u3000";
    }

    void report(FindingType type, std::int64_t p, std::int64_t n, const std::u16string& word,
                const std::u16string& suggestion) {
        result.reports.push_back(
            {type, static_cast<std::int32_t>(p), static_cast<std::int32_t>(n), word, suggestion});
        if (type != FindingType::Correct && !lone(word)) {
            result.findings.push_back({type, static_cast<std::int32_t>(p),
                                       static_cast<std::int32_t>(n), word, suggestion});
        }
    }

    void contextCheck(std::int64_t x, const std::u16string& character) {
        for (const bool errorPass : {true, false}) {
            for (std::int64_t k = 2; k <= m_n - 1; ++k) {
                const std::int64_t b = x - k + 1;
                if (b < 0) {
                    continue;
                }
                const auto t = request(b, k);
                if (!t.empty() && (errorPass ? isError(t) : isCorrect(t))) {
                    report(errorPass ? FindingType::Error : FindingType::Correct, b, k, t, u"");
                    return;
                }
            }
        }
        for (const bool errorPass : {true, false}) {
            for (std::int64_t k = 2; k <= m_n - 1; ++k) {
                const auto t = request(x, k);
                if (!t.empty() && (errorPass ? isError(t) : isCorrect(t))) {
                    report(errorPass ? FindingType::Error : FindingType::Correct, x, k, t, u"");
                    return;
                }
            }
        }
        report(FindingType::Suspected, x, static_cast<std::int64_t>(character.size()), character,
               u"");
    }

    void unmatched(std::int64_t x, const std::u16string& character) {
        if (m_boost == 1) {
            contextCheck(x, character);
        } else {
            report(FindingType::Suspected, x, static_cast<std::int64_t>(character.size()),
                   character, u"");
        }
    }

    static bool high(char16_t u) { return u >= 0xD800 && u <= 0xDBFF; }
    static bool low(char16_t u) { return u >= 0xDC00 && u <= 0xDFFF; }

    void forward(std::int64_t total) {
        std::int64_t p = 0;
        std::int64_t w = m_n;
        while (p < total) {
            const std::int64_t len = std::min(w, total - p);
            const auto t = request(p, len);
            if (isError(t)) {
                if (!lone(t)) {
                    report(FindingType::Error, p, len, t, m_tables.errorWords.at(t));
                }
                p += w;
                w = m_n;
            } else if (isCorrect(t)) {
                if (!lone(t)) {
                    report(FindingType::Correct, p, len, t, u"");
                }
                p += w;
                w = m_n;
            } else if (w >= 2) {
                --w;
            } else {
                std::int64_t width = 1;
                if (!passedOver(t)) {
                    auto character = t;
                    const auto next = request(p + 1, 1);
                    if (p + 1 < total && high(t[0]) && !next.empty() && low(next[0])) {
                        character += next;
                        width = 2;
                    }
                    unmatched(p, character);
                }
                p += width;
                w = m_n;
            }
        }
    }

    void reverse(std::int64_t total) {
        std::int64_t e = total - 1;
        std::int64_t w = m_n;
        while (e >= 0) {
            std::int64_t s = e - w + 1;
            std::int64_t len = w;
            if (s < 0) {
                s = 0;
                len = e + 1;
            }
            const auto t = request(s, len);
            if (isError(t)) {
                if (!lone(t)) {
                    report(FindingType::Error, s, len, t, m_tables.errorWords.at(t));
                }
                e -= w;
                w = m_n;
            } else if (isCorrect(t)) {
                if (!lone(t)) {
                    report(FindingType::Correct, s, len, t, u"");
                }
                e -= w;
                w = m_n;
            } else if (w >= 2) {
                --w;
            } else {
                std::int64_t width = 1;
                if (!passedOver(t)) {
                    auto character = t;
                    std::int64_t x = s;
                    const auto previous = request(s - 1, 1);
                    if (s >= 1 && low(t[0]) && !previous.empty() && high(previous[0])) {
                        character = previous + t;
                        x = s - 1;
                        width = 2;
                    }
                    unmatched(x, character);
                }
                e -= width;
                w = m_n;
            }
        }
    }

    ReferenceResult result;

  private:
    const ReferenceTables& m_tables;
    const std::u16string& m_text;
    const std::int64_t m_n;
    const std::int32_t m_boost;
};

}  // namespace

ReferenceResult referenceCheck(const ReferenceTables& tables, const std::u16string& text,
                               std::int32_t totalLength, std::int32_t quantization,
                               std::int32_t engineType, std::int32_t accuracyBoost) {
    std::int32_t n = quantization;
    if (n < 1) {
        n = 0;
        for (const auto& [k, v] : tables.errorWords) {
            n = std::max(n, static_cast<std::int32_t>(k.size()));
        }
        for (const auto& [k, v] : tables.correctWords) {
            n = std::max(n, static_cast<std::int32_t>(k.size()));
        }
    }
    Reference r(tables, text, n, accuracyBoost);
    r.result.quantization = n;
    if (engineType == 1) {
        r.forward(totalLength);
    } else if (engineType == 2) {
        r.reverse(totalLength);
    }
    r.result.completed = engineType == 1 || engineType == 2;
    return std::move(r.result);
}

}  // namespace kjf::test
