#pragma once
// The text that reports a failure to the user, in the "SQLｴﾗｰ" box and in
// the logon dialog's message box.

#include <QString>
#include <exception>

namespace oraobj {

// A failure of the component gives its own description (for a server
// error, the text the server sent); any other exception its message; a
// failure that is no exception a fixed text. An empty pointer counts as
// the last.
QString failureText(const std::exception_ptr& failure);

}  // namespace oraobj
