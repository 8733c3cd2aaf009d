// Quorvel installed as a desktop program: what `cmake --install` puts under a
// temporary DESTDIR, and what the Debian package holds.

#include "AppIcon.h"
#include "AppIdentity.h"
#include "Product.h"

#include <QDirIterator>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPainter>
#include <QProcess>
#include <QSvgRenderer>
#include <QTemporaryDir>
#include <QtTest>

namespace {

struct Run {
    int exitCode = -1;
    QString out;
    QString err;
};

Run run(const QString& program, const QStringList& args,
        const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment()) {
    QProcess process;
    process.setProcessEnvironment(env);
    process.start(program, args);
    Run result;
    if (!process.waitForStarted(10000)) {
        result.err = program + QStringLiteral(" did not start");
        return result;
    }
    if (!process.waitForFinished(240000)) {
        process.kill();
        process.waitForFinished();
        result.err = program + QStringLiteral(" did not finish");
        return result;
    }
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.out = QString::fromUtf8(process.readAllStandardOutput());
    result.err = QString::fromUtf8(process.readAllStandardError());
    return result;
}

QString describe(const Run& r) {
    return QStringLiteral("exit %1\n%2\n%3").arg(r.exitCode).arg(r.out, r.err);
}

// The files an installation under /usr holds, relative to the root.
QStringList expectedFiles() {
    const QString id = product::desktopFileId();
    QStringList files{
        QStringLiteral("usr/bin/Quorvel"),
        QStringLiteral("usr/bin/quorvel-sql"),
        QStringLiteral("usr/share/applications/%1.desktop").arg(id),
        QStringLiteral("usr/share/metainfo/%1.metainfo.xml").arg(id),
        QStringLiteral("usr/share/icons/hicolor/scalable/apps/%1.svg").arg(id),
        QStringLiteral("usr/share/man/man1/Quorvel.1.gz"),
        QStringLiteral("usr/share/man/man1/quorvel-sql.1.gz"),
    };
    for (int size : shell::appIconSizes())
        files << QStringLiteral("usr/share/icons/hicolor/%1x%1/apps/%2.png").arg(size).arg(id);
    files.sort();
    return files;
}

// The keys of the [Desktop Entry] group.
QMap<QString, QString> desktopEntry(const QString& path) {
    QMap<QString, QString> keys;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return keys;
    bool inEntry = false;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.startsWith(QLatin1Char('['))) {
            inEntry = line == QLatin1String("[Desktop Entry]");
            continue;
        }
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (inEntry && eq > 0)
            keys.insert(line.left(eq).trimmed(), line.mid(eq + 1).trimmed());
    }
    return keys;
}

// Mean difference per colour channel, premultiplied, of two images of one size.
double meanDifference(const QImage& a, const QImage& b) {
    const QImage x = a.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const QImage y = b.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    double sum = 0;
    for (int row = 0; row < x.height(); ++row) {
        const auto* p = reinterpret_cast<const QRgb*>(x.constScanLine(row));
        const auto* q = reinterpret_cast<const QRgb*>(y.constScanLine(row));
        for (int col = 0; col < x.width(); ++col) {
            sum +=
                std::abs(qRed(p[col]) - qRed(q[col])) + std::abs(qGreen(p[col]) - qGreen(q[col])) +
                std::abs(qBlue(p[col]) - qBlue(q[col])) + std::abs(qAlpha(p[col]) - qAlpha(q[col]));
        }
    }
    return sum / (4.0 * x.width() * x.height());
}

}  // namespace

class TestInstall : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void treeHoldsTheProgramsAndTheirDesktopFiles();
    void desktopEntry();
    void metainfo();
    void manPages_data();
    void manPages();
    void pngIconsAreTheWindowsIcon_data();
    void pngIconsAreTheWindowsIcon();
    void scalableIconIsTheSameDrawing();
    void debianPackage();

private:
    QString installed(const QString& relative) const { return m_root.filePath(relative); }

    QTemporaryDir m_root;
};

void TestInstall::initTestCase() {
    shell::applyAppIdentity();
    QVERIFY(m_root.isValid());
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DESTDIR"), m_root.path());
    const Run install = run(QStringLiteral(QUORVEL_CMAKE),
                            {QStringLiteral("--install"), QStringLiteral(QUORVEL_BUILD_DIR),
                             QStringLiteral("--prefix"), QStringLiteral("/usr")},
                            env);
    QVERIFY2(install.exitCode == 0, qPrintable(describe(install)));
}

void TestInstall::treeHoldsTheProgramsAndTheirDesktopFiles() {
    QStringList files;
    QDirIterator it(m_root.path(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        files << QDir(m_root.path()).relativeFilePath(it.next());
    files.sort();
    // Nothing missing, and nothing else (no test program, library or header).
    QCOMPARE(files, expectedFiles());
    for (const char* program : {"usr/bin/Quorvel", "usr/bin/quorvel-sql"})
        QVERIFY2(QFileInfo(installed(program)).isExecutable(), program);
}

void TestInstall::desktopEntry() {
    const QString path = installed(
        QStringLiteral("usr/share/applications/%1.desktop").arg(product::desktopFileId()));
    const Run check = run(QStringLiteral("desktop-file-validate"), {path});
    QVERIFY2(check.exitCode == 0 && check.out.isEmpty() && check.err.isEmpty(),
             qPrintable(describe(check)));

    const QMap<QString, QString> keys = ::desktopEntry(path);
    // Docks group the running windows under the entry by their X11 class,
    // which Qt takes from the application name, or by their Wayland app id,
    // which Qt takes from the desktop file name.
    QCOMPARE(keys.value(QStringLiteral("StartupWMClass")), QGuiApplication::applicationName());
    QCOMPARE(QFileInfo(path).completeBaseName(), QGuiApplication::desktopFileName());
    QVERIFY(QFileInfo(installed("usr/bin/" + keys.value(QStringLiteral("Exec")).section(' ', 0, 0)))
                .isExecutable());
    QCOMPARE(keys.value(QStringLiteral("Icon")), product::desktopFileId());
    QCOMPARE(keys.value(QStringLiteral("Categories")), QStringLiteral("Development;Database;"));
    QVERIFY(!keys.value(QStringLiteral("Name[ja]")).isEmpty());
    QVERIFY(!keys.value(QStringLiteral("Comment[ja]")).isEmpty());
}

void TestInstall::metainfo() {
    const QString path = installed(
        QStringLiteral("usr/share/metainfo/%1.metainfo.xml").arg(product::desktopFileId()));
    const Run file = run(
        QStringLiteral("appstreamcli"),
        {QStringLiteral("validate"), QStringLiteral("--no-net"), QStringLiteral("--strict"), path});
    QVERIFY2(file.exitCode == 0, qPrintable(describe(file)));
    // The whole tree: the metainfo's launchable names the installed desktop
    // entry, and its icon is there.
    const Run tree = run(QStringLiteral("appstreamcli"),
                         {QStringLiteral("validate-tree"), QStringLiteral("--no-net"),
                          QStringLiteral("--strict"), m_root.path()});
    QVERIFY2(tree.exitCode == 0, qPrintable(describe(tree)));
}

void TestInstall::manPages_data() {
    QTest::addColumn<QString>("page");
    QTest::addColumn<QString>("synopsis");
    QTest::newRow("Quorvel") << "usr/share/man/man1/Quorvel.1.gz"
                             << "Quorvel";
    QTest::newRow("quorvel-sql") << "usr/share/man/man1/quorvel-sql.1.gz"
                                 << "quorvel-sql user[/password][@host]";
}

void TestInstall::manPages() {
    QFETCH(QString, page);
    QFETCH(QString, synopsis);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("MANWIDTH"), QStringLiteral("100"));
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    // --warnings: groff reports any markup it cannot make sense of.
    const Run man = run(QStringLiteral("man"),
                        {QStringLiteral("--warnings"), QStringLiteral("-l"), installed(page)}, env);
    QVERIFY2(man.exitCode == 0 && man.err.isEmpty(), qPrintable(describe(man)));
    QVERIFY2(man.out.contains(QStringLiteral("NAME")) && man.out.contains(synopsis),
             qPrintable(man.out));
}

void TestInstall::pngIconsAreTheWindowsIcon_data() {
    QTest::addColumn<int>("size");
    for (int size : shell::appIconSizes())
        QTest::addRow("%dx%d", size, size) << size;
}

void TestInstall::pngIconsAreTheWindowsIcon() {
    QFETCH(int, size);
    const QImage file(installed(QStringLiteral("usr/share/icons/hicolor/%1x%1/apps/%2.png")
                                    .arg(size)
                                    .arg(product::desktopFileId())));
    QCOMPARE(file.size(), QSize(size, size));
    QCOMPARE(file.convertToFormat(QImage::Format_ARGB32),
             shell::appIconImage(size).convertToFormat(QImage::Format_ARGB32));
}

void TestInstall::scalableIconIsTheSameDrawing() {
    QSvgRenderer svg(installed(QStringLiteral("usr/share/icons/hicolor/scalable/apps/%1.svg")
                                   .arg(product::desktopFileId())));
    QVERIFY(svg.isValid());
    for (int size : {48, 256}) {
        QImage drawn(size, size, QImage::Format_ARGB32_Premultiplied);
        drawn.fill(Qt::transparent);
        QPainter painter(&drawn);
        painter.setRenderHint(QPainter::Antialiasing);
        svg.render(&painter);
        painter.end();
        // Rasterised by another path, so edges may differ by a shade, but a
        // missing, moved or recoloured part would not.
        const double difference = meanDifference(drawn, shell::appIconImage(size));
        QVERIFY2(
            difference < 1.0,
            qPrintable(QStringLiteral("size %1: mean difference %2").arg(size).arg(difference)));
    }
}

void TestInstall::debianPackage() {
    QTemporaryDir out;
    QVERIFY(out.isValid());
    const Run cpack =
        run(QStringLiteral(QUORVEL_CPACK),
            {QStringLiteral("--config"), QStringLiteral(QUORVEL_BUILD_DIR "/CPackConfig.cmake"),
             QStringLiteral("-B"), out.path()});
    QVERIFY2(cpack.exitCode == 0, qPrintable(describe(cpack)));
    const QStringList debs = QDir(out.path()).entryList({QStringLiteral("*.deb")}, QDir::Files);
    QCOMPARE(debs.size(), 1);
    const QString deb = out.filePath(debs.front());

    const Run contents = run(QStringLiteral("dpkg-deb"), {QStringLiteral("--contents"), deb});
    QVERIFY2(contents.exitCode == 0, qPrintable(describe(contents)));
    QStringList files;
    for (const QString& line : contents.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        if (!line.startsWith(QLatin1Char('d')))
            files << line.section(QLatin1String("./"), 1).trimmed();
    }
    files.sort();
    QCOMPARE(files, expectedFiles());

    const Run fields =
        run(QStringLiteral("dpkg-deb"), {QStringLiteral("--field"), deb, QStringLiteral("Package"),
                                         QStringLiteral("Version"), QStringLiteral("Depends")});
    QVERIFY2(fields.exitCode == 0, qPrintable(describe(fields)));
    QVERIFY2(fields.out.contains(QStringLiteral("Package: quorvel\n")), qPrintable(fields.out));
    QVERIFY2(fields.out.contains(QStringLiteral("Version: " QUORVEL_PACKAGE_VERSION "\n")),
             qPrintable(fields.out));
    // Computed from the programs, plus the font the windows are drawn with.
    for (const char* dependency :
         {"libqt6widgets6", "libqt6sql6", "libsqlite3-0", "libodbc2", "fonts-ipafont-gothic"}) {
        QVERIFY2(fields.out.contains(QLatin1String(dependency)), qPrintable(fields.out));
    }
}

QTEST_MAIN(TestInstall)
#include "tst_install.moc"
