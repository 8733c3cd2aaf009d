#pragma once
// Plain text between the clipboard and the main window's panes. Only text
// travels: the plan pane's colours never reach the clipboard, and a paste
// brings no formatting.
//
// A clipboard that is not available (null) is left alone and changes
// neither pane; the commands report nothing.

class QClipboard;
class RichTextBox;

namespace ClipboardCommands {

// Empties the clipboard, then puts the pane's plain text on it (lines
// joined by CR LF). The pane is not changed. Returns false when the
// clipboard could not be used.
bool CopyPane(const RichTextBox& pane, QClipboard* clipboard);

// Replaces the whole text of the SQL pane with the clipboard's text (the
// empty text when it holds none, for example only a picture) and gives the
// pane the focus. The clipboard is not changed. Returns false, with the
// pane untouched, when the clipboard could not be read.
bool PasteIntoPane(RichTextBox& txtSQL, QClipboard* clipboard);

}  // namespace ClipboardCommands
