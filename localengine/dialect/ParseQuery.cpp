// Queries: WITH, SELECT blocks with their clauses, FROM items and joins,
// set operators, ORDER BY, OFFSET / FETCH and FOR UPDATE.

#include "Error.h"
#include "Keywords.h"
#include "NestingGuard.h"
#include "Parser.h"

#include <algorithm>

namespace localengine::dialect {

namespace {

std::uint32_t tallestOf(const SelectBlock& b) {
    std::uint32_t h = std::max(heightOf(b.where), heightOf(b.having));
    for (const SelectItem& i : b.items)
        h = std::max(h, heightOf(i.expr));
    for (const TableRefPtr& t : b.from)
        h = std::max(h, heightOf(t));
    if (b.hierarchy)
        h = std::max({h, heightOf(b.hierarchy->startWith), heightOf(b.hierarchy->connectBy)});
    auto grouping = [&h](const auto& self, const std::vector<GroupingElement>& list) -> void {
        for (const GroupingElement& g : list) {
            h = std::max(h, heightOf(g.expr));
            self(self, g.children);
        }
    };
    grouping(grouping, b.groupBy);
    return h;
}

std::uint32_t tallestOf(const QueryTerm& t) {
    if (t.kind == QueryTermKind::Select)
        return tallestOf(*t.select);
    if (t.kind == QueryTermKind::Nested)
        return heightOf(t.nested);
    return std::max(t.left->height, t.right->height);
}

}  // namespace

// ( followed by any number of ( and then SELECT or WITH.
bool Parser::leadsToQuery() const {
    std::size_t ahead = 0;
    while (atOperator("(", ahead))
        ++ahead;
    return ahead > 0 && (at("SELECT", ahead) || at("WITH", ahead));
}

QueryPtr Parser::queryInParentheses() {
    expectOperator("(");
    QueryPtr q = query();
    expectOperator(")");
    return q;
}

QueryPtr Parser::query() {
    const NestingGuard guard(*this);
    auto q = std::make_unique<Query>();
    const std::uint32_t first = position();
    if (at("WITH"))
        withClause(*q);
    q->body = queryTerms();
    if (at("ORDER")) {
        advance();
        q->orderSiblings = accept("SIBLINGS");
        expect("BY");
        orderByClause(q->orderBy);
    }
    rowLimit(*q);
    forUpdate(*q);
    std::uint32_t h = q->body->height;
    for (const CommonTable& c : q->with)
        h = std::max(h, heightOf(c.query));
    for (const OrderItem& o : q->orderBy)
        h = std::max(h, heightOf(o.expr));
    h = std::max({h, heightOf(q->limit.offset), heightOf(q->limit.fetch)});
    q->firstToken = first;
    q->lastToken = position() - 1;
    q->height = h + 1;
    checkHeight(q->height);
    return q;
}

void Parser::withClause(Query& q) {
    advance();
    if (at("FUNCTION") || at("PROCEDURE"))
        unsupported("PL/SQL declarations in WITH");
    do {
        CommonTable c;
        c.name = identifier("a query name");
        if (atOperator("(")) {
            advance();
            c.columns = identifierList();
            expectOperator(")");
        }
        expect("AS");
        if (at("MATERIALIZED") || at("NOT"))
            fail(ora::kMissingLeftParen, "missing left parenthesis" + near());
        c.query = queryInParentheses();
        if (at("SEARCH") || at("CYCLE"))
            unsupported(upperAscii(peek().text) + " clause of a recursive WITH query");
        q.with.push_back(std::move(c));
    } while (acceptOperator(","));
}

// Set operators have one precedence and group from the left.
QueryTermPtr Parser::queryTerms() {
    const std::uint32_t first = position();
    QueryTermPtr left = queryTerm();
    while (at("UNION") || at("INTERSECT") || at("MINUS") || at("EXCEPT")) {
        auto node = std::make_unique<QueryTerm>(QueryTermKind::SetOperation);
        node->op = at("UNION") ? SetOp::Union : at("INTERSECT") ? SetOp::Intersect : SetOp::Minus;
        advance();
        node->all = accept("ALL");
        if (!node->all)
            accept("DISTINCT");
        node->left = std::move(left);
        node->right = queryTerm();
        node->firstToken = first;
        node->lastToken = position() - 1;
        node->height = tallestOf(*node) + 1;
        checkHeight(node->height);
        left = std::move(node);
    }
    return left;
}

QueryTermPtr Parser::queryTerm() {
    const std::uint32_t first = position();
    QueryTermPtr term;
    if (atOperator("(")) {
        term = std::make_unique<QueryTerm>(QueryTermKind::Nested);
        term->nested = queryInParentheses();
    } else if (at("SELECT")) {
        term = std::make_unique<QueryTerm>(QueryTermKind::Select);
        term->select = selectBlock();
    } else {
        fail(ora::kMissingSelect, "missing SELECT keyword" + near());
    }
    term->firstToken = first;
    term->lastToken = position() - 1;
    term->height = tallestOf(*term) + 1;
    checkHeight(term->height);
    return term;
}

std::unique_ptr<SelectBlock> Parser::selectBlock() {
    auto block = std::make_unique<SelectBlock>();
    block->firstToken = position();
    expect("SELECT");
    if (accept("DISTINCT") || accept("UNIQUE"))
        block->distinct = true;
    else
        accept("ALL");
    selectList(*block);
    if (at("INTO") || at("BULK"))
        unsupported("SELECT INTO outside PL/SQL");
    if (accept("FROM"))
        fromClause(*block);
    else if (peek().kind == TokenKind::Name && !at("WHERE") && !at("UNION") && !at("ORDER") &&
             !at("INTERSECT") && !at("MINUS") && !at("EXCEPT") && !at("GROUP") && !at("FETCH") &&
             !at("OFFSET"))
        fail(ora::kFromNotFound, "FROM keyword not found where expected" + near());
    if (accept("WHERE"))
        block->where = expression();
    hierarchyClauses(*block);
    groupByClause(*block);
    if (accept("HAVING"))
        block->having = expression();
    if (at("MODEL") || at("WINDOW"))
        unsupported(upperAscii(peek().text) + " clause");
    return block;
}

void Parser::selectList(SelectBlock& block) {
    do
        block.items.push_back(selectItem());
    while (acceptOperator(","));
}

// name.name.* before a * at the end.
bool Parser::atStar() const {
    std::size_t ahead = 0;
    while (peek(ahead).isName() && atOperator(".", ahead + 1))
        ahead += 2;
    return atOperator("*", ahead);
}

SelectItem Parser::selectItem() {
    SelectItem item;
    item.firstToken = position();
    if (atStar()) {
        auto star = std::make_unique<Star>();
        star->firstToken = position();
        while (peek().isName()) {
            star->qualifier.push_back(identifier("a name"));
            advance();  // the dot
        }
        advance();  // the star
        star->lastToken = position() - 1;
        item.expr = std::move(star);
        item.lastToken = position() - 1;
        return item;
    }
    item.expr = expression();
    item.lastToken = position() - 1;
    item.alias = columnAlias();
    return item;
}

std::optional<Identifier> Parser::columnAlias() {
    if (accept("AS"))
        return identifier("an alias");
    if (peek().kind == TokenKind::QuotedName ||
        (peek().kind == TokenKind::Name && !endsAlias(peek())))
        return identifier("an alias");
    return std::nullopt;
}

std::optional<Identifier> Parser::tableAlias() {
    if (accept("AS"))
        return identifier("an alias");
    if (peek().kind == TokenKind::QuotedName ||
        (peek().kind == TokenKind::Name && !endsAlias(peek())))
        return identifier("an alias");
    return std::nullopt;
}

void Parser::fromClause(SelectBlock& block) {
    do
        block.from.push_back(fromItem());
    while (acceptOperator(","));
}

TableRefPtr Parser::fromItem() {
    TableRefPtr item = tableReference();
    while (atJoin())
        item = joinedTable(std::move(item));
    return item;
}

bool Parser::atJoin() const {
    return at("JOIN") || at("INNER") || at("LEFT") || at("RIGHT") || at("FULL") || at("CROSS") ||
           at("NATURAL") || (at("OUTER") && at("APPLY", 1));
}

TableRefPtr Parser::tableReference() {
    const NestingGuard guard(*this);
    const std::uint32_t first = position();
    TableRefPtr ref;
    if (atOperator("(") && leadsToQuery()) {
        auto derived = std::make_unique<DerivedTable>();
        derived->query = queryInParentheses();
        ref = std::move(derived);
    } else if (atOperator("(")) {
        advance();
        ref = fromItem();
        expectOperator(")");
    } else if ((at("TABLE") || at("THE")) && atOperator("(", 1)) {
        advance();
        auto collection = std::make_unique<CollectionTable>();
        expectOperator("(");
        collection->collection = expression();
        expectOperator(")");
        ref = std::move(collection);
    } else if ((at("JSON_TABLE") || at("XMLTABLE")) && atOperator("(", 1)) {
        // Table functions over a document: not built; refused whole rather
        // than read as a table followed by text that makes no sense.
        unsupported(upperAscii(peek().text) + " in FROM");
    } else if (at("LATERAL") && atOperator("(", 1)) {
        advance();
        auto derived = std::make_unique<DerivedTable>();
        derived->lateral = true;
        derived->query = queryInParentheses();
        ref = std::move(derived);
    } else {
        auto named = std::make_unique<NamedTable>();
        named->name = tableName();
        if (peek().kind == TokenKind::BindParameter && peek().text[0] == '@')
            named->dbLink = advance().text.substr(1);
        ref = std::move(named);
    }
    if (at("PARTITION") || at("SUBPARTITION") || at("SAMPLE") || (at("AS") && at("OF", 1)) ||
        (at("UNPIVOT") && ref->kind == TableRefKind::Join) || at("MATCH_RECOGNIZE"))
        unsupported(upperAscii(peek().text) + " in FROM");
    if (ref->kind != TableRefKind::Join)
        ref->alias = tableAlias();
    if (at("PIVOT") && ref->kind != TableRefKind::Join)
        pivotClause(*ref);
    else if (at("UNPIVOT") && ref->kind != TableRefKind::Join)
        unpivotClause(*ref);
    if (at("PIVOT") || at("UNPIVOT") || at("MATCH_RECOGNIZE"))
        unsupported(upperAscii(peek().text) + " in FROM");
    ref->firstToken = first;
    ref->lastToken = position() - 1;
    if (ref->kind == TableRefKind::Derived)
        ref->height = heightOf(ref->as<DerivedTable>().query) + 1;
    else if (ref->kind == TableRefKind::Collection)
        ref->height = heightOf(ref->as<CollectionTable>().collection) + 1;
    checkHeight(ref->height);
    return ref;
}

// PIVOT (agg(x) [AS a], ... FOR column IN (value [AS name], ...)) [alias]
void Parser::pivotClause(TableRef& ref) {
    advance();
    if (at("XML"))
        unsupported("PIVOT XML");
    auto pivot = std::make_unique<PivotClause>();
    pivot->sourceAlias = std::move(ref.alias);
    ref.alias.reset();
    expectOperator("(");
    do {
        PivotClause::Aggregate a;
        a.call = expression();
        if (accept("AS") || (peek().kind == TokenKind::Name && !at("FOR")) ||
            peek().kind == TokenKind::QuotedName)
            a.alias = identifier("an alias");
        pivot->aggregates.push_back(std::move(a));
    } while (acceptOperator(","));
    expect("FOR");
    if (atOperator("("))
        unsupported("PIVOT FOR more than one column");
    pivot->forColumn = additive(nullptr);
    expect("IN");
    expectOperator("(");
    if (at("ANY") || at("SELECT"))
        unsupported("PIVOT IN (ANY | subquery): PIVOT XML");
    do {
        PivotClause::Value v;
        v.value = expression();
        if (accept("AS") || peek().kind == TokenKind::Name || peek().kind == TokenKind::QuotedName)
            v.alias = identifier("an alias");
        pivot->values.push_back(std::move(v));
    } while (acceptOperator(","));
    expectOperator(")");
    expectOperator(")");
    ref.pivot = std::move(pivot);
    ref.alias = tableAlias();
}

// UNPIVOT [INCLUDE | EXCLUDE NULLS] (v | (v, ...) FOR n | (n, ...) IN
//   (c | (c, ...) [AS label | (label, ...)], ...)) [alias]
void Parser::unpivotClause(TableRef& ref) {
    advance();
    auto u = std::make_unique<UnpivotClause>();
    if (accept("INCLUDE")) {
        expect("NULLS");
        u->includeNulls = true;
    } else if (accept("EXCLUDE")) {
        expect("NULLS");
    }
    u->sourceAlias = std::move(ref.alias);
    ref.alias.reset();
    expectOperator("(");
    auto names = [this] {
        if (!acceptOperator("("))
            return std::vector<Identifier>{identifier("a column name")};
        std::vector<Identifier> list = identifierList();
        expectOperator(")");
        return list;
    };
    auto column = [this] {
        auto c = std::make_unique<ColumnRef>();
        c->firstToken = position();
        c->parts = qualifiedName("a column name");
        c->lastToken = position() - 1;
        return c;
    };
    u->valueColumns = names();
    expect("FOR");
    u->nameColumns = names();
    expect("IN");
    expectOperator("(");
    do {
        UnpivotClause::Item item;
        if (acceptOperator("(")) {
            do
                item.columns.push_back(column());
            while (acceptOperator(","));
            expectOperator(")");
        } else {
            item.columns.push_back(column());
        }
        if (accept("AS")) {
            const bool list = acceptOperator("(");
            do
                item.labels.push_back(additive(nullptr));
            while (list && acceptOperator(","));
            if (list)
                expectOperator(")");
        }
        u->items.push_back(std::move(item));
    } while (acceptOperator(","));
    expectOperator(")");
    expectOperator(")");
    ref.unpivot = std::move(u);
    ref.alias = tableAlias();
}

TableRefPtr Parser::joinedTable(TableRefPtr left) {
    const std::uint32_t first = left->firstToken;
    auto join = std::make_unique<Join>();
    join->natural = accept("NATURAL");
    if (accept("CROSS")) {
        if (at("APPLY"))
            unsupported("CROSS APPLY");
        join->join = JoinKind::Cross;
    } else if (accept("LEFT")) {
        join->join = JoinKind::Left;
    } else if (accept("RIGHT")) {
        join->join = JoinKind::Right;
    } else if (accept("FULL")) {
        join->join = JoinKind::Full;
    } else if (at("OUTER") && at("APPLY", 1)) {
        unsupported("OUTER APPLY");
    } else {
        accept("INNER");
    }
    if (join->join == JoinKind::Left || join->join == JoinKind::Right ||
        join->join == JoinKind::Full)
        accept("OUTER");
    expect("JOIN");
    join->left = std::move(left);
    join->right = tableReference();
    if (at("PARTITION"))
        unsupported("partitioned outer join");
    if (join->join != JoinKind::Cross && !join->natural) {
        if (accept("USING")) {
            expectOperator("(");
            join->usingColumns = identifierList();
            expectOperator(")");
        } else {
            expect("ON");
            join->on = expression();
        }
    }
    join->firstToken = first;
    join->lastToken = position() - 1;
    join->height = std::max({join->left->height, join->right->height, heightOf(join->on)}) + 1;
    checkHeight(join->height);
    return join;
}

// START WITH and CONNECT BY, in either order.
void Parser::hierarchyClauses(SelectBlock& block) {
    for (int clause = 0; clause < 2; ++clause) {
        if (at("START") && at("WITH", 1)) {
            if (block.hierarchy && block.hierarchy->startWith)
                fail(ora::kNotProperlyEnded, "SQL command not properly ended" + near());
            m_pos += 2;
            if (!block.hierarchy)
                block.hierarchy.emplace();
            block.hierarchy->startWith = expression();
        } else if (at("CONNECT") && at("BY", 1)) {
            if (block.hierarchy && block.hierarchy->connectBy)
                fail(ora::kNotProperlyEnded, "SQL command not properly ended" + near());
            m_pos += 2;
            if (!block.hierarchy)
                block.hierarchy.emplace();
            block.hierarchy->noCycle = accept("NOCYCLE");
            block.hierarchy->connectBy = expression();
        }
    }
    if (block.hierarchy && !block.hierarchy->connectBy)
        fail(ora::kMissingKeyword, "missing keyword: START WITH needs CONNECT BY" + near());
}

void Parser::groupByClause(SelectBlock& block) {
    if (!(at("GROUP") && at("BY", 1)))
        return;
    m_pos += 2;
    do
        block.groupBy.push_back(groupingElement());
    while (acceptOperator(","));
}

GroupingElement Parser::groupingElement() {
    GroupingElement g;
    if (atOperator("(") && atOperator(")", 1)) {
        m_pos += 2;
        g.kind = GroupingElement::Kind::Empty;
        return g;
    }
    const bool rollup = at("ROLLUP") && atOperator("(", 1);
    const bool cube = at("CUBE") && atOperator("(", 1);
    const bool sets = at("GROUPING") && at("SETS", 1) && atOperator("(", 2);
    if (!rollup && !cube && !sets) {
        g.expr = expression();
        return g;
    }
    const NestingGuard guard(*this);
    g.kind = rollup ? GroupingElement::Kind::Rollup
             : cube ? GroupingElement::Kind::Cube
                    : GroupingElement::Kind::GroupingSets;
    m_pos += sets ? 3 : 2;
    do
        g.children.push_back(groupingElement());
    while (acceptOperator(","));
    expectOperator(")");
    return g;
}

void Parser::orderByClause(std::vector<OrderItem>& items) {
    do
        items.push_back(orderItem());
    while (acceptOperator(","));
}

OrderItem Parser::orderItem() {
    OrderItem item;
    item.expr = expression();
    if (accept("DESC"))
        item.descending = true;
    else
        accept("ASC");
    if (accept("NULLS")) {
        if (accept("FIRST")) {
            item.nulls = NullsOrder::First;
        } else {
            expect("LAST");
            item.nulls = NullsOrder::Last;
        }
    }
    return item;
}

// OFFSET n ROW[S] and FETCH FIRST|NEXT [n [PERCENT]] ROW[S] ONLY|WITH TIES
void Parser::rowLimit(Query& q) {
    if (accept("OFFSET")) {
        q.limit.offset = additive(nullptr);
        if (!accept("ROWS"))
            expect("ROW");
    }
    if (!accept("FETCH"))
        return;
    if (!accept("FIRST"))
        expect("NEXT");
    if (!at("ROW") && !at("ROWS")) {
        q.limit.fetch = additive(nullptr);
        q.limit.percent = accept("PERCENT");
    } else {
        auto one = std::make_unique<Literal>();
        one->form = Literal::Form::Number;
        one->text = "1";
        q.limit.fetch = std::move(one);
    }
    if (!accept("ROWS"))
        expect("ROW");
    if (accept("WITH")) {
        expect("TIES");
        q.limit.withTies = true;
    } else {
        expect("ONLY");
    }
}

// FOR UPDATE [OF columns] [NOWAIT | WAIT n | SKIP LOCKED]: the engine has
// one user, so there is nothing to lock; the clause is read and dropped.
void Parser::forUpdate(Query& q) {
    if (!(at("FOR") && at("UPDATE", 1)))
        return;
    m_pos += 2;
    q.forUpdate = true;
    if (accept("OF")) {
        do
            qualifiedName("a column name");
        while (acceptOperator(","));
    }
    if (accept("WAIT")) {
        if (peek().kind != TokenKind::Number)
            fail(ora::kMissingExpression, "missing expression" + near());
        advance();
    } else if (accept("SKIP")) {
        expect("LOCKED");
    } else {
        accept("NOWAIT");
    }
}

}  // namespace localengine::dialect
