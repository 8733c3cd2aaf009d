// The Oracle type of an expression, from its operands. Issue-by-issue the
// rules grow here: what is not known is Unknown, never a guess.

#include "Binder.h"

#include <string_view>

namespace localengine::dialect {

namespace {

OracleType literalType(const Literal& l) {
    switch (l.form) {
        case Literal::Form::Number:
            return OracleType::Number;
        case Literal::Form::Text:
            return OracleType::Char;
        case Literal::Form::Boolean:
            return OracleType::Boolean;
        case Literal::Form::Date:
            return OracleType::Date;
        case Literal::Form::Timestamp:
            return OracleType::Timestamp;
        case Literal::Form::Interval:
            return OracleType::Interval;
        case Literal::Form::Null:
            break;
    }
    return OracleType::Unknown;
}

OracleType pseudoType(Pseudo p) {
    switch (p) {
        case Pseudo::Rowid:
            return OracleType::Rowid;
        case Pseudo::Sysdate:
        case Pseudo::CurrentDate:
            return OracleType::Date;
        case Pseudo::Systimestamp:
        case Pseudo::CurrentTimestamp:
        case Pseudo::LocalTimestamp:
            return OracleType::Timestamp;
        case Pseudo::User:
            return OracleType::Varchar2;
        default:
            return OracleType::Number;
    }
}

// Oracle's datetime arithmetic: DATE or TIMESTAMP + n is a DATE (a
// TIMESTAMP loses its fraction), DATE - DATE a number of days, a
// difference with a TIMESTAMP an interval, a datetime moved by an interval
// keeps its type, intervals add to intervals. What Oracle refuses the
// emitter refuses; its type here does not matter.
OracleType arithmeticType(BinaryOp op, OracleType left, OracleType right) {
    const bool leftTime = isDatetime(left), rightTime = isDatetime(right);
    const bool leftInterval = left == OracleType::Interval;
    const bool rightInterval = right == OracleType::Interval;
    if (op == BinaryOp::Add || op == BinaryOp::Subtract) {
        if (leftTime && rightTime)
            return left == OracleType::Date && right == OracleType::Date ? OracleType::Number
                                                                         : OracleType::Interval;
        if (leftTime || rightTime) {
            const OracleType time = leftTime ? left : right;
            return leftInterval || rightInterval ? time : OracleType::Date;
        }
        if (leftInterval || rightInterval)
            return OracleType::Interval;
        return OracleType::Number;
    }
    if ((op == BinaryOp::Multiply || op == BinaryOp::Divide) && (leftInterval || rightInterval))
        return OracleType::Interval;
    return OracleType::Number;
}

struct FunctionType {
    std::string_view name;
    OracleType type;  // Unknown: the type of the first argument
};

// Sorted by name.
constexpr FunctionType kFunctions[] = {{"ABS", OracleType::Number},
                                       {"ADD_MONTHS", OracleType::Date},
                                       {"ASCII", OracleType::Number},
                                       {"AVG", OracleType::Number},
                                       {"BITAND", OracleType::Number},
                                       {"CEIL", OracleType::Number},
                                       {"CHR", OracleType::Varchar2},
                                       {"COALESCE", OracleType::Unknown},
                                       {"CONCAT", OracleType::Varchar2},
                                       {"COUNT", OracleType::Number},
                                       {"DENSE_RANK", OracleType::Number},
                                       {"EMPTY_BLOB", OracleType::Blob},
                                       {"EMPTY_CLOB", OracleType::Clob},
                                       {"EXP", OracleType::Number},
                                       {"FIRST_VALUE", OracleType::Unknown},
                                       {"FLOOR", OracleType::Number},
                                       {"GREATEST", OracleType::Unknown},
                                       {"HEXTORAW", OracleType::Blob},
                                       {"INITCAP", OracleType::Varchar2},
                                       {"INSTR", OracleType::Number},
                                       {"INSTRB", OracleType::Number},
                                       {"LAG", OracleType::Unknown},
                                       {"LAST_DAY", OracleType::Date},
                                       {"LAST_VALUE", OracleType::Unknown},
                                       {"LEAD", OracleType::Unknown},
                                       {"LEAST", OracleType::Unknown},
                                       {"LENGTH", OracleType::Number},
                                       {"LENGTHB", OracleType::Number},
                                       {"LISTAGG", OracleType::Varchar2},
                                       {"LN", OracleType::Number},
                                       {"LOG", OracleType::Number},
                                       {"LOWER", OracleType::Varchar2},
                                       {"LPAD", OracleType::Varchar2},
                                       {"LTRIM", OracleType::Varchar2},
                                       {"MAX", OracleType::Unknown},
                                       {"MEDIAN", OracleType::Number},
                                       {"MIN", OracleType::Unknown},
                                       {"MOD", OracleType::Number},
                                       {"MONTHS_BETWEEN", OracleType::Number},
                                       {"NEXT_DAY", OracleType::Date},
                                       {"NTILE", OracleType::Number},
                                       {"NULLIF", OracleType::Unknown},
                                       {"NUMTODSINTERVAL", OracleType::Interval},
                                       {"NUMTOYMINTERVAL", OracleType::Interval},
                                       {"NVL", OracleType::Unknown},
                                       {"POWER", OracleType::Number},
                                       {"RANK", OracleType::Number},
                                       {"RAWTOHEX", OracleType::Varchar2},
                                       {"REGEXP_COUNT", OracleType::Number},
                                       {"REGEXP_INSTR", OracleType::Number},
                                       {"REGEXP_REPLACE", OracleType::Varchar2},
                                       {"REGEXP_SUBSTR", OracleType::Varchar2},
                                       {"REMAINDER", OracleType::Number},
                                       {"REPLACE", OracleType::Varchar2},
                                       {"ROUND", OracleType::Unknown},
                                       {"ROW_NUMBER", OracleType::Number},
                                       {"RPAD", OracleType::Varchar2},
                                       {"RTRIM", OracleType::Varchar2},
                                       {"SIGN", OracleType::Number},
                                       {"SOUNDEX", OracleType::Varchar2},
                                       {"SQRT", OracleType::Number},
                                       {"STDDEV", OracleType::Number},
                                       {"SUBSTR", OracleType::Varchar2},
                                       {"SUBSTRB", OracleType::Varchar2},
                                       {"SUM", OracleType::Number},
                                       {"SYS_CONNECT_BY_PATH", OracleType::Varchar2},
                                       {"SYS_GUID", OracleType::Blob},
                                       {"TO_BLOB", OracleType::Blob},
                                       {"TO_CHAR", OracleType::Varchar2},
                                       {"TO_CLOB", OracleType::Clob},
                                       {"TO_DATE", OracleType::Date},
                                       {"TO_NCLOB", OracleType::Clob},
                                       {"TO_NUMBER", OracleType::Number},
                                       {"TO_TIMESTAMP", OracleType::Timestamp},
                                       {"TRANSLATE", OracleType::Varchar2},
                                       {"TRUNC", OracleType::Unknown},
                                       {"UPPER", OracleType::Varchar2},
                                       {"VARIANCE", OracleType::Number}};

namespace {

// DBMS_LOB's, UTL_RAW's and DBMS_RANDOM's functions the engine has (by
// their last two names); Unknown for others.
OracleType packageFunctionType(const FunctionCall& f) {
    const std::string& package = f.name[f.name.size() - 2].name;
    const std::string& name = f.functionName();
    if (package == "DBMS_LOB") {
        if (name == "GETLENGTH" || name == "INSTR")
            return OracleType::Number;
        // SUBSTR gives RAW of a BLOB, VARCHAR2 of a CLOB.
        if (name == "SUBSTR" && !f.args.empty())
            return f.args.front()->type == OracleType::Blob ? OracleType::Blob
                                                            : OracleType::Varchar2;
    } else if (package == "DBMS_RANDOM") {
        return name == "STRING" ? OracleType::Varchar2 : OracleType::Number;
    } else if (package == "UTL_RAW") {
        if (name == "LENGTH")
            return OracleType::Number;
        if (name == "CAST_TO_VARCHAR2")
            return OracleType::Varchar2;
        if (name == "CAST_TO_RAW" || name == "CONCAT")
            return OracleType::Blob;
    }
    return OracleType::Unknown;
}

}  // namespace

OracleType functionType(const FunctionCall& f) {
    if (f.name.size() != 1)
        return f.name.size() > 1 ? packageFunctionType(f) : OracleType::Unknown;
    const std::string& name = f.functionName();
    // DECODE gives its first result's type, CHAR and NULL as VARCHAR2.
    if (name == "DECODE") {
        const OracleType first = f.args.size() >= 3 ? f.args[2]->type : OracleType::Unknown;
        return first == OracleType::Char || first == OracleType::Unknown ? OracleType::Varchar2
                                                                         : first;
    }
    if (name == "NVL2")
        return f.args.size() >= 2 ? f.args[1]->type : OracleType::Unknown;
    // COALESCE of numbers and character data is a number; otherwise the
    // type of the first argument whose type is known.
    if (name == "COALESCE") {
        bool number = false, numeric = true;
        OracleType first = OracleType::Unknown;
        for (const ExprPtr& a : f.args) {
            number = number || a->type == OracleType::Number;
            numeric = numeric && (a->type == OracleType::Number || a->type == OracleType::Unknown ||
                                  isCharacter(a->type));
            if (first == OracleType::Unknown)
                first = a->type;
        }
        return number && numeric ? OracleType::Number : first;
    }
    for (const FunctionType& known : kFunctions) {
        if (known.name != name)
            continue;
        if (known.type != OracleType::Unknown)
            return known.type;
        // ROUND and TRUNC of a number are numbers, of a date dates.
        if (f.args.empty())
            return OracleType::Unknown;
        const OracleType first = f.args.front()->type;
        if ((name == "ROUND" || name == "TRUNC") && !isDatetime(first))
            return OracleType::Number;
        // "The value returned is always of data type DATE, even if you
        // specify a different datetime data type for date."
        if (name == "ROUND" || name == "TRUNC")
            return OracleType::Date;
        // NVL of character data is VARCHAR2.
        if (name == "NVL" && first == OracleType::Char)
            return OracleType::Varchar2;
        return first;
    }
    return OracleType::Unknown;
}

OracleType caseType(const Case& c) {
    for (const WhenClause& w : c.whens)
        if (w.result->type != OracleType::Unknown)
            return w.result->type;
    return c.otherwise ? c.otherwise->type : OracleType::Unknown;
}

}  // namespace

OracleType Binder::typeOf(const Expr& e) const {
    switch (e.kind) {
        case ExprKind::Literal:
            return literalType(e.as<Literal>());
        case ExprKind::ColumnRef: {
            const ColumnBinding& b = e.as<ColumnRef>().binding;
            if (!b.source)
                return OracleType::Unknown;
            if (b.column < 0)
                return OracleType::Rowid;
            return b.source->columnTypes[static_cast<std::size_t>(b.column)];
        }
        case ExprKind::PseudoColumn:
            return pseudoType(e.as<PseudoColumn>().which);
        case ExprKind::Unary: {
            const Unary& u = e.as<Unary>();
            return u.op == UnaryOp::Not ? OracleType::Boolean : u.operand->type;
        }
        case ExprKind::Binary: {
            const Binary& b = e.as<Binary>();
            if (b.op == BinaryOp::And || b.op == BinaryOp::Or)
                return OracleType::Boolean;
            if (b.op == BinaryOp::Concatenate)
                return b.left->type == OracleType::Clob || b.right->type == OracleType::Clob
                           ? OracleType::Clob
                           : OracleType::Varchar2;
            return arithmeticType(b.op, b.left->type, b.right->type);
        }
        case ExprKind::ScalarSubquery: {
            const Query& q = *e.as<ScalarSubquery>().query;
            return q.columnTypes.empty() ? OracleType::Unknown : q.columnTypes.front();
        }
        case ExprKind::Case:
            return caseType(e.as<Case>());
        case ExprKind::FunctionCall:
            return functionType(e.as<FunctionCall>());
        case ExprKind::Cast:
            return typeOfDeclared(e.as<Cast>().target.spelled());
        case ExprKind::Extract:
        case ExprKind::SequenceValue:
            return OracleType::Number;
        case ExprKind::Trim:
            return OracleType::Varchar2;
        case ExprKind::Comparison:
        case ExprKind::QuantifiedComparison:
        case ExprKind::IsNull:
        case ExprKind::Like:
        case ExprKind::Between:
        case ExprKind::InList:
        case ExprKind::InSubquery:
        case ExprKind::Exists:
            return OracleType::Boolean;
        default:
            return OracleType::Unknown;
    }
}

}  // namespace localengine::dialect
