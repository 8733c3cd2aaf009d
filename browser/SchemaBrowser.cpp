#include "SchemaBrowser.h"

#include "DialogKeys.h"
#include "FailureText.h"
#include "Fonts.h"
#include "LogonState.h"
#include "MainkeySql.h"
#include "MsgBox.h"
#include "Twips.h"
#include "WindowAnim.h"

#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <optional>

namespace {

const QString kBusy = QStringLiteral("検索中･･･");
// Selecting an entry of an empty list fails like an invalid property value.
const QString kInvalidProperty = QStringLiteral("プロパティの値が不正です。");

}  // namespace

// ---------------------------------------------------------------------------

frm_mainkey::frm_mainkey(QWidget* mainWindow, std::function<void()> connectCommand)
    : QDialog(mainWindow, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                              Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      m_main(mainWindow),
      m_connect(std::move(connectCommand)) {
    using platform::twipsRect;
    using platform::twipsToPixels;
    setWindowTitle(QStringLiteral("主ｷｰ検索"));
    setModal(true);
    setFont(platform::gothicFont(platform::proportionalGothic()));

    // Menu bar: "検索(&S)" with its entries, and a second top-level "終了(&X)".
    menuBar = new QMenuBar(this);
    menuBar->setNativeMenuBar(false);
    mnuSearch = menuBar->addMenu(QStringLiteral("検索(&S)"));
    mnuAllTebleSearch = mnuSearch->addAction(QStringLiteral("全ﾃｰﾌﾞﾙ検索(&A)"));
    mnuMeinkeySearch = mnuSearch->addAction(QStringLiteral("主ｷｰ検索(&M)"));
    mnuSearch->addSeparator();
    mnuExit = mnuSearch->addAction(QStringLiteral("終了(&X)"));
    munE = menuBar->addAction(QStringLiteral("終了(&X)"));
    connect(mnuAllTebleSearch, &QAction::triggered, this, &frm_mainkey::mnuAllTebleSearch_Click);
    connect(mnuMeinkeySearch, &QAction::triggered, this, &frm_mainkey::mnuMeinkeySearch_Click);
    connect(mnuExit, &QAction::triggered, this, &frm_mainkey::mnuExit_Click);
    connect(munE, &QAction::triggered, this, &frm_mainkey::munE_Click);

    // The client area lies below the menu bar; the window cannot be resized.
    const int menuHeight = menuBar->sizeHint().height();
    const QSize clientSize(twipsToPixels(3885), twipsToPixels(3660));
    menuBar->setGeometry(0, 0, clientSize.width(), menuHeight);
    client = new QWidget(this);
    client->setGeometry(QRect(QPoint(0, menuHeight), clientSize));
    setFixedSize(clientSize.width(), clientSize.height() + menuHeight);
    setSizeGripEnabled(false);

    Label2 = new QLabel(QStringLiteral("ﾃｰﾌﾞﾙ名 ："), client);
    Label2->setGeometry(twipsRect(120, 160, 975, 255));

    cmbTableList = new QComboBox(client);
    cmbTableList->setEditable(true);
    cmbTableList->setInsertPolicy(QComboBox::NoInsert);
    cmbTableList->setDuplicatesEnabled(true);
    cmbTableList->setGeometry(twipsRect(960, 120, 2775, 300));

    cmdAllTeble = new QPushButton(QStringLiteral("全ﾃｰﾌﾞﾙ検索"), client);
    cmdAllTeble->setGeometry(twipsRect(120, 480, 1215, 420));
    cmdAllTeble->setAutoDefault(false);
    connect(cmdAllTeble, &QPushButton::clicked, this, &frm_mainkey::cmdAllTeble_Click);

    cmdMainkey = new QPushButton(QStringLiteral("主ｷｰ検索"), client);
    cmdMainkey->setGeometry(twipsRect(1440, 480, 2295, 420));
    cmdMainkey->setAutoDefault(false);
    connect(cmdMainkey, &QPushButton::clicked, this, &frm_mainkey::cmdMainkey_Click);

    Frame1 = new QGroupBox(QStringLiteral("主ｷｰ一覧"), client);
    Frame1->setGeometry(twipsRect(120, 960, 3615, 2415));

    Text2 = new MultiLineTextBox(Frame1);
    Text2->setGeometry(twipsRect(120, 240, 3375, 2055));

    Label1 = new QLabel(client);
    Label1->setGeometry(twipsRect(120, 3390, 3615, 255));

    // Tab order: name field (focused on opening), the two buttons, the result.
    cmbTableList->setFocusPolicy(Qt::StrongFocus);
    Label2->setFocusPolicy(Qt::NoFocus);
    Label1->setFocusPolicy(Qt::NoFocus);
    Frame1->setFocusPolicy(Qt::NoFocus);
    setTabOrder(cmbTableList, cmdAllTeble);
    setTabOrder(cmdAllTeble, cmdMainkey);
    setTabOrder(cmdMainkey, Text2);
    cmbTableList->setFocus();

    Form_Load();
}

frm_mainkey::~frm_mainkey() = default;

void frm_mainkey::Form_Load() {
    const QPoint pointer = platform::cursorPos();
    platform::openCentred(this, m_main, platform::OpeningZoom::fromPointer(pointer));
    platform::DrawEtchedTopLine(client);
}

void frm_mainkey::Form_QueryUnload() {
    platform::ZoomToPointer(this);
}

void frm_mainkey::closeEvent(QCloseEvent* event) {
    Form_QueryUnload();
    QDialog::closeEvent(event);
    event->accept();  // closing is never refused
}

void frm_mainkey::keyPressEvent(QKeyEvent* event) {
    // No cancel button: Escape does not close the window, and Enter
    // presses the focused button.
    if (platform::handleButtonDialogKey(this, event))
        return;
    QDialog::keyPressEvent(event);
}

void frm_mainkey::mnuMeinkeySearch_Click() {
    cmdMainkey_Click();
}
void frm_mainkey::mnuAllTebleSearch_Click() {
    cmdAllTeble_Click();
}
void frm_mainkey::mnuExit_Click() {
    close();
}
void frm_mainkey::munE_Click() {
    close();
}

bool frm_mainkey::connectedOrLogon() {
    if (basEXPLAIN::OraDB)
        return true;
    // Not connected: only the logon runs; the user repeats the request.
    try {
        if (m_connect)
            m_connect();
    } catch (...) {
        // The connect command reports its own failures.
    }
    return false;
}

void frm_mainkey::showBusy() {
    Text2->setText(kBusy);
    // One pass so the busy text is painted before the server call blocks.
    // Input is held back until the operation has ended, so a second click
    // cannot start another search in the middle of this one.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void frm_mainkey::reportFailure(const QString& description) {
    platform::MsgBox(description, platform::vbCritical, QStringLiteral("SQLｴﾗｰ"));
}

void frm_mainkey::cmdMainkey_Click() {
    if (!connectedOrLogon())
        return;
    const std::shared_ptr<oraobj::OraDatabase> db = basEXPLAIN::OraDB;
    showBusy();
    const MainkeySql::KeyLookup lookup =
        MainkeySql::lookUpPrimaryKey(*db, cmbTableList->currentText());
    if (lookup.failure) {
        reportFailure(*lookup.failure);
        Text2->setText(QString());
        return;
    }
    Text2->setText(lookup.text);
}

void frm_mainkey::cmdAllTeble_Click() {
    if (!connectedOrLogon())
        return;
    std::unique_ptr<oraobj::OraDynaset> rs;
    std::optional<QString> failure;
    try {
        const std::shared_ptr<oraobj::OraDatabase> db = basEXPLAIN::OraDB;
        showBusy();
        qint32 n = 0;
        rs = db->DbCreateDynaset(MainkeySql::allTablesSql(), 12);
        while (!rs->EOF_()) {
            // Entries of an earlier listing stay; the new names follow them.
            cmbTableList->addItem(rs->Fields(0).Value().toString());
            rs->DbMoveNext();
            ++n;
        }
        if (cmbTableList->count() < 1)
            throw oraobj::OraError(kInvalidProperty);
        // Selecting the first entry also puts it into the name field, even
        // when the entry was already selected and other text was typed since.
        cmbTableList->setCurrentIndex(0);
        cmbTableList->setEditText(cmbTableList->itemText(0));
        Label1->setText(MainkeySql::tableCountText(n));
    } catch (...) {
        failure = oraobj::failureText(std::current_exception());
    }
    if (failure)
        reportFailure(*failure);
    // The end step runs after a success and after a failure alike.
    rs.reset();
    Text2->setText(QString());
}
