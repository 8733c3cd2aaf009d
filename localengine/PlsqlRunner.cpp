#include "PlsqlRunner.h"

#include "PlsqlParser.h"
#include "dialect/Catalog.h"
#include "dialect/Error.h"
#include "dialect/Keywords.h"
#include "dialect/Lexer.h"
#include "functions/CoreFunctions.h"
#include "functions/Number.h"
#include "functions/OraError.h"
#include "functions/Storage.h"
#include "sqlite/EngineError.h"

#include <sqlite3.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <optional>
#include <set>
#include <utility>

namespace localengine::plsql {

namespace {

using dialect::Token;
using dialect::TokenKind;

constexpr int kSqliteError = 1;
constexpr const char* kDateFormat = "'YYYY-MM-DD HH24:MI:SS'";

struct Value {
    enum class Kind { Null, Integer, Real, Text };
    Kind kind = Kind::Null;
    std::int64_t i = 0;
    double d = 0;
    std::string text;
    bool isNull() const { return kind == Kind::Null; }
    static Value ofInteger(std::int64_t v) { return Value{Kind::Integer, v, 0, {}}; }
    static Value ofText(std::string v) { return Value{Kind::Text, 0, 0, std::move(v)}; }
};

Value columnValue(sqlite3_stmt* st, int c) {
    switch (sqlite3_column_type(st, c)) {
        case SQLITE_INTEGER:
            return Value::ofInteger(sqlite3_column_int64(st, c));
        case SQLITE_FLOAT:
            return Value{Value::Kind::Real, 0, sqlite3_column_double(st, c), {}};
        case SQLITE_NULL:
            return {};
        default: {
            const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(st, c));
            return Value::ofText(
                std::string(text, static_cast<std::size_t>(sqlite3_column_bytes(st, c))));
        }
    }
}

void bindValue(sqlite3_stmt* st, int index, const Value& v) {
    switch (v.kind) {
        case Value::Kind::Null:
            sqlite3_bind_null(st, index);
            break;
        case Value::Kind::Integer:
            sqlite3_bind_int64(st, index, v.i);
            break;
        case Value::Kind::Real:
            sqlite3_bind_double(st, index, v.d);
            break;
        case Value::Kind::Text:
            sqlite3_bind_text(st, index, v.text.data(), static_cast<int>(v.text.size()),
                              SQLITE_TRANSIENT);
            break;
    }
}

// The Oracle error number at the start of a message ("ORA-01403: ..."), or 0.
int oracleCode(const std::string& message) {
    if (message.size() < 10 || message.compare(0, 4, "ORA-") != 0 || message[9] != ':')
        return 0;
    int code = 0;
    for (std::size_t k = 4; k < 9; ++k) {
        if (message[k] < '0' || message[k] > '9')
            return 0;
        code = code * 10 + (message[k] - '0');
    }
    return code;
}

// The form the engine keeps a DATE in: [-]YYYY-MM-DD HH24:MI:SS.
bool isStoredDate(const std::string& text) {
    const std::size_t o = !text.empty() && text[0] == '-' ? 1 : 0;
    if (text.size() != o + 19)
        return false;
    for (std::size_t k = 0; k < 19; ++k) {
        const char c = text[o + k];
        const bool ok = k == 4 || k == 7     ? c == '-'
                        : k == 10            ? c == ' '
                        : k == 13 || k == 16 ? c == ':'
                                             : std::isdigit(static_cast<unsigned char>(c)) != 0;
        if (!ok)
            return false;
    }
    return true;
}

EngineError oraError(const std::string& text) {
    return EngineError(text, kSqliteError);
}

EngineError valueError(const std::string& detail) {
    return oraError("ORA-06502: PL/SQL: numeric or value error" +
                    (detail.empty() ? std::string() : ": " + detail));
}

// An error raised at a line of the block, for ORA-06512.
// A declared exception raised carries its slot.
class BlockError : public EngineError {
public:
    BlockError(const EngineError& e, int line, int exception = -1)
        : EngineError(e.what(), e.code()), m_line(line), m_exception(exception) {}
    int line() const { return m_line; }
    int exception() const { return m_exception; }
    void place(int line) {
        if (m_line == 0)
            m_line = line;
    }

private:
    int m_line;
    int m_exception;
};

// The error a handler is handling: SQLCODE, SQLERRM and RAISE read it.
struct Handled {
    std::string message;
    std::int64_t code = 0;  // SQLCODE
    int exception = -1;     // a declared exception's slot
};

// An error no handler may take: the engine stopping a runaway block, or
// refusing a construct it does not run (handling it would report what did
// not happen as done).
bool isUnhandleable(const EngineError& e) {
    const int code = oracleCode(e.what());
    return code == 3001 || code == 1013;
}

// A construct the engine does not run, found while the block runs.
[[noreturn]] void refuseAtRun(const std::string& what) {
    throw oraError("ORA-03001: unimplemented feature: " + what +
                   " in a PL/SQL block (the local engine does not run it); the block's work "
                   "since its last COMMIT was undone");
}

struct PredefinedException {
    const char* name;
    int code;
    const char* text;
};

constexpr PredefinedException kExceptions[] = {
    {"NO_DATA_FOUND", 1403, "ORA-01403: no data found"},
    {"TOO_MANY_ROWS", 1422, "ORA-01422: exact fetch returns more than requested number of rows"},
    {"DUP_VAL_ON_INDEX", 1, "ORA-00001: unique constraint (.) violated"},
    {"ZERO_DIVIDE", 1476, "ORA-01476: divisor is equal to zero"},
    {"VALUE_ERROR", 6502, "ORA-06502: PL/SQL: numeric or value error"},
    {"INVALID_NUMBER", 1722, "ORA-01722: invalid number"},
};

// A record of a cursor FOR loop: the query's columns and the current row.
struct Record {
    std::vector<std::string> fields;  // upper case
    std::vector<bool> dates;          // a DATE column
    std::vector<Value> values;
};

// An explicit cursor: its rows, read when it is opened (the data as it
// was then, as Oracle's read consistency has it), and how far FETCH got.
struct Cursor {
    bool open = false;
    Record shape;  // fields and DATE flags; no values
    std::vector<std::vector<Value>> rows;
    std::size_t fetched = 0;
    std::optional<bool> found;  // NULL before the first FETCH
};

// Where a bind parameter of prepared code takes its value from.
struct Ref {
    enum class Kind {
        Variable,
        Field,
        RowCount,
        Found,
        NotFound,
        SqlCode,
        SqlErrm,
        CursorRowCount,
        CursorFound,
        CursorNotFound,
        CursorIsOpen
    };
    Kind kind = Kind::Variable;
    int slot = -1;
    int field = -1;
};

enum class Mode { Value, Text, Date, Condition, Sql };

struct Prepared {
    std::string sql;
    std::vector<Ref> refs;  // parameter :qvN is refs[N]
};

enum class Flow { Next, Exit, Continue };

class Runner {
public:
    Runner(Program& program, Host& host)
        : m_program(program),
          m_host(host),
          m_values(program.slots.size()),
          m_records(program.slots.size()),
          m_cursors(program.slots.size()) {}

    void run() {
        try {
            runBlock(m_program.main);
        } catch (const BlockError& e) {
            throw EngineError(
                std::string(e.what()) + "\nORA-06512: at line " + std::to_string(e.line()),
                e.code());
        }
    }

private:
    // ---- expressions ----
    const Prepared& prepared(const Code& code, Mode mode) {
        if (!code.prepared)
            code.prepared = std::make_shared<Prepared>(prepare(code, mode));
        return *static_cast<const Prepared*>(code.prepared.get());
    }

    Prepared prepare(const Code& code, Mode mode);
    std::string reference(const std::vector<Token>& toks, std::size_t& k, const Names& names,
                          const std::set<std::string>& columns, Prepared& p);
    std::optional<std::string> cursorAttribute(const std::vector<Token>& toks, std::size_t& k,
                                               const Names& names, Prepared& p);
    std::string bindName(Prepared& p, Ref ref, bool date) {
        const std::string name = ":qv" + std::to_string(p.refs.size());
        p.refs.push_back(ref);
        return date ? "TO_DATE(" + name + ", " + kDateFormat + ")" : name;
    }

    Value refValue(const Ref& ref) const {
        switch (ref.kind) {
            case Ref::Kind::Variable:
                return m_values[static_cast<std::size_t>(ref.slot)];
            case Ref::Kind::Field: {
                const Record& r = m_records[static_cast<std::size_t>(ref.slot)];
                return static_cast<std::size_t>(ref.field) < r.values.size()
                           ? r.values[static_cast<std::size_t>(ref.field)]
                           : Value{};
            }
            case Ref::Kind::RowCount:
                return m_sqlRan ? Value::ofInteger(m_rowCount) : Value{};
            case Ref::Kind::Found:
                return m_sqlRan ? Value::ofInteger(m_rowCount > 0) : Value{};
            case Ref::Kind::NotFound:
                return m_sqlRan ? Value::ofInteger(m_rowCount == 0) : Value{};
            case Ref::Kind::SqlCode:
                return Value::ofInteger(sqlCode());
            case Ref::Kind::CursorIsOpen:
                return Value::ofInteger(m_cursors[static_cast<std::size_t>(ref.slot)].open);
            case Ref::Kind::CursorRowCount:
            case Ref::Kind::CursorFound:
            case Ref::Kind::CursorNotFound:
                return cursorAttribute(ref);
            case Ref::Kind::SqlErrm:
                return Value::ofText(m_handled.empty() ? "ORA-0000: normal, successful completion"
                                                       : m_handled.back().message);
        }
        return {};
    }

    Value cursorAttribute(const Ref& ref) const {
        const Cursor& c = m_cursors[static_cast<std::size_t>(ref.slot)];
        if (!c.open)
            throw oraError("ORA-01001: invalid cursor");
        if (ref.kind == Ref::Kind::CursorRowCount)
            return Value::ofInteger(static_cast<std::int64_t>(c.fetched));
        if (!c.found)
            return {};
        return Value::ofInteger(ref.kind == Ref::Kind::CursorFound ? *c.found : !*c.found);
    }

    std::int64_t sqlCode() const { return m_handled.empty() ? 0 : m_handled.back().code; }

    Host::Binder binder(const Prepared& p) const {
        return [this, &p](sqlite3_stmt* st) {
            const int count = sqlite3_bind_parameter_count(st);
            for (int k = 1; k <= count; ++k) {
                const char* name = sqlite3_bind_parameter_name(st, k);
                if (!name || std::string_view(name).substr(0, 3) != ":qv")
                    continue;
                const std::size_t n = std::stoul(std::string(name + 3));
                if (n < p.refs.size())
                    bindValue(st, k, refValue(p.refs[n]));
            }
        };
    }

    Value evaluate(const Code& code, Mode mode) {
        const Prepared& p = prepared(code, mode);
        Value result;
        const Host::RowReader reader = [&](sqlite3_stmt* st) {
            result = columnValue(st, 0);
            return false;
        };
        m_host.runSql(p.sql, binder(p), &reader);
        return result;
    }

    // TRUE, FALSE or NULL (unknown).
    std::optional<bool> condition(const Code& code) {
        const Value v = evaluate(code, Mode::Condition);
        if (v.isNull())
            return std::nullopt;
        return v.i != 0;
    }
    bool isTrue(const Code& code) { return condition(code).value_or(false); }

    // ---- assignment ----
    Mode modeFor(int slot) const {
        switch (m_program.slots[static_cast<std::size_t>(slot)].type) {
            case VarSpec::Type::Varchar2:
                return Mode::Text;
            case VarSpec::Type::Date:
                return Mode::Date;
            case VarSpec::Type::Boolean:
                return Mode::Condition;
            default:
                return Mode::Value;
        }
    }
    void assign(int slot, Value v);
    Value asNumber(Value v, const VarSpec& var) const;
    Value asText(Value v, const VarSpec& var) const;

    // ---- statements ----
    Flow runBlock(Block& block);
    std::optional<Flow> handle(Block& block, const EngineError& error);
    Handled handled(const std::string& message, int code, int exception) const;
    Flow runList(StmtList& list);
    Flow runStatement(Stmt& s);
    Flow runCompound(Stmt& s);
    Flow runIf(Stmt& s);
    Flow runLoop(Stmt& s);
    Flow runForRange(Stmt& s);
    Flow runForCursor(Stmt& s);
    void runSelectInto(Stmt& s);
    void runExecute(Stmt& s);
    void runOutput(Stmt& s);
    void runGatherStats(Stmt& s);
    [[noreturn]] void runRaise(Stmt& s);
    // A loop's answer to what its body's EXIT/CONTINUE said: true to leave.
    bool leaves(Stmt& loop, Flow flow, bool& propagate);
    void countIteration() {
        if (++m_iterations > kMaxIterations)
            throw oraError(
                "ORA-01013: user requested cancel of current operation (the local "
                "engine stops a PL/SQL block after " +
                std::to_string(kMaxIterations) +
                " loop iterations; its work since its last COMMIT was undone)");
    }
    void readInto(const std::vector<int>& slots, const Prepared& p, const Host::Binder& bind);
    void readRows(const Prepared& p, const Host::Binder& bind, Cursor& into);
    void openCursor(int slot, const std::vector<Code>& arguments);
    void fetch(const Stmt& s);
    void storeRow(const std::vector<int>& targets, std::vector<Value> row, const Record& shape);
    Value converted(const Value& v, bool toDate);

    Program& m_program;
    Host& m_host;
    std::vector<Value> m_values;
    std::vector<Record> m_records;
    std::vector<Cursor> m_cursors;
    std::vector<Handled> m_handled;  // the errors being handled, innermost last
    std::string m_exitLabel;
    std::int64_t m_rowCount = 0;
    bool m_sqlRan = false;
    std::int64_t m_iterations = 0;
};

std::vector<Token> codeTokens(const std::string& text) {
    try {
        std::vector<Token> tokens = dialect::tokenize(text);
        tokens.pop_back();
        return tokens;
    } catch (const dialect::DialectError& e) {
        throw EngineError(e.what(), kSqliteError);
    }
}

// The columns of the tables an SQL statement names: such a name is the
// column's, not a variable's, as in Oracle.
std::set<std::string> columnsNamed(const std::vector<Token>& toks,
                                   const dialect::Catalog* catalog) {
    std::set<std::string> columns;
    if (!catalog)
        return columns;
    for (std::size_t k = 0; k < toks.size(); ++k) {
        if (!toks[k].isName() || (k + 1 < toks.size() && toks[k + 1].isOperator("(")))
            continue;
        if (const auto table = catalog->findTable(toks[k].oracleName())) {
            for (const auto& c : table->columns)
                columns.insert(dialect::upperAscii(c.name));
        }
    }
    return columns;
}

// A keyword a value may follow (WHERE x, CASE x WHEN y, FETCH FIRST n).
bool precedesValue(const Token& t) {
    static const char* const more[] = {"WHEN", "CASE", "ESCAPE", "FIRST", "NEXT", "RETURN"};
    return dialect::endsAlias(t) || dialect::cannotStartExpression(t) ||
           std::any_of(std::begin(more), std::end(more), [&](const char* w) { return t.is(w); });
}

Prepared Runner::prepare(const Code& code, Mode mode) {
    const std::vector<Token> toks = codeTokens(code.text);
    const std::set<std::string> columns =
        mode == Mode::Sql ? columnsNamed(toks, m_host.catalog()) : std::set<std::string>{};
    Prepared p;
    std::string text;
    std::size_t copied = 0;
    for (std::size_t k = 0; k < toks.size(); ++k) {
        const std::size_t begin = toks[k].begin;
        const std::string replaced = reference(toks, k, *code.names, columns, p);
        if (replaced.empty())
            continue;
        text += code.text.substr(copied, begin - copied) + replaced;
        copied = toks[k].end;
    }
    text += code.text.substr(copied);
    switch (mode) {
        case Mode::Sql:
            p.sql = text;
            break;
        case Mode::Value:
            p.sql = "SELECT " + text + " FROM dual";
            break;
        case Mode::Text:
            p.sql = "SELECT TO_CHAR(" + text + ") FROM dual";
            break;
        case Mode::Date:
            p.sql = "SELECT CAST(" + text + " AS DATE) FROM dual";
            break;
        case Mode::Condition:
            p.sql =
                "SELECT CASE WHEN " + text + " THEN 1 WHEN NOT (" + text + ") THEN 0 END FROM dual";
            break;
    }
    return p;
}

// The bind parameter standing for the name at toks[k] (k moves past a
// record field or SQL%...), or "" when it names no variable.
std::string Runner::reference(const std::vector<Token>& toks, std::size_t& k, const Names& names,
                              const std::set<std::string>& columns, Prepared& p) {
    const Token& t = toks[k];
    if (t.kind == TokenKind::BindParameter)
        refuseAtRun("the client's bind variable " + t.text);
    if (!t.isName() || (k > 0 && toks[k - 1].isOperator(".")))
        return {};
    // A name right after a name or ")" is an alias (COUNT(*) n, emp e).
    if (k > 0 && (toks[k - 1].isOperator(")") || toks[k - 1].kind == TokenKind::QuotedName ||
                  (toks[k - 1].kind == TokenKind::Name && !precedesValue(toks[k - 1]))))
        return {};
    const std::string name = t.oracleName();
    const bool dotted = k + 2 < toks.size() && toks[k + 1].isOperator(".") && toks[k + 2].isName();
    if (name == "SQL" && k + 2 < toks.size() && toks[k + 1].isOperator("%")) {
        const std::string attribute = toks[k + 2].oracleName();
        Ref ref;
        if (attribute == "ISOPEN") {
            k += 2;
            return "(1 = 0)";  // the implicit cursor is closed after each statement
        }
        if (attribute == "ROWCOUNT")
            ref.kind = Ref::Kind::RowCount;
        else if (attribute == "FOUND" || attribute == "NOTFOUND")
            ref.kind = attribute == "FOUND" ? Ref::Kind::Found : Ref::Kind::NotFound;
        else
            refuseAtRun("SQL%" + attribute);
        k += 2;
        const std::string bound = bindName(p, ref, false);
        return ref.kind == Ref::Kind::RowCount ? bound : "(" + bound + " = 1)";
    }
    if (const std::optional<std::string> cursorRef = cursorAttribute(toks, k, names, p))
        return *cursorRef;
    if (t.kind == TokenKind::Name && (name == "SQLCODE" || name == "SQLERRM") && !names.count(name))
        return bindName(p, Ref{name == "SQLCODE" ? Ref::Kind::SqlCode : Ref::Kind::SqlErrm}, false);
    if (t.kind == TokenKind::Name && (name == "TRUE" || name == "FALSE") && !names.count(name))
        return name == "TRUE" ? "(1 = 1)" : "(1 = 0)";
    const auto found = names.find(name);
    if (found == names.end())
        return {};
    const int slot = found->second;
    const VarSpec& var = m_program.slots[static_cast<std::size_t>(slot)];
    if (var.type == VarSpec::Type::Record) {
        if (!dotted)
            refuseAtRun("a cursor loop's record (" + name + ") used whole");
        const Record& record = m_records[static_cast<std::size_t>(slot)];
        const std::string field = toks[k + 2].oracleName();
        for (std::size_t f = 0; f < record.fields.size(); ++f) {
            if (record.fields[f] == field) {
                k += 2;
                return bindName(p, Ref{Ref::Kind::Field, slot, static_cast<int>(f)},
                                record.dates[f]);
            }
        }
        throw oraError("ORA-06550: PLS-00302: component '" + field + "' must be declared");
    }
    if (columns.count(name) || dotted)
        return {};
    const std::string bound =
        bindName(p, Ref{Ref::Kind::Variable, slot, -1}, var.type == VarSpec::Type::Date);
    return var.type == VarSpec::Type::Boolean ? "(" + bound + " = 1)" : bound;
}

// cursor%FOUND, %NOTFOUND, %ROWCOUNT, %ISOPEN of an explicit cursor.
std::optional<std::string> Runner::cursorAttribute(const std::vector<Token>& toks, std::size_t& k,
                                                   const Names& names, Prepared& p) {
    if (k + 2 >= toks.size() || !toks[k + 1].isOperator("%"))
        return std::nullopt;
    const auto found = names.find(toks[k].oracleName());
    if (found == names.end() ||
        m_program.slots[static_cast<std::size_t>(found->second)].type != VarSpec::Type::Cursor)
        return std::nullopt;
    const std::string attribute = toks[k + 2].oracleName();
    Ref ref{Ref::Kind::CursorRowCount, found->second, -1};
    if (attribute == "FOUND")
        ref.kind = Ref::Kind::CursorFound;
    else if (attribute == "NOTFOUND")
        ref.kind = Ref::Kind::CursorNotFound;
    else if (attribute == "ISOPEN")
        ref.kind = Ref::Kind::CursorIsOpen;
    else if (attribute != "ROWCOUNT")
        refuseAtRun(toks[k].oracleName() + "%" + attribute);
    k += 2;
    const std::string bound = bindName(p, ref, false);
    return ref.kind == Ref::Kind::CursorRowCount ? bound : "(" + bound + " = 1)";
}

Value Runner::asNumber(Value v, const VarSpec& var) const {
    using functions::Number;
    Number n;
    try {
        if (v.kind == Value::Kind::Text)
            n = functions::parseNumber(v.text);
        else
            n = v.kind == Value::Kind::Integer ? Number::of(v.i) : Number::of(v.d);
        if (var.type == VarSpec::Type::PlsInteger) {
            n = functions::roundNumber(n, 0);
            if (std::fabs(n.asDouble()) > 2147483647.0)
                throw oraError("ORA-01426: numeric overflow");
        } else if (var.precision > 0) {
            n = functions::storedNumber(n, var.precision, var.scale);
        }
    } catch (const functions::OraError& e) {
        if (e.code() == 1722)
            throw valueError("character to number conversion error");
        if (e.code() == 1438)
            throw valueError("number precision too large");
        throw oraError(e.what());
    }
    return n.isInteger ? Value::ofInteger(n.i) : Value{Value::Kind::Real, 0, n.d, {}};
}

Value Runner::asText(Value v, const VarSpec& var) const {
    if (v.kind == Value::Kind::Integer)
        v = Value::ofText(functions::numberText(functions::Number::of(v.i)));
    else if (v.kind == Value::Kind::Real)
        v = Value::ofText(functions::numberText(functions::Number::of(v.d)));
    if (v.isNull() || v.text.empty())
        return {};
    if (var.length > 0 && v.text.size() > static_cast<std::size_t>(var.length))
        throw valueError("character string buffer too small");
    return v;
}

void Runner::assign(int slot, Value v) {
    const VarSpec& var = m_program.slots[static_cast<std::size_t>(slot)];
    if (!v.isNull()) {
        switch (var.type) {
            case VarSpec::Type::Varchar2:
                v = asText(std::move(v), var);
                break;
            case VarSpec::Type::Number:
            case VarSpec::Type::Integer:
            case VarSpec::Type::PlsInteger:
                v = asNumber(std::move(v), var);
                break;
            case VarSpec::Type::Date:
                if (v.kind != Value::Kind::Text)
                    throw oraError("ORA-06550: PLS-00382: expression is of wrong type");
                break;
            default:
                break;
        }
    }
    if (v.isNull() && var.notNull)
        throw valueError("");
    m_values[static_cast<std::size_t>(slot)] = std::move(v);
}

Flow Runner::runBlock(Block& block) {
    // The block's cursors are closed when it ends, however it ends.
    struct Closing {
        Runner& r;
        const std::vector<int>& cursors;
        ~Closing() {
            for (int slot : cursors)
                r.m_cursors[static_cast<std::size_t>(slot)] = {};
        }
    } closing{*this, block.cursors};
    for (int slot : block.cursors)
        m_cursors[static_cast<std::size_t>(slot)] = {};
    for (const Declaration& d : block.declarations) {
        m_values[static_cast<std::size_t>(d.slot)] = {};
        const VarSpec& var = m_program.slots[static_cast<std::size_t>(d.slot)];
        if (var.type == VarSpec::Type::Record)
            m_records[static_cast<std::size_t>(d.slot)] = {var.fields, var.dates, {}};
        if (d.value.empty())
            continue;
        try {
            assign(d.slot, evaluate(d.value, modeFor(d.slot)));
        } catch (const BlockError&) {
            throw;
        } catch (const EngineError& e) {
            throw BlockError(e, d.line);
        }
    }
    try {
        return runList(block.body);
    } catch (const EngineError& error) {
        const std::optional<Flow> handled = handle(block, error);
        if (!handled)
            throw;
        return *handled;
    }
}

// Runs the handler that takes `error`; nullopt when none does.
std::optional<Flow> Runner::handle(Block& block, const EngineError& error) {
    if (isUnhandleable(error))
        return std::nullopt;
    const int code = oracleCode(error.what());
    const auto* raised = dynamic_cast<const BlockError*>(&error);
    const int exception = raised ? raised->exception() : -1;
    for (Handler& h : block.handlers) {
        bool takes = false;
        for (const std::string& name : h.exceptions) {
            if (name == "OTHERS")
                takes = true;
            for (const PredefinedException& p : kExceptions) {
                if (name == p.name && code == p.code)
                    takes = true;
            }
        }
        for (int slot : h.userExceptions) {
            const int tied = m_program.slots[static_cast<std::size_t>(slot)].errorCode;
            if (slot == exception || (tied != 0 && tied == code))
                takes = true;
        }
        if (!takes)
            continue;
        m_handled.push_back(handled(error.what(), code, exception));
        struct Pop {
            std::vector<Handled>& v;
            ~Pop() { v.pop_back(); }
        } pop{m_handled};
        return runList(h.body);
    }
    return std::nullopt;
}

// SQLCODE is the error's number negated (+100 for NO_DATA_FOUND, +1 with
// SQLERRM "User-Defined Exception" for a declared exception raised by RAISE).
Handled Runner::handled(const std::string& message, int code, int exception) const {
    if (exception >= 0 && m_program.slots[static_cast<std::size_t>(exception)].errorCode == 0)
        return {"User-Defined Exception", 1, exception};
    if (code == 1403)
        return {message, 100, exception};
    return {message, code == 0 ? -1 : -code, exception};
}

Flow Runner::runList(StmtList& list) {
    for (auto& s : list) {
        const Flow flow = runStatement(*s);
        if (flow != Flow::Next)
            return flow;
    }
    return Flow::Next;
}

Flow Runner::runStatement(Stmt& s) {
    try {
        switch (s.kind) {
            case Stmt::Kind::Null:
                return Flow::Next;
            case Stmt::Kind::Assign:
                assign(s.slots[0], evaluate(s.exprs[0], modeFor(s.slots[0])));
                return Flow::Next;
            case Stmt::Kind::Exit:
            case Stmt::Kind::Continue:
                if (!s.exprs.empty() && !isTrue(s.exprs[0]))
                    return Flow::Next;
                m_exitLabel = s.label;
                return s.kind == Stmt::Kind::Exit ? Flow::Exit : Flow::Continue;
            case Stmt::Kind::Sql: {
                const Prepared& p = prepared(s.exprs[0], Mode::Sql);
                m_rowCount = m_host.runSql(p.sql, binder(p), nullptr);
                m_sqlRan = true;
                return Flow::Next;
            }
            case Stmt::Kind::SelectInto:
                runSelectInto(s);
                return Flow::Next;
            case Stmt::Kind::Execute:
                runExecute(s);
                return Flow::Next;
            case Stmt::Kind::PutLine:
            case Stmt::Kind::Put:
            case Stmt::Kind::NewLine:
                runOutput(s);
                return Flow::Next;
            case Stmt::Kind::Enable:
            case Stmt::Kind::Disable:
                m_host.enableOutput(s.kind == Stmt::Kind::Enable);
                return Flow::Next;
            case Stmt::Kind::GatherStats:
                runGatherStats(s);
                return Flow::Next;
            case Stmt::Kind::Seed:
                m_host.seedRandom(evaluate(s.exprs[0], Mode::Text).text);
                return Flow::Next;
            case Stmt::Kind::RaiseError:
            case Stmt::Kind::Raise:
                runRaise(s);
            case Stmt::Kind::Commit:
                m_host.commit();
                return Flow::Next;
            case Stmt::Kind::Open:
                openCursor(s.slots[0], s.exprs);
                return Flow::Next;
            case Stmt::Kind::Fetch:
                fetch(s);
                return Flow::Next;
            case Stmt::Kind::Close:
                if (!m_cursors[static_cast<std::size_t>(s.slots[0])].open)
                    throw oraError("ORA-01001: invalid cursor");
                m_cursors[static_cast<std::size_t>(s.slots[0])] = {};
                return Flow::Next;
            case Stmt::Kind::Rollback:
                m_host.rollback();
                return Flow::Next;
            default:
                return runCompound(s);
        }
    } catch (BlockError& e) {
        e.place(s.line);
        throw;
    } catch (const EngineError& e) {
        throw BlockError(e, s.line);
    }
}

Flow Runner::runCompound(Stmt& s) {
    switch (s.kind) {
        case Stmt::Kind::If:
            return runIf(s);
        case Stmt::Kind::Loop:
        case Stmt::Kind::While:
            return runLoop(s);
        case Stmt::Kind::ForRange:
            return runForRange(s);
        case Stmt::Kind::ForCursor:
            return runForCursor(s);
        case Stmt::Kind::Block:
            return runBlock(*s.block);
        default:
            return Flow::Next;
    }
}

Flow Runner::runIf(Stmt& s) {
    for (std::size_t k = 0; k < s.exprs.size(); ++k) {
        if (isTrue(s.exprs[k]))
            return runList(s.bodies[k]);
    }
    if (s.bodies.size() > s.exprs.size())
        return runList(s.bodies.back());
    if (s.caseStatement)
        throw oraError("ORA-06592: CASE not found while executing CASE statement");
    return Flow::Next;
}

bool Runner::leaves(Stmt& loop, Flow flow, bool& propagate) {
    propagate = false;
    if (flow == Flow::Next)
        return false;
    if (!m_exitLabel.empty() && m_exitLabel != loop.label) {
        propagate = true;  // an outer loop's EXIT or CONTINUE
        return true;
    }
    m_exitLabel.clear();
    return flow == Flow::Exit;
}

Flow Runner::runLoop(Stmt& s) {
    for (;;) {
        countIteration();
        if (s.kind == Stmt::Kind::While && !isTrue(s.exprs[0]))
            return Flow::Next;
        const Flow flow = runList(s.bodies[0]);
        bool propagate = false;
        if (leaves(s, flow, propagate))
            return propagate ? flow : Flow::Next;
    }
}

Flow Runner::runForRange(Stmt& s) {
    VarSpec bound;
    bound.type = VarSpec::Type::PlsInteger;
    const Value low = evaluate(s.exprs[0], Mode::Value);
    const Value high = evaluate(s.exprs[1], Mode::Value);
    if (low.isNull() || high.isNull())
        throw valueError("invalid LOOP index value");  // Oracle: ORA-06502 for a NULL bound
    const std::int64_t from = asNumber(low, bound).i;
    const std::int64_t to = asNumber(high, bound).i;
    const int slot = s.slots[0];
    for (std::int64_t n = s.reverse ? to : from; s.reverse ? n >= from : n <= to;
         s.reverse ? --n : ++n) {
        countIteration();
        m_values[static_cast<std::size_t>(slot)] = Value::ofInteger(n);
        const Flow flow = runList(s.bodies[0]);
        bool propagate = false;
        if (leaves(s, flow, propagate))
            return propagate ? flow : Flow::Next;
    }
    return Flow::Next;
}

// The rows are read when the loop starts (the query sees the data as it
// was then, as Oracle's read consistency has it), then the body runs once
// for each.
Flow Runner::runForCursor(Stmt& s) {
    Cursor rows;
    const bool named = s.slots.size() > 1;
    if (named) {
        openCursor(s.slots[1], s.exprs);
        rows = std::exchange(m_cursors[static_cast<std::size_t>(s.slots[1])], {});
        m_cursors[static_cast<std::size_t>(s.slots[1])].open = true;
    } else {
        readRows(prepared(s.exprs[0], Mode::Sql), {}, rows);
    }
    struct Closing {  // a named cursor is closed when its loop ends, however it ends
        Runner& r;
        int slot;
        ~Closing() {
            if (slot >= 0)
                r.m_cursors[static_cast<std::size_t>(slot)] = {};
        }
    } closing{*this, named ? s.slots[1] : -1};
    Record& record = m_records[static_cast<std::size_t>(s.slots[0])];
    for (auto& row : rows.rows) {
        countIteration();
        if (named) {
            Cursor& c = m_cursors[static_cast<std::size_t>(s.slots[1])];
            ++c.fetched;
            c.found = true;
        }
        record.fields = rows.shape.fields;
        record.dates = rows.shape.dates;
        record.values = std::move(row);
        const Flow flow = runList(s.bodies[0]);
        bool propagate = false;
        if (leaves(s, flow, propagate))
            return propagate ? flow : Flow::Next;
    }
    return Flow::Next;
}

// Runs a query and keeps its rows and the shape of its rows.
void Runner::readRows(const Prepared& p, const Host::Binder& bind, Cursor& into) {
    const Host::RowReader reader = [&](sqlite3_stmt* st) {
        const int columns = sqlite3_column_count(st);
        if (into.shape.fields.empty()) {
            for (int c = 0; c < columns; ++c) {
                into.shape.fields.push_back(dialect::upperAscii(sqlite3_column_name(st, c)));
                const char* declared = sqlite3_column_decltype(st, c);
                into.shape.dates.push_back(declared && dialect::typeOfDeclared(declared) ==
                                                           dialect::OracleType::Date);
            }
        }
        std::vector<Value> row;
        for (int c = 0; c < columns; ++c)
            row.push_back(columnValue(st, c));
        into.rows.push_back(std::move(row));
        return true;
    };
    m_host.runSql(p.sql, bind ? bind : binder(p), &reader);
}

// OPEN: the arguments go to the cursor's parameters, then its rows are read.
void Runner::openCursor(int slot, const std::vector<Code>& arguments) {
    Cursor& c = m_cursors[static_cast<std::size_t>(slot)];
    if (c.open)
        throw oraError("ORA-06511: PL/SQL: cursor already open");
    const CursorDecl& decl = m_program.cursors[static_cast<std::size_t>(
        m_program.slots[static_cast<std::size_t>(slot)].cursor)];
    if (arguments.size() > decl.parameters.size())
        throw oraError("ORA-06550: PLS-00306: wrong number or types of arguments in call to '" +
                       m_program.names[static_cast<std::size_t>(slot)] + "'");
    for (std::size_t k = 0; k < decl.parameters.size(); ++k) {
        const int parameter = decl.parameters[k];
        const Code* value = k < arguments.size() ? &arguments[k] : &decl.defaults[k];
        if (value->empty())
            throw oraError(
                "ORA-06550: PLS-00306: wrong number or types of arguments in call "
                "to '" +
                m_program.names[static_cast<std::size_t>(slot)] + "'");
        assign(parameter, evaluate(*value, modeFor(parameter)));
    }
    Cursor opened;
    readRows(prepared(decl.query, Mode::Sql), {}, opened);
    opened.open = true;
    m_cursors[static_cast<std::size_t>(slot)] = std::move(opened);
}

// FETCH: the next row into the targets (a record takes it whole); past the
// last row %NOTFOUND and the targets keep their values.
void Runner::fetch(const Stmt& s) {
    Cursor& c = m_cursors[static_cast<std::size_t>(s.slots[0])];
    if (!c.open)
        throw oraError("ORA-01001: invalid cursor");
    if (c.fetched >= c.rows.size()) {
        c.found = false;
        return;
    }
    std::vector<Value>& row = c.rows[c.fetched];
    const std::vector<int> targets(s.slots.begin() + 1, s.slots.end());
    storeRow(targets, std::move(row), c.shape);
    ++c.fetched;
    c.found = true;
}

// A row into targets: one record, or one variable per column.
void Runner::storeRow(const std::vector<int>& targets, std::vector<Value> row,
                      const Record& shape) {
    const VarSpec& first = m_program.slots[static_cast<std::size_t>(targets[0])];
    if (targets.size() == 1 && first.type == VarSpec::Type::Record) {
        Record& record = m_records[static_cast<std::size_t>(targets[0])];
        if (!first.fields.empty() && first.fields.size() != row.size())
            throw oraError(
                "ORA-06504: PL/SQL: Return types of Result Set variables or query do "
                "not match");
        if (first.fields.empty()) {
            record.fields = shape.fields;
            record.dates = shape.dates;
        }
        record.values = std::move(row);
        return;
    }
    if (row.size() < targets.size())
        throw oraError("ORA-00947: not enough values");
    if (row.size() > targets.size())
        throw oraError("ORA-00913: too many values");
    for (std::size_t k = 0; k < targets.size(); ++k) {
        const VarSpec::Type type = m_program.slots[static_cast<std::size_t>(targets[k])].type;
        const bool date = k < shape.dates.size() && shape.dates[k];
        if (row[k].kind == Value::Kind::Text &&
            ((type == VarSpec::Type::Varchar2 && date) ||
             (type == VarSpec::Type::Date && !date && !isStoredDate(row[k].text))))
            row[k] = converted(row[k], type == VarSpec::Type::Date);
        assign(targets[k], std::move(row[k]));
    }
}

// A DATE as text in the session's format, or text as a DATE by it: Oracle's
// implicit conversions, done by the engine's own functions.
Value Runner::converted(const Value& v, bool toDate) {
    Value result;
    const Host::RowReader reader = [&](sqlite3_stmt* st) {
        result = columnValue(st, 0);
        return false;
    };
    const Host::Binder bind = [&](sqlite3_stmt* st) { bindValue(st, 1, v); };
    m_host.runSql(toDate
                      ? "SELECT CAST(:1 AS DATE) FROM dual"
                      : std::string("SELECT TO_CHAR(TO_DATE(:1, ") + kDateFormat + ")) FROM dual",
                  bind, &reader);
    return result;
}

void Runner::readInto(const std::vector<int>& slots, const Prepared& p, const Host::Binder& bind) {
    Cursor read;
    std::int64_t count = 0;
    const Host::RowReader reader = [&](sqlite3_stmt* st) {
        if (++count > 1)
            return false;
        const int columns = sqlite3_column_count(st);
        std::vector<Value> row;
        for (int c = 0; c < columns; ++c) {
            read.shape.fields.push_back(dialect::upperAscii(sqlite3_column_name(st, c)));
            const char* declared = sqlite3_column_decltype(st, c);
            read.shape.dates.push_back(declared && dialect::typeOfDeclared(declared) ==
                                                       dialect::OracleType::Date);
            row.push_back(columnValue(st, c));
        }
        read.rows.push_back(std::move(row));
        return true;
    };
    m_host.runSql(p.sql, bind, &reader);
    if (count == 0)
        throw oraError("ORA-01403: no data found");
    if (count > 1)
        throw oraError("ORA-01422: exact fetch returns more than requested number of rows");
    storeRow(slots, std::move(read.rows[0]), read.shape);
    m_rowCount = 1;
    m_sqlRan = true;
}

void Runner::runSelectInto(Stmt& s) {
    const Prepared& p = prepared(s.exprs[0], Mode::Sql);
    readInto(s.slots, p, binder(p));
}

// EXECUTE IMMEDIATE: the text's placeholders (:1, :name) take the USING
// values in the order they first appear.
void Runner::runExecute(Stmt& s) {
    const Value text = evaluate(s.exprs[0], Mode::Text);
    std::string statement = text.text;
    while (!statement.empty() &&
           (statement.back() == ';' || std::isspace(static_cast<unsigned char>(statement.back()))))
        statement.pop_back();
    if (statement.empty())
        throw oraError("ORA-06535: statement string in EXECUTE IMMEDIATE is NULL or 0 length");
    const std::vector<Token> toks = codeTokens(statement);
    if (!toks.empty() && (toks[0].is("BEGIN") || toks[0].is("DECLARE")))
        refuseAtRun("a PL/SQL block run by EXECUTE IMMEDIATE");
    std::vector<std::string> placeholders;
    for (const Token& t : toks) {
        if (t.kind == TokenKind::BindParameter &&
            std::find(placeholders.begin(), placeholders.end(), t.text) == placeholders.end())
            placeholders.push_back(t.text);
    }
    std::vector<Value> values;
    for (std::size_t k = 1; k < s.exprs.size(); ++k)
        values.push_back(evaluate(s.exprs[k], Mode::Value));
    if (values.size() < placeholders.size())
        throw oraError("ORA-01008: not all variables bound");
    if (values.size() > placeholders.size())
        throw oraError("ORA-01006: bind variable does not exist");
    const Host::Binder bind = [&](sqlite3_stmt* st) {
        for (std::size_t k = 0; k < placeholders.size(); ++k) {
            const int index = sqlite3_bind_parameter_index(st, placeholders[k].c_str());
            if (index > 0)
                bindValue(st, index, values[k]);
        }
    };
    Prepared p;
    p.sql = statement;
    if (!s.slots.empty()) {
        readInto(s.slots, p, bind);
        return;
    }
    m_rowCount = m_host.runSql(statement, bind, nullptr);
    m_sqlRan = true;
}

// DBMS_STATS's gathering as the ANALYZE statement of the same object. The
// database has one schema, the user's, so the owner needs no reading. An
// object name is upper case unless written in double quotes, as DBMS_STATS
// reads it.
void Runner::runGatherStats(Stmt& s) {
    std::string sql = "ANALYZE";
    if (s.exprs.size() > 1) {
        std::string object = evaluate(s.exprs[1], Mode::Text).text;
        if (object.size() >= 2 && object.front() == '"' && object.back() == '"')
            object = object.substr(1, object.size() - 2);
        else
            std::transform(object.begin(), object.end(), object.begin(),
                           [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
        sql += s.name == "GATHER_INDEX_STATS" ? " INDEX " : " TABLE ";
        sql += dialect::quoteName(object) + " COMPUTE STATISTICS";
    }
    m_host.runSql(
        sql, [](sqlite3_stmt*) {}, nullptr);
}

void Runner::runOutput(Stmt& s) {
    std::string text;
    if (!s.exprs.empty())
        text = evaluate(s.exprs[0], Mode::Text).text;
    ServerOutput* out = m_host.output();
    if (!out)
        return;
    if (out->partial.size() + text.size() > 32767)
        throw oraError("ORA-20000: ORU-10028: line length overflow, limit of 32767 bytes per line");
    out->partial += text;
    if (s.kind != Stmt::Kind::Put) {
        out->lines.push_back(std::move(out->partial));
        out->partial.clear();
    }
}

void Runner::runRaise(Stmt& s) {
    if (s.kind == Stmt::Kind::RaiseError) {
        const Value number = asNumber(evaluate(s.exprs[0], Mode::Value), VarSpec{});
        const std::string message = evaluate(s.exprs[1], Mode::Text).text;
        const double n =
            number.kind == Value::Kind::Integer ? static_cast<double>(number.i) : number.d;
        if (number.isNull() || n > -20000 || n < -20999)
            throw oraError("ORA-21000: error number argument to raise_application_error of " +
                           (number.isNull() ? std::string("NULL") : std::to_string(number.i)) +
                           " is out of range");
        throw oraError("ORA-" + std::to_string(-number.i) + ": " + message.substr(0, 2048));
    }
    if (!s.slots.empty()) {
        const int code = m_program.slots[static_cast<std::size_t>(s.slots[0])].errorCode;
        std::string text = "ORA-06510: PL/SQL: unhandled user-defined exception";
        if (code != 0) {
            text = std::to_string(code);
            text = "ORA-" + std::string(text.size() < 5 ? 5 - text.size() : 0, '0') + text + ": ";
            for (const PredefinedException& p : kExceptions) {
                if (p.code == code)
                    text = p.text;
            }
        }
        throw BlockError(oraError(text), 0, s.slots[0]);
    }
    if (s.name.empty()) {
        if (m_handled.empty())
            throw oraError(
                "ORA-06550: PLS-00367: a RAISE statement with no exception name "
                "must be inside an exception handler");
        const Handled& h = m_handled.back();
        const bool declared = h.exception >= 0 && h.code == 1;
        throw BlockError(
            oraError(declared ? "ORA-06510: PL/SQL: unhandled user-defined exception" : h.message),
            0, h.exception);
    }
    for (const PredefinedException& p : kExceptions) {
        if (s.name == p.name)
            throw oraError(p.text);
    }
    refuseAtRun("RAISE of the exception " + s.name);
}

}  // namespace

void runProgram(Program& program, Host& host) {
    Runner(program, host).run();
}

}  // namespace localengine::plsql
