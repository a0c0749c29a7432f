// A vertical bar that the user drags sideways; the owner places it and the panes beside it.
#pragma once

#include <QWidget>

namespace kjf {

// The splitter bar: reports drags and leaves all placing to its owner's layout rules.
class SplitterBar : public QWidget {
    Q_OBJECT
  public:
    explicit SplitterBar(QWidget* parent = nullptr);

  signals:
    // The new left edge, in the parent's coordinates, while the bar is being dragged.
    void dragged(int x);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    int m_grabOffset = -1;  // where in the bar the mouse took hold; -1 when not dragging
};

}  // namespace kjf
