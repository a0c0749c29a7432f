#include "app/welcome_window.h"

#include <QLabel>
#include <QPainter>
#include <QTimer>

#include "resources/artwork.h"
#include "ui/window_placement.h"

namespace kjf {

rg_HuanYingChuangKou::rg_HuanYingChuangKou(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint) {
    setModal(true);
    setFixedSize(400, 250);
    m_label = new QLabel(this);
    m_label->setObjectName(QStringLiteral("messageLabel"));
    m_label->setGeometry(16, 200, 368, 40);
    m_label->setAttribute(Qt::WA_TranslucentBackground);
    QPalette palette = m_label->palette();
    palette.setColor(QPalette::WindowText, QColor(235, 240, 250));
    m_label->setPalette(palette);
    m_label->setWordWrap(true);
}

void rg_HuanYingChuangKou::showMessage(const QString& text) {
    m_label->setText(text);
    m_label->repaint();
}

void rg_HuanYingChuangKou::finish(int result) {
    m_finished = true;
    m_result = result;
    if (isVisible()) {
        done(result);
    }
}

void rg_HuanYingChuangKou::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.drawPixmap(0, 0, welcomePicture());
}

void rg_HuanYingChuangKou::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    centreOnScreen(*this);
    if (m_finished) {
        // Loading ended before the window appeared; close it from inside its own loop.
        QTimer::singleShot(0, this, [this] { done(m_result); });
    }
}

void rg_HuanYingChuangKou::reject() {
    if (m_finished) {
        QDialog::reject();
    }
}

}  // namespace kjf
