#include "learning/auto_learning_window.h"

#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <vector>

#include "engine/checking_engine.h"
#include "engine/dictionary_kind.h"
#include "learning/word_groups.h"
#include "ui/message_box.h"
#include "ui/qt_text.h"

namespace kjf {

namespace {

// The texts of this window.
const auto kTitle = u"自动分析结果";
const auto kGroupCaption = u"自动分析词组列表";
const auto kAddButton = u"选中加入自动词库";
const auto kHint = u"请选中组词合理的记录并加入自动词库，下次可准确识别。";
const char16_t* const kColumnTitles[] = {u"序号", u"源字", u"组词", u"起始位置", u"长度"};
const auto kMessageCaption = u"提示";
const auto kAddQuestion = u"确定要把选中的加入自动词库吗？";
const auto kSaved = u"保存成功！";
const auto kNotSaved = u"保存失败！无法写入自动词库文件：\n%1";
const auto kRunStillWorking = u"校对仍在进行，请等校对完毕后再自动学习。";

// The 起始位置 and 长度 items also hold their numbers, which a click selects in the editor.
constexpr int kNumberRole = Qt::UserRole;

constexpr int kColumnWidths[] = {50, 50, 100, 100, 0};
constexpr Qt::Alignment kColumnAlignments[] = {Qt::AlignLeft, Qt::AlignHCenter, Qt::AlignLeft,
                                               Qt::AlignHCenter, Qt::AlignLeft};

}  // namespace

rg_ZiDongXueXiChuangKou1::rg_ZiDongXueXiChuangKou1(QWidget* owner, rg_ChaCuoYinQing* engine,
                                                   Locations locations, InputSource takeInput)
    : QDialog(owner),
      m_engine(engine),
      m_locations(std::move(locations)),
      m_takeInput(std::move(takeInput)) {
    setWindowTitle(text(kTitle));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setModal(false);
    setFixedSize(370, 480);

    m_group = new QGroupBox(text(kGroupCaption), this);
    m_group->setObjectName(QStringLiteral("wordGroupBox"));
    m_group->setGeometry(11, 4, 348, 427);
    buildList();

    m_addButton = new QPushButton(text(kAddButton), this);
    m_addButton->setObjectName(QStringLiteral("addButton"));
    m_addButton->setGeometry(229, 442, 132, 32);
    m_addButton->setAutoDefault(false);
    connect(m_addButton, &QPushButton::clicked, this,
            &rg_ZiDongXueXiChuangKou1::addCheckedGroupsToAutoDictionary);

    m_hint = new QLabel(text(kHint), this);
    m_hint->setObjectName(QStringLiteral("hintLabel"));
    m_hint->setGeometry(18, 442, 200, 32);
    m_hint->setWordWrap(true);
    m_hint->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
}

rg_ZiDongXueXiChuangKou1::~rg_ZiDongXueXiChuangKou1() {
    stopAnalysis();
}

void rg_ZiDongXueXiChuangKou1::buildList() {
    m_list = new QTableWidget(0, ColumnCount, m_group);
    m_list->setObjectName(QStringLiteral("wordGroupList"));
    m_list->setGeometry(10, 26, 328, 392);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setShowGrid(true);
    m_list->setWordWrap(false);
    m_list->verticalHeader()->hide();
    m_list->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_list->verticalHeader()->setDefaultSectionSize(m_list->fontMetrics().height() + 6);
    m_list->horizontalHeader()->setHighlightSections(false);
    m_list->horizontalHeader()->setStretchLastSection(false);
    for (int column = 0; column < ColumnCount; ++column) {
        auto* header = new QTableWidgetItem(text(kColumnTitles[column]));
        header->setTextAlignment(kColumnAlignments[column] | Qt::AlignVCenter);
        m_list->setHorizontalHeaderItem(column, header);
        if (kColumnWidths[column] == 0) {
            // Invisible, but every row keeps the length that a click selects.
            m_list->setColumnHidden(column, true);
        } else {
            m_list->setColumnWidth(column, kColumnWidths[column]);
        }
    }
    connect(m_list, &QTableWidget::cellClicked, this,
            [this](int row, int) { showGroupInEditor(row); });
}

void rg_ZiDongXueXiChuangKou1::openWindow() {
    if (isVisible()) {
        return;
    }
    if (m_takeInput && !m_takeInput()) {
        showMessage(parentWidget(), QMessageBox::Information, text(kMessageCaption),
                    text(kRunStillWorking));
        return;
    }
    m_list->setRowCount(0);
    show();
    startAnalysis();
}

void rg_ZiDongXueXiChuangKou1::startAnalysis() {
    if (m_analysing.load() || m_engine == nullptr) {
        return;
    }
    if (m_worker.joinable()) {
        m_worker.join();  // finished already
    }
    // A copy: a run started while the analysis goes on must not change the list under it.
    std::optional<WordGroupInput> taken =
        m_takeInput ? m_takeInput() : std::optional(takeWordGroupInput(*m_engine));
    if (!taken) {
        return;  // a run is working: openWindow said so
    }
    WordGroupInput input = std::move(*taken);
    m_analysing = true;
    m_worker = std::jthread([this, input = std::move(input)](std::stop_token stop) {
        analyzeWordGroups(
            *m_engine, input,
            [this](const WordGroupRow& row) {
                QMetaObject::invokeMethod(
                    this, [this, row] { receiveRow(row); }, Qt::QueuedConnection);
            },
            stop);
        // After the last row has been posted, so that a caller that sees the analysis ended and
        // then handles its events has every row.
        m_analysing = false;
    });
}

void rg_ZiDongXueXiChuangKou1::stopAnalysis() {
    if (m_worker.joinable()) {
        m_worker.request_stop();
        m_worker.join();
    }
    m_analysing = false;
}

void rg_ZiDongXueXiChuangKou1::receiveRow(const WordGroupRow& row) {
    // Rows found after the window was closed belong to no list.
    if (!isVisible()) {
        return;
    }
    addGroupRow(QString::fromStdU16String(row.source), QString::fromStdU16String(row.group),
                row.start);
}

void rg_ZiDongXueXiChuangKou1::addGroupRow(const QString& source, const QString& group,
                                           std::int32_t start) {
    const int row = m_list->rowCount();
    const auto length = static_cast<std::int32_t>(group.size());
    const QString cells[] = {QString::number(row + 1), source, group, QString::number(start),
                             QString::number(length)};
    m_list->insertRow(row);
    for (int column = 0; column < ColumnCount; ++column) {
        auto* item = new QTableWidgetItem(cells[column]);
        item->setTextAlignment(kColumnAlignments[column] | Qt::AlignVCenter);
        Qt::ItemFlags flags = Qt::ItemIsSelectable | Qt::ItemIsEnabled;
        if (column == Number) {
            flags |= Qt::ItemIsUserCheckable;
            item->setCheckState(Qt::Unchecked);
        } else if (column == Start) {
            item->setData(kNumberRole, start);
        } else if (column == Length) {
            item->setData(kNumberRole, length);
        }
        item->setFlags(flags);
        m_list->setItem(row, column, item);
    }
}

void rg_ZiDongXueXiChuangKou1::showGroupInEditor(int row) {
    const auto number = [&](int column) {
        const QTableWidgetItem* item = m_list->item(row, column);
        return item != nullptr ? item->data(kNumberRole).toInt() : 0;
    };
    emit groupChosen(number(Start), number(Length));
}

void rg_ZiDongXueXiChuangKou1::addCheckedGroupsToAutoDictionary() {
    if (showMessage(this, QMessageBox::Question, text(kMessageCaption), text(kAddQuestion),
                    QMessageBox::Ok | QMessageBox::Cancel) != QMessageBox::Ok) {
        return;
    }
    std::vector<std::u16string> entries;
    for (int row = 0; row < m_list->rowCount(); ++row) {
        const QTableWidgetItem* box = m_list->item(row, Number);
        const QTableWidgetItem* group = m_list->item(row, Group);
        if (box != nullptr && group != nullptr && box->checkState() == Qt::Checked) {
            entries.push_back(group->text().toStdU16String());
        }
    }
    if (const WriteResult appended = appendToAutoDictionary(m_locations, entries); appended) {
        if (!entries.empty()) {
            emit automaticDictionaryChanged();
        }
        showMessage(this, QMessageBox::Information, text(kMessageCaption), text(kSaved));
    } else {
        const QString path = QString::fromStdString(m_locations.automaticDictionaryPath());
        showMessage(this, QMessageBox::Warning, text(kMessageCaption),
                    withReason(text(kNotSaved).arg(path), appended.reason()));
    }
}

}  // namespace kjf
