#include "schema/ForeignKeys.h"

#include <algorithm>
#include <deque>
#include <vector>

#include "schema/Constraints.h"
#include "sqlite/SqliteText.h"
#include "sqlite/Statement.h"

namespace localengine::schema {

namespace {

struct Target {
    std::string verb;   // INSERT, UPDATE, DELETE or REPLACE
    std::string table;  // as written
};

// The statement's verb and the table it changes.
Target targetOf(const std::string& sql) {
    std::deque<std::string> store;
    const std::vector<sqlite::SqlToken> toks = sqlite::tokenizeSqlite(sql, store);
    Target target;
    std::size_t k = 0;
    if (toks.empty() || !toks[0].isName())
        return target;
    target.verb = toks[0].upper;
    // Past INSERT [OR x] INTO, REPLACE INTO, UPDATE [OR x], DELETE FROM.
    k = 1;
    while (k < toks.size() &&
           (toks[k].isWord("OR") || toks[k].isWord("INTO") || toks[k].isWord("FROM") ||
            toks[k].isWord("ROLLBACK") || toks[k].isWord("ABORT") || toks[k].isWord("REPLACE") ||
            toks[k].isWord("FAIL") || toks[k].isWord("IGNORE")))
        ++k;
    if (k < toks.size() && toks[k].isName()) {
        target.table = std::string(toks[k].text);
        if (k + 2 < toks.size() && toks[k + 1].isPunct('.') && toks[k + 2].isName())
            target.table = std::string(toks[k + 2].text);
    }
    return target;
}

struct Broken {
    std::string child;
    std::string parent;
    int id = -1;  // the foreign key's id in PRAGMA foreign_key_list(child)
};

// The broken foreign key the statement's table takes part in (rows broken
// before it ran, in other tables, come after).
std::optional<Broken> firstBroken(sqlite3* db, const std::string& table) {
    sqlite::Statement check(db, "PRAGMA foreign_key_check");
    std::optional<Broken> first;
    while (check.step()) {
        Broken broken{check.text(0), check.text(2), static_cast<int>(check.integer(3))};
        if (sqlite::sameName(broken.child, table) || sqlite::sameName(broken.parent, table))
            return broken;
        if (!first)
            first = broken;
    }
    return first;
}

// The declared name (or Oracle's generated one) of foreign key `id` of `child`.
std::string constraintName(sqlite3* db, const Broken& broken) {
    std::vector<std::string> columns;
    {
        sqlite::Statement list(db,
                               "SELECT \"from\" FROM pragma_foreign_key_list(?) WHERE id = ? "
                               "ORDER BY seq");
        list.bind(1, broken.child).bind(2, broken.id);
        while (list.step())
            columns.push_back(sqlite::upperName(list.textView(0)));
    }
    sqlite::Statement create(db, "SELECT sql FROM sqlite_schema WHERE type = 'table' AND name = ?");
    create.bind(1, broken.child);
    if (!create.step())
        return {};
    for (const DeclaredConstraint& c : declaredConstraints(create.text(0))) {
        if (c.type != 'R' || !sqlite::sameName(c.condition, broken.parent))
            continue;
        std::vector<std::string> declared;
        for (const std::string& column : c.columns)
            declared.push_back(sqlite::upperName(column));
        if (declared != columns)
            continue;
        return c.name.empty() ? generatedConstraintName(sqlite::upperName(broken.child), 'R',
                                                        c.columns, c.condition)
                              : c.name;
    }
    return {};
}

}  // namespace

std::optional<ForeignKeyViolation> findForeignKeyViolation(sqlite3* db,
                                                           const std::string& sqliteSql) {
    const Target target = targetOf(sqliteSql);
    if (target.verb.empty())
        return std::nullopt;
    std::optional<Broken> broken;
    try {
        sqlite::exec(db, "SAVEPOINT quorvel_fk_probe; PRAGMA defer_foreign_keys = ON");
        sqlite::exec(db, sqliteSql.c_str());
        broken = firstBroken(db, target.table);
    } catch (const EngineError&) {
        broken.reset();
    }
    sqlite::execQuietly(db, "PRAGMA defer_foreign_keys = OFF");
    sqlite::execQuietly(db, "ROLLBACK TO quorvel_fk_probe");
    sqlite::execQuietly(db, "RELEASE quorvel_fk_probe");
    if (!broken)
        return std::nullopt;
    ForeignKeyViolation violation;
    violation.constraint = constraintName(db, *broken);
    if (target.verb == "DELETE")
        violation.childRecordFound = true;
    else if (target.verb == "UPDATE")
        violation.childRecordFound = !sqlite::sameName(broken->child, target.table);
    return violation;
}

}  // namespace localengine::schema
