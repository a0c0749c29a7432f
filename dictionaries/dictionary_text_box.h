// The plain text box of the dictionary editor and the automatic dictionary page.
#pragma once

#include <QPlainTextEdit>

namespace kjf {

// A multi-line text box holding a dictionary's text. Dropping files appends the text of the first
// one (read by the text-file rule) followed by CR LF, when dropping is accepted. GUI thread only.
class DictionaryTextBox : public QPlainTextEdit {
    Q_OBJECT
  public:
    explicit DictionaryTextBox(QWidget* parent = nullptr);

    void setAcceptsFiles(bool accepts) { m_acceptsFiles = accepts; }
    // Puts text into the box; CR LF, CR and LF each end a line.
    void setDictionaryText(const std::u16string& text);
    // The box's text with CR LF after every line but the last, as the program writes .dict files.
    std::u16string dictionaryText() const;
    // Appends the text of the file at path (UTF-8) and CR LF at the end of the content.
    void appendFile(const QString& path);

    // Drops and pastes arrive here; public so that a drop can be replayed without a mouse.
    bool canInsertFromMimeData(const QMimeData* source) const override;
    void insertFromMimeData(const QMimeData* source) override;

  private:
    bool m_acceptsFiles = false;
};

}  // namespace kjf
