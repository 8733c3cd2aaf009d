// Expressions in SQLite's words. Parentheses are written where SQLite's
// precedence needs them, whatever the user wrote: the tree keeps the
// grouping, the text only has to say it again.

#include "AstWalk.h"
#include "Emitter.h"
#include "Error.h"
#include "HierarchicalQuery.h"
#include "LikePattern.h"
#include "RownumLimit.h"
#include "WorkingNames.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <string_view>
#include <unordered_set>

namespace localengine::dialect {

namespace {

int precedenceOf(const Expr& e) {
    switch (e.kind) {
        case ExprKind::Binary:
            switch (e.as<Binary>().op) {
                case BinaryOp::Or:
                    return kOr;
                case BinaryOp::And:
                    return kAnd;
                case BinaryOp::Add:
                case BinaryOp::Subtract:
                    return kAdditive;
                case BinaryOp::Multiply:
                case BinaryOp::Divide:
                    return kMultiplicative;
                case BinaryOp::Concatenate:
                    return kPrimary;  // written as a function call
            }
            return kPrimary;
        case ExprKind::Unary:
            switch (e.as<Unary>().op) {
                case UnaryOp::Not:
                    return kNot;
                case UnaryOp::Negate:
                case UnaryOp::Plus:
                    return kUnary;
                default:
                    return kPrimary;
            }
        case ExprKind::Comparison:
        case ExprKind::QuantifiedComparison:
        case ExprKind::IsNull:
        case ExprKind::Like:
        case ExprKind::Between:
        case ExprKind::InList:
        case ExprKind::InSubquery:
            return kCompare;
        default:
            return kPrimary;
    }
}

const char* compareOperator(CompareOp op) {
    switch (op) {
        case CompareOp::Equal:
            return " = ";
        case CompareOp::NotEqual:
            return " <> ";
        case CompareOp::Less:
            return " < ";
        case CompareOp::LessEqual:
            return " <= ";
        case CompareOp::Greater:
            return " > ";
        case CompareOp::GreaterEqual:
            return " >= ";
    }
    return " = ";
}

bool plainName(std::string_view name) {
    if (name.empty() || (name[0] >= '0' && name[0] <= '9') || name[0] == '$')
        return false;
    for (char ch : name) {
        const unsigned char c = static_cast<unsigned char>(ch);
        if (!((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '$' ||
              c >= 0x80))
            return false;
    }
    return true;
}

}  // namespace

void splitConjuncts(const Expr* condition, std::vector<const Expr*>& out) {
    if (!condition)
        return;
    std::vector<const Expr*> pending{condition};
    while (!pending.empty()) {
        const Expr* e = pending.back();
        pending.pop_back();
        if (e->kind == ExprKind::Binary && e->as<Binary>().op == BinaryOp::And) {
            pending.push_back(e->as<Binary>().right.get());
            pending.push_back(e->as<Binary>().left.get());
        } else {
            out.push_back(e);
        }
    }
}

void Emitter::name(const Identifier& id) {
    if (id.quoted || !plainName(id.name) || isSqliteKeyword(id.name))
        m_out += quoteName(id.name);
    else
        m_out += id.name;
}

void Emitter::qualifiedName(const QualifiedName& n) {
    for (std::size_t i = 0; i < n.size(); ++i) {
        if (i)
            m_out += '.';
        name(n[i]);
    }
}

void Emitter::exprList(const std::vector<ExprPtr>& list) {
    for (std::size_t i = 0; i < list.size(); ++i) {
        if (i)
            m_out += ", ";
        expr(*list[i]);
    }
}

void Emitter::conjunction(const std::vector<const Expr*>& conditions) {
    for (std::size_t i = 0; i < conditions.size(); ++i) {
        if (i)
            m_out += " AND ";
        expr(*conditions[i], kAnd + 1);
    }
}

void Emitter::expr(const Expr& e, int minPrecedence) {
    if (m_hierarchy && m_hierarchy->writes(e))
        return;
    if (m_grouping && groupingWrites(e))
        return;
    const bool parenthesised = precedenceOf(e) < minPrecedence;
    if (parenthesised)
        m_out += '(';
    switch (e.kind) {
        case ExprKind::Literal:
            literal(e.as<Literal>());
            break;
        case ExprKind::ColumnRef:
            columnRef(e.as<ColumnRef>());
            break;
        case ExprKind::BindParameter:
            m_out += e.as<BindParameter>().text;
            break;
        case ExprKind::PseudoColumn:
            pseudo(e.as<PseudoColumn>());
            break;
        case ExprKind::Unary:
            unary(e.as<Unary>());
            break;
        case ExprKind::Binary:
            binary(e.as<Binary>());
            break;
        case ExprKind::Comparison:
            comparison(e.as<Comparison>());
            break;
        case ExprKind::QuantifiedComparison:
            quantified(e.as<QuantifiedComparison>());
            break;
        case ExprKind::Case:
            caseExpression(e.as<Case>());
            break;
        case ExprKind::FunctionCall:
            functionCall(e.as<FunctionCall>());
            break;
        case ExprKind::Cast:
            cast(e.as<Cast>());
            break;
        case ExprKind::Extract:
            extract(e.as<Extract>());
            break;
        case ExprKind::Trim:
            trim(e.as<Trim>());
            break;
        case ExprKind::ScalarSubquery:
            scalarSubquery(*e.as<ScalarSubquery>().query);
            break;
        case ExprKind::Exists:
            m_out += "EXISTS ";
            subquery(*e.as<Exists>().query);
            break;
        case ExprKind::Tuple:
            m_out += '(';
            exprList(e.as<Tuple>().items);
            m_out += ')';
            break;
        case ExprKind::SequenceValue: {
            // The engine's sequence functions (schema/Sequences.h).
            const auto& v = e.as<SequenceValue>();
            if (v.sequence.size() > 1)
                unsupported("sequences of another schema");
            auto& uses = m_sequenceUses[v.sequence.back().name];
            (v.next ? uses.first : uses.second) += 1;
            if (uses.first > 0 && uses.first + uses.second > 1)
                unsupported("NEXTVAL with a second NEXTVAL or CURRVAL of sequence " +
                            v.sequence.back().name + " in one statement");
            m_out += v.next ? "ORA_SEQUENCE_NEXTVAL(" : "ORA_SEQUENCE_CURRVAL(";
            m_out += quoteText(v.sequence.back().name);
            m_out += ')';
            break;
        }
        case ExprKind::Star:
            m_out += '*';
            break;
        default:
            predicate(e);
            break;
    }
    if (parenthesised)
        m_out += ')';
}

// A subquery is written the same wherever it stands: the hierarchy's and
// the outer join's rules of the enclosing block stop at its parentheses.
void Emitter::subquery(const Query& q) {
    HierarchicalQuery* hierarchy = m_hierarchy;
    if (hierarchy) {
        auto written = m_subqueries.find(&q);
        if (written != m_subqueries.end()) {
            text(written->second);
            return;
        }
    }
    const std::size_t start = m_out.size();
    m_out += '(';
    const ConditionScope plain(*this, false);
    const bool marks = m_outerJoinMarksAllowed;
    const GroupingContext* grouping = m_grouping;
    const GroupingContext* groupingSet = m_groupingSet;
    m_hierarchy = nullptr;
    m_outerJoinMarksAllowed = false;
    m_grouping = m_groupingSet = nullptr;
    query(q);
    m_hierarchy = hierarchy;
    m_outerJoinMarksAllowed = marks;
    m_grouping = grouping;
    m_groupingSet = groupingSet;
    m_out += ')';
    checkLength(m_out.size());
    if (hierarchy)
        m_subqueries.emplace(&q, m_out.substr(start));
}

namespace {

// Whether `e` reads a column of its own query block: an aggregate over
// nothing else would belong to the enclosing query in SQLite.
bool readsOwnColumn(const Expr& e) {
    if (e.kind == ExprKind::ColumnRef) {
        const ColumnBinding& b = e.as<ColumnRef>().binding;
        return b.source && b.outerLevels == 0;
    }
    bool found = false;
    forEachChild(e, [&](const Expr& child) { found = found || readsOwnColumn(child); });
    return found;
}

}  // namespace

// A scalar subquery gives one value: a second row is ORA-01427, where
// SQLite would take the first. A block that cannot give two rows (an
// aggregate without GROUP BY, ROWNUM = 1) is written as it is; a plain
// block reads its item through the aggregate ORA_SCALAR; any other query
// is read through ORA_SCALAR from the outside.
void Emitter::scalarSubquery(const Query& q) {
    const SelectBlock* b = q.singleBlock();
    const bool plainLimits = q.orderBy.empty() && !q.limit.fetch && !q.limit.offset;
    if (b && !b->hierarchy && plainLimits) {
        if (b->aggregates && b->groupBy.empty() && !b->analytics) {
            subquery(q);
            return;
        }
        const std::optional<std::int64_t> rows = findRownumLimit(*b).rows();
        if (rows && *rows <= 1) {
            subquery(q);
            return;
        }
        const bool plain = !b->distinct && b->groupBy.empty() && !b->aggregates && !b->analytics &&
                           !b->having && b->items.size() == 1 &&
                           b->items[0].expr->kind != ExprKind::Star &&
                           readsOwnColumn(*b->items[0].expr) && !findRownumLimit(*b).found();
        if (plain) {
            const SelectBlock* saved = m_singleRowBlock;
            m_singleRowBlock = b;
            subquery(q);
            m_singleRowBlock = saved;
            return;
        }
    }
    if (!q.columnsKnown || q.columns.size() != 1) {
        subquery(q);
        return;
    }
    m_out += "(SELECT ORA_SCALAR(";
    m_out += working::kScalar;
    m_out += '.';
    m_out += quoteName(q.columns[0].name);
    m_out += ") FROM ";
    subquery(q);
    m_out += " AS ";
    m_out += working::kScalar;
    m_out += ')';
}

namespace {

// A number literal as SQLite reads it: as written when it has at most 15
// significant digits (the double SQLite makes of it holds them), as its
// digits when it is a whole number of 64 bits (SQLite's integer: 1.0E18).
// Any other value would be rounded: ORA-03001. `negated`: the literal is
// the operand of a minus, which makes 9223372036854775808 the smallest
// 64-bit integer.
std::string numberLiteral(const std::string& text, bool negated = false) {
    std::string digits;  // the mantissa's digits, without the point
    int pointAt = -1;    // digits before the point
    std::size_t at = 0;
    for (; at < text.size() && text[at] != 'e' && text[at] != 'E'; ++at) {
        if (text[at] == '.')
            pointAt = static_cast<int>(digits.size());
        else
            digits += text[at];
    }
    const std::size_t lead = digits.find_first_not_of('0');
    if (lead == std::string::npos)
        return text;
    const std::size_t last = digits.find_last_not_of('0');
    if (last - lead + 1 <= 15)
        return text;
    long long exponent = at < text.size() ? std::strtoll(text.c_str() + at + 1, nullptr, 10) : 0;
    // The value is 0.<significant> x 10^wholeDigits.
    const long long wholeDigits = (pointAt < 0 ? static_cast<long long>(digits.size()) : pointAt) -
                                  static_cast<long long>(lead) + exponent;
    const std::string significant = digits.substr(lead, last - lead + 1);
    if (wholeDigits >= static_cast<long long>(significant.size()) && wholeDigits <= 19) {
        std::string whole = significant;
        whole.resize(static_cast<std::size_t>(wholeDigits), '0');
        if (whole.size() < 19 || whole <= (negated ? "9223372036854775808" : "9223372036854775807"))
            return whole;
    }
    unsupported("NUMBER values of more than 15 significant digits");
}

}  // namespace

// Oracle has no empty text: '' is NULL. A date, timestamp or interval
// literal is its text in the form the engine stores it in.
void Emitter::literal(const Literal& l) {
    switch (l.form) {
        case Literal::Form::Number:
            m_out += numberLiteral(l.text);
            break;
        case Literal::Form::Text:
            m_out += l.text.empty() ? std::string("NULL") : quoteText(l.text);
            break;
        case Literal::Form::Null:
            m_out += "NULL";
            break;
        case Literal::Form::Boolean:
            m_out += l.text;
            break;
        case Literal::Form::Date:
        case Literal::Form::Timestamp:
            datetimeLiteral(l);
            break;
        case Literal::Form::Interval:
            intervalLiteral(l);
            break;
    }
}

void Emitter::columnRef(const ColumnRef& c) {
    if (c.outerJoinMark && !m_outerJoinMarksAllowed)
        fail(ora::kOuterJoinNotAllowed, "outer join operator (+) is not allowed here");
    if (m_multitableSource && c.binding.source == m_multitableSource && c.binding.column >= 0) {
        m_out +=
            quoteName(working::multitableColumn(static_cast<std::size_t>(c.binding.column) + 1));
        return;
    }
    qualifiedName(c.parts);
}

void Emitter::pseudo(const PseudoColumn& p) {
    switch (p.which) {
        case Pseudo::Rownum:
            if (m_inCondition)
                unsupported(
                    "ROWNUM in this condition (only ROWNUM compared with a number, "
                    "or ROWNUM <= a bind parameter, joined by AND)");
            m_out += "ROW_NUMBER() OVER ()";
            break;
        case Pseudo::Rowid:
            m_out += "ROWID";
            break;
        case Pseudo::Sysdate:
        case Pseudo::CurrentDate:
            m_out += "DATETIME('now', 'localtime')";
            break;
        case Pseudo::Systimestamp:
        case Pseudo::CurrentTimestamp:
        case Pseudo::LocalTimestamp:
            // The stored form has nine digits of fraction; SQLite's clock three.
            m_out += "(STRFTIME('%Y-%m-%d %H:%M:%f', 'now', 'localtime') || '000000')";
            break;
        case Pseudo::User:
            m_out += m_owner.empty() ? std::string("USER") : quoteText(m_owner);
            break;
        case Pseudo::Uid:
            unsupported("UID");
        case Pseudo::Level:
        case Pseudo::ConnectByIsLeaf:
        case Pseudo::ConnectByIsCycle:
            fail(ora::kConnectByRequired, "CONNECT BY clause required in this query block");
    }
}

void Emitter::unary(const Unary& u) {
    switch (u.op) {
        case UnaryOp::Not:
            m_out += "NOT ";
            expr(*u.operand, kNot);
            break;
        case UnaryOp::Negate:
            if (u.operand->type == OracleType::Interval) {
                // A literal is negated in the translation, any other
                // interval when it is computed.
                if (u.operand->kind == ExprKind::Literal) {
                    m_out += quoteText(
                        negatedIntervalText(intervalLiteralText(u.operand->as<Literal>())));
                } else {
                    m_out += "ORA_INTERVAL_MUL(";
                    expr(*u.operand);
                    m_out += ", -1)";
                }
                break;
            }
            // A literal negated as SQLite reads it (-9223372036854775808
            // is an integer); any other value by ORA_NEG, where the
            // smallest integer's negation is no wrapped or rounded value.
            if (u.operand->kind == ExprKind::Literal &&
                u.operand->as<Literal>().form == Literal::Form::Number) {
                m_out += '-';
                m_out += numberLiteral(u.operand->as<Literal>().text, true);
                break;
            }
            m_out += "ORA_NEG(";
            converted(*u.operand, OracleType::Number);
            m_out += ')';
            break;
        case UnaryOp::Plus:
            m_out += '+';
            expr(*u.operand, kPrimary);
            break;
        case UnaryOp::Prior:
            fail(ora::kConnectByRequired,
                 "PRIOR outside a hierarchical query: "
                 "CONNECT BY clause required in this query block");
        case UnaryOp::ConnectByRoot:
            fail(ora::kConnectByRequired,
                 "CONNECT_BY_ROOT outside a hierarchical query: "
                 "CONNECT BY clause required in this query block");
    }
}

void Emitter::binary(const Binary& b) {
    const int p = precedenceOf(b);
    if (b.op != BinaryOp::Concatenate && b.op != BinaryOp::And && b.op != BinaryOp::Or &&
        datetimeArithmetic(b))
        return;
    // Operands of arithmetic are numbers: text is converted (ORA-01722
    // when it is not one).
    const OracleType operands =
        b.op == BinaryOp::And || b.op == BinaryOp::Or ? OracleType::Unknown : OracleType::Number;
    switch (b.op) {
        case BinaryOp::Concatenate:
            concatenation(b);
            return;
        case BinaryOp::Add:
        case BinaryOp::Subtract:
        case BinaryOp::Multiply:
        case BinaryOp::Divide:
            arithmetic(b);
            return;
        default:
            break;
    }
    static const char* const kOperators[] = {" + ", " - ", " * ", " / ", "", " AND ", " OR "};
    converted(*b.left, operands, p);
    m_out += kOperators[static_cast<int>(b.op)];
    converted(*b.right, operands, p + 1);
}

// Arithmetic on numbers as one call ORA_ARITH(program, operand, ...): the
// program writes the tree in postfix, 'v' for the next operand and + - * /
// for the operators (id + 1 + x * 0 is ORA_ARITH('vv+vv*+', id, 1, x, 0)).
// The function computes as Oracle's decimal NUMBER does (0.1 + 0.2 is 0.3,
// 1300 * 1.1 is 1430, 7 / 2 is 3.5, ORA-01476 for a zero divisor), where
// SQLite's operators give binary doubles and whole-number division. One call
// for a whole tree keeps the nesting within what SQLite's parser takes; a
// tree of more than kArithmeticOperands operands puts its lower part in a
// call of its own.
namespace {

constexpr int kArithmeticOperands = 100;

bool isNumericArithmetic(const Expr& e) {
    if (e.kind != ExprKind::Binary)
        return false;
    const Binary& b = e.as<Binary>();
    if (b.op == BinaryOp::Concatenate || b.op == BinaryOp::And || b.op == BinaryOp::Or)
        return false;
    const auto plain = [](OracleType t) { return !isDatetime(t) && t != OracleType::Interval; };
    return plain(b.left->type) && plain(b.right->type);
}

int operandCount(const Expr& e) {
    if (!isNumericArithmetic(e))
        return 1;
    const Binary& b = e.as<Binary>();
    return operandCount(*b.left) + operandCount(*b.right);
}

struct ArithmeticPlan {
    std::string program;
    std::vector<std::pair<const Expr*, bool>> operands;  // operand, a call of its own

    // Lays out `e` with at most `budget` operands.
    void add(const Expr& e, int budget, bool top) {
        if (!isNumericArithmetic(e) || (!top && budget <= 1)) {
            operands.emplace_back(&e, isNumericArithmetic(e));
            program += 'v';
            return;
        }
        const Binary& b = e.as<Binary>();
        const int right = operandCount(*b.right);
        const int rightBudget = right < budget ? right : 1;
        add(*b.left, budget - rightBudget, false);
        add(*b.right, rightBudget, false);
        program += "+-*/"[static_cast<int>(b.op)];
    }
};

}  // namespace

void Emitter::arithmetic(const Binary& b) {
    ArithmeticPlan plan;
    plan.add(b, kArithmeticOperands, true);
    m_out += "ORA_ARITH(";
    m_out += quoteText(plan.program);
    for (const auto& [operand, ownCall] : plan.operands) {
        m_out += ", ";
        if (ownCall)
            arithmetic(operand->as<Binary>());
        else
            converted(*operand, OracleType::Number);
    }
    m_out += ')';
}

// a || b || c as one call ORA_CONCAT(a, b, c): a null operand counts as
// empty text, and the result is null only when every piece is. SQLite
// takes at most 127 arguments: longer chains nest, which keeps the rule.
void Emitter::concatenation(const Binary& b) {
    constexpr std::size_t kArgumentsPerCall = 100;
    std::vector<const Expr*> pieces;
    const Expr* e = &b;
    while (e->kind == ExprKind::Binary && e->as<Binary>().op == BinaryOp::Concatenate) {
        pieces.push_back(e->as<Binary>().right.get());
        e = e->as<Binary>().left.get();
    }
    pieces.push_back(e);
    const std::size_t start = m_out.size();
    m_out += "ORA_CONCAT(";
    std::size_t inCall = 0;
    for (std::size_t i = pieces.size(); i-- > 0;) {
        if (inCall == kArgumentsPerCall) {
            m_out += ')';
            m_out.insert(start, "ORA_CONCAT(");
            inCall = 1;
        }
        if (inCall)
            m_out += ", ";
        converted(*pieces[i],
                  isDatetime(pieces[i]->type) ? OracleType::Varchar2 : OracleType::Unknown);
        ++inCall;
    }
    m_out += ')';
}

void Emitter::comparison(const Comparison& c) {
    if (intervalOrder({c.left.get(), c.right.get()})) {
        collated(*c.left);
        m_out += compareOperator(c.op);
        expr(*c.right, kCompareOperand);
        return;
    }
    const OracleType type = comparisonType({c.left->type, c.right->type});
    const bool padded = blankPadded({c.left.get(), c.right.get()});
    comparand(*c.left, type, padded);
    m_out += compareOperator(c.op);
    comparand(*c.right, type, padded);
}

// = ANY is IN and <> ALL is NOT IN. Over a list the other operators are
// ORs (ANY) or ANDs (ALL) of comparisons, which give Oracle's answer
// (NULL where no comparison decides); over a subquery see
// quantifiedSubquery. Values are brought to one type as in a comparison.
void Emitter::quantified(const QuantifiedComparison& q) {
    const bool in = q.op == CompareOp::Equal && !q.all;
    const bool notIn = q.op == CompareOp::NotEqual && q.all;
    if (q.subquery) {
        if (in || notIn)
            inSubquery(*q.left, notIn, *q.subquery);
        else
            quantifiedSubquery(q);
        return;
    }
    if (!in && !notIn) {
        quantifiedList(q);
        return;
    }
    std::vector<OracleType> types{q.left->type};
    std::vector<const Expr*> operands{q.left.get()};
    for (const ExprPtr& item : q.list) {
        types.push_back(item->type);
        operands.push_back(item.get());
    }
    const OracleType type = comparisonType(types);
    bool interval = false;
    bool padded = true;
    for (const Expr* e : operands) {
        interval = interval || e->type == OracleType::Interval;
        padded = padded && e->type == OracleType::Char;
    }
    if (interval)
        collated(*q.left);
    else if (padded)
        comparand(*q.left, type, true);
    else
        converted(*q.left, type, kCompareOperand);
    m_out += in ? " IN (" : " NOT IN (";
    for (std::size_t i = 0; i < q.list.size(); ++i) {
        if (i)
            m_out += ", ";
        if (padded)
            comparand(*q.list[i], type, true);
        else
            converted(*q.list[i], type);
    }
    m_out += ')';
}

void Emitter::quantifiedList(const QuantifiedComparison& q) {
    m_out += '(';
    for (std::size_t i = 0; i < q.list.size(); ++i) {
        if (i)
            m_out += q.all ? " AND " : " OR ";
        const Expr& item = *q.list[i];
        if (intervalOrder({q.left.get(), &item})) {
            collated(*q.left);
            m_out += compareOperator(q.op);
            expr(item, kCompareOperand);
            continue;
        }
        const OracleType type = comparisonType({q.left->type, item.type});
        const bool padded = blankPadded({q.left.get(), &item});
        comparand(*q.left, type, padded);
        m_out += compareOperator(q.op);
        comparand(item, type, padded);
    }
    m_out += ')';
}

// x op ANY (query) and x op ALL (query) with Oracle's three answers, from
// the comparison of x with each row: ANY is true when one comparison is,
// else unknown when one is unknown (a NULL), else false (no rows too); ALL
// is false when one comparison is, else unknown when one is, else true.
// The query's column is read under the engine's name __X in a query of
// its own (__W), so that the columns x names keep their meaning there:
//   (SELECT CASE WHEN MAX((x op __X) IS 1) THEN 1
//                WHEN MAX((x op __X) IS NULL) THEN NULL ELSE 0 END
//    FROM (SELECT __V.col AS __X FROM (query) AS __V) AS __W)
void Emitter::quantifiedSubquery(const QuantifiedComparison& q) {
    const Query& s = *q.subquery;
    if (q.left->kind != ExprKind::Tuple && s.columnsKnown && s.columns.size() > 1)
        fail(ora::kTooManyValues, "too many values");
    if (q.left->kind == ExprKind::Tuple || !s.columnsKnown || s.columns.size() != 1 ||
        s.columnTypes.size() != 1)
        unsupported(std::string("comparison with ") + (q.all ? "ALL" : "ANY") +
                    " of a subquery of several columns");
    const OracleType column = s.columnTypes.front();
    const OracleType type = comparisonType({q.left->type, column});
    const bool interval = q.left->type == OracleType::Interval || column == OracleType::Interval;
    const std::string compared = std::string(working::kCompared);
    auto comparison = [&] {
        m_out += '(';
        if (interval)
            collated(*q.left);
        else
            converted(*q.left, type, kCompareOperand);
        m_out += compareOperator(q.op);
        convertedValue(column, type, [&](int) { m_out += compared; });
        m_out += ')';
    };
    m_out += "(SELECT CASE WHEN MAX(";
    comparison();
    m_out += q.all ? " IS 0) THEN 0 WHEN MAX(" : " IS 1) THEN 1 WHEN MAX(";
    comparison();
    m_out += q.all ? " IS NULL) THEN NULL ELSE 1 END FROM (SELECT "
                   : " IS NULL) THEN NULL ELSE 0 END FROM (SELECT ";
    m_out += working::kConverted;
    m_out += '.';
    m_out += quoteName(s.columns.front().name);
    m_out += " AS " + compared + " FROM ";
    subquery(s);
    m_out += " AS ";
    m_out += working::kConverted;
    m_out += ") AS ";
    m_out += working::kComparedRows;
    m_out += ')';
}

// left [NOT] IN (query): the two sides brought to one type as in a
// comparison; the query's column is converted in a query around it.
void Emitter::inSubquery(const Expr& left, bool negated, const Query& q) {
    const bool single = left.kind != ExprKind::Tuple && q.columnsKnown && q.columns.size() == 1 &&
                        q.columnTypes.size() == 1;
    const OracleType column = single ? q.columnTypes.front() : OracleType::Unknown;
    const OracleType type = comparisonType({left.type, column});
    if (single && (left.type == OracleType::Interval || column == OracleType::Interval))
        collated(left);
    else
        converted(left, type, kCompareOperand);
    m_out += negated ? " NOT IN " : " IN ";
    if (type == OracleType::Unknown || column == type || column == OracleType::Unknown) {
        subquery(q);
        return;
    }
    m_out += "(SELECT ";
    convertedValue(column, type, [&](int) {
        m_out += working::kConverted;
        m_out += '.';
        m_out += quoteName(q.columns.front().name);
    });
    m_out += " FROM ";
    subquery(q);
    m_out += " AS ";
    m_out += working::kConverted;
    m_out += ')';
}

// The GLOB form of a LIKE whose pattern (and escape) are text literals;
// empty for any other pattern, and for one Oracle refuses, so that ORA_LIKE
// raises its error when the statement runs.
std::optional<std::string> Emitter::literalGlob(const Like& p) {
    auto literalText = [](const Expr* e) -> const std::string* {
        if (!e || e->kind != ExprKind::Literal || e->as<Literal>().form != Literal::Form::Text ||
            e->as<Literal>().text.empty())
            return nullptr;
        return &e->as<Literal>().text;
    };
    const std::string* pattern = literalText(p.pattern.get());
    const std::string* escape = literalText(p.escape.get());
    if (!pattern || (p.escape && !escape))
        return std::nullopt;
    return likeToGlob(*pattern, escape ? std::optional<std::string_view>(*escape) : std::nullopt);
}

// IS NULL, LIKE, BETWEEN and IN.
void Emitter::predicate(const Expr& e) {
    switch (e.kind) {
        case ExprKind::IsNull: {
            const auto& p = e.as<IsNull>();
            expr(*p.operand, kCompareOperand);
            m_out += p.negated ? " IS NOT NULL" : " IS NULL";
            break;
        }
        case ExprKind::Like: {
            // Oracle's LIKE tells case: a pattern written in the statement
            // becomes SQLite's GLOB (an index still serves a fixed prefix),
            // any other goes to ORA_LIKE when the statement runs. A date
            // matched against a pattern is its text in NLS_DATE_FORMAT.
            const auto& p = e.as<Like>();
            const OracleType asText =
                isDatetime(p.operand->type) ? OracleType::Varchar2 : OracleType::Unknown;
            if (const std::optional<std::string> glob = literalGlob(p)) {
                converted(*p.operand, asText, kCompareOperand);
                m_out += p.negated ? " NOT GLOB " : " GLOB ";
                m_out += quoteText(*glob);
                break;
            }
            m_out += p.negated ? "(NOT ORA_LIKE(" : "ORA_LIKE(";
            converted(*p.operand, asText, kLowest);
            m_out += ", ";
            expr(*p.pattern, kLowest);
            if (p.escape) {
                m_out += ", ";
                expr(*p.escape, kLowest);
            }
            m_out += p.negated ? "))" : ")";
            break;
        }
        case ExprKind::Between: {
            const auto& p = e.as<Between>();
            const OracleType type = comparisonType({p.operand->type, p.low->type, p.high->type});
            const bool padded = blankPadded({p.operand.get(), p.low.get(), p.high.get()});
            if (intervalOrder({p.operand.get(), p.low.get(), p.high.get()}))
                collated(*p.operand);
            else
                comparand(*p.operand, type, padded);
            m_out += p.negated ? " NOT BETWEEN " : " BETWEEN ";
            comparand(*p.low, type, padded);
            m_out += " AND ";
            comparand(*p.high, type, padded);
            break;
        }
        case ExprKind::InList: {
            const auto& p = e.as<InList>();
            std::vector<OracleType> types{p.operand->type};
            for (const ExprPtr& item : p.items)
                types.push_back(item->type);
            const OracleType type = comparisonType(types);
            bool interval = p.operand->type == OracleType::Interval;
            for (const ExprPtr& item : p.items)
                interval = interval || item->type == OracleType::Interval;
            // IN is "= ANY": CHAR values against CHAR values blank-padded.
            bool padded = !interval && p.operand->kind != ExprKind::Tuple &&
                          p.operand->type == OracleType::Char;
            for (const ExprPtr& item : p.items)
                padded = padded && item->type == OracleType::Char;
            if (interval && p.operand->kind != ExprKind::Tuple)
                collated(*p.operand);
            else if (padded)
                comparand(*p.operand, type, true);
            else
                converted(*p.operand, type, kCompareOperand);
            m_out += p.negated ? " NOT IN (" : " IN (";
            if (p.operand->kind == ExprKind::Tuple) {
                m_out += "VALUES ";
                exprList(p.items);
            } else {
                for (std::size_t i = 0; i < p.items.size(); ++i) {
                    if (i)
                        m_out += ", ";
                    if (padded)
                        comparand(*p.items[i], type, true);
                    else
                        converted(*p.items[i], type);
                }
            }
            m_out += ')';
            break;
        }
        case ExprKind::InSubquery: {
            const auto& p = e.as<InSubquery>();
            inSubquery(*p.operand, p.negated, *p.query);
            break;
        }
        default:
            break;
    }
}

void Emitter::caseExpression(const Case& c) {
    checkCaseTypes(c);
    // A simple CASE compares "expr = comparison_expr": CHAR with CHAR
    // blank-padded.
    bool padded = c.operand && c.operand->type == OracleType::Char;
    for (const WhenClause& w : c.whens)
        padded = padded && w.condition->type == OracleType::Char;
    m_out += "CASE";
    if (c.operand) {
        m_out += ' ';
        if (padded)
            comparand(*c.operand, OracleType::Char, true);
        else
            expr(*c.operand);
    }
    for (const WhenClause& w : c.whens) {
        m_out += " WHEN ";
        if (padded)
            comparand(*w.condition, OracleType::Char, true);
        else
            expr(*w.condition);
        m_out += " THEN ";
        expr(*w.result);
    }
    if (c.otherwise) {
        m_out += " ELSE ";
        expr(*c.otherwise);
    }
    m_out += " END";
}

namespace {

// The package functions the engine has, under the names their SQLite
// functions have (DBMS_LOB.GETLENGTH as ORA_DBMS_LOB_GETLENGTH), the package
// named alone or with its owner SYS; empty for any other.
std::string packageFunction(const FunctionCall& f) {
    struct Known {
        std::string_view package;
        std::string_view function;
    };
    static constexpr Known kKnown[] = {
        {"DBMS_LOB", "GETLENGTH"},  {"DBMS_LOB", "INSTR"},           {"DBMS_LOB", "SUBSTR"},
        {"UTL_RAW", "CAST_TO_RAW"}, {"UTL_RAW", "CAST_TO_VARCHAR2"}, {"UTL_RAW", "CONCAT"},
        {"UTL_RAW", "LENGTH"},      {"DBMS_RANDOM", "VALUE"},        {"DBMS_RANDOM", "STRING"},
        {"DBMS_RANDOM", "NORMAL"},  {"DBMS_RANDOM", "RANDOM"},
    };
    const std::size_t parts = f.name.size();
    if (parts < 2 || parts > 3 || (parts == 3 && f.name.front().name != "SYS"))
        return {};
    const std::string& package = f.name[parts - 2].name;
    for (const Known& k : kKnown)
        if (k.package == package && k.function == f.functionName())
            return "ORA_" + package + "_" + f.functionName();
    return {};
}

}  // namespace

void Emitter::functionCall(const FunctionCall& f) {
    if (f.name.size() > 1) {
        const std::string name = packageFunction(f);
        if (name.empty() || f.distinct || f.star || f.over || f.hasWithinGroup || f.keep)
            unsupported("package function " + f.name[f.name.size() - 2].name + "." +
                        f.functionName());
        m_out += name;
        m_out += '(';
        {
            const ConditionScope plain(*this, false);
            arguments(f);
        }
        m_out += ')';
        return;
    }
    if (specialAggregate(f))
        return;
    if (f.hasWithinGroup)
        unsupported(f.functionName() + " ... WITHIN GROUP");
    if (f.keep)
        unsupported(f.functionName() + " ... KEEP");
    if (typedFunction(f) || typedChoice(f) || jsonFunction(f))
        return;
    // CONCAT keeps Oracle's null rule, as || does.
    const Identifier& function = f.name.front();
    if (function.name == "CONCAT" && !function.quoted)
        m_out += "ORA_CONCAT";
    else if (function.quoted || !plainName(function.name))
        m_out += quoteName(function.name);
    else
        m_out += function.name;  // SQLite calls functions named like keywords (REPLACE, LIKE)
    m_out += '(';
    if (f.distinct)
        m_out += "DISTINCT ";
    if (f.star)
        m_out += '*';
    {
        const ConditionScope plain(*this, false);
        arguments(f);
    }
    m_out += ')';
    if (f.over) {
        m_out += " OVER (";
        windowSpec(*f.over);
        m_out += ')';
    }
}

void Emitter::windowSpec(const WindowSpec& w) {
    const ConditionScope plain(*this, false);
    bool first = true;
    if (!w.partitionBy.empty()) {
        m_out += "PARTITION BY ";
        exprList(w.partitionBy);
        first = false;
    }
    if (!w.orderBy.empty()) {
        if (!first)
            m_out += ' ';
        orderBy(w.orderBy);
        first = false;
    }
    if (w.frame) {
        if (!first)
            m_out += ' ';
        m_out += w.frame->range ? "RANGE " : "ROWS ";
        if (w.frame->end) {
            m_out += "BETWEEN ";
            frameBound(w.frame->start);
            m_out += " AND ";
            frameBound(*w.frame->end);
        } else {
            frameBound(w.frame->start);
        }
    }
}

void Emitter::frameBound(const FrameBound& b) {
    switch (b.kind) {
        case FrameBound::Kind::UnboundedPreceding:
            m_out += "UNBOUNDED PRECEDING";
            break;
        case FrameBound::Kind::UnboundedFollowing:
            m_out += "UNBOUNDED FOLLOWING";
            break;
        case FrameBound::Kind::CurrentRow:
            m_out += "CURRENT ROW";
            break;
        case FrameBound::Kind::Preceding:
        case FrameBound::Kind::Following:
            expr(*b.offset, kAdditive);
            m_out += b.kind == FrameBound::Kind::Preceding ? " PRECEDING" : " FOLLOWING";
            break;
    }
}

// Casts whose result SQLite gives as Oracle does: to text, and to a number
// without precision or scale.
void Emitter::cast(const Cast& c) {
    if (typedCast(c))
        return;
    const std::string& first = c.target.words.front();
    const bool text = first == "VARCHAR2" || first == "VARCHAR" || first == "NVARCHAR2" ||
                      first == "CLOB" || first == "NCLOB";
    // NUMBER, FLOAT(126), REAL, DOUBLE PRECISION, BINARY_DOUBLE: any value
    // (the sized ones are typedCast's).
    const std::string spelled = c.target.spelled();
    const bool number = ((first == "NUMBER" && c.target.arguments.empty()) || spelled == "FLOAT" ||
                         spelled == "REAL" || spelled == "DOUBLE PRECISION" ||
                         spelled == "BINARY_DOUBLE" || spelled == "BINARY_FLOAT");
    if (!text && !number)
        unsupported("CAST to " + c.target.spelled());
    m_out += "CAST(";
    expr(*c.operand);
    m_out += text ? " AS TEXT)" : " AS NUMERIC)";
}

// EXTRACT(field FROM value) by the engine's function: for a DATE the
// time fields are refused as Oracle refuses them (ORA-30076), and so is
// character data, which is neither a datetime nor an interval (SQL
// Language Reference, EXTRACT (datetime): expr "must evaluate to" one).
void Emitter::extract(const Extract& e) {
    if (isCharacter(e.source->type))
        fail(30076, "invalid extract field for extract source");
    m_out += e.source->type == OracleType::Date ? "ORA_EXTRACT_DATE(" : "ORA_EXTRACT(";
    m_out += quoteText(e.field);
    m_out += ", ";
    expr(*e.source);
    m_out += ')';
}

// TRIM as SQLite's TRIM, LTRIM or RTRIM; a result with nothing left is
// NULL, as Oracle has no empty text. A trim character given goes through
// ORA_TRIM, which takes exactly one (ORA-30001), where SQLite's would take
// a set.
void Emitter::trim(const Trim& t) {
    m_out += "NULLIF(";
    if (t.character) {
        m_out += "ORA_TRIM(";
        expr(*t.source);
        m_out += t.side == Trim::Side::Leading    ? ", 'LEADING', "
                 : t.side == Trim::Side::Trailing ? ", 'TRAILING', "
                                                  : ", 'BOTH', ";
        expr(*t.character);
        m_out += "), '')";
        return;
    }
    m_out += t.side == Trim::Side::Leading    ? "LTRIM("
             : t.side == Trim::Side::Trailing ? "RTRIM("
                                              : "TRIM(";
    expr(*t.source);
    if (t.character) {
        m_out += ", ";
        expr(*t.character);
    }
    m_out += "), '')";
}

bool isSqliteKeyword(std::string_view upper) {
    static constexpr std::array<std::string_view, 147> kKeywords = {"ABORT",
                                                                    "ACTION",
                                                                    "ADD",
                                                                    "AFTER",
                                                                    "ALL",
                                                                    "ALTER",
                                                                    "ALWAYS",
                                                                    "ANALYZE",
                                                                    "AND",
                                                                    "AS",
                                                                    "ASC",
                                                                    "ATTACH",
                                                                    "AUTOINCREMENT",
                                                                    "BEFORE",
                                                                    "BEGIN",
                                                                    "BETWEEN",
                                                                    "BY",
                                                                    "CASCADE",
                                                                    "CASE",
                                                                    "CAST",
                                                                    "CHECK",
                                                                    "COLLATE",
                                                                    "COLUMN",
                                                                    "COMMIT",
                                                                    "CONFLICT",
                                                                    "CONSTRAINT",
                                                                    "CREATE",
                                                                    "CROSS",
                                                                    "CURRENT",
                                                                    "CURRENT_DATE",
                                                                    "CURRENT_TIME",
                                                                    "CURRENT_TIMESTAMP",
                                                                    "DATABASE",
                                                                    "DEFAULT",
                                                                    "DEFERRABLE",
                                                                    "DEFERRED",
                                                                    "DELETE",
                                                                    "DESC",
                                                                    "DETACH",
                                                                    "DISTINCT",
                                                                    "DO",
                                                                    "DROP",
                                                                    "EACH",
                                                                    "ELSE",
                                                                    "END",
                                                                    "ESCAPE",
                                                                    "EXCEPT",
                                                                    "EXCLUDE",
                                                                    "EXCLUSIVE",
                                                                    "EXISTS",
                                                                    "EXPLAIN",
                                                                    "FAIL",
                                                                    "FILTER",
                                                                    "FIRST",
                                                                    "FOLLOWING",
                                                                    "FOR",
                                                                    "FOREIGN",
                                                                    "FROM",
                                                                    "FULL",
                                                                    "GENERATED",
                                                                    "GLOB",
                                                                    "GROUP",
                                                                    "GROUPS",
                                                                    "HAVING",
                                                                    "IF",
                                                                    "IGNORE",
                                                                    "IMMEDIATE",
                                                                    "IN",
                                                                    "INDEX",
                                                                    "INDEXED",
                                                                    "INITIALLY",
                                                                    "INNER",
                                                                    "INSERT",
                                                                    "INSTEAD",
                                                                    "INTERSECT",
                                                                    "INTO",
                                                                    "IS",
                                                                    "ISNULL",
                                                                    "JOIN",
                                                                    "KEY",
                                                                    "LAST",
                                                                    "LEFT",
                                                                    "LIKE",
                                                                    "LIMIT",
                                                                    "MATCH",
                                                                    "MATERIALIZED",
                                                                    "NATURAL",
                                                                    "NO",
                                                                    "NOT",
                                                                    "NOTHING",
                                                                    "NOTNULL",
                                                                    "NULL",
                                                                    "NULLS",
                                                                    "OF",
                                                                    "OFFSET",
                                                                    "ON",
                                                                    "OR",
                                                                    "ORDER",
                                                                    "OTHERS",
                                                                    "OUTER",
                                                                    "OVER",
                                                                    "PARTITION",
                                                                    "PLAN",
                                                                    "PRAGMA",
                                                                    "PRECEDING",
                                                                    "PRIMARY",
                                                                    "QUERY",
                                                                    "RAISE",
                                                                    "RANGE",
                                                                    "RECURSIVE",
                                                                    "REFERENCES",
                                                                    "REGEXP",
                                                                    "REINDEX",
                                                                    "RELEASE",
                                                                    "RENAME",
                                                                    "REPLACE",
                                                                    "RESTRICT",
                                                                    "RETURNING",
                                                                    "RIGHT",
                                                                    "ROLLBACK",
                                                                    "ROW",
                                                                    "ROWS",
                                                                    "SAVEPOINT",
                                                                    "SELECT",
                                                                    "SET",
                                                                    "TABLE",
                                                                    "TEMP",
                                                                    "TEMPORARY",
                                                                    "THEN",
                                                                    "TIES",
                                                                    "TO",
                                                                    "TRANSACTION",
                                                                    "TRIGGER",
                                                                    "UNBOUNDED",
                                                                    "UNION",
                                                                    "UNIQUE",
                                                                    "UPDATE",
                                                                    "USING",
                                                                    "VACUUM",
                                                                    "VALUES",
                                                                    "VIEW",
                                                                    "VIRTUAL",
                                                                    "WHEN",
                                                                    "WHERE",
                                                                    "WINDOW",
                                                                    "WITH",
                                                                    "WITHOUT"};
    // Every name the statement writes is looked up: by hash, not by
    // comparing the name with half a dozen keywords.
    static const std::unordered_set<std::string_view> kSet(kKeywords.begin(), kKeywords.end());
    return kSet.count(upper) > 0;
}

}  // namespace localengine::dialect
