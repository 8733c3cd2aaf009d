#pragma once
// The application icon and the about box logo, drawn in code.

#include <QIcon>
#include <QPixmap>

namespace shell {

// A small plan tree on a page: the icon of every Quorvel window.
QIcon appIcon();
// The product logo of the about box, 195 x 65 pixels on light grey.
QPixmap logoPicture();

}  // namespace shell
