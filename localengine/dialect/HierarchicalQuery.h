#pragma once
// Rewrite stage: START WITH / CONNECT BY as a recursive WITH query.

#include "Ast.h"

namespace localengine::dialect {

class Emitter;

class HierarchicalQuery {
public:
    // `owner` is the query whose only block `block` is (its ORDER [SIBLINGS]
    // BY and row limit belong to the hierarchy); null inside a set operation.
    HierarchicalQuery(Emitter& emitter, const SelectBlock& block, const Query* owner);

    // Writes the query; `wrap`: as SELECT * FROM (...), for a place that
    // cannot start with WITH.
    void write(bool wrap);

    // Called by the emitter for every expression while the hierarchy writes
    // its parts: writes those that mean something else here and returns true.
    bool writes(const Expr& e);

private:
    Emitter& m_emitter;
    const SelectBlock& m_block;
    const Query* m_owner;
};

}  // namespace localengine::dialect
