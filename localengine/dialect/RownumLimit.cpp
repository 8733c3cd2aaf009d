#include "RownumLimit.h"

#include "Emitter.h"

#include <cmath>
#include <cstdlib>

namespace localengine::dialect {

namespace {

bool isRownum(const Expr& e) {
    return e.kind == ExprKind::PseudoColumn && e.as<PseudoColumn>().which == Pseudo::Rownum;
}

bool isBound(const Expr& e) {
    return e.kind == ExprKind::BindParameter ||
           (e.kind == ExprKind::Literal && e.as<Literal>().form == Literal::Form::Number);
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
        limit.bound = bound;
        limit.lessThan = op == CompareOp::Less;
        return true;
    }
    return false;
}

}  // namespace

std::optional<std::int64_t> RownumLimit::rows() const {
    if (!bound || bound->kind != ExprKind::Literal)
        return std::nullopt;
    const double n = std::strtod(bound->as<Literal>().text.c_str(), nullptr);
    // ROWNUM <= 2.5 lets rows 1 and 2 through; ROWNUM < 2.5 as well.
    double rows = lessThan ? std::ceil(n) - 1 : std::floor(n);
    if (!(rows > 0))
        rows = 0;
    if (rows > 9.2e18)
        rows = 9.2e18;
    return static_cast<std::int64_t>(rows);
}

RownumLimit findRownumLimit(const SelectBlock& b) {
    RownumLimit limit;
    std::vector<const Expr*> conditions;
    splitConjuncts(b.where.get(), conditions);
    for (const Expr* c : conditions) {
        if (!limit.found() && takeLimit(*c, limit))
            continue;
        limit.rest.push_back(c);
    }
    return limit;
}

}  // namespace localengine::dialect
