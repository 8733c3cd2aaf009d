#include "SqliteCatalog.h"

#include "dialect/Lexer.h"

#include <sqlite3.h>

namespace localengine {

using dialect::ColumnInfo;
using dialect::TableInfo;

std::shared_ptr<const TableInfo> SqliteCatalog::findTable(const std::string& name) const {
    const std::string key = dialect::upperAscii(name);
    auto found = m_tables.find(key);
    if (found != m_tables.end())
        return found->second;
    std::shared_ptr<const TableInfo> info = read(name);
    m_tables.emplace(key, info);
    return info;
}

// The first object of that name in SQLite's search order (temporary, then
// main), as pragma_table_list and pragma_table_xinfo find it.
std::shared_ptr<const TableInfo> SqliteCatalog::read(const std::string& name) const {
    if (!m_kind)
        m_kind = sqlite::Statement(m_db,
                                   "SELECT schema, type, wr FROM pragma_table_list(?1)"
                                   " ORDER BY schema = 'temp' DESC, schema = 'main' DESC");
    m_kind.bind(1, name);
    if (!m_kind.step()) {
        m_kind.reset();
        return nullptr;
    }
    const std::string schema = m_kind.text(0);
    const std::string type = m_kind.text(1);
    const bool withoutRowid = m_kind.integer(2) != 0;
    m_kind.reset();
    if (type != "table" && type != "view" && type != "virtual")
        return nullptr;

    auto info = std::make_shared<TableInfo>();
    info->name = name;
    info->kind = type == "view" ? TableInfo::Kind::View : TableInfo::Kind::Table;
    info->hasRowid = type == "table" && !withoutRowid;
    if (!m_columns)
        m_columns = sqlite::Statement(m_db,
                                      "SELECT name, type, pk, hidden"
                                      " FROM pragma_table_xinfo(?1, ?2) ORDER BY cid");
    m_columns.bind(1, name);
    m_columns.bind(2, schema);
    int keyColumns = 0;
    std::string key, keyType;
    while (m_columns.step()) {
        if (m_columns.integer(3) == 1)
            continue;  // a virtual table's hidden column: not part of *
        ColumnInfo c;
        c.name = m_columns.text(0);
        c.declaredType = m_columns.text(1);
        c.type = dialect::typeOfDeclared(c.declaredType);
        if (m_columns.integer(2) > 0) {
            ++keyColumns;
            key = c.name;
            keyType = c.declaredType;
        }
        if (dialect::equalsIgnoringCase(c.name, "ROWID"))
            info->hasRowid = false;
        info->columns.push_back(std::move(c));
    }
    m_columns.reset();
    // The one INTEGER PRIMARY KEY column of a rowid table is its row id.
    if (info->hasRowid && keyColumns == 1 && dialect::equalsIgnoringCase(keyType, "INTEGER"))
        info->rowidAlias = key;
    return info;
}

}  // namespace localengine
