// CREATE TABLE (columns with Oracle types, inline and out-of-line
// constraints, physical clauses, AS SELECT), CREATE INDEX and CREATE VIEW.

#include "Error.h"
#include "Keywords.h"
#include "NestingGuard.h"
#include "Parser.h"

#include <algorithm>

namespace localengine::dialect {

std::string TypeName::spelled() const {
    std::string out;
    for (const std::string& w : words) {
        if (!out.empty())
            out += ' ';
        out += w;
    }
    return out;
}

bool Parser::atIfNotExists() {
    if (!(at("IF") && at("NOT", 1) && at("EXISTS", 2)))
        return false;
    m_pos += 3;
    return true;
}

StatementPtr Parser::createStatement() {
    const std::size_t start = m_pos;
    advance();
    const bool orReplace = at("OR") && at("REPLACE", 1);
    if (orReplace)
        m_pos += 2;
    if (accept("NO"))
        expect("FORCE");
    else
        accept("FORCE");
    if (accept("VIEW"))
        return createView(orReplace);
    if (at("GLOBAL") && at("TEMPORARY", 1) && at("TABLE", 2)) {
        m_pos += 3;
        return createTable(true);
    }
    if (accept("TABLE"))
        return createTable(false);
    const bool unique = accept("UNIQUE");
    const bool bitmap = !unique && accept("BITMAP");
    if (accept("INDEX"))
        return createIndex(unique, bitmap);
    if (at("TRIGGER") || ((at("TEMP") || at("TEMPORARY")) && at("TRIGGER", 1))) {
        m_pos = start;
        return passThrough("CREATE TRIGGER");
    }
    if (at("VIRTUAL") && at("TABLE", 1)) {
        m_pos = start;
        return passThrough("CREATE VIRTUAL TABLE");
    }
    if (peek().kind == TokenKind::Name)
        unsupported("CREATE " + std::string(orReplace ? "OR REPLACE " : "") +
                    upperAscii(peek().text));
    fail(ora::kInvalidSqlStatement, "invalid CREATE command" + near());
}

StatementPtr Parser::createTable(bool globalTemporary) {
    auto s = std::make_unique<CreateTableStatement>();
    s->globalTemporary = globalTemporary;
    s->ifNotExists = atIfNotExists();
    s->name = tableName();
    if (atOperator("(") && !leadsToQuery())
        tableElements(*s);
    tableProperties(*s);
    if (accept("AS"))
        s->asQuery = query();
    else if (s->columns.empty())
        fail(ora::kMissingLeftParen, "missing left parenthesis" + near());
    return s;
}

void Parser::tableElements(CreateTableStatement& table) {
    expectOperator("(");
    do {
        if (atConstraintStart())
            table.constraints.push_back(outOfLineConstraint());
        else
            table.columns.push_back(columnDefinition());
    } while (acceptOperator(","));
    expectOperator(")");
}

bool Parser::atConstraintStart() const {
    return at("CONSTRAINT") || (at("PRIMARY") && at("KEY", 1)) ||
           (at("UNIQUE") && atOperator("(", 1)) || (at("FOREIGN") && at("KEY", 1)) ||
           (at("CHECK") && atOperator("(", 1));
}

ColumnDefinition Parser::columnDefinition() {
    ColumnDefinition c;
    c.name = identifier("a column name");
    if (peek().kind == TokenKind::Name && !at("DEFAULT") && !at("CONSTRAINT") && !at("NOT") &&
        !at("NULL") && !at("PRIMARY") && !at("UNIQUE") && !at("REFERENCES") && !at("CHECK") &&
        !at("GENERATED"))
        c.type = typeName();
    if (at("SORT") || at("VISIBLE") || at("INVISIBLE"))
        advance();
    if (accept("DEFAULT")) {
        if (at("ON") && at("NULL", 1))
            unsupported("DEFAULT ON NULL");
        c.defaultValue = expression();
    }
    if (at("GENERATED") || (at("AS") && atOperator("(", 1)))
        unsupported(at("GENERATED") ? "identity and generated columns" : "virtual columns");
    while (inlineConstraint(c)) {
    }
    return c;
}

// NUMBER, NUMBER(8,2), NUMBER(*,0), VARCHAR2(30 CHAR), LONG RAW, DOUBLE
// PRECISION, TIMESTAMP(6) WITH LOCAL TIME ZONE, INTERVAL DAY(2) TO SECOND(6),
// and SQLite's own names (TEXT, INTEGER, UNSIGNED BIG INT).
TypeName Parser::typeName() {
    TypeName type;
    auto arguments = [&] {
        expectOperator("(");
        do {
            const Token& t = peek();
            if (t.kind == TokenKind::Number || t.isOperator("*")) {
                type.arguments.push_back(advance().text);
            } else if ((t.isOperator("-") || t.isOperator("+")) &&
                       peek(1).kind == TokenKind::Number) {
                type.arguments.push_back(advance().text + advance().text);
            } else {
                fail(ora::kInvalidIdentifier, "invalid identifier: a length is expected" + near());
            }
            if (at("CHAR") || at("BYTE"))
                type.lengthSemantics = upperAscii(advance().text);
        } while (acceptOperator(","));
        expectOperator(")");
    };
    if (peek().kind != TokenKind::Name)
        fail(ora::kInvalidIdentifier, "invalid identifier: a data type is expected" + near());
    // After the first word, only words that continue a type name.
    static constexpr std::string_view kContinuations[] = {
        "PRECISION", "RAW", "VARCHAR", "VARYING", "CHARACTER", "CHAR", "WITH", "LOCAL", "TIME",
        "ZONE",      "TO",  "MONTH",   "SECOND",  "DAY",       "YEAR", "BIG",  "INT"};
    do {
        type.words.push_back(upperAscii(advance().text));
        if (atOperator("("))
            arguments();
    } while (std::find(std::begin(kContinuations), std::end(kContinuations),
                       upperAscii(peek().kind == TokenKind::Name ? peek().text : "")) !=
             std::end(kContinuations));
    return type;
}

// [CONSTRAINT name] NOT NULL | NULL | PRIMARY KEY | UNIQUE | REFERENCES ... |
// CHECK (...), then the constraint's state. Returns false when none follows.
bool Parser::inlineConstraint(ColumnDefinition& column) {
    ConstraintDefinition c;
    if (accept("CONSTRAINT"))
        c.name = identifier("a constraint name");
    if (at("NOT") && at("NULL", 1)) {
        m_pos += 2;
        c.kind = ConstraintDefinition::Kind::NotNull;
    } else if (accept("NULL")) {
        c.kind = ConstraintDefinition::Kind::Null;
    } else if (at("PRIMARY") && at("KEY", 1)) {
        m_pos += 2;
        c.kind = ConstraintDefinition::Kind::PrimaryKey;
    } else if (accept("UNIQUE")) {
        c.kind = ConstraintDefinition::Kind::Unique;
    } else if (accept("REFERENCES")) {
        c.kind = ConstraintDefinition::Kind::ForeignKey;
        --m_pos;
        references(c);
    } else if (accept("CHECK")) {
        c.kind = ConstraintDefinition::Kind::Check;
        expectOperator("(");
        c.check = expression();
        expectOperator(")");
    } else if (c.name) {
        fail(ora::kMissingKeyword, "missing keyword: a constraint is expected" + near());
    } else {
        return false;
    }
    constraintState(c);
    column.constraints.push_back(std::move(c));
    return true;
}

ConstraintDefinition Parser::outOfLineConstraint() {
    ConstraintDefinition c;
    if (accept("CONSTRAINT"))
        c.name = identifier("a constraint name");
    auto columns = [&] {
        expectOperator("(");
        c.columns = identifierList();
        expectOperator(")");
    };
    if (at("PRIMARY") && at("KEY", 1)) {
        m_pos += 2;
        c.kind = ConstraintDefinition::Kind::PrimaryKey;
        columns();
    } else if (accept("UNIQUE")) {
        c.kind = ConstraintDefinition::Kind::Unique;
        columns();
    } else if (at("FOREIGN") && at("KEY", 1)) {
        m_pos += 2;
        c.kind = ConstraintDefinition::Kind::ForeignKey;
        columns();
        references(c);
    } else if (accept("CHECK")) {
        c.kind = ConstraintDefinition::Kind::Check;
        expectOperator("(");
        c.check = expression();
        expectOperator(")");
    } else {
        fail(ora::kMissingKeyword, "missing keyword: a constraint is expected" + near());
    }
    constraintState(c);
    return c;
}

// REFERENCES table [(columns)] [ON DELETE CASCADE | SET NULL]
void Parser::references(ConstraintDefinition& c) {
    expect("REFERENCES");
    c.referencedTable = tableName();
    if (acceptOperator("(")) {
        c.referencedColumns = identifierList();
        expectOperator(")");
    }
    if (at("ON") && at("DELETE", 1)) {
        m_pos += 2;
        if (accept("CASCADE")) {
            c.onDelete = ConstraintDefinition::OnDelete::Cascade;
        } else {
            expect("SET");
            expect("NULL");
            c.onDelete = ConstraintDefinition::OnDelete::SetNull;
        }
    }
}

// [NOT] DEFERRABLE, INITIALLY IMMEDIATE|DEFERRED, ENABLE|DISABLE,
// VALIDATE|NOVALIDATE, RELY|NORELY, USING INDEX ...
void Parser::constraintState(ConstraintDefinition& c) {
    while (true) {
        if (at("NOT") && at("DEFERRABLE", 1)) {
            m_pos += 2;
        } else if (accept("DEFERRABLE")) {
            c.deferrable = true;
        } else if (accept("INITIALLY")) {
            if (!accept("IMMEDIATE"))
                expect("DEFERRED");
        } else if (accept("DISABLE")) {
            c.disabled = true;
        } else if (accept("ENABLE") || accept("VALIDATE") || accept("NOVALIDATE") ||
                   accept("RELY") || accept("NORELY")) {
        } else if (at("USING") && at("INDEX", 1)) {
            m_pos += 2;
            if (atOperator("("))
                unsupported("CREATE INDEX inside USING INDEX");
            if (peek().isName() && !physicalProperty() && !atConstraintStart() && !at("ENABLE") &&
                !at("DISABLE"))
                qualifiedName("an index name");
            while (physicalProperty()) {
            }
        } else {
            return;
        }
    }
}

// Clauses after the element list. Storage clauses mean nothing to SQLite
// and are read and dropped; ON COMMIT only with GLOBAL TEMPORARY.
void Parser::tableProperties(CreateTableStatement& table) {
    while (true) {
        if (table.globalTemporary && at("ON") && at("COMMIT", 1)) {
            m_pos += 2;
            if (!accept("DELETE"))
                expect("PRESERVE");
            expect("ROWS");
        } else if (accept("ORGANIZATION")) {
            if (!accept("HEAP"))
                table.unsupportedClauses.push_back("ORGANIZATION " + upperAscii(advance().text));
        } else if (at("WITHOUT") && at("ROWID", 1)) {
            m_pos += 2;
            table.withoutRowid = true;
            acceptOperator(",");
        } else if (accept("STRICT")) {
            table.strict = true;
            acceptOperator(",");
        } else if (at("PARTITION") && at("BY", 1)) {
            unsupported("partitioned tables");
        } else if (!physicalProperty()) {
            return;
        }
    }
}

// One physical attribute: TABLESPACE x, PCTFREE n, STORAGE (...), LOGGING ...
bool Parser::physicalProperty() {
    static constexpr std::string_view kWithNumber[] = {"PCTFREE", "PCTUSED", "INITRANS",
                                                       "MAXTRANS"};
    static constexpr std::string_view kSingle[] = {
        "LOGGING",      "NOLOGGING", "NOCOMPRESS", "CACHE",  "NOCACHE", "NOPARALLEL", "MONITORING",
        "NOMONITORING", "ONLINE",    "REVERSE",    "NOSORT", "VISIBLE", "INVISIBLE"};
    for (std::string_view w : kWithNumber) {
        if (at(w) && peek(1).kind == TokenKind::Number) {
            m_pos += 2;
            return true;
        }
    }
    for (std::string_view w : kSingle)
        if (accept(w))
            return true;
    if (accept("TABLESPACE")) {
        identifier("a tablespace name");
    } else if (accept("STORAGE")) {
        skipParenthesized();
    } else if (accept("COMPRESS") || accept("PARALLEL")) {
        if (peek().kind == TokenKind::Number)
            advance();
        else if (at("BASIC") || at("ADVANCED") || (at("FOR") && !at("UPDATE", 1)))
            while (peek().kind == TokenKind::Name && !physicalProperty() && !at("AS"))
                advance();
    } else if (at("COMPUTE") && at("STATISTICS", 1)) {
        m_pos += 2;
    } else if (at("SEGMENT") && at("CREATION", 1)) {
        m_pos += 2;
        if (!accept("IMMEDIATE"))
            expect("DEFERRED");
    } else if ((at("ENABLE") || at("DISABLE")) && at("ROW", 1) && at("MOVEMENT", 2)) {
        m_pos += 3;
    } else {
        return false;
    }
    return true;
}

void Parser::skipParenthesized() {
    expectOperator("(");
    int depth = 1;
    while (depth > 0) {
        if (peek().kind == TokenKind::End)
            fail(ora::kMissingRightParen, "missing right parenthesis" + near());
        if (atOperator("("))
            ++depth;
        else if (atOperator(")"))
            --depth;
        advance();
    }
}

// CREATE [UNIQUE|BITMAP] INDEX name ON table (key [ASC|DESC], ...) [attributes]
StatementPtr Parser::createIndex(bool unique, bool bitmap) {
    auto s = std::make_unique<CreateIndexStatement>();
    s->unique = unique;
    s->bitmap = bitmap;
    s->ifNotExists = atIfNotExists();
    s->name = qualifiedName("an index name");
    expect("ON");
    s->table = tableName();
    expectOperator("(");
    orderByClause(s->keys);
    expectOperator(")");
    if (at("LOCAL") || at("GLOBAL"))
        unsupported("partitioned indexes");
    if (at("WHERE"))
        unsupported("partial indexes");
    while (physicalProperty()) {
    }
    return s;
}

// CREATE [OR REPLACE] [[NO]FORCE] VIEW name [(columns)] AS query
// [WITH READ ONLY | WITH CHECK OPTION [CONSTRAINT name]]. SQLite's views
// take no DML at all, which is what both options ask for.
StatementPtr Parser::createView(bool orReplace) {
    auto s = std::make_unique<CreateViewStatement>();
    s->orReplace = orReplace;
    s->ifNotExists = atIfNotExists();
    s->name = qualifiedName("a view name");
    if (acceptOperator("(")) {
        s->columns = identifierList();
        expectOperator(")");
    }
    expect("AS");
    s->query = query();
    if (accept("WITH")) {
        if (accept("READ")) {
            expect("ONLY");
        } else {
            expect("CHECK");
            expect("OPTION");
        }
        if (accept("CONSTRAINT"))
            identifier("a constraint name");
    }
    return s;
}

}  // namespace localengine::dialect
