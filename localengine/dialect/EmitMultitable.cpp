// INSERT ALL | FIRST as the SQLite statements that carry it out (run in
// order as one statement, all or nothing, as MERGE's steps are):
//   1. the subquery's rows, read once into a temporary table of untyped
//      columns named by position:
//        CREATE TEMP TABLE "__MT"("__MT1", ...); INSERT INTO temp."__MT" subquery
//   2. per INTO clause, in the order written:
//        INSERT INTO target [(columns)] SELECT values FROM temp."__MT" [WHERE which]
//      where `which` is the INTO's WHEN condition (ALL), or "no earlier WHEN
//      holds and this one does" (FIRST), or "no WHEN holds" (ELSE);
//   3. DROP TABLE temp."__MT".
// Reading the rows once keeps each INTO from seeing what an earlier one
// inserted (a subquery over a target table) and evaluates the subquery's
// functions once per row, as Oracle does. The values are stored through the
// target columns' types as INSERT's are.

#include "Emitter.h"

#include "Error.h"
#include "WorkingNames.h"

namespace localengine::dialect {

void Emitter::multitableInsert(const MultitableInsert& m) {
    const DerivedTable& source = *m.source;
    const std::string rows = std::string("temp.") + quoteName(working::kMultitableRows);
    std::string saved = std::move(m_out);
    m_out.clear();
    auto step = [&] {
        checkLength(m_out.size());
        m_result.mergeSteps.push_back(std::move(m_out));
        m_out.clear();
    };
    const std::size_t width = source.columnsKnown ? source.columns.size() : 0;

    m_out += "DROP TABLE IF EXISTS " + rows;
    step();
    if (width > 0) {
        m_out += "CREATE TEMP TABLE " + quoteName(working::kMultitableRows) + " (";
        for (std::size_t i = 0; i < width; ++i) {
            m_out += i ? ", " : "";
            m_out += quoteName(working::multitableColumn(i + 1));
        }
        m_out += ')';
        step();
        m_out += "INSERT INTO " + rows + ' ';
        query(*source.query);
    } else {
        // Columns not known (a source the catalog lacks): SQLite names
        // them, and SQLite reports what is missing.
        m_out += "CREATE TEMP TABLE " + quoteName(working::kMultitableRows) + " AS SELECT * FROM ";
        subquery(*source.query);
    }
    step();
    m_result.preparingSteps = m_result.mergeSteps.size();

    m_multitableSource = width > 0 ? &source : nullptr;
    for (const InsertInto& into : m.intos) {
        const NamedTable& table = *into.target.table;
        m_out += "INSERT INTO ";
        qualifiedName(table.name);
        if (!into.columns.empty()) {
            m_out += " (";
            for (std::size_t i = 0; i < into.columns.size(); ++i) {
                m_out += i ? ", " : "";
                name(into.columns[i]);
            }
            m_out += ')';
        }
        const std::vector<int> targets = insertTargets(table, into.columns);
        m_out += " SELECT ";
        if (into.hasValues) {
            for (std::size_t i = 0; i < into.values.size(); ++i) {
                if (!into.values[i])
                    unsupported("DEFAULT in the VALUES of a multitable INSERT");
                m_out += i ? ", " : "";
                if (i < targets.size() && targets[i] >= 0)
                    assignedTo(*into.values[i], table, targets[i]);
                else
                    expr(*into.values[i]);
            }
        } else if (width == 0) {
            m_out += '*';
        } else {
            for (std::size_t i = 0; i < width; ++i) {
                m_out += i ? ", " : "";
                const std::string column = quoteName(working::multitableColumn(i + 1));
                if (i < targets.size() && targets[i] >= 0)
                    stored(
                        source.columnTypes[i], [&](int) { m_out += column; }, table, targets[i]);
                else
                    m_out += column;
            }
        }
        m_out += " FROM " + rows;
        if (into.condition != InsertInto::kAlways) {
            const ConditionScope condition(*this, true);
            m_out += " WHERE ";
            if (into.condition >= 0 && !m.first) {
                m_out += '(';
                expr(*m.conditions[static_cast<std::size_t>(into.condition)]);
                m_out += ')';
            } else {
                // The index of the first WHEN that holds, -1 for none.
                m_out += "CASE";
                const std::size_t last = into.condition == InsertInto::kElse
                                             ? m.conditions.size()
                                             : static_cast<std::size_t>(into.condition) + 1;
                for (std::size_t k = 0; k < last; ++k) {
                    m_out += " WHEN (";
                    expr(*m.conditions[k]);
                    m_out += ") THEN " + std::to_string(k);
                }
                m_out += " ELSE -1 END = " +
                         std::to_string(into.condition == InsertInto::kElse ? -1 : into.condition);
            }
        }
        step();
    }
    m_multitableSource = nullptr;

    m_out += "DROP TABLE " + rows;
    step();
    m_out = std::move(saved);
}

}  // namespace localengine::dialect
