// Statements in SQLite's words: DML, transaction control, and SQLite's own
// statements passed through token by token.

#include "Emitter.h"

#include "Error.h"

namespace localengine::dialect {

Emitter::Emitter(std::string owner, Translation& result, std::size_t inputLength)
    : m_owner(std::move(owner)),
      m_result(result),
      m_lengthLimit(kLengthFactor * inputLength + kLengthAllowance) {}

std::string Emitter::blockMark(int number, const char* part) const {
    if (m_result.kind != Translation::Kind::ExplainPlan || number <= 0)
        return {};
    std::string mark = "/*SEL$" + std::to_string(number);
    if (part)
        mark += std::string(" ") + part;
    return mark + "*/";
}

std::string Emitter::capture(const std::function<void()>& write) {
    std::string saved;
    saved.swap(m_out);
    write();
    saved.swap(m_out);
    return saved;
}

void Emitter::checkLength(std::size_t size) const {
    if (size > m_lengthLimit)
        fail(ora::kTooLong, "SQL statement length (" + std::to_string(size) +
                                ") exceeds maximum allowed length (" +
                                std::to_string(m_lengthLimit) +
                                "): the statement grows too much in translation; nothing was run");
}

std::string Emitter::statement(const Statement& s) {
    m_out.clear();
    switch (s.kind) {
        case StatementKind::Select:
            query(*s.as<SelectStatement>().query);
            break;
        case StatementKind::Insert:
            insert(s.as<InsertStatement>());
            break;
        case StatementKind::Update:
            update(s.as<UpdateStatement>());
            break;
        case StatementKind::Delete:
            remove(s.as<DeleteStatement>());
            break;
        case StatementKind::Merge:
            merge(s.as<MergeStatement>());
            break;
        case StatementKind::Transaction:
            transaction(s.as<TransactionStatement>());
            break;
        case StatementKind::CreateTable:
            createTable(s.as<CreateTableStatement>());
            break;
        case StatementKind::CreateIndex:
            createIndex(s.as<CreateIndexStatement>());
            break;
        case StatementKind::CreateView:
            createView(s.as<CreateViewStatement>());
            break;
        case StatementKind::Drop:
            drop(s.as<DropStatement>());
            break;
        case StatementKind::PassThrough:
            break;  // written from its tokens by the translator
        case StatementKind::ExplainPlan:
            statement(*s.as<ExplainPlanStatement>().explained);
            break;
        case StatementKind::AlterTable:
        case StatementKind::Sequence:
        case StatementKind::Comment:
        case StatementKind::Truncate:
        case StatementKind::AlterSession:
        case StatementKind::Synonym:
            ddlWork(s);
            break;
    }
    return std::move(m_out);
}

// SQLite takes `table AS alias` in DML.
void Emitter::dmlTarget(const DmlTarget& target) {
    qualifiedName(target.table->name);
    if (target.table->alias) {
        m_out += " AS ";
        name(*target.table->alias);
    }
}

void Emitter::insert(const InsertStatement& s) {
    if (s.multitable) {
        multitableInsert(*s.multitable);
        return;
    }
    m_out += "INSERT INTO ";
    dmlTarget(s.target);
    if (!s.columns.empty()) {
        m_out += " (";
        for (std::size_t i = 0; i < s.columns.size(); ++i) {
            if (i)
                m_out += ", ";
            name(s.columns[i]);
        }
        m_out += ')';
    }
    const NamedTable& table = *s.target.table;
    const std::vector<int> targets = insertTargets(*s.target.table, s.columns);
    if (s.query) {
        m_out += ' ';
        if (!storedQuery(*s.query, table, targets))
            query(*s.query);
        return;
    }
    m_out += " VALUES ";
    for (std::size_t r = 0; r < s.rows.size(); ++r) {
        if (r)
            m_out += ", ";
        m_out += '(';
        for (std::size_t i = 0; i < s.rows[r].size(); ++i) {
            if (!s.rows[r][i])
                unsupported("DEFAULT in VALUES");
            if (i)
                m_out += ", ";
            if (i < targets.size() && targets[i] >= 0)
                assignedTo(*s.rows[r][i], table, targets[i]);
            else
                expr(*s.rows[r][i]);
        }
        m_out += ')';
    }
}

// SQLite takes no qualifier on an assigned column: SET t.c = 1 is SET c = 1.
void Emitter::update(const UpdateStatement& s) {
    m_out += "UPDATE ";
    dmlTarget(s.target);
    m_out += " SET ";
    const NamedTable& table = *s.target.table;
    for (std::size_t i = 0; i < s.assignments.size(); ++i) {
        const Assignment& a = s.assignments[i];
        if (a.toDefault)
            unsupported("SET column = DEFAULT");
        if (i)
            m_out += ", ";
        // The table's column each assigned name is, -1 when not known.
        std::vector<int> targets;
        for (const auto& c : a.columns) {
            const ColumnBinding& b = c->binding;
            targets.push_back(b.source == &table ? b.column : -1);
            refuseIdentityUpdate(table, targets.back());
        }
        if (a.columns.size() > 1)
            m_out += '(';
        for (std::size_t k = 0; k < a.columns.size(); ++k) {
            if (k)
                m_out += ", ";
            name(a.columns[k]->column());
        }
        if (a.columns.size() > 1)
            m_out += ')';
        m_out += " = ";
        if (a.columns.size() == 1 && targets.front() >= 0) {
            assignedTo(*a.value, table, targets.front());
            continue;
        }
        // (a, b) = (query): the query's row stored column by column.
        if (a.columns.size() > 1 && a.value->kind == ExprKind::ScalarSubquery) {
            const std::size_t start = m_out.size();
            m_out += '(';
            if (storedQuery(*a.value->as<ScalarSubquery>().query, table, targets)) {
                m_out += ')';
                continue;
            }
            m_out.resize(start);
        }
        expr(*a.value);
    }
    if (s.where) {
        const ConditionScope condition(*this, true);
        m_out += " WHERE ";
        expr(*s.where);
    }
}

void Emitter::remove(const DeleteStatement& s) {
    m_out += "DELETE FROM ";
    dmlTarget(s.target);
    if (s.where) {
        const ConditionScope condition(*this, true);
        m_out += " WHERE ";
        expr(*s.where);
    }
}

void Emitter::transaction(const TransactionStatement& s) {
    switch (s.action) {
        case TransactionStatement::Action::Commit:
            m_out += "COMMIT";
            break;
        case TransactionStatement::Action::Rollback:
            m_out += "ROLLBACK";
            break;
        case TransactionStatement::Action::Savepoint:
            m_out += "SAVEPOINT ";
            name(s.savepoint);
            break;
        case TransactionStatement::Action::RollbackToSavepoint:
            m_out += "ROLLBACK TO ";
            name(s.savepoint);
            break;
    }
}

}  // namespace localengine::dialect
