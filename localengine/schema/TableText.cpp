#include "schema/TableText.h"

#include <algorithm>
#include <deque>

#include "sqlite/EngineError.h"
#include "sqlite/SqliteText.h"

namespace localengine::schema {

namespace {

using sqlite::SqlToken;
using sqlite::Tok;

constexpr int kSqliteError = 1;

struct Tokens {
    explicit Tokens(std::string_view text) : list(sqlite::tokenizeSqlite(text, store)) {}
    std::deque<std::string> store;  // before `list`: filled while it is made
    std::vector<SqlToken> list;
};

std::size_t closingOf(const std::vector<SqlToken>& toks, std::size_t open) {
    int depth = 0;
    for (std::size_t i = open; i < toks.size(); ++i) {
        if (toks[i].isPunct('('))
            ++depth;
        else if (toks[i].isPunct(')') && --depth == 0)
            return i;
    }
    return toks.size() - 1;
}

bool startsTableConstraint(const SqlToken& t) {
    return t.isWord("CONSTRAINT") || t.isWord("PRIMARY") || t.isWord("UNIQUE") ||
           t.isWord("FOREIGN") || t.isWord("CHECK");
}

bool wordAt(const std::vector<SqlToken>& toks, std::size_t k, std::string_view word) {
    return k < toks.size() && toks[k].isWord(word);
}

// The token after the column constraint that starts at `from` (its first
// keyword, after any CONSTRAINT name): the constraint's words, its conflict
// clause, and for a reference its actions, MATCH and deferral.
std::size_t constraintEnd(const std::vector<SqlToken>& toks, std::size_t from) {
    std::size_t k = from;
    auto conflictClause = [&] {
        if (wordAt(toks, k, "ON") && wordAt(toks, k + 1, "CONFLICT"))
            k += 3;
    };
    auto group = [&] {
        while (k < toks.size() && toks[k].kind != Tok::End && !toks[k].isPunct('('))
            ++k;
        if (k < toks.size() && toks[k].kind != Tok::End)
            k = closingOf(toks, k) + 1;
    };
    const SqlToken& first = toks[k];
    if (first.isWord("CHECK") || first.isWord("AS") || first.isWord("GENERATED")) {
        group();
    } else if (first.isWord("DEFAULT")) {
        k += 1;
        if (k < toks.size() && toks[k].isPunct('('))
            k = closingOf(toks, k) + 1;
        else if (k < toks.size() && toks[k].isPunct('-'))
            k += 2;  // a negative number
        else
            k += 1;
    } else if (first.isWord("COLLATE")) {
        k += 2;
    } else if (first.isWord("PRIMARY")) {
        k += 2;
        if (wordAt(toks, k, "ASC") || wordAt(toks, k, "DESC"))
            ++k;
        conflictClause();
        if (wordAt(toks, k, "AUTOINCREMENT"))
            ++k;
    } else if (first.isWord("NOT") || first.isWord("NULL") || first.isWord("UNIQUE")) {
        k += first.isWord("NOT") ? 2 : 1;
        conflictClause();
    } else if (first.isWord("REFERENCES")) {
        k += 2;  // the word and the table
        if (k < toks.size() && toks[k].isPunct('('))
            k = closingOf(toks, k) + 1;
        for (;;) {
            if (wordAt(toks, k, "ON") &&
                (wordAt(toks, k + 1, "DELETE") || wordAt(toks, k + 1, "UPDATE"))) {
                k += 2;
                k += wordAt(toks, k, "SET") || wordAt(toks, k, "NO") ? 2 : 1;
            } else if (wordAt(toks, k, "MATCH")) {
                k += 2;
            } else if (wordAt(toks, k, "NOT") && wordAt(toks, k + 1, "DEFERRABLE")) {
                k += 2;
            } else if (wordAt(toks, k, "DEFERRABLE")) {
                k += 1;
            } else if (wordAt(toks, k, "INITIALLY")) {
                k += 2;
            } else {
                break;
            }
        }
    } else {
        k += 1;
    }
    return std::min(k, toks.size() - 1);
}

// Removes from a column definition the clause that `match` picks (given the
// clause's first keyword and its CONSTRAINT name, if any). False when none.
template <typename Match>
bool removeColumnClause(std::string& text, Match match, std::string* cut = nullptr) {
    Tokens tokens(text);
    const std::vector<SqlToken>& toks = tokens.list;
    for (std::size_t k = 1; k < toks.size() && toks[k].kind != Tok::End; ++k) {
        if (toks[k].isPunct('(')) {
            k = closingOf(toks, k);
            continue;
        }
        std::size_t start = k;
        std::string name;
        std::size_t body = k;
        if (toks[k].isWord("CONSTRAINT") && k + 2 < toks.size()) {
            name = toks[k + 1].name();
            body = k + 2;
        }
        if (!match(toks[body], name))
            continue;
        const std::size_t end = constraintEnd(toks, body);
        const std::size_t cutFrom = toks[start].begin;
        const std::size_t cutTo =
            end < toks.size() && toks[end].kind != Tok::End ? toks[end].begin : text.size();
        if (cut) {
            *cut = text.substr(cutFrom, cutTo - cutFrom);
            while (!cut->empty() && (cut->back() == ' ' || cut->back() == '\n'))
                cut->pop_back();
        }
        text.erase(cutFrom, cutTo - cutFrom);
        while (!text.empty() && (text.back() == ' ' || text.back() == '\n'))
            text.pop_back();
        return true;
    }
    return false;
}

// True when the table constraint `text` names `column` in its column lists.
bool constraintNamesColumn(const std::string& text, const std::string& column) {
    Tokens tokens(text);
    for (const SqlToken& t : tokens.list) {
        if (t.isName() && sqlite::sameName(t.text, column))
            return true;
    }
    return false;
}

}  // namespace

TableText TableText::parse(const std::string& sql) {
    Tokens tokens(sql);
    const std::vector<SqlToken>& toks = tokens.list;
    if (toks.empty() || !toks[0].isWord("CREATE"))
        throw EngineError("not a CREATE TABLE statement", kSqliteError);
    std::size_t open = 0;
    while (open < toks.size() && toks[open].kind != Tok::End && !toks[open].isPunct('('))
        ++open;
    if (open >= toks.size() || toks[open].kind == Tok::End)
        throw EngineError("CREATE TABLE without a column list", kSqliteError);
    const std::size_t close = closingOf(toks, open);

    TableText table;
    std::size_t from = open + 1;
    while (from < close) {
        std::size_t end = from;
        int depth = 0;
        for (; end < close && !(depth == 0 && toks[end].isPunct(',')); ++end) {
            if (toks[end].isPunct('('))
                ++depth;
            else if (toks[end].isPunct(')'))
                --depth;
        }
        TableDefinition definition;
        definition.text = sql.substr(toks[from].begin, toks[end - 1].end - toks[from].begin);
        if (startsTableConstraint(toks[from])) {
            definition.kind = TableDefinition::Kind::Constraint;
            if (toks[from].isWord("CONSTRAINT") && from + 1 < end)
                definition.name = toks[from + 1].name();
        } else {
            definition.name = toks[from].name();
        }
        table.m_definitions.push_back(std::move(definition));
        from = end + 1;
    }
    if (close < toks.size() && toks[close].kind != Tok::End) {
        table.m_options = sql.substr(toks[close].end);
        while (!table.m_options.empty() &&
               (table.m_options.front() == ' ' || table.m_options.front() == '\n'))
            table.m_options.erase(0, 1);
        while (!table.m_options.empty() &&
               (table.m_options.back() == ' ' || table.m_options.back() == '\n' ||
                table.m_options.back() == ';'))
            table.m_options.pop_back();
    }
    return table;
}

std::string TableText::sql(const std::string& table) const {
    std::string out = "CREATE TABLE " + sqlite::quoteName(table) + " (";
    for (std::size_t i = 0; i < m_definitions.size(); ++i) {
        out += i == 0 ? "\n  " : ",\n  ";
        out += m_definitions[i].text;
    }
    out += "\n)";
    if (!m_options.empty())
        out += ' ' + m_options;
    return out;
}

std::vector<std::string> TableText::columnNames() const {
    std::vector<std::string> names;
    for (const TableDefinition& d : m_definitions) {
        if (d.kind == TableDefinition::Kind::Column)
            names.push_back(d.name);
    }
    return names;
}

int TableText::findColumn(const std::string& name) const {
    for (std::size_t i = 0; i < m_definitions.size(); ++i) {
        if (m_definitions[i].kind == TableDefinition::Kind::Column &&
            sqlite::sameName(m_definitions[i].name, name))
            return static_cast<int>(i);
    }
    return -1;
}

bool TableText::hasConstraint(const std::string& name) const {
    for (const TableDefinition& d : m_definitions) {
        if (d.kind == TableDefinition::Kind::Constraint) {
            if (sqlite::sameName(d.name, name))
                return true;
            continue;
        }
        Tokens tokens(d.text);
        for (std::size_t k = 0; k + 1 < tokens.list.size(); ++k) {
            if (tokens.list[k].isWord("CONSTRAINT") && tokens.list[k + 1].name() == name)
                return true;
        }
    }
    return false;
}

void TableText::addConstraint(const std::string& name, const std::string& text) {
    m_definitions.push_back({TableDefinition::Kind::Constraint, name, text});
}

void TableText::addColumn(const std::string& name, const std::string& text) {
    // Columns stand before the table constraints, as SQLite requires.
    auto at = m_definitions.begin();
    while (at != m_definitions.end() && at->kind == TableDefinition::Kind::Column)
        ++at;
    m_definitions.insert(at, {TableDefinition::Kind::Column, name, text});
}

void TableText::replaceColumn(int index, const std::string& text) {
    m_definitions.at(static_cast<std::size_t>(index)).text = text;
}

void TableText::removeColumn(int index) {
    const std::string column = m_definitions.at(static_cast<std::size_t>(index)).name;
    m_definitions.erase(m_definitions.begin() + index);
    std::erase_if(m_definitions, [&](const TableDefinition& d) {
        return d.kind == TableDefinition::Kind::Constraint && constraintNamesColumn(d.text, column);
    });
}

bool TableText::removeConstraint(const std::string& name) {
    for (auto it = m_definitions.begin(); it != m_definitions.end(); ++it) {
        if (it->kind == TableDefinition::Kind::Constraint && it->name == name) {
            m_definitions.erase(it);
            return true;
        }
        if (it->kind == TableDefinition::Kind::Column &&
            removeColumnClause(it->text, [&](const SqlToken&, const std::string& clauseName) {
                return clauseName == name;
            }))
            return true;
    }
    return false;
}

bool TableText::removePrimaryKey() {
    for (auto it = m_definitions.begin(); it != m_definitions.end(); ++it) {
        if (it->kind == TableDefinition::Kind::Constraint) {
            Tokens tokens(it->text);
            const std::vector<SqlToken>& toks = tokens.list;
            const std::size_t body = toks[0].isWord("CONSTRAINT") ? 2 : 0;
            if (body < toks.size() && toks[body].isWord("PRIMARY")) {
                m_definitions.erase(it);
                return true;
            }
            continue;
        }
        if (removeColumnClause(it->text, [](const SqlToken& first, const std::string&) {
                return first.isWord("PRIMARY");
            }))
            return true;
    }
    return false;
}

std::optional<TakenConstraint> TableText::takeConstraint(const std::string& name) {
    for (auto it = m_definitions.begin(); it != m_definitions.end(); ++it) {
        if (it->kind == TableDefinition::Kind::Constraint && it->name == name) {
            TakenConstraint taken{{}, it->text};
            m_definitions.erase(it);
            return taken;
        }
        std::string cut;
        if (it->kind == TableDefinition::Kind::Column &&
            removeColumnClause(
                it->text,
                [&](const SqlToken&, const std::string& clauseName) { return clauseName == name; },
                &cut))
            return TakenConstraint{it->name, cut};
    }
    return std::nullopt;
}

void TableText::addColumnClause(int index, const std::string& clause) {
    std::string& text = m_definitions.at(static_cast<std::size_t>(index)).text;
    text += ' ' + clause;
}

bool TableText::columnIsNotNull(int index) const {
    std::string text = m_definitions.at(static_cast<std::size_t>(index)).text;
    return removeColumnClause(
        text, [](const SqlToken& first, const std::string&) { return first.isWord("NOT"); });
}

bool TableText::removeNotNull(int index) {
    return removeColumnClause(
        m_definitions.at(static_cast<std::size_t>(index)).text,
        [](const SqlToken& first, const std::string&) { return first.isWord("NOT"); });
}

void TableText::setDefault(int index, const std::string& defaultText) {
    std::string& text = m_definitions.at(static_cast<std::size_t>(index)).text;
    removeColumnClause(
        text, [](const SqlToken& first, const std::string&) { return first.isWord("DEFAULT"); });
    if (defaultText != "NULL")
        text += " DEFAULT " + defaultText;
}

// The type stands between the column's name and its first clause.
void TableText::setType(int index, const std::string& type) {
    std::string& text = m_definitions.at(static_cast<std::size_t>(index)).text;
    Tokens tokens(text);
    const std::vector<SqlToken>& toks = tokens.list;
    static constexpr std::string_view kClauseStart[] = {
        "CONSTRAINT", "DEFAULT", "NOT",        "NULL",      "PRIMARY", "UNIQUE",
        "CHECK",      "COLLATE", "REFERENCES", "GENERATED", "AS"};
    std::size_t k = 1;
    while (k < toks.size() && toks[k].kind != Tok::End) {
        bool clause = false;
        for (std::string_view w : kClauseStart)
            clause = clause || toks[k].isWord(w);
        if (clause)
            break;
        if (toks[k].isPunct('('))
            k = closingOf(toks, k);
        ++k;
    }
    const std::size_t nameEnd = toks[0].end;
    const std::size_t restFrom =
        k < toks.size() && toks[k].kind != Tok::End ? toks[k].begin : text.size();
    std::string rest = text.substr(restFrom);
    text = text.substr(0, nameEnd) + ' ' + type + (rest.empty() ? "" : " " + rest);
}

}  // namespace localengine::schema
