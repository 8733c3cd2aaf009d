#pragma once
// Keys of the dialogs that have no cancel button: Escape does nothing, and
// Enter presses the button that has the focus (in a text field it does
// nothing), as the window system does for buttons.

class QKeyEvent;
class QWidget;

namespace platform {

// Handles Escape and Enter for `dialog`; returns true when the key was
// consumed, false when the dialog should handle it as usual.
bool handleButtonDialogKey(QWidget* dialog, QKeyEvent* event);

}  // namespace platform
