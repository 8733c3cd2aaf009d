#include "Routing.h"

#include <QDir>
#include <QRegularExpression>

#include "LocalEngine.h"
#include "OraObjects.h"

namespace oraobj {

Credentials splitConnect(const QString& connect) {
    const qsizetype slash = connect.indexOf(QLatin1Char('/'));
    if (slash < 0) {
        return {connect, QString()};
    }
    return {connect.left(slash), connect.mid(slash + 1)};
}

bool isLocalHost(const QString& host) {
    if (host.isEmpty() || host.startsWith(QLatin1String("sqlite:"), Qt::CaseInsensitive)) {
        return true;
    }
    if (host.startsWith(QLatin1String("//"))) {
        return false;
    }
    if (host.startsWith(QLatin1Char('/')) || host.startsWith(QLatin1String("./")) ||
        host.startsWith(QLatin1String("../")) || host.startsWith(QLatin1String("~/"))) {
        return true;
    }
    // Anything else the engine recognises as its own (an existing file).
    return localengine::Connection::handles(expandHome(host).toStdString());
}

QString expandHome(const QString& host) {
    if (host.startsWith(QLatin1String("~/"))) {
        return QDir::homePath() + host.mid(1);
    }
    return host;
}

QString odbcAttributeValue(const QString& value) {
    if (value.contains(QLatin1Char(';')) || value.contains(QLatin1Char('{')) ||
        value.contains(QLatin1Char('}'))) {
        QString escaped = value;
        escaped.replace(QLatin1String("}"), QLatin1String("}}"));
        return QLatin1Char('{') + escaped + QLatin1Char('}');
    }
    return value;
}

ServerRoute chooseServerRoute(const QString& host, const ServerEnvironment& env) {
    if (env.ociAvailable) {
        return {QStringLiteral("QOCI"), host};
    }
    if (env.odbcAvailable) {
        for (const QString& dsn : env.dataSources) {
            // Data source names are not case-sensitive.
            if (dsn.compare(host, Qt::CaseInsensitive) == 0) {
                return {QStringLiteral("QODBC"), dsn};
            }
        }
        for (const QString& driver : env.drivers) {
            if (driver.contains(QLatin1String("Oracle"), Qt::CaseInsensitive)) {
                // DBQ is the Oracle driver's name for the TNS alias or Easy
                // Connect string; the user and password are added by the open.
                return {QStringLiteral("QODBC"),
                        QStringLiteral("DRIVER={%1};DBQ=%2").arg(driver, odbcAttributeValue(host))};
            }
        }
    }
    throw OraError(noClientMessage(host));
}

QString noClientMessage(const QString& host) {
    return QStringLiteral(
               "Cannot connect to \"%1\": no Oracle client is installed. Install Oracle Instant "
               "Client with its ODBC driver registered in unixODBC (or configure an ODBC data "
               "source named \"%1\"), or a Qt OCI driver plugin (QOCI). Leave the host string "
               "empty for the built-in sample database, or type the path of an SQLite file.")
        .arg(host);
}

int oracleCodeIn(const QString& message) {
    static const QRegularExpression pattern(QStringLiteral("ORA-(\\d{5})"));
    const QRegularExpressionMatch match = pattern.match(message);
    return match.hasMatch() ? match.captured(1).toInt() : 0;
}

}  // namespace oraobj
