// Everything the context check reads: the language model, its vocabulary as a character trie,
// the index of words with one character masked, the confusion sets and the same-sound words.
#pragma once

#include <array>
#include <cstdint>
#include <limits>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "context/flat_map.h"
#include "context/language_model.h"

namespace kjf {

// Where Debian's libime-data-language-model installs its word trigram model of Simplified
// Chinese; used when the owner has no path of its own.
inline constexpr std::string_view kDefaultLanguageModelPath =
    "/usr/lib/x86_64-linux-gnu/libime/zh_CN.lm";

// How a written character may stand for another; the lower kinds need less evidence.
enum class Confusion : std::uint8_t {
    None = 0,
    Variant,    // a traditional character for its Simplified form
    SameSound,  // characters with a reading in common (tones ignored)
    NearSound,  // readings heard alike: zh/z, ch/c, sh/s, n/l, -ng/-n
    Shape,      // characters that look alike
};

class ContextModel;

// The outcome of ContextModel::load: a model, or a message saying what went wrong.
struct ContextModelLoad {
    std::unique_ptr<const ContextModel> model;
    std::string message;
};

// The loaded context data. Immutable after load: every read may run on any number of threads.
class ContextModel {
  public:
    // Longest vocabulary word that the check places in a sentence, in code units.
    static constexpr int kMaxWordLength = 8;
    static constexpr std::uint32_t kNoNode = ~std::uint32_t{0};
    static constexpr std::uint32_t kRoot = 0;

    // Loads the binary model at modelPath and the confusion sets of dataDirectory (readings.txt,
    // near_syllables.txt, shapes.txt, variants.txt; the path ends in '/'), and name_chars.txt
    // when it is there. Never throws: a missing or damaged file gives a null model and a message
    // naming it.
    static ContextModelLoad load(const std::string& modelPath, const std::string& dataDirectory);

    ContextModel();
    ~ContextModel();
    ContextModel(const ContextModel&) = delete;
    ContextModel& operator=(const ContextModel&) = delete;

    const LanguageModel& languageModel() const { return m_lm; }

    // The vocabulary trie: the child of node for c (kNoNode when none) and the model's index of
    // the word that ends at node (the unknown index when none).
    std::uint32_t child(std::uint32_t node, char16_t c) const {
        return m_edges.find((static_cast<std::uint64_t>(node) << 16) | c, kNoNode);
    }
    LanguageModel::WordIndex wordAt(std::uint32_t node) const { return m_nodeWord[node]; }
    // log10 P(word) without context; the unknown word's cost for indices the model lacks.
    float unigram(LanguageModel::WordIndex word) const {
        return word < m_unigram.size() ? m_unigram[word] : m_unknownUnigram;
    }
    // The model's index of word, the unknown index when it is no vocabulary word.
    LanguageModel::WordIndex wordIndex(std::u16string_view word) const;

    // The key of a word of two to four code units with position masked.
    static std::uint64_t maskedKey(std::u16string_view word, std::size_t masked);
    // The characters, ascending, that complete a vocabulary word of two to four characters in
    // place of the masked one.
    std::span<const char16_t> fills(std::uint64_t maskedKey) const;

    // How `written` may stand for `meant`; None when the sets do not relate them.
    Confusion confusion(char16_t written, char16_t meant) const;
    // Everything `written` may stand for, ascending by character, with the kind of each.
    struct Confusable {
        char16_t character;
        Confusion kind;
    };
    std::span<const Confusable> confusables(char16_t written) const {
        return {m_confusables.data() + m_confusableStart[written],
                m_confusables.data() + m_confusableStart[written + 1]};
    }

    // Vocabulary words of word's length that read like word (every character sharing a reading)
    // and differ from it in two or more characters, ascending; empty for lengths outside 2..4.
    std::vector<std::u16string_view> sameSoundWords(std::u16string_view word) const;
    // The same into out (cleared first, its storage reused), leaving out words whose unigram
    // log10 probability is below minUnigram.
    void sameSoundWords(std::u16string_view word, std::vector<std::u16string_view>& out,
                        float minUnigram = -std::numeric_limits<float>::infinity()) const;

    // Whether c is written mostly in names (name_chars.txt; none when the file is missing).
    bool isNameCharacter(char16_t c) const {
        return !m_nameCharacters.empty() && m_nameCharacters[c];
    }

    // Bytes held by the tables (the mapped model file not included).
    std::size_t memoryUsage() const;

  private:
    bool loadConfusions(const std::string& directory, std::string& message);
    Confusion relate(char16_t written, char16_t meant) const;
    void buildConfusables();
    void buildVocabulary();
    // A character of many readings would give hundreds of sound keys to one word.
    static constexpr std::size_t kMaxSoundKeys = 16;
    using SoundKeys = std::array<std::uint64_t, kMaxSoundKeys>;
    // The sound keys of word (at most kMaxSoundKeys), their count; 0 when a character has no
    // reading.
    std::size_t soundKeys(std::u16string_view word, SoundKeys& keys) const;

    LanguageModel m_lm;
    FlatMap m_edges;
    std::vector<LanguageModel::WordIndex> m_nodeWord;
    std::vector<float> m_unigram;
    float m_unknownUnigram = 0;

    FlatMap m_maskGroups;                    // masked key -> group
    std::vector<std::uint32_t> m_maskStart;  // group -> first fill, one past the last group
    std::vector<char16_t> m_fills;

    // Readings: syllable ids per character, near syllables per syllable.
    std::vector<std::uint32_t> m_readingStart;  // 65,537 offsets into m_readings
    std::vector<std::uint16_t> m_readings;
    std::vector<std::vector<std::uint16_t>> m_nearSyllables;
    std::vector<std::uint32_t> m_shapeStart;
    std::vector<char16_t> m_shapes;
    std::vector<bool> m_nameCharacters;  // by code unit; empty without name_chars.txt
    std::vector<std::uint32_t> m_variantStart;
    std::vector<char16_t> m_variants;
    std::vector<std::uint32_t> m_confusableStart;
    std::vector<Confusable> m_confusables;

    // Same-sound words: sound key -> group of words (offsets into m_wordPool).
    FlatMap m_soundGroups;
    std::vector<std::uint32_t> m_soundStart;
    std::vector<std::uint32_t> m_soundWords;  // offsets into m_wordPool, length in the top 4 bits
    std::vector<float> m_soundUnigram;        // per entry of m_soundWords
    std::u16string m_wordPool;
};

}  // namespace kjf
