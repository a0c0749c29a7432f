// What a check request of the proofreading protocol asks: its form fields (percent-encoded or
// raw), the text to check and where each checked unit stands in the posted text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kjf::server {

// The largest request body the server reads; a longer one is answered with 413.
inline constexpr std::size_t kMaxRequestBody = 1 << 20;

// One field of a form, as it came.
struct FormField {
    std::string name;
    std::string value;  // percent-decoded when the form was encoded
};

// Reads an application/x-www-form-urlencoded body. A body made only of what an encoder writes
// (letters, digits, -_.~*!'()+, %XX, and pieces of one name=value each) is percent-decoded, '+'
// as a blank. Anything else was posted raw, as LibreOffice 7.4 posts its UTF-8 text: then the
// text or data field runs from its name to the fields of known names at the end (and after
// those at the start), so that the text may hold '&', '=', '%' and '+' itself. Never fails;
// fields come in the order of the body. Any thread.
std::vector<FormField> readForm(std::string_view body);

// A check request ready for the engine.
struct CheckRequest {
    // The text as posted (the concatenated annotation of a data field); the offsets and lengths
    // of an answer count its UTF-16 units.
    std::u16string posted;
    // What is checked: the posted text with markup replaced by its interpretAs (or left out),
    // every CR LF, lone CR and lone LF as one LF.
    std::u16string checked;
    // Where checked unit i stands in posted: [begins[i], ends[i]). Both empty when checked is
    // posted unit for unit.
    std::vector<std::int32_t> begins;
    std::vector<std::int32_t> ends;
    // "auto" was asked: the answer says which language it detected.
    bool detectLanguage = false;
    // Rule ids whose matches are left out of the answer (disabledRules); other rule fields of the
    // protocol ask nothing of this server and are ignored.
    std::vector<std::string> disabledRules;

    // The posted range [begin, end) of checked units [checkedBegin, checkedEnd), end > begin.
    std::int32_t postedBegin(std::int32_t checkedBegin) const;
    std::int32_t postedEnd(std::int32_t checkedEnd) const;
};

// A request that cannot be answered: the HTTP status and a message for the user.
struct RequestError {
    int status = 400;
    std::string message;  // UTF-8, Chinese
};

// Either a request or why there is none.
struct ParsedRequest {
    bool ok = false;
    CheckRequest request;
    RequestError error;
};

// Makes a check request from a form's fields: text, or data ({"annotation":[{"text":…},
// {"markup":…, "interpretAs":…}]}), language (zh-CN, zh or auto, in any case) and the optional
// fields. A missing or doubled text, malformed data, text that is not UTF-8 or another language
// gives status 400 and a message. Any thread.
ParsedRequest parseCheckRequest(const std::vector<FormField>& fields);

}  // namespace kjf::server
