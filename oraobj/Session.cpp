#include "Session.h"

#include "LocalRoute.h"
#include "Routing.h"
#include "SqlRoute.h"

namespace oraobj {

std::shared_ptr<OraDatabase> SessionObject::DbOpenDatabase(const QString& host,
                                                           const QString& connect, qint32 options) {
    // Every caller asks for Oracle mode and no-wait (3); both are what the
    // routes do anyway, so the options select nothing.
    Q_UNUSED(options);
    try {
        return open(host, connect);
    } catch (const OraError& error) {
        // Only a failure the engine or the server reported leaves its code
        // here; a missing client or driver is told by the raised error alone.
        if (error.code() != 0) {
            m_lastError = error.code();
            m_lastErrorText = error.description();
        }
        throw;
    }
}

std::shared_ptr<OraDatabase> SessionObject::open(const QString& host, const QString& connect) {
    // The credentials live only in this call; the password is handed to the
    // open and dropped with `credentials` on return.
    const Credentials credentials = splitConnect(connect);
    if (isLocalHost(host)) {
        return openLocalDatabase(expandHome(host), credentials.user);
    }
    return openServerDatabase(host, credentials.user, credentials.password);
}

void SessionObject::LastServerErrReset() {
    m_lastError = 0;
    m_lastErrorText.clear();
}

}  // namespace oraobj
