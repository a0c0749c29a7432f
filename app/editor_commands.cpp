// The main window's commands on the editor's text: import, export of the error list, the
// editor's context menu and the auto-learning window ("导出修订稿" is in revision_export.cpp).
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>
#include <QMimeData>
#include <QStandardPaths>
#include <QTextCursor>
#include <QTextEdit>

#include "app/findings_export.h"
#include "app/main_window.h"
#include "app/main_window_texts.h"
#include "app/proof_editor.h"
#include "documents/document_reader.h"
#include "engine/checking_engine.h"
#include "engine/dictionary_kind.h"
#include "learning/auto_learning_window.h"
#include "learning/word_groups.h"
#include "run/text_snapshot.h"
#include "ui/file_dialog.h"
#include "ui/file_manager.h"
#include "ui/message_box.h"
#include "ui/qt_text.h"
#include "ui/status_text.h"
#include "ui/window_placement.h"

namespace kjf {

using namespace main_window_texts;

void rg_WoDeZhuChuangKou::attachEngine(rg_ChaCuoYinQing& engine, Locations locations,
                                       rg_ZiDongXueXiChuangKou1::InputSource analysisInput) {
    m_engine = &engine;
    m_locations = std::move(locations);
    m_analysisInput = std::move(analysisInput);
}

rg_ZiDongXueXiChuangKou1& rg_WoDeZhuChuangKou::autoLearningWindow() {
    if (m_autoLearningWindow == nullptr) {
        m_autoLearningWindow =
            new rg_ZiDongXueXiChuangKou1(this, m_engine, m_locations, m_analysisInput);
        connect(m_autoLearningWindow, &rg_ZiDongXueXiChuangKou1::groupChosen, this,
                [this](std::int32_t start, std::int32_t length) {
                    selectRange(start, length);
                    m_editor->setFocus(Qt::OtherFocusReason);
                });
        connect(m_autoLearningWindow, &rg_ZiDongXueXiChuangKou1::automaticDictionaryChanged, this,
                &rg_WoDeZhuChuangKou::reloadDictionaries);
    }
    return *m_autoLearningWindow;
}

// ---------------------------------------------------------------------------------------------
// Import

namespace {

// The folder of the last import while it exists, else the user's documents folder, else home.
QString startFolder(const QString& lastImport) {
    if (!lastImport.isEmpty() && QFileInfo(lastImport).isDir()) {
        return lastImport;
    }
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return !documents.isEmpty() && QFileInfo(documents).isDir() ? documents : QDir::homePath();
}

}  // namespace

void rg_WoDeZhuChuangKou::importCommand() {
    QFileDialog dialog(this, text(kImportTitle));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilters(nameFiltersFromPairs(text(kImportFilter)));
    dialog.setDirectory(startFolder(m_importFolder));
    keepOnScreenWhenShown(dialog);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return;
    }
    importDocument(dialog.selectedFiles().constFirst());
}

void rg_WoDeZhuChuangKou::importDocument(const QString& path) {
    // Absolute, so that an export finds the source again whatever the working folder.
    const QString file = QFileInfo(path).absoluteFilePath();
    DocumentReadResult read = readDocument(QFile::encodeName(file).toStdString());
    if (!read.ok) {
        showMessage(this, QMessageBox::Warning, text(kMessageCaption),
                    QString::fromStdU16String(read.message));
        return;
    }
    // The editor's own paste decides how the text is stored, as for text the user pastes. Its
    // plain-text paste makes a paragraph of every CR and every LF, so CR LF becomes one break
    // first, as the engine counts it. The data goes to the paste directly instead of through the
    // clipboard, so that whatever the user had copied (in every format) stays there.
    const QString imported = QString::fromStdU16String(normalizeLineBreaks(read.text));
    QMimeData pasted;
    if (!imported.isEmpty()) {
        pasted.setText(imported);
    }
    QTextCursor all(m_editor->document());
    all.select(QTextCursor::Document);
    m_editor->setTextCursor(all);
    // Empty data (an empty file) pastes nothing, and the editor keeps its text. The list and the
    // marks stay as they were, for the text that was there.
    m_marks->replaceKeepingMarks([this, &pasted] { m_proofEditor->pasteData(pasted); });
    const bool complete = read.source.complete;
    m_source = std::move(read.source);
    const QFileInfo document(path);
    m_importedDocument = document.absoluteFilePath();
    m_importFolder = document.absolutePath();
    if (!complete) {
        // The rest of the file is missing from the editor: that is no success.
        showMessage(this, QMessageBox::Warning, text(kMessageCaption),
                    text(kImportedPart).arg(read.text.size()));
        return;
    }
    showMessage(this, QMessageBox::Information, text(kMessageCaption), text(kImported));
}

// ---------------------------------------------------------------------------------------------
// Export

void rg_WoDeZhuChuangKou::exportErrorsCommand() {
    if (m_list->rowCount() < 1) {
        showMessage(this, QMessageBox::Warning, text(kMessageCaption), text(kNothingToExport));
        return;
    }
    exportFindings();
}

void rg_WoDeZhuChuangKou::exportFindings() {
    QFileDialog dialog(this, text(kExportTitle));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters(nameFiltersFromPairs(text(kExportFilter)));
    dialog.setDefaultSuffix(text(kExportSuffix));
    if (const QFileInfo document(m_importedDocument); !m_importedDocument.isEmpty()) {
        dialog.setDirectory(startFolder(document.absolutePath()));
        dialog.selectFile(text(kExportNameAfter).arg(document.completeBaseName()));
    } else {
        dialog.setDirectory(startFolder(m_importFolder));
        dialog.selectFile(text(kExportName));
    }
    keepOnScreenWhenShown(dialog);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return;
    }
    const QString path = dialog.selectedFiles().constFirst();

    std::vector<ErrorListCells> rows;
    rows.reserve(static_cast<std::size_t>(m_list->rowCount()));
    for (int row = 0; row < m_list->rowCount(); ++row) {
        ErrorListCells& cells = rows.emplace_back();
        for (int column = 0; column < 4; ++column) {
            cells[static_cast<std::size_t>(column)] =
                m_list->cellText(row, column).toStdU16String();
        }
    }
    const ListExportResult written = writeErrorListWorkbook(path, rows);
    if (!written.ok) {
        showMessage(this, QMessageBox::Warning, text(kMessageCaption),
                    text(kNotExported).arg(written.message));
        return;
    }
    m_status.set(text(kExported));
    showMessage(this, QMessageBox::Information, text(kSavedCaption), text(kSaved));
    revealInFileManager(path);
}

// ---------------------------------------------------------------------------------------------
// The editor's context menu

void rg_WoDeZhuChuangKou::showEditorMenu(const QPoint& globalPos) {
    QMenu menu(text(kMenuCaption), this);
    menu.setObjectName(QStringLiteral("editorMenu"));
    connect(menu.addAction(text(kAddToAuto)), &QAction::triggered, this,
            &rg_WoDeZhuChuangKou::addSelectionToAutoDictionary);
    connect(menu.addAction(text(kAutoLearning)), &QAction::triggered, this,
            &rg_WoDeZhuChuangKou::openAutoLearningWindow);
    // The editing commands every rich-text editor offers, below the program's own.
    menu.addSeparator();
    const bool selection = m_editor->textCursor().hasSelection();
    const auto add = [&](const EditingItem& item, bool enabled, auto slot) {
        QAction* action = menu.addAction(text(item.caption));
        action->setShortcut(item.key);
        action->setEnabled(enabled);
        connect(action, &QAction::triggered, m_editor, slot);
    };
    add(kUndo, m_editor->document()->isUndoAvailable(), &QTextEdit::undo);
    add(kRedo, m_editor->document()->isRedoAvailable(), &QTextEdit::redo);
    menu.addSeparator();
    add(kCut, selection && !m_editor->isReadOnly(), &QTextEdit::cut);
    add(kCopy, selection, &QTextEdit::copy);
    add(kPaste, m_editor->canPaste(), &QTextEdit::paste);
    menu.addSeparator();
    add(kSelectAll, !m_editor->document()->isEmpty(), &QTextEdit::selectAll);
    menu.exec(globalPos + QPoint(3, 3));
}

void rg_WoDeZhuChuangKou::addSelectionToAutoDictionary() {
    const QString selected = m_editor->textCursor().selectedText();
    // An empty line is no entry: the load would drop it.
    if (selected.trimmed().isEmpty()) {
        showMessage(this, QMessageBox::Warning, text(kMessageCaption), text(kNothingSelected));
        return;
    }
    // Between paragraphs the selection holds U+2029 (and U+2028 within one); a selection over
    // several lines becomes several entries, each ended by CR LF as the file's lines are.
    std::u16string entry = selected.toStdU16String();
    std::u16string lines;
    lines.reserve(entry.size());
    for (const char16_t unit : entry) {
        if (unit == QChar::ParagraphSeparator || unit == QChar::LineSeparator) {
            lines += u"\r\n";
        } else {
            lines += unit;
        }
    }
    const WriteResult appended = appendToAutoDictionary(m_locations, {lines});
    if (appended) {
        m_status.set(text(kAdded));
        reloadDictionaries();
        return;
    }
    const QString path = QString::fromStdString(m_locations.automaticDictionaryPath());
    showMessage(this, QMessageBox::Warning, text(kMessageCaption),
                withReason(text(kNotAdded).arg(path), appended.reason()));
}

void rg_WoDeZhuChuangKou::openAutoLearningWindow() {
    autoLearningWindow().openWindow();
}

void rg_WoDeZhuChuangKou::reloadDictionaries() {
    if (m_engine != nullptr) {
        m_engine->loadDictionaries();
    }
}

}  // namespace kjf
