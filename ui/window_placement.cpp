#include "ui/window_placement.h"

#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QStyle>
#include <QWidget>
#include <algorithm>

namespace kjf {

namespace {

QScreen* screenFor(const QWidget& window) {
    const QWidget* owner =
        window.parentWidget() != nullptr ? window.parentWidget()->window() : nullptr;
    if (owner != nullptr && owner->screen() != nullptr) {
        return owner->screen();
    }
    return window.screen() != nullptr ? window.screen() : QGuiApplication::primaryScreen();
}

// The frame's width on each side as Qt knows it.
QMargins reportedFrame(const QWidget& window) {
    const QRect frame = window.frameGeometry();
    const QRect inner = window.geometry();
    return {inner.left() - frame.left(), inner.top() - frame.top(), frame.right() - inner.right(),
            frame.bottom() - inner.bottom()};
}

// The frame to count. Before the window manager has framed a new window Qt reports none; a title
// bar of the style's height is counted then, so that it cannot end up above the screen.
QMargins frameOf(const QWidget& window) {
    QMargins margins = reportedFrame(window);
    const Qt::WindowType type = window.windowType();
    if (margins.isNull() && !window.windowFlags().testFlag(Qt::FramelessWindowHint) &&
        type != Qt::Popup && type != Qt::ToolTip && type != Qt::SplashScreen) {
        margins.setTop(window.style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, &window));
    }
    return margins;
}

// Moves the window so that its frame (as frameOf counts it) starts at frameTopLeft.
void moveFrameTo(QWidget& window, QPoint frameTopLeft) {
    const QMargins counted = frameOf(window);
    const QMargins reported = reportedFrame(window);
    // move() places the frame Qt knows of; the part only counted here lies above and left of it.
    const QPoint target =
        frameTopLeft + QPoint(counted.left() - reported.left(), counted.top() - reported.top());
    if (target != window.pos()) {
        window.move(target);
    }
}

}  // namespace

void keepOnScreen(QWidget& window) {
    QScreen* screen = screenFor(window);
    if (screen == nullptr) {
        return;
    }
    const QRect area = screen->availableGeometry();
    const QMargins frame = frameOf(window);
    const QSize room = area.size().shrunkBy(frame);
    if (window.width() > room.width() || window.height() > room.height()) {
        const QSize fitted = window.size().boundedTo(room).expandedTo(QSize(1, 1));
        window.setMinimumSize(window.minimumSize().boundedTo(fitted));
        window.resize(fitted);
    }
    const QRect outer = window.geometry().marginsAdded(frame);
    const int left = std::clamp(outer.left(), area.left(),
                                std::max(area.left(), area.left() + area.width() - outer.width()));
    const int top = std::clamp(outer.top(), area.top(),
                               std::max(area.top(), area.top() + area.height() - outer.height()));
    moveFrameTo(window, QPoint(left, top));
}

namespace {

class ScreenKeeper : public QObject {
  public:
    explicit ScreenKeeper(QWidget& window) : QObject(&window), m_window(window) {
        window.installEventFilter(this);
    }

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == &m_window && event->type() == QEvent::Show) {
            keepOnScreen(m_window);
        }
        return false;
    }

  private:
    QWidget& m_window;
};

}  // namespace

void keepOnScreenWhenShown(QWidget& window) {
    new ScreenKeeper(window);
}

void centreOnScreen(QWidget& window) {
    QScreen* screen = screenFor(window);
    if (screen == nullptr) {
        return;
    }
    // Shrunk first, so that the centring sees the size the window will have.
    keepOnScreen(window);
    const QRect whole = screen->geometry();
    const QSize outer = window.size().grownBy(frameOf(window));
    // Qt's right() is the last pixel; the rule counts the right edge one past it.
    const int left = (whole.left() + whole.left() + whole.width() - outer.width()) / 2;
    const int top = (whole.top() + whole.top() + whole.height() - outer.height()) / 2;
    moveFrameTo(window, QPoint(left, top));
    keepOnScreen(window);
}

}  // namespace kjf
