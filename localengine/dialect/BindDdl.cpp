// The binder's DDL beyond CREATE and DROP: ALTER TABLE, sequences,
// comments, TRUNCATE, synonyms. Names lose the user's own schema; defaults
// and check conditions are bound as any expression (they see no table).

#include "Binder.h"

namespace localengine::dialect {

void Binder::constraintDefinition(ConstraintDefinition& c) {
    Scope none;
    stripOwner(c.referencedTable, 1);
    if (c.check)
        expr(c.check, none, nullptr);
}

void Binder::columnDefinition(ColumnDefinition& c) {
    Scope none;
    if (c.defaultValue)
        expr(c.defaultValue, none, nullptr);
    for (ConstraintDefinition& k : c.constraints)
        constraintDefinition(k);
}

void Binder::moreDdl(Statement& statement) {
    switch (statement.kind) {
        case StatementKind::AlterTable: {
            auto& s = statement.as<AlterTableStatement>();
            stripOwner(s.table, 1);
            for (TableAlteration& a : s.alterations) {
                constraintDefinition(a.constraint);
                columnDefinition(a.column);
            }
            break;
        }
        case StatementKind::Sequence:
            stripOwner(statement.as<SequenceStatement>().name, 1);
            break;
        case StatementKind::Comment:
            stripOwner(statement.as<CommentStatement>().table, 1);
            break;
        case StatementKind::Truncate:
            stripOwner(statement.as<TruncateStatement>().table, 1);
            break;
        case StatementKind::Synonym:
            stripOwner(statement.as<SynonymStatement>().name, 1);
            stripOwner(statement.as<SynonymStatement>().target, 1);
            break;
        default:
            break;
    }
}

}  // namespace localengine::dialect
