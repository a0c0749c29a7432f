#include "context/context_check.h"

#include <algorithm>
#include <mutex>
#include <thread>

#include "context/sentence_checker.h"

namespace kjf {

namespace {

bool endsSentence(char16_t u) {
    switch (u) {
        case u'。':
        case u'！':
        case u'？':
        case u'；':
        case u'!':
        case u'?':
        case u';':
        case u'…':
        case u'\n':
            return true;
        default:
            return false;
    }
}

}  // namespace

std::vector<SentenceRange> splitSentences(std::u16string_view text) {
    std::vector<SentenceRange> out;
    std::int32_t begin = 0;
    const auto n = static_cast<std::int32_t>(text.size());
    for (std::int32_t i = 0; i < n; ++i) {
        if (!endsSentence(text[static_cast<std::size_t>(i)])) {
            continue;
        }
        // A run of closing marks (……, ?!) ends the sentence once, after its last mark.
        if (i + 1 < n && text[static_cast<std::size_t>(i)] != u'\n' &&
            endsSentence(text[static_cast<std::size_t>(i + 1)]) &&
            text[static_cast<std::size_t>(i + 1)] != u'\n') {
            continue;
        }
        out.push_back({begin, i + 1});
        begin = i + 1;
    }
    if (begin < n) {
        out.push_back({begin, n});
    }
    return out;
}

std::vector<SentenceRange> splitIntoPieces(std::u16string_view text, std::int32_t maxUnits) {
    maxUnits = std::max(maxUnits, 2);
    std::vector<SentenceRange> out;
    for (const SentenceRange sentence : splitSentences(text)) {
        std::int32_t begin = sentence.begin;
        while (sentence.end - begin > maxUnits) {
            // The last clause boundary in reach; a run of Han characters longer than a piece is
            // cut where it reaches the limit, never inside a surrogate pair.
            const auto inClause = [&](std::int32_t at) {
                const char16_t u = text[static_cast<std::size_t>(at - 1)];
                return sentence_checking::isHan(u) || (u & 0xFC00) == 0xD800;
            };
            std::int32_t cut = begin + maxUnits;
            while (cut > begin && inClause(cut)) {
                --cut;
            }
            if (cut == begin) {
                cut = begin + maxUnits;
                if ((text[static_cast<std::size_t>(cut - 1)] & 0xFC00) == 0xD800) {
                    --cut;
                }
            }
            out.push_back({begin, cut});
            begin = cut;
        }
        out.push_back({begin, sentence.end});
    }
    return out;
}

ContextResult runContextCheck(const ContextModel& model, const ContextInput& input,
                              const ContextOptions& options, const ContextControl& control) {
    ContextResult result;
    const std::size_t findingCount = input.findings.size();
    std::vector<std::uint8_t> keep(findingCount, 1);
    // Work is done piece by piece: whatever the text, a worker holds one piece of bounded length.
    const auto sentences = splitIntoPieces(input.text, kMaxPieceUnits);

    // Findings by the sentence that holds their first unit.
    std::vector<std::vector<std::size_t>> bySentence(sentences.size());
    for (std::size_t i = 0; i < findingCount; ++i) {
        const auto pos = input.findings[i].position;
        const auto it =
            std::upper_bound(sentences.begin(), sentences.end(), pos,
                             [](std::int32_t p, const SentenceRange& s) { return p < s.end; });
        if (it != sentences.end() && pos >= it->begin) {
            bySentence[static_cast<std::size_t>(it - sentences.begin())].push_back(i);
        }
    }

    std::vector<std::vector<rg_BiaoJiCiYuLei>> found(sentences.size());
    std::atomic<std::size_t> next{0};
    std::atomic<bool> stopped{false};
    std::mutex progressMutex;
    std::int64_t processed = 0;
    const auto total = static_cast<std::int64_t>(input.text.size());

    // Work is handed out in batches of sentences so that short sentences do not turn the shared
    // counter into the bottleneck; results land in per-sentence slots, so order never depends on
    // which worker took what.
    constexpr std::size_t kBatch = 16;
    const auto runBatches = [&](SentenceChecker& checker) {
        for (;;) {
            const std::size_t first = next.fetch_add(kBatch);
            if (first >= sentences.size()) {
                return;
            }
            std::int64_t done = 0;
            for (std::size_t s = first; s < std::min(first + kBatch, sentences.size()); ++s) {
                if (control.stop != nullptr && control.stop->load(std::memory_order_relaxed)) {
                    stopped = true;
                    return;
                }
                checker.check(sentences[s], bySentence[s], keep, found[s]);
                done += sentences[s].end - sentences[s].begin;
            }
            std::lock_guard lock(progressMutex);
            processed += done;
            if (control.onProgress) {
                control.onProgress(processed, total);
            }
        }
    };

    const auto work = [&] {
        try {
            SentenceChecker checker(model, input, options);
            runBatches(checker);
        } catch (const std::exception&) {
            stopped = true;  // out of memory: end as if stopped, keeping what is done
        }
    };
    unsigned workers = options.workers != 0 ? options.workers : std::thread::hardware_concurrency();
    workers = std::max(
        1U, std::min<unsigned>(workers, static_cast<unsigned>(sentences.size() / kBatch + 1)));
    {
        std::vector<std::jthread> threads;
        for (unsigned w = 1; w < workers; ++w) {
            try {
                threads.emplace_back(work);
            } catch (const std::exception&) {
                break;  // a thread that cannot start leaves its share to the others
            }
        }
        work();
    }

    result.completed = !stopped;
    result.keep.assign(keep.begin(), keep.end());
    for (auto& list : found) {
        for (auto& f : list) {
            result.findings.push_back(std::move(f));
        }
    }
    return result;
}

std::vector<rg_BiaoJiCiYuLei> mergeContextFindings(std::span<const rg_BiaoJiCiYuLei> dictionary,
                                                   const std::vector<bool>& keep,
                                                   std::span<const rg_BiaoJiCiYuLei> contextual,
                                                   ScanOrder order) {
    std::vector<const rg_BiaoJiCiYuLei*> kept;
    for (std::size_t i = 0; i < dictionary.size(); ++i) {
        if (i >= keep.size() || keep[i]) {
            kept.push_back(&dictionary[i]);
        }
    }
    const bool backwards = order == ScanOrder::Reverse;
    std::vector<const rg_BiaoJiCiYuLei*> extra;
    for (const auto& f : contextual) {
        extra.push_back(&f);
    }
    const auto before = [backwards](const rg_BiaoJiCiYuLei* a, const rg_BiaoJiCiYuLei* b) {
        return backwards ? a->position > b->position : a->position < b->position;
    };
    std::stable_sort(extra.begin(), extra.end(), before);
    std::vector<rg_BiaoJiCiYuLei> out;
    out.reserve(kept.size() + extra.size());
    std::size_t e = 0;
    for (const auto* f : kept) {
        while (e < extra.size() && before(extra[e], f)) {
            out.push_back(*extra[e++]);
        }
        out.push_back(*f);
    }
    while (e < extra.size()) {
        out.push_back(*extra[e++]);
    }
    return out;
}

}  // namespace kjf
