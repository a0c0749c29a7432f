// Checks a text file in the program's windows and saves a picture of the screen with the error
// list's context menu open over the first contextual finding (or the first finding).
//   list_menu_screenshot PROGRAM_DIR TEXT_FILE OUT.png
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QLabel>
#include <QMenu>
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
        std::fputs("usage: list_menu_screenshot PROGRAM_DIR TEXT_FILE OUT.png\n", stderr);
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
    if (list == nullptr) {
        std::fputs("list_menu_screenshot: the main window has no error list\n", stderr);
        return 1;
    }
    const std::u16string text = kjf::normalizeLineBreaks(kjf::readTextFile(argv[2]));
    QApplication::clipboard()->setText(QString::fromStdU16String(text));
    window->editor()->setFocus();
    window->editor()->paste();

    const QString out = QString::fromLocal8Bit(argv[3]);
    QTimer::singleShot(500, [&] {
        window->commandAction(kjf::Command::Check)->trigger();
        QTimer::singleShot(800, [&] {
            int row = 0;
            for (int i = 0; i < window->errorList()->rowCount(); ++i) {
                if (window->errorList()->cellText(i, kjf::ErrorListModel::Type) ==
                    QStringLiteral("语境")) {
                    row = i;
                    break;
                }
            }
            list->setFocus();
            list->selectRow(row);
            window->jumpToFinding();
            list->setFocus();
            // The menu runs its own loop: the picture is taken from inside it.
            QTimer::singleShot(400, [&] {
                auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
                QRect area = window->frameGeometry();
                if (menu != nullptr) {
                    area = area.united(menu->geometry());
                }
                const QPixmap picture = window->screen()->grabWindow(0).copy(area);
                const bool saved = picture.save(out);
                std::printf("%s\n", saved ? "saved" : "not saved");
                if (menu != nullptr) {
                    menu->close();
                }
                QApplication::exit(saved ? 0 : 1);
            });
            const QPoint at =
                list->visualRect(window->errorList()->index(row, kjf::ErrorListModel::Word))
                    .center();
            QContextMenuEvent event(QContextMenuEvent::Mouse, at,
                                    list->viewport()->mapToGlobal(at));
            QApplication::sendEvent(list->viewport(), &event);
        });
    });
    return QApplication::exec();
}
