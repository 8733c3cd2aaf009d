// quorvel-icons OUTDIR NAME
// Draws the application icon with the windows' own drawing code into the
// freedesktop icon theme layout under OUTDIR: a PNG file for each size,
// hicolor/NxN/apps/NAME.png, and a scalable hicolor/scalable/apps/NAME.svg.
// Run at build time; the files it writes are installed as they are.

#include "AppIcon.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QPainter>
#include <QSvgGenerator>
#include <cstdio>

namespace {

bool writePng(const QString& root, const QString& name, int size) {
    const QString dir = QStringLiteral("%1/hicolor/%2x%2/apps").arg(root).arg(size);
    return QDir().mkpath(dir) &&
           shell::appIconImage(size).save(dir + QLatin1Char('/') + name + QStringLiteral(".png"));
}

bool writeSvg(const QString& root, const QString& name) {
    const QString dir = root + QStringLiteral("/hicolor/scalable/apps");
    if (!QDir().mkpath(dir))
        return false;
    // The drawing's own 32-unit grid, so that coordinates stay as drawn.
    constexpr int kGrid = 32;
    QSvgGenerator svg;
    svg.setFileName(dir + QLatin1Char('/') + name + QStringLiteral(".svg"));
    svg.setSize(QSize(kGrid, kGrid));
    svg.setViewBox(QRect(0, 0, kGrid, kGrid));
    svg.setResolution(96);
    svg.setTitle(QStringLiteral("Quorvel"));
    QPainter painter;
    if (!painter.begin(&svg))
        return false;
    shell::paintAppIcon(painter, kGrid);
    return painter.end();
}

}  // namespace

int main(int argc, char** argv) {
    // The painter's default font is written into the SVG even though the icon
    // has no text; without an application it has no valid size.
    QGuiApplication app(argc, argv);
    if (argc != 3) {
        std::fputs("usage: quorvel-icons OUTDIR NAME\n", stderr);
        return 2;
    }
    const QString root = QString::fromLocal8Bit(argv[1]);
    const QString name = QString::fromLocal8Bit(argv[2]);
    for (int size : shell::appIconSizes()) {
        if (!writePng(root, name, size)) {
            std::fprintf(stderr, "quorvel-icons: cannot write the %dx%d icon under %s\n", size,
                         size, argv[1]);
            return 1;
        }
    }
    if (!writeSvg(root, name)) {
        std::fprintf(stderr, "quorvel-icons: cannot write the scalable icon under %s\n", argv[1]);
        return 1;
    }
    return 0;
}
