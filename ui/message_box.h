// Message boxes and the text input box, through one place that tests can answer.
#pragma once

#include <QMessageBox>
#include <QString>
#include <functional>
#include <optional>
#include <string_view>

namespace kjf {

// A message box as the user sees it.
struct ShownMessage {
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QString caption;
    QString text;
    QMessageBox::StandardButtons buttons;
};

// Shows a modal message box owned by owner's window and returns the button pressed. After it
// closes, the widget that had the keyboard focus gets it back. GUI thread only.
QMessageBox::StandardButton showMessage(QWidget* owner, QMessageBox::Icon icon,
                                        const QString& caption, const QString& text,
                                        QMessageBox::StandardButtons buttons = QMessageBox::Ok);

// message followed, on a line of its own, by the reason a file operation failed (nothing when the
// reason is empty).
QString withReason(const QString& message, std::u16string_view reason);

// Asks for one line of text in a modal input box titled title with the prompt and an empty field.
// nullopt when the user cancels. GUI thread only.
std::optional<QString> askText(QWidget* owner, const QString& title, const QString& prompt);

// For tests: answer every message box (or input box) instead of showing it. An empty function
// shows them again.
using MessageAnswerer = std::function<QMessageBox::StandardButton(const ShownMessage&)>;
using InputAnswerer =
    std::function<std::optional<QString>(const QString& title, const QString& prompt)>;
void setMessageAnswererForTesting(MessageAnswerer answerer);
void setInputAnswererForTesting(InputAnswerer answerer);

}  // namespace kjf
