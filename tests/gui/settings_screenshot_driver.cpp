// Opens the settings window on the system correct dictionaries of a program directory and the
// about window, and saves a picture of each.
//   settings_screenshot_driver PROGRAM_DIR SETTINGS.png ABOUT.png
#include <QApplication>
#include <QScreen>
#include <QTableWidget>
#include <QTimer>
#include <cstdio>

#include "about/about_window.h"
#include "dictionaries/settings_window.h"
#include "ui/status_text.h"

namespace {

bool save(QWidget& window, const QString& path) {
    const QPixmap picture = window.screen()->grabWindow(window.winId());
    const bool saved = picture.save(path);
    std::printf("%s %s\n", saved ? "saved" : "not saved", qPrintable(path));
    return saved;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    if (argc != 4) {
        std::fputs("usage: settings_screenshot_driver PROGRAM_DIR SETTINGS.png ABOUT.png\n",
                   stderr);
        return 2;
    }
    std::string directory = argv[1];
    if (directory.empty() || directory.back() != '/') {
        directory += '/';
    }
    const QString settingsOut = QString::fromLocal8Bit(argv[2]);
    const QString aboutOut = QString::fromLocal8Bit(argv[3]);

    kjf::StatusText statusText;
    kjf::rg_SheZhiChuangKou1 settings(statusText);
    settings.setLocations(kjf::Locations::portable(directory));
    settings.show();
    settings.selectItem(kjf::rg_SheZhiChuangKou1::SystemCorrectItem);
    if (auto* list = settings.findChild<QTableWidget*>(QStringLiteral("dictionaryList"))) {
        list->selectRow(0);
    }

    int status = 0;
    QTimer::singleShot(500, [&] {
        status |= save(settings, settingsOut) ? 0 : 1;
        settings.hide();
        auto* about = new kjf::rg_GuanYuChuangKou;
        about->show();
        QTimer::singleShot(500, [&, about] {
            status |= save(*about, aboutOut) ? 0 : 1;
            delete about;
            QApplication::exit(status);
        });
    });
    return QApplication::exec();
}
