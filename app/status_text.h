// The message part of the main window's status bar, settable from any thread at any time.
#pragma once

#include <QLabel>
#include <QObject>
#include <QPointer>
#include <QString>
#include <mutex>

namespace kjf {

// Holds the current message and shows it on the label once one is attached. Lives on the GUI
// thread.
class StatusText : public QObject {
    Q_OBJECT
  public:
    // Any thread, also before a label is attached. The label shows the text set last.
    void set(const QString& text);
    QString text() const;
    // GUI thread: the label that shows the message from now on (its text is replaced at once).
    void attach(QLabel* label);

  private:
    void apply();

    mutable std::mutex m_mutex;
    QString m_text;
    QPointer<QLabel> m_label;
};

// Replaces the status bar's message: any thread, also before the main window exists. Does nothing
// when no startup object exists.
void setStatusText(const QString& text);

}  // namespace kjf
