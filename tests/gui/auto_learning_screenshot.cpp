// Starts the program's windows over a program directory, imports a text file, checks it, opens
// the auto-learning window and saves a picture of it once the analysis has listed its groups.
//   auto_learning_screenshot PROGRAM_DIR TEXT_FILE OUT.png
#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QScreen>
#include <QTableWidget>
#include <QTextEdit>
#include <QTimer>
#include <cstdio>

#include "app/main_window.h"
#include "app/startup.h"
#include "learning/auto_learning_window.h"
#include "ui/message_box.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    if (argc != 4) {
        std::fputs("usage: auto_learning_screenshot PROGRAM_DIR TEXT_FILE OUT.png\n", stderr);
        return 2;
    }
    std::string directory = argv[1];
    if (directory.empty() || directory.back() != '/') {
        directory += '/';
    }
    // "导入成功！" is answered at once instead of waiting for a person.
    kjf::setMessageAnswererForTesting([](const kjf::ShownMessage&) { return QMessageBox::Ok; });
    kjf::rg_QiDongLei startup(directory);
    startup.startApplication();
    auto* window = startup.mainWindow();
    window->importDocument(QString::fromLocal8Bit(argv[2]));

    const QString out = QString::fromLocal8Bit(argv[3]);
    QTimer::singleShot(300, [&] {
        window->commandAction(kjf::Command::Check)->trigger();
        QTimer::singleShot(800, [&] {
            window->openAutoLearningWindow();
            auto& learning = window->autoLearningWindow();
            auto* poll = new QTimer(&learning);
            poll->start(50);
            QObject::connect(poll, &QTimer::timeout, [&, poll] {
                if (learning.analysisRunning()) {
                    return;
                }
                poll->stop();
                auto* list = learning.findChild<QTableWidget*>(QStringLiteral("wordGroupList"));
                if (list == nullptr) {
                    std::fputs("auto_learning_screenshot: the window has no word-group list\n",
                               stderr);
                    QApplication::exit(1);
                    return;
                }
                // Two plausible words ticked, one row chosen, as a person would leave it.
                for (int row : {2, 3}) {
                    if (row < list->rowCount()) {
                        list->item(row, 0)->setCheckState(Qt::Checked);
                    }
                }
                if (list->rowCount() > 2) {
                    list->selectRow(2);
                }
                QTimer::singleShot(300, [&] {
                    learning.activateWindow();
                    const QPixmap picture = learning.screen()->grabWindow(learning.winId());
                    const bool saved = picture.save(out);
                    std::printf("%s: %d rows\n", saved ? "saved" : "not saved", list->rowCount());
                    QApplication::exit(saved ? 0 : 1);
                });
            });
        });
    });
    return QApplication::exec();
}
