#pragma once
// The session component on an Oracle server, through Qt SQL: Qt's OCI driver
// when installed, else Qt's ODBC driver over unixODBC.

#include "OraObjects.h"
#include "Routing.h"

namespace oraobj {

// What this machine offers now: the Qt driver plugins and unixODBC's data
// sources and drivers.
ServerEnvironment currentServerEnvironment();

// Opens the server named by `host` as `user` with `password`. The password is
// passed to the driver's open only; nothing keeps it. Raises OraError with the
// server's message and code, or naming the host and what to install when no
// driver can reach it.
std::shared_ptr<OraDatabase> openServerDatabase(const QString& host, const QString& user,
                                                const QString& password);

// The connection name of an open server database, for inspection by tests;
// empty for another kind of database or after Close.
QString serverConnectionName(const OraDatabase& database);

}  // namespace oraobj
