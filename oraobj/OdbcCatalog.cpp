#include "OdbcCatalog.h"

#include <sql.h>
#include <sqlext.h>

namespace oraobj {

namespace {

// An ODBC 3 environment handle, freed on scope exit.
class OdbcEnvironment {
public:
    OdbcEnvironment() {
        if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &m_env))) {
            m_env = SQL_NULL_HENV;
            return;
        }
        SQLSetEnvAttr(m_env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    }
    ~OdbcEnvironment() {
        if (m_env != SQL_NULL_HENV) {
            SQLFreeHandle(SQL_HANDLE_ENV, m_env);
        }
    }
    OdbcEnvironment(const OdbcEnvironment&) = delete;
    OdbcEnvironment& operator=(const OdbcEnvironment&) = delete;
    SQLHENV handle() const { return m_env; }

private:
    SQLHENV m_env = SQL_NULL_HENV;
};

// Runs one of the catalogue calls (SQLDataSources, SQLDrivers) through all its
// entries and collects the first text of each.
template <typename Fetch>
QStringList collect(Fetch fetch) {
    QStringList names;
    OdbcEnvironment env;
    if (env.handle() == SQL_NULL_HENV) {
        return names;
    }
    SQLCHAR name[512];
    SQLCHAR detail[2048];
    SQLSMALLINT nameLength = 0;
    SQLSMALLINT detailLength = 0;
    SQLUSMALLINT direction = SQL_FETCH_FIRST;
    while (SQL_SUCCEEDED(fetch(env.handle(), direction, name, SQLSMALLINT(sizeof name), &nameLength,
                               detail, SQLSMALLINT(sizeof detail), &detailLength))) {
        names.append(QString::fromLocal8Bit(reinterpret_cast<const char*>(name)));
        direction = SQL_FETCH_NEXT;
    }
    return names;
}

}  // namespace

QStringList odbcDataSources() {
    return collect(SQLDataSources);
}

QStringList odbcDrivers() {
    return collect(SQLDrivers);
}

}  // namespace oraobj
