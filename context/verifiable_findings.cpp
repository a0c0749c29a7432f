#include "context/verifiable_findings.h"

#include <algorithm>

#include "engine/dictionary_file.h"
#include "engine/dictionary_kind.h"
#include "text/files.h"
#include "text/utf.h"

namespace kjf {

bool isGeneratedErrorDictionary(std::u16string_view fileName) {
    return fileName == u"homophones.dict";
}

void CuratedErrorWords::load(const Locations& locations,
                             const std::vector<std::u16string>& systemError,
                             const std::vector<std::u16string>& userError) {
    m_words.clear();
    m_starts.clear();
    m_userWords.clear();
    m_longest = 0;
    const auto read = [&](DictionaryKind kind, const std::u16string& name) {
        const std::string path = locations.dictionaryDirectory(kind) + utf16ToUtf8Lossy(name);
        const auto bytes = readWholeFile(path);
        if (!bytes) {
            return;
        }
        WordBatch batch;
        parseDictionaryText(decodeDictionaryBytes(*bytes), true, u"", batch);
        const std::u16string_view pool(batch.pool);
        for (const auto& entry : batch.entries) {
            add(pool.substr(entry.keyOffset, entry.keyLength),
                pool.substr(entry.valueOffset, entry.valueLength),
                kind == DictionaryKind::UserError);
        }
    };
    for (const auto& name : systemError) {
        if (!isGeneratedErrorDictionary(name)) {
            read(DictionaryKind::SystemError, name);
        }
    }
    for (const auto& name : userError) {
        read(DictionaryKind::UserError, name);
    }
}

void CuratedErrorWords::add(std::u16string_view word, std::u16string_view suggestion, bool user) {
    m_words.emplace(std::u16string(word), std::u16string(suggestion));
    if (user) {
        m_userWords.emplace(word);
    }
    if (word.size() >= 2) {
        m_starts.insert(static_cast<std::uint32_t>(word[0]) << 16 | word[1]);
        m_longest = std::max(m_longest, word.size());
    }
}

std::vector<rg_BiaoJiCiYuLei> CuratedErrorWords::unscanned(
    std::u16string_view text, std::span<const rg_BiaoJiCiYuLei> findings) const {
    std::vector<rg_BiaoJiCiYuLei> out;
    if (m_starts.empty() || text.size() < 2) {
        return out;
    }
    // Units up to which a finding lies, as a running count: taken(b, e) is true when one does.
    std::vector<std::int32_t> taken(text.size() + 1, 0);
    for (const auto& f : findings) {
        const auto b =
            std::clamp<std::int64_t>(f.position, 0, static_cast<std::int64_t>(text.size()));
        const auto e = std::clamp<std::int64_t>(static_cast<std::int64_t>(f.position) + f.length, b,
                                                static_cast<std::int64_t>(text.size()));
        for (auto x = b; x < e; ++x) {
            taken[static_cast<std::size_t>(x) + 1] = 1;
        }
    }
    for (std::size_t x = 1; x <= text.size(); ++x) {
        taken[x] += taken[x - 1];
    }
    std::u16string key;
    for (std::size_t p = 0; p + 1 < text.size(); ++p) {
        if (m_starts.count(static_cast<std::uint32_t>(text[p]) << 16 | text[p + 1]) == 0) {
            continue;
        }
        for (std::size_t length = std::min(m_longest, text.size() - p); length >= 2; --length) {
            if (taken[p + length] != taken[p]) {
                continue;
            }
            key.assign(text.substr(p, length));
            if (const auto it = m_words.find(key); it != m_words.end() && it->second != key) {
                rg_BiaoJiCiYuLei f;
                f.type = FindingType::Error;
                f.position = static_cast<std::int32_t>(p);
                f.length = static_cast<std::int32_t>(length);
                f.word = key;
                f.suggestion = it->second;
                out.push_back(std::move(f));
                p += length - 1;
                break;
            }
        }
    }
    return out;
}

std::vector<bool> verifiableFindings(std::span<const rg_BiaoJiCiYuLei> findings,
                                     const CuratedErrorWords& curated) {
    std::vector<bool> out(findings.size(), false);
    for (std::size_t i = 0; i < findings.size(); ++i) {
        out[i] = findings[i].type == FindingType::Error && !curated.contains(findings[i].word);
    }
    return out;
}

namespace {

// Per finding: for an Error of two or more units whose word stands in text where it says and
// that `wanted` asks about, whether isCorrect takes a word [start, end) of text, of at most
// kMaxCrossingWord units, that `around` offers for the finding's [b, e); false for every other
// finding.
template <typename Wanted, typename Around>
std::vector<bool> wordsAmongCorrectOnes(std::u16string_view text,
                                        std::span<const rg_BiaoJiCiYuLei> findings,
                                        const std::function<bool(std::u16string_view)>& isCorrect,
                                        Wanted wanted, Around around) {
    std::vector<bool> out(findings.size(), false);
    const auto size = static_cast<std::int64_t>(text.size());
    for (std::size_t i = 0; i < findings.size(); ++i) {
        const auto& f = findings[i];
        const std::int64_t b = f.position;
        const std::int64_t e = b + f.length;
        if (f.type != FindingType::Error || f.length < 2 || b < 0 || e > size ||
            text.substr(static_cast<std::size_t>(b), static_cast<std::size_t>(f.length)) !=
                f.word ||
            !wanted(f)) {
            continue;
        }
        out[i] = around(b, e, size, [&](std::int64_t start, std::int64_t end) {
            return isCorrect(text.substr(static_cast<std::size_t>(start),
                                         static_cast<std::size_t>(end - start)));
        });
    }
    return out;
}

// Whether a word that isCorrect takes starts before [b, e) and ends inside it, or starts inside
// it and ends after it.
bool crossesEdge(std::int64_t b, std::int64_t e, std::int64_t size, const auto& correct) {
    constexpr auto maxWord = static_cast<std::int64_t>(kMaxCrossingWord);
    // Words that start before the finding and end inside it.
    for (std::int64_t end = b + 1; end < e; ++end) {
        for (std::int64_t start = std::max<std::int64_t>(0, end - maxWord); start < b; ++start) {
            if (correct(start, end)) {
                return true;
            }
        }
    }
    // Words that start inside it and end after it.
    for (std::int64_t start = b + 1; start < e; ++start) {
        for (std::int64_t end = e + 1; end <= std::min(size, start + maxWord); ++end) {
            if (correct(start, end)) {
                return true;
            }
        }
    }
    return false;
}

bool isCuratedSystemWord(const CuratedErrorWords& curated, const rg_BiaoJiCiYuLei& f) {
    return curated.contains(f.word) && !curated.isUserWord(f.word);
}

}  // namespace

std::vector<bool> crossedFindings(std::u16string_view text,
                                  std::span<const rg_BiaoJiCiYuLei> findings,
                                  const CuratedErrorWords& curated,
                                  const std::function<bool(std::u16string_view)>& isCorrect) {
    return wordsAmongCorrectOnes(
        text, findings, isCorrect, [&](const auto& f) { return isCuratedSystemWord(curated, f); },
        [](std::int64_t b, std::int64_t e, std::int64_t size, const auto& correct) {
            return crossesEdge(b, e, size, correct);
        });
}

std::vector<bool> setPhraseFindings(std::u16string_view text,
                                    std::span<const rg_BiaoJiCiYuLei> findings,
                                    const CuratedErrorWords& curated,
                                    const std::function<bool(std::u16string_view)>& isCorrect) {
    return wordsAmongCorrectOnes(
        text, findings, isCorrect,
        [&](const auto& f) { return f.length >= kSetPhraseLength && !curated.contains(f.word); },
        [](std::int64_t b, std::int64_t e, std::int64_t size, const auto& correct) {
            return !crossesEdge(b, e, size, correct);
        });
}

std::vector<bool> heldWholeFindings(std::u16string_view text,
                                    std::span<const rg_BiaoJiCiYuLei> findings,
                                    const CuratedErrorWords& curated,
                                    const std::function<bool(std::u16string_view)>& isCorrect) {
    return wordsAmongCorrectOnes(
        text, findings, isCorrect, [&](const auto& f) { return isCuratedSystemWord(curated, f); },
        [](std::int64_t b, std::int64_t e, std::int64_t size, const auto& correct) {
            constexpr auto maxWord = static_cast<std::int64_t>(kMaxCrossingWord);
            // Longer words that start at or before the finding and end at or after it.
            for (std::int64_t start = std::max<std::int64_t>(0, e - maxWord); start <= b; ++start) {
                for (std::int64_t end = std::max(e, start + (e - b) + 1);
                     end <= std::min(size, start + maxWord); ++end) {
                    if (correct(start, end)) {
                        return true;
                    }
                }
            }
            return false;
        });
}

}  // namespace kjf
