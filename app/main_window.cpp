#include "app/main_window.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLayout>
#include <QStatusBar>
#include <QTableView>
#include <QTextCursor>
#include <QTextEdit>
#include <QToolBar>
#include <algorithm>

#include "app/main_window_texts.h"
#include "app/proof_editor.h"
#include "dictionaries/settings_window.h"
#include "resources/artwork.h"
#include "ui/message_box.h"
#include "ui/qt_text.h"
#include "ui/splitter_bar.h"
#include "ui/status_text.h"
#include "ui/window_placement.h"

namespace kjf {

using namespace main_window_texts;

namespace {

constexpr int kClientWidth = 819;
constexpr int kClientHeight = 614;
constexpr int kStatusBarHeight = 30;
constexpr int kSplitterWidth = 10;
constexpr int kSplitterFromRight = 300;
constexpr int kEditorPointSize = 14;
constexpr int kColumnWidths[] = {50, 100, 100, 70, 0, 0};

}  // namespace

rg_WoDeZhuChuangKou::rg_WoDeZhuChuangKou(StatusText& status, QWidget* parent)
    : QWidget(parent), m_status(status) {
    setWindowTitle(text(kTitle));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);

    buildToolBar();

    auto* editor = new ProofEditor(this);
    editor->setObjectName(QStringLiteral("editor"));
    m_editor = editor;
    m_proofEditor = editor;
    // Queued: the import's message box must not run inside the drop's own handling.
    connect(
        editor, &ProofEditor::filesDropped, this,
        [this](const QStringList& paths) { importDocument(paths.constFirst()); },
        Qt::QueuedConnection);
    connect(editor, &ProofEditor::contextMenuRequested, this, &rg_WoDeZhuChuangKou::showEditorMenu);
    QFont face = QApplication::font();
    face.setPointSize(kEditorPointSize);
    face.setBold(false);
    face.setItalic(false);
    m_editor->setFont(face);
    m_editor->document()->setDefaultFont(face);

    m_splitter = new SplitterBar(this);
    m_splitter->setObjectName(QStringLiteral("splitter"));
    connect(m_splitter, &SplitterBar::dragged, this, [this](int x) {
        m_splitter->move(x, m_splitter->y());
        layoutPanes();
    });

    m_group = new QGroupBox(text(kGroupCaption), this);
    m_group->setObjectName(QStringLiteral("errorGroup"));
    buildErrorList();
    m_marks = new FindingMarks(*m_editor, *m_list, this);

    m_statusBar = new QStatusBar(this);
    m_statusBar->setObjectName(QStringLiteral("statusBar"));
    m_statusBar->setSizeGripEnabled(false);
    // The "提示：" label has no border; the message keeps the status bar's usual frame.
    m_statusBar->setStyleSheet(QStringLiteral("QStatusBar::item { border: none; }"));
    auto* label = new QLabel(text(kStatusLabel), m_statusBar);
    label->setObjectName(QStringLiteral("statusLabel"));
    label->setFixedWidth(50);
    m_statusMessage = new QLabel(m_statusBar);
    m_statusMessage->setObjectName(QStringLiteral("statusMessage"));
    m_statusMessage->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    m_statusBar->addWidget(label);
    m_statusBar->addWidget(m_statusMessage, 1);
    m_status.set(text(kWelcome));
    m_status.attach(m_statusMessage);
    buildFindingActions();

    resize(kClientWidth, kClientHeight);
}

rg_WoDeZhuChuangKou::~rg_WoDeZhuChuangKou() = default;

void rg_WoDeZhuChuangKou::buildToolBar() {
    m_toolBar = new QToolBar(this);
    m_toolBar->setObjectName(QStringLiteral("toolBar"));
    m_toolBar->setMovable(false);
    m_toolBar->setFloatable(false);
    m_toolBar->setIconSize(QSize(kToolBarImageSize, kToolBarImageSize));
    m_toolBar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    m_toolBar->layout()->setContentsMargins(5, 0, 0, 0);
    for (int i = 0; i < kToolBarImageCount; ++i) {
        QAction* action = m_toolBar->addAction(toolBarIcon(i), text(kCommandCaptions[i]));
        const auto command = static_cast<Command>(i);
        connect(action, &QAction::triggered, this,
                [this, command] { emit commandTriggered(command); });
        m_actions.push_back(action);
    }
}

void rg_WoDeZhuChuangKou::buildErrorList() {
    m_list = new ErrorListModel(this);
    m_listView = new QTableView(m_group);
    m_listView->setObjectName(QStringLiteral("errorListView"));
    m_listView->setModel(m_list);
    m_listView->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_listView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_listView->setShowGrid(true);
    m_listView->setWordWrap(false);
    m_listView->verticalHeader()->hide();
    // Fixed row heights keep a list of 100,000 rows from measuring every row.
    m_listView->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_listView->verticalHeader()->setDefaultSectionSize(m_listView->fontMetrics().height() + 6);
    m_listView->horizontalHeader()->setHighlightSections(false);
    m_listView->horizontalHeader()->setStretchLastSection(false);
    for (int column = 0; column < ErrorListModel::ColumnCount; ++column) {
        if (kColumnWidths[column] == 0) {
            // Invisible: a double-click jumps to the position and length of the model's row.
            m_listView->setColumnHidden(column, true);
        } else {
            m_listView->setColumnWidth(column, kColumnWidths[column]);
        }
    }
    // The selected row stays visible while the focus is elsewhere (in the editor, after a jump).
    QPalette palette = m_listView->palette();
    palette.setColor(QPalette::Inactive, QPalette::Highlight,
                     palette.color(QPalette::Active, QPalette::Highlight));
    palette.setColor(QPalette::Inactive, QPalette::HighlightedText,
                     palette.color(QPalette::Active, QPalette::HighlightedText));
    m_listView->setPalette(palette);
    connect(m_listView, &QTableView::doubleClicked, this, [this] { jumpToFinding(); });
}

rg_SheZhiChuangKou1& rg_WoDeZhuChuangKou::settingsWindow() {
    if (m_settingsWindow == nullptr) {
        m_settingsWindow = new rg_SheZhiChuangKou1(m_status, this);
    }
    return *m_settingsWindow;
}

QAction* rg_WoDeZhuChuangKou::commandAction(Command command) const {
    return m_actions[static_cast<std::size_t>(command)];
}

// ---------------------------------------------------------------------------------------------
// Marks and the list

void rg_WoDeZhuChuangKou::markFindings(std::span<const rg_BiaoJiCiYuLei> findings) {
    const int rows = m_list->rowCount();
    m_marks->markFindings(findings);
    if (m_list->rowCount() != rows) {
        m_listView->scrollToBottom();
    }
}

void rg_WoDeZhuChuangKou::clearMarks() {
    m_marks->clearMarks();
}

void rg_WoDeZhuChuangKou::selectRange(std::int32_t position, std::int32_t length) {
    const int end = std::max(0, m_editor->document()->characterCount() - 1);
    QTextCursor cursor(m_editor->document());
    cursor.setPosition(static_cast<int>(std::clamp<std::int64_t>(position, 0, end)));
    cursor.setPosition(
        static_cast<int>(std::clamp<std::int64_t>(std::int64_t{position} + length, 0, end)),
        QTextCursor::KeepAnchor);
    m_editor->setTextCursor(cursor);
}

void rg_WoDeZhuChuangKou::jumpToFinding() {
    int row = -1;
    if (const auto selected = m_listView->selectionModel()->selectedRows(); !selected.isEmpty()) {
        row = std::min_element(
                  selected.begin(), selected.end(),
                  [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); })
                  ->row();
    }
    // Without a selected row the jump goes to the start of the text.
    std::int32_t position = 0;
    std::int32_t length = 0;
    const auto& rows = m_list->rows();
    if (row >= 0 && static_cast<std::size_t>(row) < rows.size()) {
        position = rows[static_cast<std::size_t>(row)].position;
        length = rows[static_cast<std::size_t>(row)].length;
    }
    m_editor->setFocus(Qt::OtherFocusReason);
    selectRange(position, length);
}

// ---------------------------------------------------------------------------------------------
// Layout

void rg_WoDeZhuChuangKou::layoutMainWindow() {
    const QRect client = rect();
    m_statusBar->setGeometry(client.left(), client.bottom() + 1 - kStatusBarHeight, client.width(),
                             kStatusBarHeight);
    m_toolBar->setGeometry(client.left(), client.top(), client.width(),
                           m_toolBar->sizeHint().height());
    const int toolBarHeight = m_toolBar->height();
    const int height = client.height() - m_statusBar->height() - toolBarHeight - 5;
    m_splitter->setGeometry(client.left() + client.width() - kSplitterFromRight, toolBarHeight,
                            kSplitterWidth, height);
    layoutPanes();
}

void rg_WoDeZhuChuangKou::layoutPanes() {
    const QRect client = rect();
    const int toolBarHeight = m_toolBar->height();
    const int height = m_splitter->height();
    const int s = m_splitter->x();
    const int w = m_splitter->width();
    // Geometry is applied as computed; a window narrower than the list side gives the editor no
    // width, which Qt treats as an empty widget.
    m_editor->setGeometry(client.left() + 3, toolBarHeight, s - client.left() - 3, height);
    m_group->setGeometry(s + w + 3, toolBarHeight, client.width() - w - s - 6, height);
    m_listView->setGeometry(3, 20, m_group->width() - 6, m_group->height() - 20);
}

void rg_WoDeZhuChuangKou::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    layoutMainWindow();
}

void rg_WoDeZhuChuangKou::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!m_placed) {
        m_placed = true;
        centreOnScreen(*this);
    }
}

bool rg_WoDeZhuChuangKou::confirmExit() {
    return showMessage(this, QMessageBox::Question, text(kMessageCaption), text(kExitQuestion),
                       QMessageBox::Ok | QMessageBox::Cancel) == QMessageBox::Ok;
}

void rg_WoDeZhuChuangKou::closeEvent(QCloseEvent* event) {
    if (confirmExit()) {
        event->accept();
    } else {
        event->ignore();
    }
}

}  // namespace kjf
