#include "AstWalk.h"

namespace localengine::dialect {

namespace {

void visitOrder(std::vector<OrderItem>& items, FunctionRef<void(ExprPtr&)> visit) {
    for (OrderItem& o : items)
        visit(o.expr);
}

void visitAll(std::vector<ExprPtr>& list, FunctionRef<void(ExprPtr&)> visit) {
    for (ExprPtr& e : list)
        visit(e);
}

void visitFunction(FunctionCall& f, FunctionRef<void(ExprPtr&)> visit) {
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
        visit(f.over->frame->start.offset);
    if (f.over->frame->end && f.over->frame->end->offset)
        visit(f.over->frame->end->offset);
}

}  // namespace

void forEachChildSlot(Expr& e, FunctionRef<void(ExprPtr&)> visit) {
    auto one = [&](ExprPtr& child) {
        if (child)
            visit(child);
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
            for (WhenClause& w : e.as<Case>().whens) {
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

void forEachChild(const Expr& e, FunctionRef<void(const Expr&)> visit) {
    // The walk changes nothing: it only lends the children out, read-only.
    forEachChildSlot(const_cast<Expr&>(e), [&](ExprPtr& child) { visit(*child); });
}

void forEachSubquery(Expr& e, FunctionRef<void(Query&)> visit) {
    switch (e.kind) {
        case ExprKind::QuantifiedComparison:
            if (e.as<QuantifiedComparison>().subquery)
                visit(*e.as<QuantifiedComparison>().subquery);
            break;
        case ExprKind::InSubquery:
            visit(*e.as<InSubquery>().query);
            break;
        case ExprKind::Exists:
            visit(*e.as<Exists>().query);
            break;
        case ExprKind::ScalarSubquery:
            visit(*e.as<ScalarSubquery>().query);
            break;
        default:
            break;
    }
}

}  // namespace localengine::dialect
