// Expressions and conditions. Each level takes an optional `seed`: an
// operand already read (a parenthesised query that turned out to be the
// start of an expression), which then stands where its first primary would.

#include "Error.h"
#include "Keywords.h"
#include "NestingGuard.h"
#include "Parser.h"

#include <algorithm>

namespace localengine::dialect {

namespace {

template <typename T>
std::unique_ptr<T> make() {
    return std::make_unique<T>();
}

std::uint32_t tallest(std::initializer_list<std::uint32_t> heights) {
    return std::max(heights);
}

std::uint32_t tallest(const std::vector<ExprPtr>& list) {
    std::uint32_t h = 0;
    for (const ExprPtr& e : list)
        h = std::max(h, heightOf(e));
    return h;
}

std::uint32_t tallest(const std::vector<OrderItem>& list) {
    std::uint32_t h = 0;
    for (const OrderItem& o : list)
        h = std::max(h, heightOf(o.expr));
    return h;
}

}  // namespace

std::vector<ExprPtr> Parser::expressionList() {
    std::vector<ExprPtr> list;
    do
        list.push_back(expression());
    while (acceptOperator(","));
    return list;
}

ExprPtr Parser::orCondition(ExprPtr seed) {
    const std::uint32_t first = seed ? seed->firstToken : position();
    ExprPtr left = andCondition(std::move(seed));
    while (accept("OR")) {
        auto node = make<Binary>();
        node->op = BinaryOp::Or;
        node->left = std::move(left);
        node->right = andCondition(nullptr);
        const std::uint32_t h = tallest({heightOf(node->left), heightOf(node->right)});
        left = finish(std::move(node), first, h);
    }
    return left;
}

ExprPtr Parser::andCondition(ExprPtr seed) {
    const std::uint32_t first = seed ? seed->firstToken : position();
    ExprPtr left = notCondition(std::move(seed));
    while (accept("AND")) {
        auto node = make<Binary>();
        node->op = BinaryOp::And;
        node->left = std::move(left);
        node->right = notCondition(nullptr);
        const std::uint32_t h = tallest({heightOf(node->left), heightOf(node->right)});
        left = finish(std::move(node), first, h);
    }
    return left;
}

ExprPtr Parser::notCondition(ExprPtr seed) {
    if (seed || !at("NOT"))
        return predicate(std::move(seed));
    const NestingGuard guard(*this);
    const std::uint32_t first = position();
    advance();
    auto node = make<Unary>();
    node->op = UnaryOp::Not;
    node->operand = notCondition(nullptr);
    const std::uint32_t h = heightOf(node->operand);
    return finish(std::move(node), first, h);
}

bool Parser::atComparisonOperator(CompareOp& op) const {
    const Token& t = peek();
    if (t.kind != TokenKind::Operator)
        return false;
    if (t.text == "=")
        op = CompareOp::Equal;
    else if (t.text == "<>" || t.text == "!=" || t.text == "^=" || t.text == "~=")
        op = CompareOp::NotEqual;
    else if (t.text == "<")
        op = CompareOp::Less;
    else if (t.text == "<=")
        op = CompareOp::LessEqual;
    else if (t.text == ">")
        op = CompareOp::Greater;
    else if (t.text == ">=")
        op = CompareOp::GreaterEqual;
    else
        return false;
    return true;
}

// One comparison or predicate over additive operands; they do not chain.
ExprPtr Parser::predicate(ExprPtr seed) {
    const std::uint32_t first = seed ? seed->firstToken : position();
    ExprPtr left = additive(std::move(seed));
    CompareOp op;
    if (atComparisonOperator(op)) {
        advance();
        return comparison(std::move(left), op);
    }
    const bool negated = at("NOT") && (at("IN", 1) || at("BETWEEN", 1) || at("LIKE", 1) ||
                                       at("LIKEC", 1) || at("LIKE2", 1) || at("LIKE4", 1));
    if (negated)
        advance();
    if (accept("IN"))
        return inPredicate(std::move(left), negated);
    if (at("LIKE") || at("LIKEC") || at("LIKE2") || at("LIKE4"))
        return likePredicate(std::move(left), negated);
    if (accept("BETWEEN")) {
        auto node = make<Between>();
        node->negated = negated;
        node->operand = std::move(left);
        node->low = additive(nullptr);
        expect("AND");
        node->high = additive(nullptr);
        const std::uint32_t h =
            tallest({heightOf(node->operand), heightOf(node->low), heightOf(node->high)});
        return finish(std::move(node), first, h);
    }
    if (accept("IS")) {
        auto node = make<IsNull>();
        node->negated = accept("NOT");
        if (at("JSON"))
            return jsonCondition(std::move(left), node->negated, first);
        if (!accept("NULL")) {
            if (at("NAN") || at("INFINITE") || at("EMPTY") || at("A") || at("OF") || at("PRESENT"))
                unsupported("IS " + upperAscii(peek().text) + " condition");
            fail(ora::kMissingKeyword, "missing keyword" + near());
        }
        node->operand = std::move(left);
        const std::uint32_t h = heightOf(node->operand);
        return finish(std::move(node), first, h);
    }
    return left;
}

ExprPtr Parser::comparison(ExprPtr left, CompareOp op) {
    const std::uint32_t first = left->firstToken;
    if (at("ANY") || at("SOME") || at("ALL")) {
        auto node = make<QuantifiedComparison>();
        node->op = op;
        node->all = at("ALL");
        advance();
        node->left = std::move(left);
        if (!atOperator("("))
            fail(ora::kMissingLeftParen, "missing left parenthesis" + near());
        if (leadsToQuery()) {
            node->subquery = queryInParentheses();
        } else {
            expectOperator("(");
            node->list = expressionList();
            expectOperator(")");
        }
        const std::uint32_t h =
            tallest({heightOf(node->left), heightOf(node->subquery), tallest(node->list)});
        return finish(std::move(node), first, h);
    }
    auto node = make<Comparison>();
    node->op = op;
    node->left = std::move(left);
    node->right = additive(nullptr);
    const std::uint32_t h = tallest({heightOf(node->left), heightOf(node->right)});
    return finish(std::move(node), first, h);
}

ExprPtr Parser::inPredicate(ExprPtr left, bool negated) {
    const std::uint32_t first = left->firstToken;
    if (!atOperator("("))
        fail(ora::kMissingLeftParen, "missing left parenthesis" + near());
    if (leadsToQuery()) {
        auto node = make<InSubquery>();
        node->negated = negated;
        node->operand = std::move(left);
        node->query = queryInParentheses();
        const std::uint32_t h = tallest({heightOf(node->operand), heightOf(node->query)});
        return finish(std::move(node), first, h);
    }
    auto node = make<InList>();
    node->negated = negated;
    node->operand = std::move(left);
    expectOperator("(");
    node->items = expressionList();
    expectOperator(")");
    const std::uint32_t h = tallest({heightOf(node->operand), tallest(node->items)});
    return finish(std::move(node), first, h);
}

ExprPtr Parser::likePredicate(ExprPtr left, bool negated) {
    const std::uint32_t first = left->firstToken;
    auto node = make<Like>();
    node->variant = upperAscii(advance().text);
    node->negated = negated;
    node->operand = std::move(left);
    node->pattern = additive(nullptr);
    if (accept("ESCAPE"))
        node->escape = additive(nullptr);
    const std::uint32_t h =
        tallest({heightOf(node->operand), heightOf(node->pattern), heightOf(node->escape)});
    return finish(std::move(node), first, h);
}

ExprPtr Parser::additive(ExprPtr seed) {
    const std::uint32_t first = seed ? seed->firstToken : position();
    ExprPtr left = multiplicative(std::move(seed));
    while (atOperator("+") || atOperator("-") || atOperator("||")) {
        auto node = make<Binary>();
        const std::string& op = advance().text;
        node->op = op == "+"   ? BinaryOp::Add
                   : op == "-" ? BinaryOp::Subtract
                               : BinaryOp::Concatenate;
        node->left = std::move(left);
        node->right = multiplicative(nullptr);
        const std::uint32_t h = tallest({heightOf(node->left), heightOf(node->right)});
        left = finish(std::move(node), first, h);
    }
    return left;
}

ExprPtr Parser::multiplicative(ExprPtr seed) {
    const std::uint32_t first = seed ? seed->firstToken : position();
    ExprPtr left = unary(std::move(seed));
    while (atOperator("*") || atOperator("/")) {
        auto node = make<Binary>();
        node->op = advance().text == "*" ? BinaryOp::Multiply : BinaryOp::Divide;
        node->left = std::move(left);
        node->right = unary(nullptr);
        const std::uint32_t h = tallest({heightOf(node->left), heightOf(node->right)});
        left = finish(std::move(node), first, h);
    }
    return left;
}

ExprPtr Parser::unary(ExprPtr seed) {
    if (seed)
        return seed;
    UnaryOp op;
    if (atOperator("-"))
        op = UnaryOp::Negate;
    else if (atOperator("+"))
        op = UnaryOp::Plus;
    else if (at("PRIOR"))
        op = UnaryOp::Prior;
    else if (at("CONNECT_BY_ROOT"))
        op = UnaryOp::ConnectByRoot;
    else
        return primary();
    const NestingGuard guard(*this);
    const std::uint32_t first = position();
    advance();
    auto node = make<Unary>();
    node->op = op;
    node->operand = unary(nullptr);
    const std::uint32_t h = heightOf(node->operand);
    return finish(std::move(node), first, h);
}

ExprPtr Parser::primary() {
    const NestingGuard guard(*this);
    const Token& t = peek();
    const std::uint32_t first = position();
    switch (t.kind) {
        case TokenKind::Number: {
            auto node = make<Literal>();
            node->form = Literal::Form::Number;
            node->text = advance().text;
            return finish(std::move(node), first, 0);
        }
        case TokenKind::Text: {
            auto node = make<Literal>();
            node->form = Literal::Form::Text;
            node->national = t.national;
            node->text = advance().text;
            return finish(std::move(node), first, 0);
        }
        case TokenKind::BindParameter: {
            auto node = make<BindParameter>();
            node->text = advance().text;
            return finish(std::move(node), first, 0);
        }
        case TokenKind::Name:
        case TokenKind::QuotedName:
            return nameExpression();
        case TokenKind::Operator:
            if (t.text == "(")
                return parenthesized();
            break;
        case TokenKind::End:
            break;
    }
    fail(ora::kMissingExpression, "missing expression" + near());
}

// ( expression ), ( a, b ) or ( query ); a query may go on as the first
// operand of an expression: (SELECT ...) + 1.
ExprPtr Parser::parenthesized() {
    const std::uint32_t first = position();
    ExprPtr inner;
    if (leadsToQuery()) {
        advance();
        QueryPtr q = query();
        const bool whole = acceptOperator(")");
        // ((SELECT ...)) + 1: the inner parentheses held the query, and the
        // query is the first operand of the expression in the outer ones.
        if (!whole && !q->singleBlock() && q->with.empty() && q->orderBy.empty() &&
            q->body->kind == QueryTermKind::Nested)
            q = std::move(q->body->nested);
        auto node = make<ScalarSubquery>();
        node->query = std::move(q);
        const std::uint32_t h = heightOf(node->query);
        inner = finish(std::move(node), first, h);
        if (whole)
            return inner;
        inner = orCondition(std::move(inner));
    } else {
        advance();
        inner = expression();
    }
    if (atOperator(",")) {
        auto tuple = make<Tuple>();
        tuple->items.push_back(std::move(inner));
        while (acceptOperator(","))
            tuple->items.push_back(expression());
        expectOperator(")");
        const std::uint32_t h = tallest(tuple->items);
        return finish(std::move(tuple), first, h);
    }
    expectOperator(")");
    if (inner->kind == ExprKind::Binary && inner->as<Binary>().op == BinaryOp::Subtract &&
        atIntervalQualifier())
        return intervalExpression(std::move(inner), first);
    return inner;
}

// DAY [(p)] TO SECOND or YEAR [(p)] TO MONTH after a parenthesised
// difference; anything else (DAY alone is a column alias) is not one.
bool Parser::atIntervalQualifier() const {
    const bool day = at("DAY");
    if (!day && !at("YEAR"))
        return false;
    std::size_t ahead = 1;
    if (atOperator("(", ahead) && peek(ahead + 1).kind == TokenKind::Number &&
        atOperator(")", ahead + 2))
        ahead += 3;
    return at("TO", ahead) && at(day ? "SECOND" : "MONTH", ahead + 1);
}

// (a - b) DAY [(p)] TO SECOND [(f)] | YEAR [(p)] TO MONTH: a CAST of the
// difference to the interval type.
ExprPtr Parser::intervalExpression(ExprPtr difference, std::uint32_t first) {
    auto node = make<Cast>();
    node->intervalExpression = true;
    node->operand = std::move(difference);
    TypeName& type = node->target;
    type.words.push_back("INTERVAL");
    auto word = [&] {
        type.words.push_back(upperAscii(advance().text));
        if (acceptOperator("(")) {
            if (peek().kind != TokenKind::Number)
                fail(ora::kMissingRightParen, "missing right parenthesis" + near());
            type.argumentWords.push_back(type.words.size() - 1);
            type.arguments.push_back(advance().text);
            expectOperator(")");
        }
    };
    word();                                            // DAY or YEAR
    type.words.push_back(upperAscii(advance().text));  // TO
    word();                                            // SECOND or MONTH
    const std::uint32_t h = heightOf(node->operand);
    return finish(std::move(node), first, h);
}

ExprPtr Parser::nameExpression() {
    const Token& t = peek();
    const std::uint32_t first = position();
    if (t.kind == TokenKind::Name) {
        if (ExprPtr e = literalWithKeyword())
            return e;
        if (at("CASE"))
            return caseExpression();
        if (at("EXISTS") && atOperator("(", 1)) {
            advance();
            auto node = make<Exists>();
            node->query = queryInParentheses();
            const std::uint32_t h = heightOf(node->query);
            return finish(std::move(node), first, h);
        }
        if (atJsonFunction())
            return jsonFunction(first);
        if (atOperator("(", 1) && (at("CAST") || at("EXTRACT") || at("TRIM"))) {
            if (at("CAST"))
                return castExpression(first);
            return at("EXTRACT") ? extractExpression(first) : trimExpression(first);
        }
        if (!atOperator("(", 1) && !atOperator(".", 1))
            if (ExprPtr e = pseudoColumn())
                return e;
        if (cannotStartExpression(t))
            fail(ora::kMissingExpression, "missing expression" + near());
    }
    QualifiedName name;
    name.reserve(2);  // column or table.column: one allocation
    name.push_back(identifier("a name"));
    while (atOperator(".") && peek(1).isName()) {
        advance();
        name.push_back(identifier("a name"));
    }
    if (atOperator("(") && atOperator("+", 1) && atOperator(")", 2)) {
        m_pos += 3;
        auto node = make<ColumnRef>();
        node->parts = std::move(name);
        node->outerJoinMark = true;
        return finish(std::move(node), first, 0);
    }
    if (atOperator("("))
        return functionCall(std::move(name), first);
    const std::string& last = name.back().name;
    if (name.size() >= 2 && !name.back().quoted && (last == "NEXTVAL" || last == "CURRVAL")) {
        auto node = make<SequenceValue>();
        node->next = last == "NEXTVAL";
        name.pop_back();
        node->sequence = std::move(name);
        return finish(std::move(node), first, 0);
    }
    auto node = make<ColumnRef>();
    node->parts = std::move(name);
    return finish(std::move(node), first, 0);
}

ExprPtr Parser::pseudoColumn() {
    static const struct {
        const char* word;
        Pseudo which;
    } kPseudo[] = {{"ROWNUM", Pseudo::Rownum},
                   {"LEVEL", Pseudo::Level},
                   {"ROWID", Pseudo::Rowid},
                   {"SYSDATE", Pseudo::Sysdate},
                   {"SYSTIMESTAMP", Pseudo::Systimestamp},
                   {"CURRENT_DATE", Pseudo::CurrentDate},
                   {"CURRENT_TIMESTAMP", Pseudo::CurrentTimestamp},
                   {"LOCALTIMESTAMP", Pseudo::LocalTimestamp},
                   {"USER", Pseudo::User},
                   {"UID", Pseudo::Uid},
                   {"CONNECT_BY_ISLEAF", Pseudo::ConnectByIsLeaf},
                   {"CONNECT_BY_ISCYCLE", Pseudo::ConnectByIsCycle}};
    for (const auto& p : kPseudo) {
        if (at(p.word)) {
            const std::uint32_t first = position();
            advance();
            auto node = make<PseudoColumn>();
            node->which = p.which;
            return finish(std::move(node), first, 0);
        }
    }
    return nullptr;
}

// NULL, TRUE, FALSE, DATE '...', TIMESTAMP '...', INTERVAL '...' unit.
ExprPtr Parser::literalWithKeyword() {
    // Most names start no such literal: told apart before a node is made.
    if (!at("NULL") && !at("TRUE") && !at("FALSE") && !at("DATE") && !at("TIMESTAMP") &&
        !at("INTERVAL"))
        return nullptr;
    const std::uint32_t first = position();
    auto node = make<Literal>();
    if (at("NULL")) {
        node->form = Literal::Form::Null;
    } else if ((at("TRUE") || at("FALSE")) && !atOperator("(", 1) && !atOperator(".", 1)) {
        node->form = Literal::Form::Boolean;
        node->text = upperAscii(peek().text);
    } else if (peek(1).kind == TokenKind::Text && (at("DATE") || at("TIMESTAMP"))) {
        node->form = at("DATE") ? Literal::Form::Date : Literal::Form::Timestamp;
        advance();
        node->text = peek().text;
    } else if (peek(1).kind == TokenKind::Text && at("INTERVAL")) {
        return intervalLiteral(first);
    } else {
        return nullptr;
    }
    advance();
    return finish(std::move(node), first, 0);
}

// INTERVAL '2' DAY, INTERVAL '1-6' YEAR TO MONTH, INTERVAL '30' MINUTE(3) ...
ExprPtr Parser::intervalLiteral(std::uint32_t first) {
    auto node = make<Literal>();
    node->form = Literal::Form::Interval;
    advance();
    node->text = advance().text;
    auto unit = [&] {
        if (!(at("YEAR") || at("MONTH") || at("DAY") || at("HOUR") || at("MINUTE") || at("SECOND")))
            fail(ora::kMissingKeyword, "missing keyword" + near());
        std::string text = upperAscii(advance().text);
        if (acceptOperator("(")) {
            text += '(' + advance().text;
            if (acceptOperator(","))
                text += ',' + advance().text;
            expectOperator(")");
            text += ')';
        }
        return text;
    };
    node->intervalQualifier = unit();
    if (accept("TO"))
        node->intervalQualifier += " TO " + unit();
    return finish(std::move(node), first, 0);
}

// Oracle counts the operand, each WHEN and each THEN, and ELSE as arguments
// of CASE. SQLite's time to prepare a CASE grows with the square of its
// branches, so this bound is also what keeps a long one from running away.
void Parser::checkCaseArguments(const Case& c) {
    const std::size_t arguments = (c.operand ? 1 : 0) + 2 * c.whens.size() + (c.otherwise ? 1 : 0);
    if (arguments > kMaxCaseArguments)
        fail(ora::kTooManyArguments, "too many arguments for function: CASE takes at most " +
                                         std::to_string(kMaxCaseArguments) + near());
}

ExprPtr Parser::caseExpression() {
    const std::uint32_t first = position();
    advance();
    auto node = make<Case>();
    if (!at("WHEN"))
        node->operand = expression();
    std::uint32_t h = heightOf(node->operand);
    if (!at("WHEN"))
        fail(ora::kMissingKeyword, "missing keyword" + near());
    while (accept("WHEN")) {
        WhenClause w;
        w.condition = expression();
        expect("THEN");
        w.result = expression();
        h = tallest({h, heightOf(w.condition), heightOf(w.result)});
        node->whens.push_back(std::move(w));
        checkCaseArguments(*node);
    }
    if (accept("ELSE"))
        node->otherwise = expression();
    checkCaseArguments(*node);
    expect("END");
    h = std::max(h, heightOf(node->otherwise));
    return finish(std::move(node), first, h);
}

ExprPtr Parser::functionCall(QualifiedName name, std::uint32_t first) {
    auto node = make<FunctionCall>();
    node->name = std::move(name);
    expectOperator("(");
    functionArguments(*node);
    expectOperator(")");
    analyticClauses(*node);
    std::uint32_t h = std::max(tallest(node->args), tallest(node->withinGroup));
    if (node->keep)
        h = std::max(h, tallest(node->keep->orderBy));
    if (node->over) {
        h = std::max({h, tallest(node->over->partitionBy), tallest(node->over->orderBy)});
        if (node->over->frame) {
            h = std::max(h, heightOf(node->over->frame->start.offset));
            if (node->over->frame->end)
                h = std::max(h, heightOf(node->over->frame->end->offset));
        }
    }
    return finish(std::move(node), first, h);
}

void Parser::functionArguments(FunctionCall& call) {
    if (atOperator(")"))
        return;
    if (atOperator("*") && atOperator(")", 1)) {
        advance();
        call.star = true;
        return;
    }
    if (accept("DISTINCT") || accept("UNIQUE"))
        call.distinct = true;
    else
        accept("ALL");
    do {
        if (peek().isName() && atOperator("=>", 1))
            unsupported("named argument in a function call");
        call.args.push_back(expression());
        if (at("IGNORE") || at("RESPECT"))
            unsupported(upperAscii(peek().text) + " NULLS");
        if (at("ON") && at("OVERFLOW", 1)) {
            m_pos += 2;
            FunctionCall::Overflow overflow;
            if (!accept("ERROR")) {
                expect("TRUNCATE");
                overflow.truncate = true;
                if (peek().kind == TokenKind::Text)
                    overflow.indicator = advance().text;
                if (accept("WITHOUT")) {
                    expect("COUNT");
                    overflow.withCount = false;
                } else if (accept("WITH")) {
                    expect("COUNT");
                }
            }
            call.overflow = overflow;
            break;
        }
    } while (acceptOperator(","));
}

// WITHIN GROUP (ORDER BY ...), KEEP (DENSE_RANK FIRST|LAST ORDER BY ...), OVER (...)
void Parser::analyticClauses(FunctionCall& call) {
    if (at("WITHIN") && at("GROUP", 1)) {
        m_pos += 2;
        expectOperator("(");
        expect("ORDER");
        expect("BY");
        orderByClause(call.withinGroup);
        call.hasWithinGroup = true;
        expectOperator(")");
    }
    if (at("KEEP") && atOperator("(", 1)) {
        m_pos += 2;
        call.keep = std::make_unique<KeepClause>();
        expect("DENSE_RANK");
        if (!accept("FIRST")) {
            expect("LAST");
            call.keep->last = true;
        }
        expect("ORDER");
        expect("BY");
        orderByClause(call.keep->orderBy);
        expectOperator(")");
    }
    if (accept("OVER"))
        call.over = windowSpec();
}

std::unique_ptr<WindowSpec> Parser::windowSpec() {
    if (!atOperator("("))
        unsupported("a named window after OVER");
    advance();
    auto window = std::make_unique<WindowSpec>();
    if (accept("PARTITION")) {
        expect("BY");
        window->partitionBy = expressionList();
    }
    if (accept("ORDER")) {
        expect("BY");
        orderByClause(window->orderBy);
    }
    if (at("ROWS") || at("RANGE")) {
        WindowFrame frame;
        frame.range = advance().is("RANGE");
        if (accept("BETWEEN")) {
            frame.start = frameBound();
            expect("AND");
            frame.end = frameBound();
        } else {
            frame.start = frameBound();
        }
        window->frame = std::move(frame);
    }
    expectOperator(")");
    return window;
}

FrameBound Parser::frameBound() {
    FrameBound bound;
    if (accept("UNBOUNDED")) {
        if (accept("PRECEDING")) {
            bound.kind = FrameBound::Kind::UnboundedPreceding;
        } else {
            expect("FOLLOWING");
            bound.kind = FrameBound::Kind::UnboundedFollowing;
        }
    } else if (accept("CURRENT")) {
        expect("ROW");
        bound.kind = FrameBound::Kind::CurrentRow;
    } else {
        bound.offset = additive(nullptr);
        if (accept("PRECEDING")) {
            bound.kind = FrameBound::Kind::Preceding;
        } else {
            expect("FOLLOWING");
            bound.kind = FrameBound::Kind::Following;
        }
    }
    return bound;
}

ExprPtr Parser::castExpression(std::uint32_t first) {
    m_pos += 2;
    auto node = make<Cast>();
    if (at("MULTISET"))
        unsupported("CAST(MULTISET ...)");
    node->operand = expression();
    expect("AS");
    node->target = typeName();
    expectOperator(")");
    const std::uint32_t h = heightOf(node->operand);
    return finish(std::move(node), first, h);
}

ExprPtr Parser::extractExpression(std::uint32_t first) {
    m_pos += 2;
    auto node = make<Extract>();
    if (peek().kind != TokenKind::Name)
        fail(ora::kMissingKeyword, "missing keyword" + near());
    node->field = upperAscii(advance().text);
    expect("FROM");
    node->source = expression();
    expectOperator(")");
    const std::uint32_t h = heightOf(node->source);
    return finish(std::move(node), first, h);
}

// TRIM([LEADING|TRAILING|BOTH] [character] FROM source) or TRIM(source)
ExprPtr Parser::trimExpression(std::uint32_t first) {
    m_pos += 2;
    auto node = make<Trim>();
    node->sideWritten = true;
    if (accept("LEADING"))
        node->side = Trim::Side::Leading;
    else if (accept("TRAILING"))
        node->side = Trim::Side::Trailing;
    else if (!accept("BOTH"))
        node->sideWritten = false;
    if (node->sideWritten && accept("FROM")) {
        node->source = expression();
    } else {
        ExprPtr e = expression();
        if (accept("FROM")) {
            node->character = std::move(e);
            node->source = expression();
        } else if (node->sideWritten) {
            fail(ora::kMissingKeyword, "missing keyword" + near());
        } else {
            node->source = std::move(e);
        }
    }
    expectOperator(")");
    const std::uint32_t h = tallest({heightOf(node->character), heightOf(node->source)});
    return finish(std::move(node), first, h);
}

}  // namespace localengine::dialect
