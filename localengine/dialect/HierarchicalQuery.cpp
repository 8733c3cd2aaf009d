#include "HierarchicalQuery.h"

#include "Emitter.h"
#include "Error.h"

namespace localengine::dialect {

HierarchicalQuery::HierarchicalQuery(Emitter& emitter, const SelectBlock& block, const Query* owner)
    : m_emitter(emitter), m_block(block), m_owner(owner) {}

void HierarchicalQuery::write(bool wrap) {
    (void)wrap;
    unsupported("hierarchical queries");
}

bool HierarchicalQuery::writes(const Expr& e) {
    (void)e;
    return false;
}

}  // namespace localengine::dialect
