#pragma once
// A line control: a straight line between two points given in twips in its
// container's coordinates, drawn in one colour and width. The control
// occupies the line's bounding box and lets the mouse through.

#include <QColor>
#include <QWidget>

class LineControl : public QWidget {
    Q_OBJECT
public:
    explicit LineControl(QWidget* container);

    void setLine(double x1, double y1, double x2, double y2);
    void setX2(double x2);
    void setBorderColor(const QColor& colour);
    void setBorderWidth(int pixels);

    double X1() const { return m_x1; }
    double Y1() const { return m_y1; }
    double X2() const { return m_x2; }
    double Y2() const { return m_y2; }
    QColor BorderColor() const { return m_colour; }
    int BorderWidth() const { return m_width; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void place();

    double m_x1 = 0;
    double m_y1 = 0;
    double m_x2 = 0;
    double m_y2 = 0;
    QColor m_colour = Qt::black;
    int m_width = 1;
};
