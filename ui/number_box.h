// A text box for a whole number with up and down arrows that step within a range.
#pragma once

#include <QAbstractSpinBox>

namespace kjf {

// Unlike QSpinBox, the text is the user's own: anything typed stays as typed (out of range, not a
// number, empty), and only the arrows keep to the range. GUI thread only.
class NumberBox : public QAbstractSpinBox {
    Q_OBJECT
  public:
    NumberBox(int minimum, int maximum, QWidget* parent = nullptr);

    // The text, exactly as it stands.
    void setText(const QString& text);

    void stepBy(int steps) override;

  protected:
    StepEnabled stepEnabled() const override;

  private:
    int m_minimum;
    int m_maximum;
};

}  // namespace kjf
