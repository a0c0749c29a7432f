// The answers of the proofreading protocol in its JSON: a check's matches, with the rule and the
// texts a user reads, and the languages the server checks.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "engine/finding.h"
#include "server/check_request.h"

namespace kjf::server {

// The rule a match names. Its id tells a client what kind of finding it is; the texts are
// Chinese, since users read them.
struct MatchRule {
    std::string_view id;
    std::string_view description;
    std::string_view issueType;  // the protocol's issue type (misspelling, …)
    std::string_view categoryId;
    std::string_view categoryName;
    std::string_view typeName;  // the protocol's match type: UnknownWord or Other
};

// The rule of a finding, by who found it and what it is; the one place that maps every
// FindingSource.
MatchRule matchRuleOf(const rg_BiaoJiCiYuLei& finding);

// What the user reads of a finding: a sentence, and a word or two for narrow places.
struct MatchMessages {
    std::string message;
    std::string shortMessage;
};
MatchMessages matchMessagesOf(const rg_BiaoJiCiYuLei& finding);

// The answer to a check: findings of request.checked (in any order; the matches come by
// position; one that does not lie inside the text is left out), with offsets and lengths in
// UTF-16 units of request.posted; matches of disabled rules left out; complete false says that the
// findings stop short of the text's end (warnings.incompleteResults). Any thread.
std::string checkAnswer(const CheckRequest& request, std::span<const rg_BiaoJiCiYuLei> findings,
                        bool complete = true);

// The answer to GET /v2/languages: the one language the server checks. Any thread.
std::string languagesAnswer();

}  // namespace kjf::server
