#include "PlanPredicates.h"

#include "AstWalk.h"
#include "Catalog.h"
#include "RownumLimit.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <set>

namespace localengine::dialect {

namespace {

using Predicate = QueryBlockFacts::Predicate;

// ---------------------------------------------------------------- walking

// Every query block of a query, its WITH queries, inline views and
// subqueries included, in no particular order.
void forEachBlockOf(const Query& q, FunctionRef<void(const SelectBlock&)> visit);

void forEachSubqueryOf(const Expr& e, FunctionRef<void(const Query&)> visit) {
    switch (e.kind) {
        case ExprKind::InSubquery:
            visit(*e.as<InSubquery>().query);
            break;
        case ExprKind::Exists:
            visit(*e.as<Exists>().query);
            break;
        case ExprKind::ScalarSubquery:
            visit(*e.as<ScalarSubquery>().query);
            break;
        case ExprKind::QuantifiedComparison:
            if (e.as<QuantifiedComparison>().subquery)
                visit(*e.as<QuantifiedComparison>().subquery);
            break;
        default:
            break;
    }
    forEachChild(e, [&](const Expr& child) { forEachSubqueryOf(child, visit); });
}

// The first block of a query in text order (its leftmost operand).
const SelectBlock* firstBlockOf(const Query& q) {
    const QueryTerm* t = q.body.get();
    while (t) {
        if (t->kind == QueryTermKind::Select)
            return t->select.get();
        if (t->kind == QueryTermKind::SetOperation)
            t = t->left.get();
        else
            t = t->nested ? t->nested->body.get() : nullptr;
    }
    return nullptr;
}

// The expressions written directly in a block (not in its subqueries).
void forEachExprOf(const SelectBlock& b, FunctionRef<void(const Expr&)> visit) {
    for (const SelectItem& item : b.items)
        if (item.expr)
            visit(*item.expr);
    auto from = [&](const TableRef& ref, auto& self) -> void {
        if (ref.kind == TableRefKind::Join) {
            const auto& join = ref.as<Join>();
            self(*join.left, self);
            self(*join.right, self);
            if (join.on)
                visit(*join.on);
        } else if (ref.kind == TableRefKind::Collection && ref.as<CollectionTable>().collection) {
            visit(*ref.as<CollectionTable>().collection);
        }
    };
    for (const TableRefPtr& ref : b.from)
        from(*ref, from);
    if (b.where)
        visit(*b.where);
    if (b.hierarchy) {
        if (b.hierarchy->startWith)
            visit(*b.hierarchy->startWith);
        if (b.hierarchy->connectBy)
            visit(*b.hierarchy->connectBy);
    }
    auto group = [&](const GroupingElement& g, auto& self) -> void {
        if (g.expr)
            visit(*g.expr);
        for (const GroupingElement& c : g.children)
            self(c, self);
    };
    for (const GroupingElement& g : b.groupBy)
        group(g, group);
    if (b.having)
        visit(*b.having);
}

void forEachBlockOfTerm(const QueryTerm& t, FunctionRef<void(const SelectBlock&)> visit) {
    switch (t.kind) {
        case QueryTermKind::Select: {
            const SelectBlock& b = *t.select;
            visit(b);
            auto from = [&](const TableRef& ref, auto& self) -> void {
                if (ref.kind == TableRefKind::Join) {
                    self(*ref.as<Join>().left, self);
                    self(*ref.as<Join>().right, self);
                } else if (ref.kind == TableRefKind::Derived) {
                    forEachBlockOf(*ref.as<DerivedTable>().query, visit);
                }
            };
            for (const TableRefPtr& ref : b.from)
                from(*ref, from);
            auto inExpr = [&](const Expr& e) {
                forEachSubqueryOf(e, [&](const Query& q) { forEachBlockOf(q, visit); });
            };
            forEachExprOf(b, inExpr);
            break;
        }
        case QueryTermKind::SetOperation:
            forEachBlockOfTerm(*t.left, visit);
            forEachBlockOfTerm(*t.right, visit);
            break;
        case QueryTermKind::Nested:
            forEachBlockOf(*t.nested, visit);
            break;
    }
}

void forEachBlockOf(const Query& q, FunctionRef<void(const SelectBlock&)> visit) {
    for (const CommonTable& c : q.with)
        if (c.query)
            forEachBlockOf(*c.query, visit);
    if (q.body)
        forEachBlockOfTerm(*q.body, visit);
}

// The named tables of a block's FROM, joins taken apart, in text order.
void namedTables(const TableRef& ref, std::vector<const NamedTable*>& out) {
    if (ref.kind == TableRefKind::Join) {
        namedTables(*ref.as<Join>().left, out);
        namedTables(*ref.as<Join>().right, out);
    } else if (ref.kind == TableRefKind::Named) {
        out.push_back(&ref.as<NamedTable>());
    }
}

// The sources of a block's FROM that give it columns (named tables and
// inline views), joins taken apart.
void sources(const TableRef& ref, std::vector<const TableRef*>& out) {
    if (ref.kind == TableRefKind::Join) {
        sources(*ref.as<Join>().left, out);
        sources(*ref.as<Join>().right, out);
    } else {
        out.push_back(&ref);
    }
}

const Identifier* exposedName(const TableRef& ref) {
    if (ref.alias)
        return &*ref.alias;
    if (ref.kind == TableRefKind::Named)
        return &ref.as<NamedTable>().exposedName();
    return nullptr;
}

// The AND-ed terms of a condition.
void conjuncts(const Expr& e, std::vector<const Expr*>& out) {
    if (e.kind == ExprKind::Binary && e.as<Binary>().op == BinaryOp::And) {
        conjuncts(*e.as<Binary>().left, out);
        conjuncts(*e.as<Binary>().right, out);
        return;
    }
    out.push_back(&e);
}

// ---------------------------------------------------------------- printing

std::string quoted(const std::string& name) {
    std::string out = "\"";
    for (char c : name) {
        out += c;
        if (c == '"')
            out += '"';
    }
    return out + "\"";
}

std::string textLiteral(const std::string& text) {
    std::string out = "'";
    for (char c : text) {
        out += c;
        if (c == '\'')
            out += '\'';
    }
    return out + "'";
}

// A number as Oracle prints a constant: no trailing zeros after the point,
// no zero before it (.5).
std::string numberLiteral(std::string text) {
    if (text.find_first_of("eE") != std::string::npos)
        return text;
    const std::size_t point = text.find('.');
    if (point != std::string::npos) {
        while (!text.empty() && text.back() == '0')
            text.pop_back();
        if (!text.empty() && text.back() == '.')
            text.pop_back();
    }
    if (text.size() > 1 && text[0] == '0' && text[1] == '.')
        text.erase(0, 1);
    return text.empty() ? std::string("0") : text;
}

bool isNumberType(OracleType t) {
    return t == OracleType::Number;
}

bool isTextType(OracleType t) {
    return t == OracleType::Varchar2 || t == OracleType::Char || t == OracleType::Clob;
}

const char* compareText(CompareOp op) {
    switch (op) {
        case CompareOp::Equal:
            return "=";
        case CompareOp::NotEqual:
            return "<>";
        case CompareOp::Less:
            return "<";
        case CompareOp::LessEqual:
            return "<=";
        case CompareOp::Greater:
            return ">";
        case CompareOp::GreaterEqual:
            return ">=";
    }
    return "=";
}

class Printer {
public:
    // `block`: the block whose conditions are printed; `qualify`: columns
    // carry their table's alias.
    explicit Printer(bool qualify) : m_qualify(qualify) {}

    // Columns of an enclosing block are bind values (:B1 ...): the
    // conditions of a subquery that runs once per row of that block.
    void bindOuterColumns() { m_bindOuter = true; }

    std::string condition(const Expr& e) { return expr(e, 0); }
    std::string orderBy(const std::vector<OrderItem>& items) { return orderItems(items); }
    std::string value(const Expr& e) { return expr(e, 5); }

private:
    // Precedence: 1 OR, 2 AND, 3 NOT, 4 comparisons, 5 + - ||, 6 * /, 7 unary.
    std::string expr(const Expr& e, int context) {
        int own = 8;
        std::string text = plain(e, own);
        return own < context ? "(" + text + ")" : text;
    }

    std::string column(const ColumnRef& c) {
        const TableRef* source = c.binding.source;
        if (source && c.binding.outerLevels > 0 &&
            (m_subqueryDepth > 0 ? c.binding.outerLevels >= m_subqueryDepth : m_bindOuter)) {
            // a column of the enclosing block, read inside a subquery: a
            // bind value of the subquery's run
            auto found = m_binds.find(&c);
            if (found == m_binds.end())
                found = m_binds.emplace(&c, static_cast<int>(m_binds.size()) + 1).first;
            return ":B" + std::to_string(found->second);
        }
        std::string name = quoted(c.column().name);
        if (c.parts.size() == 1 && c.column().name == "ROWID" && !c.column().quoted)
            name = "ROWID";
        const bool qualify = m_subqueryDepth > 0 ? m_subqueryQualify : m_qualify;
        if (qualify && source)
            if (const Identifier* alias = exposedName(*source))
                name = quoted(alias->name) + "." + name;
        return name + (c.outerJoinMark ? "(+)" : "");
    }

    std::string literal(const Literal& l) {
        switch (l.form) {
            case Literal::Form::Number:
                return numberLiteral(l.text);
            case Literal::Form::Text:
                return (l.national ? "N" : "") + textLiteral(l.text);
            case Literal::Form::Null:
                return "NULL";
            case Literal::Form::Boolean:
                return l.text;
            case Literal::Form::Date: {
                std::string value = l.text;
                if (value.size() == 10)
                    value += " 00:00:00";
                return "TO_DATE(' " + value + "', 'syyyy-mm-dd hh24:mi:ss')";
            }
            case Literal::Form::Timestamp:
                return "TIMESTAMP' " + l.text + "'";
            case Literal::Form::Interval:
                return "INTERVAL'" + l.text + "' " + l.intervalQualifier;
        }
        return l.text;
    }

    // One side of a comparison, with the conversion Oracle adds when the
    // other side's type differs.
    std::string operand(const Expr& e, const Expr& other) {
        if (e.kind == ExprKind::BindParameter && isNumberType(other.type))
            return "TO_NUMBER(" + e.as<BindParameter>().text + ")";
        if (e.kind == ExprKind::ColumnRef && isTextType(e.type) &&
            other.kind == ExprKind::Literal && other.as<Literal>().form == Literal::Form::Number)
            return "TO_NUMBER(" + column(e.as<ColumnRef>()) + ")";
        if (e.kind == ExprKind::Literal && e.as<Literal>().form == Literal::Form::Text &&
            other.kind == ExprKind::ColumnRef && isNumberType(other.type)) {
            const std::string& text = e.as<Literal>().text;
            char* end = nullptr;
            std::strtod(text.c_str(), &end);
            if (!text.empty() && end && *end == '\0')
                return numberLiteral(text);
        }
        return expr(e, 5);
    }

    std::string comparison(const Expr& left, CompareOp op, const Expr& right) {
        // PRIOR on the right, as Oracle writes a hierarchy's condition
        if (op == CompareOp::Equal && left.kind == ExprKind::Unary &&
            left.as<Unary>().op == UnaryOp::Prior)
            return operand(right, left) + "=" + operand(left, right);
        return operand(left, right) + compareText(op) + operand(right, left);
    }

    std::string list(const std::vector<ExprPtr>& items, const char* separator = ",") {
        std::string out;
        for (std::size_t i = 0; i < items.size(); ++i)
            out += (i ? separator : "") + expr(*items[i], 0);
        return out;
    }

    // Sort keys as Oracle prints them inside OVER (...): a descending key
    // as INTERNAL_FUNCTION(key) DESC, followed by a blank ("DESC ,next",
    // "DESC )").
    std::string orderItems(const std::vector<OrderItem>& items) {
        std::string out;
        for (std::size_t i = 0; i < items.size(); ++i) {
            const std::string key = expr(*items[i].expr, 0);
            out += i ? "," : "";
            out += items[i].descending ? "INTERNAL_FUNCTION(" + key + ") DESC" : key;
            if (items[i].nulls == NullsOrder::First)
                out += " NULLS FIRST";
            else if (items[i].nulls == NullsOrder::Last)
                out += " NULLS LAST";
            if (items[i].descending)
                out += " ";
        }
        return out;
    }

    std::string function(const FunctionCall& f) {
        std::string name;
        for (std::size_t i = 0; i < f.name.size(); ++i)
            name += (i ? "." : "") + (f.name[i].quoted ? quoted(f.name[i].name) : f.name[i].name);
        std::string out = name + "(";
        if (f.distinct)
            out += "DISTINCT ";
        out += f.star ? std::string("*") : list(f.args);
        out += ")";
        if (f.over) {
            out += " OVER (";
            if (!f.over->partitionBy.empty())
                out += " PARTITION BY " + list(f.over->partitionBy);
            if (!f.over->orderBy.empty())
                out += " ORDER BY " + orderItems(f.over->orderBy);
            out += ")";
        }
        return out;
    }

    // A subquery as Oracle prints it in a predicate: its FROM and WHERE,
    // the enclosing block's columns as binds.
    std::string subquery(const Query& q, const std::string& head, const Expr* matched) {
        const SelectBlock* b = q.singleBlock();
        if (!b)
            return head + "(...)";
        std::vector<const TableRef*> from;
        for (const TableRefPtr& ref : b->from)
            sources(*ref, from);
        const bool savedQualify = m_subqueryQualify;
        ++m_subqueryDepth;
        m_subqueryQualify = from.size() > 1;
        std::string out = head + "(SELECT ";
        if (head.find("EXISTS") != std::string::npos) {
            out += "0";
        } else {
            for (std::size_t i = 0; i < b->items.size(); ++i)
                out += (i ? "," : "") + (b->items[i].expr ? expr(*b->items[i].expr, 0) : "*");
        }
        out += " FROM ";
        for (std::size_t i = 0; i < from.size(); ++i) {
            const TableRef& ref = *from[i];
            out += i ? "," : "";
            if (ref.kind == TableRefKind::Named) {
                const auto& named = ref.as<NamedTable>();
                out += quoted(named.name.back().name) + " " + quoted(named.exposedName().name);
            } else {
                out += "(...)";
                if (ref.alias)
                    out += " " + quoted(ref.alias->name);
            }
        }
        std::string where = b->where ? expr(*b->where, 0) : std::string();
        if (matched && !b->items.empty() && b->items[0].expr) {
            // x IN (SELECT c ...): Oracle tests c = :B1 in the subquery,
            // x's value bound for each run
            std::string outer;
            if (matched->kind == ExprKind::ColumnRef) {
                auto found = m_binds.find(&matched->as<ColumnRef>());
                if (found == m_binds.end())
                    found = m_binds
                                .emplace(&matched->as<ColumnRef>(),
                                         static_cast<int>(m_binds.size()) + 1)
                                .first;
                outer = ":B" + std::to_string(found->second);
            } else {
                --m_subqueryDepth;
                outer = expr(*matched, 5);
                ++m_subqueryDepth;
            }
            const std::string inner = expr(*b->items[0].expr, 5);
            const std::string test = inner + "=" + outer;
            where = where.empty() ? test : where + " AND " + test;
        }
        if (!where.empty())
            out += " WHERE " + where;
        --m_subqueryDepth;
        m_subqueryQualify = savedQualify;
        return out + ")";
    }

    std::string plain(const Expr& e, int& own) {
        switch (e.kind) {
            case ExprKind::Literal:
                return literal(e.as<Literal>());
            case ExprKind::ColumnRef:
                return column(e.as<ColumnRef>());
            case ExprKind::Star:
                return "*";
            case ExprKind::BindParameter:
                return e.as<BindParameter>().text;
            case ExprKind::PseudoColumn: {
                static const char* const kNames[] = {"ROWNUM",
                                                     "LEVEL",
                                                     "ROWID",
                                                     "SYSDATE",
                                                     "SYSTIMESTAMP",
                                                     "CURRENT_DATE",
                                                     "CURRENT_TIMESTAMP",
                                                     "LOCALTIMESTAMP",
                                                     "USER",
                                                     "UID",
                                                     "CONNECT_BY_ISLEAF",
                                                     "CONNECT_BY_ISCYCLE"};
                return kNames[static_cast<int>(e.as<PseudoColumn>().which)];
            }
            case ExprKind::Unary:
                return unary(e.as<Unary>(), own);
            case ExprKind::Binary:
                return binary(e.as<Binary>(), own);
            case ExprKind::Comparison:
            case ExprKind::QuantifiedComparison:
            case ExprKind::IsNull:
            case ExprKind::Like:
            case ExprKind::Between:
            case ExprKind::InList:
            case ExprKind::InSubquery:
            case ExprKind::Exists:
                return condition(e, own);
            case ExprKind::ScalarSubquery:
                return subquery(*e.as<ScalarSubquery>().query, " ", nullptr);
            case ExprKind::Case:
                return caseText(e.as<Case>());
            case ExprKind::FunctionCall:
                return function(e.as<FunctionCall>());
            case ExprKind::Cast:
            case ExprKind::Extract:
            case ExprKind::Trim:
                return conversion(e);
            case ExprKind::SequenceValue: {
                const auto& s = e.as<SequenceValue>();
                return quoted(s.sequence.back().name) + (s.next ? ".NEXTVAL" : ".CURRVAL");
            }
            case ExprKind::Tuple:
                return "(" + list(e.as<Tuple>().items) + ")";
        }
        return {};
    }

    std::string unary(const Unary& u, int& own) {
        own = 7;
        switch (u.op) {
            case UnaryOp::Negate:
                return "-" + expr(*u.operand, 7);
            case UnaryOp::Plus:
                return expr(*u.operand, 7);
            case UnaryOp::Not:
                own = 3;
                return "NOT(" + expr(*u.operand, 0) + ")";
            case UnaryOp::Prior:
                return "PRIOR " + expr(*u.operand, 7);
            case UnaryOp::ConnectByRoot:
                return "CONNECT_BY_ROOT " + expr(*u.operand, 7);
        }
        return expr(*u.operand, 7);
    }

    std::string binary(const Binary& b, int& own) {
        switch (b.op) {
            case BinaryOp::Or:
                own = 1;
                return expr(*b.left, 1) + " OR " + expr(*b.right, 1);
            case BinaryOp::And:
                own = 2;
                return expr(*b.left, 2) + " AND " + expr(*b.right, 2);
            case BinaryOp::Add:
            case BinaryOp::Subtract:
            case BinaryOp::Concatenate:
                own = 5;
                return expr(*b.left, 5) +
                       (b.op == BinaryOp::Add        ? "+"
                        : b.op == BinaryOp::Subtract ? "-"
                                                     : "||") +
                       expr(*b.right, 6);
            case BinaryOp::Multiply:
            case BinaryOp::Divide:
                own = 6;
                return expr(*b.left, 6) + (b.op == BinaryOp::Multiply ? "*" : "/") +
                       expr(*b.right, 7);
        }
        return {};
    }

    // The conditions: comparisons, IS NULL, LIKE, BETWEEN, IN and EXISTS.
    std::string condition(const Expr& e, int& own) {
        switch (e.kind) {
            case ExprKind::Comparison: {
                const auto& c = e.as<Comparison>();
                own = 4;
                return comparison(*c.left, c.op, *c.right);
            }
            case ExprKind::QuantifiedComparison: {
                const auto& q = e.as<QuantifiedComparison>();
                own = 4;
                const std::string head =
                    expr(*q.left, 5) + compareText(q.op) + (q.all ? " ALL " : " ANY ");
                if (q.subquery)
                    return subquery(*q.subquery, head, nullptr);
                return head + "(" + list(q.list) + ")";
            }
            case ExprKind::IsNull: {
                const auto& n = e.as<IsNull>();
                own = 4;
                return expr(*n.operand, 5) + (n.negated ? " IS NOT NULL" : " IS NULL");
            }
            case ExprKind::Like: {
                const auto& l = e.as<Like>();
                own = 4;
                std::string out = expr(*l.operand, 5) + (l.negated ? " NOT " : " ") + l.variant +
                                  " " + expr(*l.pattern, 5);
                if (l.escape)
                    out += " ESCAPE " + expr(*l.escape, 5);
                return out;
            }
            case ExprKind::Between: {
                // Oracle's two comparisons (NOT BETWEEN: either fails)
                const auto& b = e.as<Between>();
                if (b.negated) {
                    own = 1;
                    return comparison(*b.operand, CompareOp::Less, *b.low) + " OR " +
                           comparison(*b.operand, CompareOp::Greater, *b.high);
                }
                own = 2;
                return comparison(*b.operand, CompareOp::LessEqual, *b.high) + " AND " +
                       comparison(*b.operand, CompareOp::GreaterEqual, *b.low);
            }
            case ExprKind::InList: {
                // an IN list as Oracle expands it: = ... OR = ...
                const auto& in = e.as<InList>();
                const CompareOp op = in.negated ? CompareOp::NotEqual : CompareOp::Equal;
                std::string out;
                for (std::size_t i = 0; i < in.items.size(); ++i) {
                    if (i)
                        out += in.negated ? " AND " : " OR ";
                    out += comparison(*in.operand, op, *in.items[i]);
                }
                own = in.items.size() > 1 ? (in.negated ? 2 : 1) : 4;
                return out;
            }
            case ExprKind::InSubquery: {
                const auto& in = e.as<InSubquery>();
                own = 4;
                return subquery(*in.query, in.negated ? " NOT EXISTS " : " EXISTS ",
                                in.operand.get());
            }
            case ExprKind::Exists:
                own = 4;
                return subquery(*e.as<Exists>().query, " EXISTS ", nullptr);
            default:
                return {};
        }
    }

    std::string caseText(const Case& c) {
        std::string out = "CASE ";
        if (c.operand)
            out += expr(*c.operand, 0) + " ";
        for (const WhenClause& w : c.whens)
            out += "WHEN " + expr(*w.condition, 0) + " THEN " + expr(*w.result, 0) + " ";
        if (c.otherwise)
            out += "ELSE " + expr(*c.otherwise, 0) + " ";
        return out + "END";
    }

    // CAST, EXTRACT and TRIM.
    std::string conversion(const Expr& e) {
        switch (e.kind) {
            case ExprKind::Cast: {
                const auto& c = e.as<Cast>();
                std::string type = c.target.spelled();
                if (!c.target.arguments.empty()) {
                    type += "(";
                    for (std::size_t i = 0; i < c.target.arguments.size(); ++i)
                        type += (i ? "," : "") + c.target.arguments[i];
                    type += ")";
                }
                return "CAST(" + expr(*c.operand, 0) + " AS " + type + ")";
            }
            case ExprKind::Extract: {
                const auto& x = e.as<Extract>();
                return "EXTRACT(" + x.field + " FROM " + expr(*x.source, 0) + ")";
            }
            case ExprKind::Trim: {
                const auto& t = e.as<Trim>();
                static const char* const kSides[] = {"BOTH", "LEADING", "TRAILING"};
                std::string out = "TRIM(";
                if (t.sideWritten || t.character) {
                    out += kSides[static_cast<int>(t.side)];
                    out += t.character ? " " + expr(*t.character, 0) : std::string();
                    out += " FROM ";
                }
                return out + expr(*t.source, 0) + ")";
            }
            default:
                return {};
        }
    }

    bool m_qualify;
    int m_subqueryDepth = 0;
    bool m_subqueryQualify = false;
    std::map<const ColumnRef*, int> m_binds;
    bool m_bindOuter = false;
};

// ------------------------------------------------------------- describing

// The column references of an expression, its subqueries' included (each
// subquery entered where it is held, so that a deep expression is walked
// once).
void columnRefs(const Expr& e, std::vector<const ColumnRef*>& out) {
    if (e.kind == ExprKind::ColumnRef)
        out.push_back(&e.as<ColumnRef>());
    forEachChild(e, [&](const Expr& child) { columnRefs(child, out); });
    forEachSubquery(const_cast<Expr&>(e), [&](const Query& q) {
        forEachBlockOf(q, [&](const SelectBlock& b) {
            forEachExprOf(b, [&](const Expr& inner) { columnRefs(inner, out); });
        });
    });
}

bool holdsSubquery(const Expr& e) {
    bool found = false;
    forEachSubqueryOf(e, [&](const Query&) { found = true; });
    return found;
}

// The literal numbers of an expression (a signed number literal).
std::optional<double> numberOf(const Expr& e) {
    if (e.kind == ExprKind::Literal && e.as<Literal>().form == Literal::Form::Number)
        return std::strtod(e.as<Literal>().text.c_str(), nullptr);
    if (e.kind == ExprKind::Unary && e.as<Unary>().op == UnaryOp::Negate)
        if (auto n = numberOf(*e.as<Unary>().operand))
            return -*n;
    return std::nullopt;
}

// A number computed from literals, as Oracle prints it: whole numbers
// without a fraction.
std::string formatted(double value) {
    if (value == std::floor(value) && std::fabs(value) < 1e15)
        return std::to_string(static_cast<long long>(value));
    char text[32];
    std::snprintf(text, sizeof text, "%.15g", value);
    return text;
}

// The column references written directly in an expression (not in its
// subqueries).
void directColumnRefs(const Expr& e, std::vector<const ColumnRef*>& out) {
    if (e.kind == ExprKind::ColumnRef)
        out.push_back(&e.as<ColumnRef>());
    forEachChild(e, [&](const Expr& child) { directColumnRefs(child, out); });
}

bool correlated(const Expr& e) {
    std::vector<const ColumnRef*> refs;
    directColumnRefs(e, refs);
    for (const ColumnRef* c : refs)
        if (c->binding.outerLevels > 0)
            return true;
    return false;
}

bool isRanking(const Expr& e) {
    if (e.kind != ExprKind::FunctionCall || !e.as<FunctionCall>().over)
        return false;
    const std::string& name = e.as<FunctionCall>().functionName();
    return name == "RANK" || name == "DENSE_RANK" || name == "ROW_NUMBER";
}

class Describer {
public:
    Describer(const SelectBlock& block, const Query* owner, const TableInstances& instances,
              QueryBlockFacts& facts)
        : m_block(&block), m_owner(owner), m_facts(facts) {
        std::vector<const TableRef*> all;
        for (const TableRefPtr& ref : block.from)
            sources(*ref, all);
        addTables(all, instances);
    }

    // A DML statement's own block: its target, its WHERE, and the
    // expressions it reads besides (the values it assigns).
    Describer(const NamedTable& target, const Expr* where, std::vector<const Expr*> reads,
              const TableInstances& instances, QueryBlockFacts& facts)
        : m_where(where), m_reads(std::move(reads)), m_facts(facts) {
        addTables({&target}, instances);
    }

    void run() {
        readColumns();
        std::vector<const Expr*> where;
        if (const Expr* w = m_block ? m_block->where.get() : m_where)
            conjuncts(*w, where);
        if (!m_block) {
            for (const Expr* c : where)
                add(*c, Predicate::Clause::Where);
            return;
        }
        const SelectBlock& block = *m_block;
        const RownumLimit rownum = findRownumLimit(block);
        std::set<const Expr*> rest(rownum.rest.begin(), rownum.rest.end());
        for (const Expr* c : where)
            add(*c, rownum.found() && !rest.count(c) ? Predicate::Clause::Rownum
                                                     : Predicate::Clause::Where);
        std::vector<const Expr*> having;
        if (block.having)
            conjuncts(*block.having, having);
        for (const Expr* c : having)
            add(*c, Predicate::Clause::Having);
        fetch();
        rankings();
        std::function<void(const TableRef&)> joins = [&](const TableRef& ref) {
            if (ref.kind != TableRefKind::Join)
                return;
            joins(*ref.as<Join>().left);
            joins(*ref.as<Join>().right);
            std::vector<const Expr*> on;
            if (ref.as<Join>().on)
                conjuncts(*ref.as<Join>().on, on);
            for (const Expr* c : on)
                add(*c, Predicate::Clause::Where);
        };
        for (const TableRefPtr& ref : block.from)
            joins(*ref);
        if (block.hierarchy) {
            std::vector<const Expr*> start, connect;
            if (block.hierarchy->startWith)
                conjuncts(*block.hierarchy->startWith, start);
            if (block.hierarchy->connectBy)
                conjuncts(*block.hierarchy->connectBy, connect);
            for (const Expr* c : start)
                add(*c, Predicate::Clause::StartWith);
            for (const Expr* c : connect)
                add(*c, Predicate::Clause::ConnectBy);
        }
    }

private:
    void addTables(const std::vector<const TableRef*>& all, const TableInstances& instances) {
        QueryBlockFacts& facts = m_facts;
        for (const TableRef* ref : all) {
            m_sources.push_back(ref);
            QueryBlockFacts::Table t;
            if (ref->kind == TableRefKind::Named) {
                const auto& named = ref->as<NamedTable>();
                t.name = named.name.back().name;
                t.alias = named.exposedName().name;
                t.withQuery = named.commonTable;
                t.view = named.table && named.table->kind == TableInfo::Kind::View;
                auto n = instances.find(ref);
                t.instance = n == instances.end() ? 0 : n->second;
            } else if (ref->alias) {
                t.alias = ref->alias->name;
            }
            facts.tables.push_back(std::move(t));
        }
        m_printer.emplace(all.size() > 1);
    }

    // FETCH FIRST n ROWS as Oracle runs it: ROW_NUMBER() over the query's
    // order, kept while it is at most n (the window's condition), in a
    // view that keeps the rows numbered past the offset and up to
    // offset + n (the view's condition, on the row number it names
    // rowlimit_$$_rownumber).
    void fetch() {
        if (!m_owner || !m_owner->limit.fetch || m_owner->limit.percent)
            return;
        Printer printer(m_sources.size() > 1);
        const std::string order =
            m_owner->orderBy.empty() ? std::string("NULL") : printer.orderBy(m_owner->orderBy);
        const Expr* offset = m_owner->limit.offset.get();
        const Expr& rows = *m_owner->limit.fetch;
        std::string last = printer.value(rows);
        if (offset) {
            const auto skipped = numberOf(*offset);
            const auto kept = numberOf(rows);
            last = skipped && kept ? formatted(*skipped + *kept)
                                   : printer.value(*offset) + "+" + printer.value(rows);
        }
        Predicate window;
        window.clause = Predicate::Clause::Fetch;
        window.text = "ROW_NUMBER() OVER ( ORDER BY " + order + ")<=" + last;
        m_facts.predicates.push_back(std::move(window));

        std::string number = std::to_string(m_facts.number + 1);
        number.insert(0, number.size() < 3 ? 3 - number.size() : 0, '0');
        const std::string column = "\"from$_subquery$_" + number + "\".\"rowlimit_$$_rownumber\"";
        Predicate view;
        view.clause = Predicate::Clause::FetchView;
        view.text = column + "<=" + last;
        if (offset)
            view.text += " AND " + column + ">" + printer.value(*offset);
        m_facts.predicates.push_back(std::move(view));
    }

    void rankings() {
        Printer printer(m_sources.size() > 1);
        for (const SelectItem& item : m_block->items)
            if (item.expr && isRanking(*item.expr))
                m_facts.rankColumns.push_back({item.heading, printer.condition(*item.expr)});
    }

    // A subquery condition Oracle unnests into a semi- or anti-join: the
    // subquery's block and the join's condition.
    void joinOf(const Expr& e, Predicate& p) {
        const Expr* at = &e;
        if (at->kind == ExprKind::Unary && at->as<Unary>().op == UnaryOp::Not)
            at = at->as<Unary>().operand.get();
        Printer qualified(true);
        if (at->kind == ExprKind::InSubquery) {
            const auto& in = at->as<InSubquery>();
            const SelectBlock* b = in.query->singleBlock();
            if (!b || b->items.empty() || !b->items[0].expr)
                return;
            p.subqueryBlock = b->number;
            p.joinText = qualified.value(*in.operand) + "=" + qualified.value(*b->items[0].expr);
        } else if (at->kind == ExprKind::Exists) {
            const SelectBlock* b = at->as<Exists>().query->singleBlock();
            if (!b)
                return;
            p.subqueryBlock = b->number;
            std::vector<const Expr*> inner;
            if (b->where)
                conjuncts(*b->where, inner);
            for (const Expr* c : inner)
                if (correlated(*c))
                    p.joinText += (p.joinText.empty() ? "" : " AND ") + qualified.condition(*c);
        }
    }

    int tableOf(const ColumnRef& c) const {
        for (std::size_t i = 0; i < m_sources.size(); ++i)
            if (c.binding.source == m_sources[i])
                return static_cast<int>(i);
        return -1;
    }

    std::string columnName(const ColumnRef& c) const {
        const TableRef* s = c.binding.source;
        if (s && c.binding.column >= 0 &&
            static_cast<std::size_t>(c.binding.column) < s->columns.size())
            return s->columns[static_cast<std::size_t>(c.binding.column)].name;
        return c.column().name;
    }

    void note(int table, const std::string& column) {
        if (table < 0)
            return;
        auto& columns = m_facts.tables[static_cast<std::size_t>(table)].columns;
        if (std::find(columns.begin(), columns.end(), column) == columns.end())
            columns.push_back(column);
    }

    // The columns the statement reads of each table: every reference, its
    // subqueries' included, and what * stands for.
    void readColumns() {
        std::vector<const ColumnRef*> refs;
        if (!m_block) {
            for (const Expr* e : m_reads)
                columnRefs(*e, refs);
            if (m_where)
                columnRefs(*m_where, refs);
            for (const ColumnRef* c : refs)
                note(tableOf(*c), columnName(*c));
            return;
        }
        forEachExprOf(*m_block, [&](const Expr& e) { columnRefs(e, refs); });
        for (const ColumnRef* c : refs)
            note(tableOf(*c), columnName(*c));
        for (const SelectItem& item : m_block->items) {
            if (!item.expr || item.expr->kind != ExprKind::Star)
                continue;
            for (const Star::Column& c : item.expr->as<Star>().expansion)
                for (std::size_t i = 0; i < m_sources.size(); ++i)
                    if (c.source == m_sources[i] && c.column >= 0 &&
                        static_cast<std::size_t>(c.column) < c.source->columns.size())
                        note(static_cast<int>(i),
                             c.source->columns[static_cast<std::size_t>(c.column)].name);
        }
    }

    // A column of this block's own tables, when `e` is one.
    const ColumnRef* ownColumn(const Expr& e) const {
        if (e.kind != ExprKind::ColumnRef)
            return nullptr;
        const auto& c = e.as<ColumnRef>();
        return c.binding.outerLevels == 0 && tableOf(c) >= 0 ? &c : nullptr;
    }

    bool reads(const Expr& e, int table) const {
        std::vector<const ColumnRef*> refs;
        columnRefs(e, refs);
        for (const ColumnRef* c : refs)
            if (tableOf(*c) == table)
                return true;
        return false;
    }

    void compared(Predicate& p, const ColumnRef& column, const Expr& other) {
        p.table = tableOf(column);
        p.column = columnName(column);
        // PRIOR x reads the parent row: a value, as far as the row is concerned
        const bool prior = other.kind == ExprKind::Unary && other.as<Unary>().op == UnaryOp::Prior;
        if (!prior && reads(other, p.table)) {
            p.form = Predicate::Form::Other;
            p.table = -1;
            p.column.clear();
            return;
        }
        if (auto n = numberOf(other))
            p.numbers.push_back(*n);
        if (const ColumnRef* o = ownColumn(other)) {
            p.otherTable = tableOf(*o);
            p.otherColumn = columnName(*o);
        }
    }

    void classify(Predicate& p, const Expr& e) {
        switch (e.kind) {
            case ExprKind::Comparison: {
                const auto& c = e.as<Comparison>();
                const ColumnRef* left = ownColumn(*c.left);
                const ColumnRef* right = ownColumn(*c.right);
                if (!left && !right)
                    return;
                if (c.op == CompareOp::NotEqual)
                    return;
                // the column on the left: c op x
                CompareOp op = c.op;
                const Expr* other = c.right.get();
                if (!left) {
                    left = right;
                    other = c.left.get();
                    if (op == CompareOp::Less)
                        op = CompareOp::Greater;
                    else if (op == CompareOp::LessEqual)
                        op = CompareOp::GreaterEqual;
                    else if (op == CompareOp::Greater)
                        op = CompareOp::Less;
                    else if (op == CompareOp::GreaterEqual)
                        op = CompareOp::LessEqual;
                }
                p.form = op == CompareOp::Equal ? Predicate::Form::Equal : Predicate::Form::Range;
                p.lowerBound = op == CompareOp::Greater || op == CompareOp::GreaterEqual;
                p.upperBound = op == CompareOp::Less || op == CompareOp::LessEqual;
                compared(p, *left, *other);
                return;
            }
            case ExprKind::Between: {
                const auto& b = e.as<Between>();
                const ColumnRef* c = ownColumn(*b.operand);
                if (!c || b.negated)
                    return;
                p.form = Predicate::Form::Between;
                p.lowerBound = p.upperBound = true;
                compared(p, *c, *b.low);
                if (p.form == Predicate::Form::Between) {
                    if (auto n = numberOf(*b.high))
                        p.numbers.push_back(*n);
                    if (reads(*b.high, p.table))
                        p.form = Predicate::Form::Other;
                }
                return;
            }
            case ExprKind::InList: {
                const auto& in = e.as<InList>();
                const ColumnRef* c = ownColumn(*in.operand);
                if (!c || in.negated)
                    return;
                p.form = Predicate::Form::InList;
                p.table = tableOf(*c);
                p.column = columnName(*c);
                p.listLength = static_cast<int>(in.items.size());
                return;
            }
            case ExprKind::Like: {
                const auto& l = e.as<Like>();
                const ColumnRef* c = ownColumn(*l.operand);
                if (!c || l.negated)
                    return;
                p.form = Predicate::Form::Like;
                p.table = tableOf(*c);
                p.column = columnName(*c);
                return;
            }
            case ExprKind::IsNull: {
                const auto& n = e.as<IsNull>();
                const ColumnRef* c = ownColumn(*n.operand);
                if (!c)
                    return;
                p.form = n.negated ? Predicate::Form::IsNotNull : Predicate::Form::IsNull;
                p.table = tableOf(*c);
                p.column = columnName(*c);
                return;
            }
            default:
                return;
        }
    }

    void add(const Expr& e, Predicate::Clause clause) {
        Predicate p;
        p.clause = clause;
        p.correlated = correlated(e);
        if (p.correlated && !m_binder) {
            m_binder.emplace(true);
            m_binder->bindOuterColumns();
        }
        p.text = p.correlated ? m_binder->condition(e) : m_printer->condition(e);
        p.subquery = holdsSubquery(e);
        if (p.subquery) {
            joinOf(e, p);
            forEachSubqueryOf(e, [&](const Query& q) {
                if (const SelectBlock* b = firstBlockOf(q))
                    p.subqueryBlocks.push_back(b->number);
            });
        }
        std::vector<const ColumnRef*> refs;
        columnRefs(e, refs);
        for (const ColumnRef* c : refs) {
            const int t = tableOf(*c);
            if (t >= 0 && std::find(p.tables.begin(), p.tables.end(), t) == p.tables.end())
                p.tables.push_back(t);
        }
        std::sort(p.tables.begin(), p.tables.end());
        if (clause != Predicate::Clause::Rownum)
            classify(p, e);
        m_facts.predicates.push_back(std::move(p));
    }

    const SelectBlock* m_block = nullptr;  // null for a DML statement's own block
    const Expr* m_where = nullptr;         // the DML statement's WHERE
    std::vector<const Expr*> m_reads;      // and what else it reads
    const Query* m_owner = nullptr;
    QueryBlockFacts& m_facts;
    std::vector<const TableRef*> m_sources;
    std::optional<Printer> m_printer;
    std::optional<Printer> m_binder;  // of correlated conditions: binds numbered across the block
};

void numberIn(const Query& q, std::vector<const NamedTable*>& tables) {
    forEachBlockOf(q, [&](const SelectBlock& b) {
        for (const TableRefPtr& ref : b.from)
            namedTables(*ref, tables);
    });
}

}  // namespace

TableInstances numberTables(const Statement& statement) {
    std::vector<const NamedTable*> tables;
    const Statement* s = &statement;
    if (s->kind == StatementKind::ExplainPlan)
        s = s->as<ExplainPlanStatement>().explained.get();
    if (!s)
        return {};
    auto target = [&](const DmlTarget& t) {
        if (t.table)
            tables.push_back(t.table.get());
    };
    auto subqueries = [&](const Expr* e) {
        if (e)
            forEachSubqueryOf(*e, [&](const Query& q) { numberIn(q, tables); });
    };
    switch (s->kind) {
        case StatementKind::Select:
            numberIn(*s->as<SelectStatement>().query, tables);
            break;
        case StatementKind::Insert:
            target(s->as<InsertStatement>().target);
            if (s->as<InsertStatement>().query)
                numberIn(*s->as<InsertStatement>().query, tables);
            break;
        case StatementKind::Update:
            target(s->as<UpdateStatement>().target);
            for (const Assignment& a : s->as<UpdateStatement>().assignments)
                subqueries(a.value.get());
            subqueries(s->as<UpdateStatement>().where.get());
            break;
        case StatementKind::Delete:
            target(s->as<DeleteStatement>().target);
            subqueries(s->as<DeleteStatement>().where.get());
            break;
        case StatementKind::CreateTable:
            if (s->as<CreateTableStatement>().asQuery)
                numberIn(*s->as<CreateTableStatement>().asQuery, tables);
            break;
        default:
            break;
    }
    std::stable_sort(tables.begin(), tables.end(), [](const NamedTable* a, const NamedTable* b) {
        return a->firstToken < b->firstToken;
    });
    TableInstances out;
    for (std::size_t i = 0; i < tables.size(); ++i)
        out[tables[i]] = static_cast<int>(i + 1);
    return out;
}

void describeBlock(const SelectBlock& block, const Query* owner, const TableInstances& instances,
                   QueryBlockFacts& facts) {
    Describer(block, owner, instances, facts).run();
}

void describeDmlBlock(const NamedTable& target, const Expr* where, std::vector<const Expr*> reads,
                      const TableInstances& instances, QueryBlockFacts& facts) {
    Describer(target, where, std::move(reads), instances, facts).run();
}

std::string predicateText(const Expr& condition, const SelectBlock& block) {
    std::vector<const TableRef*> all;
    for (const TableRefPtr& ref : block.from)
        sources(*ref, all);
    return Printer(all.size() > 1).condition(condition);
}

}  // namespace localengine::dialect
