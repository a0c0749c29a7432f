// Acting on findings: accepting a suggestion, ignoring, teaching the user's correct dictionary,
// copying rows, moving from finding to finding, and the keys of all of these.
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QItemSelectionModel>
#include <QLabel>
#include <QMenu>
#include <QStatusBar>
#include <QTableView>
#include <QTextCursor>
#include <QTextEdit>
#include <algorithm>
#include <initializer_list>

#include "app/main_window.h"
#include "app/main_window_texts.h"
#include "dictionaries/dictionary_operations.h"
#include "ui/message_box.h"
#include "ui/qt_text.h"
#include "ui/status_text.h"

namespace kjf {

using namespace main_window_texts;

namespace {

QList<QKeySequence> keysOf(std::initializer_list<QKeyCombination> keys) {
    QList<QKeySequence> sequences;
    for (const QKeyCombination key : keys) {
        if (key.key() != Qt::Key_unknown) {
            sequences.append(QKeySequence(key));
        }
    }
    return sequences;
}

}  // namespace

QAction* rg_WoDeZhuChuangKou::makeAction(const ActionItem& item) {
    QWidget* owner = item.scope == KeyScope::Window ? static_cast<QWidget*>(this) : m_listView;
    auto* action = new QAction(text(item.caption), owner);
    action->setShortcuts(keysOf({item.key, item.alternativeKey}));
    action->setShortcutContext(item.scope == KeyScope::Window ? Qt::WindowShortcut
                                                              : Qt::WidgetShortcut);
    owner->addAction(action);
    return action;
}

void rg_WoDeZhuChuangKou::buildFindingActions() {
    for (int i = 0; i < static_cast<int>(m_actions.size()); ++i) {
        const QKeyCombination key = kCommandKeys[i];
        if (key.key() == Qt::Key_unknown) {
            continue;
        }
        QAction* action = m_actions[static_cast<std::size_t>(i)];
        action->setShortcut(QKeySequence(key));
        action->setShortcutContext(Qt::WindowShortcut);
        addAction(action);
        action->setToolTip(action->text() + QStringLiteral(" (") +
                           QKeySequence(key).toString(QKeySequence::NativeText) + QLatin1Char(')'));
    }

    m_nextAction = makeAction(kNextFinding);
    connect(m_nextAction, &QAction::triggered, this, [this] { moveToFinding(true); });
    m_previousAction = makeAction(kPreviousFinding);
    connect(m_previousAction, &QAction::triggered, this, [this] { moveToFinding(false); });

    m_applyAction = makeAction(kApplySuggestion);
    connect(m_applyAction, &QAction::triggered, this, &rg_WoDeZhuChuangKou::applySuggestions);
    m_ignoreAction = makeAction(kIgnore);
    connect(m_ignoreAction, &QAction::triggered, this, &rg_WoDeZhuChuangKou::ignoreFindings);
    m_ignoreWordAction = makeAction(kIgnoreWord);
    connect(m_ignoreWordAction, &QAction::triggered, this, &rg_WoDeZhuChuangKou::ignoreWord);
    m_addToCorrectAction = makeAction(kAddToCorrect);
    connect(m_addToCorrectAction, &QAction::triggered, this,
            &rg_WoDeZhuChuangKou::addToUserCorrectDictionary);
    m_copyRowsAction = makeAction(kCopyRows);
    connect(m_copyRowsAction, &QAction::triggered, this, &rg_WoDeZhuChuangKou::copyRows);
    for (QAction* action : {m_applyAction, m_ignoreAction, m_ignoreWordAction, m_addToCorrectAction,
                            m_copyRowsAction}) {
        action->setObjectName(action->text());
    }
    m_listView->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_listView, &QTableView::customContextMenuRequested, this,
            [this](const QPoint& at) { showListMenu(m_listView->viewport()->mapToGlobal(at)); });
    connect(m_listView->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &rg_WoDeZhuChuangKou::updateFindingActions);

    m_counts = new QLabel(m_statusBar);
    m_counts->setObjectName(QStringLiteral("countLabel"));
    m_counts->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    m_statusBar->addPermanentWidget(m_counts);
    for (const auto signal : {&ErrorListModel::rowsInserted, &ErrorListModel::rowsRemoved}) {
        connect(m_list, signal, this, &rg_WoDeZhuChuangKou::updateCounts);
    }
    connect(m_list, &ErrorListModel::modelReset, this, &rg_WoDeZhuChuangKou::updateCounts);
    updateCounts();
    updateFindingActions();
}

std::vector<int> rg_WoDeZhuChuangKou::selectedRows() const {
    std::vector<int> rows;
    for (const QModelIndex& index : m_listView->selectionModel()->selectedRows()) {
        rows.push_back(index.row());
    }
    std::sort(rows.begin(), rows.end());
    return rows;
}

void rg_WoDeZhuChuangKou::updateFindingActions() {
    const auto rows = selectedRows();
    bool anySuggestion = false;
    bool anyLearnable = false;
    for (const int row : rows) {
        const ErrorListRow& r = m_list->rows()[static_cast<std::size_t>(row)];
        anySuggestion = anySuggestion || (r.type == FindingType::Error && !r.suggestion.isEmpty());
        // A dictionary error is the error dictionaries' to decide: the scan tries wrong words
        // before correct ones, so a correct entry could never silence it.
        anyLearnable =
            anyLearnable || r.type == FindingType::Suspected || r.source == FindingSource::Context;
    }
    m_applyAction->setEnabled(anySuggestion);
    m_ignoreAction->setEnabled(!rows.empty());
    m_ignoreWordAction->setEnabled(!rows.empty());
    m_addToCorrectAction->setEnabled(anyLearnable);
    m_copyRowsAction->setEnabled(!rows.empty());
}

void rg_WoDeZhuChuangKou::updateCounts() {
    const auto [errors, suspected] = m_list->countByType();
    m_counts->setText(text(kCounts).arg(errors).arg(suspected));
}

void rg_WoDeZhuChuangKou::showListMenu(const QPoint& globalPos) {
    updateFindingActions();
    QMenu menu(this);
    menu.setObjectName(QStringLiteral("errorListMenu"));
    menu.addAction(m_applyAction);
    menu.addAction(m_ignoreAction);
    menu.addAction(m_ignoreWordAction);
    menu.addAction(m_addToCorrectAction);
    menu.addSeparator();
    menu.addAction(m_copyRowsAction);
    menu.exec(globalPos);
}

// ---------------------------------------------------------------------------------------------
// Actions on the selected rows

void rg_WoDeZhuChuangKou::applySuggestions() {
    const int applied = m_marks->applySuggestions(selectedRows());
    if (applied > 0) {
        m_status.set(text(kApplied).arg(applied));
    }
}

void rg_WoDeZhuChuangKou::ignoreFindings() {
    const auto rows = selectedRows();
    m_marks->ignoreRows(rows);
    if (!rows.empty()) {
        m_status.set(text(kIgnored).arg(rows.size()));
    }
}

void rg_WoDeZhuChuangKou::ignoreWord() {
    const auto selected = selectedRows();
    if (selected.empty()) {
        return;
    }
    ignoreAll(m_list->rows()[static_cast<std::size_t>(selected.front())].word);
}

int rg_WoDeZhuChuangKou::ignoreAll(const QString& word) {
    std::vector<int> rows;
    for (std::size_t i = 0; i < m_list->rows().size(); ++i) {
        if (m_list->rows()[i].word == word) {
            rows.push_back(static_cast<int>(i));
        }
    }
    const int count = static_cast<int>(rows.size());
    m_marks->ignoreRows(std::move(rows));
    m_status.set(text(kIgnored).arg(count));
    return count;
}

void rg_WoDeZhuChuangKou::addToUserCorrectDictionary() {
    QString word;
    for (const int row : selectedRows()) {
        const ErrorListRow& r = m_list->rows()[static_cast<std::size_t>(row)];
        if (r.type == FindingType::Suspected || r.source == FindingSource::Context) {
            word = r.word;
            break;
        }
    }
    if (word.isEmpty()) {
        return;
    }
    const AddedWord added = kjf::addToUserCorrectDictionary(m_locations, word.toStdU16String());
    if (!added.result) {
        showMessage(this, QMessageBox::Warning, text(kMessageCaption),
                    withReason(text(kNotAddedToCorrect).arg(QString::fromStdString(added.path)),
                               added.result.reason()));
        return;
    }
    ignoreAll(word);
    m_status.set(text(kAddedToCorrect).arg(word));
    reloadDictionaries();
}

void rg_WoDeZhuChuangKou::copyRows() {
    QString copied;
    for (const int row : selectedRows()) {
        for (int column = ErrorListModel::Number; column <= ErrorListModel::Type; ++column) {
            copied += m_list->cellText(row, column);
            copied += column == ErrorListModel::Type ? QLatin1Char('\n') : QLatin1Char('\t');
        }
    }
    if (!copied.isEmpty()) {
        QApplication::clipboard()->setText(copied);
    }
}

void rg_WoDeZhuChuangKou::moveToFinding(bool forward) {
    const auto& rows = m_list->rows();
    if (rows.empty()) {
        return;
    }
    const QTextCursor caret = m_editor->textCursor();
    const std::int64_t after = caret.selectionEnd();
    const std::int64_t before = caret.selectionStart();
    // The nearest finding past the caret (or before it); from the far end round again when
    // there is none.
    int best = -1;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const std::int64_t p = rows[i].position;
        const std::int64_t bestPosition =
            best < 0 ? 0 : rows[static_cast<std::size_t>(best)].position;
        if (forward ? p >= after && (best < 0 || p < bestPosition)
                    : p < before && (best < 0 || p > bestPosition)) {
            best = static_cast<int>(i);
        }
    }
    if (best < 0) {
        for (std::size_t i = 0; i < rows.size(); ++i) {
            const std::int64_t p = rows[i].position;
            const std::int64_t bestPosition =
                best < 0 ? 0 : rows[static_cast<std::size_t>(best)].position;
            if (best < 0 || (forward ? p < bestPosition : p > bestPosition)) {
                best = static_cast<int>(i);
            }
        }
    }
    const ErrorListRow& r = rows[static_cast<std::size_t>(best)];
    selectRange(r.position, r.length);
    m_listView->selectionModel()->setCurrentIndex(
        m_list->index(best, ErrorListModel::Word),
        QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    m_listView->scrollTo(m_list->index(best, ErrorListModel::Word));
}

}  // namespace kjf
