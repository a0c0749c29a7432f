// Which dictionary findings the context check may refute: those that only a generated system
// error dictionary gives. Hand-curated and user error words are always kept.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "engine/finding.h"
#include "settings/locations.h"

namespace kjf {

// True for the system error dictionaries that tools/build_data.py generates by rule rather than
// by hand (homophones.dict).
bool isGeneratedErrorDictionary(std::u16string_view fileName);

// The wrong words of the enabled error dictionaries that are not generated.
class CuratedErrorWords {
  public:
    // Reads NAME in the system error folder of locations for every enabled system name that is
    // not generated and NAME in the user error folder for every enabled user name. A file that
    // cannot be read adds nothing, as the engine's loaders do.
    void load(const Locations& locations, const std::vector<std::u16string>& systemError,
              const std::vector<std::u16string>& userError);
    // The same over a program directory's data/ tree (ending in '/').
    void load(const std::string& programDirectory, const std::vector<std::u16string>& systemError,
              const std::vector<std::u16string>& userError) {
        load(Locations::portable(programDirectory), systemError, userError);
    }
    bool contains(std::u16string_view word) const {
        return m_words.count(std::u16string(word)) != 0;
    }
    // Whether a user error dictionary lists word: the user's own words are never doubted.
    bool isUserWord(std::u16string_view word) const {
        return m_userWords.count(std::u16string(word)) != 0;
    }

    // Errors for the curated wrong words in text that no finding touches. The scan matches words
    // from where the last one ended, so a wrong word whose first character ends a word it matched
    // is never looked at (请按装 reads as 请按 + 装, 不因该 as 不因 + 该); these are the model's
    // to judge. In text order, none overlapping another; the longest word wins where two start
    // together.
    std::vector<rg_BiaoJiCiYuLei> unscanned(std::u16string_view text,
                                            std::span<const rg_BiaoJiCiYuLei> findings) const;

  private:
    void add(std::u16string_view word, std::u16string_view suggestion, bool user);

    // Wrong word -> its suggestion; the first listing of a word stays, as in the engine.
    std::unordered_map<std::u16string, std::u16string> m_words;
    // The first two units of every word of two or more, for a quick look before a lookup.
    std::unordered_set<std::uint32_t> m_starts;
    std::unordered_set<std::u16string> m_userWords;
    std::size_t m_longest = 0;
};

// Per finding: an Error whose word no curated dictionary lists.
std::vector<bool> verifiableFindings(std::span<const rg_BiaoJiCiYuLei> findings,
                                     const CuratedErrorWords& curated);

// Per finding: an Error of a curated system error dictionary whose edge a correct word of text
// crosses, starting before it and ending inside, or starting inside and ending after (已下 in
// 已下载, 在会 in 在会话, 符和 in 字符和). The text reads as well without the wrong word as with
// it, so the model has to judge which reading was meant. isCorrect is asked about words of two to
// kMaxCrossingWord units.
inline constexpr std::size_t kMaxCrossingWord = 6;
std::vector<bool> crossedFindings(std::u16string_view text,
                                  std::span<const rg_BiaoJiCiYuLei> findings,
                                  const CuratedErrorWords& curated,
                                  const std::function<bool(std::u16string_view)>& isCorrect);

// Per finding: an Error that no curated dictionary lists, of kSetPhraseLength or more units,
// whose edge no correct word of text crosses. A generated wrong word that long is an idiom or set
// phrase with one character changed (安部就班, 干拜下风): text hardly reads that way by chance,
// and the model, which seldom knows the phrase as one word, cannot weigh it. Where a correct word
// crosses it (哈尔滨师 in 哈尔滨师院) the text may mean that word instead. isCorrect is asked about
// words of two to kMaxCrossingWord units.
inline constexpr std::int32_t kSetPhraseLength = 4;
std::vector<bool> setPhraseFindings(std::u16string_view text,
                                    std::span<const rg_BiaoJiCiYuLei> findings,
                                    const CuratedErrorWords& curated,
                                    const std::function<bool(std::u16string_view)>& isCorrect);

// Per finding: an Error of a curated system error dictionary that a longer correct word of text
// holds whole (自已 in 激动得不能自已, where the scan read 得不 first). The writer wrote that word;
// the finding does not stand. isCorrect is asked about words of up to kMaxCrossingWord units.
std::vector<bool> heldWholeFindings(std::u16string_view text,
                                    std::span<const rg_BiaoJiCiYuLei> findings,
                                    const CuratedErrorWords& curated,
                                    const std::function<bool(std::u16string_view)>& isCorrect);

}  // namespace kjf
