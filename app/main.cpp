// 勘鉴坊, the desktop program.
#include <QApplication>

#include "app/startup.h"
#include "text/text_file.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    kjf::rg_QiDongLei startup(kjf::programDirectory());
    startup.startApplication();
    return QApplication::exec();
}
