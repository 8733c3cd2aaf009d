#pragma once
// Pure rules of the session component: how a connect string splits into user
// and password, which host strings the embedded engine opens, and which Qt SQL
// driver reaches a server named by any other host string.

#include <QString>
#include <QStringList>

namespace oraobj {

struct Credentials {
    QString user;
    QString password;
};

// Splits "user/password" at the first "/"; without one, all is the user.
Credentials splitConnect(const QString& connect);

// True when the host string belongs to the embedded engine: empty (the sample
// database), an existing SQLite file, anything with the "sqlite:" prefix, or a
// file path ("/...", "./...", "../...", "~/..."), so that a missing file gets
// the engine's own message. "//host:port/service" stays a server address.
bool isLocalHost(const QString& host);

// The host string with a leading "~/" replaced by the home folder.
QString expandHome(const QString& host);

// What this machine offers for reaching a server.
struct ServerEnvironment {
    bool ociAvailable = false;   // Qt's OCI driver plugin is installed
    bool odbcAvailable = false;  // Qt's ODBC driver plugin is installed
    QStringList dataSources;     // configured ODBC data source names
    QStringList drivers;         // installed ODBC driver names
};

// How to reach the server: the Qt SQL driver and the database name to give it.
struct ServerRoute {
    QString driver;
    QString databaseName;
};

// Chooses, in order: QOCI with the host as database name; QODBC with the host
// as a configured data source name; QODBC DSN-less to an installed Oracle ODBC
// driver with the host as server. Raises OraError naming the host and what to
// install when none applies.
ServerRoute chooseServerRoute(const QString& host, const ServerEnvironment& env);

// A value for an ODBC connection string, braced when it holds a character
// that would end the attribute or open a braced value ("a;b" gives "{a;b}").
QString odbcAttributeValue(const QString& value);

// The text of that error.
QString noClientMessage(const QString& host);

// The server's error code found in a message ("ORA-00942: ..." gives 942),
// or 0 when the message carries none.
int oracleCodeIn(const QString& message);

}  // namespace oraobj
