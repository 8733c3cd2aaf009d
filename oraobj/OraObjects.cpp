#include "OraObjects.h"

#include <limits>

#include "Session.h"

namespace oraobj {

OraError::OraError(QString description, int code)
    : m_description(std::move(description)), m_code(code), m_utf8(m_description.toUtf8()) {}

short OraDynaset::FieldsCount() const {
    if (EOF_()) {
        return 0;
    }
    short count = 0;
    try {
        while (count < std::numeric_limits<short>::max()) {
            Fields(count);
            ++count;
        }
    } catch (const OraError&) {
    }
    return count;
}

namespace {

const QString kSessionProgId = QStringLiteral("OracleInProcServer.XOraSession");

SessionFactory& currentFactory() {
    static SessionFactory factory;
    return factory;
}

std::shared_ptr<OraSession> createRealObject(const QString& progId) {
    // Programmatic identifiers are not case-sensitive.
    if (progId.compare(kSessionProgId, Qt::CaseInsensitive) == 0) {
        return std::make_shared<SessionObject>();
    }
    throw OraError(
        QStringLiteral("The component \"%1\" is not installed: cannot create the object.")
            .arg(progId));
}

}  // namespace

std::shared_ptr<OraSession> CreateObject(const QString& progId) {
    const SessionFactory& factory = currentFactory();
    std::shared_ptr<OraSession> object = factory ? factory(progId) : createRealObject(progId);
    if (!object) {
        throw OraError(
            QStringLiteral("The component \"%1\" could not create the object.").arg(progId));
    }
    return object;
}

void SetSessionFactory(SessionFactory factory) {
    currentFactory() = std::move(factory);
}

}  // namespace oraobj
