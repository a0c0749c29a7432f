// Placing top-level windows wholly on the screen, whatever its size and scale.
#pragma once

class QWidget;

namespace kjf {

// Fits a top-level window into the available area of the screen that holds its owner's window
// (its own screen when it has none; the task bar excluded): a window larger than that area is
// shrunk to it, its minimum size lowered as far as needed (the window's own layout then fits its
// contents into the smaller size), and a window reaching outside the area is moved into it. The
// frame is counted as the window system reports it, or as the style's title bar while none is
// reported yet. GUI thread.
void keepOnScreen(QWidget& window);

// keepOnScreen each time window is shown, for windows whose showing is Qt's own (file dialogs).
// The watch belongs to window. GUI thread.
void keepOnScreenWhenShown(QWidget& window);

// Moves a top-level window so that its frame is centred on the whole area of that screen (task
// bar included): left = (screen left + screen right - frame width) / 2, top likewise; then
// keepOnScreen, so that a window larger than the screen, or a screen whose task bar the centred
// frame would overlap, still shows all of it. GUI thread.
void centreOnScreen(QWidget& window);

}  // namespace kjf
