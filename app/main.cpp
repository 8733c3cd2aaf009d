// Quorvel starts from its splash window, which decides whether the program
// runs at all (one copy per user) and then hands over to the main window.
#include "AppIdentity.h"
#include "Fonts.h"
#include "Splash.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    shell::applyAppIdentity();
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
