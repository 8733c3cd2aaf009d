#pragma once
// The one failure of the front end: a statement it refuses, with Oracle's
// error number and text ("ORA-00907: missing right parenthesis").

#include <stdexcept>
#include <string>

namespace localengine::dialect {

class DialectError : public std::runtime_error {
public:
    // `oraCode` is Oracle's error number (907 for ORA-00907), 0 for a
    // refusal that has no Oracle counterpart; `what()` is the full text.
    DialectError(int oraCode, const std::string& text)
        : std::runtime_error(oraCode ? oraPrefix(oraCode) + text : text), m_oraCode(oraCode) {}

    int oraCode() const noexcept { return m_oraCode; }

    static std::string oraPrefix(int code);

private:
    int m_oraCode;
};

// Oracle's errors for the refusals of the front end.
namespace ora {
constexpr int kInvalidSqlStatement = 900;  // invalid SQL statement
constexpr int kInvalidCharacter = 911;     // invalid character
constexpr int kMissingKeyword = 905;       // missing keyword
constexpr int kMissingLeftParen = 906;     // missing left parenthesis
constexpr int kMissingRightParen = 907;    // missing right parenthesis
constexpr int kMissingComma = 917;         // missing comma
constexpr int kTooManyValues = 913;        // too many values
constexpr int kTooManyArguments = 939;     // too many arguments for function
constexpr int kFromNotFound = 923;         // FROM keyword not found where expected
constexpr int kNotProperlyEnded = 933;     // SQL command not properly ended
constexpr int kMissingExpression = 936;    // missing expression
constexpr int kInvalidTableName = 903;     // invalid table name
constexpr int kInvalidIdentifier = 904;    // invalid identifier
constexpr int kColumnAmbiguous = 918;      // column ambiguously defined
constexpr int kMissingSelect = 928;        // missing SELECT keyword
constexpr int kConnectByRequired = 1788;   // CONNECT BY clause required in this query block
constexpr int kOuterJoinWithOr =
    1719;  // outer join operator (+) not allowed in operand of OR or IN
constexpr int kOuterJoinTwoTables = 1468;  // a predicate may reference only one outer-joined table
constexpr int kOuterJoinEachOther = 1416;  // two tables cannot be outer-joined to each other
constexpr int kOuterJoinWithAnsi =
    25156;                               // old style outer join (+) cannot be used with ANSI joins
constexpr int kSequenceMissing = 2289;   // sequence does not exist
constexpr int kUnimplemented = 3001;     // unimplemented feature
constexpr int kTooDeep = 3095;           // expression level is too deep
constexpr int kTooLong = 64621;          // SQL statement length exceeds maximum allowed length
constexpr int kQuotedStringOpen = 1756;  // quoted string not properly terminated
constexpr int kMissingDoubleQuote = 1740;    // missing double quote in identifier
constexpr int kZeroLengthIdentifier = 1741;  // illegal zero-length identifier
constexpr int kCommentOpen = 1742;           // comment not properly terminated
constexpr int kOuterJoinNotAllowed = 30563;  // outer join operator (+) is not allowed here
}  // namespace ora

// Throws DialectError; the helpers below keep the call sites short.
[[noreturn]] void fail(int oraCode, const std::string& text);
// ORA-03001 naming the construct: "unimplemented feature: MERGE".
[[noreturn]] void unsupported(const std::string& construct);

}  // namespace localengine::dialect
