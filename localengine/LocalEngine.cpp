#include "LocalEngine.h"

#include "DdlRunner.h"
#include "LikeFunction.h"
#include "OracleErrors.h"
#include "PlsqlBlock.h"
#include "PlsqlParser.h"
#include "PlsqlRunner.h"
#include "SampleDatabase.h"
#include "UserFile.h"
#include "dialect/Error.h"
#include "dialect/Lexer.h"
#include "dialect/Translator.h"
#include "explain/ExplainPlan.h"
#include "explain/PlanDisplay.h"
#include "functions/CoreFunctions.h"
#include "functions/EngineFunctions.h"
#include "schema/Dictionary.h"
#include "schema/ForeignKeys.h"
#include "schema/Sequences.h"
#include "schema/SqliteCatalog.h"
#include "sqlite/Statement.h"
#include "sqlite/StatementCache.h"

#include <sqlite3.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <functional>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <utility>

namespace localengine {

namespace {

using dialect::Translation;
using dialect::upperAscii;
using sqlite::Statement;
using sqlite::StatementCache;

constexpr const char* kPrefix = "sqlite:";

EngineError sqliteError(sqlite3* db) {
    return sqlite::lastError(db);
}

// SQLite counts every allocation under a process-wide lock unless told
// otherwise before its first use; the engine reads no memory statistics.
// Too late (SQLite already in use elsewhere in the process) changes nothing.
void configureSqliteOnce() {
    static std::once_flag once;
    std::call_once(once, [] { sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0); });
}

// The front end's translation, its refusals as the engine's errors.
Translation translateOracle(const std::string& oracleSql, const dialect::Catalog* catalog,
                            const std::string& owner) {
    try {
        return dialect::translateStatement(oracleSql, catalog, owner);
    } catch (const dialect::DialectError& e) {
        throw EngineError(e.what(), SQLITE_ERROR);
    }
}

// The functions the schema may name (a CHECK with IS JSON, an identity
// column's DEFAULT): registered before anything reads the schema. Returns
// the session settings (NLS formats) they read.
std::shared_ptr<functions::SessionSettings> registerFunctions(sqlite3* db) {
    functions::registerOracleFunctions(db);
    auto settings = std::make_shared<functions::SessionSettings>();
    if (!functions::registerEngineFunctions(db, settings))
        throw EngineError("could not register Oracle's functions on the database", SQLITE_ERROR);
    schema::registerSequenceFunctions(db);
    registerLikeFunction(db);
    return settings;
}

// Gives a handle what the Oracle dialect needs besides its functions: the
// dictionary tables and DUAL. A name in double quotes is always a name:
// SQLite would otherwise read an unknown one as a text literal.
void prepareHandle(sqlite3* db) {
    sqlite3_extended_result_codes(db, 1);
    sqlite3_db_config(db, SQLITE_DBCONFIG_DQS_DML, 0, nullptr);
    // Oracle enforces foreign keys; SQLite does once asked, per connection.
    sqlite::exec(db, "PRAGMA foreign_keys = ON");
    schema::installDictionary(db);
    if (!explain::registerPlanDisplay(db))
        throw EngineError("could not register DBMS_XPLAN on the database", SQLITE_ERROR);
}

// The sample database: one in-memory database for the whole run, built at
// the first open and never closed, so that what one connection leaves in
// it (PLAN_TABLE and its rows) is there for the next.
class SampleHandle {
public:
    static sqlite3* get() { return instance().m_db; }
    static std::shared_ptr<functions::SessionSettings> settings() {
        instance();
        return s_settings;
    }

private:
    static SampleHandle& instance() {
        static SampleHandle instance;
        std::call_once(instance.m_once, [] {
            configureSqliteOnce();
            sqlite3* db = nullptr;
            if (sqlite3_open_v2(":memory:", &db,
                                SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX,
                                nullptr) != SQLITE_OK) {
                const EngineError e = sqliteError(db);
                sqlite3_close(db);
                throw e;
            }
            try {
                s_settings = registerFunctions(db);
                buildSampleDatabase(db);
                prepareHandle(db);
            } catch (...) {
                sqlite3_close(db);
                throw;
            }
            instance.m_db = db;
        });
        return instance;
    }

    SampleHandle() = default;
    static inline std::shared_ptr<functions::SessionSettings> s_settings;
    // Never closed: the database lives as long as the process, and closing
    // it during static destruction would run callbacks of other parts whose
    // statics may already be gone.
    ~SampleHandle() = default;
    std::once_flag m_once;
    sqlite3* m_db = nullptr;
};

std::string stripPrefix(const std::string& host, bool& prefixed) {
    prefixed = host.rfind(kPrefix, 0) == 0;
    return prefixed ? host.substr(std::string(kPrefix).size()) : host;
}

bool fileExists(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

class SqliteConnection final : public Connection {
public:
    SqliteConnection(sqlite3* db, bool ownsHandle, std::string owner,
                     std::shared_ptr<functions::SessionSettings> settings)
        : m_db(db),
          m_owns(ownsHandle),
          m_owner(std::move(owner)),
          m_settings(std::move(settings)),
          m_statements(std::make_unique<StatementCache>(db)),
          m_catalog(std::make_unique<schema::SqliteCatalog>(db, m_owner)) {}
    ~SqliteConnection() override { close(); }

    std::int64_t execute(const std::string& oracleSql) override {
        if (isAnonymousBlock(oracleSql))
            return runBlock(oracleSql);
        const auto kept = translate(oracleSql);
        const Translation& t = *kept;
        switch (t.kind) {
            case Translation::Kind::ExplainPlan:
                return explain(t);
            case Translation::Kind::Commit:
                return endTransaction(t);
            case Translation::Kind::Ddl:
                runDdl({m_db, m_owner, m_settings.get()}, t);
                m_keptChanges = false;  // Oracle commits around DDL
                return 0;
            case Translation::Kind::Sql:
                break;
        }
        return run(t, nullptr);
    }

    ResultTable query(const std::string& oracleSql) override {
        if (isAnonymousBlock(oracleSql)) {
            runBlock(oracleSql);
            return {};
        }
        const auto kept = translate(oracleSql);
        const Translation& t = *kept;
        ResultTable table;
        if (t.kind == Translation::Kind::ExplainPlan) {
            explain(t);
            return table;
        }
        if (t.kind == Translation::Kind::Commit) {
            endTransaction(t);
            return table;
        }
        if (t.kind == Translation::Kind::Ddl) {
            runDdl({m_db, m_owner, m_settings.get()}, t);
            m_keptChanges = false;
            return table;
        }
        run(t, &table);
        return table;
    }

    void setServerOutput(bool enabled) override {
        m_outputEnabled = enabled;
        if (!enabled)
            m_output = {};  // as DBMS_OUTPUT.DISABLE, it purges what was put
    }

    std::vector<std::string> takeServerOutput() override {
        return std::exchange(m_output.lines, {});
    }

    const std::string& owner() const override { return m_owner; }

    void close() override {
        m_translations.clear();
        m_catalog.reset();  // its statements go before the handle does
        m_statements.reset();
        if (m_owns && m_db)
            sqlite3_close_v2(m_db);
        m_db = nullptr;
    }

private:
    sqlite3* handle() {
        if (!m_db)
            throw EngineError("not connected: the connection is closed", SQLITE_MISUSE);
        return m_db;
    }

    // COMMIT or ROLLBACK. The engine runs each statement outside a SAVEPOINT
    // in a transaction of its own, which SQLite commits at once: a ROLLBACK
    // cannot take such changes back, and says so instead of ending quietly
    // as if it had (what a transaction opened by a SAVEPOINT holds is
    // rolled back first).
    std::int64_t endTransaction(const Translation& t) {
        const bool rollback = t.sql == "ROLLBACK";
        const bool kept = m_keptChanges;
        m_keptChanges = false;
        std::int64_t rows = 0;
        if (!sqlite3_get_autocommit(m_db))
            rows = run(t, nullptr);
        if (rollback && kept)
            throw EngineError(
                "ORA-03001: unimplemented feature: ROLLBACK of changes the local engine has "
                "already committed (it commits each INSERT, UPDATE, DELETE and PL/SQL block as "
                "it runs, unless a SAVEPOINT opened a transaction before it); they were kept",
                SQLITE_ERROR);
        return rows;
    }

    // Forgets what was read of the schema once it changed.
    void refreshCaches() {
        handle();
        if (m_statements->schemaChanged()) {
            m_translations.clear();
            m_statements->clear();
            m_catalog->clear();
            provideSessionPlanTable(m_db);
            m_statements->schemaChanged();  // takes in what that changed, if anything
        }
    }

    // The translation of a statement, kept per text until the schema
    // changes (what `*` stands for and which probes succeed depend on it).
    std::shared_ptr<const Translation> translate(const std::string& oracleSql) {
        refreshCaches();
        std::shared_ptr<const Translation> t;
        auto found = m_translations.find(oracleSql);
        if (found != m_translations.end()) {
            t = found->second;
        } else {
            t = std::make_shared<const Translation>(
                translateOracle(oracleSql, m_catalog.get(), m_owner));
            // SQLite ends the text at a NUL and would run only what precedes it.
            if (t->sql.find('\0') != std::string::npos)
                throw EngineError("ORA-00911: invalid character (byte 0x00); nothing was run",
                                  SQLITE_ERROR);
            if (m_translations.size() >= kMaxTranslations)
                m_translations.clear();
            m_translations.emplace(oracleSql, t);
        }
        if (t->usesDictionary)
            schema::refreshDictionary(m_db, m_owner);
        return t;
    }

    // What a running block asks of the connection.
    class BlockHost final : public plsql::Host {
    public:
        BlockHost(SqliteConnection& c, bool ownTransaction)
            : m_c(c), m_ownTransaction(ownTransaction) {}

        std::int64_t runSql(const std::string& oracleSql, const Binder& bind,
                            const RowReader* row) override {
            const auto kept = m_c.translate(oracleSql);
            const Translation& t = *kept;
            switch (t.kind) {
                case Translation::Kind::Ddl:
                    runDdl(t);
                    return 0;
                case Translation::Kind::Commit:
                    if (t.sql == "ROLLBACK")
                        rollback();
                    else
                        commit();
                    return 0;
                case Translation::Kind::ExplainPlan:
                    return m_c.explain(t);
                case Translation::Kind::Sql:
                    break;
            }
            const std::int64_t rows = m_c.run(t, nullptr, &bind, row);
            if (!row && isDml(t.sql)) {
                m_rows += rows;
                m_changed = m_changed || rows > 0;
            }
            return rows;
        }

        void commit() override {
            sqlite3* db = m_c.m_db;
            sqlite::exec(db, "RELEASE quorvel_block");
            if (!sqlite3_get_autocommit(db))
                sqlite::exec(db, "COMMIT");
            m_c.m_keptChanges = false;
            m_changed = false;
            m_ownTransaction = true;
            sqlite::exec(db, "SAVEPOINT quorvel_block");
        }

        // Undoes the transaction, unless part of it is already committed.
        void rollback() override {
            sqlite3* db = m_c.m_db;
            if (m_c.m_keptChanges)
                throw EngineError(
                    "ORA-03001: unimplemented feature: ROLLBACK of changes the local engine has "
                    "already committed (it commits each INSERT, UPDATE, DELETE and PL/SQL block "
                    "as it runs, unless a SAVEPOINT opened a transaction before it)",
                    SQLITE_ERROR);
            if (m_ownTransaction) {
                sqlite::exec(db, "ROLLBACK TO quorvel_block");
            } else {
                sqlite::exec(db, "ROLLBACK");
                sqlite::exec(db, "SAVEPOINT quorvel_block");
                m_ownTransaction = true;
            }
            m_changed = false;
        }

        const dialect::Catalog* catalog() override { return m_c.m_catalog.get(); }
        plsql::ServerOutput* output() override {
            return m_c.m_outputEnabled ? &m_c.m_output : nullptr;
        }
        void enableOutput(bool enabled) override { m_c.setServerOutput(enabled); }
        void seedRandom(const std::string& seed) override {
            // A whole number seeds with its value, anything else with its text.
            char* end = nullptr;
            const long long number = std::strtoll(seed.c_str(), &end, 10);
            const bool whole = !seed.empty() && end && *end == '\0';
            m_c.m_settings->random.seed(whole ? static_cast<std::uint64_t>(number)
                                              : std::hash<std::string>{}(seed));
        }

        bool ownTransaction() const { return m_ownTransaction; }
        bool changedSinceCommit() const { return m_changed; }
        std::int64_t rowsChanged() const { return m_rows; }

    private:
        // DDL commits the work before it, as Oracle's does, and runs
        // outside the block's savepoint.
        void runDdl(const Translation& t) {
            commit();
            sqlite::exec(m_c.m_db, "RELEASE quorvel_block");
            try {
                localengine::runDdl({m_c.m_db, m_c.m_owner, m_c.m_settings.get()}, t);
            } catch (...) {
                sqlite::exec(m_c.m_db, "SAVEPOINT quorvel_block");
                throw;
            }
            m_c.m_keptChanges = false;
            sqlite::exec(m_c.m_db, "SAVEPOINT quorvel_block");
        }

        SqliteConnection& m_c;
        bool m_ownTransaction;
        bool m_changed = false;
        std::int64_t m_rows = 0;
    };

    // A PL/SQL block runs as one call within SAVEPOINT quorvel_block: an
    // error that no handler takes undoes its work since its last COMMIT, as
    // Oracle's rollback of the failed call does. The block's COMMIT commits
    // its work so far (and the transaction it runs in), then opens the
    // savepoint again. Like any statement outside a transaction, a block
    // that ends well has its changes committed by SQLite.
    std::int64_t runBlock(const std::string& oracleSql) {
        refreshCaches();
        plsql::Program program = plsql::parseBlock(oracleSql, m_catalog.get());
        sqlite3* db = handle();
        BlockHost host(*this, sqlite3_get_autocommit(db) != 0);
        sqlite::exec(db, "SAVEPOINT quorvel_block");
        try {
            plsql::runProgram(program, host);
        } catch (...) {
            sqlite::execQuietly(db, "ROLLBACK TO quorvel_block");
            sqlite::execQuietly(db, "RELEASE quorvel_block");
            throw;
        }
        sqlite::exec(db, "RELEASE quorvel_block");
        if (host.ownTransaction() && host.changedSinceCommit())
            m_keptChanges = true;
        return host.rowsChanged();
    }

    std::int64_t explain(const Translation& t) {
        ExplainTarget target;
        target.statementId = t.statementId;
        target.planTable = t.planTable;
        target.owner = m_owner;
        target.facts = &t.facts;
        try {
            return explainPlan(m_db, t.sql, t.innerOracleSql, target, m_statements.get());
        } catch (const EngineError& error) {
            throw oracleError(m_db, error, m_owner, t.sql);
        }
    }

    // MERGE, INSERT ALL | FIRST (and CREATE TABLE ... AS SELECT): the steps as
    // one statement, within a savepoint that a failure rolls back to. A first step that is a
    // query checks that no target row matches two source rows.
    std::int64_t runMerge(const Translation& t, const plsql::Host::Binder* bind) {
        const bool ownTransaction = sqlite3_get_autocommit(m_db) != 0;
        sqlite::exec(m_db, "SAVEPOINT quorvel_merge");
        std::int64_t rows = 0;
        try {
            for (std::size_t i = 0; i < t.mergeSteps.size(); ++i) {
                Translation step;
                step.sql = t.mergeSteps[i];
                if (i == 0 && step.sql.rfind("SELECT", 0) == 0) {
                    ResultTable found;
                    run(step, &found, bind);
                    if (!found.rows.empty())
                        throw EngineError(
                            "ORA-30926: unable to get a stable set of rows in the source tables",
                            SQLITE_ERROR);
                    continue;
                }
                const std::int64_t changed = run(step, nullptr, bind);
                if (i >= t.preparingSteps)
                    rows += changed;
            }
        } catch (...) {
            sqlite::execQuietly(m_db, "ROLLBACK TO quorvel_merge");
            sqlite::execQuietly(m_db, "RELEASE quorvel_merge");
            throw;
        }
        sqlite::exec(m_db, "RELEASE quorvel_merge");
        // CREATE TABLE ... AS SELECT is DDL, which Oracle commits itself.
        if (t.mergeSteps.front().rfind("CREATE", 0) == 0)
            m_keptChanges = false;
        else if (ownTransaction && rows > 0)
            m_keptChanges = true;
        return rows;
    }

    // Runs one translated statement; fills `table` when given, else counts
    // (or hands each row to `row`, which may stop the reading). `bind`
    // binds its parameters.
    std::int64_t run(const Translation& t, ResultTable* table,
                     const plsql::Host::Binder* bind = nullptr,
                     const plsql::Host::RowReader* row = nullptr) {
        if (!t.mergeSteps.empty())
            return runMerge(t, bind);
        Statement st;
        try {
            st = m_statements->statement(t.sql);
        } catch (const EngineError& error) {
            throw oracleError(m_db, error, m_owner, t.sql);
        }
        if (!st)
            throw EngineError("empty statement: nothing to run", SQLITE_ERROR);
        if (st.tail().find_first_not_of(" \t\n\r") != std::string::npos)
            throw EngineError("only one statement may be run at a time; nothing was run",
                              SQLITE_ERROR);
        if (bind)
            (*bind)(st.get());
        // Anything but a query may change what the plans read of the
        // statistics: ANALYZE, or a ROLLBACK of one.
        if (!st.readOnly() || st.columnCount() == 0)
            noteWrite(m_db);
        const int columns = st.columnCount();
        if (table) {
            for (int c = 0; c < columns; ++c) {
                const std::string name = st.columnName(c);
                table->columns.push_back(t.namedColumns.count(name) ? name : upperAscii(name));
            }
        }
        std::int64_t rows = 0;
        try {
            while (st.step()) {
                ++rows;
                if (table)
                    table->rows.push_back(readRow(st, columns));
                if (row && !(*row)(st.get()))
                    break;
            }
        } catch (const EngineError& error) {
            st.reset();
            if (error.code() != SQLITE_CONSTRAINT_FOREIGNKEY)
                throw oracleError(m_db, error, m_owner, t.sql);
            throw foreignKeyError(t.sql, error);
        }
        const bool readOnly = st.readOnly();
        if (!readOnly && sqlite3_get_autocommit(m_db)) {
            if (!isDml(t.sql))
                m_keptChanges = false;  // DDL: Oracle commits around it
            else if (sqlite3_changes64(m_db) > 0)
                m_keptChanges = true;
        }
        if (columns > 0)
            return rows;
        // DDL reports no rows; DML the rows it changed.
        return readOnly ? 0 : (isDml(t.sql) ? sqlite3_changes64(m_db) : 0);
    }

    // Oracle's error for a foreign key the statement broke, naming it.
    EngineError foreignKeyError(const std::string& sql, const EngineError& error) {
        const std::optional<schema::ForeignKeyViolation> violation =
            schema::findForeignKeyViolation(m_db, sql);
        if (!violation)
            return error;
        const std::string name = m_owner + "." + violation->constraint;
        return EngineError(
            violation->childRecordFound
                ? "ORA-02292: integrity constraint (" + name + ") violated - child record found"
                : "ORA-02291: integrity constraint (" + name + ") violated - parent key not found",
            error.code());
    }

    static std::vector<Cell> readRow(const Statement& st, int columns) {
        std::vector<Cell> row(static_cast<std::size_t>(columns));
        for (int c = 0; c < columns; ++c) {
            Cell& cell = row[static_cast<std::size_t>(c)];
            switch (st.columnType(c)) {
                case SQLITE_INTEGER:
                    cell.type = Cell::Type::Integer;
                    cell.text = std::to_string(st.integer(c));
                    break;
                case SQLITE_FLOAT:
                    cell.type = Cell::Type::Real;
                    cell.text = functions::displayNumberText(st.real(c));
                    break;
                case SQLITE_TEXT:
                    cell.type = Cell::Type::Text;
                    cell.text = st.text(c);
                    break;
                case SQLITE_BLOB:
                    cell.type = Cell::Type::Blob;
                    cell.text = st.blob(c);
                    break;
                default:
                    break;
            }
        }
        return row;
    }

    static bool isDml(const std::string& sql) {
        std::size_t i = 0;
        while (i < sql.size() && sql[i] == ' ')
            ++i;
        const std::string word = upperAscii(sql.substr(i, 7));
        return word.rfind("INSERT", 0) == 0 || word.rfind("UPDATE", 0) == 0 ||
               word.rfind("DELETE", 0) == 0 || word.rfind("REPLACE", 0) == 0 ||
               word.rfind("WITH", 0) == 0;
    }

    static constexpr std::size_t kMaxTranslations = 256;

    sqlite3* m_db;
    bool m_owns;
    std::string m_owner;
    std::shared_ptr<functions::SessionSettings> m_settings;
    std::unique_ptr<StatementCache> m_statements;
    std::unique_ptr<schema::SqliteCatalog> m_catalog;
    std::unordered_map<std::string, std::shared_ptr<const Translation>> m_translations;
    // Changes made permanent since the last COMMIT, ROLLBACK or DDL that
    // Oracle would still hold in an open transaction.
    bool m_keptChanges = false;
    // DBMS_OUTPUT's buffer.
    plsql::ServerOutput m_output;
    bool m_outputEnabled = false;
};

}  // namespace

bool Connection::handles(const std::string& host) {
    if (host.empty())
        return true;
    bool prefixed = false;
    const std::string path = stripPrefix(host, prefixed);
    return prefixed || fileExists(path);
}

std::unique_ptr<Connection> Connection::open(const std::string& host, const std::string& user) {
    const std::string owner = upperAscii(user);
    if (host.empty())
        return std::make_unique<SqliteConnection>(SampleHandle::get(), false, owner,
                                                  SampleHandle::settings());
    bool prefixed = false;
    const std::string path = stripPrefix(host, prefixed);
    if (!prefixed && !fileExists(path))
        throw EngineError("host string \"" + host +
                              "\" names no database of the local engine (neither empty nor an "
                              "existing SQLite file)",
                          SQLITE_CANTOPEN);
    if (!fileExists(path))
        throw EngineError("unable to open database file: \"" + path + "\" does not exist",
                          SQLITE_CANTOPEN);
    configureSqliteOnce();
    sqlite3* db = nullptr;
    // A file without any write permission is opened read-only, also for a
    // user whom the system would let write it anyway (root).
    struct stat st {};
    const bool writable = ::stat(path.c_str(), &st) == 0 && (st.st_mode & 0222) != 0 &&
                          ::access(path.c_str(), W_OK) == 0;
    int rc = writable ? sqlite3_open_v2(path.c_str(), &db,
                                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_FULLMUTEX, nullptr)
                      : SQLITE_READONLY;
    if (rc != SQLITE_OK) {
        sqlite3_close(db);
        db = nullptr;
        rc = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_FULLMUTEX,
                             nullptr);
    }
    if (rc != SQLITE_OK) {
        const EngineError e(std::string(sqlite3_errmsg(db)) + ": \"" + path + "\"", rc);
        sqlite3_close(db);
        throw e;
    }
    std::shared_ptr<functions::SessionSettings> settings;
    try {
        sqlite3_extended_result_codes(db, 1);
        sqlite3_busy_timeout(db, 2000);  // another program may hold the file a moment
        settings = registerFunctions(db);
        configureUserFileHandle(db);
        // Reading the schema proves that the file is a database.
        sqlite::exec(db, "SELECT count(*) FROM main.sqlite_schema");
        prepareHandle(db);
    } catch (const EngineError& error) {
        sqlite3_close(db);
        throw describeFileError(error, path, FileWork::Opening);
    } catch (...) {
        sqlite3_close(db);
        throw;
    }
    return describingFileErrors(std::make_unique<SqliteConnection>(db, true, owner, settings), db,
                                path);
}

std::string translateToSqlite(const std::string& oracleSql) {
    const Translation t = translateOracle(oracleSql, nullptr, {});
    if (t.kind == Translation::Kind::ExplainPlan)
        return "EXPLAIN QUERY PLAN " + t.sql;
    return t.sql;
}

}  // namespace localengine
