#pragma once
// The logon itself, apart from the dialog that asks for it: trimming what
// the user typed, opening the database through the session component, and
// choosing the text that reports a refused logon.

#include <QString>
#include <exception>

namespace Logon {

inline const QString kSessionProgId = QStringLiteral("OracleInProcServer.XOraSession");

// Removes blanks at both ends: the ordinary space and also the ideographic
// space U+3000, which a Japanese user types by accident while the input
// method is on and which no user name or host string begins or ends with.
// Blanks inside stay.
QString trimBlanks(const QString& text);

// The connect string: user, "/", password, as given.
QString connectString(const QString& user, const QString& password);

// Resets the last server error of the open database and of the latest
// session, ignoring any failure (either may be missing).
void resetServerErrors();

// Creates a session object (kept in OraSes) and opens the database named by
// `host` with `connect` (kept in OraDB on success); LogonOK becomes True.
// Raises what the component raises.
void open(const QString& host, const QString& connect);

// The text that reports a refused logon: the session's server error text,
// else the database's, else the text of the failure itself.
QString failureText(const std::exception_ptr& failure);

}  // namespace Logon
