#include "UserFile.h"

#include "sqlite/Statement.h"

#include <sqlite3.h>

namespace localengine {

namespace {

void setOption(sqlite3* db, int option, int wanted, const char* name) {
    int now = -1;
    if (sqlite3_db_config(db, option, wanted, &now) != SQLITE_OK || now != wanted)
        throw EngineError(std::string("the local engine cannot open files safely: SQLite refused "
                                      "the setting ") +
                              name,
                          SQLITE_ERROR);
}

std::string quoted(const std::string& path) {
    return "\"" + path + "\"";
}

// A connection to a user's file whose failures say what happened to the file
// and to the statement.
class UserFileConnection final : public Connection {
public:
    UserFileConnection(std::unique_ptr<Connection> inner, sqlite3* db, std::string path)
        : m_inner(std::move(inner)), m_db(db), m_path(std::move(path)) {}

    std::int64_t execute(const std::string& oracleSql) override {
        return described([&] { return m_inner->execute(oracleSql); });
    }
    ResultTable query(const std::string& oracleSql) override {
        return described([&] { return m_inner->query(oracleSql); });
    }
    void setServerOutput(bool enabled) override { m_inner->setServerOutput(enabled); }
    std::vector<std::string> takeServerOutput() override { return m_inner->takeServerOutput(); }
    const std::string& owner() const override { return m_inner->owner(); }
    void close() override {
        m_db = nullptr;  // the handle goes with the inner connection
        m_inner->close();
    }

private:
    template <typename Work>
    auto described(Work&& work) -> decltype(work()) {
        const bool inTransaction = m_db && !sqlite3_get_autocommit(m_db);
        try {
            return work();
        } catch (const EngineError& error) {
            const bool lost = inTransaction && m_db && sqlite3_get_autocommit(m_db);
            throw describeFileError(error, m_path,
                                    lost ? FileWork::TransactionLost : FileWork::Statement);
        }
    }

    std::unique_ptr<Connection> m_inner;
    sqlite3* m_db;
    std::string m_path;
};

// Reads every page once and refuses a file whose b-trees are damaged, so
// that no statement ever writes into one (SQLite only notices damage on the
// pages a statement happens to touch).
void checkStructure(sqlite3* db) {
    sqlite::Statement check(db, "PRAGMA main.quick_check(1)");
    const std::string verdict = check.step() ? check.text(0) : std::string();
    if (verdict == "ok")
        return;
    // The first problem, without the line naming the schema ("*** in database main ***").
    std::string problem;
    std::size_t from = 0;
    while (from <= verdict.size()) {
        std::size_t to = verdict.find('\n', from);
        if (to == std::string::npos)
            to = verdict.size();
        const std::string line = verdict.substr(from, to - from);
        if (!line.empty() && line.rfind("***", 0) != 0)
            problem += (problem.empty() ? "" : "; ") + line;
        from = to + 1;
    }
    throw EngineError("database disk image is malformed: " + problem, SQLITE_CORRUPT);
}

}  // namespace

std::unique_ptr<Connection> describingFileErrors(std::unique_ptr<Connection> connection,
                                                 sqlite3* db, const std::string& path) {
    return std::make_unique<UserFileConnection>(std::move(connection), db, path);
}

void configureUserFileHandle(sqlite3* db) {
    setOption(db, SQLITE_DBCONFIG_DEFENSIVE, 1, "SQLITE_DBCONFIG_DEFENSIVE");
    setOption(db, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, "SQLITE_DBCONFIG_TRUSTED_SCHEMA");
    setOption(db, SQLITE_DBCONFIG_ENABLE_LOAD_EXTENSION, 0,
              "SQLITE_DBCONFIG_ENABLE_LOAD_EXTENSION");
    setOption(db, SQLITE_DBCONFIG_ENABLE_TRIGGER, 1, "SQLITE_DBCONFIG_ENABLE_TRIGGER");
    setOption(db, SQLITE_DBCONFIG_ENABLE_VIEW, 1, "SQLITE_DBCONFIG_ENABLE_VIEW");
    // These read the file's header, so a file that is no database fails here.
    sqlite::exec(db, "PRAGMA main.cell_size_check = ON; PRAGMA main.mmap_size = 0");
    checkStructure(db);
}

EngineError describeFileError(const EngineError& error, const std::string& path, FileWork work) {
    const int code = error.code();
    const std::string cause = std::string(" (") + error.what() + ")";
    std::string outcome;
    switch (work) {
        case FileWork::Opening:
            outcome = "the file was not changed";
            break;
        case FileWork::Statement:
            outcome = "the statement changed nothing";
            break;
        case FileWork::TransactionLost:
            outcome =
                "the statement and the open transaction were rolled back: changes not yet "
                "committed are lost";
            break;
    }
    std::string message;
    switch (code & 0xff) {
        case SQLITE_NOTADB:
            message = quoted(path) + " is not an SQLite database file" + cause + "; " + outcome;
            break;
        case SQLITE_CORRUPT:
            message = "the database file " + quoted(path) + " is damaged" + cause + "; " + outcome +
                      ". Restore the file from a backup, or save what is left with the sqlite3 "
                      "program's .recover command";
            break;
        case SQLITE_FULL:
            message = "no space left to write the database file " + quoted(path) + cause + "; " +
                      outcome + ". Free some disk space and try again";
            break;
        case SQLITE_IOERR:
            message = "cannot read or write the database file " + quoted(path) + cause + "; " +
                      outcome + ". Check that the file and its disk are still there";
            break;
        case SQLITE_BUSY:
            message =
                "ORA-00054: resource busy and acquire with NOWAIT specified or timeout expired: "
                "another program holds a lock on the database file " +
                quoted(path) + cause + "; " + outcome + ". Try again when it has finished";
            break;
        case SQLITE_READONLY:
            if (code == SQLITE_READONLY_DBMOVED) {
                message = "the database file " + quoted(path) +
                          " was moved or deleted while connected" + cause +
                          "; nothing can be saved there any more and " + outcome +
                          ". Log on again to the file where it is now";
            } else {
                message =
                    "the database file " + quoted(path) + " is read-only" + cause + "; " + outcome;
            }
            break;
        default:
            return error;
    }
    return EngineError(message, code);
}

}  // namespace localengine
