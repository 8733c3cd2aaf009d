#include "SqlTranslator.h"

#include "LocalEngine.h"
#include "SqlTokenizer.h"

#include <sqlite3.h>

#include <algorithm>
#include <array>
#include <functional>
#include <memory>
#include <utility>

namespace localengine {

namespace {

constexpr int kSqliteError = 1;

[[noreturn]] void fail(const std::string& message) {
    throw EngineError(message, kSqliteError);
}

struct Node;
using Seq = std::vector<Node>;

// The nodes of a group. They never change once built, so copies of a node
// share them: slicing and rearranging a sequence copies its top level only,
// however deep the subtrees below it are.
class Kids {
public:
    Kids() = default;
    Kids& operator=(Seq seq);
    operator const Seq&() const { return m_seq ? *m_seq : empty(); }
    std::size_t size() const { return static_cast<const Seq&>(*this).size(); }
    const Node& operator[](std::size_t i) const;

private:
    static const Seq& empty();
    std::shared_ptr<const Seq> m_seq;
};

// A token, or a parenthesised group of nodes.
struct Node {
    Token tok;
    bool group = false;
    Kids kids;
    std::string display;      // heading text of a node that stands for other text
    bool translated = false;  // already SQLite's: translating it again keeps it

    bool is(const char* word) const { return !group && tok.is(word); }
    bool isOp(const char* op) const { return !group && tok.isOp(op); }
    bool isName() const {
        return !group && (tok.kind == Token::Kind::Ident || tok.kind == Token::Kind::QuotedIdent);
    }
};

Kids& Kids::operator=(Seq seq) {
    m_seq = std::make_shared<const Seq>(std::move(seq));
    return *this;
}
const Node& Kids::operator[](std::size_t i) const {
    return static_cast<const Seq&>(*this)[i];
}
const Seq& Kids::empty() {
    static const Seq none;
    return none;
}

Node makeToken(Token::Kind kind, std::string text) {
    Node n;
    n.tok.kind = kind;
    n.tok.text = std::move(text);
    return n;
}
Node ident(std::string text) {
    return makeToken(Token::Kind::Ident, std::move(text));
}
Node quoted(std::string text) {
    return makeToken(Token::Kind::QuotedIdent, std::move(text));
}
Node op(std::string text) {
    return makeToken(Token::Kind::Op, std::move(text));
}
Node str(std::string text) {
    return makeToken(Token::Kind::String, std::move(text));
}
Node num(std::string text) {
    return makeToken(Token::Kind::Number, std::move(text));
}
Node group(Seq kids) {
    Node n = op("(");
    n.group = true;
    n.kids = std::move(kids);
    return n;
}
void append(Seq& to, const Seq& from) {
    to.insert(to.end(), from.begin(), from.end());
}
Seq slice(const Seq& s, std::size_t from, std::size_t to) {
    return Seq(s.begin() + static_cast<std::ptrdiff_t>(from),
               s.begin() + static_cast<std::ptrdiff_t>(to));
}
Seq words(std::initializer_list<const char*> list) {
    Seq s;
    for (const char* w : list)
        s.push_back(ident(w));
    return s;
}
// A call `name(arg, arg, ...)`.
Seq call(const std::string& name, const std::vector<Seq>& args) {
    Seq kids;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (i)
            kids.push_back(op(","));
        append(kids, args[i]);
    }
    return Seq{ident(name), group(std::move(kids))};
}

Seq buildTree(const std::vector<Token>& toks, std::size_t& i, bool inGroup) {
    Seq out;
    while (i < toks.size()) {
        const Token& t = toks[i];
        if (t.isOp("(")) {
            ++i;
            Node g;
            g.tok = t;
            g.group = true;
            g.kids = buildTree(toks, i, true);
            out.push_back(std::move(g));
            continue;
        }
        if (t.isOp(")")) {
            if (!inGroup)
                fail("near \")\": syntax error (unmatched right parenthesis)");
            ++i;
            return out;
        }
        Node n;
        n.tok = t;
        out.push_back(std::move(n));
        ++i;
    }
    if (inGroup)
        fail("missing right parenthesis");
    return out;
}

std::string tokenText(const Token& t) {
    switch (t.kind) {
        case Token::Kind::Ident:
            return upperAscii(t.text);
        case Token::Kind::QuotedIdent:
            return quoteIdent(t.text);
        case Token::Kind::String:
            return quoteString(t.text);
        case Token::Kind::Op:
            return t.text == "^=" ? "<>" : t.text;
        default:
            return t.text;
    }
}

// The longest SQLite text a statement may become (see translateStatement).
constexpr std::size_t kUnlimited = static_cast<std::size_t>(-1);

void emit(const Seq& seq, std::string& out, std::size_t limit = kUnlimited) {
    bool lastWasName = false;
    for (const Node& n : seq) {
        const std::string text = n.group ? "(" : tokenText(n.tok);
        const bool tight = out.empty() || out.back() == ' ' || out.back() == '(' ||
                           out.back() == '.' || text == ")" || text == "," || text == "." ||
                           (n.group && lastWasName);
        if (!tight)
            out += ' ';
        if (n.group) {
            out += '(';
            emit(n.kids, out, limit);
            out += ')';
        } else {
            out += text;
        }
        if (out.size() > limit)
            fail("ORA-64621: SQL statement length (" + std::to_string(out.size()) +
                 ") exceeds maximum allowed length (" + std::to_string(limit) +
                 "): the statement grows too much in translation; nothing was run");
        lastWasName = n.isName();
    }
}

std::string emitted(const Seq& seq, std::size_t limit = kUnlimited) {
    std::string s;
    emit(seq, s, limit);
    return s;
}

// Oracle's heading for an unnamed select-list expression: its text without
// blanks, unquoted names upper case.
void heading(const Seq& seq, std::string& out) {
    for (const Node& n : seq) {
        if (!n.display.empty()) {
            out += n.display;
        } else if (n.group) {
            out += '(';
            heading(n.kids, out);
            out += ')';
        } else if (n.tok.kind == Token::Kind::QuotedIdent) {
            out += n.tok.text;
        } else {
            out += tokenText(n.tok);
        }
    }
}

bool isReserved(const Node& n) {
    static const std::array<const char*, 60> words = {
        "SELECT",  "FROM",    "WHERE",    "AND",      "OR",     "NOT",    "AS",        "ON",
        "IS",      "IN",      "LIKE",     "BETWEEN",  "ESCAPE", "THEN",   "WHEN",      "ELSE",
        "END",     "GROUP",   "BY",       "ORDER",    "HAVING", "UNION",  "ALL",       "INTERSECT",
        "MINUS",   "EXCEPT",  "DISTINCT", "UNIQUE",   "JOIN",   "LEFT",   "RIGHT",     "INNER",
        "OUTER",   "CROSS",   "NATURAL",  "USING",    "SET",    "VALUES", "INTO",      "START",
        "CONNECT", "NOCYCLE", "ASC",      "DESC",     "NULLS",  "LIMIT",  "OFFSET",    "FETCH",
        "EXISTS",  "COLLATE", "GLOB",     "REGEXP",   "MATCH",  "OVER",   "PARTITION", "SIBLINGS",
        "ISNULL",  "NOTNULL", "WINDOW",   "RETURNING"};
    if (n.group || n.tok.kind != Token::Kind::Ident)
        return false;
    for (const char* w : words)
        if (n.tok.is(w))
            return true;
    return false;
}

bool isArithmetic(const Node& n) {
    return n.isOp("+") || n.isOp("-") || n.isOp("*") || n.isOp("/") || n.isOp("%") || n.isOp("||");
}

bool startsQuery(const Seq& s) {
    return !s.empty() && (s[0].is("SELECT") || s[0].is("WITH"));
}

// Index of the END closing the CASE at `i`, or fails.
std::size_t matchingEnd(const Seq& s, std::size_t i) {
    int depth = 0;
    for (std::size_t k = i; k < s.size(); ++k) {
        if (s[k].is("CASE"))
            ++depth;
        else if (s[k].is("END") && --depth == 0)
            return k;
    }
    fail("CASE without END");
}

// The end (exclusive) of the operand starting at `i`, or `i` when none
// starts there. Unary signs and PRIOR are part of the operand.
std::size_t operandEnd(const Seq& s, std::size_t i) {
    std::size_t j = i;
    const std::size_t n = s.size();
    while (j < n && (s[j].isOp("+") || s[j].isOp("-") || s[j].is("PRIOR")))
        ++j;
    if (j >= n)
        return i;
    const Node& x = s[j];
    if (x.group) {
        ++j;
    } else if (x.tok.kind == Token::Kind::String || x.tok.kind == Token::Kind::Number ||
               x.tok.kind == Token::Kind::Param) {
        ++j;
    } else if (x.is("CASE")) {
        j = matchingEnd(s, j) + 1;
    } else if ((x.is("DATE") || x.is("TIMESTAMP")) && j + 1 < n &&
               s[j + 1].tok.kind == Token::Kind::String && !s[j + 1].group) {
        j += 2;
    } else if (x.isName() && !isReserved(x)) {
        ++j;
        while (j + 1 < n && s[j].isOp(".") && (s[j + 1].isName() || s[j + 1].isOp("*")))
            j += 2;
        if (j < n && s[j].group) {
            ++j;
            if (j + 1 < n && s[j].is("OVER"))
                j += 2;
        }
    } else {
        return i;
    }
    return j;
}

// Placeholders in an operand translated once for several places: the
// qualifier of its columns and the value of LEVEL. The tokenizer never makes
// a name with a control character.
const char* const kChildMark = "\x01QUALIFIER";
const char* const kLevelMark = "\x01LEVEL";

bool isMark(const Node& n, const char* mark) {
    return !n.group && n.tok.kind == Token::Kind::Ident && n.tok.text == mark;
}

// A translated operand with its placeholders replaced. Subqueries hold none
// and are shared as they are.
Seq substituteMarks(const Seq& in, const Node& child, const Seq& level) {
    Seq out;
    out.reserve(in.size());
    for (const Node& n : in) {
        if (n.group) {
            if (startsQuery(n.kids)) {
                out.push_back(n);
                continue;
            }
            Node g = n;
            g.kids = substituteMarks(n.kids, child, level);
            out.push_back(std::move(g));
        } else if (isMark(n, kChildMark)) {
            out.push_back(child);
        } else if (isMark(n, kLevelMark)) {
            append(out, level);
        } else {
            out.push_back(n);
        }
    }
    return out;
}

struct HierarchyScope {
    Seq level;  // what LEVEL stands for
};

class Translator {
public:
    Translator(sqlite3* schema, Translation& result, std::string owner, std::size_t workLimit)
        : m_schema(schema), m_result(result), m_owner(std::move(owner)), m_workLimit(workLimit) {}

    Seq statement(const Seq& s);
    Seq query(const Seq& s);

private:
    Seq expr(const Seq& s);
    Seq operand(const Seq& s, std::size_t from, std::size_t to);
    Seq atom(const Seq& s, std::size_t i);
    Seq selectBlock(const Seq& s, bool mustWrapHierarchy);
    Seq selectList(const Seq& items);
    Seq hierarchical(const Seq& s, const struct Clauses& c, bool wrap);
    Seq createTable(const Seq& s);
    Seq dmlTarget(const Seq& s, std::size_t& i);

    sqlite3* m_schema;
    Translation& m_result;
    std::string m_owner;
    const HierarchyScope* m_scope = nullptr;
    // Nodes visited by expr() and query(): a construct translated once per
    // use would make this grow faster than the statement.
    std::size_t m_work = 0;
    std::size_t m_workLimit;
    void charge(std::size_t nodes) {
        m_work += nodes;
        if (m_work > m_workLimit)
            fail("statement too complex to translate (more than " + std::to_string(m_workLimit) +
                 " steps); nothing was run");
    }
};

struct Clauses {
    std::size_t listStart = 1;
    Seq distinct;
    // clause name -> [start of its body, end)
    struct Part {
        std::string name;
        std::size_t head = 0;  // index of the clause keyword
        std::size_t body = 0;  // index of the first body node
        std::size_t end = 0;
    };
    std::vector<Part> parts;
    const Part* find(const std::string& name) const {
        for (const Part& p : parts)
            if (p.name == name)
                return &p;
        return nullptr;
    }
};

Clauses splitClauses(const Seq& s) {
    Clauses c;
    std::size_t i = 1;
    if (i < s.size() && (s[i].is("DISTINCT") || s[i].is("UNIQUE"))) {
        c.distinct = words({"DISTINCT"});
        ++i;
    } else if (i < s.size() && s[i].is("ALL")) {
        ++i;
    }
    c.listStart = i;
    for (std::size_t k = i; k < s.size(); ++k) {
        const Node& n = s[k];
        auto next = [&](const char* w) { return k + 1 < s.size() && s[k + 1].is(w); };
        Clauses::Part p;
        p.head = k;
        if (n.is("FROM") || n.is("WHERE") || n.is("HAVING") || n.is("LIMIT") || n.is("OFFSET") ||
            n.is("WINDOW")) {
            p.name = upperAscii(n.tok.text);
            p.body = k + 1;
        } else if (n.is("FETCH") && (next("FIRST") || next("NEXT"))) {
            p.name = "FETCH";
            p.body = k + 2;
        } else if (n.is("START") && next("WITH")) {
            p.name = "START";
            p.body = k + 2;
        } else if (n.is("CONNECT") && next("BY")) {
            p.name = "CONNECT";
            p.body = k + 2;
        } else if (n.is("GROUP") && next("BY")) {
            p.name = "GROUP";
            p.body = k + 2;
        } else if (n.is("ORDER") && next("BY")) {
            p.name = "ORDER";
            p.body = k + 2;
        } else if (n.is("ORDER") && next("SIBLINGS") && k + 2 < s.size() && s[k + 2].is("BY")) {
            p.name = "SIBLINGS";
            p.body = k + 3;
        } else {
            continue;
        }
        if (c.find(p.name))
            fail("near \"" + p.name + "\": syntax error (clause given twice)");
        c.parts.push_back(p);
    }
    for (std::size_t k = 0; k < c.parts.size(); ++k)
        c.parts[k].end = k + 1 < c.parts.size() ? c.parts[k + 1].head : s.size();
    return c;
}

Seq Translator::atom(const Seq& s, std::size_t i) {
    const Node& n = s[i];
    if (n.translated)
        return {n};
    if (n.group) {
        if (startsQuery(n.kids))
            return {group(query(n.kids))};
        return {group(expr(n.kids))};
    }
    const bool called = i + 1 < s.size() && s[i + 1].group;
    const bool qualified = i > 0 && s[i - 1].isOp(".");
    if (n.tok.kind == Token::Kind::String && n.tok.text.empty())
        return {ident("NULL")};  // Oracle's empty string is NULL
    if (n.tok.kind == Token::Kind::Ident && !qualified) {
        if (!called && n.is("USER") && !m_owner.empty())
            return {str(m_owner)};
        if (!called && n.is("SYSDATE"))
            return call("DATETIME", {{str("now")}, {str("localtime")}});
        if (!called && n.is("SYSTIMESTAMP"))
            return call("STRFTIME", {{str("%Y-%m-%d %H:%M:%f")}, {str("now")}, {str("localtime")}});
        if (called && n.is("CONCAT"))
            return {ident("ORA_CONCAT")};
        if (!called && n.is("ROWNUM"))
            return {ident("ROW_NUMBER"), group({}), ident("OVER"), group({})};
        if (!called && m_scope && n.is("LEVEL"))
            return {group(m_scope->level)};
    }
    return {n};
}

Seq Translator::operand(const Seq& s, std::size_t from, std::size_t to) {
    Seq out;
    for (std::size_t k = from; k < to; ++k) {
        const Node& n = s[k];
        if (n.is("CASE")) {
            const std::size_t e = matchingEnd(s, k);
            out.push_back(n);
            append(out, expr(slice(s, k + 1, e)));
            out.push_back(s[e]);
            k = e;
            continue;
        }
        if ((n.is("DATE") || n.is("TIMESTAMP")) && k + 1 < to && !s[k + 1].group &&
            s[k + 1].tok.kind == Token::Kind::String)
            continue;  // a date literal is its text
        if (n.is("PRIOR"))
            fail("PRIOR is only supported in CONNECT BY");
        append(out, atom(s, k));
    }
    return out;
}

// Rewrites an expression or clause body. A chain of operands joined by
// arithmetic and || operators is re-parsed with Oracle's precedence (|| on
// the level of + and -), and every || becomes ORA_CONCAT, where a null
// operand is empty text.
Seq Translator::expr(const Seq& s) {
    charge(s.size() + 1);
    Seq out;
    std::size_t i = 0;
    while (i < s.size()) {
        std::size_t j = operandEnd(s, i);
        if (j == i) {
            append(out, atom(s, i));
            ++i;
            continue;
        }
        std::vector<std::pair<std::string, Seq>> parts;
        parts.push_back({"", operand(s, i, j)});
        bool concat = false;
        while (j < s.size() && isArithmetic(s[j])) {
            const std::size_t k = operandEnd(s, j + 1);
            if (k == j + 1)
                break;
            concat = concat || s[j].isOp("||");
            Seq right = operand(s, j + 1, k);
            if (s[j].isOp("/")) {
                // Oracle divides exactly: 10/4 is 2.5, not 2.
                Seq cast = right;
                append(cast, words({"AS", "REAL"}));
                right = Seq{ident("CAST"), group(cast)};
            }
            parts.push_back({s[j].tok.text, right});
            j = k;
        }
        i = j;
        if (!concat) {
            for (auto& [o, seq] : parts) {
                if (!o.empty())
                    out.push_back(op(o));
                append(out, seq);
            }
            continue;
        }
        // Terms bind * / %; then + - || left to right.
        std::vector<std::pair<std::string, Seq>> terms;
        for (auto& [o, seq] : parts) {
            if (o == "*" || o == "/" || o == "%") {
                terms.back().second.push_back(op(o));
                append(terms.back().second, seq);
            } else {
                terms.push_back({o, seq});
            }
        }
        Seq acc = terms[0].second;
        std::vector<Seq> args;
        for (std::size_t t = 1; t < terms.size(); ++t) {
            const std::string& o = terms[t].first;
            if (o == "||") {
                if (args.empty())
                    args.push_back(acc);
                args.push_back(terms[t].second);
            } else {
                if (!args.empty()) {
                    acc = call("ORA_CONCAT", args);
                    args.clear();
                }
                acc.push_back(op(o));
                append(acc, terms[t].second);
            }
        }
        if (!args.empty())
            acc = call("ORA_CONCAT", args);
        append(out, acc);
    }
    return out;
}

Seq Translator::query(const Seq& s) {
    charge(s.size() + 1);
    if (s.empty())
        fail("missing query");
    Seq out;
    std::size_t i = 0;
    bool userWith = false;
    if (s[0].is("WITH")) {
        userWith = true;
        std::size_t k = 1;
        while (k < s.size() && !s[k].is("SELECT"))
            ++k;
        append(out, expr(slice(s, 0, k)));
        i = k;
    }
    std::vector<Seq> blocks(1);
    std::vector<Seq> setOps;
    for (std::size_t k = i; k < s.size(); ++k) {
        const Node& n = s[k];
        if (n.is("UNION") || n.is("INTERSECT") || n.is("MINUS") || n.is("EXCEPT")) {
            Seq o{ident(n.is("MINUS") ? "EXCEPT" : upperAscii(n.tok.text))};
            if (k + 1 < s.size() && s[k + 1].is("ALL")) {
                o.push_back(ident("ALL"));
                ++k;
            }
            setOps.push_back(o);
            blocks.emplace_back();
            continue;
        }
        blocks.back().push_back(n);
    }
    const bool compound = blocks.size() > 1;
    for (std::size_t b = 0; b < blocks.size(); ++b) {
        if (b)
            append(out, setOps[b - 1]);
        const Seq& block = blocks[b];
        if (block.size() == 1 && block[0].group && startsQuery(block[0].kids)) {
            append(out, {ident("SELECT"), op("*"), ident("FROM"), group(query(block[0].kids))});
        } else {
            append(out, selectBlock(block, compound || userWith));
        }
    }
    return out;
}

Seq Translator::selectList(const Seq& s) {
    Seq out;
    std::vector<Seq> items(1);
    for (const Node& n : s) {
        if (n.isOp(","))
            items.emplace_back();
        else
            items.back().push_back(n);
    }
    for (std::size_t k = 0; k < items.size(); ++k) {
        const Seq& item = items[k];
        if (k)
            out.push_back(op(","));
        if (item.empty())
            fail("near \",\": syntax error (empty select-list item)");
        const bool star =
            item.back().isOp("*") && (item.size() == 1 || item[item.size() - 2].isOp("."));
        if (star) {
            append(out, item);
            continue;
        }
        // Alias: `expr AS name` or `expr name`.
        std::size_t exprEnd = item.size();
        const Node* alias = nullptr;
        if (item.size() >= 2 && item.back().isName() && !isReserved(item.back())) {
            const Node& before = item[item.size() - 2];
            if (before.is("AS")) {
                alias = &item.back();
                exprEnd = item.size() - 2;
            } else if (operandEnd(item, 0) != 0 && !before.isOp(".") && !isArithmetic(before) &&
                       !before.is("CASE") && operandEnd(item, item.size() - 1) == item.size() &&
                       !(before.is("DATE") || before.is("TIMESTAMP"))) {
                // Two operands side by side: the second names the first.
                std::size_t e = 0;
                while (e < item.size() - 1) {
                    const std::size_t next = operandEnd(item, e);
                    if (next == e || next > item.size() - 1)
                        break;
                    e = next;
                    if (e < item.size() - 1 && (isArithmetic(item[e]) || item[e].is("COLLATE")))
                        ++e;
                    else
                        break;
                }
                if (e == item.size() - 1) {
                    alias = &item.back();
                    exprEnd = item.size() - 1;
                }
            }
        }
        const Seq body = slice(item, 0, exprEnd);
        append(out, expr(body));
        std::string name;
        if (alias) {
            name = alias->tok.name();
        } else {
            const bool column =
                body.size() == 3 && body[0].isName() && body[1].isOp(".") && body[2].isName();
            heading(column ? slice(body, 2, 3) : body, name);
        }
        m_result.namedColumns.insert(name);
        out.push_back(ident("AS"));
        out.push_back(quoted(name));
    }
    return out;
}

// FETCH FIRST n ROWS ONLY and OFFSET n ROWS become LIMIT / OFFSET.
Seq limitClause(const Seq& s, const Clauses& c, const std::function<Seq(const Seq&)>& rewrite) {
    Seq limit, offset;
    auto body = [&](const Clauses::Part& p) {
        Seq b = slice(s, p.body, p.end);
        while (!b.empty() && (b.back().is("ONLY") || b.back().is("ROWS") || b.back().is("ROW")))
            b.pop_back();
        return rewrite(b);
    };
    if (const auto* p = c.find("LIMIT"))
        limit = rewrite(slice(s, p->body, p->end));
    if (const auto* p = c.find("FETCH"))
        limit = body(*p);
    if (const auto* p = c.find("OFFSET"))
        offset = body(*p);
    Seq out;
    if (!limit.empty() || !offset.empty()) {
        out.push_back(ident("LIMIT"));
        if (limit.empty())
            out.push_back(num("-1"));
        else
            append(out, limit);
        if (!offset.empty()) {
            out.push_back(ident("OFFSET"));
            append(out, offset);
        }
    }
    return out;
}

// Takes the conditions `ROWNUM <= n`, `ROWNUM < n` and `ROWNUM = 1` out of
// a WHERE body (they only stop the query after n rows) and gives the row
// count in `limit`. Returns the remaining conditions.
Seq takeRownumLimit(const Seq& where, Seq& limit) {
    std::vector<Seq> conjuncts(1);
    bool between = false;
    for (const Node& n : where) {
        if (n.is("BETWEEN"))
            between = true;
        if (n.is("AND") && !between) {
            conjuncts.emplace_back();
            continue;
        }
        if (n.is("AND"))
            between = false;
        if (n.is("OR"))
            return where;  // a disjunction keeps its ROWNUM
        conjuncts.back().push_back(n);
    }
    Seq rest;
    for (const Seq& c : conjuncts) {
        const bool value =
            c.size() == 3 && !c[2].group &&
            (c[2].tok.kind == Token::Kind::Number || c[2].tok.kind == Token::Kind::Param);
        const bool left = value && c[0].is("ROWNUM");
        const bool reversed =
            c.size() == 3 && c[2].is("ROWNUM") && !c[0].group &&
            (c[0].tok.kind == Token::Kind::Number || c[0].tok.kind == Token::Kind::Param);
        if (limit.empty() && (left || reversed)) {
            const Node& bound = left ? c[2] : c[0];
            const std::string o = c[1].group ? "" : c[1].tok.text;
            if ((left && o == "<=") || (reversed && o == ">=")) {
                limit = {bound};
                continue;
            }
            if ((left && o == "<") || (reversed && o == ">")) {
                limit = {bound, op("-"), num("1")};
                continue;
            }
            if (o == "=" && bound.tok.text == "1") {
                limit = {bound};
                continue;
            }
        }
        if (!rest.empty())
            rest.push_back(ident("AND"));
        append(rest, c);
    }
    return rest;
}

bool isOuterMark(const Node& n) {
    return n.group && n.kids.size() == 1 && n.kids[0].isOp("+");
}

// Oracle's outer join marker: `WHERE a.id = b.id(+)` makes B the optional
// side. The FROM list becomes the required tables followed by
// `LEFT JOIN b ON (...)` with every condition that marks B; the other
// conditions stay in WHERE. Returns `s` unchanged when nothing is marked.
Seq outerJoins(const Seq& s, const Clauses& c) {
    const auto* where = c.find("WHERE");
    const auto* from = c.find("FROM");
    if (!where || !from)
        return s;
    bool marked = false;
    for (std::size_t k = where->body; k < where->end; ++k)
        marked = marked || isOuterMark(s[k]);
    if (!marked)
        return s;
    std::vector<Seq> conjuncts(1);
    bool between = false;
    for (std::size_t k = where->body; k < where->end; ++k) {
        const Node& n = s[k];
        if (n.is("OR"))
            fail("a condition marked (+) cannot be joined with OR");
        if (n.is("BETWEEN"))
            between = true;
        if (n.is("AND") && !between) {
            conjuncts.emplace_back();
            continue;
        }
        if (n.is("AND"))
            between = false;
        conjuncts.back().push_back(n);
    }
    struct Item {
        Seq nodes;
        std::string name;
        Seq on;
    };
    std::vector<Item> items(1);
    for (std::size_t k = from->body; k < from->end; ++k) {
        if (s[k].is("JOIN"))
            fail("a join marked (+) cannot be mixed with JOIN in FROM");
        if (s[k].isOp(","))
            items.emplace_back();
        else
            items.back().nodes.push_back(s[k]);
    }
    for (Item& it : items) {
        if (!it.nodes.empty() && it.nodes.back().isName())
            it.name = it.nodes.back().tok.name();
    }
    Seq rest;
    for (const Seq& cj : conjuncts) {
        std::string optional;
        Seq clean;
        for (std::size_t k = 0; k < cj.size(); ++k) {
            if (!isOuterMark(cj[k])) {
                clean.push_back(cj[k]);
                continue;
            }
            if (k < 3 || !cj[k - 2].isOp(".") || !cj[k - 3].isName())
                fail("the column marked (+) must be qualified with its table or alias");
            const std::string q = cj[k - 3].tok.name();
            if (!optional.empty() && optional != q)
                fail("a condition may mark (+) the columns of one table only");
            optional = q;
        }
        Item* target = nullptr;
        for (Item& it : items)
            if (!optional.empty() && it.name == optional)
                target = &it;
        if (!optional.empty() && !target)
            fail("the table " + optional + " marked (+) is not in FROM");
        if (!target) {
            if (!rest.empty())
                rest.push_back(ident("AND"));
            append(rest, clean);
            continue;
        }
        if (!target->on.empty())
            target->on.push_back(ident("AND"));
        append(target->on, clean);
    }
    Seq out = slice(s, 0, from->body);
    bool first = true;
    for (const Item& it : items) {
        if (!it.on.empty())
            continue;
        if (!first)
            out.push_back(op(","));
        append(out, it.nodes);
        first = false;
    }
    if (first)
        fail("every table of FROM is marked (+)");
    for (const Item& it : items) {
        if (it.on.empty())
            continue;
        append(out, words({"LEFT", "JOIN"}));
        append(out, it.nodes);
        out.push_back(ident("ON"));
        out.push_back(group(it.on));
    }
    if (!rest.empty()) {
        out.push_back(ident("WHERE"));
        append(out, rest);
    }
    append(out, slice(s, where->end, s.size()));
    // clauses between FROM and WHERE (none in Oracle's order) are kept
    return out;
}

Seq Translator::selectBlock(const Seq& original, bool mustWrapHierarchy) {
    if (original.empty())
        fail("missing query");
    if (!original[0].is("SELECT"))
        return expr(original);
    const Seq s = outerJoins(original, splitClauses(original));
    const Clauses c = splitClauses(s);
    if (c.find("CONNECT"))
        return hierarchical(s, c, mustWrapHierarchy);
    if (c.find("START"))
        fail("START WITH needs a CONNECT BY clause");
    Seq out{s[0]};
    append(out, c.distinct);
    const std::size_t listEnd = c.parts.empty() ? s.size() : c.parts[0].head;
    append(out, selectList(slice(s, c.listStart, listEnd)));
    auto rewrite = [this](const Seq& b) { return expr(b); };
    // ROWNUM counts the rows that FROM and WHERE give, before grouping and
    // sorting: over one table the limited rows become the FROM source.
    Seq rownumLimit;
    Seq whereRest;
    if (const auto* where = c.find("WHERE"))
        whereRest = takeRownumLimit(slice(s, where->body, where->end), rownumLimit);
    const auto* from = c.find("FROM");
    Seq singleSource;
    std::string sourceAlias;
    if (!rownumLimit.empty() && from) {
        const Seq f = slice(s, from->body, from->end);
        bool single = !f.empty();
        for (const Node& n : f)
            single = single && !n.isOp(",") && !n.is("JOIN");
        if (single) {
            std::size_t k = 0;
            if (f[0].group) {
                k = 1;
            } else {
                while (k < f.size() && f[k].isName()) {
                    sourceAlias = f[k].tok.name();
                    ++k;
                    if (k + 1 < f.size() && f[k].isOp("."))
                        ++k;
                    else
                        break;
                }
            }
            singleSource = slice(f, 0, k);
            if (k < f.size() && f[k].is("AS"))
                ++k;
            if (k < f.size() && f[k].isName())
                sourceAlias = f[k++].tok.name();
            if (k != f.size() || sourceAlias.empty())
                singleSource.clear();
        }
    }
    for (const auto& p : c.parts) {
        if (p.name == "LIMIT" || p.name == "OFFSET" || p.name == "FETCH")
            continue;
        Seq body = slice(s, p.body, p.end);
        if (p.name == "WHERE") {
            body = whereRest;
            if (body.empty() || !singleSource.empty())
                continue;
        }
        if (p.name == "FROM" && !singleSource.empty()) {
            Seq inner{ident("SELECT"), op("*"), ident("FROM")};
            append(inner, expr(singleSource));
            append(inner, {ident("AS"), quoted(sourceAlias)});
            if (!whereRest.empty()) {
                inner.push_back(ident("WHERE"));
                append(inner, expr(whereRest));
            }
            inner.push_back(ident("LIMIT"));
            append(inner, rownumLimit);
            append(out, {ident("FROM"), group(inner), quoted(sourceAlias)});
            continue;
        }
        if (p.name == "SIBLINGS")
            append(out, words({"ORDER", "BY"}));
        else
            append(out, slice(s, p.head, p.body));
        append(out, expr(body));
    }
    Seq limit = limitClause(s, c, rewrite);
    if (!rownumLimit.empty() && singleSource.empty() && limit.empty()) {
        limit.push_back(ident("LIMIT"));
        append(limit, rownumLimit);
    }
    append(out, limit);
    return out;
}

// A hierarchical query becomes a recursive common table expression. Its
// queue is ordered by level, deepest first, which visits the rows depth
// first: each row is followed by its whole subtree, siblings in the order
// the join produces them (or ORDER SIBLINGS BY). A row whose PRIOR values
// repeat those of one of its ancestors is a loop: it is not expanded, and
// the final query raises an error for it, or drops it under NOCYCLE.
Seq Translator::hierarchical(const Seq& s, const Clauses& c, bool wrap) {
    const auto* from = c.find("FROM");
    if (!from)
        fail("CONNECT BY needs a FROM clause");
    const Seq fromBody = slice(s, from->body, from->end);
    // One table, view or subquery, with an optional alias.
    Seq source;
    std::string tableName;
    std::size_t k = 0;
    if (!fromBody.empty() && fromBody[0].group) {
        source.push_back(atom(fromBody, 0)[0]);
        k = 1;
    } else {
        while (k < fromBody.size() && fromBody[k].isName()) {
            source.push_back(fromBody[k]);
            tableName = fromBody[k].tok.name();
            ++k;
            if (k < fromBody.size() && fromBody[k].isOp(".") && k + 1 < fromBody.size()) {
                source.push_back(fromBody[k]);
                ++k;
            } else {
                break;
            }
        }
    }
    if (source.empty())
        fail("CONNECT BY needs a table, view or subquery in FROM");
    if (k < fromBody.size() && fromBody[k].is("AS"))
        ++k;
    std::string aliasName = tableName;
    Node aliasNode = quoted(tableName);
    if (k < fromBody.size() && fromBody[k].isName() && !isReserved(fromBody[k])) {
        aliasName = fromBody[k].tok.name();
        aliasNode = fromBody[k];
        ++k;
    }
    if (k != fromBody.size())
        fail("CONNECT BY over a join is not supported: select from one table, view or subquery");
    if (aliasName.empty())
        aliasNode = ident("__Q");

    // Placeholders for what an operand is qualified with: an operand is
    // translated once with them and then given the qualifier and the level
    // of each place it is used in (the first row of the recursion, the
    // step), so that the work stays linear however deep subqueries nest.
    const Node childMark = ident(kChildMark);
    const Seq levelMark{ident(kLevelMark)};

    // The recursion carries, per row, the values of the PRIOR operands on
    // that row in one column __KEY (see ORA_HIER_KEY); the step reads the
    // parent's values from it with ORA_HIER_PRIOR(key, n).
    enum class PriorMode {
        Collect,  // PRIOR x: x is collected as the next key value, read from `prior`'s key
        KeyRef,   // PRIOR x: the next key value, read from `prior`'s key
    };
    std::vector<Seq> priorOperands;
    // Qualifies column references of the source with `child`; LEVEL
    // becomes `level`.
    std::size_t nextKey = 0;
    std::function<Seq(const Seq&, const Node&, const Node*, const Seq&, PriorMode)> qualify;
    qualify = [&](const Seq& in, const Node& child, const Node* prior, const Seq& level,
                  PriorMode mode) {
        Seq out;
        for (std::size_t i = 0; i < in.size(); ++i) {
            const Node& n = in[i];
            if (n.group) {
                if (startsQuery(n.kids))
                    out.push_back(n);
                else
                    out.push_back(group(qualify(n.kids, child, prior, level, mode)));
                continue;
            }
            if (n.is("PRIOR")) {
                if (!prior)
                    fail("PRIOR is only supported in CONNECT BY");
                const std::size_t e = operandEnd(in, i + 1);
                if (e == i + 1)
                    fail("PRIOR needs an operand");
                if (mode == PriorMode::Collect) {
                    Seq opnd = slice(in, i + 1, e);
                    for (const Node& x : opnd)
                        if (x.is("PRIOR"))
                            fail("PRIOR cannot apply to PRIOR");
                    priorOperands.push_back(std::move(opnd));
                }
                out.push_back(group(call("ORA_HIER_PRIOR", {Seq{*prior, op("."), ident("__KEY")},
                                                            Seq{num(std::to_string(nextKey++))}})));
                i = e - 1;
                continue;
            }
            const bool afterDot = i > 0 && in[i - 1].isOp(".");
            const bool afterAs = i > 0 && in[i - 1].is("AS");
            const bool called = i + 1 < in.size() && in[i + 1].group;
            if (!n.isName() || afterDot || afterAs || called || isReserved(n)) {
                out.push_back(n);
                continue;
            }
            if (n.tok.kind == Token::Kind::Ident &&
                (n.is("NULL") || n.is("TRUE") || n.is("FALSE") || n.is("SYSDATE") ||
                 n.is("SYSTIMESTAMP") || n.is("CASE") || n.is("ROWNUM") || n.is("DATE") ||
                 n.is("TIMESTAMP"))) {
                out.push_back(n);
                continue;
            }
            if (n.is("LEVEL")) {
                out.push_back(group(level));
                continue;
            }
            if (i + 2 < in.size() && in[i + 1].isOp(".") && in[i + 2].isName()) {
                // A qualified column: the table's own name or alias gives way.
                const std::string q = n.tok.name();
                if (q == aliasName || q == tableName)
                    out.push_back(child);
                else
                    out.push_back(n);
                continue;
            }
            out.push_back(child);
            out.push_back(op("."));
            out.push_back(n);
        }
        return out;
    };
    // An operand without PRIOR, translated once with the placeholders.
    auto translateOperand = [&](const Seq& operand) {
        return expr(qualify(operand, childMark, nullptr, levelMark, PriorMode::KeyRef));
    };

    const Node C = ident("__C");
    const Node P = ident("__P");
    const Seq one{num("1")};
    const Seq childLevel{ident("__P"), op("."), ident("__LVL"), op("+"), num("1")};
    const auto* connect = c.find("CONNECT");
    std::size_t connectBody = connect->body;
    const bool nocycle = connectBody < connect->end && s[connectBody].is("NOCYCLE");
    if (nocycle)
        ++connectBody;
    const Seq connectRaw = slice(s, connectBody, connect->end);
    nextKey = 0;
    const Seq connectCond = expr(qualify(connectRaw, C, &P, childLevel, PriorMode::Collect));
    if (connectCond.empty())
        fail("CONNECT BY needs a condition");

    // A row's key: the values of the PRIOR operands on that row.
    std::vector<Seq> keyValues;
    for (const Seq& o : priorOperands)
        keyValues.push_back(translateOperand(o));
    auto keyCall = [&](Seq parentKey, Seq parentLevel, const Node& row, const Seq& level) {
        std::vector<Seq> args{std::move(parentKey), std::move(parentLevel)};
        for (const Seq& v : keyValues)
            args.push_back(substituteMarks(v, row, level));
        return call("ORA_HIER_KEY", args);
    };

    // Siblings come out in the source's natural order: SQLite's queue breaks
    // ties between rows of one level by their whole content, so the row id
    // is carried as the second column and named in the queue's ORDER BY.
    // A source without row ids (a view, a subquery) leaves ties to SQLite.
    Seq seq{ident("NULL")};
    if (m_schema) {
        std::string probe = "SELECT ROWID FROM " + emitted(source) + " LIMIT 0";
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(m_schema, probe.c_str(), -1, &st, nullptr) == SQLITE_OK && st)
            seq = Seq{C, op("."), ident("ROWID")};
        sqlite3_finalize(st);
    }

    // A table with row ids is joined back by row id after the recursion,
    // which then carries only the row id and the key: SQLite builds its
    // automatic index for every step of the recursion, and one over every
    // column of the table costs far more than one over a few.
    bool joinBack = false;
    if (m_schema && seq.size() > 1 && source.size() == 1 && !fromBody[0].group &&
        !c.find("SIBLINGS")) {
        const char* type = nullptr;
        int primaryKey = 0;
        joinBack =
            sqlite3_table_column_metadata(m_schema, nullptr, tableName.c_str(), "ROWID", &type,
                                          nullptr, nullptr, &primaryKey, nullptr) == SQLITE_OK &&
            primaryKey != 0;
    }
    // The name under which the final query reads a row of the recursion.
    const Node hierarchyRow = joinBack ? ident("__H") : aliasNode;

    // CONNECT_BY_ROOT, SYS_CONNECT_BY_PATH and CONNECT_BY_ISLEAF outside the
    // hierarchy clauses: the first two are carried along the recursion as
    // extra columns, the last asks whether the row has a child. They are
    // translated here, once; the nodes standing for them are kept as they
    // are by the translation of the final query.
    std::vector<Seq> roots;
    std::vector<std::pair<Seq, Seq>> paths;
    Node leaf;
    bool haveLeaf = false;
    std::function<Seq(const Seq&)> extras = [&](const Seq& in) {
        Seq out;
        for (std::size_t i = 0; i < in.size(); ++i) {
            const Node& n = in[i];
            if (n.group) {
                Node g = n;
                if (!startsQuery(n.kids))
                    g.kids = extras(n.kids);
                out.push_back(g);
                continue;
            }
            const bool called = i + 1 < in.size() && in[i + 1].group;
            if (n.is("CONNECT_BY_ROOT")) {
                const std::size_t e = operandEnd(in, i + 1);
                if (e == i + 1)
                    fail("CONNECT_BY_ROOT needs an operand");
                Node r = ident("__R" + std::to_string(roots.size()));
                roots.push_back(slice(in, i + 1, e));
                r.display = "CONNECT_BY_ROOT";
                heading(roots.back(), r.display);
                out.push_back(r);
                i = e - 1;
                continue;
            }
            if (n.is("SYS_CONNECT_BY_PATH") && called) {
                const Seq& kids = in[i + 1].kids;
                std::size_t comma = 0;
                while (comma < kids.size() && !kids[comma].isOp(","))
                    ++comma;
                if (comma == 0 || comma + 1 >= kids.size())
                    fail("SYS_CONNECT_BY_PATH needs two arguments");
                Node r = ident("__B" + std::to_string(paths.size()));
                paths.emplace_back(slice(kids, 0, comma), slice(kids, comma + 1, kids.size()));
                heading(slice(in, i, i + 2), r.display);
                out.push_back(r);
                ++i;
                continue;
            }
            if (n.is("CONNECT_BY_ISLEAF") && !called) {
                if (!haveLeaf) {
                    const Node L = ident("__L");
                    Seq sub = words({"SELECT"});
                    append(sub, {num("1"), ident("FROM")});
                    append(sub, source);
                    append(sub, {ident("AS"), L, ident("WHERE")});
                    nextKey = 0;
                    sub.push_back(group(
                        expr(qualify(connectRaw, L, &hierarchyRow,
                                     Seq{ident("__LVL"), op("+"), num("1")}, PriorMode::KeyRef))));
                    Seq test = words({"CASE", "WHEN", "EXISTS"});
                    test.push_back(group(sub));
                    append(test, {ident("THEN"), num("0"), ident("ELSE"), num("1"), ident("END")});
                    leaf = group(test);
                    leaf.translated = true;
                    leaf.display = "CONNECT_BY_ISLEAF";
                    haveLeaf = true;
                }
                out.push_back(leaf);
                continue;
            }
            out.push_back(n);
        }
        return out;
    };
    Seq s2;
    {
        const std::size_t listEnd0 = c.parts.empty() ? s.size() : c.parts[0].head;
        s2 = slice(s, 0, c.listStart);
        append(s2, extras(slice(s, c.listStart, listEnd0)));
        for (const auto& p : c.parts) {
            append(s2, slice(s, p.head, p.body));
            const Seq body = slice(s, p.body, p.end);
            append(s2, (p.name == "START" || p.name == "CONNECT" || p.name == "FROM")
                           ? body
                           : extras(body));
        }
    }
    const Clauses c2 = splitClauses(s2);
    Seq anchorExtras, recursiveExtras;
    for (std::size_t n = 0; n < roots.size(); ++n) {
        const std::string name = "__R" + std::to_string(n);
        anchorExtras.push_back(op(","));
        append(anchorExtras, substituteMarks(translateOperand(roots[n]), C, one));
        append(anchorExtras, {ident("AS"), ident(name)});
        append(recursiveExtras, {op(","), P, op("."), ident(name)});
    }
    for (std::size_t n = 0; n < paths.size(); ++n) {
        const std::string name = "__B" + std::to_string(n);
        const Seq sep = expr(paths[n].second);
        const Seq value = translateOperand(paths[n].first);
        anchorExtras.push_back(op(","));
        append(anchorExtras, call("ORA_CONCAT", {sep, substituteMarks(value, C, one)}));
        append(anchorExtras, {ident("AS"), ident(name)});
        recursiveExtras.push_back(op(","));
        append(recursiveExtras, call("ORA_CONCAT", {Seq{P, op("."), ident(name)}, sep,
                                                    substituteMarks(value, C, childLevel)}));
    }
    Seq columns;
    if (!joinBack)
        columns = Seq{op(","), C, op("."), op("*")};

    Seq cte = words({"WITH", "RECURSIVE", "__H", "AS"});
    Seq body = words({"SELECT"});
    append(body, {num("1"), ident("AS"), ident("__LVL"), op(",")});
    append(body, seq);
    append(body, {ident("AS"), ident("__SEQ"), op(",")});
    append(body, keyCall(Seq{ident("NULL")}, Seq{num("0")}, C, one));
    append(body, {ident("AS"), ident("__KEY")});
    append(body, anchorExtras);
    append(body, columns);
    body.push_back(ident("FROM"));
    append(body, source);
    append(body, {ident("AS"), C});
    if (const auto* start = c.find("START")) {
        body.push_back(ident("WHERE"));
        body.push_back(group(
            expr(qualify(slice(s, start->body, start->end), C, nullptr, one, PriorMode::KeyRef))));
    }
    append(body, words({"UNION", "ALL", "SELECT"}));
    append(body, childLevel);
    body.push_back(op(","));
    append(body, seq);
    body.push_back(op(","));
    append(body, keyCall(Seq{P, op("."), ident("__KEY")}, Seq{P, op("."), ident("__LVL")}, C,
                         childLevel));
    append(body, recursiveExtras);
    append(body, columns);
    append(body, {ident("FROM"), ident("__H"), ident("AS"), P, ident("JOIN")});
    append(body, source);
    append(body, {ident("AS"), C, ident("ON")});
    body.push_back(group(connectCond));
    // A row that closes a loop, or lies deeper than the engine goes, is not
    // expanded.
    body.push_back(ident("WHERE"));
    append(body, call("ORA_HIER_FLAG", {Seq{P, op("."), ident("__KEY")}}));
    append(body, {op("="), num("0")});
    append(body, words({"ORDER", "BY"}));
    append(body, {num("1"), ident("DESC")});
    if (const auto* sib = c.find("SIBLINGS")) {
        Seq sb = slice(s, sib->body, sib->end);
        std::vector<Seq> keys(1);
        for (const Node& n : sb) {
            if (n.isOp(","))
                keys.emplace_back();
            else
                keys.back().push_back(n);
        }
        for (Seq& kk : keys) {
            std::size_t e = 0;
            if (!kk.empty() && kk[0].isName() && kk.size() >= 3 && kk[1].isOp("."))
                e = 2;
            if (kk.size() <= e || !kk[e].isName() ||
                !(kk.size() == e + 1 ||
                  (kk.size() == e + 2 && (kk[e + 1].is("ASC") || kk[e + 1].is("DESC")))))
                fail("ORDER SIBLINGS BY supports column names only");
            body.push_back(op(","));
            append(body, slice(kk, e, kk.size()));
        }
    }
    append(body, {op(","), num("2")});
    cte.push_back(group(body));

    // The final query reads the hierarchy under the table's own name.
    HierarchyScope scope{Seq{ident("__LVL")}};
    const HierarchyScope* saved = m_scope;
    m_scope = &scope;
    Seq outer{ident("SELECT")};
    append(outer, c2.distinct);
    const std::size_t listEnd = c2.parts.empty() ? s2.size() : c2.parts[0].head;
    const Seq list = slice(s2, c2.listStart, listEnd);
    const bool bareStar = list.size() == 1 && list[0].isOp("*");
    const bool aliasStar = list.size() == 3 && list[2].isOp("*") && list[1].isOp(".");
    std::vector<std::string> sourceColumns;
    if ((bareStar || aliasStar) && m_schema) {
        std::string probe;
        emit(Seq{ident("SELECT"), op("*"), ident("FROM")}, probe);
        probe += ' ' + emitted(source) + " LIMIT 0";
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(m_schema, probe.c_str(), -1, &st, nullptr) == SQLITE_OK && st) {
            for (int ci = 0; ci < sqlite3_column_count(st); ++ci)
                sourceColumns.emplace_back(sqlite3_column_name(st, ci));
        }
        sqlite3_finalize(st);
    }
    if (!sourceColumns.empty()) {
        for (std::size_t ci = 0; ci < sourceColumns.size(); ++ci) {
            if (ci)
                outer.push_back(op(","));
            append(outer, {aliasNode, op("."), quoted(sourceColumns[ci])});
        }
    } else {
        append(outer, selectList(list));
    }
    if (joinBack) {
        // The recursion's rows in the order it gives them: read through a
        // subquery that SQLite does not merge into the join (LIMIT -1), on
        // the left of a CROSS JOIN, which SQLite always reads first. Joined
        // directly, SQLite would not keep that order.
        append(outer, {ident("FROM")});
        outer.push_back(group(Seq{ident("SELECT"), op("*"), ident("FROM"), ident("__H"),
                                  ident("LIMIT"), op("-"), num("1")}));
        append(outer, {ident("AS"), ident("__H"), ident("CROSS"), ident("JOIN")});
        append(outer, source);
        append(outer, {ident("AS"), aliasNode, ident("ON"), aliasNode, op("."), ident("ROWID"),
                       op("="), ident("__H"), op("."), ident("__SEQ"), ident("WHERE")});
    } else {
        append(outer, {ident("FROM"), ident("__H"), ident("AS"), aliasNode, ident("WHERE")});
    }
    append(outer, call("ORA_HIERARCHY_CHECK", {Seq{hierarchyRow, op("."), ident("__KEY")},
                                               Seq{num(nocycle ? "1" : "0")}}));
    if (const auto* where = c2.find("WHERE")) {
        outer.push_back(ident("AND"));
        outer.push_back(group(expr(slice(s2, where->body, where->end))));
    }
    for (const auto& p : c2.parts) {
        if (p.name == "GROUP" || p.name == "HAVING" || p.name == "ORDER" || p.name == "WINDOW") {
            append(outer, slice(s2, p.head, p.body));
            append(outer, expr(slice(s2, p.body, p.end)));
        }
    }
    append(outer, limitClause(s2, c2, [this](const Seq& b) { return expr(b); }));
    m_scope = saved;

    Seq out;
    if (wrap) {
        out = Seq{ident("SELECT"), op("*"), ident("FROM")};
        Seq inner = cte;
        append(inner, outer);
        out.push_back(group(inner));
    } else {
        out = cte;
        append(out, outer);
    }
    return out;
}

// Oracle column types that SQLite would give the wrong affinity.
Seq Translator::createTable(const Seq& s) {
    Seq out;
    std::size_t i = 0;
    // CREATE GLOBAL TEMPORARY TABLE -> CREATE TEMP TABLE
    if (s.size() > 3 && s[1].is("GLOBAL") && s[2].is("TEMPORARY")) {
        out = words({"CREATE", "TEMP"});
        i = 3;
    }
    for (; i < s.size(); ++i) {
        const Node& n = s[i];
        if (n.is("AS") && i + 1 < s.size() && (s[i + 1].is("SELECT") || s[i + 1].is("WITH"))) {
            out.push_back(n);
            append(out, query(slice(s, i + 1, s.size())));
            return out;
        }
        if (n.is("ON") && i + 1 < s.size() && s[i + 1].is("COMMIT"))
            break;  // ON COMMIT ... ROWS of a temporary table
        if (n.group) {
            Seq cols;
            const Seq& kids = n.kids;
            for (std::size_t k = 0; k < kids.size(); ++k) {
                const Node& x = kids[k];
                if (x.is("LONG")) {
                    if (k + 1 < kids.size() && kids[k + 1].is("RAW")) {
                        cols.push_back(ident("BLOB"));
                        ++k;
                    } else {
                        append(cols, words({"LONG", "VARCHAR"}));
                    }
                    continue;
                }
                if (x.is("DEFAULT") && k + 1 < kids.size() && kids[k + 1].is("SYSDATE")) {
                    cols.push_back(x);
                    cols.push_back(group(call("DATETIME", {{str("now")}, {str("localtime")}})));
                    ++k;
                    continue;
                }
                append(cols, atom(kids, k));
            }
            out.push_back(group(cols));
            continue;
        }
        out.push_back(n);
    }
    return out;
}

Seq Translator::statement(const Seq& s) {
    const Node& first = s[0];
    if (first.is("SELECT") || first.is("WITH") || (first.group && startsQuery(first.kids)))
        return query(s);
    if (first.is("DELETE")) {
        Seq out{first};
        std::size_t i = 1;
        out.push_back(ident("FROM"));
        if (i < s.size() && s[i].is("FROM"))
            ++i;
        append(out, dmlTarget(s, i));
        append(out, expr(slice(s, i, s.size())));
        return out;
    }
    if (first.is("UPDATE")) {
        Seq out{first};
        std::size_t i = 1;
        append(out, dmlTarget(s, i));
        // SQLite takes no qualifier on an assigned column: `SET t.c = 1`.
        Seq rest;
        bool inSet = false;
        bool atTarget = false;
        for (std::size_t k = i; k < s.size(); ++k) {
            if (s[k].is("SET") || (inSet && s[k].isOp(",")))
                atTarget = true;
            else if (s[k].is("WHERE"))
                inSet = atTarget = false;
            else if (atTarget && s[k].isName() && k + 2 < s.size() && s[k + 1].isOp(".") &&
                     s[k + 2].isName()) {
                k += 1;
                continue;
            } else
                atTarget = false;
            if (s[k].is("SET"))
                inSet = true;
            rest.push_back(s[k]);
        }
        append(out, expr(rest));
        return out;
    }
    if (first.is("INSERT")) {
        Seq out;
        std::size_t i = 0;
        while (i < s.size() && !s[i].is("SELECT") && !s[i].is("WITH") && !s[i].is("VALUES")) {
            if (s[i].group && startsQuery(s[i].kids))
                break;
            out.push_back(s[i]);
            ++i;
        }
        if (i < s.size() && s[i].is("VALUES"))
            append(out, expr(slice(s, i, s.size())));
        else if (i < s.size())
            append(out, query(slice(s, i, s.size())));
        return out;
    }
    if (first.is("CREATE") && s.size() > 1 &&
        (s[1].is("TABLE") || (s.size() > 3 && s[1].is("GLOBAL") && s[2].is("TEMPORARY"))))
        return createTable(s);
    if (first.is("CREATE") && s.size() > 2 && s[1].is("VIEW")) {
        Seq out;
        std::size_t i = 0;
        while (i < s.size() && !s[i].is("AS"))
            out.push_back(s[i++]);
        if (i < s.size()) {
            out.push_back(s[i]);
            append(out, query(slice(s, i + 1, s.size())));
        }
        return out;
    }
    if (first.is("DROP") && s.size() > 1 && s[1].is("TABLE")) {
        Seq out = s;
        while (!out.empty() &&
               (out.back().is("PURGE") || out.back().is("CONSTRAINTS") || out.back().is("CASCADE")))
            out.pop_back();
        return out;
    }
    return expr(s);
}

// `table [alias]` of DELETE and UPDATE; Oracle's bare alias becomes AS alias.
Seq Translator::dmlTarget(const Seq& s, std::size_t& i) {
    Seq out;
    while (i < s.size() && s[i].isName()) {
        out.push_back(s[i++]);
        if (i + 1 < s.size() && s[i].isOp(".") && s[i + 1].isName())
            out.push_back(s[i++]);
        else
            break;
    }
    if (i < s.size() && s[i].isName() && !isReserved(s[i])) {
        out.push_back(ident("AS"));
        out.push_back(s[i++]);
    }
    return out;
}

// Parentheses and CASE nest the translator's recursion: deeper than this,
// the statement is refused before the stack could run out. SQLite's own
// parser takes fewer than a hundred levels of parentheses.
constexpr std::size_t kMaxNesting = 255;

void checkNesting(const std::vector<Token>& toks) {
    std::vector<bool> open;  // true for CASE, false for a parenthesis
    for (const Token& t : toks) {
        if (t.isOp("(") || t.is("CASE")) {
            open.push_back(t.is("CASE"));
            if (open.size() > kMaxNesting)
                fail("ORA-03095: expression level is too deep, maximum " +
                     std::to_string(kMaxNesting));
        } else if (t.isOp(")")) {
            while (!open.empty() && open.back())
                open.pop_back();  // a CASE left open inside the parentheses
            if (!open.empty())
                open.pop_back();
        } else if (t.is("END") && !open.empty() && open.back()) {
            open.pop_back();
        }
    }
}

}  // namespace

bool isDictionaryView(const std::string& upperName) {
    static const std::array<const char*, 9> names = {
        "USER_TABLES",      "USER_TAB_COLUMNS", "USER_INDEXES",
        "USER_IND_COLUMNS", "USER_CONSTRAINTS", "USER_CONS_COLUMNS",
        "USER_VIEWS",       "USER_OBJECTS",     "TABS"};
    for (const char* n : names)
        if (upperName == n)
            return true;
    return false;
}

Translation translateStatement(const std::string& oracleSql, sqlite3* schema,
                               const std::string& owner) {
    std::vector<Token> toks = tokenize(oracleSql);
    // The user's own schema is SQLite's main database: OWNER.TABLE is TABLE.
    // The kept tokens move down in one pass.
    if (!owner.empty()) {
        std::size_t kept = 0;
        for (std::size_t i = 0; i < toks.size(); ++i) {
            if (i + 2 < toks.size() && toks[i].kind == Token::Kind::Ident &&
                toks[i].text.size() == owner.size() && upperAscii(toks[i].text) == owner &&
                toks[i + 1].isOp(".") &&
                (toks[i + 2].kind == Token::Kind::Ident ||
                 toks[i + 2].kind == Token::Kind::QuotedIdent) &&
                (kept == 0 || !toks[kept - 1].isOp("."))) {
                ++i;  // the owner and its dot
                continue;
            }
            if (kept != i)
                toks[kept] = std::move(toks[i]);
            ++kept;
        }
        toks.resize(kept);
    }
    checkNesting(toks);
    // One statement: a ";" may only end the text. (A trigger body holds
    // its own statements between BEGIN and END.)
    const bool trigger = toks.size() > 2 && toks[0].is("CREATE") &&
                         (toks[1].is("TRIGGER") ||
                          (toks.size() > 3 && (toks[1].is("TEMP") || toks[1].is("TEMPORARY")) &&
                           toks[2].is("TRIGGER")));
    int blockDepth = 0;
    for (std::size_t i = 0; i < toks.size(); ++i) {
        if (trigger && (toks[i].is("BEGIN") || toks[i].is("CASE")))
            ++blockDepth;
        if (trigger && toks[i].is("END") && blockDepth > 0)
            --blockDepth;
        if (toks[i].isOp(";") && blockDepth == 0) {
            if (i + 1 != toks.size())
                fail("only one statement may be run at a time: text follows the \";\" at offset " +
                     std::to_string(toks[i].begin) + "; nothing was run");
            toks.pop_back();
        }
    }
    if (toks.empty())
        fail("empty statement: nothing to run");

    Translation result;
    for (const Token& t : toks)
        if (t.kind == Token::Kind::Ident && isDictionaryView(upperAscii(t.text)))
            result.usesDictionary = true;

    if (toks[0].is("EXPLAIN") && toks.size() > 1 && toks[1].is("PLAN")) {
        std::size_t i = 2;
        if (i < toks.size() && toks[i].is("SET")) {
            if (i + 3 >= toks.size() || !toks[i + 1].is("STATEMENT_ID") || !toks[i + 2].isOp("=") ||
                toks[i + 3].kind != Token::Kind::String)
                fail("EXPLAIN PLAN: expected SET STATEMENT_ID = '<text>'");
            result.statementId = toks[i + 3].text;
            i += 4;
        }
        if (i < toks.size() && toks[i].is("INTO")) {
            ++i;
            if (i >= toks.size() ||
                (toks[i].kind != Token::Kind::Ident && toks[i].kind != Token::Kind::QuotedIdent))
                fail("EXPLAIN PLAN: expected a table name after INTO");
            result.planTable = toks[i].name();
            ++i;
            if (i + 1 < toks.size() && toks[i].isOp(".")) {
                result.planTable = toks[i + 1].name();  // the owner is the user's own schema
                i += 2;
            }
        }
        if (i >= toks.size() || !toks[i].is("FOR"))
            fail("EXPLAIN PLAN: missing keyword FOR");
        ++i;
        if (i >= toks.size())
            fail("EXPLAIN PLAN: no statement to explain after FOR");
        if (toks[i].is("EXPLAIN"))
            fail("EXPLAIN PLAN cannot explain this statement");
        result.innerOracleSql = oracleSql.substr(toks[i].begin, toks.back().end - toks[i].begin);
        const Translation inner = translateStatement(result.innerOracleSql, schema, owner);
        if (inner.kind != Translation::Kind::Sql)
            fail("EXPLAIN PLAN cannot explain this statement");
        result.kind = Translation::Kind::ExplainPlan;
        result.sql = inner.sql;
        result.usesDictionary = inner.usesDictionary;
        return result;
    }
    if ((toks[0].is("COMMIT") || toks[0].is("ROLLBACK")) &&
        (toks.size() == 1 || (toks.size() == 2 && toks[1].is("WORK")))) {
        result.kind = Translation::Kind::Commit;
        result.sql = upperAscii(toks[0].text);
        return result;
    }

    // Translation is linear in the statement; the limits only stop what
    // would grow without end.
    const std::size_t workLimit = 64 * toks.size() + 100000;
    const std::size_t lengthLimit = 64 * oracleSql.size() + (1u << 20);
    std::size_t i = 0;
    const Seq tree = buildTree(toks, i, false);
    Translator t(schema, result, owner, workLimit);
    result.sql = emitted(t.statement(tree), lengthLimit);
    return result;
}

}  // namespace localengine
