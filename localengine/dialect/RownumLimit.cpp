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

// Sets `limit` when `c` is one of the limit's forms.
bool takeLimit(const Expr& c, RownumLimit& limit) {
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
    const bool one = bound->kind == ExprKind::Literal && bound->as<Literal>().text == "1";
    if (op == CompareOp::LessEqual || op == CompareOp::Less || (op == CompareOp::Equal && one)) {
        limit.bounds.push_back({bound, op == CompareOp::Less});
        return true;
    }
    return false;
}

}  // namespace

std::optional<std::int64_t> RownumLimit::rows() const {
    std::optional<std::int64_t> smallest;
    for (const Bound& b : bounds) {
        if (b.value->kind == ExprKind::BindParameter)
            return std::nullopt;
        const bool negative =
            b.value->kind == ExprKind::Unary && b.value->as<Unary>().op == UnaryOp::Negate;
        const Expr& number =
            b.value->kind == ExprKind::Unary ? *b.value->as<Unary>().operand : *b.value;
        double n = std::strtod(number.as<Literal>().text.c_str(), nullptr);
        if (negative)
            n = -n;
        // ROWNUM <= 2.5 lets rows 1 and 2 through; ROWNUM < 2.5 as well.
        double rows = b.lessThan ? std::ceil(n) - 1 : std::floor(n);
        if (!(rows > 0))
            rows = 0;
        const auto count = static_cast<std::int64_t>(std::min(rows, 9.2e18));
        if (!smallest || count < *smallest)
            smallest = count;
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
