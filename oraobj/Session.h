#pragma once
// The session object behind "OracleInProcServer.XOraSession": opens a database
// on the embedded engine or on a server through Qt SQL, by host string.

#include "OraObjects.h"

namespace oraobj {

class SessionObject : public OraSession {
public:
    std::shared_ptr<OraDatabase> DbOpenDatabase(const QString& host, const QString& connect,
                                                qint32 options) override;
    qint32 LastServerErr() const override { return m_lastError; }
    QString LastServerErrText() const override { return m_lastErrorText; }
    void LastServerErrReset() override;

private:
    std::shared_ptr<OraDatabase> open(const QString& host, const QString& connect);

    qint32 m_lastError = 0;
    QString m_lastErrorText;
};

}  // namespace oraobj
