#include "schema/SqliteCatalog.h"

#include "dialect/DdlWork.h"
#include "dialect/Error.h"
#include "dialect/Lexer.h"
#include "dialect/Types.h"
#include "schema/SideTables.h"

namespace localengine::schema {

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
// main), with the columns a query sees.
std::shared_ptr<const TableInfo> SqliteCatalog::read(const std::string& name) const {
    std::optional<TableEntry> entry = m_reader.findTable(name);
    // A global temporary table this connection has not used yet.
    if (!entry && provideTemporaryTable(m_reader.db(), name))
        entry = m_reader.findTable(name);
    if (!entry || (entry->type != "table" && entry->type != "view" && entry->type != "virtual"))
        return nullptr;
    auto info = std::make_shared<TableInfo>();
    info->name = name;
    info->kind = entry->type == "view" ? TableInfo::Kind::View : TableInfo::Kind::Table;
    info->hasRowid = entry->type == "table" && !entry->withoutRowid;
    std::vector<ColumnDef> columns;
    try {
        columns = m_reader.visibleColumns(name, entry->schema);
    } catch (const EngineError&) {
        // A view over a table dropped since (or changed beyond what the
        // view's text still fits) is invalid, as Oracle marks it.
        if (info->kind != TableInfo::Kind::View)
            throw;
        const std::string shown = dialect::upperAscii(name);
        throw dialect::DialectError(
            4063, "view \"" + (m_owner.empty() ? shown : m_owner + "." + shown) + "\" has errors");
    }
    for (const ColumnDef& def : columns) {
        ColumnInfo c;
        c.name = def.name;
        c.declaredType = def.declaredType;
        c.type = dialect::typeOfDeclared(c.declaredType);
        c.generatedAlways = dialect::isGeneratedAlwaysDefault(def.defaultValue);
        if (dialect::equalsIgnoringCase(c.name, "ROWID"))
            info->hasRowid = false;
        info->columns.push_back(std::move(c));
    }
    // The one INTEGER PRIMARY KEY column of a rowid table is its row id.
    if (info->hasRowid)
        info->rowidAlias = rowidAliasOf(columns);
    return info;
}

}  // namespace localengine::schema
