// Every window of the program shows the icon the desktop entry installs.

#include "AboutBox.h"
#include "AppIcon.h"
#include "AppIdentity.h"
#include "LogonDialog.h"
#include "MainWindow.h"
#include "SchemaBrowser.h"
#include "TextSearchDialog.h"

#include <QApplication>
#include <QtTest>
#include <memory>

namespace {

enum class Window { Main, About, Logon, Browser, Search };

}  // namespace
Q_DECLARE_METATYPE(Window)

class TestAppIdentity : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { shell::applyAppIdentity(); }

    void windowsShowTheAppIcon_data() {
        QTest::addColumn<Window>("window");
        QTest::newRow("main window") << Window::Main;
        QTest::newRow("about box") << Window::About;
        QTest::newRow("logon dialog") << Window::Logon;
        QTest::newRow("schema browser") << Window::Browser;
        QTest::newRow("string colouring dialog") << Window::Search;
    }

    void windowsShowTheAppIcon() {
        QFETCH(Window, window);
        frmEXPLAIN main;
        std::unique_ptr<QWidget> dialog;
        switch (window) {
            case Window::Main:
                break;
            case Window::About:
                dialog = std::make_unique<frmVersion>(&main);
                break;
            case Window::Logon:
                dialog = std::make_unique<fdlgOraLogon>(&main);
                break;
            case Window::Browser:
                dialog = std::make_unique<frm_mainkey>(&main, [] {});
                break;
            case Window::Search:
                dialog = std::make_unique<frmSeach>(*main.txtResults, &main);
                break;
        }
        const QWidget* shown = dialog ? dialog.get() : &main;
        for (int size : {16, 32, 48}) {
            const QImage actual = shown->windowIcon().pixmap(size).toImage().convertToFormat(
                QImage::Format_ARGB32_Premultiplied);
            QCOMPARE(actual, shell::appIconImage(size));
        }
    }
};

QTEST_MAIN(TestAppIdentity)
#include "tst_appidentity.moc"
