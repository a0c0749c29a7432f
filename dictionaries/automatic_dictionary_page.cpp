#include "dictionaries/automatic_dictionary_page.h"

#include <QPushButton>

#include "dictionaries/dictionary_operations.h"
#include "dictionaries/dictionary_text_box.h"
#include "engine/dictionary_kind.h"
#include "ui/message_box.h"
#include "ui/qt_text.h"
#include "ui/status_text.h"

namespace kjf {

namespace {

// The texts of this page.
const auto kOptimise = u"优化";
const auto kSave = u"保存";
const auto kCaption = u"提示";
const auto kOptimised = u"优化完成！";
const auto kSaved = u"保存成功！";
const auto kWriteFailed = u"修改失败！";
const auto kCannotCreate = u"打开文件失败！";
const auto kUnreadable = u"自动词库文件无法完整读取，保存会覆盖其中未显示的词语，已取消保存！";

}  // namespace

rg_ZiDongCiKuZuJian::rg_ZiDongCiKuZuJian(std::string path, StatusText& status, QWidget* parent)
    : QWidget(parent), m_path(std::move(path)), m_status(status) {
    m_text = new DictionaryTextBox(this);
    m_text->setObjectName(QStringLiteral("textBox"));
    m_text->setGeometry(13, 13, 250, 346);
    m_optimise = new QPushButton(text(kOptimise), this);
    m_optimise->setObjectName(QStringLiteral("optimiseButton"));
    m_optimise->setGeometry(115, 371, 70, 32);
    connect(m_optimise, &QPushButton::clicked, this, &rg_ZiDongCiKuZuJian::optimise);
    m_save = new QPushButton(text(kSave), this);
    m_save->setObjectName(QStringLiteral("saveButton"));
    m_save->setGeometry(198, 371, 70, 32);
    connect(m_save, &QPushButton::clicked, this, &rg_ZiDongCiKuZuJian::save);

    const DictionaryFileText file = readDictionaryFile(m_path);
    m_loadIncomplete = file.exists && !file.complete;
    m_text->setDictionaryText(file.text);
    resize(284, 420);
}

rg_ZiDongCiKuZuJian::~rg_ZiDongCiKuZuJian() {
    if (m_worker.joinable()) {
        m_worker.join();
    }
}

void rg_ZiDongCiKuZuJian::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    const int right = width();
    const int bottom = height();
    m_save->setGeometry(right - 80, bottom - 40, 70, 30);
    m_optimise->setGeometry(right - 160, bottom - 40, 70, 30);
    m_text->setGeometry(10, 10, right - 20, bottom - 60);
}

void rg_ZiDongCiKuZuJian::optimise() {
    if (m_worker.joinable()) {
        return;
    }
    // The result replaces the whole box: edits made meanwhile would be lost, so none are taken.
    m_text->setReadOnly(true);
    m_save->setEnabled(false);  // the result, not the text before it, is what "保存" then writes
    m_worker = std::thread([this, source = m_text->dictionaryText()] {
        std::u16string result = optimiseDictionaryText(source);
        QMetaObject::invokeMethod(
            this, [this, result = std::move(result)] { showOptimised(result); },
            Qt::QueuedConnection);
    });
}

void rg_ZiDongCiKuZuJian::showOptimised(const std::u16string& result) {
    if (m_worker.joinable()) {
        m_worker.join();
    }
    m_text->setDictionaryText(result);
    m_text->setReadOnly(false);
    m_save->setEnabled(true);
    m_status.set(text(kOptimised));
    showMessage(this, QMessageBox::Information, text(kCaption), text(kOptimised));
}

void rg_ZiDongCiKuZuJian::save() {
    if (m_loadIncomplete) {
        showMessage(this, QMessageBox::Critical, text(kCaption), text(kUnreadable));
        return;
    }
    const SaveOutcome outcome = saveDictionaryTextReporting(m_path, m_text->dictionaryText());
    switch (outcome.kind) {
        case SaveOutcome::Kind::Saved:
            emit saved();
            showMessage(this, QMessageBox::Information, text(kCaption), text(kSaved));
            break;
        case SaveOutcome::Kind::CannotCreate:
            showMessage(this, QMessageBox::Critical, text(kCaption),
                        withReason(text(kCannotCreate), outcome.result.reason()));
            break;
        case SaveOutcome::Kind::WriteFailed:
            showMessage(this, QMessageBox::Critical, text(kCaption),
                        withReason(text(kWriteFailed), outcome.result.reason()));
            break;
    }
}

}  // namespace kjf
