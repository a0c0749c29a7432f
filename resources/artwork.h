// The program's pictures, drawn when first needed: the tool-bar strip, the welcome picture and the
// application icon. Only from the GUI thread (QPixmap), except where a function says otherwise.
#pragma once

#include <QByteArray>
#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <array>

namespace kjf {

inline constexpr int kToolBarImageCount = 8;
inline constexpr int kToolBarImageSize = 24;

// Eight 24 x 24 images side by side, one per tool-bar command in button order, drawn with scale
// device pixels to a pixel (the pixmap's devicePixelRatio is scale).
QPixmap toolBarStrip(int scale = 1);
// The image of tool-bar button index (0..7), cut from the strips of scale 1 and 2, so that it
// stays sharp on screens of twice the density.
QIcon toolBarIcon(int index);
// 400 x 250, the background of the welcome window.
QPixmap welcomePicture();
QIcon applicationIcon();
// The sizes, in pixels, at which the icon is drawn for the desktop's icon theme.
inline constexpr std::array<int, 8> kApplicationIconSizes = {16, 22, 24, 32, 48, 64, 128, 256};
// The application icon, size x size pixels: the red seal with "勘". Needs a font with that
// character (the icon shows an empty seal otherwise; applicationIconHasGlyph tells). Any thread
// once a QGuiApplication exists.
QImage applicationIconImage(int size);
bool applicationIconHasGlyph();
// The same picture as an SVG document, the character as outlines so that no font is needed to
// show it.
QByteArray applicationIconSvg();
// 200 x 200, the about window's picture: a square two-dimensional code with the seal in its middle.
QPixmap aboutPicture();

}  // namespace kjf
