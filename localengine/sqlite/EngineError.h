#pragma once
// The one kind of failure the engine reports, from its lowest layer up to
// the component.

#include <stdexcept>
#include <string>

namespace localengine {

// A failure of the engine. `code` is SQLite's (extended) result code for a
// failure that SQLite reported, or SQLITE_ERROR (1) for one that the
// translator found; never 0. `what()` is the message shown to the user.
class EngineError : public std::runtime_error {
public:
    EngineError(const std::string& message, int code) : std::runtime_error(message), m_code(code) {}
    int code() const noexcept { return m_code; }

private:
    int m_code;
};

}  // namespace localengine
