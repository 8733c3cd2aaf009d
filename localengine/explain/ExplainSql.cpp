#include "explain/ExplainSql.h"

#include <algorithm>
#include <deque>
#include <unordered_set>

namespace localengine::explain {

std::string FromItem::printedName() const {
    if (!alias.empty())
        return alias;
    if (!schema.empty())
        return schema + "." + name;
    return name;
}

bool FromItem::printedAs(std::string_view printed) const {
    if (!alias.empty())
        return sameName(alias, printed);
    if (schema.empty())
        return sameName(name, printed);
    return printed.size() == schema.size() + 1 + name.size() && printed[schema.size()] == '.' &&
           sameName(printed.substr(0, schema.size()), schema) &&
           sameName(printed.substr(schema.size() + 1), name);
}

const FromItem* StatementShape::findItem(std::string_view printed, int preferBlock) const {
    const FromItem* any = nullptr;
    for (const auto& item : from) {
        if (!item.printedAs(printed))
            continue;
        if (preferBlock == -2 || item.block == preferBlock)
            return &item;
        if (!any)
            any = &item;
    }
    return any;
}

bool StatementShape::isCte(std::string_view name) const {
    for (const auto& n : cteNames)
        if (sameName(n, name))
            return true;
    return false;
}

namespace {

using sqlite::Tok;
using Token = sqlite::SqlToken;

bool isIdent(const Token& t) {
    return t.kind == Tok::Word || t.kind == Tok::Quoted;
}

// Words that end a FROM item or start a clause: never taken as an alias.
bool reservedAfterItem(const Token& t) {
    if (t.kind != Tok::Word)
        return false;
    static constexpr std::string_view words[] = {
        "ON",        "USING",   "WHERE",  "GROUP",  "ORDER",  "LIMIT",  "UNION",   "INTERSECT",
        "EXCEPT",    "JOIN",    "LEFT",   "RIGHT",  "FULL",   "INNER",  "CROSS",   "NATURAL",
        "OUTER",     "HAVING",  "WINDOW", "SET",    "VALUES", "SELECT", "INDEXED", "NOT",
        "RETURNING", "DEFAULT", "FROM",   "OFFSET", "AS",     "WHEN",   "THEN",    "ELSE",
        "END",       "DO",      "AND",    "OR"};
    for (std::string_view w : words)
        if (t.upper == w)
            return true;
    return false;
}

bool isAggregateName(const std::string& up) {
    return up == "COUNT" || up == "SUM" || up == "AVG" || up == "MIN" || up == "MAX" ||
           up == "TOTAL" || up == "GROUP_CONCAT" || up == "STRING_AGG";
}

// The words the scanner acts on (outside FROM items); any other word is
// skipped at once.
bool isClauseWord(const std::string& w) {
    static const std::unordered_set<std::string_view> words = {
        "UNION", "INTERSECT", "EXCEPT", "FROM",  "JOIN",         "ON",        "USING", "WHERE",
        "GROUP", "HAVING",    "ORDER",  "LIMIT", "WINDOW",       "IN",        "COUNT", "SUM",
        "AVG",   "MIN",       "MAX",    "TOTAL", "GROUP_CONCAT", "STRING_AGG"};
    return !w.empty() && words.count(w) > 0;
}

enum class Clause { None, SelectList, From, Where, GroupBy, Having, OrderBy, Limit, Other };

struct Frame {
    int block = -1;  // SELECT block whose clauses are read at this level
    Clause clause = Clause::None;
    bool expectItem = false;  // in FROM: the next tokens name an item
    bool inJoinCondition = false;
    bool compound = false;    // a UNION/INTERSECT/EXCEPT was seen at this level
    bool fromParen = false;   // opened where a FROM item was expected
    bool expression = false;  // an expression group inside a clause
    int openedAt = -1;        // token index of the '('
};

class Scanner {
public:
    explicit Scanner(std::string_view sql)
        : m_sql(sql), m_t(sqlite::tokenizeSqlite(sql, m_store)) {}

    StatementShape run() {
        readVerb();
        m_frames.push_back({});
        if (m_shape.verb == "UPDATE" || m_shape.verb == "DELETE" || m_shape.verb == "INSERT")
            m_frames.back().clause = Clause::Other;
        for (m_i = 0; m_t[m_i].kind != Tok::End;)
            step();
        for (auto f = m_frames.rbegin(); f != m_frames.rend(); ++f)
            endBlock(f->block);
        if ((m_shape.verb == "UPDATE" || m_shape.verb == "DELETE") &&
            std::none_of(m_shape.blocks.begin(), m_shape.blocks.end(),
                         [](const SelectBlock& b) { return b.dml; }))
            dmlBlock();  // no WHERE: the block reads the whole target
        return std::move(m_shape);
    }

private:
    const Token& at(std::size_t k) const { return m_t[std::min(k, m_t.size() - 1)]; }
    Frame& top() { return m_frames.back(); }
    SelectBlock* block() {
        int b = top().block;
        return b >= 0 ? &m_shape.blocks[static_cast<std::size_t>(b)] : nullptr;
    }

    // Index of the token after the ')' matching the '(' at k.
    std::size_t skipGroup(std::size_t k) const {
        int depth = 0;
        for (; at(k).kind != Tok::End; ++k) {
            if (at(k).kind == Tok::Punct && at(k).text == "(")
                ++depth;
            else if (at(k).kind == Tok::Punct && at(k).text == ")" && --depth == 0)
                return k + 1;
        }
        return k;
    }

    void addItem(FromItem item) {
        item.ordinal = static_cast<int>(m_shape.from.size()) + 1;
        m_shape.from.push_back(std::move(item));
    }

    // Reads "[schema.]name [AS alias]" at k (DML target); returns next index.
    std::size_t readTarget(std::size_t k, bool allowAlias) {
        if (!isIdent(at(k)))
            return k;
        FromItem item;
        item.name = at(k).text;
        ++k;
        if (at(k).text == "." && at(k).kind == Tok::Punct && isIdent(at(k + 1))) {
            item.schema = item.name;
            item.name = at(k + 1).text;
            k += 2;
        }
        m_shape.target = item.name;
        if (allowAlias) {
            if (at(k).upper == "AS" && isIdent(at(k + 1))) {
                item.alias = at(k + 1).text;
                k += 2;
            } else if (isIdent(at(k)) && !reservedAfterItem(at(k))) {
                item.alias = at(k).text;
                ++k;
            }
        }
        addItem(std::move(item));
        return k;
    }

    // Skips a leading WITH list, noting the names: name [(cols)] AS [NOT]
    // [MATERIALIZED] (...). Returns the index of the statement's verb.
    std::size_t skipWith() {
        if (at(0).upper != "WITH")
            return 0;
        std::size_t k = 1;
        if (at(k).upper == "RECURSIVE")
            ++k;
        while (isIdent(at(k))) {
            m_shape.cteNames.emplace_back(at(k).text);
            ++k;
            if (at(k).text == "(")
                k = skipGroup(k);
            if (at(k).upper == "AS")
                ++k;
            while (at(k).upper == "NOT" || at(k).upper == "MATERIALIZED")
                ++k;
            if (at(k).text == "(")
                k = skipGroup(k);
            if (at(k).text != ",")
                break;
            ++k;
        }
        return k;
    }

    // CREATE [TEMP] [UNIQUE] object [IF NOT EXISTS] name [ON table] [AS ...] at k.
    void readCreate(std::size_t k) {
        ++k;
        while (at(k).upper == "TEMP" || at(k).upper == "TEMPORARY" || at(k).upper == "VIRTUAL")
            ++k;
        if (at(k).upper == "UNIQUE") {
            m_shape.uniqueIndex = true;
            ++k;
        }
        std::string object = at(k).upper;
        m_shape.verb = object.empty() ? "CREATE" : "CREATE " + object;
        ++k;
        if (at(k).upper == "IF")
            k += 3;  // IF NOT EXISTS
        std::size_t after = k;
        if (isIdent(at(k))) {
            m_shape.target = at(k).text;
            after = k + 1;
            if (at(after).text == "." && isIdent(at(after + 1))) {
                m_shape.target = at(after + 1).text;
                after += 2;
            }
        }
        if (object == "INDEX" && at(after).upper == "ON" && isIdent(at(after + 1))) {
            m_shape.indexTable = at(after + 1).text;
            if (at(after + 2).text == "." && isIdent(at(after + 3)))
                m_shape.indexTable = at(after + 3).text;
        }
        if (object == "TABLE" && at(after).upper == "AS")
            m_shape.asSelect = true;
    }

    void readVerb() {
        std::size_t k = skipWith();
        const std::string& w = at(k).upper;
        if (w == "SELECT" || w == "VALUES") {
            m_shape.verb = "SELECT";
        } else if (w == "INSERT" || w == "REPLACE") {
            m_shape.verb = "INSERT";
            ++k;
            if (at(k).upper == "OR")
                k += 2;
            if (at(k).upper == "INTO")
                ++k;
            readTarget(k, true);
        } else if (w == "UPDATE") {
            m_shape.verb = "UPDATE";
            ++k;
            if (at(k).upper == "OR")
                k += 2;
            readTarget(k, true);
        } else if (w == "DELETE") {
            m_shape.verb = "DELETE";
            ++k;
            if (at(k).upper == "FROM")
                ++k;
            readTarget(k, true);
        } else if (w == "CREATE") {
            readCreate(k);
        } else if (at(k).kind == Tok::Word) {
            m_shape.verb = w;
            if (isIdent(at(k + 1)) && (at(k + 1).upper == "TABLE" || at(k + 1).upper == "INDEX" ||
                                       at(k + 1).upper == "VIEW" || at(k + 1).upper == "TRIGGER"))
                m_shape.verb += " " + at(k + 1).upper;
        } else {
            m_shape.verb = "SELECT";
        }
    }

    // The front end's mark after a SELECT keyword: /*SEL$n[ part]*/.
    void readBlockMark(const Token& select, SelectBlock& b) const {
        constexpr std::string_view kOpen = "/*SEL$";
        if (m_sql.compare(select.end, kOpen.size(), kOpen) != 0)
            return;
        const std::size_t close = m_sql.find("*/", select.end);
        if (close == std::string_view::npos)
            return;
        std::string_view mark =
            m_sql.substr(select.end + kOpen.size(), close - select.end - kOpen.size());
        int number = 0;
        std::size_t k = 0;
        for (; k < mark.size() && mark[k] >= '0' && mark[k] <= '9' && number < 100000; ++k)
            number = number * 10 + (mark[k] - '0');
        b.queryBlock = number;
        if (k < mark.size() && mark[k] == ' ')
            b.part = std::string(mark.substr(k + 1));
    }

    // A SELECT block is complete: SQLite numbers it now.
    void endBlock(int b) {
        if (b < 0 || !m_selects.count(b))
            return;
        SelectBlock& block = m_shape.blocks[static_cast<std::size_t>(b)];
        if (block.sqliteNumber == 0)
            block.sqliteNumber = ++m_ended;
    }

    void openSelect() {
        // the block read so far at this level ends here (an arm of a
        // compound), unless it is the enclosing level's own
        const int previous = top().block;
        if (m_frames.size() < 2 || m_frames[m_frames.size() - 2].block != previous)
            endBlock(previous);
        SelectBlock b;
        readBlockMark(at(m_i), b);
        m_selects.insert(static_cast<int>(m_shape.blocks.size()));
        b.depth = static_cast<int>(m_frames.size()) - 1;
        m_shape.blocks.push_back(b);
        top().block = static_cast<int>(m_shape.blocks.size()) - 1;
        top().clause = Clause::SelectList;
        top().expectItem = false;
        top().inJoinCondition = false;
        ++m_i;
        if (at(m_i).upper == "DISTINCT") {
            block()->distinct = true;
            ++m_i;
        } else if (at(m_i).upper == "ALL") {
            ++m_i;
        }
    }

    void aggregateCall() {
        const Token& fn = at(m_i);
        std::size_t open = m_i + 1;
        std::size_t after = skipGroup(open);
        if (at(after).upper == "OVER" || at(after).upper == "FILTER") {
            // FILTER (WHERE ...) OVER ... is a window; FILTER alone is still an aggregate.
            if (at(after).upper == "OVER")
                return;
            std::size_t afterFilter = skipGroup(after + 1);
            if (at(afterFilter).upper == "OVER")
                return;
        }
        // count of arguments at depth 1; min/max with two or more are scalar functions
        int args = 1, depth = 0;
        bool empty = at(open + 1).text == ")";
        for (std::size_t k = open; k < after; ++k) {
            if (at(k).kind != Tok::Punct)
                continue;
            if (at(k).text == "(")
                ++depth;
            else if (at(k).text == ")")
                --depth;
            else if (at(k).text == "," && depth == 1)
                ++args;
        }
        bool minMax = fn.upper == "MIN" || fn.upper == "MAX";
        if (minMax && args != 1)
            return;
        if (empty && fn.upper != "COUNT")
            return;
        bool star = fn.upper == "COUNT" && at(open + 1).text == "*";
        SelectBlock* b = block();
        if (!b->aggregate) {
            b->countStarOnly = star;
            b->minMaxOnly = minMax;
        } else {
            b->countStarOnly = b->countStarOnly && star;
            b->minMaxOnly = b->minMaxOnly && minMax;
        }
        b->aggregate = true;
    }

    // col IN ( ... ) in a WHERE/ON condition of the current block.
    void inComparison() {
        std::size_t open = m_i + 1;
        if (m_i < 1 || !isIdent(at(m_i - 1)))
            return;
        std::string column = lowerName(at(m_i - 1).text);
        const std::string& first = at(open + 1).upper;
        if (first == "SELECT" || first == "WITH" || first == "VALUES")
            block()->inSubqueryColumns.insert(column);
        else
            block()->inListColumns.insert(column);
    }

    void fromItem() {
        Frame& f = top();
        const Token& t = at(m_i);
        if (t.kind == Tok::Punct && t.text == "(") {
            f.expectItem = false;
            Frame inner;
            inner.block = f.block;
            inner.clause = Clause::From;
            inner.expectItem = true;
            inner.fromParen = true;
            inner.openedAt = static_cast<int>(m_i);
            m_frames.push_back(inner);
            ++m_i;
            return;
        }
        if (!isIdent(t) || reservedAfterItem(t)) {
            f.expectItem = false;
            return;  // LATERAL, a keyword, ... : read on as an ordinary token
        }
        FromItem item;
        item.block = f.block;
        item.name = t.text;
        std::size_t k = m_i + 1;
        if (at(k).kind == Tok::Punct && at(k).text == "." && isIdent(at(k + 1))) {
            item.schema = item.name;
            item.name = at(k + 1).text;
            k += 2;
        }
        if (at(k).kind == Tok::Punct && at(k).text == "(") {
            item.function = true;
            k = skipGroup(k);
        }
        k = readAlias(k, item.alias);
        addItem(std::move(item));
        f.expectItem = false;
        m_i = k;
    }

    std::size_t readAlias(std::size_t k, std::string& alias) {
        if (at(k).upper == "AS" && at(k).kind == Tok::Word && isIdent(at(k + 1))) {
            alias = at(k + 1).text;
            return k + 2;
        }
        if (isIdent(at(k)) && !reservedAfterItem(at(k))) {
            alias = at(k).text;
            return k + 1;
        }
        return k;
    }

    void closeParen() {
        if (m_frames.size() <= 1) {
            ++m_i;
            return;
        }
        Frame inner = m_frames.back();
        m_frames.pop_back();
        ++m_i;
        if (inner.block != top().block)
            endBlock(inner.block);
        if (!inner.fromParen)
            return;
        bool subquery = inner.block != top().block;
        if (subquery) {
            FromItem item;
            item.block = top().block;
            item.subquery = true;
            m_i = readAlias(m_i, item.alias);
            addItem(std::move(item));
        }
    }

    // '(' ')' and ',' at m_i.
    void punctuation() {
        const Token& t = at(m_i);
        Frame& f = top();
        if (t.text == "(") {
            if (f.clause == Clause::From && f.expectItem) {
                fromItem();
                return;
            }
            // An expression group: it belongs to the same block and clause
            // (an IN list inside "(a IN (1,2) OR ...)" still counts); a
            // SELECT inside it opens a block of its own.
            Frame inner = f;
            inner.expectItem = false;
            inner.fromParen = false;
            inner.compound = false;
            inner.expression = true;
            if (inner.clause == Clause::From)
                inner.inJoinCondition = true;
            inner.openedAt = static_cast<int>(m_i);
            m_frames.push_back(inner);
            ++m_i;
            return;
        }
        if (t.text == ")") {
            closeParen();
            return;
        }
        if (t.text == "," && f.clause == Clause::From && !f.expression) {
            // a comma ends an ON condition too: it never holds one unparenthesised
            f.expectItem = true;
            f.inJoinCondition = false;
        }
        ++m_i;
    }

    // LIMIT of the current block (or of a top-level compound query).
    void limitClause(Frame& f, SelectBlock* b) {
        f.clause = Clause::Limit;
        if (f.compound) {
            if (m_frames.size() == 1)
                m_shape.compoundLimit = true;
            return;
        }
        // LIMIT -1 is no limit: the engine writes it to keep a subquery
        // from being merged into the query around it
        if (at(m_i + 1).text == "-" && at(m_i + 2).text == "1")
            return;
        b->limit = true;
        const Token& n = at(m_i + 1);
        if (n.kind == Tok::Number && n.text.find_first_not_of("0123456789") == std::string::npos &&
            n.text.size() < 18 && at(m_i + 2).upper != "OFFSET" && at(m_i + 2).text != ",")
            b->limitRows = std::stoll(std::string(n.text));
    }

    // A word that starts or marks a clause of the current block.
    void clauseWord(const std::string& w, Frame& f, SelectBlock* b) {
        if (w == "FROM" && f.clause == Clause::SelectList) {
            f.clause = Clause::From;
            f.expectItem = true;
            f.inJoinCondition = false;
        } else if (w == "JOIN" && f.clause == Clause::From) {
            f.expectItem = true;
            f.inJoinCondition = false;
        } else if ((w == "ON" || w == "USING") && f.clause == Clause::From) {
            f.inJoinCondition = true;
        } else if (w == "WHERE") {
            f.clause = Clause::Where;
            b->where = true;
        } else if (w == "GROUP" && at(m_i + 1).upper == "BY") {
            f.clause = Clause::GroupBy;
            b->groupBy = true;
        } else if (w == "HAVING") {
            f.clause = Clause::Having;
        } else if (w == "ORDER" && at(m_i + 1).upper == "BY") {
            f.clause = Clause::OrderBy;
            if (!f.compound)
                b->orderBy = true;
        } else if (w == "LIMIT") {
            limitClause(f, b);
        } else if (w == "WINDOW") {
            f.clause = Clause::Other;
        } else if (isAggregateName(w) && at(m_i + 1).text == "(" &&
                   (f.clause == Clause::SelectList || f.clause == Clause::Having ||
                    f.clause == Clause::OrderBy)) {
            aggregateCall();
        } else if (w == "IN" && at(m_i + 1).text == "(" &&
                   (f.clause == Clause::Where || (f.clause == Clause::From && f.inJoinCondition)) &&
                   !(m_i >= 1 && at(m_i - 1).upper == "NOT")) {
            inComparison();
        }
    }

    // WHERE of an UPDATE or DELETE: its IN lists still matter.
    void dmlWhere(Frame& f) {
        f.block = dmlBlock();
        f.clause = Clause::Where;
        m_shape.blocks.back().where = true;
    }

    // The UPDATE's or DELETE's own block: the target is read in it.
    int dmlBlock() {
        m_shape.blocks.push_back({});
        m_shape.blocks.back().dml = true;
        const int b = static_cast<int>(m_shape.blocks.size()) - 1;
        for (auto& item : m_shape.from)
            if (item.block == -1)
                item.block = b;
        return b;
    }

    void step() {
        const Token& t = at(m_i);
        Frame& f = top();
        if (t.kind == Tok::Punct) {
            punctuation();
            return;
        }
        if (t.kind != Tok::Word) {
            if (f.clause == Clause::From && f.expectItem && t.kind == Tok::Quoted) {
                fromItem();
                return;
            }
            ++m_i;
            return;
        }
        const std::string& w = t.upper;
        if (w == "SELECT") {
            if (f.fromParen && f.block >= 0 && f.clause == Clause::From) {
                // "(SELECT" where an item was expected: a subquery of its own
                f.block = -1;
            }
            openSelect();
            return;
        }
        if (f.clause == Clause::From && f.expectItem) {
            fromItem();
            return;
        }
        if (!isClauseWord(w)) {
            if ((w == "ROWID" || w == "_ROWID_" || w == "OID") && block() &&
                (f.clause == Clause::Where || (f.clause == Clause::From && f.inJoinCondition)))
                block()->rowidCompared = true;
            ++m_i;  // an ordinary name: nothing to note
            return;
        }
        SelectBlock* b = block();
        if (w == "UNION" || w == "INTERSECT" || w == "EXCEPT") {
            f.compound = true;
            f.clause = Clause::None;
        } else if (b) {
            clauseWord(w, f, b);
        } else if (w == "WHERE" && m_frames.size() == 1) {
            dmlWhere(f);
        }
        ++m_i;
    }

    std::string_view m_sql;
    std::deque<std::string> m_store;  // declared before m_t: filled while m_t is built
    std::vector<Token> m_t;
    std::size_t m_i = 0;
    std::vector<Frame> m_frames;
    std::set<int> m_selects;  // the blocks that are SELECTs
    int m_ended = 0;          // SELECT blocks ended so far
    StatementShape m_shape;
};

}  // namespace

StatementShape analyseStatement(std::string_view sql) {
    return Scanner(sql).run();
}

}  // namespace localengine::explain
