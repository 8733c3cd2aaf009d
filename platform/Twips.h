#pragma once
// Window geometry is designed in twips (1/1440 inch). Quorvel draws at
// 15 twips per pixel (96 dots per inch); every conversion goes through here.

#include <QPoint>
#include <QRect>
#include <QSize>
#include <cmath>

namespace platform {

inline constexpr int kTwipsPerPixel = 15;

// Twips to pixels, rounded to the nearest pixel (half away from zero).
inline int twipsToPixels(double twips) {
    return static_cast<int>(std::lround(twips / kTwipsPerPixel));
}
inline double pixelsToTwips(int pixels) {
    return static_cast<double>(pixels) * kTwipsPerPixel;
}

inline QRect twipsRect(double left, double top, double width, double height) {
    return QRect(twipsToPixels(left), twipsToPixels(top), twipsToPixels(width),
                 twipsToPixels(height));
}

}  // namespace platform
