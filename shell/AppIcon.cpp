#include "AppIcon.h"

#include "ColorRef.h"
#include "Fonts.h"

#include <QLinearGradient>
#include <QPainter>

namespace shell {

// A white sheet with a folded corner and an indented plan tree, its second
// branch red like a full scan in the plan pane, drawn on a 32-unit grid.
void paintAppIcon(QPainter& p, double size) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 32.0, size / 32.0);

    const QPolygonF sheet{{5, 2}, {22, 2}, {28, 8}, {28, 30}, {5, 30}};
    p.setPen(QPen(QColor(40, 40, 80), 1.2));
    p.setBrush(QColor(255, 255, 240));
    p.drawPolygon(sheet);
    p.setBrush(QColor(200, 200, 220));
    p.drawPolygon(QPolygonF{{22, 2}, {22, 8}, {28, 8}});

    const struct {
        double indent;
        double y;
        QColor colour;
    } rows[] = {{8, 11, QColor(0, 0, 128)},
                {11, 16, QColor(220, 0, 0)},
                {14, 21, QColor(0, 0, 128)},
                {14, 26, QColor(0, 0, 128)}};
    p.setPen(QPen(QColor(120, 120, 120), 1));
    p.drawLine(QPointF(9, 12), QPointF(9, 16));
    p.drawLine(QPointF(12, 17), QPointF(12, 26));
    for (const auto& r : rows) {
        p.setPen(QPen(r.colour, 2.2, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(r.indent + 1, r.y), QPointF(25, r.y));
    }
    p.restore();
}

QImage appIconImage(int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    paintAppIcon(p, size);
    p.end();
    return image;
}

QList<int> appIconSizes() {
    return {16, 22, 24, 32, 48, 64, 128, 256};
}

QIcon appIcon() {
    QIcon icon;
    for (int size : appIconSizes())
        icon.addPixmap(QPixmap::fromImage(appIconImage(size)));
    return icon;
}

QPixmap logoPicture() {
    QPixmap pm(195, 65);
    pm.fill(platform::fromColorRef(0xC0C0C0u));
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);

    p.drawImage(8, 9, appIconImage(48));

    QFont title = platform::gothicFont(platform::proportionalGothic(), 18);
    title.setBold(true);
    title.setItalic(true);
    p.setFont(title);
    // A dark shadow under a blue-to-teal name.
    const QRect nameBox(62, 6, 130, 34);
    p.setPen(QColor(80, 80, 80));
    p.drawText(nameBox.translated(2, 2), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("Quorvel"));
    QLinearGradient g(nameBox.topLeft(), nameBox.bottomLeft());
    g.setColorAt(0, QColor(0, 40, 160));
    g.setColorAt(1, QColor(0, 128, 128));
    p.setPen(QPen(QBrush(g), 1));
    p.drawText(nameBox, Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Quorvel"));

    QFont sub = platform::gothicFont(platform::proportionalGothic(), 8);
    p.setFont(sub);
    p.setPen(QColor(60, 60, 60));
    p.drawText(QRect(62, 40, 130, 18), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("EXPLAIN PLAN tool"));
    p.setPen(QColor(128, 128, 128));
    p.drawLine(62, 40, 188, 40);
    p.end();
    return pm;
}

}  // namespace shell
