#include "ui/splitter_bar.h"

#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOption>

namespace kjf {

SplitterBar::SplitterBar(QWidget* parent) : QWidget(parent) {
    setCursor(Qt::SplitHCursor);
}

void SplitterBar::paintEvent(QPaintEvent*) {
    QPainter p(this);
    QStyleOption option;
    option.initFrom(this);
    option.state |= QStyle::State_Horizontal;
    p.fillRect(rect(), palette().window());
    style()->drawControl(QStyle::CE_Splitter, &option, &p, this);
}

void SplitterBar::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        m_grabOffset = event->position().toPoint().x();
    }
}

void SplitterBar::mouseMoveEvent(QMouseEvent* event) {
    if (m_grabOffset < 0) {
        return;
    }
    const int x = mapToParent(event->position().toPoint()).x() - m_grabOffset;
    if (x != this->x()) {
        emit dragged(x);
    }
}

void SplitterBar::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        m_grabOffset = -1;
    }
}

}  // namespace kjf
