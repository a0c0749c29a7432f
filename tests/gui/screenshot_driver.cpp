// Starts the program's windows over a program directory, pastes a text file into the editor,
// presses "校对" and saves a picture of the main window once the run has ended.
//   screenshot_driver PROGRAM_DIR TEXT_FILE OUT.png
#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QMimeData>
#include <QScreen>
#include <QTableView>
#include <QTextEdit>
#include <QTimer>
#include <cstdio>

#include "app/error_list_model.h"
#include "app/main_window.h"
#include "app/startup.h"
#include "run/text_snapshot.h"
#include "text/text_file.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    if (argc != 4) {
        std::fputs("usage: screenshot_driver PROGRAM_DIR TEXT_FILE OUT.png\n", stderr);
        return 2;
    }
    std::string directory = argv[1];
    if (directory.empty() || directory.back() != '/') {
        directory += '/';
    }
    kjf::rg_QiDongLei startup(directory);
    startup.startApplication();
    auto* window = startup.mainWindow();
    auto* list = window->findChild<QTableView*>(QStringLiteral("errorListView"));
    auto* status = window->findChild<QLabel*>(QStringLiteral("statusMessage"));
    if (list == nullptr || status == nullptr) {
        std::fputs("screenshot_driver: the main window has no error list or status message\n",
                   stderr);
        return 1;
    }

    // Pasting, as a person would.
    const std::u16string text = kjf::normalizeLineBreaks(kjf::readTextFile(argv[2]));
    QApplication::clipboard()->setText(QString::fromStdU16String(text));
    window->editor()->setFocus();
    window->editor()->paste();

    const QString out = QString::fromLocal8Bit(argv[3]);
    QTimer::singleShot(500, [&] {
        window->commandAction(kjf::Command::Check)->trigger();
        // Back from the modal run: wait for the summary, then show the first finding selected.
        QTimer::singleShot(800, [&] {
            list->selectRow(0);
            window->jumpToFinding();
            QTimer::singleShot(300, [&] {
                QScreen* screen = window->screen();
                const QPixmap picture = screen->grabWindow(window->winId());
                const bool saved = picture.save(out);
                std::printf("%s: %s, %d rows\n", saved ? "saved" : "not saved",
                            qPrintable(status->text()), window->errorList()->rowCount());
                QApplication::exit(saved ? 0 : 1);
            });
        });
    });
    return QApplication::exec();
}
