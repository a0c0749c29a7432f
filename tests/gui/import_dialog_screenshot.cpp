// Starts the program's windows over a program directory with Qt's Chinese texts, as the program
// does, presses "导入" and saves a picture of the file dialog it opens.
//   import_dialog_screenshot PROGRAM_DIR OUT.png
#include <QApplication>
#include <QFileDialog>
#include <QScreen>
#include <QTimer>
#include <cstdio>

#include "app/main_window.h"
#include "app/startup.h"
#include "ui/qt_translation.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    if (argc != 3) {
        std::fputs("usage: import_dialog_screenshot PROGRAM_DIR OUT.png\n", stderr);
        return 2;
    }
    if (kjf::installQtTranslation(application) == nullptr) {
        std::fputs("import_dialog_screenshot: Qt's Chinese translation is not installed\n", stderr);
        return 1;
    }
    std::string directory = argv[1];
    if (directory.empty() || directory.back() != '/') {
        directory += '/';
    }
    kjf::rg_QiDongLei startup(directory);
    startup.startApplication();
    const QString out = QString::fromLocal8Bit(argv[2]);
    int status = 1;
    QTimer::singleShot(300, [&] {
        // Looks for the dialog once it is up; the import command returns when it is closed.
        QTimer::singleShot(800, [&] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            if (dialog == nullptr) {
                std::fputs("import_dialog_screenshot: no file dialog\n", stderr);
            } else {
                const bool saved = dialog->screen()->grabWindow(dialog->winId()).save(out);
                std::printf("%s %s\n", saved ? "saved" : "not saved", qPrintable(out));
                status = saved ? 0 : 1;
                dialog->reject();
            }
            QTimer::singleShot(0, [&] { QApplication::exit(status); });
        });
        startup.mainWindow()->commandAction(kjf::Command::Import)->trigger();
    });
    return QApplication::exec();
}
