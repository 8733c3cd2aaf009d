#include "PlanDisplayCall.h"

#include "Error.h"

namespace localengine::dialect {

namespace {

bool namesDisplay(const QualifiedName& name) {
    const std::size_t n = name.size();
    if (n < 2 || n > 3)
        return false;
    if (n == 3 && !(name[0].name == "SYS" || name[0].name == "PUBLIC"))
        return false;
    return name[n - 2].name == "DBMS_XPLAN" && name[n - 1].name == "DISPLAY";
}

// TABLE_NAME, STATEMENT_ID, FORMAT and FILTER_PREDS.
constexpr std::size_t kParameters = 4;

}  // namespace

bool isPlanDisplay(const Expr& e) {
    if (e.kind == ExprKind::ColumnRef)
        return namesDisplay(e.as<ColumnRef>().parts);
    if (e.kind == ExprKind::FunctionCall) {
        const auto& call = e.as<FunctionCall>();
        return namesDisplay(call.name) && !call.over && !call.star && !call.distinct;
    }
    return false;
}

std::vector<const Expr*> planDisplayArguments(const Expr& e) {
    std::vector<const Expr*> out;
    if (e.kind != ExprKind::FunctionCall)
        return out;
    const auto& call = e.as<FunctionCall>();
    if (call.args.size() > kParameters)
        fail(6553, "PLS-306: wrong number or types of arguments in call to 'DISPLAY'");
    for (const ExprPtr& a : call.args)
        out.push_back(a.get());
    return out;
}

}  // namespace localengine::dialect
