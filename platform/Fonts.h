#pragma once
// The Japanese Gothic fonts of Quorvel's windows. "ＭＳ Ｐゴシック" and
// "ＭＳ ゴシック" are mapped to the IPA Gothic fonts by font substitution,
// so the windows can name the fonts they were designed with.

#include <QFont>
#include <QString>
#include <QStringList>

namespace platform {

QString proportionalGothic();  // "ＭＳ Ｐゴシック"
QString monospaceGothic();     // "ＭＳ ゴシック"

// Installs the substitutions; call once after the application object exists.
void installFontSubstitutions();

QFont gothicFont(const QString& family, int pointSize = 9);

}  // namespace platform
