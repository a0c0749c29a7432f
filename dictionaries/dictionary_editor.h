// The dictionary editor: one dictionary file of a listed kind edited as plain text.
#pragma once

#include <QDialog>
#include <string>

#include "engine/dictionary_kind.h"

class QPushButton;

namespace kjf {

class DictionaryTextBox;

// The dictionary editor: loads the file's raw text, checks error dictionaries for
// "错词$=$正词" lines and writes the text back with "保存". Its parts are named "textBox" and
// "saveButton". GUI thread only.
class rg_BianJiCiKuChuangKou : public QDialog {
    Q_OBJECT
  public:
    // path is the file's full path (UTF-8); kind is the listed kind the file belongs to;
    // readOnly: a system dictionary of an installed program, shown but never saved. Loads the
    // file at once.
    rg_BianJiCiKuChuangKou(std::string path, DictionaryKind kind, QWidget* parent = nullptr,
                           bool readOnly = false);

    // "保存": checks, then writes the box's text in place of the file. Refuses to write over a
    // file that exists but could not be read whole when the window opened, and to write a
    // read-only dictionary.
    void save();

  signals:
    // The file now holds the box's text.
    void saved();

  protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    const std::string m_path;
    const DictionaryKind m_kind;
    const bool m_readOnly;
    // The file was there but could not be read whole: the box does not hold its entries.
    bool m_loadIncomplete = false;
    DictionaryTextBox* m_text = nullptr;
    QPushButton* m_save = nullptr;
};

}  // namespace kjf
