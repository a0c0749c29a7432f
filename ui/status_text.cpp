#include "ui/status_text.h"

#include <QThread>

namespace kjf {

void StatusText::set(const QString& text) {
    {
        std::lock_guard lock(m_mutex);
        m_text = text;
    }
    if (QThread::currentThread() == thread()) {
        apply();
    } else {
        // The queued call shows whatever text is newest when it runs, so texts set by several
        // threads end with the one set last.
        QMetaObject::invokeMethod(this, &StatusText::apply, Qt::QueuedConnection);
    }
}

QString StatusText::text() const {
    std::lock_guard lock(m_mutex);
    return m_text;
}

void StatusText::attach(QLabel* label) {
    m_label = label;
    apply();
}

void StatusText::apply() {
    if (m_label) {
        m_label->setText(text());
    }
}

}  // namespace kjf
