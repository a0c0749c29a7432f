#include "dictionaries/dictionary_text_box.h"

#include <QMimeData>
#include <QTextCursor>
#include <QUrl>

#include "text/text_file.h"

namespace kjf {

DictionaryTextBox::DictionaryTextBox(QWidget* parent) : QPlainTextEdit(parent) {
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
}

void DictionaryTextBox::setDictionaryText(const std::u16string& text) {
    setPlainText(QString::fromStdU16String(text));
}

std::u16string DictionaryTextBox::dictionaryText() const {
    // The document keeps lines, not line ends: every line is written back with CR LF.
    QString text = toPlainText();
    text.replace(QChar(u'\n'), QStringLiteral("\r\n"));
    return text.toStdU16String();
}

void DictionaryTextBox::appendFile(const QString& path) {
    const std::u16string text = readTextFile(path.toStdString());
    QTextCursor cursor(document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(QString::fromStdU16String(text) + QStringLiteral("\r\n"));
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
