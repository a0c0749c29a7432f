// The plain text box of the dictionary editor and the automatic dictionary page.
#pragma once

#include <QPlainTextEdit>
#include <string>

namespace kjf {

// A multi-line text box holding a dictionary's text. Dropping files appends the text of the first
// one followed by CR LF, when dropping is accepted. GUI thread only.
class DictionaryTextBox : public QPlainTextEdit {
    Q_OBJECT
  public:
    explicit DictionaryTextBox(QWidget* parent = nullptr);

    void setAcceptsFiles(bool accepts) { m_acceptsFiles = accepts; }
    // Puts text into the box; CR LF, CR and LF each end a line.
    void setDictionaryText(const std::u16string& text);
    // The text as it is to be saved: exactly the text put in while the box is unedited; after an
    // edit, every character as it stands (no-break spaces and line separators included) with the
    // line ends the text had (CR LF when it had none or mixed ones) between the lines.
    std::u16string dictionaryText() const;
    // Appends the text of the file at path (readDroppedDictionaryFile) and CR LF at the end of the
    // content. A file that cannot be read whole is refused with a message, and the box keeps its
    // text as it was; false then.
    bool appendFile(const QString& path);

    // Drops and pastes arrive here; public so that a drop can be replayed without a mouse.
    bool canInsertFromMimeData(const QMimeData* source) const override;
    void insertFromMimeData(const QMimeData* source) override;

  private:
    bool m_acceptsFiles = false;
    std::u16string m_original;           // the text put in last
    QString m_shown;                     // the document's characters just after it was put in
    std::u16string m_lineEnd = u"\r\n";  // the line end it used
};

}  // namespace kjf
