// The main window itself: its controls, menus and status bar, the start-up
// and closing sequences, the layout and splitter, and its own commands
// (clear, exit, about).
#include "MainWindow.h"

#include "AboutBox.h"
#include "AppIcon.h"
#include "BusyWindow.h"
#include "ColorRef.h"
#include "Fonts.h"
#include "LineControl.h"
#include "RichTextBox.h"
#include "Twips.h"
#include "WindowAnim.h"
#include "WindowFrame.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPushButton>
#include <QStatusBar>
#include <algorithm>
#include <cmath>
#include <exception>

using platform::pixelsToTwips;
using platform::twipsRect;
using platform::twipsToPixels;

namespace {

// Runs one handler so that nothing it throws leaves the slot or event
// handler it was called from; the window stays usable.
template <class F>
void runGuarded(const char* name, F&& f) noexcept {
    try {
        f();
    } catch (const std::exception& e) {
        qWarning("%s: %s", name, e.what());
    } catch (...) {
        qWarning("%s: unexpected failure", name);
    }
}

QRect pixels(const shell::TwipsRect& r) {
    return twipsRect(r.left, r.top, r.width, r.height);
}

// The smallest whole pixel count that is at least `twips`, so that a window
// set to a minimum is not found below it again on the next resize.
int pixelsAtLeast(double twips) {
    return static_cast<int>(std::ceil(twips / platform::kTwipsPerPixel));
}

}  // namespace

frmEXPLAIN::frmEXPLAIN(QWidget* parent) : QMainWindow(parent) {
    setObjectName(QStringLiteral("frmEXPLAIN"));
    setWindowTitle(QStringLiteral("Quorvel"));
    setWindowIcon(shell::appIcon());

    m_layout = shell::designLayout();
    createMenus();
    createControls();
    createStatusBar();
    applyLayout();

    // Design client area 8205 x 6330 twips below the menu bar.
    resize(twipsToPixels(8205), twipsToPixels(6330) + menuBar()->sizeHint().height());
}

frmEXPLAIN::~frmEXPLAIN() = default;

// ---------------------------------------------------------------- controls

// The controls are created bottom first: each one lies over those made
// before it.
void frmEXPLAIN::createControls() {
    m_client = new QWidget(this);
    m_client->setObjectName(QStringLiteral("client"));
    setCentralWidget(m_client);

    // The grab area lies underneath everything, so only the gap between the
    // panes can be pointed at.
    imgSplitter = new QWidget(m_client);
    imgSplitter->setObjectName(QStringLiteral("imgSplitter"));
    imgSplitter->setCursor(Qt::SplitHCursor);
    imgSplitter->setFocusPolicy(Qt::NoFocus);
    imgSplitter->installEventFilter(this);

    createTitles();
    createPanes();
    createButtons();
    createHiddenControls();

    setTabOrder(txtSQL, cmdEXPAIN);
    setTabOrder(cmdEXPAIN, txtResults);
    setTabOrder(txtResults, Command1);
    setTabOrder(Command1, cmdCr);
    txtSQL->setFocus();
}

// The title strip with the two pane titles and the etched rule along its
// top edge, which every layout stretches.
void frmEXPLAIN::createTitles() {
    picTitles = new QWidget(m_client);
    picTitles->setObjectName(QStringLiteral("picTitles"));
    picTitles->setGeometry(twipsRect(0, 0, 8205, 420));

    const QString titles[2] = {QStringLiteral(" SQLソース"), QStringLiteral(" 実行計画")};
    const char* titleNames[2] = {"lblTitle(0)", "lblTitle(1)"};
    for (int i = 0; i < 2; ++i) {
        QLabel* t = new QLabel(titles[i], picTitles);
        t->setObjectName(QString::fromLatin1(titleNames[i]));
        t->setAutoFillBackground(true);
        QPalette pal = t->palette();
        pal.setColor(QPalette::Window, platform::fromColorRef(0x00C0FFFFu));
        t->setPalette(pal);
        t->setFrameStyle(QFrame::Box | QFrame::Plain);
        t->setLineWidth(1);
        t->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        lblTitle[i] = t;
    }

    Line1 = new LineControl(picTitles);
    Line1->setObjectName(QStringLiteral("Line1"));
    Line1->setBorderColor(platform::systemColor(0x80000010u));
    Line1->setLine(0, 0, 8205, 0);
    Line2 = new LineControl(picTitles);
    Line2->setObjectName(QStringLiteral("Line2"));
    Line2->setBorderColor(platform::systemColor(0x80000014u));
    Line2->setLine(0, 15, 8205, 15);
}

void frmEXPLAIN::createPanes() {
    const QFont paneFont = platform::gothicFont(platform::proportionalGothic(), 9);
    auto makePane = [&](const char* name) {
        auto* box = new RichTextBox(m_client);
        box->setObjectName(QString::fromLatin1(name));
        box->setFont(paneFont);
        box->setTabChangesFocus(true);
        return box;
    };
    txtSQL = makePane("txtSQL");
    txtResults = makePane("txtResults");
    // A plan is an indented tree, one step a line: long lines scroll
    // sideways rather than wrap under the indentation of the next step.
    txtResults->setLineWrapMode(QTextEdit::NoWrap);
}

// The three buttons and the rule above the status bar.
void frmEXPLAIN::createButtons() {
    auto makeButton = [&](const QString& caption, const QString& tip, const char* name) {
        auto* b = new QPushButton(caption, m_client);
        b->setObjectName(QString::fromLatin1(name));
        b->setToolTip(tip);
        // Enter presses the button that has the focus.
        b->setAutoDefault(true);
        return b;
    };
    cmdEXPAIN = makeButton(QStringLiteral("実　行"), QStringLiteral("解析を実行"), "cmdEXPAIN");
    Command1 = makeButton(QStringLiteral("終 了"), QStringLiteral("Quorvelの終了"), "Command1");
    cmdCr = makeButton(QStringLiteral("クリア"), QStringLiteral("画面のｸﾘｱ"), "cmdCr");
    bind(cmdEXPAIN, &frmEXPLAIN::cmdEXPAIN_Click, "cmdEXPAIN_Click");
    bind(Command1, &frmEXPLAIN::Command1_Click, "Command1_Click");
    bind(cmdCr, &frmEXPLAIN::cmdCr_Click, "cmdCr_Click");

    Label1 = new QLabel(m_client);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setFrameStyle(QFrame::Box | QFrame::Plain);
    Label1->setLineWidth(1);
}

// The hidden copy of the plan pane, and the bar that follows the pointer
// during a splitter drag; neither is shown at first.
void frmEXPLAIN::createHiddenControls() {
    RichTextBox1 = new RichTextBox(m_client);
    RichTextBox1->setObjectName(QStringLiteral("RichTextBox1"));
    RichTextBox1->setFont(platform::gothicFont(platform::proportionalGothic(), 9));
    RichTextBox1->setGeometry(twipsRect(120, 480, 330, 360));
    RichTextBox1->setFocusPolicy(Qt::NoFocus);
    RichTextBox1->hide();

    picSplitter = new QWidget(m_client);
    picSplitter->setObjectName(QStringLiteral("picSplitter"));
    picSplitter->setAutoFillBackground(true);
    QPalette barPal = picSplitter->palette();
    barPal.setColor(QPalette::Window, platform::fromColorRef(0x808080u));
    picSplitter->setPalette(barPal);
    picSplitter->setFocusPolicy(Qt::NoFocus);
    m_dragBar = {8160, 480, 72, 4800};
    picSplitter->setGeometry(pixels(m_dragBar));
    picSplitter->hide();
}

void frmEXPLAIN::createMenus() {
    QMenuBar* bar = menuBar();
    auto menu = [&](const QString& caption, const char* name) {
        QMenu* m = bar->addMenu(caption);
        m->setObjectName(QString::fromLatin1(name));
        return m;
    };
    auto submenu = [&](QMenu* owner, const QString& caption, const char* name) {
        QMenu* m = owner->addMenu(caption);
        m->setObjectName(QString::fromLatin1(name));
        return m;
    };
    auto entry = [&](QMenu* m, const QString& caption, const char* name) {
        QAction* a = m->addAction(caption);
        a->setObjectName(QString::fromLatin1(name));
        return a;
    };
    int sep = 0;
    auto separator = [&](QMenu* m, const char* name) {
        QAction* a = m->addSeparator();
        a->setObjectName(QString::fromLatin1(name));
        m_separators[sep++] = a;
    };

    mnuL = menu(QStringLiteral("接続(&L)"), "mnuL");
    mnuDBLogIn = entry(mnuL, QStringLiteral("DB接続(&L)"), "mnuDBLogIn");
    mnuCut = entry(mnuL, QStringLiteral("DB切断(&C)"), "mnuCut");
    separator(mnuL, "a");
    mnuEn = entry(mnuL, QStringLiteral("終了(&X)"), "mnuEn");

    mnuE = menu(QStringLiteral("編集(&E)"), "mnuE");
    mnuPE = submenu(mnuE, QStringLiteral("PLAN_TABLE(&P)"), "mnuPE");
    mnuPCreate = entry(mnuPE, QStringLiteral("作成(&C)"), "mnuPCreate");
    mnuPDrop = entry(mnuPE, QStringLiteral("削除(&D)"), "mnuPDrop");
    separator(mnuE, "f");
    mnuPractice = entry(mnuE, QStringLiteral("実行(&P)"), "mnuPractice");
    separator(mnuE, "e");
    mnuCBSI = entry(mnuE, QStringLiteral("貼り付け(&P)"), "mnuCBSI");
    separator(mnuE, "c");
    mnuCBSC = entry(mnuE, QStringLiteral("SQLｿｰｽ・ｺﾋﾟｰ(&S)"), "mnuCBSC");
    mnuCBPC = entry(mnuE, QStringLiteral("実行計画・ｺﾋﾟｰ(&P)"), "mnuCBPC");
    separator(mnuE, "b");
    mnuCr = entry(mnuE, QStringLiteral("画面ｸﾘｱ(&C)"), "mnuCr");

    ken = menu(QStringLiteral("検索(&S)"), "ken");
    mnuStrken = entry(ken, QStringLiteral("文字列検索(&S)"), "mnuStrken");
    mnuStrkenD = entry(ken, QStringLiteral("強調表示解除(&D)"), "mnuStrkenD");
    separator(ken, "g");
    mnuMainkey = entry(ken, QStringLiteral("主ｷｰ検索(&M)"), "mnuMainkey");

    mnuH = menu(QStringLiteral("ヘルプ(&H)"), "mnuH");
    mnuHelp = entry(mnuH, QStringLiteral("ヘルプ(&H)"), "mnuHelp");
    mnuVer = entry(mnuH, QStringLiteral("ﾊﾞｰｼﾞｮﾝ情報(&V)"), "mnuVer");

    // The disconnected state; the help entry is never enabled.
    mnuCut->setEnabled(false);
    mnuPCreate->setEnabled(false);
    mnuPDrop->setEnabled(false);
    mnuHelp->setEnabled(false);

    bind(mnuDBLogIn, &frmEXPLAIN::mnuDBLogIn_Click, "mnuDBLogIn_Click");
    bind(mnuCut, &frmEXPLAIN::mnuCut_Click, "mnuCut_Click");
    bind(mnuEn, &frmEXPLAIN::mnuEn_Click, "mnuEn_Click");
    bind(mnuPCreate, &frmEXPLAIN::mnuPCreate_Click, "mnuPCreate_Click");
    bind(mnuPDrop, &frmEXPLAIN::mnuPDrop_Click, "mnuPDrop_Click");
    bind(mnuPractice, &frmEXPLAIN::mnuPractice_Click, "mnuPractice_Click");
    bind(mnuCBSI, &frmEXPLAIN::mnuCBSI_Click, "mnuCBSI_Click");
    bind(mnuCBSC, &frmEXPLAIN::mnuCBSC_Click, "mnuCBSC_Click");
    bind(mnuCBPC, &frmEXPLAIN::mnuCBPC_Click, "mnuCBPC_Click");
    bind(mnuCr, &frmEXPLAIN::mnuCr_Click, "mnuCr_Click");
    bind(mnuStrken, &frmEXPLAIN::mnuStrken_Click, "mnuStrken_Click");
    bind(mnuStrkenD, &frmEXPLAIN::mnuStrkenD_Click, "mnuStrkenD_Click");
    bind(mnuMainkey, &frmEXPLAIN::mnuMainkey_Click, "mnuMainkey_Click");
    bind(mnuVer, &frmEXPLAIN::mnuVer_Click, "mnuVer_Click");
}

void frmEXPLAIN::createStatusBar() {
    sbStatusBar = new QStatusBar(this);
    sbStatusBar->setObjectName(QStringLiteral("sbStatusBar"));
    // The design height; the layout reads whatever the bar really has.
    sbStatusBar->setFixedHeight(twipsToPixels(270));
    setStatusBar(sbStatusBar);

    struct Panel {
        const char* text;
        const char* tip;
        double width;
        double minimum;
        const char* longest;  // the longest text the panel shows
    };
    // The first three panels keep their design widths, widened where this
    // desktop's font needs more for their texts; the logon panel takes
    // whatever the bar has left, never less than its minimum.
    const Panel panels[4] = {
        {"- DB未接続 -", "DataBaseの接続状態を表示", 1200, 20, "- DB未接続 -"},
        {"", "PLAN_TABLEの有無を表示", 1440, 1440, "- PLAN_TABLE有 -"},
        {"", "", 900, 900, "解析中･･･"},
        {"", "ﾛｸﾞｲﾝ情報を表示", 4335, 1440, ""},
    };
    for (int i = 0; i < 4; ++i) {
        auto* label = new QLabel(QString::fromUtf8(panels[i].text), sbStatusBar);
        label->setObjectName(QStringLiteral("sbStatusBar.Panels(%1)").arg(i + 1));
        label->setToolTip(QString::fromUtf8(panels[i].tip));
        label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        label->setTextFormat(Qt::PlainText);
        if (i < 3) {
            const int textWidth =
                label->fontMetrics().horizontalAdvance(QString::fromUtf8(panels[i].longest)) +
                2 * label->frameWidth() + label->fontMetrics().averageCharWidth();
            label->setFixedWidth(std::max(twipsToPixels(panels[i].width), textWidth));
            sbStatusBar->addWidget(label);
        } else {
            label->setMinimumWidth(twipsToPixels(panels[i].minimum));
            sbStatusBar->addWidget(label, 1);
        }
        m_panels[i] = label;
    }
}

void frmEXPLAIN::bind(QAction* action, void (frmEXPLAIN::*handler)(), const char* name) {
    connect(action, &QAction::triggered, this,
            [this, handler, name] { runGuarded(name, [&] { (this->*handler)(); }); });
}

void frmEXPLAIN::bind(QPushButton* button, void (frmEXPLAIN::*handler)(), const char* name) {
    connect(button, &QPushButton::clicked, this,
            [this, handler, name] { runGuarded(name, [&] { (this->*handler)(); }); });
}

// ----------------------------------------------------------- status panels

QLabel* frmEXPLAIN::panel(int index) const {
    return index >= 1 && index <= 4 ? m_panels[index - 1] : nullptr;
}

QString frmEXPLAIN::panelText(int index) const {
    QLabel* p = panel(index);
    return p ? p->text() : QString();
}

void frmEXPLAIN::setPanelText(int index, const QString& text) {
    if (QLabel* p = panel(index))
        p->setText(text);
}

// ------------------------------------------------------ start-up and close

void frmEXPLAIN::Form_Load() {
    runGuarded("Form_Load", [&] {
        const double w = pixelsToTwips(width());
        Line1->setBorderColor(platform::systemColor(0x80000010u));
        Line1->setBorderWidth(1);
        Line1->setLine(0, 0, w, 0);
        Line2->setBorderColor(platform::systemColor(0x80000014u));
        Line2->setBorderWidth(1);
        Line2->setLine(0, 15, w, 15);

        const QPoint pointer = platform::cursorPos();
        platform::openCentred(this, nullptr, platform::OpeningZoom::fromPointer(pointer));
        PlanTableState = PlanTable::FoundAtConnect;

        show();
        // Framed where it was put before anything opens over it.
        platform::awaitFramed(this);
        QApplication::processEvents();
    });

    runGuarded("mnuDBLogIn_Click", [&] { mnuDBLogIn_Click(); });
    runGuarded("getMyIPAddress", [&] { StatementId = getMyIPAddress(); });
}

void frmEXPLAIN::showEvent(QShowEvent* event) {
    // A window shown again runs its closing sequence again on its next close.
    m_closeDone = false;
    QMainWindow::showEvent(event);
}

// Every close request - the exit button, "終了(&X)", the close box, the end
// of the session - comes here. The closing sequence runs once per close,
// and the close is never refused.
void frmEXPLAIN::closeEvent(QCloseEvent* event) {
    if (m_closeRunning) {
        // A second request while the sequence (and any question it asks) is
        // under way: the running sequence closes the window when it ends.
        event->ignore();
        return;
    }
    if (!m_closeDone) {
        m_closeRunning = true;
        runGuarded("Form_QueryUnload", [&] { Form_QueryUnload(); });
        m_closeRunning = false;
        m_closeDone = true;
    }
    event->accept();
}

void frmEXPLAIN::Form_QueryUnload() {
    emit queryUnload();
    if (Connected)
        runGuarded("PlanTblCleanup",
                   [&] { PlanTblCleanup(QStringLiteral("　　　　　　　削除して終了ますか？")); });
    platform::ZoomToMirror(this);
}

// --------------------------------------------------------- own commands

void frmEXPLAIN::cmdCr_Click() {
    // setText also leaves the insertion format plain: what is typed next
    // does not take the colour of a mark.
    for (RichTextBox* box : {txtSQL, txtResults, RichTextBox1})
        box->setText(QString());
    txtSQL->SetFocus();
}

void frmEXPLAIN::mnuCr_Click() {
    cmdCr_Click();
}

void frmEXPLAIN::Command1_Click() {
    close();
}

void frmEXPLAIN::mnuEn_Click() {
    Command1_Click();
}

void frmEXPLAIN::mnuVer_Click() {
    frmVersion box(this);
    box.Form_Load();
    box.exec();
}

// ---------------------------------------------------------------- layout

// Sizes as the layout needs them, from Qt:
//  - outer width and height: frameGeometry(), the window with its frame,
//    caption and menu bar (equal to geometry() where no window manager
//    draws a frame);
//  - client height: the main window's own height() minus the top of the
//    central widget, i.e. the area below the menu bar down to the bottom
//    edge, status bar included;
//  - the title strip and the status bar: their own geometry.
shell::WindowSizes frmEXPLAIN::windowSizes() const {
    shell::WindowSizes s;
    const QRect outer = frameGeometry();
    s.outerWidth = pixelsToTwips(outer.width());
    s.outerHeight = pixelsToTwips(outer.height());
    s.clientHeight = pixelsToTwips(height() - m_client->y());
    s.titlesTop = pixelsToTwips(picTitles->y());
    s.titlesHeight = pixelsToTwips(picTitles->height());
    s.statusVisible = !sbStatusBar->isHidden();
    s.statusHeight = pixelsToTwips(sbStatusBar->height());
    return s;
}

void frmEXPLAIN::applyLayout() {
    const shell::MainLayout& l = m_layout;
    txtSQL->setGeometry(pixels(l.txtSQL));
    txtResults->setGeometry(pixels(l.txtResults));
    lblTitle[0]->setGeometry(pixels(l.lblTitle0));
    lblTitle[1]->setGeometry(pixels(l.lblTitle1));
    imgSplitter->setGeometry(pixels(l.imgSplitter));
    cmdEXPAIN->setGeometry(pixels(l.cmdEXPAIN));
    cmdCr->setGeometry(pixels(l.cmdCr));
    Command1->setGeometry(pixels(l.Command1));
    Label1->setGeometry(pixels(l.Label1));
    Line1->setX2(l.lineX2);
    Line2->setX2(l.lineX2);
}

void frmEXPLAIN::SizeControls(float x) {
    m_laidOutFrame = frameGeometry().size();
    shell::SizeControls(m_layout, x, windowSizes());
    applyLayout();
}

void frmEXPLAIN::updateMinimumSize() {
    // The smallest outer size less the frame: what Qt's own size limit,
    // which counts without the frame, must be.
    const QRect outer = frameGeometry();
    const int frameW = outer.width() - width();
    const int frameH = outer.height() - height();
    setMinimumSize(std::max(0, pixelsAtLeast(shell::kMinOuterWidth) - frameW),
                   std::max(0, pixelsAtLeast(shell::kMinOuterHeight) - frameH));
}

void frmEXPLAIN::Form_Resize() {
    if (isMinimized())
        return;
    updateMinimumSize();
    // A window made smaller than the limit by any means springs back; each
    // resize raises a further resize event that lays out again.
    if (pixelsToTwips(frameGeometry().width()) < shell::kMinOuterWidth)
        resize(pixelsAtLeast(shell::kMinOuterWidth) - (frameGeometry().width() - width()),
               height());
    if (pixelsToTwips(frameGeometry().height()) < shell::kMinOuterHeight)
        resize(width(),
               pixelsAtLeast(shell::kMinOuterHeight) - (frameGeometry().height() - height()));
    SizeControls(static_cast<float>(m_layout.imgSplitter.left));
}

// A restore from the minimised state is a resize for the layout, even when
// the size did not change meanwhile.
void frmEXPLAIN::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange && !isMinimized() && isVisible())
        runGuarded("Form_Resize", [&] { Form_Resize(); });
}

// The window manager may report the frame only after the window is shown:
// the outer size changes without a resize, and the layout, which works on
// the outer size, runs again.
void frmEXPLAIN::moveEvent(QMoveEvent* event) {
    QMainWindow::moveEvent(event);
    if (isVisible() && !isMinimized() && frameGeometry().size() != m_laidOutFrame)
        runGuarded("Form_Resize", [&] { Form_Resize(); });
}

void frmEXPLAIN::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    runGuarded("Form_Resize", [&] {
        // The title strip is docked along the top of the client area.
        picTitles->setGeometry(0, 0, width(), twipsToPixels(420));
        Form_Resize();
    });
}

// ---------------------------------------------------------------- splitter

void frmEXPLAIN::imgSplitter_MouseDown() {
    m_dragBar = shell::dragBarAtMouseDown(m_layout.imgSplitter);
    picSplitter->setGeometry(pixels(m_dragBar));
    picSplitter->raise();
    picSplitter->show();
    SplitterDragging = true;
}

void frmEXPLAIN::imgSplitter_MouseMove(double xTwips) {
    if (!SplitterDragging)
        return;
    m_dragBar.left = shell::dragBarLeft(m_layout.imgSplitter.left, xTwips,
                                        pixelsToTwips(frameGeometry().width()));
    picSplitter->move(twipsToPixels(m_dragBar.left), picSplitter->y());
}

void frmEXPLAIN::imgSplitter_MouseUp() {
    SizeControls(static_cast<float>(m_dragBar.left));
    picSplitter->hide();
    SplitterDragging = false;
}

bool frmEXPLAIN::eventFilter(QObject* watched, QEvent* event) {
    if (watched == imgSplitter) {
        switch (event->type()) {
            case QEvent::MouseButtonPress:
                runGuarded("imgSplitter_MouseDown", [&] { imgSplitter_MouseDown(); });
                return true;
            case QEvent::MouseMove: {
                const auto* me = static_cast<QMouseEvent*>(event);
                const double x = pixelsToTwips(static_cast<int>(std::floor(me->position().x())));
                runGuarded("imgSplitter_MouseMove", [&] { imgSplitter_MouseMove(x); });
                return true;
            }
            case QEvent::MouseButtonRelease:
                runGuarded("imgSplitter_MouseUp", [&] { imgSplitter_MouseUp(); });
                return true;
            default:
                break;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}
