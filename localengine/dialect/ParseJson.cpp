// Oracle's SQL/JSON functions and the IS JSON condition. Their clauses
// (RETURNING, WRAPPER, ON ERROR, KEY ... VALUE, FORMAT JSON) are read here
// and kept as trailing text arguments of a FunctionCall, in a fixed order
// the emitter reads back (EmitJson.cpp):
//   JSON_VALUE(doc, path, 'VARCHAR2'|'NUMBER', 'NULL'|'ERROR'|'DEFAULT'[, default])
//   JSON_QUERY(doc, path, 'WITHOUT'|'UNCONDITIONAL'|'CONDITIONAL', 'NULL'|'EMPTY'|'EMPTY OBJECT')
//   JSON_EXISTS(doc, path, 'FALSE'|'TRUE')
//   JSON_OBJECT(key, value, ...)         a FORMAT JSON value as JSON(value)
//   JSON_ARRAYAGG(value, 'ABSENT'|'NULL')
// What the engine cannot do as Oracle does (ERROR ON ERROR in JSON_QUERY,
// ABSENT ON NULL in JSON_OBJECT, ORDER BY in JSON_ARRAYAGG, STRICT) is
// refused here with ORA-03001.

#include "Error.h"
#include "Parser.h"

#include <algorithm>

namespace localengine::dialect {

namespace {

ExprPtr textArgument(std::string text) {
    auto l = std::make_unique<Literal>();
    l->form = Literal::Form::Text;
    l->text = std::move(text);
    return l;
}

std::uint32_t tallestArgument(const FunctionCall& f) {
    std::uint32_t h = 0;
    for (const ExprPtr& e : f.args)
        h = std::max(h, heightOf(e));
    return h;
}

}  // namespace

bool Parser::atJsonFunction() const {
    return atOperator("(", 1) &&
           (at("JSON_VALUE") || at("JSON_QUERY") || at("JSON_EXISTS") || at("JSON_OBJECT") ||
            at("JSON_ARRAYAGG") || at("JSON_TABLE") || at("JSON_ARRAY") || at("JSON_OBJECTAGG"));
}

// RETURNING type: the words of the type, upper case.
std::string Parser::jsonReturning() {
    if (!accept("RETURNING"))
        return {};
    const TypeName type = typeName();
    return type.words.front();
}

ExprPtr Parser::jsonFunction(std::uint32_t first) {
    const std::string name = upperAscii(advance().text);
    expectOperator("(");
    auto node = std::make_unique<FunctionCall>();
    node->name.push_back(Identifier{name, false});
    if (name == "JSON_TABLE" || name == "JSON_ARRAY" || name == "JSON_OBJECTAGG")
        unsupported(name);
    if (name == "JSON_OBJECT") {
        jsonObjectArguments(*node);
    } else if (name == "JSON_ARRAYAGG") {
        jsonArrayaggArguments(*node);
    } else {
        // JSON_VALUE, JSON_QUERY, JSON_EXISTS: document, path, clauses.
        node->args.push_back(expression());
        if (accept("FORMAT"))
            expect("JSON");
        expectOperator(",");
        if (peek().kind != TokenKind::Text)
            unsupported(name + " with a path that is not a text literal");
        node->args.push_back(primary());
        if (at("PASSING"))
            unsupported(name + " ... PASSING");
        if (name == "JSON_VALUE")
            jsonValueClauses(*node);
        else if (name == "JSON_QUERY")
            jsonQueryClauses(*node);
        else
            jsonExistsClauses(*node);
    }
    expectOperator(")");
    const std::uint32_t h = tallestArgument(*node);
    auto call = finish(std::move(node), first, h);
    if (at("OVER"))
        unsupported(name + " as an analytic function");
    return call;
}

// [KEY] key VALUE value [FORMAT JSON] | key : value, ... [NULL ON NULL] [RETURNING ...]
void Parser::jsonObjectArguments(FunctionCall& call) {
    while (!atOperator(")")) {
        if (at("KEY") && !atOperator(",", 1) && !atOperator(":", 1))
            advance();
        call.args.push_back(additive(nullptr));
        if (!acceptOperator(":"))
            expect("VALUE");
        ExprPtr value = additive(nullptr);
        if (accept("FORMAT")) {
            expect("JSON");
            auto json = std::make_unique<FunctionCall>();
            json->name.push_back(Identifier{"JSON", false});
            json->args.push_back(std::move(value));
            value = std::move(json);
        }
        call.args.push_back(std::move(value));
        if (!acceptOperator(","))
            break;
    }
    if (at("ABSENT"))
        unsupported("JSON_OBJECT ... ABSENT ON NULL");
    if (accept("NULL")) {
        expect("ON");
        expect("NULL");
    }
    const std::string returning = jsonReturning();
    if (!returning.empty() && returning != "VARCHAR2" && returning != "CLOB")
        unsupported("JSON_OBJECT RETURNING " + returning);
    if (at("STRICT") || at("WITH"))
        unsupported("JSON_OBJECT " + upperAscii(peek().text));
}

// value [FORMAT JSON] [NULL|ABSENT ON NULL] [RETURNING ...]
void Parser::jsonArrayaggArguments(FunctionCall& call) {
    call.args.push_back(expression());
    if (accept("FORMAT"))
        expect("JSON");
    if (at("ORDER"))
        unsupported("JSON_ARRAYAGG ... ORDER BY");
    std::string nulls = "ABSENT";
    if (at("NULL") || at("ABSENT")) {
        nulls = upperAscii(advance().text);
        expect("ON");
        expect("NULL");
    }
    const std::string returning = jsonReturning();
    if (!returning.empty() && returning != "VARCHAR2" && returning != "CLOB")
        unsupported("JSON_ARRAYAGG RETURNING " + returning);
    call.args.push_back(textArgument(nulls));
}

// [RETURNING VARCHAR2|NUMBER] [NULL|ERROR|DEFAULT x ON ERROR] [NULL ON EMPTY]
void Parser::jsonValueClauses(FunctionCall& call) {
    std::string returning = jsonReturning();
    if (returning.empty() || returning == "VARCHAR2" || returning == "VARCHAR")
        returning = "VARCHAR2";
    else if (returning != "NUMBER")
        unsupported("JSON_VALUE RETURNING " + returning);
    std::string onError = "NULL";
    ExprPtr defaultValue;
    bool nullOnEmpty = false;
    for (int clause = 0; clause < 2; ++clause) {
        std::string handling;
        ExprPtr value;
        if (accept("DEFAULT")) {
            handling = "DEFAULT";
            value = additive(nullptr);
        } else if (at("NULL") || at("ERROR")) {
            handling = upperAscii(advance().text);
        } else {
            break;
        }
        expect("ON");
        if (accept("EMPTY")) {
            // Without ON EMPTY, ON ERROR handles a missing field too;
            // NULL ON EMPTY is that only beside NULL ON ERROR.
            if (handling != "NULL")
                unsupported("JSON_VALUE ... " + handling + " ON EMPTY");
            nullOnEmpty = true;
            continue;
        }
        expect("ERROR");
        onError = handling;
        defaultValue = std::move(value);
    }
    if (nullOnEmpty && onError != "NULL")
        unsupported("JSON_VALUE ... NULL ON EMPTY with " + onError + " ON ERROR");
    call.args.push_back(textArgument(returning));
    call.args.push_back(textArgument(onError));
    if (defaultValue)
        call.args.push_back(std::move(defaultValue));
}

// [RETURNING ...] [WITH|WITHOUT [..] WRAPPER] [NULL|EMPTY [ARRAY|OBJECT] ON ERROR]
void Parser::jsonQueryClauses(FunctionCall& call) {
    const std::string returning = jsonReturning();
    if (!returning.empty() && returning != "VARCHAR2" && returning != "CLOB")
        unsupported("JSON_QUERY RETURNING " + returning);
    if (at("PRETTY") || at("ASCII"))
        unsupported("JSON_QUERY ... " + upperAscii(peek().text));
    std::string wrapper = "WITHOUT";
    if (accept("WITHOUT")) {
        accept("ARRAY");
        expect("WRAPPER");
    } else if (accept("WITH")) {
        wrapper = "UNCONDITIONAL";
        if (accept("CONDITIONAL"))
            wrapper = "CONDITIONAL";
        else
            accept("UNCONDITIONAL");
        accept("ARRAY");
        expect("WRAPPER");
    }
    std::string onError = "NULL";
    if (at("ERROR"))
        unsupported("JSON_QUERY ... ERROR ON ERROR");
    if (accept("EMPTY")) {
        onError = "EMPTY";
        if (accept("OBJECT"))
            onError = "EMPTY OBJECT";
        else
            accept("ARRAY");
        expect("ON");
        expect("ERROR");
    } else if (accept("NULL")) {
        expect("ON");
        expect("ERROR");
    }
    if (at("NULL") || at("EMPTY") || at("ERROR"))
        unsupported("JSON_QUERY ... ON EMPTY");
    call.args.push_back(textArgument(wrapper));
    call.args.push_back(textArgument(onError));
}

// [TRUE|FALSE ON ERROR]
void Parser::jsonExistsClauses(FunctionCall& call) {
    std::string onError = "FALSE";
    if (at("TRUE") || at("FALSE")) {
        onError = upperAscii(advance().text);
        expect("ON");
        expect("ERROR");
    } else if (at("ERROR")) {
        unsupported("JSON_EXISTS ... ERROR ON ERROR");
    }
    call.args.push_back(textArgument(onError));
}

// operand IS [NOT] JSON [LAX] [WITHOUT UNIQUE KEYS]: ORA_IS_JSON(operand)
// compared with 1 (0 for IS NOT JSON); a NULL operand satisfies neither.
ExprPtr Parser::jsonCondition(ExprPtr operand, bool negated, std::uint32_t first) {
    expect("JSON");
    if (at("STRICT"))
        unsupported("IS JSON STRICT");
    accept("LAX");
    if (accept("WITHOUT")) {
        expect("UNIQUE");
        expect("KEYS");
    } else if (at("WITH") && at("UNIQUE", 1)) {
        unsupported("IS JSON WITH UNIQUE KEYS");
    }
    auto call = std::make_unique<FunctionCall>();
    call->name.push_back(Identifier{"ORA_IS_JSON", false});
    const std::uint32_t h = heightOf(operand);
    call->args.push_back(std::move(operand));
    call->firstToken = first;
    call->lastToken = position() ? position() - 1 : 0;
    call->height = h + 1;
    auto one = std::make_unique<Literal>();
    one->form = Literal::Form::Number;
    one->text = negated ? "0" : "1";
    auto node = std::make_unique<Comparison>();
    node->op = CompareOp::Equal;
    node->left = std::move(call);
    node->right = std::move(one);
    return finish(std::move(node), first, h + 1);
}

}  // namespace localengine::dialect
