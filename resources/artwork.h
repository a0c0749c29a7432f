// The program's pictures, drawn when first needed: the tool-bar strip, the welcome picture and the
// application icon. Only from the GUI thread (QPixmap).
#pragma once

#include <QIcon>
#include <QPixmap>

namespace kjf {

inline constexpr int kToolBarImageCount = 7;
inline constexpr int kToolBarImageSize = 24;

// Seven 24 x 24 images side by side, one per tool-bar command in button order.
QPixmap toolBarStrip();
// The image of tool-bar button index (0..6), cut from the strip.
QIcon toolBarIcon(int index);
// 400 x 250, the background of the welcome window.
QPixmap welcomePicture();
QIcon applicationIcon();
// 200 x 200, the about window's picture: a square two-dimensional code with the seal in its middle.
QPixmap aboutPicture();

}  // namespace kjf
