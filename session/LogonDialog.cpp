#include "LogonDialog.h"

#include "DialogKeys.h"
#include "Fonts.h"
#include "Logon.h"
#include "LogonState.h"
#include "MsgBox.h"
#include "Twips.h"
#include "WindowAnim.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {

constexpr int kKeyEnter = 13;
constexpr int kKeyDown = 40;

// The window system's key code of a Qt key, for the keys the fields react to.
int keyCode(const QKeyEvent* e) {
    switch (e->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            return kKeyEnter;
        case Qt::Key_Down:
            return kKeyDown;
        default:
            return 0;
    }
}

}  // namespace

fdlgOraLogon::fdlgOraLogon(QWidget* main) : QDialog(main) {
    // A fixed dialog border without minimise and maximise buttons; as an
    // owned dialog it has no task bar entry.
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint);
    setWindowTitle(QStringLiteral("ログイン"));
    setFont(platform::gothicFont(platform::monospaceGothic(), 9));
    setFixedSize(platform::twipsToPixels(5370), platform::twipsToPixels(1410));
    setAttribute(Qt::WA_DeleteOnClose, false);

    const auto label = [this](const QString& text, double l, double t, double w, double h) {
        auto* lbl = new QLabel(text, this);
        lbl->setGeometry(platform::twipsRect(l, t, w, h));
        return lbl;
    };
    const auto field = [this](double l, double t, double w, double h) {
        auto* f = new QLineEdit(this);
        f->setGeometry(platform::twipsRect(l, t, w, h));
        f->installEventFilter(this);
        return f;
    };
    const auto button = [this](const QString& text, double l, double t, double w, double h) {
        auto* b = new QPushButton(text, this);
        b->setGeometry(platform::twipsRect(l, t, w, h));
        // No default button: Enter belongs to the fields.
        b->setAutoDefault(false);
        b->setDefault(false);
        return b;
    };

    txtUsrID = field(1395, 45, 2445, 270);
    txtPasswd = field(1395, 360, 2445, 270);
    txtHost = field(1395, 670, 2445, 270);
    cmdOK = button(QStringLiteral("ＯＫ"), 4050, 45, 1185, 420);
    cmdCancel = button(QStringLiteral("キャンセル"), 4050, 585, 1185, 420);
    lblUsrID = label(QStringLiteral("ユーザＩＤ："), 135, 100, 1080, 180);
    lblPasswd[0] = label(QStringLiteral("パスワード："), 135, 420, 1080, 180);
    lblMessage = label(QString(), 0, 1080, 5345, 225);
    lblPasswd[1] = label(QStringLiteral("ホスト文字列："), 135, 720, 1260, 180);

    txtUsrID->setObjectName(QStringLiteral("txtUsrID"));
    txtPasswd->setObjectName(QStringLiteral("txtPasswd"));
    txtHost->setObjectName(QStringLiteral("txtHost"));
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    lblMessage->setObjectName(QStringLiteral("lblMessage"));

    // The password shows one "*" per character and takes no input method.
    txtPasswd->setEchoMode(QLineEdit::Password);
    txtPasswd->setStyleSheet(QStringLiteral("QLineEdit { lineedit-password-character: 42; }"));
    txtPasswd->setAttribute(Qt::WA_InputMethodEnabled, false);
    // User ID and host string: the input method off, plain Latin input.
    for (QLineEdit* f : {txtUsrID, txtHost})
        f->setInputMethodHints(Qt::ImhLatinOnly | Qt::ImhNoPredictiveText | Qt::ImhNoAutoUppercase);

    setTabOrder(txtUsrID, txtPasswd);
    setTabOrder(txtPasswd, txtHost);
    setTabOrder(txtHost, cmdOK);
    setTabOrder(cmdOK, cmdCancel);
    txtUsrID->setFocus(Qt::OtherFocusReason);

    connect(cmdOK, &QPushButton::clicked, this, &fdlgOraLogon::cmdOk_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &fdlgOraLogon::cmdCancel_Click);
}

fdlgOraLogon::~fdlgOraLogon() = default;

// The load handler runs as the dialog is about to be shown the first time:
// it is placed and zooms open before it becomes visible.
void fdlgOraLogon::setVisible(bool visible) {
    if (visible && !m_loaded) {
        m_loaded = true;
        Form_Load();
    }
    QDialog::setVisible(visible);
}

void fdlgOraLogon::Form_Load() {
    // Opens from a rectangle mirrored off the dialog's own, shifted up left.
    platform::openCentred(this, parentWidget() ? parentWidget()->window() : nullptr,
                          platform::OpeningZoom::fromMirror(-600, -350));
    basEXPLAIN::LogonOK = basEXPLAIN::False;
    setWindowTitle(platform::exeName());
}

void fdlgOraLogon::Form_QueryUnload() {
    platform::ZoomToPointer(this);
}

void fdlgOraLogon::done(int result) {
    // Every way out (OK, cancel, Esc, the close box) plays the closing
    // animation once and is never refused.
    if (!m_unloading && isVisible()) {
        m_unloading = true;
        Form_QueryUnload();
    }
    QDialog::done(result);
}

void fdlgOraLogon::keyPressEvent(QKeyEvent* event) {
    // Esc presses the cancel button; Enter presses the button that has the
    // focus (the fields handle their own Enter).
    if (event->key() == Qt::Key_Escape) {
        cmdCancel->click();
        return;
    }
    if (platform::handleButtonDialogKey(this, event))
        return;
    QDialog::keyPressEvent(event);
}

bool fdlgOraLogon::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        // The fields react to Enter and the Down arrow, whatever the shift
        // state, and pass the key on as usual.
        const int key = keyCode(static_cast<QKeyEvent*>(event));
        if (watched == txtUsrID)
            txtUsrID_KeyDown(key);
        else if (watched == txtPasswd)
            txtPasswd_KeyDown(key);
        else if (watched == txtHost)
            txtHost_KeyDown(key);
    } else if (event->type() == QEvent::FocusIn) {
        if (watched == txtUsrID || watched == txtPasswd || watched == txtHost)
            GotFocus(static_cast<QLineEdit*>(watched));
    }
    return QDialog::eventFilter(watched, event);
}

void fdlgOraLogon::txtUsrID_KeyDown(int key) {
    if (key == kKeyEnter || key == kKeyDown)
        txtPasswd->setFocus(Qt::OtherFocusReason);
}

void fdlgOraLogon::txtPasswd_KeyDown(int key) {
    if (key == kKeyEnter || key == kKeyDown)
        txtHost->setFocus(Qt::OtherFocusReason);
}

void fdlgOraLogon::txtHost_KeyDown(int key) {
    if (key == kKeyEnter)
        cmdOk_Click();
    else if (key == kKeyDown)
        cmdOK->setFocus(Qt::OtherFocusReason);
}

void fdlgOraLogon::GotFocus(QLineEdit* field) {
    field->selectAll();
}

void fdlgOraLogon::cmdOk_Click() {
    using namespace basEXPLAIN;
    Logon::resetServerErrors();

    bool failed = false;
    QString failure;
    try {
        LogonOK = False;
        if (txtUsrID->text().isEmpty()) {
            platform::MsgBox(QStringLiteral("ユーザ名を指定してください。"),
                             platform::vbExclamation, platform::exeName());
            txtUsrID->setFocus(Qt::OtherFocusReason);
            return;
        }
        LogonUser = Logon::trimBlanks(txtUsrID->text());
        LogonHost = Logon::trimBlanks(txtHost->text());
        const QString host = LogonHost;

        setCursor(Qt::WaitCursor);
        lblMessage->setText(QStringLiteral("Oracleに接続中･･････"));
        repaint();  // the text must show during the blocking open

        {
            // The password exists only inside this connect string, for the
            // one call.
            QString connect = Logon::connectString(LogonUser, Logon::trimBlanks(txtPasswd->text()));
            try {
                Logon::open(host, connect);
            } catch (...) {
                connect.fill(QChar(' '));
                throw;
            }
            connect.fill(QChar(' '));
        }
    } catch (...) {
        failed = true;
        failure = Logon::failureText(std::current_exception());
    }
    if (failed)
        platform::MsgBox(failure, platform::vbExclamation, platform::exeName());

    // Finish: the message line and pointer back; close on success, else
    // back to the user ID for another try.
    lblMessage->clear();
    unsetCursor();
    if (LogonOK == True) {
        accept();
    } else {
        txtUsrID->setFocus(Qt::OtherFocusReason);
        GotFocus(txtUsrID);  // also when the focus never left it
    }
}

void fdlgOraLogon::cmdCancel_Click() {
    reject();
}
