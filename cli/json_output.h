// The command-line tool's JSON output: documents built with nlohmann-json and written in the
// byte format the tool has always printed.
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <string_view>

namespace kjf::cli {

// Objects keep their members in the order they were added, as the output has always listed them.
using Json = nlohmann::ordered_json;

// A JSON string holding text exactly, lone surrogates included. Every text value of a document
// given to dumpJson must be made here (keys and other values are ASCII): nlohmann-json holds
// strings as UTF-8, which cannot hold a lone surrogate, so one is carried as U+FFFF and four hex
// digits that dumpJson turns into its \u escape (and a U+FFFF of the text as U+FFFF "ffff").
Json jsonText(std::u16string_view text);

// value without blanks: non-ASCII characters as UTF-8; quote, backslash, LF, CR and tab as \",
// \\, \n, \r and \t; every other control character and a lone surrogate as a lowercase \u escape.
// Any thread.
std::string dumpJson(const Json& value);

// The members of an object as dumpJson writes them, without the braces, for documents that are
// written piece by piece (an array streamed between members).
std::string jsonMembers(const Json& object);

}  // namespace kjf::cli
