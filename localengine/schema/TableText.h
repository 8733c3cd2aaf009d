#pragma once
// A CREATE TABLE statement as SQLite stores it in sqlite_schema, cut into its
// column and constraint definitions so that a change SQLite's ALTER TABLE
// cannot make (a constraint added or dropped, a column changed) edits one
// definition and writes the statement again. Every other definition keeps the
// text it was written with, so nothing the table declared is lost on the way.

#include <optional>
#include <string>
#include <vector>

namespace localengine::schema {

struct TableDefinition {
    enum class Kind { Column, Constraint };
    Kind kind = Kind::Column;
    std::string name;  // the column's name, or the constraint's (empty when unnamed), as the
                       // dictionary shows it: unquoted names upper case
    std::string text;  // the definition as written
};

// A constraint taken out of a table's definition: its text, and the column
// it was a clause of (empty for a table constraint).
struct TakenConstraint {
    std::string column;
    std::string text;
};

class TableText {
public:
    // Cuts a CREATE TABLE text with a column list. Throws EngineError for
    // any other text.
    static TableText parse(const std::string& createTableSql);

    // The statement again, for a table named `table` (quoted as needed).
    std::string sql(const std::string& table) const;

    const std::vector<TableDefinition>& definitions() const { return m_definitions; }
    // The names of the columns in their order.
    std::vector<std::string> columnNames() const;

    // Index of the column named `name` (compared as SQLite does), or -1.
    int findColumn(const std::string& name) const;
    // True when a constraint of that name is declared, on the table or on a
    // column.
    bool hasConstraint(const std::string& name) const;

    // Adds a table constraint definition (text in SQLite's dialect).
    void addConstraint(const std::string& name, const std::string& text);
    // Adds a column definition at the end.
    void addColumn(const std::string& name, const std::string& text);
    // Replaces the definition of column `index`.
    void replaceColumn(int index, const std::string& text);
    // Removes the column `index` and every table constraint that names it.
    void removeColumn(int index);
    // Removes the named constraint, whether it is a table constraint or a
    // clause of a column definition. False when there is none.
    bool removeConstraint(const std::string& name);
    // Removes the table's PRIMARY KEY (table constraint or column clause),
    // whatever its name. False when there is none.
    bool removePrimaryKey();

    // Removes the named constraint and returns what it was; none when the
    // table has no constraint of that name.
    std::optional<TakenConstraint> takeConstraint(const std::string& name);
    // Appends a clause (NOT NULL, CONSTRAINT n CHECK (...) ...) to column `index`.
    void addColumnClause(int index, const std::string& clause);
    // The column's NOT NULL clause: whether it has one; removing it.
    bool columnIsNotNull(int index) const;
    bool removeNotNull(int index);
    // Replaces the column's DEFAULT ("NULL": takes it away) or its type.
    void setDefault(int index, const std::string& defaultText);
    void setType(int index, const std::string& type);

    // What followed the closing parenthesis (WITHOUT ROWID, STRICT).
    const std::string& options() const { return m_options; }

private:
    std::vector<TableDefinition> m_definitions;
    std::string m_options;
};

}  // namespace localengine::schema
