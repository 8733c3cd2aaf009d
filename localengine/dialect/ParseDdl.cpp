// CREATE TABLE (columns with Oracle types, inline and out-of-line
// constraints, physical clauses, AS SELECT), CREATE INDEX and CREATE VIEW.

#include "Error.h"
#include "Keywords.h"
#include "NestingGuard.h"
#include "Parser.h"

#include <algorithm>
#include <cstdlib>

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
    if (accept("SEQUENCE"))
        return sequenceStatement(true);
    if (at("SYNONYM") || (at("PUBLIC") && at("SYNONYM", 1))) {
        accept("PUBLIC");
        advance();
        return synonymStatement(orReplace);
    }
    static constexpr std::string_view kAdministrative[] = {
        "USER", "ROLE", "TABLESPACE", "DIRECTORY", "PROFILE", "DATABASE", "PUBLIC"};
    for (std::string_view word : kAdministrative)
        if (at(word))
            meaningless("CREATE " + std::string(word));
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
        if (at("ON") && at("NULL", 1)) {
            m_pos += 2;
            c.defaultOnNull = true;
        }
        c.defaultValue = expression();
    }
    if (at("GENERATED"))
        identityClause(c);
    else if (at("AS") && atOperator("(", 1))
        unsupported("virtual columns");
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
            type.argumentWords.push_back(type.words.size() - 1);
            if (t.kind == TokenKind::Number || t.isOperator("*")) {
                type.arguments.push_back(advance().text);
            } else if ((t.isOperator("-") || t.isOperator("+")) &&
                       peek(1).kind == TokenKind::Number) {
                std::string sign = advance().text;  // two statements: the order counts
                type.arguments.push_back(sign + advance().text);
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
    checkTypeArguments(type);
    return type;
}

// The sizes Oracle's types take (SQL Language Reference, "Data Types"):
// NUMBER's precision 1 to 38 and scale -84 to 127, FLOAT's binary precision
// 1 to 126, a character or RAW length of at least 1.
void Parser::checkTypeArguments(const TypeName& type) {
    if (type.words.size() != 1 || type.arguments.empty())
        return;
    const std::string& word = type.words.front();
    auto value = [&](std::size_t i, long long& out) {
        if (i >= type.arguments.size() || type.arguments[i] == "*")
            return false;
        out = std::atoll(type.arguments[i].c_str());
        return true;
    };
    long long n = 0;
    if (word == "NUMBER" || word == "NUMERIC" || word == "DECIMAL" || word == "DEC") {
        if (value(0, n) && (n < 1 || n > 38))
            fail(1727, "numeric precision specifier is out of range (1 to 38)");
        if (value(1, n) && (n < -84 || n > 127))
            fail(1728, "numeric scale specifier is out of range (-84 to 127)");
    } else if (word == "FLOAT") {
        if (value(0, n) && (n < 1 || n > 126))
            fail(1724, "floating point precision is out of range (1 to 126)");
    } else if (word == "VARCHAR2" || word == "NVARCHAR2" || word == "CHAR" || word == "NCHAR" ||
               word == "RAW" || word == "VARCHAR") {
        if (value(0, n) && n < 1)
            fail(1723, "zero-length columns are not allowed");
    }
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
            // An index-organized table keeps its rows in the primary key's
            // B-tree: SQLite's WITHOUT ROWID table.
            if (accept("INDEX"))
                table.withoutRowid = true;
            else if (!accept("HEAP"))
                table.unsupportedClauses.push_back("ORGANIZATION " + upperAscii(advance().text));
        } else if (table.withoutRowid && (at("OVERFLOW") || at("NOMAPPING"))) {
            advance();
        } else if (table.withoutRowid && at("MAPPING") && at("TABLE", 1)) {
            m_pos += 2;
        } else if (table.withoutRowid && at("PCTTHRESHOLD") && peek(1).kind == TokenKind::Number) {
            m_pos += 2;
        } else if (table.withoutRowid && accept("INCLUDING")) {
            identifier("a column name");
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
            s->option = CreateViewStatement::Option::ReadOnly;
        } else {
            expect("CHECK");
            expect("OPTION");
            s->option = CreateViewStatement::Option::CheckOption;
        }
        if (accept("CONSTRAINT"))
            identifier("a constraint name");
    }
    return s;
}

// Statements that have a meaning only on a server with many users and
// files: refused, saying why, so that a script goes on past them.
void Parser::meaningless(const std::string& what) const {
    fail(ora::kUnimplemented,
         "unimplemented feature: " + what +
             " has no meaning on the local engine's one-user database file; nothing was run");
}

StatementPtr Parser::alterStatement() {
    advance();
    if (accept("TABLE"))
        return alterTable();
    if (accept("SEQUENCE"))
        return sequenceStatement(false);
    if (accept("SESSION"))
        return alterSession();
    static constexpr std::string_view kAdministrative[] = {
        "SYSTEM", "USER", "ROLE", "TABLESPACE", "DATABASE", "PROFILE", "DIRECTORY"};
    for (std::string_view word : kAdministrative)
        if (at(word))
            meaningless("ALTER " + std::string(word));
    if (peek().kind == TokenKind::Name)
        unsupported("ALTER " + upperAscii(peek().text));
    fail(ora::kInvalidSqlStatement, "invalid ALTER command" + near());
}

// ALTER TABLE t clause [clause ...]: ADD, MODIFY, DROP, ENABLE, DISABLE,
// RENAME; physical clauses are read and dropped.
StatementPtr Parser::alterTable() {
    auto s = std::make_unique<AlterTableStatement>();
    s->table = tableName();
    while (true) {
        if (accept("ADD")) {
            if (acceptOperator("(")) {
                do {
                    if (atConstraintStart()) {
                        TableAlteration a;
                        a.constraint = outOfLineConstraint();
                        s->alterations.push_back(std::move(a));
                    } else {
                        TableAlteration a;
                        a.kind = TableAlteration::Kind::AddColumn;
                        a.column = columnDefinition();
                        s->alterations.push_back(std::move(a));
                    }
                } while (acceptOperator(","));
                expectOperator(")");
            } else {
                s->alterations.push_back(addClause());
            }
        } else if (accept("MODIFY")) {
            modifyClauses(*s);
        } else if (accept("DROP")) {
            dropClause(*s);
        } else if (at("ENABLE") || at("DISABLE")) {
            if (at("ROW", 1) && at("MOVEMENT", 2)) {
                m_pos += 3;
                continue;
            }
            if (at("TABLE", 1) && at("LOCK", 2)) {
                m_pos += 3;
                continue;
            }
            TableAlteration a;
            a.kind = advance().is("ENABLE") ? TableAlteration::Kind::EnableConstraint
                                            : TableAlteration::Kind::DisableConstraint;
            if (accept("NOVALIDATE"))
                a.validate = false;  // for ENABLE: rows are not checked
            else
                accept("VALIDATE");
            if (accept("CONSTRAINT")) {
                a.name = identifier("a constraint name");
            } else if (at("PRIMARY") && at("KEY", 1)) {
                m_pos += 2;
                a.name = Identifier{"PRIMARY KEY", false};
            } else if (at("ALL") && at("TRIGGERS", 1)) {
                unsupported(std::string(a.kind == TableAlteration::Kind::EnableConstraint
                                            ? "ENABLE"
                                            : "DISABLE") +
                            " ALL TRIGGERS");
            } else {
                fail(ora::kMissingKeyword, "missing keyword CONSTRAINT" + near());
            }
            while (true) {
                if (at("USING") && at("INDEX", 1)) {
                    m_pos += 2;
                    if (peek().isName() && !physicalProperty() && !at("ENABLE") && !at("DISABLE") &&
                        !at("CASCADE") && !at("KEEP") && !at("DROP"))
                        qualifiedName("an index name");
                } else if (accept("CASCADE")) {
                    a.cascade = true;
                } else if ((at("KEEP") || at("DROP")) && at("INDEX", 1)) {
                    m_pos += 2;
                } else if (!physicalProperty()) {
                    break;
                }
            }
            s->alterations.push_back(std::move(a));
        } else if (accept("RENAME")) {
            TableAlteration a;
            if (accept("COLUMN")) {
                a.kind = TableAlteration::Kind::RenameColumn;
                a.name = identifier("a column name");
            } else if (accept("CONSTRAINT")) {
                a.kind = TableAlteration::Kind::RenameConstraint;
                a.name = identifier("a constraint name");
            } else {
                a.kind = TableAlteration::Kind::RenameTable;
            }
            expect("TO");
            a.newName = identifier("a name");
            s->alterations.push_back(std::move(a));
        } else if (!physicalProperty() && !accept("MOVE")) {
            break;
        }
    }
    if (s->alterations.empty() && peek().kind == TokenKind::End)
        return s;  // physical attributes only
    if (s->alterations.empty())
        fail(ora::kInvalidSqlStatement, "invalid ALTER TABLE option" + near());
    return s;
}

// ADD [CONSTRAINT n] constraint | ADD [COLUMN] column definition
TableAlteration Parser::addClause() {
    TableAlteration a;
    if (atConstraintStart()) {
        a.constraint = outOfLineConstraint();
        return a;
    }
    accept("COLUMN");
    a.kind = TableAlteration::Kind::AddColumn;
    a.column = columnDefinition();
    return a;
}

// MODIFY (column ..., column ...) | MODIFY column ... |
// MODIFY CONSTRAINT n ENABLE | DISABLE | MODIFY PRIMARY KEY ENABLE ...
void Parser::modifyClauses(AlterTableStatement& s) {
    if (accept("CONSTRAINT") || (at("PRIMARY") && at("KEY", 1))) {
        TableAlteration a;
        if (at("PRIMARY")) {
            m_pos += 2;
            a.name = Identifier{"PRIMARY KEY", false};
        } else {
            a.name = identifier("a constraint name");
        }
        ConstraintDefinition state;
        constraintState(state);
        a.kind = state.disabled ? TableAlteration::Kind::DisableConstraint
                                : TableAlteration::Kind::EnableConstraint;
        s.alterations.push_back(std::move(a));
        return;
    }
    const bool list = acceptOperator("(");
    do {
        TableAlteration a;
        a.kind = TableAlteration::Kind::ModifyColumn;
        a.column = columnDefinition();
        if (at("DROP") && at("IDENTITY", 1)) {
            m_pos += 2;
            a.column.dropIdentity = true;
        }
        s.alterations.push_back(std::move(a));
    } while (list && acceptOperator(","));
    if (list)
        expectOperator(")");
}

// DROP CONSTRAINT n | PRIMARY KEY | UNIQUE (cols) [CASCADE] [KEEP|DROP INDEX],
// DROP COLUMN c | DROP (c, ...) [CASCADE CONSTRAINTS]
void Parser::dropClause(AlterTableStatement& s) {
    TableAlteration a;
    if (accept("CONSTRAINT")) {
        a.kind = TableAlteration::Kind::DropConstraint;
        a.name = identifier("a constraint name");
    } else if (at("PRIMARY") && at("KEY", 1)) {
        m_pos += 2;
        a.kind = TableAlteration::Kind::DropPrimaryKey;
    } else if (accept("UNIQUE")) {
        a.kind = TableAlteration::Kind::DropUnique;
        expectOperator("(");
        a.columns = identifierList();
        expectOperator(")");
    } else if (accept("COLUMN")) {
        a.kind = TableAlteration::Kind::DropColumn;
        a.columns.push_back(identifier("a column name"));
    } else if (acceptOperator("(")) {
        a.kind = TableAlteration::Kind::DropColumn;
        a.columns = identifierList();
        expectOperator(")");
    } else {
        fail(ora::kMissingKeyword, "missing keyword: CONSTRAINT or COLUMN expected" + near());
    }
    while (true) {
        if (accept("CASCADE")) {
            a.cascade = true;
            accept("CONSTRAINTS");
        } else if ((at("KEEP") || at("DROP")) && at("INDEX", 1)) {
            m_pos += 2;
        } else if (accept("CHECKPOINT")) {
            if (peek().kind == TokenKind::Number)
                advance();
        } else if (!accept("ONLINE")) {
            break;
        }
    }
    s.alterations.push_back(std::move(a));
}

// GENERATED [ALWAYS | BY DEFAULT [ON NULL]] AS IDENTITY [(options)];
// ALWAYS when neither is written.
void Parser::identityClause(ColumnDefinition& c) {
    expect("GENERATED");
    if (accept("ALWAYS") || at("AS")) {
        c.identity = ColumnDefinition::Identity::Always;
    } else {
        expect("BY");
        expect("DEFAULT");
        c.identity = ColumnDefinition::Identity::ByDefault;
        if (at("ON") && at("NULL", 1)) {
            m_pos += 2;
            c.identity = ColumnDefinition::Identity::ByDefaultOnNull;
        }
    }
    expect("AS");
    if (atOperator("("))
        unsupported("virtual columns");
    expect("IDENTITY");
    if (acceptOperator("(")) {
        c.identityOptions = sequenceOptions(true);
        expectOperator(")");
    }
}

// START WITH n, INCREMENT BY n, [NO]MINVALUE, [NO]MAXVALUE, [NO]CACHE,
// [NO]CYCLE, [NO]ORDER, RESTART, and options with no effect here.
SequenceOptions Parser::sequenceOptions(bool identity) {
    SequenceOptions o;
    auto number = [&]() -> std::string {
        std::string sign;
        if (atOperator("-") || atOperator("+"))
            sign = advance().text == "-" ? "-" : "";
        if (peek().kind != TokenKind::Number)
            fail(ora::kMissingExpression, "missing expression: a number is expected" + near());
        return sign + advance().text;
    };
    while (true) {
        if (accept("START")) {
            expect("WITH");
            if (identity && at("LIMIT"))
                unsupported("START WITH LIMIT VALUE");
            o.startWith = number();
        } else if (accept("INCREMENT")) {
            expect("BY");
            o.incrementBy = number();
        } else if (accept("MINVALUE")) {
            o.minValue = number();
        } else if (accept("MAXVALUE")) {
            o.maxValue = number();
        } else if (accept("CACHE")) {
            o.cache = number();
        } else if (accept("NOMINVALUE")) {
            o.noMinValue = true;
        } else if (accept("NOMAXVALUE")) {
            o.noMaxValue = true;
        } else if (accept("NOCACHE")) {
            o.noCache = true;
        } else if (accept("CYCLE") || accept("NOCYCLE")) {
            o.cycle = m_tokens[m_pos - 1].is("CYCLE");
        } else if (accept("ORDER") || accept("NOORDER")) {
            o.order = m_tokens[m_pos - 1].is("ORDER");
        } else if (!identity && accept("RESTART")) {
            o.restart = true;
        } else if (accept("KEEP") || accept("NOKEEP") || accept("NOSCALE") || accept("SESSION") ||
                   accept("GLOBAL") || accept("NOSHARD")) {
        } else if (accept("SCALE") || accept("SHARD")) {
            accept("EXTEND");
            accept("NOEXTEND");
        } else if (!acceptOperator(",")) {
            return o;
        }
    }
}

StatementPtr Parser::sequenceStatement(bool create) {
    auto s = std::make_unique<SequenceStatement>();
    s->create = create;
    if (create)
        atIfNotExists();
    s->name = qualifiedName("a sequence name");
    s->options = sequenceOptions(false);
    return s;
}

// COMMENT ON TABLE t | COLUMN t.c IS 'text'
StatementPtr Parser::commentStatement() {
    m_pos += 2;
    auto s = std::make_unique<CommentStatement>();
    if (accept("TABLE")) {
        s->table = tableName();
    } else if (accept("COLUMN")) {
        QualifiedName name = qualifiedName("a column name");
        if (name.size() < 2)
            fail(ora::kInvalidTableName, "invalid table name: COLUMN takes table.column" + near());
        s->column = name.back();
        name.pop_back();
        s->table = std::move(name);
    } else if (at("MATERIALIZED") || at("OPERATOR") || at("INDEXTYPE") || at("MINING") ||
               at("EDITION")) {
        unsupported("COMMENT ON " + upperAscii(peek().text));
    } else {
        fail(ora::kMissingKeyword, "missing keyword TABLE or COLUMN" + near());
    }
    expect("IS");
    if (peek().kind != TokenKind::Text)
        fail(ora::kMissingExpression, "missing expression: a text literal is expected" + near());
    s->text = advance().text;
    return s;
}

// TRUNCATE TABLE t [DROP | REUSE STORAGE] [CASCADE]
StatementPtr Parser::truncateStatement() {
    advance();
    if (at("CLUSTER"))
        unsupported("TRUNCATE CLUSTER");
    expect("TABLE");
    auto s = std::make_unique<TruncateStatement>();
    s->table = tableName();
    while (true) {
        if ((at("DROP") || at("REUSE")) && at("STORAGE", 1)) {
            m_pos += 2;
        } else if (at("DROP") && at("ALL", 1) && at("STORAGE", 2)) {
            m_pos += 3;
        } else if ((at("PRESERVE") || at("PURGE")) && at("MATERIALIZED", 1)) {
            m_pos += 4;  // ... MATERIALIZED VIEW LOG
        } else if (at("CASCADE")) {
            unsupported("TRUNCATE ... CASCADE");
        } else {
            return s;
        }
    }
}

// ALTER SESSION SET name = value [name = value ...]
StatementPtr Parser::alterSession() {
    auto s = std::make_unique<AlterSessionStatement>();
    if (!accept("SET")) {
        if (peek().kind == TokenKind::Name)
            unsupported("ALTER SESSION " + upperAscii(peek().text));
        fail(ora::kMissingKeyword, "missing keyword SET" + near());
    }
    do {
        const std::string name = upperAscii(identifier("a parameter name").name);
        expectOperator("=");
        const Token& value = peek();
        if (value.kind == TokenKind::End)
            fail(ora::kMissingExpression, "missing expression" + near());
        std::string text = value.kind == TokenKind::Name ? upperAscii(value.text) : value.text;
        if (value.kind == TokenKind::QuotedName)
            text = value.text;
        advance();
        s->settings.emplace_back(name, text);
    } while (peek().kind == TokenKind::Name);
    return s;
}

// CREATE [OR REPLACE] [PUBLIC] SYNONYM name FOR [owner.]object
StatementPtr Parser::synonymStatement(bool orReplace) {
    auto s = std::make_unique<SynonymStatement>();
    s->orReplace = orReplace;
    s->name = qualifiedName("a synonym name");
    expect("FOR");
    s->target = tableName();
    if (peek().kind == TokenKind::BindParameter && peek().text[0] == '@')
        unsupported("a synonym over a database link");
    return s;
}

}  // namespace localengine::dialect
