// Small pieces of WordprocessingML written by hand for the revision writer: escaped text, the
// time of a change, free w:ids and children appended to a part's root element.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace kjf::revision {

// value in decimal digits.
std::u16string number(std::size_t value);

// The time now in UTC, as "YYYY-MM-DDTHH:MM:SSZ".
std::string nowText();

// Text for XML character data or an attribute value. Control characters other than tab and LF
// are written as character references: CR so that it is not read back as LF, the others as a
// document that held them wrote them. A lone surrogate becomes U+FFFD.
std::string escapeXml(std::u16string_view text);

// Text of the writer's own (a comment, the author's name) with every character that XML 1.0
// cannot hold, even as a reference, replaced by U+FFFD.
std::u16string xmlCharacters(std::u16string_view text);

// Whether the character at i can be written into a run's text as a tracked insertion.
bool insertable(std::u16string_view text, std::size_t i);

// The largest number in a w:id (of any prefix) of an XML part.
std::size_t largestId(std::string_view xml);

// xml with insertion added as the last children of its root element; nullopt when xml is not
// well-formed.
std::optional<std::string> appendToRoot(const std::string& xml, std::string_view insertion);

}  // namespace kjf::revision
