// The welcome window shown while the dictionaries load at start-up.
#pragma once

#include <QDialog>

class QLabel;

namespace kjf {

// The welcome window: a frameless 400 x 250 picture with one line of loading messages (the label
// "messageLabel"). GUI thread only.
class rg_HuanYingChuangKou : public QDialog {
    Q_OBJECT
  public:
    explicit rg_HuanYingChuangKou(QWidget* parent = nullptr);

    // Shows a loading message on the label and repaints it at once.
    void showMessage(const QString& text);
    // Loading has finished: closes the window with result, now when it is open, or as soon as
    // it has appeared when it is not open yet.
    void finish(int result);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    // The window goes only when loading has finished: Escape does not close it.
    void reject() override;

  private:
    QLabel* m_label = nullptr;
    bool m_finished = false;
    int m_result = 0;
};

}  // namespace kjf
