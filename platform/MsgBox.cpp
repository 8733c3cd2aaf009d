#include "MsgBox.h"

#include "ColorRef.h"

#include <QApplication>
#include <QColorDialog>
#include <QFileInfo>
#include <QMessageBox>

namespace platform {
namespace {

MsgBoxHandler& msgBoxHandler() {
    static MsgBoxHandler handler;
    return handler;
}

ColorHandler& colorHandler() {
    static ColorHandler handler;
    return handler;
}

}  // namespace

QString appTitle() {
    return QStringLiteral("Quorvel");
}

QString exeName() {
    const QString path = QCoreApplication::applicationFilePath();
    if (path.isEmpty())
        return appTitle();
    return QFileInfo(path).completeBaseName();
}

QMessageBox* buildMessageBox(const QString& prompt, int style, const QString& title,
                             QWidget* parent) {
    auto* box = new QMessageBox(parent);
    // A lone CR joins the lines of a two-line prompt; Qt breaks lines at LF.
    QString text = prompt;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(QChar('\r'), QChar('\n'));
    box->setText(text);
    box->setWindowTitle(title.isEmpty() ? appTitle() : title);
    switch (style & 0xF0) {
        case vbCritical:
            box->setIcon(QMessageBox::Critical);
            break;
        case vbQuestion:
            box->setIcon(QMessageBox::Question);
            break;
        case vbExclamation:
            box->setIcon(QMessageBox::Warning);
            break;
        case vbInformation:
            box->setIcon(QMessageBox::Information);
            break;
        default:
            box->setIcon(QMessageBox::NoIcon);
    }
    if ((style & 0x0F) == vbYesNo) {
        box->setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box->setDefaultButton(QMessageBox::Yes);
    } else {
        box->setStandardButtons(QMessageBox::Ok);
        box->setDefaultButton(QMessageBox::Ok);
    }
    return box;
}

int MsgBox(const QString& prompt, int style, const QString& title) {
    if (msgBoxHandler())
        return msgBoxHandler()(prompt, style, title.isEmpty() ? appTitle() : title);

    std::unique_ptr<QMessageBox> box(
        buildMessageBox(prompt, style, title, QApplication::activeWindow()));
    const int answer = box->exec();
    switch (answer) {
        case QMessageBox::Yes:
            return vbYes;
        case QMessageBox::No:
            return vbNo;
        case QMessageBox::Ok:
            return vbOK;
        default:
            // Closing a Yes/No box by other means counts as No; an OK box is OK.
            return (style & 0x0F) == vbYesNo ? vbNo : vbOK;
    }
}

void setMsgBoxHandler(MsgBoxHandler handler) {
    msgBoxHandler() = std::move(handler);
}

bool ChooseColor(unsigned initial, unsigned& chosen, QWidget* parent) {
    chosen = initial;
    if (colorHandler()) {
        unsigned answer = initial;
        if (!colorHandler()(initial, answer))
            return false;
        chosen = answer;
        return true;
    }
    const QColor c = QColorDialog::getColor(fromColorRef(initial), parent);
    if (!c.isValid())
        return false;
    chosen = toColorRef(c);
    return true;
}

void setColorHandler(ColorHandler handler) {
    colorHandler() = std::move(handler);
}

}  // namespace platform
