// The about window: the product's name, a QR code of the feedback address and the built-in help
// text.
#pragma once

#include <QDialog>

class QLabel;
class QPlainTextEdit;

namespace kjf {

// The about window: built afresh for every opening, shown modally, destroyed when closed, so
// nothing typed into its help box survives. Its parts are named "pictureLabel", "titleLabel" and
// "helpBox". GUI thread only.
class rg_GuanYuChuangKou : public QDialog {
    Q_OBJECT
  public:
    explicit rg_GuanYuChuangKou(QWidget* parent = nullptr);

    // The 21 lines of the help text joined by CR LF.
    static QString helpText();
    // Where users send feedback, as the build sets it: the picture is a QR code of it.
    static QString feedbackAddress();

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    QLabel* m_picture = nullptr;
    QLabel* m_title = nullptr;
    QPlainTextEdit* m_help = nullptr;
};

}  // namespace kjf
