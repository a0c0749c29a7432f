// Word-group analysis for auto-learning: proposes, around each finding of a run, a known correct
// word of the neighbouring text joined with the finding's text; and the automatic dictionary
// appends that store the groups the user accepts.
#pragma once

#include <cstdint>
#include <functional>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

#include "engine/finding.h"
#include "settings/locations.h"
#include "text/files.h"

namespace kjf {

class rg_ChaCuoYinQing;

// A finding is not analysed when its word occurs anywhere in this text as a contiguous piece.
// The order matters, and so do the characters that occur twice.
inline constexpr std::u16string_view groupDelimiterSet =
    u" \r\t\n"
    u"，。（）《》？、“”：；"
    u",.()<>\\\\"
    u"/?:;[]{}|~!@#$%^&*-_=+"
    u"！@#￥%……&*——-+="
    u"0123456789"
    u"abcdefghijklmnopqrstuvwxyz"
    u"ABCDEFGHIJKLMNOPQRSTUVWXYZ";

// One proposed group: the finding's word, the joined text, and where the group starts in the
// checked text; length is the group's length in UTF-16 code units.
struct WordGroupRow {
    std::u16string source;
    std::u16string group;
    std::int32_t start = 0;
    std::int32_t length = 0;

    friend bool operator==(const WordGroupRow&, const WordGroupRow&) = default;
};

// What an analysis works from: the findings and the quantization of the last run, copied so that
// a run that starts while the analysis goes on cannot change them under it.
struct WordGroupInput {
    std::vector<rg_BiaoJiCiYuLei> findings;
    std::int32_t quantization = 0;
};

// Copies the engine's findings and quantization. Call it on the thread that starts runs, while
// no run is in progress (for example before handing the input to the analysis' worker).
WordGroupInput takeWordGroupInput(const rg_ChaCuoYinQing& engine);

// Called with each group as it is found.
using WordGroupSink = std::function<void(const WordGroupRow& row)>;

// Proposes the groups of input's findings, in the findings' order, at most one per finding:
// - findings with an empty word, or a word that is a piece of groupDelimiterSet, are skipped, and
//   with a quantization N of 2 or less nothing is proposed;
// - the text of j = 2 … N-1 positions just before the finding is fetched through the engine's
//   onTextRequested; the first that is a correct word gives the group context + word, starting
//   where the context starts;
// - otherwise the same is tried with the text that follows the whole word, giving word + context
//   starting at the finding.
// The correct-word table is read under a TableReadGuard taken for each look-up only, so the
// analysis never holds the tables while it waits for the text. Runs on any thread; onTextRequested
// and sink are called on it. Stops early when stop is requested.
void analyzeWordGroups(rg_ChaCuoYinQing& engine, const WordGroupInput& input,
                       const WordGroupSink& sink, std::stop_token stop = {});

// Appends each entry followed by CR LF to the automatic dictionary of locations as UTF-16LE
// without byte-order mark (UTF-16BE when the file starts with the mark FE FF), after a line end
// when its last line has none, creating the file and its folders when missing (so appending no
// entries still leaves an auto.dict). The file is rewritten whole through a temporary file, so a
// failure leaves it as it was. Fails when the folders or the file cannot be made or written, or
// when the file holds what cannot be read (U+0000), which a rewrite would lose. Any thread.
WriteResult appendToAutoDictionary(const Locations& locations,
                                   const std::vector<std::u16string>& entries);

}  // namespace kjf
