// What INSERT and UPDATE write into typed columns: the target columns of an
// INSERT, the refusal of values for GENERATED ALWAYS identity columns, and
// queries whose rows are stored (INSERT ... SELECT, SET (a, b) = (query)),
// each column converted as Emitter::stored converts one value.

#include "Emitter.h"

#include "Catalog.h"
#include "Error.h"
#include "WorkingNames.h"

namespace localengine::dialect {

namespace {

namespace code {
constexpr int kInsertIdentity = 32795;  // cannot insert into a generated always identity column
constexpr int kUpdateIdentity = 32796;  // cannot update a generated always identity column
}  // namespace code

bool generatedAlways(const NamedTable& table, int column) {
    return column >= 0 && table.table &&
           static_cast<std::size_t>(column) < table.table->columns.size() &&
           table.table->columns[static_cast<std::size_t>(column)].generatedAlways;
}

}  // namespace

// The index of each column an INSERT writes, in the order of its values
// (-1 for a name the table lacks); empty when the table's columns are not
// known. A GENERATED ALWAYS identity column among them is ORA-32795.
std::vector<int> Emitter::insertTargets(const NamedTable& table,
                                        const std::vector<Identifier>& columns) const {
    std::vector<int> targets;
    if (!table.columnsKnown)
        return targets;
    if (columns.empty()) {
        for (std::size_t i = 0; i < table.columns.size(); ++i)
            targets.push_back(static_cast<int>(i));
    } else {
        for (const Identifier& c : columns) {
            int found = -1;
            for (std::size_t i = 0; i < table.columns.size() && found < 0; ++i)
                if (equalsIgnoringCase(table.columns[i].name, c.name))
                    found = static_cast<int>(i);
            targets.push_back(found);
        }
    }
    for (int column : targets)
        if (generatedAlways(table, column))
            fail(code::kInsertIdentity, "cannot insert into a generated always identity column");
    return targets;
}

void Emitter::refuseIdentityUpdate(const NamedTable& table, int column) const {
    if (generatedAlways(table, column))
        fail(code::kUpdateIdentity, "cannot update a generated always identity column");
}

// The declared type of each of a single block's columns that is a table's
// column as it is (a column or a star); null for the others. Empty for any
// other query.
std::vector<const std::string*> sourceTypes(const Query& q) {
    std::vector<const std::string*> out;
    const SelectBlock* b = q.singleBlock();
    if (!b)
        return out;
    for (const SelectItem& item : b->items) {
        if (item.expr->kind == ExprKind::ColumnRef) {
            const ColumnBinding& c = item.expr->as<ColumnRef>().binding;
            out.push_back(c.outerLevels == 0 ? declaredTypeOf(c.source, c.column) : nullptr);
        } else if (item.expr->kind == ExprKind::Star) {
            for (const Star::Column& c : item.expr->as<Star>().expansion)
                out.push_back(declaredTypeOf(c.source, c.column));
        } else {
            out.push_back(nullptr);
        }
    }
    return out;
}

// `q` read as rows stored into the columns `targets` of `table`:
//   WITH "__V"("__V1", ...) AS (q) SELECT ORA_STORE_...("__V1"), ... FROM "__V"
// The query itself is written as it would be (its plan and its predicates
// stay as they are; SQLite flattens the one reference to "__V" where it
// can). False, with nothing written, when no column needs a conversion or
// the query's columns do not match the targets (SQLite then reports the
// mismatch as it would).
bool Emitter::storedQuery(const Query& q, const NamedTable& table,
                          const std::vector<int>& targets) {
    if (!q.columnsKnown || q.columnTypes.size() != targets.size() || targets.empty())
        return false;
    const std::vector<const std::string*> sources = sourceTypes(q);
    std::vector<std::string> columns;
    bool converting = false;
    for (std::size_t i = 0; i < targets.size(); ++i) {
        const std::string column = quoteName(working::storedColumn(i + 1));
        if (targets[i] < 0) {
            columns.push_back(column);
            continue;
        }
        const ValueWriter write = [&](int) { m_out += column; };
        std::string value = capture([&] {
            stored(q.columnTypes[i], write, table, targets[i],
                   i < sources.size() ? sources[i] : nullptr);
        });
        converting = converting || value != column;
        columns.push_back(std::move(value));
    }
    if (!converting)
        return false;
    m_out += "WITH ";
    m_out += quoteName(working::kStoredRows);
    m_out += '(';
    for (std::size_t i = 0; i < targets.size(); ++i) {
        if (i)
            m_out += ", ";
        m_out += quoteName(working::storedColumn(i + 1));
    }
    m_out += ") AS ";
    subquery(q);
    m_out += " SELECT ";
    for (std::size_t i = 0; i < columns.size(); ++i) {
        if (i)
            m_out += ", ";
        m_out += columns[i];
    }
    m_out += " FROM ";
    m_out += quoteName(working::kStoredRows);
    checkLength(m_out.size());
    return true;
}

}  // namespace localengine::dialect
