#include "app/document_text.h"

#include <QTextDocument>
#include <algorithm>

namespace kjf {

std::u16string documentText(const QTextDocument& document) {
    const QString raw = document.toRawText();
    std::u16string text(reinterpret_cast<const char16_t*>(raw.utf16()),
                        static_cast<std::size_t>(raw.size()));
    for (char16_t& unit : text) {
        switch (unit) {
            case QChar::ParagraphSeparator:
            case QChar::LineSeparator:
            case 0xFDD0:  // start of a frame (a table, for instance)
            case 0xFDD1:  // end of a frame
                unit = u'\n';
                break;
            default:
                break;
        }
    }
    const auto positions = static_cast<std::size_t>(std::max(0, document.characterCount() - 1));
    if (text.size() > positions) {
        text.resize(positions);
    }
    return text;
}

}  // namespace kjf
