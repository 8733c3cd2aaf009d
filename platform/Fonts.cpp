#include "Fonts.h"

namespace platform {

QString proportionalGothic() {
    return QStringLiteral("ＭＳ Ｐゴシック");
}
QString monospaceGothic() {
    return QStringLiteral("ＭＳ ゴシック");
}

void installFontSubstitutions() {
    QFont::insertSubstitutions(proportionalGothic(), QStringList{QStringLiteral("IPAPGothic"),
                                                                 QStringLiteral("IPAGothic")});
    QFont::insertSubstitutions(
        monospaceGothic(), QStringList{QStringLiteral("IPAGothic"), QStringLiteral("IPAPGothic")});
}

QFont gothicFont(const QString& family, int pointSize) {
    QFont f(family);
    f.setPointSize(pointSize);
    return f;
}

}  // namespace platform
