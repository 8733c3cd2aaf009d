#include "schema/Constraints.h"

#include <cstdint>
#include <cstdio>
#include <deque>

#include "sqlite/SqliteText.h"

namespace localengine::schema {

namespace {

using sqlite::SqlToken;

std::uint32_t fnv(const std::string& s) {
    std::uint32_t h = 2166136261u;
    for (unsigned char c : s) {
        h ^= c;
        h *= 16777619u;
    }
    return h;
}

// Walks the parenthesised body of one CREATE TABLE statement, one column
// or table constraint definition at a time.
class ConstraintReader {
public:
    explicit ConstraintReader(const std::string& sql)
        : m_sql(sql), m_toks(sqlite::tokenizeSqlite(sql, m_store)) {}

    std::vector<DeclaredConstraint> read() {
        std::size_t open = 0;
        while (open < m_toks.size() && !m_toks[open].isPunct('('))
            ++open;
        if (open >= m_toks.size())
            return {};
        const std::size_t end = closing(open);
        for (std::size_t i = open + 1; i < end;) {
            const std::size_t defEnd = definitionEnd(i, end);
            readDefinition(i, defEnd);
            i = defEnd + 1;
        }
        return std::move(m_out);
    }

private:
    // Index of the token closing the parenthesis opened at `open`.
    std::size_t closing(std::size_t open) const {
        int depth = 0;
        for (std::size_t i = open; i < m_toks.size(); ++i) {
            if (m_toks[i].isPunct('('))
                ++depth;
            else if (m_toks[i].isPunct(')') && --depth == 0)
                return i;
        }
        return m_toks.size();
    }

    // One definition runs up to the next comma at its own depth.
    std::size_t definitionEnd(std::size_t from, std::size_t end) const {
        int depth = 0;
        std::size_t k = from;
        for (; k < end && !(depth == 0 && m_toks[k].isPunct(',')); ++k) {
            if (m_toks[k].isPunct('('))
                ++depth;
            else if (m_toks[k].isPunct(')'))
                --depth;
        }
        return k;
    }

    // The first '(' at or after `from` within the definition.
    std::size_t nextGroup(std::size_t from) const {
        std::size_t g = from;
        while (g < m_defEnd && !m_toks[g].isPunct('('))
            ++g;
        return g;
    }

    // Column names of a parenthesised list: the first name of each item.
    std::vector<std::string> columnList(std::size_t open) const {
        std::vector<std::string> cols;
        bool expectName = true;
        for (std::size_t i = open + 1, close = closing(open); i < close; ++i) {
            if (m_toks[i].isPunct(',')) {
                expectName = true;
            } else if (expectName && m_toks[i].isName()) {
                cols.push_back(m_toks[i].name());
                expectName = false;
            }
        }
        return cols;
    }

    // The text inside the parentheses opened at `open`, as written.
    std::string groupText(std::size_t open) const {
        const std::size_t close = closing(open);
        if (close >= m_toks.size() || close == open + 1)
            return {};
        const std::size_t from = m_toks[open + 1].begin;
        return m_sql.substr(from, m_toks[close - 1].end - from);
    }

    static bool startsTableConstraint(const SqlToken& t) {
        return t.isWord("CONSTRAINT") || t.isWord("PRIMARY") || t.isWord("UNIQUE") ||
               t.isWord("FOREIGN") || t.isWord("CHECK");
    }

    void readDefinition(std::size_t from, std::size_t defEnd) {
        m_defEnd = defEnd;
        m_tableLevel = startsTableConstraint(m_toks[from]);
        m_column.clear();
        std::size_t k = from;
        if (!m_tableLevel)
            m_column = m_toks[k++].name();
        std::string pending;  // the name of a CONSTRAINT clause, for what follows
        for (; k < defEnd; ++k) {
            const SqlToken& t = m_toks[k];
            if (t.isWord("CONSTRAINT") && k + 1 < defEnd) {
                pending = m_toks[++k].name();
                continue;
            }
            DeclaredConstraint c;
            if (t.isWord("PRIMARY") || t.isWord("UNIQUE"))
                k = readKey(k, c);
            else if (t.isWord("FOREIGN") || t.isWord("REFERENCES"))
                k = readReference(k, c);
            else if (t.isWord("CHECK"))
                k = readCheck(k, c);
            else if (t.isWord("NOT") && k + 1 < defEnd && m_toks[k + 1].isWord("NULL") &&
                     !m_tableLevel && impliedByKey(k)) {
                k += 4;
                pending.clear();
                continue;
            } else if (t.isWord("NOT") && k + 1 < defEnd && m_toks[k + 1].isWord("NULL") &&
                       !m_tableLevel)
                k = readNotNull(k, c);
            else {
                if (t.isPunct('('))
                    k = closing(k);
                continue;
            }
            c.name = std::move(pending);
            pending.clear();
            m_out.push_back(std::move(c));
        }
    }

    // PRIMARY KEY / UNIQUE, on a column or over a column list.
    std::size_t readKey(std::size_t k, DeclaredConstraint& c) const {
        c.type = m_toks[k].isWord("PRIMARY") ? 'P' : 'U';
        if (!m_tableLevel) {
            c.columns = {m_column};
            return k;
        }
        const std::size_t g = nextGroup(k);
        if (g < m_defEnd) {
            c.columns = columnList(g);
            k = closing(g);
        }
        return k;
    }

    // FOREIGN KEY (cols) REFERENCES t [(cols)], or a column's REFERENCES t.
    std::size_t readReference(std::size_t k, DeclaredConstraint& c) const {
        c.type = 'R';
        if (m_tableLevel) {
            const std::size_t g = nextGroup(k);
            if (g < m_defEnd) {
                c.columns = columnList(g);
                k = closing(g);
            }
            while (k < m_defEnd && !m_toks[k].isWord("REFERENCES"))
                ++k;
        } else {
            c.columns = {m_column};
        }
        if (k + 1 < m_defEnd)
            c.condition = m_toks[k + 1].name();
        k = k + 1;
        if (k + 1 < m_defEnd && m_toks[k + 1].isPunct('('))
            k = closing(k + 1);
        return k;
    }

    std::size_t readCheck(std::size_t k, DeclaredConstraint& c) const {
        c.type = 'C';
        const std::size_t g = nextGroup(k);
        if (g < m_defEnd) {
            c.condition = groupText(g);
            k = closing(g);
        }
        if (!m_tableLevel)
            c.columns = {m_column};
        return k;
    }

    // NOT NULL ON CONFLICT ABORT (SQLite's default resolution spelled out)
    // is the engine's mark of the NOT NULL that a primary key implies: Oracle
    // lists no constraint of its own for it.
    bool impliedByKey(std::size_t k) const {
        return k + 4 < m_defEnd && m_toks[k + 2].isWord("ON") && m_toks[k + 3].isWord("CONFLICT") &&
               m_toks[k + 4].isWord("ABORT");
    }

    // A column's NOT NULL: Oracle lists it as a check constraint.
    std::size_t readNotNull(std::size_t k, DeclaredConstraint& c) const {
        c.type = 'C';
        c.columns = {m_column};
        c.condition = sqlite::quoteName(m_column) + " IS NOT NULL";
        return k + 1;
    }

    const std::string& m_sql;
    std::deque<std::string> m_store;  // declared before m_toks: filled while they are made
    std::vector<SqlToken> m_toks;
    std::vector<DeclaredConstraint> m_out;
    // the definition being read
    std::size_t m_defEnd = 0;
    bool m_tableLevel = false;
    std::string m_column;
};

}  // namespace

std::vector<DeclaredConstraint> declaredConstraints(const std::string& sql) {
    return ConstraintReader(sql).read();
}

std::string generatedConstraintName(const std::string& table, char type,
                                    const std::vector<std::string>& columns,
                                    const std::string& condition) {
    std::string key = table + '|' + type + '|';
    for (const auto& c : columns)
        key += c + ',';
    key += '|' + condition;
    char buf[16];
    std::snprintf(buf, sizeof buf, "SYS_C%07u", static_cast<unsigned>(fnv(key) % 10000000u));
    return buf;
}

}  // namespace localengine::schema
