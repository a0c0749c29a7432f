// A status-bar message that any thread may set: the main window shows it, and the windows it
// opens report through it.
#pragma once

#include <QLabel>
#include <QObject>
#include <QPointer>
#include <QString>
#include <mutex>

namespace kjf {

// Holds the current message and shows it on the label once one is attached. Lives on the GUI
// thread; the program's one instance belongs to the startup object and is handed to the windows
// that report to the status bar.
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

}  // namespace kjf
