#include "AboutBox.h"

#include "AppIcon.h"
#include "ColorRef.h"
#include "Fonts.h"
#include "Product.h"
#include "Twips.h"
#include "WindowAnim.h"

#include <QDate>
#include <QLabel>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPushButton>

namespace {

// The build date as yyyy-MM-dd, from the compiler's "Mmm dd yyyy".
QString buildDate() {
    const QString raw = QString::fromLatin1(__DATE__).simplified();
    const QDate d = QLocale::c().toDate(raw, QStringLiteral("MMM d yyyy"));
    return d.isValid() ? d.toString(Qt::ISODate) : raw;
}

}  // namespace

frmVersion::frmVersion(QWidget* main)
    : QDialog(main, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
                        Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      m_main(main) {
    setObjectName(QStringLiteral("frmVersion"));
    setWindowTitle(QStringLiteral("ﾊﾞｰｼﾞｮﾝ情報"));
    setWindowIcon(shell::appIcon());
    setModal(true);
    setFixedSize(platform::twipsToPixels(2895), platform::twipsToPixels(2190));

    Picture1 = new QLabel(this);
    Picture1->setObjectName(QStringLiteral("Picture1"));
    Picture1->setGeometry(platform::twipsRect(0, 0, 2895, 1095));
    Picture1->setAutoFillBackground(true);
    QPalette picPal = Picture1->palette();
    picPal.setColor(QPalette::Window, platform::fromColorRef(0xC0C0C0u));
    Picture1->setPalette(picPal);
    Picture1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Picture1->setPixmap(shell::logoPicture());

    Text1 = new QPlainTextEdit(this);
    Text1->setObjectName(QStringLiteral("Text1"));
    Text1->setGeometry(platform::twipsRect(10, 960, 2870, 680));
    Text1->setReadOnly(true);
    Text1->setFocusPolicy(Qt::NoFocus);
    Text1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Text1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // Three lines must fit into the design height of 680 twips.
    Text1->setFont(platform::gothicFont(platform::proportionalGothic(), 9));
    Text1->document()->setDocumentMargin(1);
    QPalette textPal = Text1->palette();
    textPal.setColor(QPalette::Base, platform::systemColor(0x80000004u));
    Text1->setPalette(textPal);
    // The box shows CR LF as one line break.
    QString shown = aboutText();
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    if (shown.endsWith(QLatin1Char('\n')))
        shown.chop(1);
    Text1->setPlainText(shown);

    Command1 = new QPushButton(QStringLiteral("OK"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setGeometry(platform::twipsRect(800, 1730, 1335, 375));
    // Default button: Enter clicks it. Esc rejects the dialog, which closes
    // it the same way.
    Command1->setDefault(true);
    Command1->setAutoDefault(true);
    Command1->setFocus();
    connect(Command1, &QPushButton::clicked, this, [this] {
        try {
            Command1_Click();
        } catch (...) {
            qWarning("frmVersion: OK failed");
        }
    });
}

QString frmVersion::aboutText() {
    return QStringLiteral("Ostrel Quorvel\r\nVersion : ") + product::versionText() +
           QStringLiteral("\r\nBuild : ") + buildDate() + QStringLiteral("\r\n");
}

void frmVersion::Form_Load() {
    try {
        const QPoint pointer = platform::cursorPos();
        platform::openCentred(this, m_main, platform::OpeningZoom::fromPointer(pointer));
    } catch (...) {
        qWarning("frmVersion: opening failed");
    }
}

void frmVersion::Command1_Click() {
    accept();
}

void frmVersion::Form_QueryUnload() {
    platform::ZoomToPointer(this);
}

// Every way out (OK, Enter, Esc, the close box) ends here; the closing zoom
// is drawn once and the close is never refused.
void frmVersion::done(int result) {
    if (!m_unloaded) {
        m_unloaded = true;
        try {
            Form_QueryUnload();
        } catch (...) {
            qWarning("frmVersion: closing animation failed");
        }
    }
    QDialog::done(result);
}
