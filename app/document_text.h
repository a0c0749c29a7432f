// The editor's text as the engine reads it.
#pragma once

#include <string>

class QTextDocument;

namespace kjf {

// The document's characters, one code unit per cursor position (the last paragraph's end not
// included): position p of the result is the character that a cursor selection from p to p + 1
// covers. Paragraph, line and frame breaks read as '\n'. GUI thread.
std::u16string documentText(const QTextDocument& document);

}  // namespace kjf
