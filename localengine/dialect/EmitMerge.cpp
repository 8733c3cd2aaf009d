// MERGE as the SQLite statements that carry it out, in this order:
//   1. a check that no target row matches two source rows (Oracle's
//      ORA-30926), when the statement updates:
//        SELECT 1 FROM target AS t JOIN source AS s ON (on) [AND (w)]
//        GROUP BY t.ROWID HAVING COUNT(*) > 1 LIMIT 1
//   2. WHEN MATCHED THEN UPDATE SET ... [WHERE w]:
//        UPDATE target AS t SET ... FROM source AS s WHERE (on) [AND (w)]
//   3. WHEN NOT MATCHED THEN INSERT (...) VALUES (...) [WHERE w]:
//        INSERT INTO target (...) SELECT ... FROM source AS s
//        WHERE NOT EXISTS (SELECT 1 FROM target AS t WHERE (on)) [AND (w)]
// The update comes first: the columns of the ON condition cannot be
// updated (ORA-38104), so the rows it matches are the same before and
// after it, and the insert sees the target as the MERGE found it. The
// engine runs the steps as one statement (all or nothing).
// DELETE WHERE and DEFAULT among the values are refused.

#include "AstWalk.h"
#include "Emitter.h"
#include "Error.h"

#include <set>
#include <string>

namespace localengine::dialect {

namespace {

constexpr int kOnColumnUpdated = 38104;  // Columns referenced in the ON Clause cannot be updated

// The target's columns the ON condition reads.
void targetColumnsRead(const Expr& e, const TableRef* target, std::set<std::string>& out) {
    if (e.kind == ExprKind::ColumnRef) {
        const ColumnRef& c = e.as<ColumnRef>();
        if (c.binding.source == target && c.binding.outerLevels == 0)
            out.insert(c.column().name);
        return;
    }
    forEachChild(e, [&](const Expr& child) { targetColumnsRead(child, target, out); });
}

}  // namespace

void Emitter::merge(const MergeStatement& s) {
    if (s.deleteWhere)
        unsupported("MERGE ... DELETE WHERE");
    const NamedTable& target = *s.target.table;
    std::set<std::string> onColumns;
    targetColumnsRead(*s.on, &target, onColumns);
    for (const Assignment& a : s.updates) {
        if (a.toDefault)
            unsupported("SET column = DEFAULT");
        for (const auto& column : a.columns)
            if (onColumns.count(column->column().name))
                fail(kOnColumnUpdated, "Columns referenced in the ON Clause cannot be updated: \"" +
                                           target.name.back().name + "\".\"" +
                                           column->column().name + "\"");
    }
    std::string saved = std::move(m_out);
    m_out.clear();
    auto step = [&] {
        m_result.mergeSteps.push_back(std::move(m_out));
        m_out.clear();
    };
    auto onAnd = [&](const Expr* extra) {
        const ConditionScope condition(*this, true);
        m_out += '(';
        expr(*s.on);
        m_out += ')';
        if (extra) {
            m_out += " AND (";
            expr(*extra);
            m_out += ')';
        }
    };
    if (!s.updates.empty()) {
        if (target.table && !target.table->hasRowid)
            unsupported("MERGE ... UPDATE into a table without ROWID");
        m_out += "SELECT 1 FROM ";
        dmlTarget(s.target);
        m_out += " JOIN ";
        tableReference(*s.source);
        m_out += " ON ";
        onAnd(s.updateWhere.get());
        m_out += " GROUP BY ";
        name(target.exposedName());
        m_out += ".ROWID HAVING COUNT(*) > 1 LIMIT 1";
        step();
        m_out += "UPDATE ";
        dmlTarget(s.target);
        m_out += " SET ";
        mergeAssignments(s);
        m_out += " FROM ";
        tableReference(*s.source);
        m_out += " WHERE ";
        onAnd(s.updateWhere.get());
        step();
    }
    if (s.hasInsert) {
        mergeInsert(s);
        step();
    }
    m_out = std::move(saved);
}

void Emitter::mergeAssignments(const MergeStatement& s) {
    for (std::size_t i = 0; i < s.updates.size(); ++i) {
        const Assignment& a = s.updates[i];
        m_out += i ? ", " : "";
        if (a.columns.size() > 1)
            unsupported("SET (columns) = (subquery) in MERGE");
        name(a.columns.front()->column());
        m_out += " = ";
        const ColumnBinding& column = a.columns.front()->binding;
        if (column.source == s.target.table.get() && column.column >= 0)
            assignedTo(*a.value, *s.target.table, column.column);
        else
            expr(*a.value);
    }
}

void Emitter::mergeInsert(const MergeStatement& s) {
    const NamedTable& target = *s.target.table;
    m_out += "INSERT INTO ";
    qualifiedName(target.name);
    std::vector<int> columns;
    if (!s.insertColumns.empty()) {
        m_out += " (";
        for (std::size_t i = 0; i < s.insertColumns.size(); ++i) {
            m_out += i ? ", " : "";
            name(s.insertColumns[i]);
            int found = -1;
            for (std::size_t c = 0; target.columnsKnown && c < target.columns.size(); ++c)
                if (equalsIgnoringCase(target.columns[c].name, s.insertColumns[i].name))
                    found = static_cast<int>(c);
            columns.push_back(found);
        }
        m_out += ')';
    } else {
        for (std::size_t c = 0; target.columnsKnown && c < target.columns.size(); ++c)
            columns.push_back(static_cast<int>(c));
    }
    m_out += " SELECT ";
    for (std::size_t i = 0; i < s.insertValues.size(); ++i) {
        if (!s.insertValues[i])
            unsupported("DEFAULT in the VALUES of MERGE");
        m_out += i ? ", " : "";
        if (i < columns.size() && columns[i] >= 0)
            assignedTo(*s.insertValues[i], target, columns[i]);
        else
            expr(*s.insertValues[i]);
    }
    m_out += " FROM ";
    tableReference(*s.source);
    const ConditionScope condition(*this, true);
    m_out += " WHERE NOT EXISTS (SELECT 1 FROM ";
    dmlTarget(s.target);
    m_out += " WHERE (";
    expr(*s.on);
    m_out += "))";
    if (s.insertWhere) {
        m_out += " AND (";
        expr(*s.insertWhere);
        m_out += ')';
    }
}

}  // namespace localengine::dialect
