// Quorvel starts from its splash window, which decides whether the program
// runs at all (one copy per user) and then hands over to the main window.
#include "Fonts.h"
#include "FrmStart.h"

#include <QApplication>

#ifndef QUORVEL_VERSION
#define QUORVEL_VERSION "0.9"
#endif

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Quorvel"));
    QCoreApplication::setApplicationVersion(QStringLiteral(QUORVEL_VERSION));
    platform::installFontSubstitutions();

    auto* splash = new FrmStart;
    splash->setAttribute(Qt::WA_DeleteOnClose);
    if (!splash->Form_Load()) {
        // Refused: the message has been shown and closed; no window is left.
        delete splash;
        return 0;
    }
    return app.exec();
}
