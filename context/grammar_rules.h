// Grammar rules for the particles that no dictionary and no word trigram can judge (的/地/得,
// 在/再): patterns over a clause's words and their parts of speech, read from a rule file.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "context/context_model.h"
#include "engine/finding.h"

namespace kjf {

// The rules and the word classes they use. Immutable once loaded: check() may run on any number
// of threads at once.
//
// Rule file (UTF-8, '#' comment lines):
//   @degree = 很 非常 十分        a named list of words
//   得/程度: @v|@a 的>得 @degree @a $
// A rule is a name, a colon and matchers, one per word of the clause, in order. A matcher is one
// or more alternatives joined by '|':
// - a word; the start of a word and '*' (不* for 不去); '*' and the end of a word (*式 for 交互式);
// - a class: '@' and a list's name, a part-of-speech tag of the word classes, or @redup for a
//   reduplicated word such as 慢慢 or 高高兴兴;
// - '^' (the clause's start), '$' (its end, where no letter or digit goes on after blanks) or
//   '%' (its end, whatever follows: 轻松的使用 Debian).
// '!' before a matcher takes any one word that it does not match; '?' after it makes it optional,
// '+' lets it take one to three words in a row. Exactly one matcher of a rule is
// "word>replacement": the word a finding marks and what it suggests; "word>word" keeps the word
// as it is, for the rules after it to leave alone.
// A rule may end with '~' and a number: it then matches only where the language model reads the
// clause at least that much better (log10) with the replacement, over the words up to two after
// it; where it does not, the rules after it still judge the word.
// Word classes (UTF-8, '#' comment lines): "word<TAB>tag" rows; a word has one tag.
class GrammarRules {
  public:
    // Parses the two texts. False with a message naming the first bad line.
    bool parse(std::string_view rules, std::string_view wordClasses, std::string& message);
    // Reads grammar.txt and word_classes.txt of directory (ending in '/') and parses them.
    bool load(const std::string& directory, std::string& message);

    std::size_t ruleCount() const { return m_rules.size(); }
    const std::string& ruleName(std::size_t rule) const { return m_rules[rule].name; }

    // Rule findings over text (line breaks as LF), in text order, positions in UTF-16 units: an
    // Error on the marked word with the rule's replacement as suggestion, source Rule. Clauses
    // (runs of Han characters, read across the blanks between them) are cut into words by the best
    // unigram reading over the model's vocabulary. The first rule that matches a word decides it.
    // When fired is given, it is resized to ruleCount() and counts the findings of each rule. Any
    // thread.
    std::vector<rg_BiaoJiCiYuLei> check(const ContextModel& model, std::u16string_view text,
                                        std::vector<std::int64_t>* fired = nullptr) const;

    // The words that check() reads a clause (Han characters only) as, each with its tag ("" when
    // it has none). For tests and diagnostics. Any thread.
    std::vector<std::pair<std::u16string, std::string>> wordsOf(const ContextModel& model,
                                                                std::u16string_view clause) const;

  private:
    struct Alternative {
        enum class Kind : std::uint8_t {
            Word,
            Prefix,
            Suffix,
            List,
            Tag,
            Redup,
            Start,
            End,
            Edge
        } kind;
        std::u16string word;      // Word
        std::uint32_t index = 0;  // List or Tag
    };
    struct Matcher {
        std::vector<Alternative> alternatives;
        bool negated = false;
        bool optional = false;
        bool repeated = false;  // one to kMaxRepeat words
    };
    static constexpr int kMaxRepeat = 3;
    struct Rule {
        std::string name;
        std::vector<Matcher> matchers;
        std::size_t anchor = 0;  // the matcher of the marked word
        std::u16string from, to;
        std::optional<float> minGain;  // the '~' of the rule file: asks the language model
    };
    struct Word {
        std::int32_t begin, length;
        std::int32_t tag;  // -1 when the word has none
    };
    using Words = std::vector<Word>;
    struct Clause {
        std::u16string_view text;  // its Chinese characters, without the blanks between them
        Words words;
        bool closed = false;  // no letter or digit goes on after it
        bool opened = true;   // whether '^' matches before its first word
    };

    bool matches(const Alternative& a, const Clause& clause, std::ptrdiff_t at) const;
    // How many words m takes at `at`: 0 or 1, or -1 when it does not match there.
    int takes(const Matcher& m, const Clause& clause, std::ptrdiff_t at) const;
    bool matchLeft(const Rule& rule, std::ptrdiff_t matcher, const Clause& clause,
                   std::ptrdiff_t at) const;
    bool matchRight(const Rule& rule, std::size_t matcher, const Clause& clause,
                    std::ptrdiff_t at) const;
    std::uint32_t tagIndex(const std::string& tag);
    // log10 of how much better the model reads the clause's words, up to two after word `at`,
    // with `replacement` in its place.
    static float gainOf(const ContextModel& model, const Clause& clause, std::size_t at,
                        std::u16string_view replacement);
    // Cuts text[begin, end), a run of Han characters, into words (scratch reused).
    void cut(const ContextModel& model, std::u16string_view text, std::int32_t begin,
             std::int32_t end, Words& words, std::vector<float>& best,
             std::vector<std::int32_t>& from) const;

    std::vector<Rule> m_rules;
    std::vector<std::vector<std::u16string>> m_lists;  // sorted
    std::unordered_map<std::string, std::uint32_t> m_listNames;
    std::unordered_map<std::string, std::uint32_t> m_tagNames;
    std::unordered_map<std::u16string, std::uint32_t> m_wordTags;
    // The tag of a word of the model's vocabulary: its own, or its stem's before an aspect
    // particle; -1 for none.
    std::int32_t tagOf(std::u16string_view word) const;
    std::u16string m_anchorCharacters;  // first characters of the marked words
};

}  // namespace kjf
