// Where the nodes of XML parsed by pugixml lie in its bytes, and its character data decoded as
// written, so that a reader can map text back to the markup and a writer can splice it.
#pragma once

#include <pugixml.hpp>

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace kjf {

// Every construct becomes a node with its position (comments, declarations, whitespace), and
// nothing is rewritten in place: character data reaches its reader as written, so that entity
// references are decoded by decodeCharacterData and byte positions stay those of the source.
inline constexpr unsigned kXmlParseOptions =
    (pugi::parse_full | pugi::parse_ws_pcdata) &
    ~(pugi::parse_escapes | pugi::parse_eol | pugi::parse_wconv_attribute);

// A byte position that could not be found.
inline constexpr std::size_t kNoPosition = static_cast<std::size_t>(-1);

// Whether name is prefix:local (or local alone for an empty prefix).
bool isNamed(std::string_view name, std::string_view prefix, std::string_view local);

// Whether text holds nothing but XML whitespace.
bool isBlank(const char* text);

// Where node starts in xml (parsed with kXmlParseOptions): its '<', or its first character for
// character data; kNoPosition when pugixml gives no usable offset.
std::size_t nodeStart(std::string_view xml, pugi::xml_node node);

// The bytes [begin, end) of an element, from its '<' to the '>' of its end tag (or of "/>").
// false when they cannot be told exactly.
bool elementRange(std::string_view xml, pugi::xml_node element, std::size_t& begin,
                  std::size_t& end);

// The end of an element's start tag, given the end of the element; kNoPosition when unknown.
std::size_t startTagEnd(std::string_view xml, pugi::xml_node element, std::size_t end);

// Character data as written: the five predefined entities and character references are decoded
// (a reference to U+0000 or beyond U+10FFFF is dropped), anything else that starts with '&' is
// kept as written.
std::u16string decodeCharacterData(std::string_view data);

// Where new children of the root element of an XML part go: before its end tag, or, for a root
// written <x/>, in place of the "/>" at [at, end). nullopt when xml is not well-formed.
struct XmlRootEnd {
    std::string name;  // the root element's name as written
    std::size_t at = 0;
    std::size_t end = 0;
    bool selfClosing = false;
};
std::optional<XmlRootEnd> xmlRootEnd(std::string_view xml);

}  // namespace kjf
