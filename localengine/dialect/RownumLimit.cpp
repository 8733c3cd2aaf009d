#include "RownumLimit.h"

#include "Emitter.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace localengine::dialect {

namespace {

bool isRownum(const Expr& e) {
    return e.kind == ExprKind::PseudoColumn && e.as<PseudoColumn>().which == Pseudo::Rownum;
}

bool isNumber(const Expr& e) {
    return e.kind == ExprKind::Literal && e.as<Literal>().form == Literal::Form::Number;
}

// A number literal, signed or not, or a bind parameter.
bool isBound(const Expr& e) {
    if (e.kind == ExprKind::Unary &&
        (e.as<Unary>().op == UnaryOp::Negate || e.as<Unary>().op == UnaryOp::Plus))
        return isNumber(*e.as<Unary>().operand);
    return e.kind == ExprKind::BindParameter || isNumber(e);
}

// ROWNUM op n written either way round: op as if ROWNUM stood left.
CompareOp mirrored(CompareOp op) {
    switch (op) {
        case CompareOp::Less:
            return CompareOp::Greater;
        case CompareOp::LessEqual:
            return CompareOp::GreaterEqual;
        case CompareOp::Greater:
            return CompareOp::Less;
        case CompareOp::GreaterEqual:
            return CompareOp::LessEqual;
        default:
            return op;
    }
}

// The value of a signed or unsigned number literal.
std::optional<double> numberValue(const Expr& e) {
    if (isNumber(e))
        return std::strtod(e.as<Literal>().text.c_str(), nullptr);
    if (e.kind == ExprKind::Unary && isNumber(*e.as<Unary>().operand)) {
        const double n = std::strtod(e.as<Unary>().operand->as<Literal>().text.c_str(), nullptr);
        return e.as<Unary>().op == UnaryOp::Negate ? -n : n;
    }
    return std::nullopt;
}

constexpr double kEveryRow = 9.2e18;

// The rows let through by ROWNUM op n: the numbers 1, 2 ... up to the
// first that the comparison rejects.
double rowsPassing(CompareOp op, double n) {
    switch (op) {
        case CompareOp::LessEqual:
            return std::floor(n);
        case CompareOp::Less:
            return std::ceil(n) - 1;
        case CompareOp::Equal:
            return n == 1 ? 1 : 0;
        case CompareOp::Greater:
            return n < 1 ? kEveryRow : 0;
        case CompareOp::GreaterEqual:
            return n <= 1 ? kEveryRow : 0;
        case CompareOp::NotEqual:
            return n >= 1 && std::floor(n) == n ? n - 1 : kEveryRow;
    }
    return kEveryRow;
}

void addRows(RownumLimit& limit, double rows) {
    if (rows >= kEveryRow)
        return;  // true for every row: no limit
    if (!(rows > 0))
        rows = 0;
    limit.bounds.push_back({nullptr, false, static_cast<std::int64_t>(rows)});
}

// Sets `limit` when `c` is one of the limit's forms.
bool takeLimit(const Expr& c, RownumLimit& limit) {
    if (c.kind == ExprKind::Between) {
        const Between& b = c.as<Between>();
        if (b.negated || !isRownum(*b.operand))
            return false;
        const std::optional<double> low = numberValue(*b.low), high = numberValue(*b.high);
        if (!low || !high)
            return false;
        addRows(limit, *low <= 1 ? std::max(0.0, std::floor(*high)) : 0);
        return true;
    }
    if (c.kind != ExprKind::Comparison)
        return false;
    const Comparison& cmp = c.as<Comparison>();
    const Expr* bound = nullptr;
    CompareOp op = cmp.op;
    if (isRownum(*cmp.left) && isBound(*cmp.right)) {
        bound = cmp.right.get();
    } else if (isRownum(*cmp.right) && isBound(*cmp.left)) {
        bound = cmp.left.get();
        op = mirrored(op);
    } else {
        return false;
    }
    if (bound->kind == ExprKind::BindParameter) {
        if (op != CompareOp::LessEqual && op != CompareOp::Less)
            return false;
        limit.bounds.push_back({bound, op == CompareOp::Less, 0});
        return true;
    }
    addRows(limit, rowsPassing(op, *numberValue(*bound)));
    return true;
}

}  // namespace

std::optional<std::int64_t> RownumLimit::rows() const {
    std::optional<std::int64_t> smallest;
    for (const Bound& b : bounds) {
        if (b.value)
            return std::nullopt;
        if (!smallest || b.rows < *smallest)
            smallest = b.rows;
    }
    return smallest;
}

RownumLimit findRownumLimit(const SelectBlock& b) {
    RownumLimit limit;
    std::vector<const Expr*> conditions;
    splitConjuncts(b.where.get(), conditions);
    for (const Expr* c : conditions)
        if (!takeLimit(*c, limit))
            limit.rest.push_back(c);
    return limit;
}

}  // namespace localengine::dialect
