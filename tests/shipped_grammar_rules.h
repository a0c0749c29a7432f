// A test fixture: the shipped grammar rules and the packaged language model, loaded once per
// suite, with helpers that list what the rules find in a sentence.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "context/context_check.h"
#include "context/context_model.h"
#include "context/grammar_rules.h"
#include "text/utf.h"

namespace kjf {

inline const std::string kDataDirectory = std::string(KJF_SOURCE_DIR) + "/data/sys/context/";

// The shipped rules over the packaged model's vocabulary.
class ShippedGrammarRules : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        auto load = ContextModel::load(std::string(kDefaultLanguageModelPath), kDataDirectory);
        ASSERT_TRUE(load.model) << load.message;
        s_model = load.model.release();
        s_rules = new GrammarRules;
        std::string message;
        ASSERT_TRUE(s_rules->load(kDataDirectory, message)) << message;
    }
    static void TearDownTestSuite() {
        delete s_rules;
        delete s_model;
    }

    // "word→suggestion by rule" for every finding of text.
    static std::vector<std::string> findings(std::u16string_view text) {
        std::vector<std::int64_t> fired;
        const auto found = s_rules->check(*s_model, text, &fired);
        std::vector<std::string> out;
        for (const auto& f : found) {
            EXPECT_EQ(f.source, FindingSource::Rule);
            EXPECT_EQ(text.substr(static_cast<std::size_t>(f.position),
                                  static_cast<std::size_t>(f.length)),
                      f.word);
            std::string rule;
            for (std::size_t r = 0; r < fired.size(); ++r) {
                if (fired[r] != 0) {
                    rule = s_rules->ruleName(r);
                }
            }
            out.push_back(utf16ToUtf8Lossy(f.word) + "→" + utf16ToUtf8Lossy(f.suggestion) +
                          (found.size() == 1 ? " " + rule : ""));
        }
        return out;
    }

    // Sentences and the one finding each must give, as "word→suggestion rule".
    static void expectFound(
        std::initializer_list<std::pair<std::u16string_view, std::string_view>> cases) {
        for (const auto& [text, found] : cases) {
            EXPECT_EQ(findings(text), std::vector<std::string>{std::string(found)})
                << utf16ToUtf8Lossy(text);
        }
    }

    // Sentences right as written: no rule may fire on them.
    static void expectLeftAlone(std::initializer_list<std::u16string_view> sentences) {
        for (const auto right : sentences) {
            EXPECT_EQ(findings(right), std::vector<std::string>{}) << utf16ToUtf8Lossy(right);
        }
    }

    // text's one finding of the model with the shipped options, which stricter leaves out.
    static void expectFoundOnlyWithLessGain(std::u16string_view text,
                                            const rg_BiaoJiCiYuLei& expected,
                                            const ContextOptions& stricter) {
        ContextInput input;
        input.text = text;
        const auto result = runContextCheck(*s_model, input, ContextOptions{});
        ASSERT_EQ(result.findings.size(), 1U);
        EXPECT_EQ(result.findings[0], expected);
        EXPECT_TRUE(runContextCheck(*s_model, input, stricter).findings.empty());
    }

    static inline const ContextModel* s_model = nullptr;
    static inline GrammarRules* s_rules = nullptr;
};

using Found = std::vector<std::string>;

}  // namespace kjf
