// Starts the program's windows over a program directory, imports a document, checks it, accepts
// the suggestions of the first two errors, types over a phrase and exports the revised document
// through "导出修订稿", answering its dialogs as a person would; saves a picture of the main window
// afterwards. Run by tools/screenshot_revisions.sh under Xvfb, never by ctest.
//   revision_screenshot_driver PROGRAM_DIR SOURCE REVISED.docx OUT.png
#include <QApplication>
#include <QFileDialog>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QScreen>
#include <QTableView>
#include <QTextCursor>
#include <QTextEdit>
#include <QTimer>
#include <cstdio>
#include <string>

#include "app/document_text.h"
#include "app/error_list_model.h"
#include "app/main_window.h"
#include "app/startup.h"
#include "ui/message_box.h"

namespace {

// The user's own edit: a phrase typed over.
const QString kTypedOver = QStringLiteral("一晃而过");
const QString kTypedIn = QStringLiteral("一闪而过");

// Accepts the suggestions of the first two listed errors that have one.
void acceptTwo(kjf::rg_WoDeZhuChuangKou& window, QTableView& list) {
    list.clearSelection();
    int selected = 0;
    const auto& rows = window.errorList()->rows();
    for (std::size_t i = 0; i < rows.size() && selected < 2; ++i) {
        if (rows[i].type == kjf::FindingType::Error && !rows[i].suggestion.isEmpty()) {
            list.selectionModel()->select(
                window.errorList()->index(static_cast<int>(i), kjf::ErrorListModel::Word),
                QItemSelectionModel::Select | QItemSelectionModel::Rows);
            ++selected;
        }
    }
    window.applySuggestions();
}

void typeOver(kjf::rg_WoDeZhuChuangKou& window) {
    const QString text = QString::fromStdU16String(kjf::documentText(*window.editor()->document()));
    const auto at = text.indexOf(kTypedOver);
    if (at < 0) {
        return;
    }
    window.selectRange(static_cast<std::int32_t>(at), static_cast<std::int32_t>(kTypedOver.size()));
    window.editor()->textCursor().insertText(kTypedIn);
}

// Types path into the next save dialog and accepts it.
void answerSaveDialog(const QString& path) {
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, [poll, path] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (dialog == nullptr) {
            return;
        }
        poll->stop();
        poll->deleteLater();
        if (auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))) {
            name->setText(path);
            QMetaObject::invokeMethod(dialog, "accept", Qt::QueuedConnection);
        } else {
            dialog->reject();
        }
    });
    poll->start(20);
}

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    if (argc != 5) {
        std::fputs("usage: revision_screenshot_driver PROGRAM_DIR SOURCE REVISED.docx OUT.png\n",
                   stderr);
        return 2;
    }
    std::string directory = argv[1];
    if (directory.empty() || directory.back() != '/') {
        directory += '/';
    }
    // Messages are printed instead of waiting for a click.
    kjf::setMessageAnswererForTesting([](const kjf::ShownMessage& message) {
        std::printf("message: %s\n", qPrintable(message.text));
        return QMessageBox::Ok;
    });
    kjf::rg_QiDongLei startup(directory);
    startup.startApplication();
    auto* window = startup.mainWindow();
    auto* list = window->findChild<QTableView*>(QStringLiteral("errorListView"));
    if (list == nullptr) {
        return 1;
    }
    window->importDocument(QString::fromLocal8Bit(argv[2]));
    const QString revised = QString::fromLocal8Bit(argv[3]);
    const QString out = QString::fromLocal8Bit(argv[4]);
    QTimer::singleShot(500, [&] {
        window->commandAction(kjf::Command::Check)->trigger();
        // Back from the modal run: wait for the rest of the rows.
        QTimer::singleShot(800, [&] {
            acceptTwo(*window, *list);
            typeOver(*window);
            answerSaveDialog(revised);
            window->commandAction(kjf::Command::ExportRevised)->trigger();
            QTimer::singleShot(300, [&] {
                const bool saved = window->screen()->grabWindow(window->winId()).save(out);
                std::printf("%s: %d rows left\n", saved ? "saved" : "not saved",
                            window->errorList()->rowCount());
                QApplication::exit(saved ? 0 : 1);
            });
        });
    });
    return QApplication::exec();
}
