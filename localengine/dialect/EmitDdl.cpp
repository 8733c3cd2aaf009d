// DDL in SQLite's words: CREATE TABLE with Oracle's column types and
// constraints, CREATE INDEX, CREATE VIEW and DROP.

#include "Emitter.h"

#include "Catalog.h"
#include "Error.h"

#include <algorithm>
#include <memory>
#include <stdexcept>

namespace localengine::dialect {

void Emitter::createTable(const CreateTableStatement& s) {
    if (!s.unsupportedClauses.empty())
        unsupported(s.unsupportedClauses.front());
    // A global temporary table is the connection's own in SQLite; ON COMMIT
    // has no counterpart and is dropped.
    m_out += s.globalTemporary ? "CREATE TEMP TABLE " : "CREATE TABLE ";
    if (s.ifNotExists)
        m_out += "IF NOT EXISTS ";
    qualifiedName(s.name);
    if (s.asQuery) {
        std::vector<Identifier> names;
        for (const ColumnDefinition& c : s.columns) {
            if (c.type || c.defaultValue || !c.constraints.empty())
                fail(1773, "may not specify column datatypes in this CREATE TABLE");
            names.push_back(c.name);
        }
        if (!s.constraints.empty())
            unsupported("constraints in CREATE TABLE ... AS SELECT");
        if (!names.empty() && !s.asQuery->singleBlock())
            unsupported("column names for CREATE TABLE ... AS a set operation");
        if (typedCreateAsSelect(s, names))
            return;
        overrideHeadings(std::move(names));
        m_out += " AS ";
        query(*s.asQuery);
        return;
    }
    for (const ConstraintDefinition& k : s.constraints)
        if (k.disabled)
            unsupported("disabled constraints in CREATE TABLE (add them with ALTER TABLE)");
    for (const ColumnDefinition& c : s.columns)
        for (const ConstraintDefinition& k : c.constraints)
            if (k.disabled)
                unsupported("disabled constraints in CREATE TABLE (add them with ALTER TABLE)");
    if (!s.ifNotExists) {
        // The name may be taken by a global temporary table this connection
        // has not used; that table's definition is kept for every later one.
        m_result.kind = Translation::Kind::Ddl;
        m_result.ddl.kind = DdlWork::Kind::CreateTable;
        m_result.ddl.table = s.name.back().name;
        m_result.ddl.temporary = s.globalTemporary;
    }
    m_keyColumns.clear();
    for (const ConstraintDefinition& k : s.constraints)
        if (k.kind == ConstraintDefinition::Kind::PrimaryKey)
            for (const Identifier& column : k.columns)
                m_keyColumns.insert(column.name);
    m_out += " (";
    const std::string table = s.name.back().name;
    for (std::size_t i = 0; i < s.columns.size(); ++i) {
        if (i)
            m_out += ", ";
        const ColumnDefinition& c = s.columns[i];
        if (c.identity != ColumnDefinition::Identity::None) {
            if (s.globalTemporary)
                unsupported("identity columns in a temporary table");
            m_result.kind = Translation::Kind::Ddl;
            m_result.ddl.kind = DdlWork::Kind::CreateTable;
            m_result.ddl.table = table;
            m_out += identityColumn(table, c);
            continue;
        }
        columnDefinition(c, table);
    }
    for (const ConstraintDefinition& c : s.constraints) {
        m_out += ", ";
        constraint(c, false);
    }
    m_out += ')';
    if (s.withoutRowid)
        m_out += " WITHOUT ROWID";
    if (s.strict)
        m_out += s.withoutRowid ? ", STRICT" : " STRICT";
}

namespace {

namespace code {
constexpr int kZeroLength = 1723;     // zero-length columns are not allowed
constexpr int kNameExpression = 998;  // must name this expression with a column alias
constexpr int kMaxVarchar2 = 4000;    // VARCHAR2's largest length in SQL
constexpr int kMaxChar = 2000;        // CHAR's
}  // namespace code

// The longest text `e` can give, in the length of its type (a literal's
// own length, a column's declared length, the sum for ||, the longest of
// CASE's results); 0 when not known.
int textLength(const Expr* e) {
    if (!e)
        return 0;
    switch (e->kind) {
        case ExprKind::Literal:
            return e->as<Literal>().form == Literal::Form::Text
                       ? static_cast<int>(e->as<Literal>().text.size())
                       : 0;
        case ExprKind::ColumnRef: {
            const ColumnBinding& b = e->as<ColumnRef>().binding;
            const std::string* declared = declaredTypeOf(b.source, b.column);
            if (!declared)
                return 0;
            const ColumnStorage storage = storageOfDeclared(*declared);
            return storage.kind == ColumnStorage::Kind::Text ? storage.length : 0;
        }
        case ExprKind::Binary: {
            const Binary& b = e->as<Binary>();
            if (b.op != BinaryOp::Concatenate)
                return 0;
            const int left = textLength(b.left.get()), right = textLength(b.right.get());
            return left && right ? left + right : 0;
        }
        case ExprKind::Case: {
            const Case& c = e->as<Case>();
            int longest = 0;
            for (const WhenClause& w : c.whens) {
                const int n = textLength(w.result.get());
                if (!n)
                    return 0;
                longest = std::max(longest, n);
            }
            if (c.otherwise) {
                const int n = textLength(c.otherwise.get());
                if (!n)
                    return 0;
                longest = std::max(longest, n);
            }
            return longest;
        }
        case ExprKind::FunctionCall: {
            const FunctionCall& f = e->as<FunctionCall>();
            const std::string& name = f.functionName();
            if (f.args.empty() || f.name.size() != 1)
                return 0;
            if (name == "UPPER" || name == "LOWER" || name == "INITCAP" || name == "LTRIM" ||
                name == "RTRIM" || name == "SUBSTR" || name == "MIN" || name == "MAX")
                return textLength(f.args.front().get());
            if (name == "NVL" || name == "COALESCE") {
                int longest = 0;
                for (const ExprPtr& a : f.args) {
                    const int n = textLength(a.get());
                    if (!n)
                        return 0;
                    longest = std::max(longest, n);
                }
                return longest;
            }
            return 0;
        }
        case ExprKind::Trim:
            return textLength(e->as<Trim>().source.get());
        default:
            return 0;
    }
}

// The type Oracle gives a column of CREATE TABLE ... AS SELECT that is an
// expression (a column copied keeps its declared type): NUMBER, DATE,
// TIMESTAMP, CHAR(n) for literals (and CASE over them), VARCHAR2(n) with
// n the longest text the expression can give. Empty: no type of Oracle's
// fits (SQLite's column without a type).
std::string derivedType(OracleType type, const Expr* e) {
    switch (type) {
        case OracleType::Number:
            return "NUMBER";
        case OracleType::Date:
            return "DATE";
        case OracleType::Timestamp:
            return "TIMESTAMP";
        case OracleType::Clob:
            return "CLOB";
        case OracleType::Blob:
            return "BLOB";
        case OracleType::Char: {
            const int n = textLength(e);
            return "CHAR(" + std::to_string(n > 0 ? std::min(n, code::kMaxChar) : code::kMaxChar) +
                   ")";
        }
        case OracleType::Varchar2: {
            const int n = textLength(e);
            return "VARCHAR2(" +
                   std::to_string(n > 0 ? std::min(n, code::kMaxVarchar2) : code::kMaxVarchar2) +
                   ")";
        }
        default:
            if (e && e->kind == ExprKind::Literal && e->as<Literal>().form == Literal::Form::Null)
                fail(code::kZeroLength, "zero-length columns are not allowed");
            return "";
    }
}

}  // namespace

// CREATE TABLE ... AS SELECT as Oracle makes it: each column typed from the
// select list (a table's column keeps its declared type, an expression the
// type derivedType gives), then the rows inserted and stored through those
// types (a CHAR pads). Carried out as two steps of one statement. False
// (nothing written) where the query's columns are not known, for EXPLAIN
// PLAN, and for IF NOT EXISTS: SQLite's CREATE TABLE ... AS then.
bool Emitter::typedCreateAsSelect(const CreateTableStatement& s, std::vector<Identifier> names) {
    const Query& q = *s.asQuery;
    if (m_result.kind == Translation::Kind::ExplainPlan || s.ifNotExists || !q.columnsKnown ||
        q.columns.size() != q.columnTypes.size() || q.columns.empty())
        return false;
    const bool named = !names.empty();
    if (!named)
        names = q.columns;
    if (names.size() != q.columnTypes.size())
        return false;
    // The expression of each column of a single block (null for a star's).
    std::vector<const Expr*> exprs(q.columnTypes.size(), nullptr);
    if (const SelectBlock* b = q.singleBlock()) {
        std::size_t at = 0;
        for (const SelectItem& item : b->items) {
            if (item.expr->kind == ExprKind::Star) {
                at += item.expr->as<Star>().expansion.size();
                continue;
            }
            if (!named && !item.alias && item.expr->kind != ExprKind::ColumnRef)
                fail(code::kNameExpression, "must name this expression with a column alias");
            if (at < exprs.size())
                exprs[at] = item.expr.get();
            ++at;
        }
    }
    const std::vector<const std::string*> sources = sourceTypes(q);
    auto table = std::make_shared<TableInfo>();
    table->name = s.name.back().name;
    const std::string tableName = capture([&] { qualifiedName(s.name); });
    std::string create = s.globalTemporary ? "CREATE TEMP TABLE " : "CREATE TABLE ";
    create += tableName + " (";
    for (std::size_t i = 0; i < names.size(); ++i) {
        ColumnInfo c;
        c.name = names[i].name;
        c.type = q.columnTypes[i];
        c.declaredType =
            i < sources.size() && sources[i] ? *sources[i] : derivedType(c.type, exprs[i]);
        if (i)
            create += ", ";
        create += quoteName(c.name);
        if (!c.declaredType.empty())
            create += ' ' + c.declaredType;
        table->columns.push_back(std::move(c));
    }
    create += ')';
    NamedTable target;
    target.name = s.name;
    target.table = table;
    target.columnTypes = q.columnTypes;
    target.columns = names;
    target.columnsKnown = true;
    std::vector<int> targets;
    for (std::size_t i = 0; i < names.size(); ++i)
        targets.push_back(static_cast<int>(i));
    m_out.clear();
    m_out += "INSERT INTO " + tableName + ' ';
    if (named)
        overrideHeadings(std::move(names));
    if (!storedQuery(q, target, targets))
        query(q);
    m_headingOverride.clear();
    m_result.mergeSteps.push_back(std::move(create));
    m_result.mergeSteps.push_back(std::move(m_out));
    m_out.clear();
    return true;
}

void Emitter::columnDefinition(const ColumnDefinition& c, const std::string& table) {
    name(c.name);
    if (c.type) {
        m_out += ' ';
        typeName(*c.type);
    }
    if (c.defaultValue) {
        m_out += " DEFAULT ";
        storedDefault(c, table);
    }
    bool notNull = c.defaultOnNull;
    bool primaryKey = false;
    for (const ConstraintDefinition& k : c.constraints) {
        // DEFAULT ON NULL makes the column NOT NULL itself.
        if (c.defaultOnNull && k.kind == ConstraintDefinition::Kind::NotNull && !k.name)
            continue;
        notNull = notNull || k.kind == ConstraintDefinition::Kind::NotNull;
        primaryKey = primaryKey || k.kind == ConstraintDefinition::Kind::PrimaryKey;
        m_out += ' ';
        constraint(k, true);
    }
    // Oracle's primary key columns take no NULL; SQLite's (but an INTEGER
    // PRIMARY KEY's) would. The spelled-out ON CONFLICT ABORT tells the
    // dictionary that no NOT NULL constraint of its own was declared.
    if ((primaryKey || m_keyColumns.count(c.name.name)) && !notNull)
        m_out += " NOT NULL ON CONFLICT ABORT";
    // SQLite's NOT NULL ON CONFLICT REPLACE puts the column's DEFAULT in
    // place of a NULL, which is what DEFAULT ON NULL asks for.
    if (c.defaultOnNull)
        m_out += " NOT NULL ON CONFLICT REPLACE";
}

// The type as written, which the dictionary reads back; LONG and LONG RAW
// get names whose SQLite affinity keeps text as text and bytes as bytes.
void Emitter::typeName(const TypeName& type) {
    const std::string spelled = type.spelled();
    if (spelled == "LONG") {
        m_out += "LONG VARCHAR";
        return;
    }
    if (spelled == "LONG RAW") {
        m_out += "BLOB";
        return;
    }
    // TO is one of SQLite's keywords, which its type names cannot hold
    // bare: INTERVAL DAY "TO" SECOND (the dictionary drops the quotes).
    for (std::size_t i = 0; i < type.words.size(); ++i) {
        if (i)
            m_out += ' ';
        m_out += type.words[i] == "TO" ? std::string("\"TO\"") : type.words[i];
    }
    if (type.arguments.empty())
        return;
    m_out += '(';
    for (std::size_t i = 0; i < type.arguments.size(); ++i) {
        if (i)
            m_out += ", ";
        m_out += type.arguments[i] == "*" ? std::string("38") : type.arguments[i];
        // VARCHAR2(30 CHAR) as VARCHAR2(30 /*CHAR*/), which SQLite's type
        // names allow and keep for the writes that count the length (BYTE
        // is the default and needs no mark).
        if (i == 0 && type.lengthSemantics == "CHAR")
            m_out += " /*CHAR*/";
    }
    m_out += ')';
}

// SQLite takes a literal, a signed number or an expression in parentheses.
void Emitter::defaultValue(const Expr& e) {
    const bool literal =
        e.kind == ExprKind::Literal && e.as<Literal>().form != Literal::Form::Interval;
    const bool signedNumber =
        e.kind == ExprKind::Unary &&
        (e.as<Unary>().op == UnaryOp::Negate || e.as<Unary>().op == UnaryOp::Plus) &&
        e.as<Unary>().operand->kind == ExprKind::Literal &&
        e.as<Unary>().operand->as<Literal>().form == Literal::Form::Number;
    if (literal || signedNumber) {
        expr(e);
        return;
    }
    m_out += '(';
    expr(e);
    m_out += ')';
}

// A column's DEFAULT as the column keeps it when an INSERT takes it: the
// value converted and stored by the column's type (CHAR(5) pads, NUMBER(5,
// 1) rounds, a text too long is ORA-12899 at that INSERT), as any value
// written into the column. The expression as written goes before it in a
// comment, which the dictionary shows as DATA_DEFAULT.
void Emitter::storedDefault(const ColumnDefinition& c, const std::string& table) {
    const Expr& value = *c.defaultValue;
    const std::string declared = c.type ? capture([&] { typeName(*c.type); }) : std::string();
    const OracleType type = typeOfDeclared(declared);
    const std::string written = capture([&] { defaultValue(value); });
    const std::size_t before = m_out.size();
    m_out += '(';
    storedAs(
        value.type, [&](int precedence) { expr(value, precedence); }, type, declared,
        [&] {
            std::string title;
            if (!m_owner.empty())
                title = '"' + m_owner + "\".";
            return title + '"' + table + "\".\"" + c.name.name + '"';
        });
    m_out += ')';
    // Nothing to store (or a comment could not hold the text): the DEFAULT
    // as SQLite takes it.
    const std::string stored = m_out.substr(before + 1, m_out.size() - before - 2);
    m_out.resize(before);
    if (stored == written || '(' + stored + ')' == written ||
        written.find("*/") != std::string::npos) {
        m_out += written;
        return;
    }
    m_out += "(/*" + written + "*/ " + stored + ')';
}

void Emitter::constraint(const ConstraintDefinition& c, bool inlineConstraint) {
    if (c.name) {
        m_out += "CONSTRAINT ";
        name(*c.name);
        m_out += ' ';
    }
    auto columns = [&](const std::vector<Identifier>& list) {
        m_out += " (";
        for (std::size_t i = 0; i < list.size(); ++i) {
            if (i)
                m_out += ", ";
            name(list[i]);
        }
        m_out += ')';
    };
    using Kind = ConstraintDefinition::Kind;
    switch (c.kind) {
        case Kind::NotNull:
            m_out += "NOT NULL";
            break;
        case Kind::Null:
            m_out += "NULL";
            break;
        case Kind::PrimaryKey:
        case Kind::Unique:
            m_out += c.kind == Kind::PrimaryKey ? "PRIMARY KEY" : "UNIQUE";
            if (!inlineConstraint)
                columns(c.columns);
            break;
        case Kind::ForeignKey:
            if (!inlineConstraint) {
                m_out += "FOREIGN KEY";
                columns(c.columns);
                m_out += ' ';
            }
            m_out += "REFERENCES ";
            qualifiedName(c.referencedTable);
            if (!c.referencedColumns.empty())
                columns(c.referencedColumns);
            if (c.onDelete == ConstraintDefinition::OnDelete::Cascade)
                m_out += " ON DELETE CASCADE";
            else if (c.onDelete == ConstraintDefinition::OnDelete::SetNull)
                m_out += " ON DELETE SET NULL";
            break;
        case Kind::Check:
            m_out += "CHECK (";
            expr(*c.check);
            m_out += ')';
            break;
    }
}

void Emitter::createIndex(const CreateIndexStatement& s) {
    // A bitmap index answers the same queries; SQLite has B-trees only.
    m_out += s.unique ? "CREATE UNIQUE INDEX " : "CREATE INDEX ";
    if (s.ifNotExists)
        m_out += "IF NOT EXISTS ";
    qualifiedName(s.name);
    m_out += " ON ";
    qualifiedName(s.table);
    m_out += " (";
    for (std::size_t i = 0; i < s.keys.size(); ++i) {
        if (s.keys[i].nulls != NullsOrder::Default)
            unsupported("NULLS FIRST or LAST in an index");
        if (i)
            m_out += ", ";
        expr(*s.keys[i].expr);
        if (s.keys[i].descending)
            m_out += " DESC";
    }
    m_out += ')';
}

// SQLite's views take no DML at all, which WITH READ ONLY asks for; WITH
// CHECK OPTION only limits DML, of which there is none. OR REPLACE: the
// engine drops the old view first, in the same transaction.
void Emitter::createView(const CreateViewStatement& s) {
    if (!s.ifNotExists) {
        if (s.name.size() > 1)
            unsupported("CREATE OR REPLACE VIEW in another schema");
        m_result.kind = Translation::Kind::Ddl;
        m_result.ddl.kind = DdlWork::Kind::CreateView;
        m_result.ddl.name = s.name.back().name;
        m_result.ddl.replace = s.orReplace;
        m_result.ddl.readOnly = s.option == CreateViewStatement::Option::ReadOnly;
    }
    m_out += "CREATE VIEW ";
    if (s.ifNotExists)
        m_out += "IF NOT EXISTS ";
    qualifiedName(s.name);
    if (!s.columns.empty()) {
        m_out += " (";
        for (std::size_t i = 0; i < s.columns.size(); ++i) {
            if (i)
                m_out += ", ";
            name(s.columns[i]);
        }
        m_out += ')';
    }
    m_out += " AS ";
    m_inView = true;
    query(*s.query);
    m_inView = false;
}

// CASCADE CONSTRAINTS and PURGE have nothing to do in SQLite.
void Emitter::drop(const DropStatement& s) {
    switch (s.object) {
        case DropStatement::Object::Table:
            // The engine also forgets what it keeps beside the table.
            m_result.kind = Translation::Kind::Ddl;
            m_result.ddl.kind = DdlWork::Kind::DropTable;
            m_result.ddl.table = s.name.back().name;
            m_result.ddl.cascade = s.cascadeConstraints;
            m_result.ddl.ifExists = s.ifExists;
            if (s.name.size() > 1)
                unsupported("DROP TABLE of another schema's table");
            m_out += "DROP TABLE ";
            break;
        case DropStatement::Object::View:
            m_out += "DROP VIEW ";
            break;
        case DropStatement::Object::Index:
            m_out += "DROP INDEX ";
            break;
        case DropStatement::Object::Trigger:
            m_out += "DROP TRIGGER ";
            break;
        case DropStatement::Object::Sequence:
        case DropStatement::Object::Synonym:
            if (s.name.size() > 1)
                unsupported("DROP of another schema's object");
            m_result.kind = Translation::Kind::Ddl;
            m_result.ddl.kind = s.object == DropStatement::Object::Sequence
                                    ? DdlWork::Kind::DropSequence
                                    : DdlWork::Kind::DropSynonym;
            m_result.ddl.sequence.name = s.name.back().name;
            m_result.ddl.name = s.name.back().name;
            m_result.ddl.ifExists = s.ifExists;
            return;
    }
    if (s.ifExists)
        m_out += "IF EXISTS ";
    qualifiedName(s.name);
}

std::string identitySequenceName(const std::string& table, const std::string& column) {
    return "ISEQ$$_" + table + "_" + column;
}

namespace {
constexpr std::string_view kNextval = "ORA_SEQUENCE_NEXTVAL(";
constexpr std::string_view kAlwaysMark = ", 'ALWAYS')";
}  // namespace

std::string identityDefault(const std::string& sequence, bool always) {
    return '(' + std::string(kNextval) + quoteText(sequence) +
           (always ? std::string(kAlwaysMark) : std::string(")")) + ')';
}

// SQLite gives the DEFAULT back without its outer parentheses.
bool isGeneratedAlwaysDefault(std::string_view text) {
    while (!text.empty() && text.back() == ' ')
        text.remove_suffix(1);
    if (text.size() > 2 && text.front() == '(' && text.back() == ')') {
        text.remove_prefix(1);
        text.remove_suffix(1);
    }
    return text.rfind(kNextval, 0) == 0 && text.size() >= kNextval.size() + kAlwaysMark.size() &&
           text.substr(text.size() - kAlwaysMark.size()) == kAlwaysMark;
}

std::string writtenDefault(const std::string& text) {
    const std::size_t start = text.find_first_not_of(" (");
    if (start == std::string::npos || text.compare(start, 2, "/*") != 0)
        return text;
    const std::size_t end = text.find("*/", start + 2);
    return end == std::string::npos ? text : text.substr(start + 2, end - start - 2);
}

std::string storedDefaultText(const std::string& written, const std::string& declaredType,
                              const std::string& title) {
    const ColumnStorage s = storageOfDeclared(declaredType);
    std::string call;
    switch (s.kind) {
        case ColumnStorage::Kind::FixedNumber:
            call = "ORA_STORE_NUMBER(" + written + ", " + std::to_string(s.precision) + ", " +
                   std::to_string(s.scale) + ')';
            break;
        case ColumnStorage::Kind::FloatNumber:
            call = "ORA_STORE_FLOAT(" + written + ", " + std::to_string(s.precision) + ')';
            break;
        case ColumnStorage::Kind::Text:
            call = "ORA_STORE_TEXT(" + written + ", " + std::to_string(s.length) + ", " +
                   std::to_string((s.inCharacters ? 1 : 0) + (s.padded ? 2 : 0)) + ", " +
                   quoteText(title) + ')';
            break;
        case ColumnStorage::Kind::AsIs:
            return written;
    }
    if (written.find("*/") != std::string::npos)
        return written;
    return "(/*" + written + "*/ " + call + ')';
}

namespace {

std::int64_t sequenceNumber(const std::string& text) {
    std::size_t used = 0;
    long long value = 0;
    try {
        value = std::stoll(text, &used);
    } catch (const std::exception&) {
        used = 0;
    }
    if (used != text.size() || text.empty())
        unsupported("sequence values other than integers of up to 18 digits (" + text + ")");
    return value;
}

SequenceWork sequenceWork(const std::string& name, const SequenceOptions& o) {
    SequenceWork w;
    w.name = name;
    auto number = [](const std::optional<std::string>& text) -> std::optional<std::int64_t> {
        if (!text)
            return std::nullopt;
        return sequenceNumber(*text);
    };
    w.startWith = number(o.startWith);
    w.incrementBy = number(o.incrementBy);
    w.minValue = number(o.minValue);
    w.maxValue = number(o.maxValue);
    w.cache = number(o.cache);
    w.noMinValue = o.noMinValue;
    w.noMaxValue = o.noMaxValue;
    w.noCache = o.noCache;
    w.restart = o.restart;
    w.cycle = o.cycle;
    w.order = o.order;
    return w;
}

std::vector<std::string> names(const std::vector<Identifier>& list) {
    std::vector<std::string> out;
    for (const Identifier& i : list)
        out.push_back(i.name);
    return out;
}

char constraintType(ConstraintDefinition::Kind kind) {
    switch (kind) {
        case ConstraintDefinition::Kind::PrimaryKey:
            return 'P';
        case ConstraintDefinition::Kind::Unique:
            return 'U';
        case ConstraintDefinition::Kind::ForeignKey:
            return 'R';
        default:
            return 'C';
    }
}

}  // namespace

// An identity column: its values come from a sequence of its own, through
// the column's DEFAULT; Oracle makes the column NOT NULL.
std::string Emitter::identityColumn(const std::string& table, const ColumnDefinition& c) {
    if (c.defaultValue)
        fail(30614, "cannot specify DEFAULT and identity clause for the same column");
    SequenceWork sequence =
        sequenceWork(identitySequenceName(table, c.name.name), c.identityOptions);
    m_result.ddl.identities.emplace_back(c.name.name, sequence);
    return capture([&] {
        name(c.name);
        if (c.type) {
            m_out += ' ';
            // SQLite's INTEGER PRIMARY KEY is the rowid, which takes no
            // DEFAULT: an identity column is a NUMBER(38, 0) instead, as
            // Oracle's INTEGER is.
            const std::string spelled = c.type->spelled();
            if ((spelled == "INTEGER" || spelled == "INT") && c.type->arguments.empty())
                m_out += "NUMBER(38, 0)";
            else
                typeName(*c.type);
        }
        m_out += " DEFAULT " +
                 identityDefault(sequence.name, c.identity == ColumnDefinition::Identity::Always);
        const bool onNull = c.identity == ColumnDefinition::Identity::ByDefaultOnNull;
        bool notNull = false;
        for (const ConstraintDefinition& k : c.constraints) {
            if (k.kind == ConstraintDefinition::Kind::NotNull && onNull)
                continue;
            notNull = notNull || k.kind == ConstraintDefinition::Kind::NotNull;
            m_out += ' ';
            constraint(k, true);
        }
        if (onNull)
            m_out += " NOT NULL ON CONFLICT REPLACE";
        else if (!notNull)
            m_out += " NOT NULL";
    });
}

void Emitter::ddlWork(const Statement& s) {
    m_result.kind = Translation::Kind::Ddl;
    DdlWork& work = m_result.ddl;
    switch (s.kind) {
        case StatementKind::AlterTable:
            alterTable(s.as<AlterTableStatement>());
            break;
        case StatementKind::Sequence: {
            const auto& q = s.as<SequenceStatement>();
            if (q.name.size() > 1)
                unsupported("sequences of another schema");
            work.kind = q.create ? DdlWork::Kind::CreateSequence : DdlWork::Kind::AlterSequence;
            work.sequence = sequenceWork(q.name.back().name, q.options);
            break;
        }
        case StatementKind::Comment: {
            const auto& c = s.as<CommentStatement>();
            if (c.table.size() > 1)
                unsupported("comments on another schema's objects");
            work.kind = DdlWork::Kind::Comment;
            work.table = c.table.back().name;
            if (c.column)
                work.column = c.column->name;
            work.text = c.text;
            break;
        }
        case StatementKind::Truncate: {
            const auto& t = s.as<TruncateStatement>();
            if (t.table.size() > 1)
                unsupported("TRUNCATE of another schema's table");
            work.kind = DdlWork::Kind::Truncate;
            work.table = t.table.back().name;
            break;
        }
        case StatementKind::AlterSession:
            work.kind = DdlWork::Kind::AlterSession;
            work.settings = s.as<AlterSessionStatement>().settings;
            break;
        case StatementKind::Synonym: {
            const auto& y = s.as<SynonymStatement>();
            if (y.name.size() > 1 || y.target.size() > 1)
                unsupported("synonyms of another schema");
            work.kind = DdlWork::Kind::CreateSynonym;
            work.name = y.name.back().name;
            work.table = y.target.back().name;
            work.replace = y.orReplace;
            // A synonym is the name of its object: a view that selects every
            // column of it answers the same queries.
            m_out += "CREATE VIEW ";
            name(y.name.back());
            m_out += " AS SELECT * FROM ";
            name(y.target.back());
            break;
        }
        default:
            break;
    }
}

void Emitter::alterTable(const AlterTableStatement& s) {
    DdlWork& work = m_result.ddl;
    work.kind = DdlWork::Kind::AlterTable;
    if (s.table.size() > 1)
        unsupported("ALTER TABLE of another schema's table");
    work.table = s.table.back().name;
    using A = TableAlteration::Kind;
    using C = TableChange::Kind;
    for (const TableAlteration& a : s.alterations) {
        TableChange change;
        change.name = a.name.name;
        change.newName = a.newName.name;
        change.columns = names(a.columns);
        change.cascade = a.cascade;
        change.validate = a.validate;
        switch (a.kind) {
            case A::AddConstraint: {
                const ConstraintDefinition& c = a.constraint;
                change.kind = C::AddConstraint;
                change.constraintType = constraintType(c.kind);
                if (c.name)
                    change.name = c.name->name;
                change.columns = names(c.columns);
                if (!c.referencedTable.empty()) {
                    if (c.referencedTable.size() > 1)
                        unsupported("foreign keys to another schema's table");
                    change.referencedTable = c.referencedTable.back().name;
                }
                change.referencedColumns = names(c.referencedColumns);
                if (c.kind == ConstraintDefinition::Kind::Check) {
                    // Oracle's check names no column of its own; the
                    // dictionary lists the ones its condition reads.
                }
                // A constraint added DISABLE is written enabled and then
                // disabled by the engine.
                change.text = capture([&] { constraint(c, false); });
                work.changes.push_back(change);
                if (c.disabled) {
                    if (!c.name)
                        unsupported("an unnamed constraint added disabled");
                    TableChange disable;
                    disable.kind = C::DisableConstraint;
                    disable.name = c.name->name;
                    work.changes.push_back(std::move(disable));
                }
                continue;
            }
            case A::AddColumn:
                change.kind = C::AddColumn;
                change.name = a.column.name.name;
                if (a.column.identity != ColumnDefinition::Identity::None) {
                    change.text = identityColumn(work.table, a.column);
                    change.identity = work.identities.back().second;
                    work.identities.pop_back();
                } else {
                    change.text = capture([&] { columnDefinition(a.column, work.table); });
                }
                break;
            case A::ModifyColumn:
                change = modifyColumn(a.column);
                break;
            case A::DropConstraint:
                change.kind = C::DropConstraint;
                break;
            case A::DropPrimaryKey:
                change.kind = C::DropPrimaryKey;
                break;
            case A::DropUnique:
                change.kind = C::DropUnique;
                break;
            case A::DropColumn:
                change.kind = C::DropColumn;
                break;
            case A::EnableConstraint:
                change.kind = C::EnableConstraint;
                break;
            case A::DisableConstraint:
                change.kind = C::DisableConstraint;
                break;
            case A::RenameColumn:
                change.kind = C::RenameColumn;
                break;
            case A::RenameTable:
                change.kind = C::RenameTable;
                break;
            case A::RenameConstraint:
                unsupported("RENAME CONSTRAINT");
        }
        work.changes.push_back(std::move(change));
    }
}

// MODIFY column [type] [DEFAULT expr] [NOT NULL | NULL] [constraints]
// [GENERATED ... AS IDENTITY | DROP IDENTITY]: only what is written changes.
TableChange Emitter::modifyColumn(const ColumnDefinition& c) {
    TableChange change;
    change.kind = TableChange::Kind::ModifyColumn;
    change.name = c.name.name;
    change.identityOnNull =
        c.defaultOnNull || c.identity == ColumnDefinition::Identity::ByDefaultOnNull;
    if (c.type)
        change.type = capture([&] { typeName(*c.type); });
    if (c.defaultValue)
        change.defaultText = capture([&] { defaultValue(*c.defaultValue); });
    for (const ConstraintDefinition& k : c.constraints) {
        if (k.kind == ConstraintDefinition::Kind::NotNull) {
            change.notNull = true;
            if (k.name)
                change.notNullName = k.name->name;
        } else if (k.kind == ConstraintDefinition::Kind::Null) {
            change.notNull = false;
        } else {
            change.clauses.push_back(capture([&] { constraint(k, true); }));
        }
    }
    if (c.identity != ColumnDefinition::Identity::None) {
        if (c.defaultValue)
            fail(30614, "cannot specify DEFAULT and identity clause for the same column");
        change.identity =
            sequenceWork(identitySequenceName(m_result.ddl.table, c.name.name), c.identityOptions);
        change.defaultText = identityDefault(change.identity->name,
                                             c.identity == ColumnDefinition::Identity::Always);
        if (!change.notNull)
            change.notNull = true;
    }
    change.dropIdentity = c.dropIdentity;
    return change;
}

}  // namespace localengine::dialect
