#pragma once
// The constraints of a table as its CREATE TABLE text declares them, and
// the names Oracle would give the unnamed ones. SQLite keeps no constraint
// names of its own: both the dictionary views and the plan (which shows a
// constraint's index under the constraint's name) read them from here.

#include <string>
#include <vector>

namespace localengine::schema {

// One constraint of a table as its CREATE TABLE text declares it.
struct DeclaredConstraint {
    std::string name;  // empty when the statement gave none
    char type = 'C';   // P, U, R or C
    std::vector<std::string> columns;
    std::string condition;  // C: the condition text; R: the referenced table
    bool disabled = false;  // kept aside while disabled (SideTables.h)
};

// Reads the constraints out of a CREATE TABLE statement, in the order they
// are written; names upper case unless quoted.
std::vector<DeclaredConstraint> declaredConstraints(const std::string& createTableSql);

// The name Oracle would give an unnamed constraint: SYS_C and seven digits,
// the same for the same table, kind and columns in every run.
std::string generatedConstraintName(const std::string& table, char type,
                                    const std::vector<std::string>& columns,
                                    const std::string& condition);

}  // namespace localengine::schema
