#include "app/progress_window.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <algorithm>

#include "run/run_texts.h"
#include "ui/window_placement.h"

namespace kjf {

namespace {

const auto kCaption = u"正在处理文本";
const auto kInterrupt = u"中断";

}  // namespace

rg_JinDuChuangKou::rg_JinDuChuangKou(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint) {
    setWindowTitle(QString::fromUtf16(kCaption));
    setModal(true);
    setFixedSize(309, 51);
    m_speed = new QLabel(this);
    m_speed->setObjectName(QStringLiteral("speedLabel"));
    m_speed->setGeometry(9, 4, 288, 15);
    m_bar = new QProgressBar(this);
    m_bar->setObjectName(QStringLiteral("progressBar"));
    m_bar->setGeometry(10, 26, 230, 13);
    m_bar->setTextVisible(false);
    m_interrupt = new QPushButton(QString::fromUtf16(kInterrupt), this);
    m_interrupt->setObjectName(QStringLiteral("interruptButton"));
    m_interrupt->setGeometry(252, 22, 49, 23);
    m_interrupt->setAutoDefault(false);
    connect(m_interrupt, &QPushButton::clicked, this, &rg_JinDuChuangKou::interruptRequested);
    prepare();
}

void rg_JinDuChuangKou::prepare() {
    m_speed->setText(QString::fromStdU16String(speedText(0)));
    m_bar->setRange(0, 100);
    m_bar->setValue(0);
}

void rg_JinDuChuangKou::showProgress(const QString& speedText, int percent, int maximum) {
    m_speed->setText(speedText);
    m_bar->setRange(0, std::clamp(maximum, 0, 32767));
    m_bar->setValue(std::clamp(percent, 0, 32767));
}

void rg_JinDuChuangKou::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    centreOnScreen(*this);
}

}  // namespace kjf
