#include "Types.h"

#include "Lexer.h"

#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

namespace localengine::dialect {

namespace {

bool has(const std::string& upper, const char* part) {
    return upper.find(part) != std::string::npos;
}

bool startsWith(const std::string& upper, const char* prefix) {
    return upper.rfind(prefix, 0) == 0;
}

}  // namespace

// Oracle's names first; what remains is read by SQLite's affinity rules
// (a name with INT is a number, with CHAR, CLOB or TEXT text, with BLOB a
// blob, with REAL, FLOA or DOUB a number).
OracleType typeOfDeclared(std::string_view declared) {
    const std::string t = upperAscii(declared);
    if (t.empty())
        return OracleType::Unknown;
    if (startsWith(t, "DATE"))
        return OracleType::Date;
    if (startsWith(t, "TIMESTAMP"))
        return OracleType::Timestamp;
    if (startsWith(t, "INTERVAL"))
        return OracleType::Interval;
    if (startsWith(t, "LONG RAW") || startsWith(t, "RAW") || has(t, "BLOB") ||
        startsWith(t, "BFILE"))
        return OracleType::Blob;
    if (has(t, "CLOB") || startsWith(t, "LONG"))
        return OracleType::Clob;
    if (startsWith(t, "NUMBER") || startsWith(t, "BINARY_") || startsWith(t, "DECIMAL") ||
        startsWith(t, "NUMERIC") || startsWith(t, "FLOAT") || has(t, "INT") || has(t, "REAL") ||
        has(t, "DOUB") || has(t, "FLOA") || startsWith(t, "DEC"))
        return OracleType::Number;
    if (startsWith(t, "ROWID") || startsWith(t, "UROWID"))
        return OracleType::Rowid;
    if (startsWith(t, "CHAR") || startsWith(t, "NCHAR") || startsWith(t, "CHARACTER") ||
        startsWith(t, "NATIONAL CHAR"))
        return has(t, "VARYING") ? OracleType::Varchar2 : OracleType::Char;
    if (has(t, "CHAR") || has(t, "TEXT") || has(t, "CLOB") || startsWith(t, "STRING"))
        return OracleType::Varchar2;
    if (startsWith(t, "BOOLEAN"))
        return OracleType::Boolean;
    return OracleType::Unknown;
}

namespace {

// "NUMBER(7, 2)" as {"NUMBER", {"7", "2"}}; "VARCHAR2(30 CHAR)" as
// {"VARCHAR2", {"30"}} with the semantics word apart. False when the text
// has another shape (words after the arguments, unbalanced parentheses).
struct DeclaredParts {
    std::string name;  // words upper case, single blanks
    std::vector<std::string> arguments;
    std::string semantics;  // CHAR or BYTE after the first argument
};

bool declaredParts(std::string_view declared, DeclaredParts& out) {
    const std::string t = upperAscii(declared);
    const std::size_t open = t.find('(');
    std::string words = t.substr(0, open);
    for (char c : words) {
        if (c == ' ' || c == '\t') {
            if (!out.name.empty() && out.name.back() != ' ')
                out.name += ' ';
        } else {
            out.name += c;
        }
    }
    if (!out.name.empty() && out.name.back() == ' ')
        out.name.pop_back();
    if (open == std::string::npos)
        return true;
    const std::size_t close = t.find(')', open);
    if (close == std::string::npos || t.find_first_not_of(" \t", close + 1) != std::string::npos)
        return false;
    std::string argument;
    auto finish = [&] {
        std::string trimmed;
        std::size_t at = argument.find_first_not_of(" \t");
        if (at == std::string::npos)
            return false;
        std::size_t end = argument.find_first_of(" \t", at);
        trimmed = argument.substr(at, end == std::string::npos ? std::string::npos : end - at);
        if (end != std::string::npos) {
            const std::size_t word = argument.find_first_not_of(" \t", end);
            if (word != std::string::npos) {
                std::string rest = argument.substr(word);
                rest.erase(rest.find_last_not_of(" \t") + 1);
                if ((rest != "CHAR" && rest != "BYTE") || !out.arguments.empty())
                    return false;
                out.semantics = rest;
            }
        }
        out.arguments.push_back(trimmed);
        argument.clear();
        return true;
    };
    for (std::size_t i = open + 1; i < close; ++i) {
        if (t.compare(i, 2, "/*") == 0 || t.compare(i, 2, "*/") == 0) {
            argument += ' ';  // VARCHAR2(30 /*CHAR*/): the semantics as the front end writes them
            ++i;
        } else if (t[i] == ',') {
            if (!finish())
                return false;
        } else {
            argument += t[i];
        }
    }
    return finish();
}

// A whole number argument ("7", "-2"); nullopt for "*" or anything else.
std::optional<int> wholeArgument(const std::string& a) {
    if (a.empty() || a.size() > 6)
        return std::nullopt;
    std::size_t at = a[0] == '-' || a[0] == '+' ? 1 : 0;
    if (at == a.size())
        return std::nullopt;
    int v = 0;
    for (std::size_t i = at; i < a.size(); ++i) {
        if (a[i] < '0' || a[i] > '9')
            return std::nullopt;
        v = v * 10 + (a[i] - '0');
    }
    return a[0] == '-' ? -v : v;
}

bool oneOf(const std::string& name, std::initializer_list<std::string_view> names) {
    for (std::string_view n : names)
        if (name == n)
            return true;
    return false;
}

ColumnStorage fixedNumber(int precision, int scale) {
    ColumnStorage s;
    s.kind = ColumnStorage::Kind::FixedNumber;
    s.precision = precision;
    s.scale = scale;
    return s;
}

// FLOAT(b) keeps ceil(b x log10(2)) decimal digits (FLOAT(126): 38). Only
// precisions below an int64's 19 digits can change a value SQLite holds.
ColumnStorage floatNumber(int binaryPrecision) {
    ColumnStorage s;
    const int digits = (binaryPrecision * 30103 + 99999) / 100000;
    if (binaryPrecision < 1 || digits >= 19)
        return s;
    s.kind = ColumnStorage::Kind::FloatNumber;
    s.precision = digits;
    return s;
}

ColumnStorage numberStorage(const DeclaredParts& p) {
    const std::vector<std::string>& a = p.arguments;
    if (a.size() > 2)
        return {};
    if (oneOf(p.name, {"INTEGER", "INT", "SMALLINT"}))
        return a.empty() ? fixedNumber(38, 0) : ColumnStorage{};
    const bool ansi = oneOf(p.name, {"NUMERIC", "DECIMAL", "DEC"});
    if (p.name == "NUMBER" || ansi) {
        // NUMBER and NUMBER(*) keep any value; NUMERIC and DECIMAL have scale 0.
        if (a.empty())
            return ansi ? fixedNumber(38, 0) : ColumnStorage{};
        const std::optional<int> precision = wholeArgument(a[0]);
        if (!precision && a[0] != "*")
            return {};
        if (a.size() == 1)
            return precision ? fixedNumber(*precision, 0) : ColumnStorage{};
        const std::optional<int> scale = wholeArgument(a[1]);
        if (!scale)
            return {};
        return fixedNumber(precision.value_or(38), *scale);
    }
    if (p.name == "FLOAT") {
        if (a.empty())
            return floatNumber(126);
        const std::optional<int> b = wholeArgument(a[0]);
        return b && a.size() == 1 ? floatNumber(*b) : ColumnStorage{};
    }
    if (p.name == "REAL" && a.empty())
        return floatNumber(63);
    return {};
}

ColumnStorage textStorage(const DeclaredParts& p) {
    const bool varying =
        oneOf(p.name, {"VARCHAR2", "VARCHAR", "CHAR VARYING", "CHARACTER VARYING"});
    const bool nationalVarying = oneOf(
        p.name,
        {"NVARCHAR2", "NCHAR VARYING", "NATIONAL CHAR VARYING", "NATIONAL CHARACTER VARYING"});
    const bool fixed = oneOf(p.name, {"CHAR", "CHARACTER"});
    const bool nationalFixed = oneOf(p.name, {"NCHAR", "NATIONAL CHAR", "NATIONAL CHARACTER"});
    if (!(varying || nationalVarying || fixed || nationalFixed) || p.arguments.size() > 1)
        return {};
    // Oracle's CHAR without a length is CHAR(1); VARCHAR2 takes none (an
    // unbounded VARCHAR is SQLite's, kept as it comes).
    std::optional<int> length = 1;
    if (!p.arguments.empty())
        length = wholeArgument(p.arguments[0]);
    else if (varying || nationalVarying)
        return {};
    if (!length || *length < 1)
        return {};
    ColumnStorage s;
    s.kind = ColumnStorage::Kind::Text;
    s.length = *length;
    s.inCharacters = nationalVarying || nationalFixed || p.semantics == "CHAR";
    s.padded = fixed || nationalFixed;
    return s;
}

}  // namespace

ColumnStorage storageOfDeclared(std::string_view declared) {
    DeclaredParts parts;
    if (!declaredParts(declared, parts))
        return {};
    const ColumnStorage number = numberStorage(parts);
    if (number.kind != ColumnStorage::Kind::AsIs)
        return number;
    return textStorage(parts);
}

bool storageCovers(const ColumnStorage& source, const ColumnStorage& target) {
    using Kind = ColumnStorage::Kind;
    switch (target.kind) {
        case Kind::AsIs:
            return true;
        case Kind::FixedNumber:
            return source.kind == Kind::FixedNumber && source.scale <= target.scale &&
                   source.precision - source.scale <= target.precision - target.scale;
        case Kind::FloatNumber:
            return source.kind == Kind::FloatNumber && source.precision <= target.precision;
        case Kind::Text:
            // Bytes bound characters; a CHAR keeps only text of its own length.
            return source.kind == Kind::Text && source.length <= target.length &&
                   (!source.inCharacters || target.inCharacters) &&
                   (!target.padded || (source.padded && source.length == target.length &&
                                       source.inCharacters == target.inCharacters));
    }
    return false;
}

const char* typeName(OracleType type) {
    switch (type) {
        case OracleType::Number:
            return "NUMBER";
        case OracleType::Varchar2:
            return "VARCHAR2";
        case OracleType::Char:
            return "CHAR";
        case OracleType::Date:
            return "DATE";
        case OracleType::Timestamp:
            return "TIMESTAMP";
        case OracleType::Interval:
            return "INTERVAL";
        case OracleType::Clob:
            return "CLOB";
        case OracleType::Blob:
            return "BLOB";
        case OracleType::Rowid:
            return "ROWID";
        case OracleType::Boolean:
            return "BOOLEAN";
        case OracleType::Unknown:
            break;
    }
    return "UNKNOWN";
}

bool isCharacter(OracleType type) {
    return type == OracleType::Varchar2 || type == OracleType::Char || type == OracleType::Clob;
}

bool isDatetime(OracleType type) {
    return type == OracleType::Date || type == OracleType::Timestamp;
}

}  // namespace localengine::dialect
