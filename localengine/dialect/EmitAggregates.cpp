// Oracle's aggregate forms that SQLite spells otherwise or lacks:
//   LISTAGG(x[, sep] [ON OVERFLOW ...]) WITHIN GROUP (ORDER BY k ...)
//       ORA_LISTAGG_SORTED(x, sep, mode, indicator, with_count, 'order', k ...)
//   LISTAGG(x[, sep]) without WITHIN GROUP
//       ORA_LISTAGG(x, sep, mode, indicator, with_count): the rows' own order
//   f(x) KEEP (DENSE_RANK FIRST|LAST ORDER BY k ...)
//       ORA_KEEP('F', 'FIRST'|'LAST', 'order', x, k ...)
//   RATIO_TO_REPORT(x) OVER (PARTITION BY p)
//       ORA_DIV(x, NULLIF(SUM(x) OVER (PARTITION BY p), 0))
// 'order' gives each key's direction and NULL placement as written
// ("ASC, DESC NULLS LAST"); the functions apply Oracle's default placement.

#include "Emitter.h"
#include "Error.h"

#include <algorithm>
#include <iterator>

namespace localengine::dialect {

namespace {

bool named(const FunctionCall& f, const char* name) {
    return f.name.size() == 1 && !f.name.front().quoted && f.functionName() == name;
}

std::string keyOrder(const std::vector<OrderItem>& items) {
    std::string out;
    for (const OrderItem& o : items) {
        if (!out.empty())
            out += ", ";
        out += o.descending ? "DESC" : "ASC";
        if (o.nulls == NullsOrder::First)
            out += " NULLS FIRST";
        else if (o.nulls == NullsOrder::Last)
            out += " NULLS LAST";
    }
    return out;
}

}  // namespace

bool Emitter::specialAggregate(const FunctionCall& f) {
    if (named(f, "LISTAGG")) {
        listagg(f);
        return true;
    }
    if (f.keep) {
        keep(f);
        return true;
    }
    if (named(f, "RATIO_TO_REPORT")) {
        ratioToReport(f);
        return true;
    }
    if (f.overflow)
        fail(ora::kMissingRightParen, "missing right parenthesis: ON OVERFLOW belongs to LISTAGG");
    return false;
}

void Emitter::orderKeys(const std::vector<OrderItem>& items) {
    m_out += quoteText(keyOrder(items));
    for (const OrderItem& o : items) {
        m_out += ", ";
        expr(*o.expr);
    }
}

void Emitter::listagg(const FunctionCall& f) {
    if (f.args.empty() || f.args.size() > 2 || f.star)
        fail(909, "invalid number of arguments");
    if (f.distinct)
        unsupported("LISTAGG (DISTINCT ...)");
    if (f.over && (!f.over->orderBy.empty() || f.over->frame))
        fail(30487, "ORDER BY not allowed here");
    const ConditionScope plain(*this, false);
    const FunctionCall::Overflow overflow = f.overflow.value_or(FunctionCall::Overflow{});
    m_out += f.hasWithinGroup ? "ORA_LISTAGG_SORTED(" : "ORA_LISTAGG(";
    expr(*f.args[0]);
    m_out += ", ";
    if (f.args.size() > 1)
        expr(*f.args[1]);
    else
        m_out += "NULL";
    m_out += overflow.truncate ? ", 'TRUNCATE', " : ", 'ERROR', ";
    m_out += overflow.indicator ? quoteText(*overflow.indicator) : std::string("'...'");
    m_out += overflow.withCount ? ", 1" : ", 0";
    if (f.hasWithinGroup) {
        m_out += ", ";
        orderKeys(f.withinGroup);
    }
    m_out += ')';
    if (f.over) {
        m_out += " OVER (";
        windowSpec(*f.over);
        m_out += ')';
    }
}

void Emitter::keep(const FunctionCall& f) {
    static const char* const kKept[] = {"MIN", "MAX", "SUM", "AVG", "COUNT", "VARIANCE", "STDDEV"};
    const bool known = f.name.size() == 1 && !f.name.front().quoted &&
                       std::any_of(std::begin(kKept), std::end(kKept),
                                   [&](const char* n) { return f.functionName() == n; });
    if (!known)
        unsupported(f.functionName() + " ... KEEP");
    if (f.distinct)
        unsupported(f.functionName() + " (DISTINCT ...) KEEP");
    if (f.over)
        unsupported(f.functionName() + " ... KEEP (...) OVER");
    if (!f.star && f.args.size() != 1)
        fail(909, "invalid number of arguments");
    const ConditionScope plain(*this, false);
    m_out += "ORA_KEEP('" + f.functionName() + "', '" + (f.keep->last ? "LAST" : "FIRST") + "', ";
    m_out += quoteText(keyOrder(f.keep->orderBy));
    m_out += ", ";
    if (f.star)
        m_out += '1';  // COUNT(*): every row counts
    else
        expr(*f.args[0]);
    for (const OrderItem& o : f.keep->orderBy) {
        m_out += ", ";
        expr(*o.expr);
    }
    m_out += ')';
}

void Emitter::ratioToReport(const FunctionCall& f) {
    if (!f.over)
        fail(ora::kMissingKeyword, "missing keyword: RATIO_TO_REPORT needs OVER");
    if (!f.over->orderBy.empty() || f.over->frame)
        fail(30487, "ORDER BY not allowed here");
    if (f.args.size() != 1 || f.star || f.distinct)
        fail(909, "invalid number of arguments");
    const ConditionScope plain(*this, false);
    m_out += "ORA_DIV(";
    expr(*f.args[0]);
    m_out += ", NULLIF(SUM(";
    expr(*f.args[0]);
    m_out += ") OVER (";
    windowSpec(*f.over);
    m_out += "), 0))";
}

}  // namespace localengine::dialect
