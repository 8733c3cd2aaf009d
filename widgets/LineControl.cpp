#include "LineControl.h"

#include "Twips.h"

#include <QPainter>
#include <algorithm>

LineControl::LineControl(QWidget* container) : QWidget(container) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    place();
}

void LineControl::setLine(double x1, double y1, double x2, double y2) {
    m_x1 = x1;
    m_y1 = y1;
    m_x2 = x2;
    m_y2 = y2;
    place();
}

void LineControl::setX2(double x2) {
    m_x2 = x2;
    place();
}

void LineControl::setBorderColor(const QColor& colour) {
    m_colour = colour;
    update();
}

void LineControl::setBorderWidth(int pixels) {
    m_width = std::max(1, pixels);
    place();
}

void LineControl::place() {
    const int x1 = platform::twipsToPixels(m_x1);
    const int y1 = platform::twipsToPixels(m_y1);
    const int x2 = platform::twipsToPixels(m_x2);
    const int y2 = platform::twipsToPixels(m_y2);
    const int left = std::min(x1, x2);
    const int top = std::min(y1, y2);
    setGeometry(left, top, std::abs(x2 - x1) + m_width, std::abs(y2 - y1) + m_width);
    update();
}

void LineControl::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setPen(QPen(m_colour, m_width, Qt::SolidLine, Qt::FlatCap));
    const QPoint o = geometry().topLeft();
    const QPoint a(platform::twipsToPixels(m_x1) - o.x(), platform::twipsToPixels(m_y1) - o.y());
    const QPoint b(platform::twipsToPixels(m_x2) - o.x(), platform::twipsToPixels(m_y2) - o.y());
    p.drawLine(a, b);
}
