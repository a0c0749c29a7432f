// The context check: a word trigram language model judges a checked text, flags real-word errors
// that the dictionaries cannot see and drops dictionary marks that the text's context refutes.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <span>
#include <string_view>
#include <vector>

#include "context/context_model.h"
#include "engine/finding.h"

namespace kjf {

// The default of the setting "语境阈值".
inline constexpr double kDefaultContextThreshold = 3.0;

// Tunables of the context check. A gain is log10 P(text with a replacement) - log10 P(text as
// written), measured over the replacement's clause with four characters of context after it.
struct ContextOptions {
    // Gain a same-sound replacement needs before it is flagged ("语境阈值").
    double threshold = kDefaultContextThreshold;
    // What the other kinds of replacement need beyond (or below) the threshold.
    double variantOffset = -2.0;   // a traditional character for its Simplified form
    double nearSoundOffset = 1.5;  // zh/z, n/l, -ng/-n
    double shapeOffset = 1.5;      // similar shapes
    double wordSwapOffset = 0.5;   // a whole word for another of the same sound
    // Of a replacement's gain, at least this much must come from how it fits its neighbours
    // rather than from how common the words themselves are; a replacement short of it needs
    // frequencyOnlyExtra more gain. Names of rare characters otherwise turn into common words.
    double contextMargin = 1.0;
    double frequencyOnlyExtra = 3.0;
    // Unless it makes one word of characters that are each a word of their own and no name's
    // (目绿 for 目录, as pinyin input gets it wrong): then madeWordExtra more gain is enough, and
    // madeShapeWordExtra for a character of similar shape, whose offset already asks more (处埋).
    double madeWordExtra = 2.0;
    double madeShapeWordExtra = 1.0;
    // One that makes one of the commonest words (log10 unigram probability at least
    // commonWordUnigram: 配置, 属性, 目录) needs commonMadeWordRelief less of either: what an input
    // method offers in its place is what the writer uses most.
    double commonMadeWordRelief = 1.0;
    double commonWordUnigram = -4.5;
    // What a replacement needs beyond its kind's evidence when the word it makes takes a
    // character from another word of the text as written (最高行 read as 最 + 高兴).
    double takenWordExtra = 0.25;
    // A verifiable dictionary Error is kept when its suggestion gains at least this much, and
    // keepFrequencyExtra more unless contextMargin of the gain comes from how it fits its
    // neighbours.
    double keepMargin = 4.0;
    double keepFrequencyExtra = 1.0;
    // What a curated wrong word that the scan read past needs (see ContextInput::unscanned), and
    // what one of four or more characters needs: a miswritten idiom that a word before it took
    // the first character of (要在 + 接再厉) is hardly ever the text's own reading.
    double unscannedMargin = 3.0;
    double unscannedIdiomMargin = 1.0;
    // What a curated wrong word that a correct word crosses needs (see ContextInput::crossed).
    double crossedMargin = 1.5;
    // Worker threads; 0 means std::thread::hardware_concurrency().
    unsigned workers = 0;
};

// Whether a word belongs to the user's enabled correct dictionaries or the automatic dictionary.
// Called on the workers, possibly several at once, so it must be safe to call concurrently.
using ShieldPredicate = std::function<bool(std::u16string_view word)>;

// What one pass works on.
struct ContextInput {
    // The checked text, line breaks as single LF.
    std::u16string_view text;
    // The dictionary findings of the engine's run over text, in the engine's order.
    std::span<const rg_BiaoJiCiYuLei> findings;
    // Per finding: true when the model may refute it: an Error of a generated system error
    // dictionary stays when its suggestion gains keepMargin; a Suspected finding goes, and the
    // detector judges its characters like any others. Missing entries count as false.
    std::vector<bool> verifiable;
    // Per finding: true for a curated wrong word that the scan read past because a word it matched
    // covers its start (不因该 read as 不因 + 该). It is verifiable too, kept when its suggestion
    // gains unscannedMargin. Missing entries count as false.
    std::vector<bool> unscanned;
    // Per finding: true for a curated wrong word that a common correct word crosses (已下 in
    // 已下载, 符和 in 字符和): the text reads as well without it. It is verifiable too, kept when
    // its suggestion gains crossedMargin. Missing entries count as false.
    std::vector<bool> crossed;
    // Words the detector never flags (may be empty).
    ShieldPredicate isShieldWord;
    // Whether a word is in any enabled correct dictionary (may be empty): characters that one of
    // them covers (行尾) are no run of one-character words for a replacement to make a word of.
    ShieldPredicate isKnownWord;
};

// How a pass reports and stops.
struct ContextControl {
    // Checked before every sentence; set it from any thread to end the pass early.
    const std::atomic<bool>* stop = nullptr;
    // Characters processed so far and the text's length, non-decreasing. Called on the worker
    // threads (or the calling thread with one worker), one call at a time.
    std::function<void(std::int64_t processed, std::int64_t total)> onProgress;
};

struct ContextResult {
    // False when the pass was stopped: sentences not reached keep all their dictionary findings
    // and give no contextual ones.
    bool completed = false;
    // Contextual Error findings in text order, none overlapping a kept dictionary finding.
    std::vector<rg_BiaoJiCiYuLei> findings;
    // Per dictionary finding of the input: whether it stays.
    std::vector<bool> keep;
};

// A sentence: [begin, end) in code units, ending after its sentence punctuation or line break.
struct SentenceRange {
    std::int32_t begin = 0;
    std::int32_t end = 0;
    friend bool operator==(const SentenceRange&, const SentenceRange&) = default;
};

// Cuts text after each 。！？；!?; and … run, and after each LF; every unit belongs to exactly one
// sentence, in order.
std::vector<SentenceRange> splitSentences(std::u16string_view text);

// The longest stretch of text the context check works on at once. A longer sentence is cut into
// pieces, so that the memory of a worker and the cost of a piece stay bounded whatever the text:
// a line of millions of characters without a sentence mark costs what as many short sentences do.
inline constexpr std::int32_t kMaxPieceUnits = 512;

// splitSentences, with every sentence longer than maxUnits cut into pieces of at most maxUnits:
// after its last clause boundary (a unit that is not a Han character) within reach, or, inside a
// longer run of Han characters, at maxUnits (moved back by one unit rather than parting a
// surrogate pair). Pieces cover text in order, each unit exactly once.
std::vector<SentenceRange> splitIntoPieces(std::u16string_view text, std::int32_t maxUnits);

// Runs the context check over input.text with the loaded model, sentence by sentence on
// options.workers threads, and returns when all have ended (or the pass was stopped). The result
// is the same for every worker count. Never throws; the calling thread may be any thread.
ContextResult runContextCheck(const ContextModel& model, const ContextInput& input,
                              const ContextOptions& options, const ContextControl& control = {});

// The order in which a scan reports its findings: by rising positions (engine type 1) or by
// falling ones (engine type 2, the reverse scan).
enum class ScanOrder { Forward, Reverse };
constexpr ScanOrder scanOrderOf(std::int32_t engineType) {
    return engineType == 2 ? ScanOrder::Reverse : ScanOrder::Forward;
}

// One list in the scan's order: the kept dictionary findings as they were, each contextual
// finding placed before the first kept finding that comes after it in the scan's order.
std::vector<rg_BiaoJiCiYuLei> mergeContextFindings(std::span<const rg_BiaoJiCiYuLei> dictionary,
                                                   const std::vector<bool>& keep,
                                                   std::span<const rg_BiaoJiCiYuLei> contextual,
                                                   ScanOrder order);

}  // namespace kjf
