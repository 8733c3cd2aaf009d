// The Oracle dialect to SQLite, one statement at a time.
//
// Translated:
//  - Queries: SELECT [DISTINCT | UNIQUE] with *, t.*, expressions and
//    aliases; FROM with tables, views, inline views, comma joins and ANSI
//    joins (INNER, LEFT, RIGHT, FULL, CROSS, NATURAL, ON, USING); WHERE;
//    GROUP BY expressions; HAVING; ORDER BY with ASC/DESC and NULLS
//    FIRST/LAST; OFFSET / FETCH FIRST n ROWS ONLY (as LIMIT); WITH queries;
//    UNION [ALL], INTERSECT, MINUS (as EXCEPT); START WITH / CONNECT BY
//    [NOCYCLE] with LEVEL, PRIOR, CONNECT_BY_ROOT, SYS_CONNECT_BY_PATH,
//    CONNECT_BY_ISLEAF and ORDER SIBLINGS BY; FOR UPDATE (dropped: one user).
//  - ROWNUM compared with a number in WHERE (<=, <, =, >, >=, <>, BETWEEN)
//    as the row limit Oracle's numbering gives, taken before grouping and
//    sorting (in a hierarchical query after the hierarchy), ROWNUM as a
//    value in the select list; the (+) outer join marker as LEFT JOIN.
//  - GROUP BY ROLLUP, CUBE and GROUPING SETS with GROUPING and GROUPING_ID;
//    LISTAGG ... WITHIN GROUP [ON OVERFLOW], KEEP (DENSE_RANK FIRST|LAST),
//    RATIO_TO_REPORT; NULL last ascending and first descending in every
//    ORDER BY; ORA-01427 for a scalar subquery's second row; ORA-00937,
//    ORA-00979 and ORA-01790 where Oracle raises them; PIVOT over a table
//    or inline view (one FOR column, values listed) as a grouped query.
//  - Expressions: Oracle's precedence (|| with + and -), || and CONCAT with
//    Oracle's null rule, exact division, '' as NULL, DATE and TIMESTAMP
//    literals, q'[...]' and N'...' literals, CASE (both forms), IN lists
//    and subqueries, EXISTS, = ANY and <> ALL, BETWEEN, LIKE ... ESCAPE,
//    IS [NOT] NULL, scalar subqueries, analytic functions with OVER
//    (PARTITION BY, ORDER BY, ROWS/RANGE frames), CAST to text and to
//    NUMBER, EXTRACT(YEAR|MONTH|DAY FROM ...), TRIM, SYSDATE,
//    SYSTIMESTAMP, CURRENT_DATE, CURRENT_TIMESTAMP, USER, ROWID; other
//    functions by name (DECODE, NVL ... are the engine's SQLite functions).
//  - DML: INSERT (VALUES, one or several rows, or a query; column lists),
//    UPDATE (also SET (a, b) = (subquery)), DELETE with or without FROM,
//    MERGE (UPDATE and INSERT, as steps the engine runs as one statement,
//    EmitMerge.cpp); the user's own schema name is dropped from every name.
//  - DDL: CREATE [GLOBAL TEMPORARY] TABLE with Oracle's column types,
//    DEFAULT [ON NULL], identity columns, inline and out-of-line
//    constraints, storage clauses (dropped), ORGANIZATION INDEX (WITHOUT
//    ROWID), AS SELECT; CREATE [UNIQUE | BITMAP] INDEX; CREATE [OR REPLACE]
//    [[NO] FORCE] VIEW [WITH READ ONLY | CHECK OPTION]; DROP TABLE | VIEW |
//    INDEX | TRIGGER | SEQUENCE | SYNONYM [CASCADE CONSTRAINTS] [PURGE];
//    IF [NOT] EXISTS. Handed to the engine as data (DdlWork.h): ALTER TABLE
//    (ADD/DROP/ENABLE/DISABLE constraints, ADD/MODIFY/DROP/RENAME columns,
//    RENAME TO), CREATE/ALTER/DROP SEQUENCE, COMMENT ON, TRUNCATE, CREATE
//    SYNONYM, ALTER SESSION SET; seq.NEXTVAL and seq.CURRVAL are the
//    engine's sequence functions. GRANT, REVOKE, CREATE USER, ALTER SYSTEM,
//    CREATE TABLESPACE ... are refused as meaningless on a one-user file.
//  - EXPLAIN PLAN [SET STATEMENT_ID] [INTO] FOR, COMMIT / ROLLBACK [WORK],
//    SAVEPOINT, ROLLBACK TO [SAVEPOINT].
//  - SQLite's own statements, passed through token by token: PRAGMA,
//    ANALYZE, VACUUM, REINDEX, CREATE [TEMP] TRIGGER, CREATE VIRTUAL TABLE.
//
// Refused with Oracle's errors (ORA-00900 ... ORA-00936 for syntax,
// ORA-00911 for control characters, ORA-01788, ORA-017xx for (+)), or with
// ORA-03001 "unimplemented feature: <construct>" for what is parsed but not
// translated yet: MERGE ... DELETE WHERE, multitable INSERT, RETURNING, INTERVAL
// literals, comparisons with ANY/ALL other than = ANY and <> ALL, WITHIN
// GROUP other than LISTAGG's, analytic functions beside ROLLUP, CUBE or
// GROUPING SETS, TABLE(...), LATERAL, PIVOT XML, UNPIVOT, MATCH_RECOGNIZE,
// MODEL, database links, package functions, CAST to dates or to numbers
// with precision, ROWNUM in other conditions (or compared with a bind
// parameter other than by <= and <), ROWNUM limits over joins that
// group or sort, FETCH ... PERCENT | WITH TIES, INTERSECT ALL, MINUS ALL,
// virtual columns, constraints declared DISABLE in CREATE TABLE,
// PL/SQL blocks, and the other Oracle statements (LOCK, RENAME, CALL ...).

#include "Translator.h"

#include "Binder.h"
#include "Emitter.h"
#include "Error.h"
#include "Lexer.h"
#include "Parser.h"

#include <array>

namespace localengine::dialect {

namespace {

// Stored PL/SQL (CREATE [OR REPLACE] [EDITIONABLE | NONEDITIONABLE]
// PROCEDURE, FUNCTION, PACKAGE, TYPE BODY, LIBRARY, or a TRIGGER written as
// Oracle writes one) is refused as a whole, before its body's ";" could
// read as a second statement. SQLite's own CREATE [TEMP] TRIGGER, whose body
// is SQL statements only and names NEW./OLD. without a colon, still passes
// through.
void refuseStoredPlsql(const std::vector<Token>& tokens) {
    if (tokens.size() < 3 || !tokens[0].is("CREATE"))
        return;
    std::size_t i = 1;
    bool oracleOnly = false;  // words SQLite's CREATE TRIGGER has no place for
    if (tokens[i].is("OR") && tokens[i + 1].is("REPLACE")) {
        i += 2;
        oracleOnly = true;
    }
    if (tokens[i].is("EDITIONABLE") || tokens[i].is("NONEDITIONABLE")) {
        ++i;
        oracleOnly = true;
    }
    const Token& unit = tokens[i];
    const bool typeBody = unit.is("TYPE") && tokens[i + 1].is("BODY");
    if (unit.is("PROCEDURE") || unit.is("FUNCTION") || unit.is("PACKAGE") || unit.is("LIBRARY") ||
        typeBody) {
        const bool packageBody = unit.is("PACKAGE") && tokens[i + 1].is("BODY");
        unsupported("CREATE " + upperAscii(unit.text) + (packageBody || typeBody ? " BODY" : ""));
    }
    if (!unit.is("TRIGGER"))
        return;
    for (std::size_t k = i; !oracleOnly && k < tokens.size(); ++k)
        oracleOnly = tokens[k].is("DECLARE") || tokens[k].isOperator(":=") ||
                     (tokens[k].kind == TokenKind::BindParameter &&
                      (equalsIgnoringCase(tokens[k].text, ":NEW") ||
                       equalsIgnoringCase(tokens[k].text, ":OLD"))) ||
                     (tokens[k].is("BEGIN") && k + 1 < tokens.size() &&
                      !(tokens[k + 1].is("SELECT") || tokens[k + 1].is("INSERT") ||
                        tokens[k + 1].is("UPDATE") || tokens[k + 1].is("DELETE") ||
                        tokens[k + 1].is("REPLACE") || tokens[k + 1].is("WITH")));
    if (oracleOnly)
        unsupported("CREATE TRIGGER with a PL/SQL body");
}

// One statement per call: a ";" may only end the text. A trigger's body
// holds its own statements between BEGIN and END.
void checkOneStatement(const std::vector<Token>& tokens) {
    refuseStoredPlsql(tokens);
    const bool trigger =
        tokens.size() > 2 && tokens[0].is("CREATE") &&
        (tokens[1].is("TRIGGER") ||
         ((tokens[1].is("TEMP") || tokens[1].is("TEMPORARY")) && tokens[2].is("TRIGGER")));
    int blockDepth = 0;
    for (std::size_t i = 0; i + 1 < tokens.size(); ++i) {
        const Token& t = tokens[i];
        if (trigger && (t.is("BEGIN") || t.is("CASE")))
            ++blockDepth;
        if (trigger && t.is("END") && blockDepth > 0)
            --blockDepth;
        if (t.isOperator(";") && blockDepth == 0 && tokens[i + 1].kind != TokenKind::End)
            fail(0, "only one statement may be run at a time: text follows the \";\" at offset " +
                        std::to_string(t.begin) + "; nothing was run");
    }
}

bool readsDictionary(const std::vector<Token>& tokens) {
    for (const Token& t : tokens) {
        // Every view's name starts with USER_ or is TABS: most names are
        // told apart by their first letter, without a copy.
        if (t.kind != TokenKind::Name || t.text.size() < 4 || t.text.size() > 17)
            continue;
        const char first = static_cast<char>(t.text[0] & ~0x20);
        if ((first == 'U' || first == 'T') && isDictionaryView(upperAscii(t.text)))
            return true;
    }
    return false;
}

// SQLite's own statements, as written: names upper case unless quoted,
// literals quoted again, blanks between tokens.
std::string passThroughText(const std::vector<Token>& tokens, const PassThroughStatement& s) {
    std::string out;
    const Token* previous = nullptr;
    for (std::uint32_t i = s.firstToken; i < s.endToken; ++i) {
        const Token& t = tokens[i];
        const bool tight = !previous || previous->isOperator("(") || previous->isOperator(".") ||
                           t.isOperator(")") || t.isOperator(",") || t.isOperator(".") ||
                           t.isOperator(";") || (t.isOperator("(") && previous->isName());
        if (!tight)
            out += ' ';
        switch (t.kind) {
            case TokenKind::Name:
                out += upperAscii(t.text);
                break;
            case TokenKind::QuotedName:
                out += quoteName(t.text);
                break;
            case TokenKind::Text:
                out += quoteText(t.text);
                break;
            default:
                out += t.text == "^=" ? std::string("<>") : t.text;
                break;
        }
        previous = &t;
    }
    return out;
}

void explainPlan(const ExplainPlanStatement& s, const std::string& oracleSql, Translation& result) {
    result.kind = Translation::Kind::ExplainPlan;
    if (s.statementId)
        result.statementId = *s.statementId;
    if (!s.into.empty())
        result.planTable = s.into.back().name;
    result.innerOracleSql = oracleSql.substr(s.explainedBegin, s.explainedEnd - s.explainedBegin);
}

}  // namespace

bool isDictionaryView(const std::string& upperName) {
    static constexpr std::array<std::string_view, 13> kNames = {
        "USER_TABLES",      "USER_TAB_COLUMNS",  "USER_INDEXES",
        "USER_IND_COLUMNS", "USER_CONSTRAINTS",  "USER_CONS_COLUMNS",
        "USER_VIEWS",       "USER_OBJECTS",      "TABS",
        "USER_SEQUENCES",   "USER_TAB_COMMENTS", "USER_COL_COMMENTS",
        "USER_SYNONYMS"};
    for (std::string_view n : kNames)
        if (upperName == n)
            return true;
    return false;
}

Translation translateStatement(const std::string& oracleSql, const Catalog* catalog,
                               const std::string& owner) {
    const std::vector<Token> tokens = tokenize(oracleSql);
    checkOneStatement(tokens);
    if (tokens.front().kind == TokenKind::End || tokens.front().isOperator(";"))
        fail(0, "empty statement: nothing to run");
    const StatementPtr statement = parseStatement(tokens, oracleSql);

    Translation result;
    result.usesDictionary = readsDictionary(tokens);
    Binder binder(catalog, tokens, owner);
    binder.bind(*statement);
    result.facts = binder.finish();

    const Statement* emitted = statement.get();
    if (statement->kind == StatementKind::ExplainPlan) {
        explainPlan(statement->as<ExplainPlanStatement>(), oracleSql, result);
        emitted = statement->as<ExplainPlanStatement>().explained.get();
    }
    if (emitted->kind == StatementKind::PassThrough) {
        const auto& passed = emitted->as<PassThroughStatement>();
        result.sql = passed.text.empty() ? passThroughText(tokens, passed) : passed.text;
        return result;
    }
    if (statement->kind == StatementKind::Transaction) {
        const auto action = statement->as<TransactionStatement>().action;
        if (action == TransactionStatement::Action::Commit ||
            action == TransactionStatement::Action::Rollback)
            result.kind = Translation::Kind::Commit;
    }
    Emitter emitter(owner, result, oracleSql.size());
    result.sql = emitter.statement(*emitted);
    if (statement->kind == StatementKind::ExplainPlan && !result.unexplained.empty())
        unsupported("EXPLAIN PLAN of " + result.unexplained);
    if (statement->kind == StatementKind::ExplainPlan && !result.mergeSteps.empty())
        unsupported(emitted->kind == StatementKind::Insert ? "EXPLAIN PLAN FOR a multitable INSERT"
                                                           : "EXPLAIN PLAN FOR MERGE");
    // EXPLAIN PLAN explains and never runs: what DDL the explained statement
    // would carry out is dropped.
    if (statement->kind == StatementKind::ExplainPlan && result.kind == Translation::Kind::Ddl) {
        result.kind = Translation::Kind::ExplainPlan;
        result.ddl = DdlWork{};
    }
    return result;
}

}  // namespace localengine::dialect
