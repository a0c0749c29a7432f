// Placing top-level windows.
#pragma once

class QWidget;

namespace kjf {

// Moves a top-level window so that its frame is centred on the whole area of the screen it is
// on (task bar included): left = (screen left + screen right - frame width) / 2, top likewise.
// Uses the frame size the window system reports, or the client size while none is known.
void centreOnScreen(QWidget& window);

}  // namespace kjf
