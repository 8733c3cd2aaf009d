#pragma once
// Oracle's errors as the functions raise them: the code and Oracle's own
// message text, reported to SQLite as "ORA-nnnnn: text".

#include <stdexcept>
#include <string>
#include <string_view>

namespace localengine::functions {

class OraError : public std::runtime_error {
public:
    // `text` is the whole message, "ORA-nnnnn: ..." included.
    OraError(int code, const std::string& text) : std::runtime_error(text), m_code(code) {}
    int code() const { return m_code; }

private:
    int m_code;
};

// Oracle's message text for a code the functions raise ("divisor is equal
// to zero" for 1476); a code missing from the table is a programming error.
std::string_view oraMessageText(int code);

// Throws the error with Oracle's text. Texts holding a placeholder (01428
// "argument '%s' is out of range", 00932 "... expected %s got %s") take
// their values in order from `args`.
[[noreturn]] void raise(int code);
[[noreturn]] void raise(int code, std::string_view arg);
[[noreturn]] void raise(int code, std::string_view arg1, std::string_view arg2);

// A refusal with no Oracle counterpart: something Oracle answers that the
// local engine does not, said plainly (no "ORA-" prefix).
class Unsupported : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

}  // namespace localengine::functions
