#include "ui/window_placement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace kjf {

void centreOnScreen(QWidget& window) {
    QScreen* screen =
        window.screen() != nullptr ? window.screen() : QGuiApplication::primaryScreen();
    if (screen == nullptr) {
        return;
    }
    const QRect area = screen->geometry();
    const QRect frame = window.frameGeometry();
    // Qt's right() is the last pixel; the rule counts the right edge one past it.
    const int left = (area.left() + area.left() + area.width() - frame.width()) / 2;
    const int top = (area.top() + area.top() + area.height() - frame.height()) / 2;
    // move() places the frame's top-left corner.
    window.move(left, top);
}

}  // namespace kjf
