#include "AppIdentity.h"

#include "AppIcon.h"
#include "Product.h"

#include <QApplication>

namespace shell {

void applyAppIdentity() {
    // X11 takes the window class from the application name; Wayland takes the
    // app id from the desktop file name. Docks match either against the entry.
    QCoreApplication::setApplicationName(product::applicationName());
    QCoreApplication::setApplicationVersion(product::versionText());
    QGuiApplication::setDesktopFileName(product::desktopFileId());
    // Dialogs and message boxes without an icon of their own show this one.
    QApplication::setWindowIcon(appIcon());
}

}  // namespace shell
