#pragma once
// The session component: the objects through which Quorvel does all of its
// database work. OraSession opens an OraDatabase; an OraDatabase runs
// statements and opens OraDynaset result sets.
//
// Every failure is raised as OraError. The objects are polymorphic so that a
// test can put a component that fails on demand in place of the real one.

#include <QString>
#include <QStringList>
#include <QVariant>
#include <exception>
#include <functional>
#include <memory>

namespace oraobj {

// A failure of the component: the description shown to the user and the
// server's error code (0 when the failure did not come from the server).
class OraError : public std::exception {
public:
    OraError(QString description, int code = 0);
    const QString& description() const noexcept { return m_description; }
    int code() const noexcept { return m_code; }
    const char* what() const noexcept override { return m_utf8.constData(); }

private:
    QString m_description;
    int m_code;
    QByteArray m_utf8;
};

// One column of the current row of a dynaset.
class OraField {
public:
    explicit OraField(QVariant value = {}) : m_value(std::move(value)) {}
    // The value; a null value is a null QVariant, distinct from the empty
    // text. Read as text (toString) a null gives the empty text.
    const QVariant& Value() const { return m_value; }

private:
    QVariant m_value;
};

class OraDynaset {
public:
    virtual ~OraDynaset() = default;
    // True past the last row, at once for no rows. (EOF itself is a macro
    // of the C library, so the member carries a trailing underscore.)
    virtual bool EOF_() const = 0;
    // The field `index` of the current row. Raises OraError past the last
    // row or for an index out of range.
    virtual OraField Fields(short index) const = 0;
    // Moves to the next row, forward only.
    virtual void DbMoveNext() = 0;
    // The number of rows of the result.
    virtual qint32 RecordCount() = 0;
    // The number of columns of the result. The default finds it by asking for
    // fields of the current row until one is refused (0 when past the last row).
    virtual short FieldsCount() const;
};

class OraDatabase {
public:
    virtual ~OraDatabase() = default;
    // Runs one statement; returns the rows processed.
    virtual qint32 DbExecuteSQL(const QString& sql) = 0;
    // Runs one statement; the result is not reported.
    virtual void ExecuteSQL(QString sql) = 0;
    // Opens a read-only, forward-only result set on its first row.
    // `options` is 12 (read-only 4 plus no-cache 8) in every call Quorvel makes.
    virtual std::unique_ptr<OraDynaset> DbCreateDynaset(const QString& sql, qint32 options) = 0;
    virtual void Close() = 0;
    virtual qint32 LastServerErr() const = 0;
    virtual QString LastServerErrText() const = 0;
    virtual void LastServerErrReset() = 0;
    // The lines DBMS_OUTPUT holds for the client (what SQL*Plus fetches
    // after each call while SERVEROUTPUT is on), taken out of its buffer.
    // Empty where the database gives none.
    virtual QStringList TakeServerOutput() { return {}; }
};

class OraSession {
public:
    virtual ~OraSession() = default;
    // Opens the database named by `host` for `connect` = user "/" password.
    // `options` is 3 (Oracle mode 1 plus no-wait 2). The password is used
    // for the open only and is not kept.
    virtual std::shared_ptr<OraDatabase> DbOpenDatabase(const QString& host, const QString& connect,
                                                        qint32 options) = 0;
    virtual qint32 LastServerErr() const = 0;
    virtual QString LastServerErrText() const = 0;
    virtual void LastServerErrReset() = 0;
};

// Creates the object named by a programmatic identifier; Quorvel asks for
// "OracleInProcServer.XOraSession". Raises OraError when the identifier is
// unknown or the component cannot be created.
std::shared_ptr<OraSession> CreateObject(const QString& progId);

// Replaces the factory behind CreateObject (for tests: a component that is
// missing or fails on demand). An empty function restores the real one.
using SessionFactory = std::function<std::shared_ptr<OraSession>(const QString& progId)>;
void SetSessionFactory(SessionFactory factory);

}  // namespace oraobj
