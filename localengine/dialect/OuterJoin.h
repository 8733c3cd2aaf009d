#pragma once
// Rewrite stage: Oracle's outer join marker. In
//     FROM a, b WHERE a.id = b.id(+) AND b.kind(+) = 'x' AND b.v IS NULL
// the conditions that mark b's columns with (+) make b the optional side;
// the FROM list becomes the required items followed by
//     LEFT JOIN b ON a.id = b.id AND b.kind = 'x'
// and the other conditions stay in WHERE (filtering after the join, as in
// Oracle). Refused as Oracle refuses them: (+) under OR or IN (ORA-01719),
// marks on two tables in one condition (ORA-01468), mixed with ANSI joins
// (ORA-25156), and tables outer-joined to each other (ORA-01416).

#include "Ast.h"

#include <optional>
#include <vector>

namespace localengine::dialect {

struct OuterJoinLayout {
    struct Item {
        const TableRef* source = nullptr;
        std::vector<const Expr*> on;  // empty for a required item
    };
    std::vector<Item> items;         // FROM items in the order written
    std::vector<const Expr*> where;  // the conditions that stay in WHERE

    bool optional(const Item& item) const { return !item.on.empty(); }
};

// The layout of `b`'s FROM when some of `conditions` (WHERE's, joined by
// AND) hold a (+) mark; nothing otherwise.
std::optional<OuterJoinLayout> layoutOuterJoins(const SelectBlock& b,
                                                const std::vector<const Expr*>& conditions);

}  // namespace localengine::dialect
