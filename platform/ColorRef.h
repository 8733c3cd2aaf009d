#pragma once
// Colour references of the window system: 0x00BBGGRR (255 is pure red).

#include <QColor>

namespace platform {

inline QColor fromColorRef(unsigned ref) {
    return QColor(static_cast<int>(ref & 0xFF), static_cast<int>((ref >> 8) & 0xFF),
                  static_cast<int>((ref >> 16) & 0xFF));
}

inline unsigned toColorRef(const QColor& c) {
    return static_cast<unsigned>(c.red()) | (static_cast<unsigned>(c.green()) << 8) |
           (static_cast<unsigned>(c.blue()) << 16);
}

// System colours used by Quorvel's windows (0x8000000n references).
QColor systemColor(unsigned ref);

}  // namespace platform
