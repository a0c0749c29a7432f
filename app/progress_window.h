// The progress window of a proofreading run.
#pragma once

#include <QDialog>

class QLabel;
class QProgressBar;
class QPushButton;

namespace kjf {

// The progress window: processing speed, a bar and the interrupt button, named "speedLabel",
// "progressBar" and "interruptButton". GUI thread only.
class rg_JinDuChuangKou : public QDialog {
    Q_OBJECT
  public:
    explicit rg_JinDuChuangKou(QWidget* parent = nullptr);

    // Back to "处理速度：0万字/小时" and position 0, as at the start of every run.
    void prepare();
    // speedText: the whole label text; the bar's range becomes 0..maximum.
    void showProgress(const QString& speedText, int percent, int maximum);

  signals:
    void interruptRequested();

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    QLabel* m_speed = nullptr;
    QProgressBar* m_bar = nullptr;
    QPushButton* m_interrupt = nullptr;
};

}  // namespace kjf
