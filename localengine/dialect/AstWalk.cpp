#include "AstWalk.h"

namespace localengine::dialect {

namespace {

void visitOrder(const std::vector<OrderItem>& items,
                const std::function<void(const Expr&)>& visit) {
    for (const OrderItem& o : items)
        visit(*o.expr);
}

void visitAll(const std::vector<ExprPtr>& list, const std::function<void(const Expr&)>& visit) {
    for (const ExprPtr& e : list)
        visit(*e);
}

void visitFunction(const FunctionCall& f, const std::function<void(const Expr&)>& visit) {
    visitAll(f.args, visit);
    visitOrder(f.withinGroup, visit);
    if (f.keep)
        visitOrder(f.keep->orderBy, visit);
    if (!f.over)
        return;
    visitAll(f.over->partitionBy, visit);
    visitOrder(f.over->orderBy, visit);
    if (!f.over->frame)
        return;
    if (f.over->frame->start.offset)
        visit(*f.over->frame->start.offset);
    if (f.over->frame->end && f.over->frame->end->offset)
        visit(*f.over->frame->end->offset);
}

}  // namespace

void forEachChild(const Expr& e, const std::function<void(const Expr&)>& visit) {
    auto one = [&](const ExprPtr& child) {
        if (child)
            visit(*child);
    };
    switch (e.kind) {
        case ExprKind::Unary:
            one(e.as<Unary>().operand);
            break;
        case ExprKind::Binary:
            one(e.as<Binary>().left);
            one(e.as<Binary>().right);
            break;
        case ExprKind::Comparison:
            one(e.as<Comparison>().left);
            one(e.as<Comparison>().right);
            break;
        case ExprKind::QuantifiedComparison:
            one(e.as<QuantifiedComparison>().left);
            visitAll(e.as<QuantifiedComparison>().list, visit);
            break;
        case ExprKind::IsNull:
            one(e.as<IsNull>().operand);
            break;
        case ExprKind::Like:
            one(e.as<Like>().operand);
            one(e.as<Like>().pattern);
            one(e.as<Like>().escape);
            break;
        case ExprKind::Between:
            one(e.as<Between>().operand);
            one(e.as<Between>().low);
            one(e.as<Between>().high);
            break;
        case ExprKind::InList:
            one(e.as<InList>().operand);
            visitAll(e.as<InList>().items, visit);
            break;
        case ExprKind::InSubquery:
            one(e.as<InSubquery>().operand);
            break;
        case ExprKind::Case:
            one(e.as<Case>().operand);
            for (const WhenClause& w : e.as<Case>().whens) {
                one(w.condition);
                one(w.result);
            }
            one(e.as<Case>().otherwise);
            break;
        case ExprKind::FunctionCall:
            visitFunction(e.as<FunctionCall>(), visit);
            break;
        case ExprKind::Cast:
            one(e.as<Cast>().operand);
            break;
        case ExprKind::Extract:
            one(e.as<Extract>().source);
            break;
        case ExprKind::Trim:
            one(e.as<Trim>().character);
            one(e.as<Trim>().source);
            break;
        case ExprKind::Tuple:
            visitAll(e.as<Tuple>().items, visit);
            break;
        default:
            break;
    }
}

}  // namespace localengine::dialect
