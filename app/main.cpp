// 勘鉴坊, the desktop program.
#include <QApplication>

#include "app/startup.h"
#include "context/model_check.h"
#include "run/model_trust.h"
#include "settings/locations.h"
#include "text/text_file.h"
#include "ui/qt_translation.h"

int main(int argc, char** argv) {
    // A model file is tried in a child process first: this program is that child too, and then
    // needs no window.
    if (const auto checked = kjf::runModelCheckIfAsked(argc, argv)) {
        return *checked;
    }
    kjf::setModelCheckProgram(kjf::runningExecutable());
    QApplication application(argc, argv);
    // Ties the windows to the installed .desktop file (its name and icon on Wayland).
    QGuiApplication::setDesktopFileName(QStringLiteral(KJF_DESKTOP_ID));
    kjf::installQtTranslation(application);
    const auto chosen =
        kjf::chooseLocations(kjf::programDirectory(), kjf::HomeEnvironment::ofProcess());
    auto problems = kjf::prepareLocations(chosen);
    kjf::rg_QiDongLei startup(kjf::usableLocations(chosen, problems));
    for (const auto& problem : problems) {
        startup.warn(QString::fromStdU16String(problem));
    }
    startup.startApplication(kjf::documentArgument(QCoreApplication::arguments()));
    return QApplication::exec();
}
