// Starts the program's windows over a program directory, pastes a text file into the editor,
// presses "校对" and saves a picture of the main window once the run has ended; with --list-menu,
// a picture of the screen with the error list's context menu open over the first contextual
// finding (or the first finding).
//   screenshot_driver PROGRAM_DIR TEXT_FILE OUT.png [--list-menu]
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QScreen>
#include <QTableView>
#include <QTextEdit>
#include <QTimer>
#include <cstdio>
#include <string_view>

#include "app/error_list_model.h"
#include "app/main_window.h"
#include "app/startup.h"
#include "run/text_snapshot.h"
#include "text/text_file.h"

namespace {

// Opens the error list's menu over the first contextual finding (or the first finding) and saves
// a picture of the window and the menu from inside the menu's loop; ends the program then.
void showListMenu(kjf::rg_WoDeZhuChuangKou& window, QTableView& list, const QString& out) {
    int row = 0;
    for (int i = 0; i < window.errorList()->rowCount(); ++i) {
        if (window.errorList()->cellText(i, kjf::ErrorListModel::Type) == QStringLiteral("语境")) {
            row = i;
            break;
        }
    }
    list.setFocus();
    list.selectRow(row);
    window.jumpToFinding();
    list.setFocus();
    QTimer::singleShot(400, [&window, out] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        QRect area = window.frameGeometry();
        if (menu != nullptr) {
            area = area.united(menu->geometry());
        }
        const bool saved = window.screen()->grabWindow(0).copy(area).save(out);
        std::printf("%s\n", saved ? "saved" : "not saved");
        if (menu != nullptr) {
            menu->close();
        }
        QApplication::exit(saved ? 0 : 1);
    });
    const QPoint at =
        list.visualRect(window.errorList()->index(row, kjf::ErrorListModel::Word)).center();
    QContextMenuEvent event(QContextMenuEvent::Mouse, at, list.viewport()->mapToGlobal(at));
    QApplication::sendEvent(list.viewport(), &event);
}

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    const bool listMenu = argc == 5 && std::string_view(argv[4]) == "--list-menu";
    if (argc != 4 && !listMenu) {
        std::fputs("usage: screenshot_driver PROGRAM_DIR TEXT_FILE OUT.png [--list-menu]\n",
                   stderr);
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
            if (listMenu) {
                showListMenu(*window, *list, out);
                return;
            }
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
