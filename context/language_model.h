// The word trigram language model that the context check asks how likely a text is.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace kjf {

// The model's history after some words, as the model library keeps it (opaque bytes).
struct LanguageModelState {
    static constexpr std::size_t kSize = 28;
    alignas(8) std::array<char, kSize> bytes{};
};

// A KenLM-format binary model read through libime. Immutable once opened: score() and
// vocabulary lookups may be used from any number of threads at once.
class LanguageModel {
  public:
    using WordIndex = std::uint32_t;

    LanguageModel();
    ~LanguageModel();
    LanguageModel(const LanguageModel&) = delete;
    LanguageModel& operator=(const LanguageModel&) = delete;

    // Maps the binary model at path. Returns false with a message (never throws) when the file
    // is missing, unreadable, not a binary model or damaged; the model is then closed.
    bool open(const std::string& path, std::string& message);
    bool isOpen() const;

    // log10 P(word | state); out receives the state after word. The unknown word costs the
    // model's probability of <unk> and a penalty on top.
    float score(const LanguageModelState& state, WordIndex word, LanguageModelState& out) const;
    const LanguageModelState& beginState() const { return m_begin; }
    WordIndex unknown() const { return m_unknown; }
    // Index of a UTF-8 word, unknown() when the model does not know it.
    WordIndex index(const std::string& utf8) const;

    // Every word of the model's vocabulary (UTF-8) with its index, as stored at the end of the
    // binary file. Empty when the file holds no vocabulary.
    const std::vector<std::pair<std::string, WordIndex>>& words() const { return m_words; }
    // Drops the list of words once the owner has indexed them.
    void releaseWords();

  private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
    LanguageModelState m_begin;
    WordIndex m_unknown = 0;
    std::vector<std::pair<std::string, WordIndex>> m_words;
};

}  // namespace kjf
