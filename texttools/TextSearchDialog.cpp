#include "TextSearchDialog.h"

#include "ColorRef.h"
#include "ColorRichSearch.h"
#include "DialogKeys.h"
#include "Fonts.h"
#include "MsgBox.h"
#include "RichTextBox.h"
#include "Twips.h"
#include "WindowAnim.h"

#include <QCloseEvent>
#include <QCursor>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>

frmSeach::frmSeach(RichTextBox& target, QWidget* mainWindow)
    : QDialog(mainWindow, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                              Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      m_target(target),
      m_main(mainWindow) {
    using platform::twipsRect;
    setWindowTitle(QStringLiteral("文字列検索"));
    setModal(true);
    setFont(platform::gothicFont(platform::proportionalGothic()));
    setFixedSize(platform::twipsToPixels(3135), platform::twipsToPixels(1140));
    setSizeGripEnabled(false);

    Label2 = new QLabel(QStringLiteral("検索文字列"), this);
    Label2->setGeometry(twipsRect(120, 120, 975, 255));

    Text1 = new QLineEdit(QStringLiteral("FULL"), this);
    Text1->setGeometry(twipsRect(120, 360, 2295, 300));
    Text1->installEventFilter(this);

    Label3 = new QLabel(QStringLiteral("表示色"), this);
    Label3->setGeometry(twipsRect(2400, 120, 735, 255));

    Label1 = new QLabel(this);
    Label1->setGeometry(twipsRect(2400, 360, 615, 300));
    Label1->setAutoFillBackground(true);
    Label1->setCursor(Qt::PointingHandCursor);
    Label1->installEventFilter(this);
    setSwatchColor(255);

    Command1 = new QPushButton(QStringLiteral("検 索"), this);
    Command1->setGeometry(twipsRect(120, 720, 2895, 375));
    // Enter in the search field does not press the button by itself.
    Command1->setAutoDefault(false);
    Command1->setDefault(false);
    connect(Command1, &QPushButton::clicked, this, &frmSeach::Command1_Click);

    // Tab order: the search field first, so it has the focus on opening.
    setTabOrder(Text1, Command1);
    Text1->setFocus();

    Form_Load();
}

frmSeach::~frmSeach() = default;

void frmSeach::Form_Load() {
    const QPoint pointer = platform::cursorPos();
    platform::openCentred(this, m_main, platform::OpeningZoom::fromPointer(pointer));
}

void frmSeach::Form_QueryUnload() {
    platform::ZoomToPointer(this);
}

void frmSeach::closeEvent(QCloseEvent* event) {
    Form_QueryUnload();
    QDialog::closeEvent(event);
    // Closing is never refused.
    event->accept();
}

void frmSeach::keyPressEvent(QKeyEvent* event) {
    // No cancel button: Escape does not close the window, and Enter
    // presses the focused button.
    if (platform::handleButtonDialogKey(this, event))
        return;
    QDialog::keyPressEvent(event);
}

bool frmSeach::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Text1 && event->type() == QEvent::FocusIn) {
        Text1_GotFocus();
    } else if (watched == Label1 && event->type() == QEvent::MouseButtonRelease) {
        auto* me = static_cast<QMouseEvent*>(event);
        if (me->button() == Qt::LeftButton && Label1->rect().contains(me->position().toPoint())) {
            Label1_Click();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void frmSeach::Text1_GotFocus() {
    // Typing replaces the whole search string.
    Text1->setSelection(0, static_cast<int>(Text1->text().size()));
}

void frmSeach::setSwatchColor(unsigned colorRef) {
    m_color = colorRef & 0xFFFFFFu;
    QPalette pal = Label1->palette();
    pal.setColor(QPalette::Window, platform::fromColorRef(m_color));
    Label1->setPalette(pal);
}

void frmSeach::Label1_Click() {
    // The chooser opens on the swatch colour; a cancelled choice hands it
    // back unchanged, so the swatch keeps its colour.
    unsigned chosen = m_color;
    platform::ChooseColor(m_color, chosen, this);
    setSwatchColor(chosen);
}

void frmSeach::Command1_Click() {
    const QString what = Text1->text();
    const QString colorText = QString::number(m_color);
    try {
        ColorRichSearch::ColorAllMatches(m_target, what, colorText, 0);
    } catch (...) {
        // The search reports nothing; a failure only leaves the pane as the
        // highlighter left it, and the dialog still closes.
    }
    close();
}

namespace texttools {

void ClearHighlight(RichTextBox& txtResults, const RichTextBox& snapshot) {
    txtResults.setTextRTF(snapshot.TextRTF());
}

}  // namespace texttools
