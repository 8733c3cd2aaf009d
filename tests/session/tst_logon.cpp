// The logon dialog on the local engine.
#include "Logon.h"
#include "LogonDialog.h"
#include "LogonState.h"
#include "MsgBoxRecorder.h"
#include "Session.h"
#include "SessionKit.h"
#include "Twips.h"

#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace basEXPLAIN;

class tst_Logon : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void layout();
    void fieldsAndButtons();
    void trimBlanks_data();
    void trimBlanks();

    void logonToSampleDatabase();
    void trimmedValues_data();
    void trimmedValues();
    void emptyUserId();
    void refusedLogon();
    void unusableFileRefused_data();
    void unusableFileRefused();
    void cancelEscAndCloseBox_data();
    void cancelEscAndCloseBox();
    void keys_data();
    void keys();
    void focusSelectsAll();
    void enterPressesTheFocusedButton_data();
    void enterPressesTheFocusedButton();
    void whatTheComponentIsGiven_data();
    void whatTheComponentIsGiven();

private:
    void showDialog();
    std::unique_ptr<fdlgOraLogon> m_dialog;
    std::unique_ptr<MsgBoxRecorder> m_boxes;
};

void tst_Logon::init() {
    reset();
    LogonUser = QStringLiteral("old user");
    LogonHost = QStringLiteral("old host");
    m_boxes = std::make_unique<MsgBoxRecorder>();
}

void tst_Logon::cleanup() {
    m_dialog.reset();
    m_boxes.reset();
    reset();
}

void tst_Logon::showDialog() {
    m_dialog = std::make_unique<fdlgOraLogon>();
    m_dialog->show();
    QVERIFY(QTest::qWaitForWindowActive(m_dialog.get()));
}

void tst_Logon::layout() {
    showDialog();
    fdlgOraLogon& d = *m_dialog;
    const struct {
        QWidget* w;
        QString text;
        QRect twips;
    } rows[] = {
        {d.lblUsrID, QStringLiteral("ユーザＩＤ："), {135, 100, 1080, 180}},
        {d.txtUsrID, QString(), {1395, 45, 2445, 270}},
        {d.lblPasswd[0], QStringLiteral("パスワード："), {135, 420, 1080, 180}},
        {d.txtPasswd, QString(), {1395, 360, 2445, 270}},
        {d.lblPasswd[1], QStringLiteral("ホスト文字列："), {135, 720, 1260, 180}},
        {d.txtHost, QString(), {1395, 670, 2445, 270}},
        {d.cmdOK, QStringLiteral("ＯＫ"), {4050, 45, 1185, 420}},
        {d.cmdCancel, QStringLiteral("キャンセル"), {4050, 585, 1185, 420}},
        {d.lblMessage, QString(), {0, 1080, 5345, 225}},
    };
    for (const auto& r : rows) {
        QCOMPARE(r.w->geometry(),
                 platform::twipsRect(r.twips.x(), r.twips.y(), r.twips.width(), r.twips.height()));
        if (auto* l = qobject_cast<QLabel*>(r.w))
            QCOMPARE(l->text(), r.text);
        else if (auto* b = qobject_cast<QPushButton*>(r.w))
            QCOMPARE(b->text(), r.text);
        else
            QCOMPARE(static_cast<QLineEdit*>(r.w)->text(), QString());
    }
    QCOMPARE(d.size(), QSize(platform::twipsToPixels(5370), platform::twipsToPixels(1410)));
    QCOMPARE(d.minimumSize(), d.maximumSize());
    QVERIFY(!(d.windowFlags() & Qt::WindowMinimizeButtonHint));
    QVERIFY(!(d.windowFlags() & Qt::WindowMaximizeButtonHint));
    QCOMPARE(d.windowTitle(), platform::exeName());
    QCOMPARE(d.font().family(), QStringLiteral("ＭＳ ゴシック"));
    QCOMPARE(d.font().pointSize(), 9);

    // Tab order: user ID, password, host, OK, cancel, and round again.
    QCOMPARE(QApplication::focusWidget(), d.txtUsrID);
    QWidget* expected[] = {d.txtPasswd, d.txtHost, d.cmdOK, d.cmdCancel, d.txtUsrID};
    for (QWidget* next : expected) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), next);
    }
}

void tst_Logon::fieldsAndButtons() {
    showDialog();
    fdlgOraLogon& d = *m_dialog;
    QCOMPARE(d.txtPasswd->echoMode(), QLineEdit::Password);
    QTest::keyClicks(d.txtPasswd, QStringLiteral("ab c"));
    QCOMPARE(d.txtPasswd->displayText(), QStringLiteral("****"));
    QVERIFY(!d.txtPasswd->testAttribute(Qt::WA_InputMethodEnabled));
    QVERIFY(d.txtUsrID->inputMethodHints() & Qt::ImhLatinOnly);
    QVERIFY(d.txtHost->inputMethodHints() & Qt::ImhLatinOnly);
    QCOMPARE(d.txtUsrID->maxLength(), 32767);  // no limit of our own
    for (QPushButton* b : {d.cmdOK, d.cmdCancel}) {
        QVERIFY(!b->isDefault());
        QVERIFY(!b->autoDefault());
    }
    QCOMPARE(LogonOK, False);
}

void tst_Logon::trimBlanks_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("trimmed");
    QTest::newRow("spaces") << "  scott  "
                            << "scott";
    QTest::newRow("ideographic spaces") << "\u3000scott\u3000 "
                                        << "scott";
    QTest::newRow("inner blanks stay") << " a b\u3000c "
                                       << "a b\u3000c";
    QTest::newRow("tabs are not blanks") << "\tscott\t"
                                         << "\tscott\t";
    QTest::newRow("blanks only") << " \u3000 "
                                 << "";
    QTest::newRow("empty") << ""
                           << "";
}

void tst_Logon::trimBlanks() {
    QFETCH(QString, text);
    QFETCH(QString, trimmed);
    QCOMPARE(Logon::trimBlanks(text), trimmed);
}

void tst_Logon::logonToSampleDatabase() {
    showDialog();
    fdlgOraLogon& d = *m_dialog;
    QTest::keyClicks(d.txtUsrID, QStringLiteral("scott"));
    QTest::keyClicks(d.txtPasswd, QStringLiteral("tiger"));
    QTest::keyClick(d.txtHost, Qt::Key_Return);  // Enter in the host field logs on

    QCOMPARE(m_boxes->count(), 0);
    QCOMPARE(LogonOK, True);
    QVERIFY(OraDB);
    QVERIFY(OraSes);
    QCOMPARE(LogonUser, QStringLiteral("scott"));
    QCOMPARE(LogonHost, QString());
    QVERIFY(!d.isVisible());
    QCOMPARE(d.result(), int(QDialog::Accepted));
    QCOMPARE(d.lblMessage->text(), QString());
    // The database is usable.
    QCOMPARE(
        OraDB->DbCreateDynaset(QStringLiteral("SELECT 1 FROM dual"), 12)->Fields(0).Value().toInt(),
        1);
}

void tst_Logon::trimmedValues_data() {
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("host");
    QTest::addColumn<QString>("logonUser");
    QTest::addColumn<QString>("logonHost");
    QTest::newRow("blanks around") << "  scott  "
                                   << "   "
                                   << "scott"
                                   << "";
    QTest::newRow("ideographic blanks") << "\u3000scott"
                                        << "\u3000"
                                        << "scott"
                                        << "";
    QTest::newRow("blank-only user") << "   "
                                     << ""
                                     << ""
                                     << "";
}

void tst_Logon::trimmedValues() {
    QFETCH(QString, user);
    QFETCH(QString, host);
    QFETCH(QString, logonUser);
    QFETCH(QString, logonHost);
    showDialog();
    m_dialog->txtUsrID->setText(user);
    m_dialog->txtPasswd->setText(QStringLiteral(" pw "));
    m_dialog->txtHost->setText(host);
    m_dialog->cmdOK->click();
    QCOMPARE(m_boxes->count(), 0);
    QCOMPARE(LogonOK, True);
    QCOMPARE(LogonUser, logonUser);
    QCOMPARE(LogonHost, logonHost);
    QCOMPARE(Logon::connectString(logonUser, Logon::trimBlanks(QStringLiteral(" pw "))),
             logonUser + "/pw");
}

void tst_Logon::emptyUserId() {
    showDialog();
    fdlgOraLogon& d = *m_dialog;
    d.txtHost->setText(QStringLiteral("/no/such/file.db"));
    d.cmdOK->setFocus();
    d.cmdOK->click();
    QCOMPARE(m_boxes->count(), 1);
    QCOMPARE(m_boxes->last().prompt, QStringLiteral("ユーザ名を指定してください。"));
    QCOMPARE(m_boxes->last().style, 48);
    QCOMPARE(m_boxes->last().title, platform::exeName());
    QVERIFY(!OraSes);  // no attempt
    QCOMPARE(LogonUser, QStringLiteral("old user"));
    QCOMPARE(LogonHost, QStringLiteral("old host"));
    QVERIFY(d.isVisible());
    QCOMPARE(QApplication::focusWidget(), d.txtUsrID);
    QCOMPARE(LogonOK, False);
}

void tst_Logon::refusedLogon() {
    QTemporaryDir dir;
    const QString missing = dir.filePath(QStringLiteral("missing.db"));
    showDialog();
    fdlgOraLogon& d = *m_dialog;
    d.txtUsrID->setText(QStringLiteral(" scott "));
    d.txtPasswd->setText(QStringLiteral("tiger"));
    d.txtHost->setText(missing);

    // While the box is up the connecting state still shows.
    std::vector<AskedBox> boxes;
    QString lineDuringBox;
    bool waitCursorDuringBox = false;
    platform::setMsgBoxHandler([&](const QString& prompt, int style, const QString& title) {
        lineDuringBox = d.lblMessage->text();
        waitCursorDuringBox =
            d.testAttribute(Qt::WA_SetCursor) && d.cursor().shape() == Qt::WaitCursor;
        boxes.push_back({prompt, style, title});
        return int(platform::vbOK);
    });
    d.cmdOK->click();

    QCOMPARE(boxes.size(), size_t(1));
    QVERIFY(OraSes);
    QVERIFY(OraSes->LastServerErr() != 0);
    QCOMPARE(boxes[0].prompt, OraSes->LastServerErrText());
    QVERIFY(boxes[0].prompt.contains(missing));
    QCOMPARE(boxes[0].style, 48);
    QCOMPARE(boxes[0].title, platform::exeName());
    QCOMPARE(lineDuringBox, QStringLiteral("Oracleに接続中･･････"));
    QVERIFY(waitCursorDuringBox);

    QVERIFY(!OraDB);
    QCOMPARE(LogonOK, False);
    QCOMPARE(LogonUser, QStringLiteral("scott"));  // written before the open
    QCOMPARE(LogonHost, missing);
    QVERIFY(d.isVisible());
    QCOMPARE(d.txtUsrID->text(), QStringLiteral(" scott "));
    QCOMPARE(d.txtPasswd->text(), QStringLiteral("tiger"));
    QCOMPARE(d.txtHost->text(), missing);
    QCOMPARE(QApplication::focusWidget(), d.txtUsrID);
    QCOMPARE(d.txtUsrID->selectedText(), QStringLiteral(" scott "));
    QCOMPARE(d.lblMessage->text(), QString());
    QVERIFY(d.cursor().shape() != Qt::WaitCursor);

    // A second try after the refusal succeeds, and the server error of the
    // first one is not reported again.
    d.txtHost->clear();
    d.cmdOK->click();
    QCOMPARE(boxes.size(), size_t(1));
    QCOMPARE(LogonOK, True);
}

void tst_Logon::unusableFileRefused_data() {
    QTest::addColumn<bool>("truncated");
    QTest::addColumn<QString>("message");
    QTest::newRow("not a database") << false << "is not an SQLite database file";
    QTest::newRow("truncated database") << true << "is damaged";
}

void tst_Logon::unusableFileRefused() {
    QFETCH(bool, truncated);
    QFETCH(QString, message);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("users.db"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    if (!truncated)
        file.write(QByteArray("ID,NAME\n1,scott\n").repeated(100));
    file.close();
    if (truncated) {
        // An empty file is an empty database: fill it, then cut it short.
        auto db = kit::open(path);
        db->DbExecuteSQL(QStringLiteral("CREATE TABLE USERS (ID NUMBER, NAME VARCHAR2(400))"));
        for (int i = 0; i < 50; ++i)
            db->DbExecuteSQL(
                QStringLiteral("INSERT INTO USERS VALUES (%1, RPAD('x', 400, 'x'))").arg(i));
        db->Close();
        QVERIFY(QFile::resize(path, QFileInfo(path).size() / 2));
    }
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray before = file.readAll();
    file.close();

    showDialog();
    m_dialog->txtUsrID->setText(QStringLiteral("scott"));
    m_dialog->txtHost->setText(path);
    m_dialog->cmdOK->click();

    // One box with the engine's message about the file; no logon; the file
    // as it was.
    QCOMPARE(m_boxes->count(), 1);
    const QString prompt = m_boxes->last().prompt;
    QVERIFY2(prompt.contains(path) && prompt.contains(message), qPrintable(prompt));
    QCOMPARE(LogonOK, False);
    QVERIFY(!OraDB);
    QVERIFY(m_dialog->isVisible());
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), before);
}

void tst_Logon::cancelEscAndCloseBox_data() {
    QTest::addColumn<QString>("how");
    QTest::newRow("cancel button") << "cancel";
    QTest::newRow("Esc in user ID") << "txtUsrID";
    QTest::newRow("Esc in password") << "txtPasswd";
    QTest::newRow("Esc in host") << "txtHost";
    QTest::newRow("close box") << "close";
}

void tst_Logon::cancelEscAndCloseBox() {
    QFETCH(QString, how);
    showDialog();
    fdlgOraLogon& d = *m_dialog;
    d.txtUsrID->setText(QStringLiteral("scott"));
    if (how == QLatin1String("cancel"))
        QTest::mouseClick(d.cmdCancel, Qt::LeftButton);
    else if (how == QLatin1String("close"))
        d.close();
    else
        QTest::keyClick(d.findChild<QLineEdit*>(how), Qt::Key_Escape);
    QVERIFY(!d.isVisible());
    QCOMPARE(d.result(), int(QDialog::Rejected));
    QCOMPARE(LogonOK, False);
    QVERIFY(!OraSes);  // no attempt
    QVERIFY(!OraDB);
    QCOMPARE(m_boxes->count(), 0);
}

void tst_Logon::keys_data() {
    QTest::addColumn<QString>("field");
    QTest::addColumn<int>("key");
    QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
    QTest::addColumn<QString>("focusAfter");
    QTest::newRow("Enter in user ID")
        << "txtUsrID" << int(Qt::Key_Return) << Qt::KeyboardModifiers() << "txtPasswd";
    QTest::newRow("keypad Enter in user ID")
        << "txtUsrID" << int(Qt::Key_Enter) << Qt::KeyboardModifiers(Qt::KeypadModifier)
        << "txtPasswd";
    QTest::newRow("Down in user ID")
        << "txtUsrID" << int(Qt::Key_Down) << Qt::KeyboardModifiers() << "txtPasswd";
    QTest::newRow("shift Enter in user ID")
        << "txtUsrID" << int(Qt::Key_Return) << Qt::KeyboardModifiers(Qt::ShiftModifier)
        << "txtPasswd";
    QTest::newRow("Enter in password")
        << "txtPasswd" << int(Qt::Key_Return) << Qt::KeyboardModifiers() << "txtHost";
    QTest::newRow("Down in password")
        << "txtPasswd" << int(Qt::Key_Down) << Qt::KeyboardModifiers() << "txtHost";
    QTest::newRow("Down in host") << "txtHost" << int(Qt::Key_Down) << Qt::KeyboardModifiers()
                                  << "cmdOK";
    QTest::newRow("Up in password")
        << "txtPasswd" << int(Qt::Key_Up) << Qt::KeyboardModifiers() << "txtPasswd";
}

void tst_Logon::keys() {
    QFETCH(QString, field);
    QFETCH(int, key);
    QFETCH(Qt::KeyboardModifiers, modifiers);
    QFETCH(QString, focusAfter);
    showDialog();
    auto* f = m_dialog->findChild<QLineEdit*>(field);
    f->setFocus();
    QSignalSpy returnPressed(f, &QLineEdit::returnPressed);
    QTest::keyClick(f, Qt::Key(key), modifiers);
    QCOMPARE(QApplication::focusWidget()->objectName(), focusAfter);
    // The key reaches the field as usual: Enter is not swallowed.
    QCOMPARE(returnPressed.count(), key == Qt::Key_Return || key == Qt::Key_Enter ? 1 : 0);
    // Moving on never starts a logon, even with an empty user ID.
    QVERIFY(m_dialog->isVisible());
    QCOMPARE(m_boxes->count(), 0);
    QVERIFY(!OraSes);
}

void tst_Logon::focusSelectsAll() {
    showDialog();
    fdlgOraLogon& d = *m_dialog;
    d.txtUsrID->setText(QStringLiteral("scott"));
    d.txtPasswd->setText(QStringLiteral("tiger"));
    d.txtHost->setText(QStringLiteral("orcl"));
    d.txtUsrID->setFocus();
    QTest::keyClick(d.txtUsrID, Qt::Key_Return);
    QCOMPARE(d.txtPasswd->selectedText(), QStringLiteral("tiger"));
    QTest::keyClick(d.txtPasswd, Qt::Key_Down);
    QCOMPARE(d.txtHost->selectedText(), QStringLiteral("orcl"));
    QTest::keyClicks(d.txtHost, QStringLiteral("x"));  // typing replaces the text
    QCOMPARE(d.txtHost->text(), QStringLiteral("x"));
}

// Enter on a focused button presses it, as Space does; Esc stays cancel.
void tst_Logon::enterPressesTheFocusedButton_data() {
    QTest::addColumn<QString>("route");  // how the button got the focus
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("result");
    QTest::newRow("Down from the host, Enter on OK")
        << "down" << int(Qt::Key_Return) << int(QDialog::Accepted);
    QTest::newRow("keypad Enter on OK") << "cmdOK" << int(Qt::Key_Enter) << int(QDialog::Accepted);
    QTest::newRow("Enter on cancel")
        << "cmdCancel" << int(Qt::Key_Return) << int(QDialog::Rejected);
    QTest::newRow("Esc on OK") << "cmdOK" << int(Qt::Key_Escape) << int(QDialog::Rejected);
}

void tst_Logon::enterPressesTheFocusedButton() {
    QFETCH(QString, route);
    QFETCH(int, key);
    QFETCH(int, result);
    showDialog();
    fdlgOraLogon& d = *m_dialog;
    QTest::keyClicks(d.txtUsrID, QStringLiteral("scott"));
    if (route == QLatin1String("down")) {
        d.txtHost->setFocus();
        QTest::keyClick(d.txtHost, Qt::Key_Down);
    } else {
        d.findChild<QPushButton*>(route)->setFocus();
    }
    QWidget* button = QApplication::focusWidget();
    QVERIFY(qobject_cast<QPushButton*>(button));
    QTest::keyClick(button, Qt::Key(key));
    QVERIFY(!d.isVisible());
    QCOMPARE(d.result(), result);
    QCOMPARE(LogonOK, result == QDialog::Accepted ? True : False);
    QCOMPARE(bool(OraSes), result == QDialog::Accepted);  // an attempt only from OK
    QCOMPARE(m_boxes->count(), 0);
}

namespace {

// Records what the dialog hands to the component, and opens the sample
// database whatever the host.
struct Recorded {
    QString progId, host, connect;
    qint32 options = 0;
};

class RecordingSession : public oraobj::OraSession {
public:
    explicit RecordingSession(Recorded& r) : m_r(r) {}
    std::shared_ptr<oraobj::OraDatabase> DbOpenDatabase(const QString& host, const QString& connect,
                                                        qint32 options) override {
        m_r.host = host;
        m_r.connect = connect;
        m_r.options = options;
        return m_real.DbOpenDatabase(QString(), QStringLiteral("scott/tiger"), options);
    }
    qint32 LastServerErr() const override { return m_real.LastServerErr(); }
    QString LastServerErrText() const override { return m_real.LastServerErrText(); }
    void LastServerErrReset() override { m_real.LastServerErrReset(); }

private:
    Recorded& m_r;
    oraobj::SessionObject m_real;
};

}  // namespace

void tst_Logon::whatTheComponentIsGiven_data() {
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("host");
    QTest::addColumn<QString>("connect");
    QTest::addColumn<QString>("hostGiven");
    QTest::newRow("as typed") << "scott"
                              << "tiger"
                              << "orcl"
                              << "scott/tiger"
                              << "orcl";
    QTest::newRow("blanks at both ends") << "  scott "
                                         << " tiger  "
                                         << "  dbhost:1521/ORCL "
                                         << "scott/tiger"
                                         << "dbhost:1521/ORCL";
    QTest::newRow("inner blanks stay") << "a b"
                                       << "p w"
                                       << "my host"
                                       << "a b/p w"
                                       << "my host";
    QTest::newRow("empty password") << "scott"
                                    << ""
                                    << ""
                                    << "scott/"
                                    << "";
    QTest::newRow("blank-only user and password") << "   "
                                                  << "\u3000"
                                                  << "\u3000orcl"
                                                  << "/"
                                                  << "orcl";
}

void tst_Logon::whatTheComponentIsGiven() {
    QFETCH(QString, user);
    QFETCH(QString, password);
    QFETCH(QString, host);
    QFETCH(QString, connect);
    QFETCH(QString, hostGiven);
    Recorded r;
    oraobj::SetSessionFactory([&r](const QString& progId) -> std::shared_ptr<oraobj::OraSession> {
        r.progId = progId;
        return std::make_shared<RecordingSession>(r);
    });
    showDialog();
    m_dialog->txtUsrID->setText(user);
    m_dialog->txtPasswd->setText(password);
    m_dialog->txtHost->setText(host);
    m_dialog->cmdOK->click();
    oraobj::SetSessionFactory({});
    QCOMPARE(m_boxes->count(), 0);
    QCOMPARE(LogonOK, True);
    QCOMPARE(r.progId, QStringLiteral("OracleInProcServer.XOraSession"));
    QCOMPARE(r.connect, connect);
    QCOMPARE(r.host, hostGiven);
    QCOMPARE(r.options, 3);
}

QTEST_MAIN(tst_Logon)
#include "tst_logon.moc"
