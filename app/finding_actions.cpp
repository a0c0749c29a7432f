// Acting on findings: accepting a suggestion, ignoring, teaching the user's correct dictionary,
// copying rows, moving from finding to finding, the keys of all of these, and the rows and marks
// that follow the user's edits.
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QItemSelectionModel>
#include <QLabel>
#include <QMenu>
#include <QStatusBar>
#include <QTableView>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>
#include <QToolBar>
#include <algorithm>

#include "app/main_window.h"
#include "app/main_window_texts.h"
#include "dictionaries/dictionary_operations.h"
#include "ui/message_box.h"
#include "ui/qt_text.h"
#include "ui/status_text.h"

namespace kjf {

using namespace main_window_texts;

namespace {

QAction* makeAction(QWidget* owner, const char16_t* caption, const QKeySequence& key,
                    Qt::ShortcutContext context) {
    auto* action = new QAction(text(caption), owner);
    action->setShortcut(key);
    action->setShortcutContext(context);
    owner->addAction(action);
    return action;
}

}  // namespace

void rg_WoDeZhuChuangKou::buildFindingActions() {
    // The tool bar's keys, shown in each button's tip.
    const std::pair<Command, QKeySequence> keys[] = {
        {Command::Check, QKeySequence(Qt::Key_F7)},
        {Command::Import, QKeySequence(Qt::CTRL | Qt::Key_O)},
        {Command::ExportErrors, QKeySequence(Qt::CTRL | Qt::Key_E)},
        {Command::ClearMarks, QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_X)},
    };
    for (const auto& [command, key] : keys) {
        QAction* action = commandAction(command);
        action->setShortcut(key);
        action->setShortcutContext(Qt::WindowShortcut);
        addAction(action);
        action->setToolTip(action->text() + QStringLiteral(" (") +
                           key.toString(QKeySequence::NativeText) + QLatin1Char(')'));
    }

    m_nextAction = makeAction(this, kNextFinding, QKeySequence(Qt::Key_F8), Qt::WindowShortcut);
    connect(m_nextAction, &QAction::triggered, this, [this] { moveToFinding(true); });
    m_previousAction = makeAction(this, kPreviousFinding, QKeySequence(Qt::SHIFT | Qt::Key_F8),
                                  Qt::WindowShortcut);
    connect(m_previousAction, &QAction::triggered, this, [this] { moveToFinding(false); });

    // The list's own keys work where the list has the focus.
    m_applyAction =
        makeAction(m_listView, kApplySuggestion, QKeySequence(Qt::Key_Return), Qt::WidgetShortcut);
    m_applyAction->setShortcuts({QKeySequence(Qt::Key_Return), QKeySequence(Qt::Key_Enter)});
    connect(m_applyAction, &QAction::triggered, this, &rg_WoDeZhuChuangKou::applySuggestions);
    m_ignoreAction =
        makeAction(m_listView, kIgnore, QKeySequence(Qt::Key_Delete), Qt::WidgetShortcut);
    connect(m_ignoreAction, &QAction::triggered, this, &rg_WoDeZhuChuangKou::ignoreFindings);
    m_ignoreWordAction = makeAction(m_listView, kIgnoreWord, {}, Qt::WidgetShortcut);
    connect(m_ignoreWordAction, &QAction::triggered, this, &rg_WoDeZhuChuangKou::ignoreWord);
    m_addToCorrectAction = makeAction(m_listView, kAddToCorrect, {}, Qt::WidgetShortcut);
    connect(m_addToCorrectAction, &QAction::triggered, this,
            &rg_WoDeZhuChuangKou::addToUserCorrectDictionary);
    m_copyRowsAction = makeAction(m_listView, kCopyRows, QKeySequence::Copy, Qt::WidgetShortcut);
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

    connect(m_editor->document(), &QTextDocument::contentsChange, this,
            &rg_WoDeZhuChuangKou::followEdit);
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
// Rows and marks follow the text

void rg_WoDeZhuChuangKou::followEdit(int position, int removed, int added) {
    if (m_markingText || !m_followEdits) {
        return;
    }
    const QString now = m_editor->document()->toRawText();
    // Colouring, and undoing a colouring, changes formats only: the characters stay.
    if (removed == added &&
        QStringView(m_shownText).mid(position, removed) == QStringView(now).mid(position, added)) {
        return;
    }
    m_shownText = now;
    moveFindings(position, removed, added);
}

void rg_WoDeZhuChuangKou::moveFindings(std::int32_t position, std::int32_t removed,
                                       std::int32_t added) {
    m_list->followEdit(position, removed, added);
    const std::int64_t end = std::int64_t{position} + removed;
    std::erase_if(m_saved, [&](rg_XuanZeOuChanGeHanZiXinXi& record) {
        if (record.length < 0) {
            return false;
        }
        if (record.position >= end) {
            record.position += added - removed;
            return false;
        }
        // Its character is gone or replaced: there is nothing to give its format back to.
        return position < std::int64_t{record.position} + record.length;
    });
}

void rg_WoDeZhuChuangKou::resumeFollowingEdits() {
    m_shownText = m_editor->document()->toRawText();
    m_followEdits = true;
}

// ---------------------------------------------------------------------------------------------
// Actions on the selected rows

void rg_WoDeZhuChuangKou::applySuggestions() {
    struct Change {
        std::int32_t position, length;
        QString word, suggestion;
    };
    std::vector<Change> changes;
    for (const int row : selectedRows()) {
        const ErrorListRow& r = m_list->rows()[static_cast<std::size_t>(row)];
        if (r.type == FindingType::Error && !r.suggestion.isEmpty() && r.length > 0) {
            changes.push_back({r.position, r.length, r.word, r.suggestion});
        }
    }
    if (changes.empty()) {
        return;
    }
    // Later positions first, so that each change leaves the positions of the others as they are.
    std::sort(changes.begin(), changes.end(),
              [](const Change& a, const Change& b) { return a.position > b.position; });
    QTextCursor cursor(m_editor->document());
    m_followEdits = false;  // one edit block reports one change for all: each is followed here
    cursor.beginEditBlock();
    std::int64_t applied = 0;
    std::int64_t limit = m_editor->document()->characterCount();
    for (const Change& c : changes) {
        if (std::int64_t{c.position} + c.length > limit) {
            continue;  // overlaps a change made just now
        }
        cursor.setPosition(c.position);
        cursor.setPosition(c.position + c.length, QTextCursor::KeepAnchor);
        if (cursor.selectedText() != c.word) {
            continue;  // the text is no longer what was found
        }
        // The characters' format as it stands, with the colour they had before the mark.
        QTextCharFormat format = cursor.charFormat();
        format.clearForeground();
        for (const auto& record : m_saved) {
            if (record.position == c.position && record.length > 0) {
                if (record.format.hasProperty(QTextFormat::ForegroundBrush)) {
                    format.setForeground(record.format.foreground());
                }
                break;
            }
        }
        cursor.insertText(c.suggestion, format);
        moveFindings(c.position, c.length, static_cast<std::int32_t>(c.suggestion.size()));
        limit = c.position;
        ++applied;
    }
    cursor.endEditBlock();
    resumeFollowingEdits();
    if (applied > 0) {
        m_status.set(text(kApplied).arg(applied));
    }
}

void rg_WoDeZhuChuangKou::ignoreRows(std::vector<int> rows) {
    if (rows.empty()) {
        return;
    }
    std::sort(rows.begin(), rows.end());
    QTextCursor cursor(m_editor->document());
    const int end = std::max(0, m_editor->document()->characterCount() - 1);
    m_markingText = true;
    cursor.beginEditBlock();
    for (const int row : rows) {
        const ErrorListRow& r = m_list->rows()[static_cast<std::size_t>(row)];
        const std::int64_t from = r.position;
        const std::int64_t to = from + r.length;
        // Newest record first, as "清除标记" does, so a character marked twice gets its first
        // format back; the records go with the mark.
        for (auto record = m_saved.rbegin(); record != m_saved.rend(); ++record) {
            if (record->length > 0 && record->position >= from && record->position < to) {
                cursor.setPosition(std::clamp<int>(record->position, 0, end));
                cursor.setPosition(std::clamp<int>(record->position + record->length, 0, end),
                                   QTextCursor::KeepAnchor);
                cursor.setCharFormat(record->format);
            }
        }
        std::erase_if(m_saved, [&](const rg_XuanZeOuChanGeHanZiXinXi& record) {
            return record.length > 0 && record.position >= from && record.position < to;
        });
    }
    cursor.endEditBlock();
    m_markingText = false;
    m_list->removeRowIndices(std::move(rows));
}

void rg_WoDeZhuChuangKou::ignoreFindings() {
    const auto rows = selectedRows();
    ignoreRows(rows);
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
    ignoreRows(std::move(rows));
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
