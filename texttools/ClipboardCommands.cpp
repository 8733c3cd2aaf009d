#include "ClipboardCommands.h"

#include "RichTextBox.h"

#include <QClipboard>
#include <QMimeData>

namespace ClipboardCommands {

bool CopyPane(const RichTextBox& pane, QClipboard* clipboard) {
    if (!clipboard)
        return false;
    const QString text = pane.PlainTextCRLF();
    clipboard->clear(QClipboard::Clipboard);
    clipboard->setText(text, QClipboard::Clipboard);
    return true;
}

bool PasteIntoPane(RichTextBox& txtSQL, QClipboard* clipboard) {
    if (!clipboard)
        return false;
    const QMimeData* data = clipboard->mimeData(QClipboard::Clipboard);
    if (!data)
        return false;
    // Read the text before touching the pane, so a failed read leaves the
    // old statement in place.
    const QString text = data->hasText() ? data->text() : QString();
    txtSQL.setText(text);
    txtSQL.SetFocus();
    return true;
}

}  // namespace ClipboardCommands
