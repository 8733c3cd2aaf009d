#pragma once
// Every message box of Quorvel goes through MsgBox, so that tests can read
// what was asked and answer it without a dialog being built.

#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

class QMessageBox;
class QWidget;

namespace platform {

// Style numbers of the window system's message boxes used by Quorvel.
enum MsgBoxStyle {
    vbOKOnly = 0,
    vbYesNo = 4,
    vbCritical = 16,
    vbQuestion = 32,
    vbExclamation = 48,
    vbInformation = 64,
};
// Answers.
enum MsgBoxResult { vbOK = 1, vbCancel = 2, vbYes = 6, vbNo = 7 };

// Shows a modal message box and returns the answer (vbOK, vbYes, vbNo...).
// An empty title shows the application's title, "Quorvel". Lines of the
// prompt may be joined by a lone CR; they are shown as separate lines.
int MsgBox(const QString& prompt, int style = vbOKOnly, const QString& title = QString());

// The seam. A handler installed here receives every message box instead of
// the real dialog and returns its answer.
using MsgBoxHandler = std::function<int(const QString& prompt, int style, const QString& title)>;
void setMsgBoxHandler(MsgBoxHandler handler);  // empty: the real dialog again

// The colour chooser: starts on `initial` (a colour reference, 0x00BBGGRR)
// and returns true with the chosen colour in `chosen`, or false when the
// user cancelled (then `chosen` is left as `initial`).
bool ChooseColor(unsigned initial, unsigned& chosen, QWidget* parent = nullptr);
using ColorHandler = std::function<bool(unsigned initial, unsigned& chosen)>;
void setColorHandler(ColorHandler handler);  // empty: the real chooser again

// Builds the real QMessageBox for a style (exposed for tests of the mapping;
// the caller owns the box).
QMessageBox* buildMessageBox(const QString& prompt, int style, const QString& title,
                             QWidget* parent = nullptr);

// The application's title and the executable's name (file name without its
// extension).
QString appTitle();
QString exeName();

}  // namespace platform
