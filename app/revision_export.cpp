// The main window's command "导出修订稿": the work handed back in the imported file's own form, a
// .docx with tracked changes and comments or text in its encoding, or pasted text saved as UTF-8.
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QTextDocument>
#include <QTextEdit>

#include "app/document_text.h"
#include "app/main_window.h"
#include "app/main_window_texts.h"
#include "ui/file_dialog.h"
#include "ui/message_box.h"
#include "ui/qt_text.h"
#include "ui/status_text.h"

namespace kjf {

using namespace main_window_texts;

namespace {

// The rows still in the list, each to become a comment over its characters.
std::vector<OpenFinding> openFindings(const ErrorListModel& list) {
    std::vector<OpenFinding> findings;
    findings.reserve(list.rows().size());
    for (const ErrorListRow& row : list.rows()) {
        OpenFinding& finding = findings.emplace_back();
        finding.position = row.position;
        finding.length = row.length;
        finding.word = row.word.toStdU16String();
        if (row.type == FindingType::Error) {
            finding.suggestion = row.suggestion.toStdU16String();
        }
        if (row.source == FindingSource::Context && finding.suggestion.empty()) {
            finding.note = kContextNote;
        }
    }
    return findings;
}

// The file the user chooses for the revised work of source; empty when the dialog is cancelled.
QString chooseRevisedFile(QWidget* owner, const DocumentSource& source) {
    QFileDialog dialog(owner, text(kRevisedTitle));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    // An existing file is replaced only after the dialog asked.
    dialog.setOption(QFileDialog::DontConfirmOverwrite, false);
    const bool docx = source.kind == SourceKind::Docx;
    dialog.setNameFilters(
        nameFiltersFromPairs(text(docx ? kRevisedDocxFilter : kRevisedTextFilter)));
    dialog.setDefaultSuffix(text(docx ? kRevisedDocxSuffix : kRevisedTextSuffix));
    if (source.path.empty()) {
        dialog.selectFile(text(kRevisedUntitled));
    } else {
        const QFileInfo offered(QFile::decodeName(
            QByteArray::fromStdString(revisedFileName(source.path, source.kind))));
        dialog.setDirectory(offered.absolutePath());
        dialog.selectFile(offered.fileName());
        if (!docx && offered.suffix().compare(QStringLiteral("txt"), Qt::CaseInsensitive) != 0) {
            // A source of another extension stays visible beside its copy.
            dialog.selectNameFilter(dialog.nameFilters().constLast());
        }
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return {};
    }
    return dialog.selectedFiles().constFirst();
}

}  // namespace

void rg_WoDeZhuChuangKou::exportRevisedCommand() {
    if (!m_source && m_editor->document()->isEmpty()) {
        showMessage(this, QMessageBox::Warning, text(kMessageCaption), text(kNothingToSave));
        return;
    }
    DocumentSource source = m_source.value_or(DocumentSource{});
    const QString path = chooseRevisedFile(this, source);
    if (path.isEmpty()) {
        return;
    }
    // Taken once the dialog has closed, with the rows below: a run going on in the background may
    // have listed more meanwhile. Positions as the editor counts them, a paragraph break one
    // position read as LF, as the rows count them.
    const std::u16string current = documentText(*m_editor->document());
    if (!m_source) {
        // Text that was never imported: saved as it is, UTF-8 with the editor's line feeds.
        source.importedText = current;
    }
    const ExportResult result = exportRevised(source, current, openFindings(*m_list),
                                              QFile::encodeName(path).toStdString());
    if (!result.ok) {
        showMessage(this, QMessageBox::Warning, text(kMessageCaption),
                    withReason(text(kNotExported).arg(QString::fromStdU16String(result.message)),
                               result.reason));
        return;
    }
    m_status.set(text(kExported));
    QString message = text(kRevisedSaved).arg(QDir::toNativeSeparators(path));
    if (!result.warnings.empty()) {
        // A few lines, not one per row of a long list.
        constexpr std::size_t kShown = 10;
        message += QStringLiteral("\n\n") + text(kRevisedUncommented);
        for (std::size_t i = 0; i < result.warnings.size() && i < kShown; ++i) {
            message += QLatin1Char('\n') + QString::fromStdU16String(result.warnings[i]);
        }
        if (result.warnings.size() > kShown) {
            message += QLatin1Char('\n') +
                       text(kRevisedMoreUncommented)
                           .arg(static_cast<qulonglong>(result.warnings.size() - kShown));
        }
    }
    showMessage(this, QMessageBox::Information, text(kSavedCaption), message);
}

}  // namespace kjf
