#include "Catalog.h"

#include "Lexer.h"

namespace localengine::dialect {

int TableInfo::findColumn(std::string_view name) const {
    for (std::size_t i = 0; i < columns.size(); ++i)
        if (equalsIgnoringCase(columns[i].name, name))
            return static_cast<int>(i);
    return -1;
}

MemoryCatalog& MemoryCatalog::table(const std::string& tableName,
                                    const std::vector<std::string>& columns, TableInfo::Kind kind,
                                    bool hasRowid) {
    TableInfo info;
    info.name = tableName;
    info.kind = kind;
    info.hasRowid = kind == TableInfo::Kind::Table && hasRowid;
    for (const std::string& columnText : columns) {
        ColumnInfo c;
        const std::size_t blank = columnText.find(' ');
        c.name = columnText.substr(0, blank);
        if (blank != std::string::npos)
            c.declaredType = columnText.substr(blank + 1);
        c.type = typeOfDeclared(c.declaredType);
        if (info.hasRowid && upperAscii(c.declaredType) == "INTEGER PRIMARY KEY") {
            c.declaredType = "INTEGER";
            info.rowidAlias = c.name;
        }
        info.columns.push_back(std::move(c));
    }
    return add(std::move(info));
}

MemoryCatalog& MemoryCatalog::add(TableInfo info) {
    const std::string key = upperAscii(info.name);
    m_tables[key] = std::make_shared<const TableInfo>(std::move(info));
    return *this;
}

std::shared_ptr<const TableInfo> MemoryCatalog::findTable(const std::string& name) const {
    auto found = m_tables.find(upperAscii(name));
    return found == m_tables.end() ? nullptr : found->second;
}

}  // namespace localengine::dialect
