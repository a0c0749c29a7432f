#include "ui/message_box.h"

#include <QApplication>
#include <QInputDialog>
#include <QPointer>

namespace kjf {

namespace {

MessageAnswerer& messageAnswerer() {
    static MessageAnswerer answerer;
    return answerer;
}

InputAnswerer& inputAnswerer() {
    static InputAnswerer answerer;
    return answerer;
}

}  // namespace

QMessageBox::StandardButton showMessage(QWidget* owner, QMessageBox::Icon icon,
                                        const QString& caption, const QString& text,
                                        QMessageBox::StandardButtons buttons) {
    if (messageAnswerer()) {
        return messageAnswerer()({icon, caption, text, buttons});
    }
    QPointer<QWidget> focus = QApplication::focusWidget();
    QMessageBox box(icon, caption, text, buttons, owner != nullptr ? owner->window() : nullptr);
    const auto answer = static_cast<QMessageBox::StandardButton>(box.exec());
    if (focus) {
        focus->setFocus(Qt::OtherFocusReason);
    }
    return answer;
}

std::optional<QString> askText(QWidget* owner, const QString& title, const QString& prompt) {
    if (inputAnswerer()) {
        return inputAnswerer()(title, prompt);
    }
    bool ok = false;
    const QString text = QInputDialog::getText(owner != nullptr ? owner->window() : nullptr, title,
                                               prompt, QLineEdit::Normal, QString(), &ok);
    if (!ok) {
        return std::nullopt;
    }
    return text;
}

void setMessageAnswererForTesting(MessageAnswerer answerer) {
    messageAnswerer() = std::move(answerer);
}

void setInputAnswererForTesting(InputAnswerer answerer) {
    inputAnswerer() = std::move(answerer);
}

QString withReason(const QString& message, std::u16string_view reason) {
    if (reason.empty()) {
        return message;
    }
    return message + QLatin1Char('\n') + QStringLiteral("原因：") +
           QString::fromUtf16(reason.data(), static_cast<qsizetype>(reason.size()));
}

}  // namespace kjf
