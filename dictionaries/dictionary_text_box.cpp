#include "dictionaries/dictionary_text_box.h"

#include <QMimeData>
#include <QTextCursor>
#include <QUrl>

#include "dictionaries/dictionary_operations.h"
#include "ui/message_box.h"
#include "ui/qt_text.h"

namespace kjf {

DictionaryTextBox::DictionaryTextBox(QWidget* parent) : QPlainTextEdit(parent) {
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
}

void DictionaryTextBox::setDictionaryText(const std::u16string& text) {
    m_original = text;
    std::size_t crlf = 0, cr = 0, lf = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') {
            ++crlf;
            ++i;
        } else if (text[i] == u'\r') {
            ++cr;
        } else if (text[i] == u'\n') {
            ++lf;
        }
    }
    m_lineEnd = lf > 0 && cr == 0 && crlf == 0   ? u"\n"
                : cr > 0 && lf == 0 && crlf == 0 ? u"\r"
                                                 : u"\r\n";
    setPlainText(QString::fromStdU16String(text));
    m_shown = document()->toRawText();
}

std::u16string DictionaryTextBox::dictionaryText() const {
    // The document keeps lines, not line ends, and its plain text turns no-break spaces into
    // spaces and line separators into line breaks: an unedited text is given back as it came,
    // an edited one from the raw characters.
    const QString raw = document()->toRawText();
    if (raw == m_shown) {
        return m_original;
    }
    std::u16string text;
    text.reserve(static_cast<std::size_t>(raw.size()));
    for (const QChar c : raw) {
        if (c == QChar::ParagraphSeparator) {
            text += m_lineEnd;
        } else {
            text.push_back(c.unicode());
        }
    }
    return text;
}

bool DictionaryTextBox::appendFile(const QString& path) {
    const DroppedDictionaryText dropped = readDroppedDictionaryFile(path.toStdString());
    if (!dropped.ok) {
        showMessage(this, QMessageBox::Critical, text(u"提示"),
                    QString::fromStdU16String(dropped.message));
        return false;
    }
    QTextCursor cursor(document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(QString::fromStdU16String(dropped.text) + QStringLiteral("\r\n"));
    return true;
}

bool DictionaryTextBox::canInsertFromMimeData(const QMimeData* source) const {
    if (m_acceptsFiles && source->hasUrls()) {
        return true;
    }
    return QPlainTextEdit::canInsertFromMimeData(source);
}

void DictionaryTextBox::insertFromMimeData(const QMimeData* source) {
    if (m_acceptsFiles && source->hasUrls()) {
        for (const QUrl& url : source->urls()) {
            // Only the first dropped file counts.
            if (url.isLocalFile()) {
                appendFile(url.toLocalFile());
            }
            return;
        }
        return;
    }
    QPlainTextEdit::insertFromMimeData(source);
}

}  // namespace kjf
