// Oracle's SQL/JSON functions over SQLite's JSON functions (json_valid,
// json_type, json_extract, ->, json_object, json_group_array) and the
// engine's ORA_JSON_VALUE. The parser (ParseJson.cpp) has put each
// function's clauses into trailing text arguments.
//
// Paths: the part of Oracle's path language SQLite reads the same way
// ($, .name, ."name", [n]); wildcards, filters, ranges and item methods
// are refused.

#include "Emitter.h"
#include "Error.h"

#include <cctype>

namespace localengine::dialect {

namespace {

const std::string& textOf(const Expr& e) {
    return e.as<Literal>().text;
}

bool simplePath(std::string_view p) {
    if (p.empty() || p.front() != '$')
        return false;
    std::size_t at = 1;
    while (at < p.size()) {
        if (p[at] == '.') {
            ++at;
            if (at < p.size() && p[at] == '"') {
                const std::size_t close = p.find('"', at + 1);
                if (close == std::string_view::npos || close == at + 1)
                    return false;
                at = close + 1;
                continue;
            }
            const std::size_t start = at;
            while (at < p.size() && (std::isalnum(static_cast<unsigned char>(p[at])) ||
                                     p[at] == '_' || p[at] == '$'))
                ++at;
            if (at == start)
                return false;
        } else if (p[at] == '[') {
            const std::size_t start = ++at;
            while (at < p.size() && p[at] >= '0' && p[at] <= '9')
                ++at;
            if (at == start || at >= p.size() || p[at] != ']')
                return false;
            ++at;
        } else {
            return false;
        }
    }
    return true;
}

}  // namespace

bool Emitter::jsonFunction(const FunctionCall& f) {
    if (f.name.size() != 1 || f.name.front().quoted)
        return false;
    const std::string& name = f.functionName();
    if (name == "JSON_OBJECT") {
        m_out += "JSON_OBJECT(";
        for (std::size_t i = 0; i < f.args.size(); ++i) {
            if (i)
                m_out += ", ";
            const Expr& a = *f.args[i];
            if (i % 2 == 1 && isDatetime(a.type)) {
                // Dates and timestamps as ISO 8601 text, as Oracle writes them.
                m_out += "REPLACE(";
                expr(a);
                m_out += ", ' ', 'T')";
            } else {
                expr(a);
            }
        }
        m_out += ')';
        return true;
    }
    if (name == "JSON_ARRAYAGG" && f.args.size() == 2) {
        const std::string value = capture([&] { expr(*f.args[0]); });
        m_out += "JSON_GROUP_ARRAY(" + value + ')';
        if (textOf(*f.args[1]) == "ABSENT")
            m_out += " FILTER (WHERE " + value + " IS NOT NULL)";
        return true;
    }
    if (name == "JSON_VALUE") {
        m_out += "ORA_JSON_VALUE(";
        exprList(f.args);
        m_out += ')';
        return true;
    }
    if (name != "JSON_QUERY" && name != "JSON_EXISTS")
        return false;
    const std::string& path = textOf(*f.args[1]);
    if (!simplePath(path))
        unsupported(name + " with the path '" + path + "'");
    const std::string doc = capture([&] { expr(*f.args[0]); });
    const std::string p = quoteText(path);
    const std::string type = "JSON_TYPE(" + doc + ", " + p + ')';
    if (name == "JSON_EXISTS") {
        // A document that is not JSON is an error: FALSE (or TRUE) ON ERROR.
        m_out += "CASE WHEN JSON_VALID(" + doc + ") THEN " + type + " IS NOT NULL WHEN " + doc +
                 " IS NOT NULL THEN " + (textOf(*f.args[2]) == "TRUE" ? "1" : "0") + " ELSE 0 END";
        return true;
    }
    const std::string& wrapper = textOf(*f.args[2]);
    const std::string& onError = textOf(*f.args[3]);
    const std::string error = onError == "EMPTY"          ? "'[]'"
                              : onError == "EMPTY OBJECT" ? "'{}'"
                                                          : "NULL";
    const std::string structured = type + " IN ('object', 'array')";
    const std::string wrapped = "'[' || (" + doc + " -> " + p + ") || ']'";
    // A missing field is an error too, handled by ON ERROR (no ON EMPTY).
    m_out +=
        "CASE WHEN " + doc + " IS NULL THEN NULL WHEN NOT JSON_VALID(" + doc + ") THEN " + error;
    if (wrapper == "UNCONDITIONAL") {
        m_out += " WHEN " + type + " IS NOT NULL THEN " + wrapped;
    } else {
        m_out += " WHEN " + structured + " THEN JSON_EXTRACT(" + doc + ", " + p + ')';
        // A scalar: wrapped with CONDITIONAL WRAPPER, else an error.
        m_out +=
            " WHEN " + type + " IS NOT NULL THEN " + (wrapper == "CONDITIONAL" ? wrapped : error);
    }
    m_out += " ELSE " + error + " END";
    return true;
}

}  // namespace localengine::dialect
