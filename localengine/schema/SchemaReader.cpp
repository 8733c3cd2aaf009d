#include "schema/SchemaReader.h"

#include "sqlite/SqliteText.h"

namespace localengine::schema {

std::vector<SchemaObject> SchemaReader::objects() {
    std::vector<SchemaObject> out;
    sqlite::Statement s(m_db, "SELECT type, name, tbl_name, sql FROM main.sqlite_schema");
    while (s.step())
        out.push_back(SchemaObject{s.text(0), s.text(1), s.text(2), s.text(3)});
    return out;
}

std::vector<ColumnDef> SchemaReader::columns(const std::string& table) {
    if (!m_columns)
        m_columns = sqlite::Statement(m_db,
                                      "SELECT name, type, \"notnull\", dflt_value, pk"
                                      " FROM pragma_table_info(?1, 'main') ORDER BY cid");
    std::vector<ColumnDef> out;
    m_columns.bind(1, table);
    while (m_columns.step())
        out.push_back(ColumnDef{m_columns.text(0), m_columns.text(1), m_columns.text(3),
                                m_columns.integer(2) != 0, static_cast<int>(m_columns.integer(4))});
    m_columns.reset();
    return out;
}

std::vector<IndexDef> SchemaReader::indexes(const std::string& table) {
    // One statement for all of a table's indexes and their key columns.
    if (!m_indexes)
        m_indexes =
            sqlite::Statement(m_db,
                              "SELECT il.name, il.\"unique\", il.origin, ii.name, ii.\"desc\""
                              " FROM pragma_index_list(?1, 'main') il"
                              " JOIN pragma_index_xinfo(il.name, 'main') ii ON ii.key = 1"
                              " ORDER BY upper(il.name), il.name, ii.seqno");
    std::vector<IndexDef> out;
    m_indexes.bind(1, table);
    while (m_indexes.step()) {
        const std::string name = m_indexes.text(0);
        if (out.empty() || out.back().name != name)
            out.push_back(IndexDef{name, m_indexes.integer(1) != 0, m_indexes.text(2), {}});
        out.back().columns.push_back(
            IndexColumn{m_indexes.text(3), m_indexes.integer(4) != 0, m_indexes.isNull(3)});
    }
    m_indexes.reset();
    return out;
}

std::optional<TableEntry> SchemaReader::findTable(const std::string& name) {
    if (!m_tableList)
        m_tableList = sqlite::Statement(m_db,
                                        "SELECT schema, type, wr FROM pragma_table_list(?1)"
                                        " ORDER BY schema = 'temp' DESC, schema = 'main' DESC");
    m_tableList.bind(1, name);
    std::optional<TableEntry> entry;
    if (m_tableList.step())
        entry = TableEntry{m_tableList.text(0), m_tableList.text(1), m_tableList.integer(2) != 0};
    m_tableList.reset();
    return entry;
}

std::vector<ColumnDef> SchemaReader::visibleColumns(const std::string& table,
                                                    const std::string& schemaName) {
    if (!m_visibleColumns)
        m_visibleColumns =
            sqlite::Statement(m_db,
                              "SELECT name, type, \"notnull\", dflt_value, pk, hidden"
                              " FROM pragma_table_xinfo(?1, ?2) ORDER BY cid");
    std::vector<ColumnDef> out;
    m_visibleColumns.bind(1, table);
    m_visibleColumns.bind(2, schemaName);
    while (m_visibleColumns.step()) {
        if (m_visibleColumns.integer(5) == 1)
            continue;  // a virtual table's hidden column: not part of *
        out.push_back(ColumnDef{m_visibleColumns.text(0), m_visibleColumns.text(1),
                                m_visibleColumns.text(3), m_visibleColumns.integer(2) != 0,
                                static_cast<int>(m_visibleColumns.integer(4))});
    }
    m_visibleColumns.reset();
    return out;
}

std::string rowidAliasOf(const std::vector<ColumnDef>& columns) {
    const ColumnDef* key = nullptr;
    for (const ColumnDef& c : columns) {
        if (c.primaryKeyPosition > 0) {
            if (key)
                return {};  // a composite key aliases nothing
            key = &c;
        }
    }
    return key && sqlite::upperName(key->declaredType) == "INTEGER" ? key->name : std::string();
}

bool isWithoutRowid(const std::string& sql) {
    const std::string upper = sqlite::upperName(sql);
    const std::size_t close = upper.rfind(')');
    if (close == std::string::npos)
        return false;
    const std::size_t w = upper.find("WITHOUT", close);
    return w != std::string::npos && upper.find("ROWID", w) != std::string::npos;
}

}  // namespace localengine::schema
