#include "ui/number_box.h"

#include <QLineEdit>
#include <algorithm>

namespace kjf {

NumberBox::NumberBox(int minimum, int maximum, QWidget* parent)
    : QAbstractSpinBox(parent), m_minimum(minimum), m_maximum(maximum) {
    setButtonSymbols(QAbstractSpinBox::UpDownArrows);
    setAccelerated(false);
}

void NumberBox::setText(const QString& text) {
    lineEdit()->setText(text);
}

void NumberBox::stepBy(int steps) {
    bool ok = false;
    const long long current = text().trimmed().toLongLong(&ok);
    // Text that is no number steps from the bottom of the range.
    const long long base = ok ? std::clamp<long long>(current, m_minimum, m_maximum) : m_minimum;
    const long long next = std::clamp<long long>(base + (ok ? steps : 0), m_minimum, m_maximum);
    lineEdit()->setText(QString::number(next));
}

QAbstractSpinBox::StepEnabled NumberBox::stepEnabled() const {
    if (!isEnabled()) {
        return StepNone;
    }
    return StepUpEnabled | StepDownEnabled;
}

}  // namespace kjf
