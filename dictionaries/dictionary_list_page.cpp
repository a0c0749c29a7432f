#include "dictionaries/dictionary_list_page.h"

#include <QCheckBox>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <algorithm>
#include <set>

#include "dictionaries/dictionary_editor.h"
#include "dictionaries/dictionary_operations.h"
#include "engine/dictionary_kind.h"
#include "settings/settings_file.h"
#include "text/text_file.h"
#include "text/utf.h"
#include "ui/message_box.h"
#include "ui/qt_text.h"
#include "ui/status_text.h"

namespace kjf {

namespace {

// The texts of this page.
const auto kCaption = u"提示";
const char16_t* const kColumnTitles[] = {u"序号", u"是否启用", u"词库名称"};
constexpr int kColumnWidths[] = {50, 80, 150};
const auto kCheckAll = u"全选";
const auto kCreate = u"新增词库";
const auto kEdit = u"编辑词库";
const auto kDelete = u"删除词库";
const auto kEnable = u"启用选中";
const auto kOptimise = u"优化选中";
const auto kEnabledMark = u"是";
const auto kChooseOne = u"请选择一个词库！";
const auto kSelectFirst = u"请选中一项后再操作！";
const auto kDeleteQuestionStart = u"确定要删除 ";
const auto kDeleteQuestionEnd = u" 词库吗？";
const auto kDeleted = u"删除成功！";
const auto kDeleteFailed = u"删除失败！";
const auto kCreated = u"创建成功！";
const auto kCreateFailed = u"创建失败！";
const auto kOptimised = u"优化完成！";
const auto kOptimiseFailed = u"优化失败！";
const auto kSaveFailed = u"保存失败！";
const auto kNamePrompt = u"请输入词库名称，不含后缀";
const auto kSystemReadOnly =
    u"安装的系统词库是只读的，不能新增、删除、优化或修改；自己的词语请加入用户词库。";
constexpr std::string_view kExtension = ".dict";
constexpr int kTitlePointSize = 22;

}  // namespace

rg_CiKuSheZhi::rg_CiKuSheZhi(StatusText& status, QWidget* parent)
    : QWidget(parent), m_status(status) {
    m_title = new QLabel(this);
    m_title->setObjectName(QStringLiteral("titleLabel"));
    m_title->setGeometry(6, 3, 512, 54);
    QFont titleFont = m_title->font();
    titleFont.setPointSize(kTitlePointSize);
    m_title->setFont(titleFont);

    m_list = new QTableWidget(0, 3, this);
    m_list->setObjectName(QStringLiteral("dictionaryList"));
    m_list->setGeometry(6, 64, 390, 365);
    for (int column = 0; column < 3; ++column) {
        m_list->setHorizontalHeaderItem(column, new QTableWidgetItem(text(kColumnTitles[column])));
        m_list->setColumnWidth(column, kColumnWidths[column]);
    }
    m_list->verticalHeader()->hide();
    m_list->horizontalHeader()->setStretchLastSection(false);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setShowGrid(false);
    connect(m_list, &QTableWidget::cellDoubleClicked, this, [this] {
        // A double-click without a selected row does nothing, not even a message.
        if (const int row = selectedRow(); row >= 0) {
            openEditor(row);
        }
    });

    m_checkAll = new QCheckBox(text(kCheckAll), this);
    m_checkAll->setObjectName(QStringLiteral("checkAllBox"));
    m_checkAll->setGeometry(13, 442, 77, 26);
    connect(m_checkAll, &QCheckBox::clicked, this, &rg_CiKuSheZhi::checkAll);

    m_progress = new QProgressBar(this);
    m_progress->setObjectName(QStringLiteral("progressBar"));
    m_progress->setGeometry(96, 443, 294, 26);
    m_progress->setRange(0, 100);
    m_progress->setValue(0);

    m_panel = new QWidget(this);
    m_panel->setObjectName(QStringLiteral("buttonPanel"));
    m_panel->setGeometry(407, 64, 83, 314);
    const auto button = [this](const char16_t* caption, const char* name, QRect geometry,
                               void (rg_CiKuSheZhi::*act)()) {
        auto* b = new QPushButton(text(caption), m_panel);
        b->setObjectName(QString::fromLatin1(name));
        b->setGeometry(geometry);
        connect(b, &QPushButton::clicked, this, act);
        return b;
    };
    m_create = button(kCreate, "createButton", {0, 4, 77, 32}, &rg_CiKuSheZhi::createDictionary);
    m_edit = button(kEdit, "editButton", {0, 50, 77, 32}, &rg_CiKuSheZhi::editSelected);
    m_delete = button(kDelete, "deleteButton", {0, 95, 77, 32}, &rg_CiKuSheZhi::deleteSelected);
    m_enable = button(kEnable, "enableButton", {0, 141, 77, 32}, &rg_CiKuSheZhi::enableChecked);
    m_optimise =
        button(kOptimise, "optimiseButton", {1, 186, 77, 32}, &rg_CiKuSheZhi::optimiseSelected);

    resize(504, 480);
    // Where its controls end: a smaller settings window scrolls the page instead of cutting them.
    setMinimumSize(490, 472);
}

rg_CiKuSheZhi::~rg_CiKuSheZhi() {
    if (m_worker.joinable()) {
        m_worker.join();
    }
}

void rg_CiKuSheZhi::setLocations(Locations locations) {
    m_locations = std::move(locations);
}

void rg_CiKuSheZhi::setTitle(const QString& title) {
    m_title->setText(title);
}

std::string rg_CiKuSheZhi::pathOf(const QString& name) const {
    return m_dictionaryDirectory + utf16ToUtf8Lossy(name.toStdU16String());
}

void rg_CiKuSheZhi::refreshList() {
    m_list->setRowCount(0);
    const DictionaryKind kind = m_pageKind;
    m_dictionaryDirectory = m_locations.dictionaryDirectory(kind);
    const auto stored = readSetting(m_locations.settingsDirectory, setting::kDictionarySection,
                                    enabledListKey(kind), u"");
    const auto names = splitText(stored, u",");
    const std::set<std::u16string> enabled(names.begin(), names.end());
    for (const auto& name : listDictionaryFiles(m_dictionaryDirectory)) {
        const int row = m_list->rowCount();
        m_list->insertRow(row);
        auto* number = new QTableWidgetItem(QString::number(row + 1));
        number->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        const bool on = enabled.contains(name);
        number->setCheckState(on ? Qt::Checked : Qt::Unchecked);
        m_list->setItem(row, NumberColumn, number);
        m_list->setItem(row, EnabledColumn, new QTableWidgetItem(on ? text(kEnabledMark) : ""));
        m_list->setItem(row, NameColumn, new QTableWidgetItem(QString::fromStdU16String(name)));
    }
}

void rg_CiKuSheZhi::checkAll(bool checked) {
    for (int row = 0; row < m_list->rowCount(); ++row) {
        m_list->item(row, NumberColumn)->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
    }
}

void rg_CiKuSheZhi::enableChecked() {
    std::vector<std::u16string> names;
    for (int row = 0; row < m_list->rowCount(); ++row) {
        const bool on = m_list->item(row, NumberColumn)->checkState() == Qt::Checked;
        if (on) {
            names.push_back(rowName(row).toStdU16String());
        }
        m_list->item(row, EnabledColumn)->setText(on ? text(kEnabledMark) : QString());
    }
    emit dictionariesChanged();
    if (const WriteResult written =
            writeSetting(m_locations.settingsDirectory, setting::kDictionarySection,
                         enabledListKey(m_pageKind), enabledListValue(names));
        !written) {
        // The "是" marks would otherwise claim a choice that setup.ini does not hold.
        showMessage(this, QMessageBox::Critical, text(kCaption),
                    withReason(text(kSaveFailed), written.reason()));
    }
}

int rg_CiKuSheZhi::selectedRow() const {
    const auto rows = m_list->selectionModel()->selectedRows();
    if (rows.isEmpty()) {
        return -1;
    }
    return std::min_element(
               rows.begin(), rows.end(),
               [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); })
        ->row();
}

QString rg_CiKuSheZhi::rowName(int row) const {
    return m_list->item(row, NameColumn)->text();
}

bool rg_CiKuSheZhi::systemFilesReadOnly() const {
    return isSystemKind(m_pageKind) && m_locations.systemDataReadOnly();
}

bool rg_CiKuSheZhi::refusedAsReadOnly(const char16_t* failure) {
    if (!systemFilesReadOnly()) {
        return false;
    }
    showMessage(this, QMessageBox::Critical, text(kCaption),
                text(failure) + u'\n' + text(kSystemReadOnly));
    return true;
}

void rg_CiKuSheZhi::optimiseSelected() {
    const int row = selectedRow();
    if (row < 0) {
        showMessage(this, QMessageBox::Warning, text(kCaption), text(kChooseOne));
        return;
    }
    if (refusedAsReadOnly(kOptimiseFailed)) {
        return;
    }
    emit dictionariesChanged();
    if (m_worker.joinable()) {
        return;
    }
    // The path is taken here: the file read is the file written, whatever is selected later.
    const std::string path = pathOf(rowName(row));
    m_progress->setValue(0);
    m_worker = std::thread([this, path] {
        int shown = -1;
        WriteResult ok = optimiseDictionaryFile(path, [this, &shown](int percent) {
            // One queued call per visible step, not one per line.
            if (percent != shown) {
                shown = percent;
                QMetaObject::invokeMethod(
                    this, [this, percent] { m_progress->setValue(percent); }, Qt::QueuedConnection);
            }
        });
        {
            std::lock_guard lock(m_resultMutex);
            m_result = std::move(ok);
        }
        QMetaObject::invokeMethod(
            this, [this] { deliverOptimiseResult(); }, Qt::QueuedConnection);
    });
}

void rg_CiKuSheZhi::finishOptimise() {
    if (m_worker.joinable()) {
        // The worker never waits for this thread, so joining cannot deadlock.
        m_worker.join();
        deliverOptimiseResult();
    }
}

void rg_CiKuSheZhi::deliverOptimiseResult() {
    std::optional<WriteResult> result;
    {
        std::lock_guard lock(m_resultMutex);
        result.swap(m_result);
    }
    if (!result) {
        return;  // already shown by finishOptimise
    }
    if (m_worker.joinable()) {
        m_worker.join();
    }
    const bool done = static_cast<bool>(*result);
    const QString message = text(done ? kOptimised : kOptimiseFailed);
    m_status.set(message);
    showMessage(this, done ? QMessageBox::Information : QMessageBox::Critical, text(kCaption),
                withReason(message, result->reason()));
}

void rg_CiKuSheZhi::deleteSelected() {
    const int row = selectedRow();
    if (row < 0) {
        showMessage(this, QMessageBox::Warning, text(kCaption), text(kSelectFirst));
        return;
    }
    if (refusedAsReadOnly(kDeleteFailed)) {
        return;
    }
    const QString name = rowName(row);
    const auto answer = showMessage(this, QMessageBox::NoIcon, text(kCaption),
                                    text(kDeleteQuestionStart) + name + text(kDeleteQuestionEnd),
                                    QMessageBox::Ok | QMessageBox::Cancel);
    if (answer != QMessageBox::Ok) {
        return;
    }
    if (const WriteResult deleted = deleteDictionaryFile(pathOf(name)); deleted) {
        refreshList();
        emit dictionariesChanged();
        showMessage(this, QMessageBox::Information, text(kCaption), text(kDeleted));
    } else {
        showMessage(this, QMessageBox::Critical, text(kCaption),
                    withReason(text(kDeleteFailed), deleted.reason()));
    }
}

void rg_CiKuSheZhi::editSelected() {
    const int row = selectedRow();
    if (row < 0) {
        showMessage(this, QMessageBox::Warning, text(kCaption), text(kSelectFirst));
        return;
    }
    openEditor(row);
}

void rg_CiKuSheZhi::openEditor(int row) {
    rg_BianJiCiKuChuangKou editor(pathOf(rowName(row)), m_pageKind, this, systemFilesReadOnly());
    connect(&editor, &rg_BianJiCiKuChuangKou::saved, this, &rg_CiKuSheZhi::dictionariesChanged);
    editor.exec();
}

void rg_CiKuSheZhi::createDictionary() {
    if (refusedAsReadOnly(kCreateFailed)) {
        return;
    }
    const auto name = askText(this, text(kCreate), text(kNamePrompt));
    if (!name) {
        return;
    }
    const std::u16string wide = name->toStdU16String();
    // A name the enabled list could not hold, or one that names an existing file, is refused:
    // creating over an existing dictionary would empty it.
    if (!isUsableDictionaryName(wide)) {
        showMessage(this, QMessageBox::Critical, text(kCaption), text(kCreateFailed));
        return;
    }
    if (const WriteResult created = createEmptyDictionary(
            m_dictionaryDirectory + utf16ToUtf8Lossy(wide) + std::string(kExtension));
        !created) {
        showMessage(this, QMessageBox::Critical, text(kCaption),
                    withReason(text(kCreateFailed), created.reason()));
        return;
    }
    refreshList();
    showMessage(this, QMessageBox::Information, text(kCaption), text(kCreated));
}

}  // namespace kjf
