#pragma once
// What the desktop sees of the running program: its name and window class,
// its desktop entry, its version and the icon of every window and message box.

namespace shell {

// Sets them on the application; call once after creating QApplication and
// before the first window.
void applyAppIdentity();

}  // namespace shell
