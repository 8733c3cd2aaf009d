// DDL in SQLite's words: CREATE TABLE with Oracle's column types and
// constraints, CREATE INDEX, CREATE VIEW and DROP.

#include "Emitter.h"

#include "Error.h"

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
        overrideHeadings(std::move(names));
        m_out += " AS ";
        query(*s.asQuery);
        return;
    }
    m_out += " (";
    for (std::size_t i = 0; i < s.columns.size(); ++i) {
        if (i)
            m_out += ", ";
        columnDefinition(s.columns[i]);
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

void Emitter::columnDefinition(const ColumnDefinition& c) {
    name(c.name);
    if (c.type) {
        m_out += ' ';
        typeName(*c.type);
    }
    if (c.defaultValue) {
        m_out += " DEFAULT ";
        defaultValue(*c.defaultValue);
    }
    for (const ConstraintDefinition& k : c.constraints) {
        m_out += ' ';
        constraint(k, true);
    }
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
    m_out += spelled;
    if (type.arguments.empty())
        return;
    m_out += '(';
    for (std::size_t i = 0; i < type.arguments.size(); ++i) {
        if (i)
            m_out += ", ";
        m_out += type.arguments[i] == "*" ? std::string("38") : type.arguments[i];
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

void Emitter::constraint(const ConstraintDefinition& c, bool inlineConstraint) {
    if (c.disabled)
        unsupported("disabled constraints");
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

void Emitter::createView(const CreateViewStatement& s) {
    if (s.orReplace)
        unsupported("CREATE OR REPLACE VIEW");
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
    query(*s.query);
}

// CASCADE CONSTRAINTS and PURGE have nothing to do in SQLite.
void Emitter::drop(const DropStatement& s) {
    switch (s.object) {
        case DropStatement::Object::Table:
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
            fail(ora::kSequenceMissing, "sequence does not exist");
        case DropStatement::Object::Synonym:
            unsupported("DROP SYNONYM");
    }
    if (s.ifExists)
        m_out += "IF EXISTS ";
    qualifiedName(s.name);
}

}  // namespace localengine::dialect
