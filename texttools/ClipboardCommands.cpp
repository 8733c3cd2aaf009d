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
    // Read the text before touching the pane. An empty clipboard has no
    // data at all; like one holding only a picture, it gives the empty text.
    const QMimeData* data = clipboard->mimeData(QClipboard::Clipboard);
    const QString text = (data && data->hasText()) ? data->text() : QString();
    txtSQL.setText(text);
    txtSQL.SetFocus();
    return true;
}

}  // namespace ClipboardCommands
