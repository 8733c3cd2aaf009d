#pragma once
// The application icon and the about box logo, drawn in code.

#include <QIcon>
#include <QImage>
#include <QList>
#include <QPixmap>

class QPainter;

namespace shell {

// Draws the icon, a small plan tree on a page, into the square (0, 0, size,
// size) of `painter`. The windows, the installed PNG files and the scalable
// SVG file are all drawn by this one function.
void paintAppIcon(QPainter& painter, double size);
// The icon drawn at `size` x `size` pixels on a transparent background.
QImage appIconImage(int size);
// The sizes the icon is drawn and installed at.
QList<int> appIconSizes();
// The icon of every Quorvel window, drawn at each of appIconSizes().
QIcon appIcon();
// The product logo of the about box, 195 x 65 pixels on light grey.
QPixmap logoPicture();

}  // namespace shell
