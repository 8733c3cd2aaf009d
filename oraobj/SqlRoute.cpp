#include "SqlRoute.h"

#include <QAtomicInteger>
#include <QCoreApplication>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <deque>
#include <limits>
#include <vector>

#include "FieldValues.h"
#include "OdbcCatalog.h"

namespace oraobj {

namespace {

// The description and code of a failure reported by Qt SQL. The driver's own
// text is what the user sees; the code is the Oracle error number when the
// text carries one (ORA-00942 gives 942), else the driver's native code.
OraError toOraError(const QSqlError& error) {
    QString text = error.databaseText().trimmed();
    if (text.isEmpty()) {
        text = error.text().trimmed();
    }
    if (text.isEmpty()) {
        text = QStringLiteral("The database reported an unspecified error.");
    }
    int code = oracleCodeIn(text);
    if (code == 0) {
        // ODBC may list several native codes separated by ";"; the first
        // non-zero one is the server's.
        const QStringList parts = error.nativeErrorCode().split(QLatin1Char(';'));
        for (const QString& part : parts) {
            code = part.trimmed().toInt();
            if (code != 0) {
                break;
            }
        }
    }
    return OraError(text, code);
}

QString nextConnectionName() {
    static QAtomicInteger<quint64> counter;
    return QStringLiteral("quorvel-oraobj-%1").arg(++counter);
}

qint32 toRowCount(qint64 rows) {
    if (rows > std::numeric_limits<qint32>::max()) {
        return std::numeric_limits<qint32>::max();
    }
    return qint32(rows < 0 ? 0 : rows);
}

// A query of a dynaset, shared with its database so that Close can end it
// before the connection goes away.
struct LiveQuery {
    std::unique_ptr<QSqlQuery> query;
};

using Row = std::vector<QVariant>;

// A forward-only result read row by row. RecordCount reads the rest of the
// rows ahead (the drivers that reach Oracle cannot tell the size of a result
// up front) and keeps them, so the position is not lost.
class SqlDynaset : public OraDynaset {
public:
    explicit SqlDynaset(std::shared_ptr<LiveQuery> live)
        : m_live(std::move(live)), m_columns(short(m_live->query->record().count())) {
        m_eof = !fetch(m_current);
    }

    short FieldsCount() const override { return m_columns; }

    bool EOF_() const override { return m_eof; }

    OraField Fields(short index) const override {
        if (m_eof) {
            throw OraError(QStringLiteral("No current row."));
        }
        if (index < 0 || std::size_t(index) >= m_current.size()) {
            throw OraError(QStringLiteral("Field index %1 out of range (%2 columns).")
                               .arg(index)
                               .arg(m_current.size()));
        }
        return OraField(m_current[std::size_t(index)]);
    }

    void DbMoveNext() override {
        if (m_eof) {
            throw OraError(QStringLiteral("No current row."));
        }
        ++m_passed;
        if (!m_ahead.empty()) {
            m_current = std::move(m_ahead.front());
            m_ahead.pop_front();
            return;
        }
        m_eof = !fetch(m_current);
    }

    qint32 RecordCount() override {
        Row row;
        while (!m_exhausted && fetch(row)) {
            m_ahead.push_back(std::move(row));
        }
        return toRowCount(m_passed + (m_eof ? 0 : 1) + qint64(m_ahead.size()));
    }

private:
    // Reads the next row from the query; false at the end of the result.
    bool fetch(Row& row) {
        if (m_exhausted) {
            return false;
        }
        QSqlQuery* query = m_live->query.get();
        if (!query) {
            throw OraError(QStringLiteral("The database is closed."));
        }
        if (!query->next()) {
            m_exhausted = true;
            if (query->lastError().isValid()) {
                throw toOraError(query->lastError());
            }
            return false;
        }
        const int columns = query->record().count();
        row.assign(std::size_t(columns), QVariant());
        for (int i = 0; i < columns; ++i) {
            row[std::size_t(i)] = fieldValue(query->value(i));
        }
        return true;
    }

    std::shared_ptr<LiveQuery> m_live;
    short m_columns;
    Row m_current;
    std::deque<Row> m_ahead;
    qint64 m_passed = 0;
    bool m_eof = true;
    bool m_exhausted = false;
};

class SqlDatabaseObject : public OraDatabase {
public:
    explicit SqlDatabaseObject(QString connectionName)
        : m_connectionName(std::move(connectionName)) {}

    ~SqlDatabaseObject() override { release(); }

    const QString& connectionName() const { return m_connectionName; }

    qint32 DbExecuteSQL(const QString& sql) override {
        QSqlQuery query = run(sql);
        if (query.isSelect()) {
            // A query "processes" the rows it returns.
            qint64 rows = 0;
            while (query.next()) {
                ++rows;
            }
            return toRowCount(rows);
        }
        return toRowCount(query.numRowsAffected());
    }

    void ExecuteSQL(QString sql) override { run(sql); }

    std::unique_ptr<OraDynaset> DbCreateDynaset(const QString& sql, qint32 options) override {
        // Every caller asks for read-only, no-cache (12): a forward-only query.
        Q_UNUSED(options);
        auto live = std::make_shared<LiveQuery>();
        live->query = std::make_unique<QSqlQuery>(database());
        live->query->setForwardOnly(true);
        if (!live->query->exec(sql)) {
            throw remember(toOraError(live->query->lastError()));
        }
        std::erase_if(m_queries,
                      [](const std::weak_ptr<LiveQuery>& weak) { return weak.expired(); });
        m_queries.push_back(live);
        try {
            return std::make_unique<SqlDynaset>(live);
        } catch (const OraError& error) {
            throw remember(error);
        }
    }

    void Close() override {
        if (m_connectionName.isEmpty()) {
            throw closedError();
        }
        release();
    }

    qint32 LastServerErr() const override { return m_lastError; }
    QString LastServerErrText() const override { return m_lastErrorText; }
    void LastServerErrReset() override {
        m_lastError = 0;
        m_lastErrorText.clear();
    }

private:
    static OraError closedError() { return OraError(QStringLiteral("The database is closed.")); }

    QSqlDatabase database() const {
        if (m_connectionName.isEmpty()) {
            throw closedError();
        }
        return QSqlDatabase::database(m_connectionName, false);
    }

    // Runs one statement. Transactions: the system issues none, and the
    // driver's autocommit stays on, so every statement (a delete of the own
    // plan rows, the rows an EXPLAIN PLAN writes) is committed as it runs.
    QSqlQuery run(const QString& sql) {
        QSqlQuery query(database());
        query.setForwardOnly(true);
        if (!query.exec(sql)) {
            throw remember(toOraError(query.lastError()));
        }
        return query;
    }

    // Keeps a failed statement's code and text until LastServerErrReset. A
    // driver that gives no code still leaves a non-zero one (-1), so that
    // LastServerErr always tells that a statement failed.
    const OraError& remember(const OraError& error) {
        m_lastError = error.code() != 0 ? error.code() : -1;
        m_lastErrorText = error.description();
        return error;
    }

    // Ends the queries of live dynasets, closes and removes the connection.
    void release() {
        if (m_connectionName.isEmpty()) {
            return;
        }
        if (!QCoreApplication::instance()) {
            // Destroyed after the application object (a database still held at
            // exit): Qt SQL's connection list and driver plugins may be gone,
            // so nothing of them is touched; the process is ending anyway.
            for (const std::weak_ptr<LiveQuery>& weak : m_queries) {
                if (const std::shared_ptr<LiveQuery> live = weak.lock()) {
                    static_cast<void>(live->query.release());
                }
            }
            m_queries.clear();
            m_connectionName.clear();
            return;
        }
        for (const std::weak_ptr<LiveQuery>& weak : m_queries) {
            if (const std::shared_ptr<LiveQuery> live = weak.lock()) {
                live->query.reset();
            }
        }
        m_queries.clear();
        {
            QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
            db.close();
        }
        QSqlDatabase::removeDatabase(m_connectionName);
        m_connectionName.clear();
    }

    QString m_connectionName;
    std::vector<std::weak_ptr<LiveQuery>> m_queries;
    qint32 m_lastError = 0;
    QString m_lastErrorText;
};

}  // namespace

namespace {

// True when Qt's driver `name` is installed and loads: a plugin that is there
// but misses its client library (the OCI plugin without Oracle's libraries)
// counts as absent, so that the next route is tried.
bool driverLoads(const QString& name) {
    if (!QSqlDatabase::isDriverAvailable(name)) {
        return false;
    }
    const QString probe = nextConnectionName();
    bool loads = false;
    {
        const QSqlDatabase db = QSqlDatabase::addDatabase(name, probe);
        loads = db.isValid();
    }
    QSqlDatabase::removeDatabase(probe);
    return loads;
}

}  // namespace

ServerEnvironment currentServerEnvironment() {
    ServerEnvironment env;
    env.ociAvailable = driverLoads(QStringLiteral("QOCI"));
    env.odbcAvailable = driverLoads(QStringLiteral("QODBC"));
    if (env.odbcAvailable && !env.ociAvailable) {
        env.dataSources = odbcDataSources();
        env.drivers = odbcDrivers();
    }
    return env;
}

std::shared_ptr<OraDatabase> openServerDatabase(const QString& host, const QString& user,
                                                const QString& password) {
    const ServerRoute route = chooseServerRoute(host, currentServerEnvironment());
    const QString name = nextConnectionName();
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(route.driver, name);
        db.setDatabaseName(route.databaseName);
        // This overload of open hands the password to the driver without
        // storing it in the connection's settings. Qt's ODBC driver appends
        // ";UID=user;PWD=password" to the connection string as they are, so a
        // ";" in either is braced.
        const bool odbc = route.driver == QLatin1String("QODBC");
        if (!db.open(odbc ? odbcAttributeValue(user) : user,
                     odbc ? odbcAttributeValue(password) : password)) {
            const OraError error = toOraError(db.lastError());
            db = QSqlDatabase();
            QSqlDatabase::removeDatabase(name);
            throw error;
        }
    }
    return std::make_shared<SqlDatabaseObject>(name);
}

QString serverConnectionName(const OraDatabase& database) {
    if (const auto* server = dynamic_cast<const SqlDatabaseObject*>(&database)) {
        return server->connectionName();
    }
    return QString();
}

}  // namespace oraobj
