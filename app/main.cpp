#include "frmEXPLAIN.h"
#include "Fonts.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    platform::installFontSubstitutions();
    frmEXPLAIN w;
    w.Form_Load();
    return app.exec();
}
