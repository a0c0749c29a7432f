#include "server/check_response.h"

#include <algorithm>
#include <nlohmann/json.hpp>
#include <vector>

#include "context/context_check.h"
#include "text/utf.h"
#include "text/visible_text.h"

namespace kjf::server {

namespace {

using Json = nlohmann::ordered_json;

// Units of posted text shown on either side of a match in its context.
constexpr std::int32_t kContextUnits = 25;
// A longer sentence is given as the match and kSentenceMargin units on either side.
constexpr std::int32_t kMaxSentenceUnits = 400;
constexpr std::int32_t kSentenceMargin = 100;

constexpr std::string_view kLanguageName = "中文";
constexpr std::string_view kLanguageCode = "zh";
constexpr std::string_view kLanguageLongCode = "zh-CN";

std::string utf8(std::u16string_view text) {
    return utf16ToUtf8Lossy(text);
}

// A word as the user reads it in a message: invisible characters as tokens such as <U+200B>.
std::string shown(std::u16string_view word) {
    return utf8(visibleText(word));
}

bool isLowSurrogate(char16_t u) {
    return u >= 0xDC00 && u <= 0xDFFF;
}

// The match with up to kContextUnits units of the posted text on either side, never half a
// surrogate pair, "..." where the text goes on, line breaks as blanks (so that a client shows
// one line); offset is the match's place in it.
Json contextOf(std::u16string_view posted, std::int32_t offset, std::int32_t length) {
    auto begin = static_cast<std::size_t>(std::max(0, offset - kContextUnits));
    auto end = std::min(posted.size(), static_cast<std::size_t>(offset + length + kContextUnits));
    if (begin > 0 && isLowSurrogate(posted[begin])) {
        --begin;
    }
    if (end < posted.size() && isLowSurrogate(posted[end])) {
        ++end;
    }
    std::u16string text = begin > 0 ? u"..." : u"";
    const auto matchOffset =
        static_cast<std::int32_t>(text.size()) + offset - static_cast<std::int32_t>(begin);
    text += posted.substr(begin, end - begin);
    if (end < posted.size()) {
        text += u"...";
    }
    std::replace_if(
        text.begin(), text.end(), [](char16_t u) { return u == u'\n' || u == u'\r'; }, u' ');
    return Json{{"text", utf8(text)}, {"offset", matchOffset}, {"length", length}};
}

// The sentences of checked that hold [begin, end), without the line break that ends the last.
std::string sentenceOf(std::u16string_view checked, const std::vector<SentenceRange>& sentences,
                       std::int32_t begin, std::int32_t end) {
    const auto holding = [&](std::int32_t position) {
        return std::upper_bound(sentences.begin(), sentences.end(), position,
                                [](std::int32_t p, const SentenceRange& s) { return p < s.end; });
    };
    const auto first = holding(begin);
    const auto last = holding(std::max(begin, end - 1));
    if (first == sentences.end()) {
        return "";
    }
    std::int32_t from = first->begin;
    std::int32_t to = last == sentences.end() ? sentences.back().end : last->end;
    while (to > from && checked[static_cast<std::size_t>(to - 1)] == u'\n') {
        --to;
    }
    // Text without sentence punctuation can be one sentence of a megabyte: a long sentence is
    // given around the match, whole characters only.
    if (to - from > kMaxSentenceUnits) {
        from = std::max(from, begin - kSentenceMargin);
        to = std::min(to, std::max(end, begin + 1) + kSentenceMargin);
        if (from > 0 && isLowSurrogate(checked[static_cast<std::size_t>(from)])) {
            --from;
        }
        if (to < static_cast<std::int32_t>(checked.size()) &&
            isLowSurrogate(checked[static_cast<std::size_t>(to)])) {
            ++to;
        }
    }
    return utf8(
        checked.substr(static_cast<std::size_t>(from), static_cast<std::size_t>(to - from)));
}

Json languageObject(bool detected) {
    Json language{{"name", kLanguageName}, {"code", kLanguageLongCode}};
    // Clients read detectedLanguage whether or not they asked for detection.
    language["detectedLanguage"] = Json{{"name", kLanguageName},
                                        {"code", kLanguageLongCode},
                                        {"confidence", detected ? 0.99 : 1.0}};
    return language;
}

Json softwareObject() {
    return Json{{"name", "勘鉴坊"}, {"version", KJF_VERSION}, {"buildDate", ""},
                {"apiVersion", 1},  {"premium", false},       {"status", ""}};
}

}  // namespace

MatchRule matchRuleOf(const rg_BiaoJiCiYuLei& finding) {
    switch (finding.source) {
        case FindingSource::Dictionary:
            if (finding.type == FindingType::Suspected) {
                return {"KJF_SUSPECTED_CHARACTER", "不成词的字", "misspelling",
                        "KJF_DICTIONARY",          "词库校对",   "UnknownWord"};
            }
            return {"KJF_DICTIONARY_ERROR", "词库中的错词", "misspelling",
                    "KJF_DICTIONARY",       "词库校对",     "Other"};
        case FindingSource::Context:
            return {"KJF_CONTEXT_ERROR", "语境中的错字", "misspelling",
                    "KJF_CONTEXT",       "语境校对",     "Other"};
        case FindingSource::Rule:
            return {"KJF_GRAMMAR_RULE", "语法规则", "grammar", "KJF_GRAMMAR", "语法", "Grammar"};
    }
    return {"KJF_UNKNOWN", "", "uncategorized", "KJF_UNKNOWN", "", "Other"};
}

MatchMessages matchMessagesOf(const rg_BiaoJiCiYuLei& finding) {
    const std::string word = shown(finding.word);
    const std::string suggestion = shown(finding.suggestion);
    switch (finding.source) {
        case FindingSource::Dictionary:
            if (finding.type == FindingType::Suspected) {
                return {"“" + word + "”不在词库的任何词中，可能有误。", "疑似错误"};
            }
            if (finding.suggestion.empty()) {
                return {"“" + word + "”是词库中的错词。", "错词"};
            }
            return {"“" + word + "”应为“" + suggestion + "”。", "错词"};
        case FindingSource::Context:
            if (finding.suggestion.empty()) {
                return {"据上下文，“" + word + "”可能有误。", "语境错误"};
            }
            return {"据上下文，“" + word + "”应为“" + suggestion + "”。", "语境错误"};
        case FindingSource::Rule:
            return {"按语法，“" + word + "”应为“" + suggestion + "”。", "语法错误"};
    }
    return {word, ""};
}

std::string checkAnswer(const CheckRequest& request, std::span<const rg_BiaoJiCiYuLei> findings,
                        bool complete) {
    std::vector<const rg_BiaoJiCiYuLei*> ordered;
    ordered.reserve(findings.size());
    const auto checkedUnits = static_cast<std::int32_t>(request.checked.size());
    for (const auto& f : findings) {
        if (f.position >= 0 && f.length > 0 && f.position <= checkedUnits - f.length) {
            ordered.push_back(&f);
        }
    }
    // A reverse scan reports from the end; clients expect matches by position.
    std::stable_sort(ordered.begin(), ordered.end(),
                     [](const auto* a, const auto* b) { return a->position < b->position; });
    const auto sentences = splitSentences(request.checked);
    Json matches = Json::array();
    for (const auto* f : ordered) {
        const MatchRule rule = matchRuleOf(*f);
        if (std::find(request.disabledRules.begin(), request.disabledRules.end(), rule.id) !=
            request.disabledRules.end()) {
            continue;
        }
        const std::int32_t offset = request.postedBegin(f->position);
        const std::int32_t length = request.postedEnd(f->position + f->length) - offset;
        // Characters that an empty markup stands for have nothing in the posted text to mark.
        if (length <= 0) {
            continue;
        }
        const MatchMessages messages = matchMessagesOf(*f);
        Json replacements = Json::array();
        if (f->type == FindingType::Error && !f->suggestion.empty()) {
            replacements.push_back(Json{{"value", utf8(f->suggestion)}});
        }
        matches.push_back(Json{
            {"message", messages.message},
            {"shortMessage", messages.shortMessage},
            {"replacements", std::move(replacements)},
            {"offset", offset},
            {"length", length},
            {"context", contextOf(request.posted, offset, length)},
            {"sentence",
             sentenceOf(request.checked, sentences, f->position, f->position + f->length)},
            {"type", Json{{"typeName", rule.typeName}}},
            {"rule",
             Json{{"id", rule.id},
                  {"description", rule.description},
                  {"issueType", rule.issueType},
                  {"category", Json{{"id", rule.categoryId}, {"name", rule.categoryName}}}}},
            {"ignoreForIncompleteSentence", false},
            {"contextForSureMatch", 0},
        });
    }
    const Json answer{
        {"software", softwareObject()},
        {"warnings", Json{{"incompleteResults", !complete}}},
        {"language", languageObject(request.detectLanguage)},
        {"matches", std::move(matches)},
    };
    return answer.dump();
}

std::string languagesAnswer() {
    return Json::array({Json{{"name", kLanguageName},
                             {"code", kLanguageCode},
                             {"longCode", kLanguageLongCode}}})
        .dump();
}

}  // namespace kjf::server
