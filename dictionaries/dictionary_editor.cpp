#include "dictionaries/dictionary_editor.h"

#include <QPushButton>

#include "dictionaries/dictionary_operations.h"
#include "dictionaries/dictionary_text_box.h"
#include "ui/message_box.h"
#include "ui/qt_text.h"
#include "ui/window_placement.h"

namespace kjf {

namespace {

// The texts of this window.
const auto kTitle = u"编辑词库";
const auto kSave = u"保存";
const auto kCaption = u"提示";
const auto kFormatError = u"格式（形如：错词$=$正词）错误，请检查后再保存！";
const auto kSaved = u"保存成功！";
const auto kSaveFailed = u"保存失败！";
const auto kUnreadable = u"词库文件无法完整读取，保存会覆盖其中未显示的词条，已取消保存！";
const auto kSystemReadOnly = u"安装的系统词库是只读的，不能修改；自己的词语请加入用户词库。";

}  // namespace

rg_BianJiCiKuChuangKou::rg_BianJiCiKuChuangKou(std::string path, DictionaryKind kind,
                                               QWidget* parent, bool readOnly)
    : QDialog(parent), m_path(std::move(path)), m_kind(kind), m_readOnly(readOnly) {
    setWindowTitle(text(kTitle));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(320, 480);

    m_text = new DictionaryTextBox(this);
    m_text->setObjectName(QStringLiteral("textBox"));
    m_text->setAcceptsFiles(true);
    m_save = new QPushButton(text(kSave), this);
    m_save->setObjectName(QStringLiteral("saveButton"));
    m_save->setAutoDefault(false);
    connect(m_save, &QPushButton::clicked, this, &rg_BianJiCiKuChuangKou::save);

    const DictionaryFileText file = readDictionaryFile(m_path);
    m_loadIncomplete = file.exists && !file.complete;
    m_text->setDictionaryText(file.text);
}

void rg_BianJiCiKuChuangKou::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    keepOnScreen(*this);
}

void rg_BianJiCiKuChuangKou::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    // At 320 x 480: the box at 9, 10, 301 x 416 and "保存" at 222, 439, 90 x 32. A small screen
    // makes the window lower, and the box with it.
    m_text->setGeometry(9, 10, width() - 19, height() - 64);
    m_save->setGeometry(width() - 98, height() - 41, 90, 32);
}

void rg_BianJiCiKuChuangKou::save() {
    const std::u16string content = m_text->dictionaryText();
    if (isErrorKind(m_kind) && !malformedErrorLines(content).empty()) {
        showMessage(this, QMessageBox::Critical, text(kCaption), text(kFormatError));
        return;
    }
    if (m_loadIncomplete) {
        showMessage(this, QMessageBox::Critical, text(kCaption), text(kUnreadable));
        return;
    }
    if (m_readOnly) {
        showMessage(this, QMessageBox::Critical, text(kCaption),
                    text(kSaveFailed) + u'\n' + text(kSystemReadOnly));
        return;
    }
    if (const WriteResult written = saveDictionaryText(m_path, content); written) {
        emit saved();
        showMessage(this, QMessageBox::Information, text(kCaption), text(kSaved));
    } else {
        showMessage(this, QMessageBox::Critical, text(kCaption),
                    withReason(text(kSaveFailed), written.reason()));
    }
}

}  // namespace kjf
