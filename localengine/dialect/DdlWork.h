#pragma once
// Oracle DDL that no single SQLite statement carries out (a constraint added
// to a table, a sequence, a comment, a session setting ...), translated to
// plain data: names as the dictionary shows them (upper case unless they
// were quoted), definitions already in SQLite's words. The engine carries
// it out against the database.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace localengine::dialect {

// A sequence as CREATE SEQUENCE, ALTER SEQUENCE or an identity column
// defines it. Values absent were not written: CREATE takes Oracle's
// defaults, ALTER keeps what the sequence had.
struct SequenceWork {
    std::string name;
    std::optional<std::int64_t> startWith, incrementBy, minValue, maxValue, cache;
    bool noMinValue = false, noMaxValue = false, noCache = false, restart = false;
    std::optional<bool> cycle, order;
};

// One change of ALTER TABLE.
struct TableChange {
    enum class Kind {
        AddConstraint,
        AddColumn,
        ModifyColumn,
        DropConstraint,
        DropPrimaryKey,
        DropUnique,
        DropColumn,
        EnableConstraint,
        DisableConstraint,
        RenameColumn,
        RenameTable
    };
    Kind kind = Kind::AddConstraint;
    std::string name;     // the constraint or column
    std::string newName;  // RenameColumn, RenameTable
    // AddConstraint: P, U, R or C; its columns; its definition as an SQLite
    // table constraint, "CONSTRAINT name" included when it has one.
    char constraintType = 'C';
    std::vector<std::string> columns;  // also DropUnique's and DropColumn's columns
    std::string referencedTable;
    std::vector<std::string> referencedColumns;
    std::string text;  // AddConstraint; AddColumn: the whole column definition
    // ModifyColumn: what the clause wrote.
    std::optional<std::string> type;         // the new type
    std::optional<std::string> defaultText;  // the new DEFAULT ("NULL" takes it away)
    std::optional<bool> notNull;             // NOT NULL or NULL
    std::string notNullName;                 // CONSTRAINT name NOT NULL
    std::vector<std::string> clauses;        // further inline constraints, SQLite text
    std::optional<SequenceWork> identity;    // MODIFY ... GENERATED AS IDENTITY
    bool identityOnNull = false;
    bool dropIdentity = false;
    bool cascade = false;
    bool validate = true;  // ENABLE NOVALIDATE: false
};

struct DdlWork {
    enum class Kind {
        None,
        AlterTable,      // `table`, `changes`
        CreateSequence,  // `sequence`
        AlterSequence,   // `sequence`
        DropSequence,    // `sequence.name`
        Comment,         // `table`, `column` (empty: the table's), `text`
        Truncate,        // `table`
        AlterSession,    // `settings`
        CreateSynonym,   // `name` FOR `table`; `sql` creates it
        DropSynonym,     // `name`
        CreateTable,     // `sql` after the sequences in `identities`; `onNull` triggers
        DropTable,       // `table` (`sql` drops it), `cascade`
        CreateView       // `sql` (after dropping `name` when `replace`), `readOnly`
    };
    Kind kind = Kind::None;
    std::string table;
    std::vector<TableChange> changes;
    SequenceWork sequence;
    std::string column;
    std::string text;
    std::vector<std::pair<std::string, std::string>> settings;  // upper-case name, value
    std::string name;
    bool replace = false;
    bool cascade = false;
    bool ifExists = false;
    bool readOnly = false;   // WITH READ ONLY
    bool temporary = false;  // CREATE GLOBAL TEMPORARY TABLE: `sql` makes the connection's copy
    // CREATE TABLE: identity columns (column name, its sequence) and the
    // columns whose DEFAULT also replaces an explicit NULL (DEFAULT ON
    // NULL, BY DEFAULT ON NULL AS IDENTITY), each with its default's text.
    std::vector<std::pair<std::string, SequenceWork>> identities;
    std::vector<std::pair<std::string, std::string>> onNull;
};

// The name Oracle-like of the sequence behind an identity column.
std::string identitySequenceName(const std::string& table, const std::string& column);
// The DEFAULT of an identity column in SQLite's words; a GENERATED ALWAYS
// one says so in it, which isGeneratedAlwaysDefault reads back from the
// stored table.
std::string identityDefault(const std::string& sequence, bool always);
bool isGeneratedAlwaysDefault(std::string_view defaultText);

// A column's DEFAULT stored through the column's type is kept as
// "(/*written*/ storing call)": the text as written (what DATA_DEFAULT
// shows), then the call that stores it (ORA_STORE_NUMBER, ORA_STORE_TEXT
// ...). writtenDefault gives the former back from the text SQLite keeps
// (any other text as it is); storedDefaultText wraps a written DEFAULT for
// a column of `declaredType`, named `title` ("OWNER"."TABLE"."COLUMN") in
// ORA-12899, when the type has a rule of its own (else the text as it is).
std::string writtenDefault(const std::string& defaultText);
std::string storedDefaultText(const std::string& written, const std::string& declaredType,
                              const std::string& title);

}  // namespace localengine::dialect
